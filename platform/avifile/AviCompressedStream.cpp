#include "platform/avifile/AviCompressedStream.h"

#include <cstring>

namespace talvern::avifile {

AviCompressedStream::AviCompressedStream(PAVISTREAM target, const AVICOMPRESSOPTIONS& options)
    : m_target(target), m_options(options) {
    m_target->AddRef();
    if (options.lpParms && options.cbParms > 0 && options.cbParms <= 65536) {
        const auto* p = static_cast<const uint8_t*>(options.lpParms);
        m_parms.assign(p, p + options.cbParms);
    }
    m_options.lpParms = nullptr;
    m_options.cbParms = 0;
    m_options.lpFormat = nullptr;
    m_options.cbFormat = 0;
}

AviCompressedStream::~AviCompressedStream() {
    EndCompression();
    m_target->Release();
}

bool AviCompressedStream::PassesThrough() const {
    return m_options.fccHandler == 0 || m_options.fccHandler == ICHANDLER_DIB;
}

void AviCompressedStream::EndCompression() {
    if (!m_cv.hic) return;
    ICSeqCompressFrameEnd(&m_cv);
    ICCompressorFree(&m_cv);
}

HRESULT AviCompressedStream::Info(AVISTREAMINFOW* info, LONG size) { return m_target->Info(info, size); }
LONG AviCompressedStream::FindSample(LONG pos, LONG flags) { return m_target->FindSample(pos, flags); }
HRESULT AviCompressedStream::ReadFormat(LONG pos, void* format, LONG* size) {
    return m_target->ReadFormat(pos, format, size);
}
HRESULT AviCompressedStream::Read(LONG, LONG, void*, LONG, LONG*, LONG*) { return AVIERR_UNSUPPORTED; }
LONG AviCompressedStream::Length() { return m_target->Length(); }

HRESULT AviCompressedStream::SetFormat(LONG pos, const void* format, LONG size) {
    if (PassesThrough()) return m_target->SetFormat(pos, format, size);
    if (size < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) return AVIERR_BADFORMAT;
    BITMAPINFO input{};
    std::memcpy(&input.bmiHeader, format, sizeof(BITMAPINFOHEADER));
    if (input.bmiHeader.biCompression != BI_RGB || input.bmiHeader.biBitCount != 24) return AVIERR_BADFORMAT;

    EndCompression();
    m_cv = COMPVARS{};
    m_cv.cbSize = sizeof m_cv;
    m_cv.dwFlags = ICMF_COMPVARS_VALID;
    m_cv.fccType = ICTYPE_VIDEO;
    m_cv.fccHandler = m_options.fccHandler;
    m_cv.hic = ICOpen(ICTYPE_VIDEO, m_options.fccHandler, ICMODE_COMPRESS);
    if (!m_cv.hic) return AVIERR_NOCOMPRESSOR;
    if (!m_parms.empty()) ICSetState(m_cv.hic, m_parms.data(), static_cast<DWORD>(m_parms.size()));

    AVISTREAMINFOW info{};
    m_target->Info(&info, sizeof info);
    ICCOMPRESSFRAMES frames{};
    frames.dwRate = info.dwRate;
    frames.dwScale = info.dwScale;
    ICSendMessage(m_cv.hic, ICM_COMPRESS_FRAMES_INFO, reinterpret_cast<uintptr_t>(&frames), sizeof frames);
    m_cv.lQ = static_cast<LONG>(m_options.dwQuality);
    m_cv.lKey = (m_options.dwFlags & AVICOMPRESSF_KEYFRAMES) ? static_cast<LONG>(m_options.dwKeyFrameEvery) : 0;
    m_cv.lDataRate = (m_options.dwFlags & AVICOMPRESSF_DATARATE)
                         ? static_cast<LONG>(m_options.dwBytesPerSecond / 1024)
                         : 0;
    if (!ICSeqCompressFrameStart(&m_cv, &input)) {
        ICCompressorFree(&m_cv);
        return AVIERR_COMPRESSOR;
    }
    m_input = input;
    m_inputBytes = static_cast<LONG>(DibRowBytes(input.bmiHeader.biWidth, 24) * input.bmiHeader.biHeight);
    const BITMAPINFOHEADER& out = m_cv.lpbiOut->bmiHeader;
    const HRESULT hr = m_target->SetFormat(pos, &out, static_cast<LONG>(out.biSize));
    // The encoder starts again with the first frame: a writer that compresses the
    // frames itself never writes here, and an idle encoder only holds memory and threads.
    ICSeqCompressFrameEnd(&m_cv);
    return hr;
}

HRESULT AviCompressedStream::Write(LONG start, LONG samples, const void* buffer, LONG bytes, DWORD flags,
                                   LONG* samplesWritten, LONG* bytesWritten) {
    if (PassesThrough()) return m_target->Write(start, samples, buffer, bytes, flags, samplesWritten, bytesWritten);
    *samplesWritten = 0;
    *bytesWritten = 0;
    if (!m_cv.hic) return AVIERR_NOCOMPRESSOR;
    if (samples != 1 || bytes < m_inputBytes) return AVIERR_BADPARAM;
    if (!m_cv.lpbiOut && !ICSeqCompressFrameStart(&m_cv, &m_input)) return AVIERR_COMPRESSOR;
    BOOL key = FALSE;
    LONG size = 0;
    const void* packet = ICSeqCompressFrame(&m_cv, 0, buffer, &key, &size);
    if (!packet) return AVIERR_COMPRESSOR;
    LONG written = 0;
    const HRESULT hr = m_target->Write(start, 1, packet, size, key ? AVIIF_KEYFRAME : 0, samplesWritten, &written);
    if (SUCCEEDED(hr)) *bytesWritten = bytes;
    return hr;
}

}  // namespace talvern::avifile

HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options,
                                void*) {
    if (!compressed) return AVIERR_BADPARAM;
    *compressed = nullptr;
    if (!source || !options) return AVIERR_BADPARAM;
    if (options->fccHandler != 0 && options->fccHandler != ICHANDLER_DIB) {
        HIC probe = ICOpen(ICTYPE_VIDEO, options->fccHandler, ICMODE_QUERY);
        if (!probe) return AVIERR_NOCOMPRESSOR;
        ICClose(probe);
    }
    *compressed = new talvern::avifile::AviCompressedStream(source, *options);
    return AVIERR_OK;
}
