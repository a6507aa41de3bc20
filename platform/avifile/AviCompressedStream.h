#pragma once
// A stream that compresses the frames written to it into another stream. Its
// format is set from 24-bit input; that opens the compressor and gives the target
// stream the compressor's output format. Writes carry the compressor's key flags.
// The uncompressed choice ('DIB ' or no handler) passes frames through as they are.
#include <vector>

#include "platform/avifile/AviFile.h"
#include "platform/vcm/Vcm.h"

namespace talvern::avifile {

class AviCompressedStream : public AviStream {
public:
    AviCompressedStream(PAVISTREAM target, const AVICOMPRESSOPTIONS& options);
    ~AviCompressedStream() override;

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
    bool PassesThrough() const;
    void EndCompression();

    PAVISTREAM m_target;
    AVICOMPRESSOPTIONS m_options;
    std::vector<uint8_t> m_parms;
    COMPVARS m_cv{};
    BITMAPINFO m_input{};
    LONG m_inputBytes = 0;
};

}  // namespace talvern::avifile
