#pragma once
// Settings of WMA output: the format version (4, 7 or a profile file) with the
// bit rate of each version, the profile file and its two-pass flag.
#include <string>

#include "dialogs/EncAudioSetting.h"
#include "toolkit/BaseDialog.h"

class CComboBoxImgEx;

class CWMASet : public CBaseDialog {
public:
    static constexpr UINT IDD = 40010;
    static constexpr UINT IDC_VERSION = 42080;
    static constexpr UINT IDC_V4_LABEL = 42069;
    static constexpr UINT IDC_V4 = 42053;
    static constexpr UINT IDC_V7_LABEL = 42064;
    static constexpr UINT IDC_V7 = 42037;
    static constexpr UINT IDC_PRX_LABEL = 42072;
    static constexpr UINT IDC_PRX = 42150;
    static constexpr UINT IDC_BROWSE = 42024;
    static constexpr UINT IDC_TWO_PASS = 42027;
    enum Version : int { kV4 = 0, kV7 = 1, kPrx = 2 };

    explicit CWMASet(CWnd* pParent);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }
    // A file dropped on the dialog becomes the profile file.
    void OnDropFile(const std::wstring& path) override;

    void OnVersionChange();
    void OnBrowse();
    CComboBoxImgEx* GetVersionCombo() const { return m_pVersion; }

    // The dialog's own copy: set before it opens, filled in by OK. Only the WMA
    // values are edited here.
    CEncAudioSetting m_setting;

protected:
    // How many system profiles the writer offers for a format version.
    virtual int SystemProfileCount(DWORD version) const;

private:
    void FillVersions();

    CComboBoxImgEx* m_pVersion = nullptr;
    std::wstring m_strPrx;
};
