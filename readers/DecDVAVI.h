#pragma once
// CDecDVAVI: for AVI files whose video the AVI file library cannot decode. The
// pictures come from the media detector; the audio and the frame count come
// from an AVI reader with decoded audio opened on the same file, which the
// document reaches through GetAudioReader.
#include "foundation/MemBuffClassBase.h"
#include "readers/DecAVIAudio.h"
#include "readers/DecDShowMovie.h"

class CDecDVAVI : public CDecDShowMovie {
public:
    CDecDVAVI() = default;
    ~CDecDVAVI() override;

    // 0, a media-detector code (5008, 501, -1) or an AVI file code (1002-1006).
    int Open(const wchar_t* path) override;
    void Close() override;

    // The held audio reader; null until Open has opened both halves.
    CDecAVIAudioComp* GetAudioReader() const { return m_audioReader.Get(); }

private:
    CMemBuffClassBase<CDecAVIAudioComp> m_audioReader;
};
