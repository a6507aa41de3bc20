#include "readers/DecMovie.h"

#include <cstring>

// Width, height, rate, scale and count start at zero so that a reader whose
// Open failed reports nothing left over from construction.
CDecMovie::CDecMovie() = default;

CDecMovie::~CDecMovie() {
    // Not through the vtable: the derived part is already gone.
    ClearHeaders();
}

void CDecMovie::ClearHeaders() {
    std::memset(&m_frameHeader, 0, sizeof(m_frameHeader));
    std::memset(&m_audioFormat, 0, sizeof(m_audioFormat));
}

void CDecMovie::Close() { ClearHeaders(); }

double CDecMovie::GetFrameRate() {
    return static_cast<double>(m_rate) / static_cast<double>(m_scale);
}

int CDecMovie::GetFrameCount() { return m_frameCount; }
int CDecMovie::GetWidth() { return m_width; }
int CDecMovie::GetHeight() { return m_height; }

BITMAPINFOHEADER* CDecMovie::GetOutputFormat(BITMAPINFOHEADER* out) {
    m_frameHeader.biCompression = BI_RGB;
    m_frameHeader.biClrUsed = 0;
    m_frameHeader.biClrImportant = 0;
    std::memcpy(out, &m_frameHeader, sizeof(m_frameHeader));
    return out;
}

BOOL CDecMovie::HasAudio() { return m_audioFormatBuffer.GetData() != nullptr ? TRUE : FALSE; }

WAVEFORMATEX* CDecMovie::GetAudioFormat() { return HasAudio() ? &m_audioFormat : nullptr; }

int CDecMovie::Reserved(int, int, int) { return 0; }
