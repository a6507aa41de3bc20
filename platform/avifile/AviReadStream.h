#pragma once
// A stream of an AVI file opened for reading: its header, format and index.
#include <memory>
#include <string>
#include <vector>

#include "platform/avifile/AviFile.h"
#include "platform/avifile/AviFileSource.h"

struct AviIndexEntry {
    uint64_t offset;  // of the data, past the chunk header
    uint32_t size;
    bool key;
};

// What the headers say about one stream.
struct AviStreamHeader {
    AVISTREAMINFOW info{};
    std::vector<uint8_t> format;
    std::vector<AviIndexEntry> index;
};

class AviReadStream : public AviStream {
public:
    AviReadStream(std::shared_ptr<AviFileSource> source, AviStreamHeader header);

    HRESULT Info(AVISTREAMINFOW* info, LONG size) override;
    LONG FindSample(LONG pos, LONG flags) override;
    HRESULT ReadFormat(LONG pos, void* format, LONG* size) override;
    HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytesRead,
                 LONG* samplesRead) override;
    LONG Length() override { return m_length; }

    const AVISTREAMINFOW& Header() const { return m_header.info; }
    const std::vector<AviIndexEntry>& Index() const { return m_header.index; }

private:
    bool FixedSize() const { return m_sampleSize > 0; }
    HRESULT ReadVariable(LONG start, void* buffer, LONG bufferBytes, LONG* bytesRead,
                         LONG* samplesRead);
    HRESULT ReadFixed(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytesRead,
                      LONG* samplesRead);
    size_t ChunkOfSample(int64_t sample) const;
    LONG FindKey(LONG pos, bool forward) const;

    std::shared_ptr<AviFileSource> m_source;
    AviStreamHeader m_header;
    uint32_t m_sampleSize = 0;           // bytes per sample of fixed-size streams, else 0
    std::vector<int64_t> m_chunkStart;   // first sample of each chunk (fixed-size streams)
    std::vector<LONG> m_keys;            // key samples, ascending (variable-size streams)
    LONG m_length = 0;
};
