#pragma once
// How the WMV output is encoded: a system profile of format version 4.0, 7.0 or 8.0
// picked from fixed lists, or a profile file (.prx, browsed or dropped) with optional
// two-pass encoding. It edits a record of its own, which DoWmvSettingDialog copies in
// before and out after OK; only OK writes into that record.
#include <string>

#include "app/Info.h"
#include "toolkit/BaseDialog.h"

class CComboBoxImgEx;
class QComboBox;

class CWMVSet : public CBaseDialog {
public:
    static constexpr UINT IDD = 40014;
    static constexpr UINT IDC_PRX_PATH = 42012;
    static constexpr UINT IDC_VERSION = 42080;
    static constexpr UINT IDC_LIST8 = 42103;
    static constexpr UINT IDC_LIST7 = 42098;
    static constexpr UINT IDC_LIST4 = 42086;
    static constexpr UINT IDC_LABEL4 = 42107;
    static constexpr UINT IDC_LABEL7 = 42114;
    static constexpr UINT IDC_LABEL8 = 42119;
    static constexpr UINT IDC_BROWSE = 42123;
    static constexpr UINT IDC_PRX_LABEL = 42125;
    static constexpr UINT IDC_TWOPASS = 42129;
    // Version combo items, index = the record's WMV kind.
    enum Version { kV4 = 0, kV7 = 1, kV8 = 2, kPrx = 3 };

    explicit CWMVSet(CWnd* pParent);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDropFile(const std::wstring& path) override;

    void OnSelChangeVersion();
    void OnBrowsePrx();

    CInfo m_info;
    std::wstring m_strProfileFile;

protected:
    // Number of system profiles of a format version; 0 when they are unavailable.
    virtual int SystemProfileCount(DWORD version) const;

private:
    void FillVersionCombo();

    CComboBoxImgEx* m_pVersion = nullptr;
};
