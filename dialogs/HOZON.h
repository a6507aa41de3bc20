#pragma once
// The save settings dialog behind "Setting...": output folder, JPEG quality, image
// interval, default deinterlace mode, existing-file policy, volume, and the name of
// the registry location that holds the profile. It edits a record of its own, which
// DoSaveSettingDialog copies in before and out after.
#include <string>

#include "app/Info.h"
#include "toolkit/BaseDialog.h"

class CHOZON : public CBaseDialog {
public:
    static constexpr UINT IDD = 40006;
    static constexpr UINT IDC_BROWSE = 42001;
    static constexpr UINT IDC_SPIN = 42003;
    static constexpr UINT IDC_FOLDER = 42004;
    static constexpr UINT IDC_INTERVAL = 42007;
    static constexpr UINT IDC_REGPOS = 42009;
    static constexpr UINT IDC_QUALITY = 42016;
    static constexpr UINT IDC_DEINTERLACE = 42030;
    static constexpr UINT IDC_OVERWRITE = 42033;
    static constexpr UINT IDC_AUDIO = 42035;
    // The largest interval the record holds.
    static constexpr unsigned kMaxInterval = 2147483647u;

    explicit CHOZON(CWnd* pParent);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }

    void OnBrowse();
    void OnQualityChange();
    void OnAudioSetting();

    // A name the profile can live under: not empty, no '\' and no control character.
    static bool IsUsableRegPos(const std::wstring& name);

    CInfo m_info;

private:
    std::wstring m_strFolder;
    int m_nQuality = 0;
    unsigned m_nInterval = 0;
    std::wstring m_strRegPos;
    std::wstring m_strOldRegPos;
};
