#pragma once
// The writing side of the AVI file library: a RIFF AVI writer with its streams.
// Chunks go to the file as they are written; the headers and indexes are written
// when the file is finished. Once a second of movie the data is pushed to the disk
// with a header counting what it holds, so a run killed before the end leaves a file
// readers take whole, missing at most its last second. Past 1 GiB the file continues in OpenDML parts
// (RIFF AVIX) with per-stream ix## indexes and an indx super index, so no RIFF
// size ever wraps.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/avifile/AviFile.h"

// Writes the headers and indexes of a file created for writing and closes it.
// Returns AVIERR_OK, or AVIERR_FILEWRITE when any write of the file failed (a full
// disk included); afterwards its streams refuse further writes. Files opened
// for reading answer AVIERR_OK. Releasing the last reference finishes too, but
// cannot report a failure.
HRESULT AviFileFinishWriting(PAVIFILE file);

namespace talvern::avifile {

class AviWriteFile : public AviFile {
public:
    static HRESULT Create(const std::string& path, AviWriteFile** file);
    ~AviWriteFile() override;

    HRESULT Info(AVIFILEINFOW* info, LONG size) override;
    HRESULT GetStream(AviStream** stream, DWORD fccType, LONG param) override;
    HRESULT CreateStream(AviStream** stream, const AVISTREAMINFOW* info) override;

    HRESULT Finish();

    // Used by the stream handles.
    HRESULT StreamInfo(int stream, AVISTREAMINFOW* info, LONG size) const;
    HRESULT StreamSetFormat(int stream, const void* format, LONG size);
    HRESULT StreamReadFormat(int stream, void* format, LONG* size) const;
    HRESULT StreamWrite(int stream, LONG samples, const void* data, LONG bytes, DWORD flags);
    LONG StreamLength(int stream) const;

private:
    struct Entry {
        uint64_t offset;  // of the chunk header
        uint32_t size;
        uint32_t flags;
        uint32_t stream;
        uint32_t samples;
    };
    struct SuperEntry {
        uint64_t offset;
        uint32_t size;
        uint32_t duration;
    };
    struct Stream {
        AVISTREAMINFOW info{};
        std::vector<uint8_t> format;
        FOURCC chunkId = 0;
        int64_t samples = 0;
        uint32_t largest = 0;
        std::vector<SuperEntry> superIndex;
        std::string nameUtf8;  // strn's text, fixed when the stream is made
    };

    AviWriteFile() = default;
    bool Put(const void* data, size_t bytes);
    bool PutU32(uint32_t v) { return Put(&v, 4); }
    bool PutChunkHeader(FOURCC id, uint32_t size);
    bool Seek(uint64_t offset);
    uint64_t HeaderBytes() const;
    uint64_t StreamListBytes(const Stream& s) const;
    bool ReserveHeader();
    bool StartSegment();
    bool EndSegment();
    bool WriteStandardIndexes();
    bool WriteIdx1();
    bool WriteHeader();
    bool Checkpoint();
    void CheckpointWhenDue(int stream);
    void WriteStreamList(std::vector<uint8_t>& out, const Stream& s) const;
    void WriteMainHeader(std::vector<uint8_t>& out) const;

    FILE* m_fp = nullptr;
    std::vector<char> m_buffer;
    bool m_failed = false;
    bool m_finished = false;
    std::vector<Stream> m_streams;
    std::vector<Entry> m_entries;
    uint64_t m_pos = 0;            // where the next byte goes
    uint64_t m_headerEnd = 0;      // 0 until the header space is reserved
    uint64_t m_riffStart = 0;      // of the current RIFF
    uint64_t m_moviStart = 0;      // of the current LIST movi
    size_t m_segmentFirst = 0;     // first entry of the current RIFF
    int m_segments = 0;
    size_t m_firstSegmentEntries = 0;
    int64_t m_firstSegmentFrames = 0;  // of the video stream, in the first RIFF
    uint64_t m_chunkBytes = 0;         // of every chunk written, for the data rate
    int m_clock = -1;                  // the stream whose time paces the checkpoints
    double m_nextCheckpoint = 0;       // in seconds of the clock stream
    bool m_openDml = false;
    // The header as last built, kept so that a checkpoint builds it without allocating.
    std::vector<uint8_t> m_header;
};

// The handle of one stream of an AviWriteFile; holds a reference to its file.
class AviWriteStream : public AviStream {
public:
    AviWriteStream(AviWriteFile* file, int index);
    ~AviWriteStream() override;

    HRESULT Info(AVISTREAMINFOW* info, LONG size) override;
    LONG FindSample(LONG pos, LONG flags) override;
    HRESULT ReadFormat(LONG pos, void* format, LONG* size) override;
    HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytesRead,
                 LONG* samplesRead) override;
    LONG Length() override;
    HRESULT SetFormat(LONG pos, const void* format, LONG size) override;
    HRESULT Write(LONG start, LONG samples, const void* buffer, LONG bytes, DWORD flags,
                  LONG* samplesWritten, LONG* bytesWritten) override;

private:
    AviWriteFile* m_file;
    int m_index;
};

}  // namespace talvern::avifile
