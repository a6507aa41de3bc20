#pragma once
// What a compressor is: its description, name, four-character handler and driver.
#include "platform/vcm/Vcm.h"
#include "toolkit/BaseDialog.h"

class CVcmAboutDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 51182;
    static constexpr UINT IDC_DESCRIPTION = 51121;
    static constexpr UINT IDC_NAME = 51122;
    static constexpr UINT IDC_HANDLER = 51123;
    static constexpr UINT IDC_DRIVER = 51124;

    CVcmAboutDlg(const ICINFO& info, CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override { EndDialog(IDOK); }
    void OnCancel() override { EndDialog(IDCANCEL); }

private:
    ICINFO m_info;
};
