#include "writers/EncAVI.h"

#include <cstdlib>
#include <cstring>

#include "foundation/PathUtil.h"
#include "platform/avifile/AviWriteFile.h"

namespace {
// OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE
constexpr UINT kCreateMode = 0x1011;
}  // namespace

// Closing here resets the fields or ends what is left open, with no one to tell of a failure.
CEncAVI::CEncAVI() {
    AVIFileInit();
    (void)CEncAVI::Close();
}

CEncAVI::~CEncAVI() {
    (void)CEncAVI::Close();
    AVIFileExit();
}

int CEncAVI::FrameBytes() const {
    if (m_inputHeader.biSizeImage) return static_cast<int>(m_inputHeader.biSizeImage);
    return static_cast<int>(DibRowBytes(m_inputHeader.biWidth, m_inputHeader.biBitCount) *
                            (m_inputHeader.biHeight < 0 ? -m_inputHeader.biHeight : m_inputHeader.biHeight));
}

int CEncAVI::Create(const wchar_t* path, const BITMAPINFOHEADER* input, int rate, int) {
    m_inputHeader = *input;
    m_streamInfo = AVISTREAMINFOW{};
    m_streamInfo.fccType = streamtypeVIDEO;
    m_streamInfo.dwQuality = 0xFFFFFFFF;
    m_streamInfo.dwRate = static_cast<DWORD>(rate);
    m_streamInfo.dwScale = 10000;
    m_streamInfo.rcFrame = RECT{0, 0, input->biWidth, input->biHeight};
    m_streamInfo.dwStart = 0;
    m_streamInfo.dwSuggestedBufferSize = input->biSizeImage;
    SetupCompressOptions();
    m_streamInfo.fccHandler = m_compressOptions.fccHandler;
    return Open(path);
}

int CEncAVI::Open(const wchar_t* path) {
    DeleteFileIfExists(path);
    if (AVIFileOpenW(&m_file, path, kCreateMode, nullptr) != AVIERR_OK) return ResultCode::kFileCreate;
    if (AVIFileCreateStreamW(m_file, &m_plainStream, &m_streamInfo) != AVIERR_OK) {
        return ResultCode::kStreamCreate;
    }
    if (AVIMakeCompressedStream(&m_outputStream, m_plainStream, &m_compressOptions, nullptr) != AVIERR_OK) {
        return ResultCode::kCompressedStream;
    }
    BITMAPINFOHEADER format = m_inputHeader;
    format.biSize = sizeof format;
    format.biCompression = BI_RGB;
    format.biBitCount = 24;
    // A frame past a 32-bit size could not be handed to WriteFrame nor stored in a chunk.
    const std::optional<int64_t> frameBytes = FrameBytes24(format.biWidth, std::abs(int64_t{format.biHeight}));
    if (!frameBytes) return ResultCode::kFormat;
    format.biSizeImage = static_cast<DWORD>(*frameBytes);
    if (AVIStreamSetFormat(m_outputStream, 0, &format, sizeof format) != AVIERR_OK) return ResultCode::kFormat;
    return 0;
}

int CEncAVI::WriteFrame(const void* bits) {
    LONG written = 0;
    if (AVIStreamWrite(m_outputStream, m_position, 1, bits, FrameBytes(), AVIIF_KEYFRAME, &written, nullptr) !=
        AVIERR_OK) {
        return WriteFailed(ResultCode::kStreamWrite);
    }
    m_position += written;
    return 0;
}

int CEncAVI::Close() {
    // The file is finished while its streams are still held, so that a failure to
    // write its index or headers reaches the caller.
    const int result = m_file && AviFileFinishWriting(m_file) != AVIERR_OK ? ResultCode::kStreamWrite : 0;
    for (PAVISTREAM* s : {&m_plainStream, &m_outputStream}) {
        if (*s) AVIStreamRelease(*s);
        *s = nullptr;
    }
    if (m_file) AVIFileRelease(m_file);
    m_file = nullptr;
    if (!m_copyPath.empty() && (result != 0 || m_writeFailed))
        DeleteFileIfExists(m_copyPath.c_str());
    m_copyPath.clear();
    m_writeFailed = false;
    ReleaseCompressor();
    m_inputHeader = BITMAPINFOHEADER{};
    m_position = 0;
    m_streamInfo = AVISTREAMINFOW{};
    return result;
}

void CEncAVI::SetupCompressOptions() {
    const DWORD handler = m_setting.GetHandler();
    m_compVars = COMPVARS{};
    m_compVars.cbSize = sizeof m_compVars;
    m_compVars.dwFlags = ICMF_COMPVARS_VALID;
    m_compVars.fccType = ICTYPE_VIDEO;
    m_compVars.fccHandler = handler;
    m_compVars.lQ = m_setting.GetQuality() * 100;
    m_compVars.lKey = m_setting.GetKeyFrameRate();
    m_compVars.lDataRate = m_setting.GetDataRate();
    m_compVars.hic = ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS);

    // The stored state is applied only when the compressor reports the same size
    // and takes it (a block made by another compressor is refused).
    HGLOBAL state = m_setting.GetState();
    const LONG stateSize = m_setting.GetStateSize();
    if (m_compVars.hic && state && stateSize > 0 && GlobalSize(state) >= static_cast<size_t>(stateSize) &&
        ICGetStateSize(m_compVars.hic) == stateSize &&
        ICSetState(m_compVars.hic, GlobalLock(state), static_cast<DWORD>(stateSize)) == stateSize) {
        m_compVars.lpState = GlobalLock(state);
        m_compVars.cbState = stateSize;
    }

    m_compressOptions = AVICOMPRESSOPTIONS{};
    m_compressOptions.fccType = streamtypeVIDEO;
    m_compressOptions.fccHandler = handler;
    m_compressOptions.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE | AVICOMPRESSF_VALID;
    m_compressOptions.dwQuality = static_cast<DWORD>(m_setting.GetQuality() * 100);
    m_compressOptions.dwBytesPerSecond = static_cast<DWORD>(m_setting.GetDataRate()) << 10;
    m_compressOptions.dwKeyFrameEvery = static_cast<DWORD>(m_setting.GetKeyFrameRate());
    m_compressOptions.lpParms = m_compVars.lpState;
    m_compressOptions.cbParms = static_cast<DWORD>(m_compVars.cbState);
    m_compressOptions.lpFormat = &m_inputHeader;
    m_compressOptions.cbFormat = sizeof m_inputHeader;
}

void CEncAVI::ReleaseCompressor() {
    if (m_compVars.hic) ICClose(m_compVars.hic);
    m_compVars = COMPVARS{};
    m_compressOptions = AVICOMPRESSOPTIONS{};
}

int CEncAVI::OpenCopy(const wchar_t* path, const AVISTREAMINFOW* info, const void* format, int formatSize) {
    Close();
    DeleteFileIfExists(path);
    if (AVIFileOpenW(&m_file, path, kCreateMode, nullptr) != AVIERR_OK) return ResultCode::kFileCreate;
    m_copyPath = path;
    if (AVIFileCreateStreamW(m_file, &m_outputStream, info) != AVIERR_OK)
        return WriteFailed(ResultCode::kStreamCreate);
    if (AVIStreamSetFormat(m_outputStream, 0, format, formatSize) != AVIERR_OK)
        return WriteFailed(ResultCode::kFormat);
    m_streamInfo = *info;
    return 0;
}

int CEncAVI::WriteSample(int samples, const void* data, int bytes, BOOL key) {
    LONG written = 0;
    if (AVIStreamWrite(m_outputStream, m_position, samples, data, bytes, key ? AVIIF_KEYFRAME : 0, &written,
                       nullptr) != AVIERR_OK) {
        return WriteFailed(ResultCode::kStreamWrite);
    }
    m_position += written;
    return 0;
}

CEncAVI_Comp::CEncAVI_Comp() = default;

CEncAVI_Comp::~CEncAVI_Comp() { CEncAVI_Comp::ReleaseCompressor(); }

int CEncAVI_Comp::Open(const wchar_t* path) {
    const int result = CEncAVI::Open(path);
    if (result != 0) return result;
    if (!ICSeqCompressFrameStart(&m_compVars, reinterpret_cast<const BITMAPINFO*>(&m_inputHeader))) {
        return ResultCode::kSequentialStart;
    }
    return 0;
}

int CEncAVI_Comp::WriteFrame(const void* bits) { return WriteFrameAt(bits, -1); }

void CEncAVI_Comp::PrepareFrame(const void* bits, int place) { ICSeqCompressFramePrepare(&m_compVars, bits, place); }

int CEncAVI_Comp::WriteFrameAt(const void* bits, int place) {
    BOOL key = FALSE;
    LONG size = 0;
    const void* data = ICSeqCompressFrameAt(&m_compVars, 0, bits, place, &key, &size);
    if (!data) return ResultCode::kCompressFrame;
    LONG written = 0;
    if (AVIStreamWrite(m_plainStream, m_position, 1, data, size, key ? AVIIF_KEYFRAME : 0, &written, nullptr) !=
        AVIERR_OK) {
        return WriteFailed(ResultCode::kStreamWrite);
    }
    m_position += written;
    return 0;
}

void CEncAVI_Comp::SetupCompressOptions() {
    CEncAVI::SetupCompressOptions();
    m_framesInfo = ICCOMPRESSFRAMES{};
    m_framesInfo.lQuality = m_setting.GetQuality() * 100;
    m_framesInfo.lDataRate = m_setting.GetDataRate() * 1024;
    m_framesInfo.lKeyRate = m_setting.GetKeyFrameRate();
    m_framesInfo.dwRate = m_streamInfo.dwRate;
    m_framesInfo.dwScale = m_streamInfo.dwScale;
    ICSendMessage(m_compVars.hic, ICM_COMPRESS_FRAMES_INFO, reinterpret_cast<uintptr_t>(&m_framesInfo),
                  sizeof m_framesInfo);
}

void CEncAVI_Comp::ReleaseCompressor() {
    ICSeqCompressFrameEnd(&m_compVars);
    m_framesInfo = ICCOMPRESSFRAMES{};
    CEncAVI::ReleaseCompressor();
}
