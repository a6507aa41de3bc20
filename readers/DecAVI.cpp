#include "readers/DecAVI.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// "None" and "Rle8" stand for the two codes that are not four letters.
DWORD NamedCode(DWORD code) {
    if (code == 0) return MAKEFOURCC('N', 'o', 'n', 'e');
    if (code == 1) return MAKEFOURCC('R', 'l', 'e', '8');
    return code;
}

// "%4.4s" of a four-character code: at most four characters, ending at a zero byte.
std::wstring CodeText(DWORD code) {
    std::wstring s;
    for (int i = 0; i < 4; ++i) {
        const wchar_t c = wchar_t((code >> (8 * i)) & 0xFF);
        if (c == 0) break;
        s += c;
    }
    return s;
}

// A zero rate or scale would divide by zero in every frame-time sum; one past
// the signed 32-bit range of the reader's rate and scale would turn the frame
// rate negative.
bool UsableRate(const AVISTREAMINFOW& info) {
    return info.dwRate != 0 && info.dwScale != 0 && info.dwRate <= DWORD(INT32_MAX) &&
           info.dwScale <= DWORD(INT32_MAX);
}

}  // namespace

CDecAVI::CDecAVI() {
    AVIFileInit();
    Close();
}

CDecAVI::~CDecAVI() {
    ReleaseAll();
    AVIFileExit();
}

void CDecAVI::ReleaseAll() {
    if (m_videoStream) AVIStreamRelease(m_videoStream);
    m_videoStream = nullptr;
    if (m_file) AVIFileRelease(m_file);
    m_file = nullptr;
    if (m_getFrame) AVIStreamGetFrameClose(m_getFrame);
    m_getFrame = nullptr;
}

void CDecAVI::Close() {
    ReleaseAll();
    std::memset(&m_videoStreamInfo, 0, sizeof(m_videoStreamInfo));
    CDecMovie::Close();
}

int CDecAVI::ScanStreams(const std::function<bool(PAVISTREAM, const AVISTREAMINFOW&)>& keep) {
    AVIFILEINFOW fileInfo{};
    if (AVIFileInfoW(m_file, &fileInfo, sizeof(fileInfo)) != AVIERR_OK) return ResultCode::kFileInfo;
    for (DWORD i = 0; i < fileInfo.dwStreams; ++i) {
        PAVISTREAM stream = nullptr;
        if (AVIFileGetStream(m_file, &stream, 0, LONG(i)) != AVIERR_OK) return ResultCode::kStreamGet;
        AVISTREAMINFOW info{};
        if (AVIStreamInfoW(stream, &info, sizeof(info)) != AVIERR_OK) {
            AVIStreamRelease(stream);
            return ResultCode::kStreamInfo;
        }
        if (!keep(stream, info)) AVIStreamRelease(stream);
    }
    return 0;
}

// Keeps the video stream of lowest priority value; the first one on a tie.
int CDecAVI::ChooseVideoStream() {
    WORD best = 0xFFFF;
    const int rc = ScanStreams([&](PAVISTREAM stream, const AVISTREAMINFOW& info) {
        if (info.fccType != streamtypeVIDEO || (m_videoStream && info.wPriority >= best)) return false;
        if (m_videoStream) AVIStreamRelease(m_videoStream);
        m_videoStream = stream;
        best = info.wPriority;
        return true;
    });
    if (rc != 0) return rc;
    return m_videoStream ? 0 : ResultCode::kNoVideoStream;
}

int CDecAVI::Open(const wchar_t* path) {
    Close();
    if (AVIFileOpenW(&m_file, path, OF_SHARE_DENY_NONE, nullptr) != AVIERR_OK) return ResultCode::kFileOpen;
    if (const int rc = ChooseVideoStream()) return rc;
    AVISTREAMINFOW info{};
    if (AVIStreamInfoW(m_videoStream, &info, sizeof(info)) != AVIERR_OK || !UsableRate(info))
        return ResultCode::kStreamInfo;
    void* format = nullptr;
    int size = 0;
    const int rc = ReadFormat(&format, &size);
    std::free(format);
    if (rc != 0) return rc;
    if (size < int(sizeof(BITMAPINFOHEADER))) return ResultCode::kStreamFormat;
    ReadStreamInfo();
    return 0;
}

void CDecAVI::ReadStreamInfo() {
    AVIStreamInfoW(m_videoStream, &m_videoStreamInfo, sizeof(m_videoStreamInfo));
    m_rate = int32_t(m_videoStreamInfo.dwRate);
    m_scale = int32_t(m_videoStreamInfo.dwScale);
    m_frameCount = int32_t(m_videoStreamInfo.dwLength);
    m_videoStreamInfo.fccHandler = NamedCode(m_videoStreamInfo.fccHandler);
    m_videoStreamInfo.fccType = NamedCode(m_videoStreamInfo.fccType);
    m_typeText = CodeText(m_videoStreamInfo.fccType);
    m_handlerText = CodeText(m_videoStreamInfo.fccHandler);
    m_sizeLearned = false;
    void* format = nullptr;
    int size = 0;
    if (ReadFormat(&format, &size) == 0 && size >= int(sizeof(BITMAPINFOHEADER))) {
        BITMAPINFOHEADER bih;
        std::memcpy(&bih, format, sizeof(bih));
        m_width = bih.biWidth;
        // A top-down frame has the same rows; the lowest height has no positive twin.
        m_height = bih.biHeight == INT32_MIN ? INT32_MAX : std::abs(bih.biHeight);
        m_codecText = CodeText(NamedCode(bih.biCompression));
    }
    std::free(format);
}

int CDecAVI::GetWidth() {
    LearnFrameSize();
    return m_width;
}

int CDecAVI::GetHeight() {
    LearnFrameSize();
    return m_height;
}

// The header's size stands until a frame decodes. Asked before any frame, the first one
// is decoded to learn it; once a frame is out, its bits stay valid (no frame is decoded here).
void CDecAVI::LearnFrameSize() {
    if (m_sizeLearned || !m_videoStream) return;
    void* bits = nullptr;
    GetFrame(0, &bits);
    m_sizeLearned = true;
}

int CDecAVI::GetFrame(int n, void** bits) {
    if (!m_getFrame) {
        m_getFrame = AVIStreamGetFrameOpen(m_videoStream, nullptr);
        if (!m_getFrame) return -1;
    }
    auto* dib = static_cast<unsigned char*>(AVIStreamGetFrame(m_getFrame, n));
    if (!dib) return -1;
    std::memcpy(&m_frameHeader, dib, sizeof(m_frameHeader));
    if (!m_sizeLearned && m_frameHeader.biWidth > 0 && m_frameHeader.biHeight != 0) {
        m_width = m_frameHeader.biWidth;
        m_height = m_frameHeader.biHeight == INT32_MIN ? INT32_MAX : std::abs(m_frameHeader.biHeight);
        m_sizeLearned = true;
    }
    *bits = dib + sizeof(BITMAPINFOHEADER);
    return n;
}

bool CDecAVI::TradeFrame(const void* bits, int64_t bytes, std::vector<uint8_t>* buffer, size_t* rowsAt) {
    if (!m_getFrame || !m_getFrame->TradeFrame(bits, bytes, buffer)) return false;
    *rowsAt = sizeof(BITMAPINFOHEADER);  // the frame decompressor's blocks begin with the header
    return true;
}

int CDecAVI::ReadFormat(void** block, int* size) {
    LONG bytes = 0;
    if (AVIStreamReadFormat(m_videoStream, 0, nullptr, &bytes) != AVIERR_OK || bytes < 0) return ResultCode::kStreamFormat;
    *size = int(bytes);
    *block = std::malloc(bytes > 0 ? size_t(bytes) : 1);
    if (!*block) return ResultCode::kMemory;
    if (AVIStreamReadFormat(m_videoStream, 0, *block, &bytes) != AVIERR_OK) return ResultCode::kStreamFormat;
    return 0;
}

BOOL CDecAVI::IsKeyFrame(int n) {
    return n == AVIStreamFindSample(m_videoStream, n, FIND_KEY | FIND_PREV) ? TRUE : FALSE;
}

int CDecAVI::ReadSample(int start, int* samples, CMemBuffBase<unsigned char>* buffer, int* bytes) {
    LONG b = 0, s = 0;
    if (AVIStreamRead(m_videoStream, start, AVISTREAMREAD_CONVENIENT, nullptr, 0, &b, &s) !=
            AVIERR_OK ||
        s == 0)
        return ResultCode::kStreamRead;
    *bytes = int(b);
    *samples = int(s);
    if (b == 0) return 0;  // a dropped frame: nothing to read
    if (!buffer->Alloc(int(b))) return ResultCode::kMemory;
    if (AVIStreamRead(m_videoStream, start, AVISTREAMREAD_CONVENIENT, buffer->GetData(), b, &b, &s) !=
        AVIERR_OK)
        return ResultCode::kStreamRead;
    *bytes = int(b);
    *samples = int(s);
    return 0;
}
