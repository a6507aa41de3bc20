#include "readers/DecDVAVI.h"

#include <new>

CDecDVAVI::~CDecDVAVI() { CDecDVAVI::Close(); }

void CDecDVAVI::Close() {
    CDecDShowMovie::Close();
    m_audioReader.Release();
}

// The frame count is the AVI stream's length: the one derived from the duration
// runs a frame past the last picture.
int CDecDVAVI::Open(const wchar_t* path) {
    const int r = CDecDShowMovie::Open(path);
    if (r != 0) return r;
    auto* audio = new (std::nothrow) CDecAVIAudioComp;
    if (!audio) return ResultCode::kMemory;
    m_audioReader.Attach(audio);
    const int ar = audio->Open(path);
    if (ar != 0) {
        m_audioReader.Release();
        return ar;
    }
    m_frameCount = audio->GetFrameCount();
    return 0;
}
