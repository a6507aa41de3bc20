#pragma once
// The AVI file library as TALVERN's readers and writers call it: files and streams
// are reference-counted handles to abstract objects, so a file opened for reading
// and a file created for writing answer the same calls. Positions are in samples
// (frames for video, blocks for audio). Every call returns AVIERR_OK (0) or a
// negative AVIERR_* code unless its comment says otherwise.
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/win32/Win32Types.h"

// Result codes.
constexpr HRESULT MakeAviError(int code) {
    return static_cast<HRESULT>(0x80044000u + static_cast<uint32_t>(code));
}
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = MakeAviError(101);
constexpr HRESULT AVIERR_BADFORMAT = MakeAviError(102);
constexpr HRESULT AVIERR_MEMORY = MakeAviError(103);
constexpr HRESULT AVIERR_INTERNAL = MakeAviError(104);
constexpr HRESULT AVIERR_BADFLAGS = MakeAviError(105);
constexpr HRESULT AVIERR_BADPARAM = MakeAviError(106);
constexpr HRESULT AVIERR_BADSIZE = MakeAviError(107);
constexpr HRESULT AVIERR_BADHANDLE = MakeAviError(108);
constexpr HRESULT AVIERR_FILEREAD = MakeAviError(109);
constexpr HRESULT AVIERR_FILEWRITE = MakeAviError(110);
constexpr HRESULT AVIERR_FILEOPEN = MakeAviError(111);
constexpr HRESULT AVIERR_COMPRESSOR = MakeAviError(112);
constexpr HRESULT AVIERR_NOCOMPRESSOR = MakeAviError(113);
constexpr HRESULT AVIERR_READONLY = MakeAviError(114);
constexpr HRESULT AVIERR_NODATA = MakeAviError(115);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = MakeAviError(116);
constexpr HRESULT AVIERR_CANTCOMPRESS = MakeAviError(117);
constexpr HRESULT AVIERR_USERABORT = MakeAviError(198);
constexpr HRESULT AVIERR_ERROR = MakeAviError(199);

// Open modes of AVIFileOpenW (the file-open flags of the platform).
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_READWRITE = 0x0002;
constexpr UINT OF_SHARE_EXCLUSIVE = 0x0010;
constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
constexpr UINT OF_SHARE_DENY_READ = 0x0030;
constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
constexpr UINT OF_CREATE = 0x1000;

// AVIStreamRead: the sample count that means "as many as is convenient"
// (one frame of video; the whole samples that fit for audio).
constexpr LONG AVISTREAMREAD_CONVENIENT = -1;

// AVIStreamFindSample flags.
constexpr LONG FIND_DIR = 0x0000000F;
constexpr LONG FIND_NEXT = 0x00000001;
constexpr LONG FIND_PREV = 0x00000004;
constexpr LONG FIND_FROM_START = 0x00000008;
constexpr LONG FIND_TYPE = 0x000000F0;
constexpr LONG FIND_KEY = 0x00000010;
constexpr LONG FIND_ANY = 0x00000020;
constexpr LONG FIND_FORMAT = 0x00000040;

// AVISTREAMINFOW::dwFlags and AVIFILEINFOW::dwFlags / dwCaps.
constexpr DWORD AVISTREAMINFO_DISABLED = 0x00000001;
constexpr DWORD AVISTREAMINFO_FORMATCHANGES = 0x00010000;
constexpr DWORD AVIFILEINFO_HASINDEX = 0x00000010;
constexpr DWORD AVIFILEINFO_MUSTUSEINDEX = 0x00000020;
constexpr DWORD AVIFILEINFO_ISINTERLEAVED = 0x00000100;
constexpr DWORD AVIFILEINFO_WASCAPTUREFILE = 0x00010000;
constexpr DWORD AVIFILEINFO_COPYRIGHTED = 0x00020000;
constexpr DWORD AVIFILECAPS_CANREAD = 0x00000001;
constexpr DWORD AVIFILECAPS_CANWRITE = 0x00000002;
constexpr DWORD AVIFILECAPS_ALLKEYFRAMES = 0x00000010;
constexpr DWORD AVIFILECAPS_NOCOMPRESSION = 0x00000020;

// Shared reference count of files, streams and frame decompressors. A handle
// is created with one reference; the object is deleted when the last one goes.
class AviObject {
public:
    virtual ~AviObject() = default;
    DWORD AddRef() { return ++m_refs; }
    DWORD Release() {
        const DWORD left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

protected:
    AviObject() = default;
    AviObject(const AviObject&) = delete;
    AviObject& operator=(const AviObject&) = delete;

private:
    std::atomic<DWORD> m_refs{1};
};

// One stream of an AVI file. A stream read from a file and a stream being written
// are the same kind of handle, so samples read from one can be written to the other.
// The defaults refuse: a read-only stream refuses writes, a new stream has no data.
class AviStream : public AviObject {
public:
    virtual HRESULT Info(AVISTREAMINFOW* info, LONG size) = 0;
    // Returns the position found or -1.
    virtual LONG FindSample(LONG pos, LONG flags) = 0;
    virtual HRESULT ReadFormat(LONG pos, void* format, LONG* size) = 0;
    virtual HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes,
                         LONG* bytesRead, LONG* samplesRead) = 0;
    virtual LONG Start() { return 0; }
    virtual LONG Length() = 0;

    virtual HRESULT SetFormat(LONG /*pos*/, const void* /*format*/, LONG /*size*/) {
        return AVIERR_READONLY;
    }
    virtual HRESULT Write(LONG /*start*/, LONG /*samples*/, const void* /*buffer*/,
                          LONG /*bytes*/, DWORD /*flags*/, LONG* /*samplesWritten*/,
                          LONG* /*bytesWritten*/) {
        return AVIERR_READONLY;
    }
};

class AviFile : public AviObject {
public:
    virtual HRESULT Info(AVIFILEINFOW* info, LONG size) = 0;
    // Stream `param` among those of type fccType (0: among all streams), with a new reference.
    virtual HRESULT GetStream(AviStream** stream, DWORD fccType, LONG param) = 0;
    virtual HRESULT CreateStream(AviStream** /*stream*/, const AVISTREAMINFOW* /*info*/) {
        return AVIERR_READONLY;
    }
};

// Decodes frames of a video stream: the result is a packed DIB, a 40-byte
// BITMAPINFOHEADER followed by 24-bit BI_RGB bottom-up rows padded to 4 bytes.
class AviGetFrame : public AviObject {
public:
    // Null when frame `pos` cannot be produced. The block stays valid until the
    // next GetFrame or the close.
    virtual void* GetFrame(LONG pos) = 0;
    // Gives the storage of the frame just delivered (rows: its first row, as in the
    // block) to *other, swapping it for *other's, which the frames after it are made
    // in: a caller that keeps the frame copies nothing. The rows stay where they are.
    // False, with nothing changed, when rows are not that frame's, hold fewer than
    // bytes, or the next frames could not be made whole in other storage.
    virtual bool TradeFrame(const void* /*rows*/, int64_t /*bytes*/, std::vector<uint8_t>* /*other*/) {
        return false;
    }
};

using PAVIFILE = AviFile*;
using PAVISTREAM = AviStream*;
using PGETFRAME = AviGetFrame*;

// Library use count; each reader and writer object holds one pair.
void AVIFileInit();
void AVIFileExit();

// OF_READ / OF_SHARE_* open an existing file for reading; OF_CREATE or OF_WRITE
// create a new file for writing. `handler` must be null.
HRESULT AVIFileOpenW(PAVIFILE* file, const wchar_t* path, UINT mode, void* handler);
HRESULT AVIFileInfoW(PAVIFILE file, AVIFILEINFOW* info, LONG size);
HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD fccType, LONG param);
HRESULT AVIFileCreateStreamW(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOW* info);
// Returns the references left.
DWORD AVIFileRelease(PAVIFILE file);

HRESULT AVIStreamInfoW(PAVISTREAM stream, AVISTREAMINFOW* info, LONG size);
// With a null `format`, *size receives the size of the format block.
HRESULT AVIStreamReadFormat(PAVISTREAM stream, LONG pos, void* format, LONG* size);
HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG pos, const void* format, LONG size);
// With a null buffer, *bytes and *samplesRead receive what a read would deliver.
// A sample of zero bytes (a dropped frame) reads successfully with nothing read.
HRESULT AVIStreamRead(PAVISTREAM stream, LONG start, LONG samples, void* buffer, LONG bufferBytes,
                      LONG* bytes, LONG* samplesRead);
HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* buffer, LONG bytes,
                       DWORD flags, LONG* samplesWritten, LONG* bytesWritten);
// The position found, or -1.
LONG AVIStreamFindSample(PAVISTREAM stream, LONG pos, LONG flags);
inline LONG AVIStreamPrevKeyFrame(PAVISTREAM stream, LONG pos) {
    return AVIStreamFindSample(stream, pos - 1, FIND_KEY | FIND_PREV);
}
inline LONG AVIStreamNextKeyFrame(PAVISTREAM stream, LONG pos) {
    return AVIStreamFindSample(stream, pos + 1, FIND_KEY | FIND_NEXT);
}
LONG AVIStreamStart(PAVISTREAM stream);
LONG AVIStreamLength(PAVISTREAM stream);
DWORD AVIStreamRelease(PAVISTREAM stream);

// The frame decompressor of a video stream. `wanted` must be null (the default
// output, 24-bit BI_RGB bottom-up). Null when no decoder exists or it cannot open.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const BITMAPINFOHEADER* wanted);
void* AVIStreamGetFrame(PGETFRAME getFrame, LONG pos);
HRESULT AVIStreamGetFrameClose(PGETFRAME getFrame);

// Compression options of AVIMakeCompressedStream.
struct AVICOMPRESSOPTIONS {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwKeyFrameEvery;
    DWORD dwQuality;
    DWORD dwBytesPerSecond;
    DWORD dwFlags;
    void* lpFormat;
    DWORD cbFormat;
    void* lpParms;
    DWORD cbParms;
    DWORD dwInterleaveEvery;
};
constexpr DWORD AVICOMPRESSF_INTERLEAVE = 0x00000001;
constexpr DWORD AVICOMPRESSF_DATARATE = 0x00000002;
constexpr DWORD AVICOMPRESSF_KEYFRAMES = 0x00000004;
constexpr DWORD AVICOMPRESSF_VALID = 0x00000008;

// A stream that compresses what is written to it into `source`. Defined by the writing side.
HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source,
                                const AVICOMPRESSOPTIONS* options, void* handler);

// The writing side (AviWriteFile.cpp) supplies this; AVIFileOpenW calls it for
// OF_CREATE / OF_WRITE.
HRESULT AviOpenFileForWriting(PAVIFILE* file, const wchar_t* path, UINT mode);

// Short names of the same calls.
inline HRESULT AVIFileOpen(PAVIFILE* f, const wchar_t* p, UINT m, void* h) {
    return AVIFileOpenW(f, p, m, h);
}
inline HRESULT AVIFileInfo(PAVIFILE f, AVIFILEINFOW* i, LONG s) { return AVIFileInfoW(f, i, s); }
inline HRESULT AVIStreamInfo(PAVISTREAM s, AVISTREAMINFOW* i, LONG n) {
    return AVIStreamInfoW(s, i, n);
}
inline HRESULT AVIFileCreateStream(PAVIFILE f, PAVISTREAM* s, const AVISTREAMINFOW* i) {
    return AVIFileCreateStreamW(f, s, i);
}
