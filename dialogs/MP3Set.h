#pragma once
// Settings of MP3 encoding: channel mode, constant bit rate, or a variable bit
// rate with its quality and rate.
#include "dialogs/EncAudioSetting.h"
#include "toolkit/BaseDialog.h"

class CMP3Set : public CBaseDialog {
public:
    static constexpr UINT IDD = 40002;
    static constexpr UINT IDC_ENC_TYPE_LABEL = 42060;
    static constexpr UINT IDC_ENC_TYPE = 42044;
    static constexpr UINT IDC_CBR_LABEL = 42021;
    static constexpr UINT IDC_CBR = 42040;
    static constexpr UINT IDC_VBR = 42042;
    static constexpr UINT IDC_VBR_GROUP = 42013;
    static constexpr UINT IDC_QUALITY_LABEL = 42015;
    static constexpr UINT IDC_QUALITY = 42011;
    static constexpr UINT IDC_VBR_RATE_LABEL = 42017;
    static constexpr UINT IDC_VBR_RATE = 42049;

    explicit CMP3Set(CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }
    // Enables the VBR controls or the CBR ones by the check box.
    void EnableByVbr();

    // The dialog's own copy: set before it opens, filled in by OK. Only the first
    // five values are edited here.
    CEncAudioSetting m_setting;
};
