#pragma once
// Which streams to take: the video alone, or video and audio.
#include "toolkit/BaseDialog.h"

class CStreamKindDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40007;
    static constexpr UINT IDC_VIDEO_ONLY = 42062;
    static constexpr UINT IDC_VIDEO_AUDIO = 42065;

    explicit CStreamKindDlg(CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override;

    // 0 video only, 1 video and audio; set by OK.
    BOOL GetVideoAudio() const { return m_bVideoAudio; }
    void SetVideoAudio(BOOL videoAudio) { m_bVideoAudio = videoAudio; }

private:
    BOOL m_bVideoAudio = FALSE;
};
