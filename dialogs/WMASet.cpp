#include "dialogs/WMASet.h"

#include <QComboBox>

#include "dialogs/DormantResources.h"
#include "dialogs/SettingLists.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/Icons.h"
#include "platform/ui/UiServices.h"
#include "platform/wmf/WmfTypes.h"
#include "toolkit/ComboBoxImgEx.h"
#include "writers/EncWMV.h"

namespace {

struct Rate {
    const char* text;
    int code;
};
constexpr Rate kV4Rates[] = {{"  6.5kbps Mono", 4},    {" 16kbps Mono", 5},    {" 20kbps Mono", 6},
                             {" 20kbps Stereo", 7},    {" 32kbps Stereo", 8},  {" 64kbps Stereo", 9},
                             {" 96kbps Stereo", 10},   {"128kbps Stereo", 11}};
constexpr Rate kV7Rates[] = {{"  6.5kbps Mono", 17},   {" 20kbps Mono", 18},   {" 20kbps Stereo", 19},
                             {" 32kbps Stereo", 20},   {" 48kbps Stereo", 21}, {" 64kbps Stereo", 22},
                             {" 96kbps Stereo", 23},   {"128kbps Stereo", 24}};

struct VersionItem {
    const wchar_t* text;
    UINT icon;
};
constexpr VersionItem kVersions[] = {{L"V4", 41002}, {L"V7", 41004}, {L"PRX", 41005}};

template <size_t N>
void FillRates(QComboBox* combo, const Rate (&rates)[N]) {
    for (const Rate& r : rates) combo->addItem(QString::fromLatin1(r.text), r.code);
}

}  // namespace

CWMASet::CWMASet(CWnd* pParent) : CBaseDialog(DormantDialogTemplate(IDD), pParent) {
    OnClicked(IDC_BROWSE, [this] { OnBrowse(); });
    OnSelChange(IDC_VERSION, [this] { OnVersionChange(); });
}

int CWMASet::SystemProfileCount(DWORD version) const { return CEncWMV::GetSystemProfileCount(version); }

BOOL CWMASet::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    m_pVersion = ReplaceDlgItemWith<CComboBoxImgEx>(IDC_VERSION);
    QComboBox* v4 = GetComboBox(IDC_V4);
    QComboBox* v7 = GetComboBox(IDC_V7);
    if (!m_pVersion || !v4 || !v7) return TRUE;
    FillRates(v4, kV4Rates);
    FillRates(v7, kV7Rates);
    SelectByData(v4, m_setting.m_nWma4Bitrate);
    SelectByData(v7, m_setting.m_nWma7Bitrate);
    int version = m_setting.m_nVersion;
    if (SystemProfileCount(WMT_VER_7_0) == 0) v7->clear();
    if (SystemProfileCount(WMT_VER_4_0) == 0) {
        v4->clear();
        if (version == kV4) version = kV7;
    }
    FillVersions();
    SelectByIndex(m_pVersion, version);
    if (m_pVersion->currentIndex() < 0) m_pVersion->setCurrentIndex(kV4);
    OnVersionChange();
    m_strPrx = m_setting.m_strPrxFile;
    CheckDlgButton(IDC_TWO_PASS, m_setting.m_bTwoPass ? 1 : 0);
    UpdateData(FALSE);
    return TRUE;
}

void CWMASet::FillVersions() {
    m_pVersion->InitImageList();
    for (int i = 0; i < static_cast<int>(std::size(kVersions)); ++i) {
        m_pVersion->AddImage(LoadIconResource(kVersions[i].icon));
        m_pVersion->InsertItem(i, kVersions[i].text, i, i, 2, 1);
    }
}

void CWMASet::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_PRX, m_strPrx); }

void CWMASet::OnVersionChange() {
    const int version = m_pVersion ? m_pVersion->currentIndex() : -1;
    for (UINT id : {IDC_V4, IDC_V4_LABEL}) EnableDlgItem(id, version == kV4);
    for (UINT id : {IDC_V7, IDC_V7_LABEL}) EnableDlgItem(id, version == kV7);
    for (UINT id : {IDC_PRX_LABEL, IDC_PRX, IDC_BROWSE, IDC_TWO_PASS}) EnableDlgItem(id, version == kPrx);
}

void CWMASet::OnBrowse() {
    FileDialogRequest request;
    request.defaultExt = L"prx";
    request.path = GetDlgItemText(IDC_PRX);
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    request.filter = L"PRX (*.PRX)|*.PRX|";
    if (!GetUiServices().fileDialog->RunFileDialog(this, request)) return;
    m_strPrx = request.path;
    UpdateData(FALSE);
}

void CWMASet::OnDropFile(const std::wstring& path) {
    m_strPrx = path;
    UpdateData(FALSE);
}

void CWMASet::OnOK() {
    if (!UpdateData(TRUE)) return;
    // A list without a selection (an emptied one included) leaves its value as it was.
    m_setting.m_nVersion = SelectedIndexOr(m_pVersion, m_setting.m_nVersion);
    m_setting.m_nWma7Bitrate = SelectedDataOr(GetComboBox(IDC_V7), m_setting.m_nWma7Bitrate);
    m_setting.m_nWma4Bitrate = SelectedDataOr(GetComboBox(IDC_V4), m_setting.m_nWma4Bitrate);
    m_setting.m_strPrxFile = m_strPrx;
    m_setting.m_bTwoPass = IsDlgButtonChecked(IDC_TWO_PASS);
    EndDialog(IDOK);
}
