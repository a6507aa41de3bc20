#pragma once
// A compressor's own settings: its speed and a fixed quantiser, each offered only
// where the compressor honours it and only within what its state block accepts.
#include "platform/vcm/Vcm.h"
#include "toolkit/BaseDialog.h"

class CVcmConfigureDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 51181;
    static constexpr UINT IDC_SPEED_LABEL = 51111;
    static constexpr UINT IDC_SPEED = 51112;
    static constexpr UINT IDC_QUANT_LABEL = 51113;
    static constexpr UINT IDC_QUANT = 51114;
    static constexpr UINT IDC_QUANT_SPIN = 51115;
    static constexpr UINT IDC_QUANT_HINT = 51116;

    CVcmConfigureDlg(const ICINFO& info, const VcmOptionLimits& limits, const VcmCodecOptions& options,
                     CWnd* pParent);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override { CDialog::OnOK(); }
    void OnCancel() override { EndDialog(IDCANCEL); }

    const VcmCodecOptions& GetOptions() const { return m_options; }

private:
    void FillSpeeds();

    ICINFO m_info;
    VcmOptionLimits m_limits;
    VcmCodecOptions m_options;
};
