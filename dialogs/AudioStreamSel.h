#pragma once
// The question asked before a video output or an audio extraction starts: what to
// do with the audio track. There is no Cancel button; the close box cancels.
#include "dialogs/Launchers.h"
#include "toolkit/BaseDialog.h"

class CAudioStreamSel : public CBaseDialog {
public:
    static constexpr UINT IDD = 40011;
    static constexpr UINT IDC_RECOMPRESS = 42087;
    static constexpr UINT IDC_COPY_STREAM = 42090;
    static constexpr UINT IDC_NO_AUDIO = 42094;

    explicit CAudioStreamSel(CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override;
    // The AudioChoice; set only by OK.
    int GetChoice() const { return m_nChoice; }

private:
    int m_nChoice = kAudioRecompress;
};
