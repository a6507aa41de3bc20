#include "dialogs/WMVSet.h"

#include <QAbstractButton>
#include <QComboBox>
#include <span>

#include "dialogs/CodecResources.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/Icons.h"
#include "platform/ui/UiServices.h"
#include "platform/wmf/WmfTypes.h"
#include "toolkit/ComboBoxImgEx.h"
#include "writers/EncWMV.h"

namespace {

// Each item names frame size and bit rate of the system profile whose 1-based number
// it carries; the lists keep this order.
struct ProfileItem {
    const wchar_t* text;
    int profile;
};

constexpr ProfileItem kProfiles4[] = {
    {L"01. 160x120 (14-28K)", 13}, {L"02. 160x120 (28-56K)", 1},  {L"03. 176x144 (14-28K)", 12},
    {L"04. 176x144 (28-56K)", 15}, {L"05. 176x144 (28-100K)", 3}, {L"06. 320x240 (100-700K)", 2},
    {L"07. 160x120 (28K)", 14},    {L"08. 176x144 (56K)", 16},    {L"09. 320x240 (100K)", 17},
    {L"10. 320x240 (250K)", 18},   {L"11. 320x240 (512K)", 19},   {L"12. 320x240 (1M)", 20},
    {L"13. 320x240 (3M)", 21},
};

constexpr ProfileItem kProfiles7[] = {
    {L"01. 160x120 (14-28K)", 5},   {L"02. 176x144 (14-28K)", 4}, {L"03. 176x144 (28-56K)", 1},
    {L"04. 176x144 (28-100K)", 3},  {L"05. 320x240 (100-500K)", 2}, {L"06. 160x120 (28K)", 6},
    {L"07. 176x144 (28K)", 7},      {L"08. 208x160 (150K)", 26},  {L"09. 208x160 (225K)", 25},
    {L"10. 240x176 (56K)", 8},      {L"11. 320x240 (100K)", 9},   {L"12. 320x240 (250K)", 10},
    {L"13. 320x240 (384K)", 11},    {L"14. 320x240 (700K)", 12},  {L"15. 640x480 (700K)", 15},
    {L"16. 640x480 (1M)", 16},      {L"17. 640x480 (1M)", 13},    {L"18. 640x480 (2M)", 14},
};

constexpr ProfileItem kProfiles8[] = {
    {L"01. 176x144 (28-56K)", 3},    {L"02. 176x144 (28-100K)", 5},   {L"03. 320x240 (100-500K)", 4},
    {L"04. 160x120 (28K)", 6},       {L"05. 176x144 (28K)", 23},      {L"06. 176x144 (56K)", 7},
    {L"07. 208x160 (150K)", 2},      {L"08. 208x160 (225K)", 1},      {L"09. 240x176 (56K)", 24},
    {L"10. 240x176 (100K)", 8},      {L"11. 320x240 (256K)", 9},      {L"12. 320x240 (384K)", 10},
    {L"13. 320x240 (450K)", 11},     {L"14. 320x240 (700K)", 12},     {L"15. 320x240 (1400K)", 13},
    {L"16. 352x288 (384K)", 14},     {L"17. 352x288 (700K)", 15},     {L"18. 320x240 (VBR Fair)", 25},
    {L"19. 320x240 (VBR High)", 26}, {L"20. 320x240 (VBR Best)", 27},
};

// Version combo: text and icon resource of each item, index = the record's WMV kind.
constexpr struct {
    const wchar_t* text;
    UINT icon;
} kVersions[] = {{L"V4", 41002}, {L"V7", 41004}, {L"V8", 41003}, {L"PRX", 41005}};

constexpr wchar_t kPrxFilter[] = L"PRX (*.PRX)|*.PRX|";

// The items with their profile numbers, the default preselected, then the item of the
// stored profile if one has it. An unavailable version shows an empty list.
void FillProfileList(QComboBox* list, std::span<const ProfileItem> items, int defaultItem, int stored,
                     bool available) {
    if (!list) return;
    const QSignalBlocker quiet(list);
    list->clear();
    if (!available) return;
    for (const ProfileItem& item : items) list->addItem(QString::fromWCharArray(item.text), item.profile);
    list->setCurrentIndex(defaultItem);
    const int match = list->findData(stored);
    if (match >= 0) list->setCurrentIndex(match);
}

// The profile number of the selected item; -1 for an empty list.
int SelectedProfile(const QComboBox* list) {
    if (!list || list->currentIndex() < 0) return -1;
    return list->currentData().toInt();
}

}  // namespace

CWMVSet::CWMVSet(CWnd* pParent) : CBaseDialog(CodecDialogTemplate(IDD), pParent), m_info(0) {
    OnSelChange(IDC_VERSION, [this] { OnSelChangeVersion(); });
    OnClicked(IDC_BROWSE, [this] { OnBrowsePrx(); });
}

int CWMVSet::SystemProfileCount(DWORD version) const { return CEncWMV::GetSystemProfileCount(version); }

void CWMVSet::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_PRX_PATH, m_strProfileFile); }

BOOL CWMVSet::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    const bool have4 = SystemProfileCount(WMT_VER_4_0) > 0;
    FillProfileList(GetComboBox(IDC_LIST4), kProfiles4, 12, m_info.m_nWmv4Profile, have4);
    FillProfileList(GetComboBox(IDC_LIST7), kProfiles7, 17, m_info.m_nWmv7Profile,
                    SystemProfileCount(WMT_VER_7_0) > 0);
    FillProfileList(GetComboBox(IDC_LIST8), kProfiles8, 16, m_info.m_nWmv8Profile,
                    SystemProfileCount(WMT_VER_8_0) > 0);
    FillVersionCombo();
    // What the dialog shows instead of an unusable choice is not written into the
    // record: only OK does that, so a cancel leaves the record as it came.
    int version = m_info.m_nWmvKind;
    if (version == kV4 && !have4) version = kV7;
    if (version < kV4 || version > kPrx) version = kV7;
    if (m_pVersion) m_pVersion->setCurrentIndex(version);
    OnSelChangeVersion();
    m_strProfileFile = m_info.m_strProfileFile;
    CheckDlgButton(IDC_TWOPASS, m_info.m_nTwoPass);
    UpdateData(FALSE);
    return TRUE;
}

void CWMVSet::FillVersionCombo() {
    m_pVersion = ReplaceDlgItemWith<CComboBoxImgEx>(IDC_VERSION);
    if (!m_pVersion) return;
    const QSignalBlocker quiet(m_pVersion);
    m_pVersion->InitImageList();
    for (const auto& v : kVersions) m_pVersion->AddImage(LoadIconResource(v.icon));
    for (int i = 0; i < static_cast<int>(std::size(kVersions)); ++i)
        m_pVersion->InsertItem(i, kVersions[i].text, i, i, 2, 1);
}

void CWMVSet::OnSelChangeVersion() {
    const int v = m_pVersion ? m_pVersion->currentIndex() : -1;
    EnableDlgItem(IDC_LIST4, v == kV4);
    EnableDlgItem(IDC_LABEL4, v == kV4);
    EnableDlgItem(IDC_LIST7, v == kV7);
    EnableDlgItem(IDC_LABEL7, v == kV7);
    EnableDlgItem(IDC_LIST8, v == kV8);
    EnableDlgItem(IDC_LABEL8, v == kV8);
    for (UINT id : {IDC_BROWSE, IDC_PRX_LABEL, IDC_PRX_PATH, IDC_TWOPASS}) EnableDlgItem(id, v == kPrx);
}

void CWMVSet::OnBrowsePrx() {
    UpdateData(TRUE);
    FileDialogRequest request;
    request.filter = kPrxFilter;
    request.defaultExt = L"prx";
    request.path = m_strProfileFile;
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (GetUiServices().fileDialog->RunFileDialog(nullptr, request)) m_strProfileFile = request.path;
    UpdateData(FALSE);
}

void CWMVSet::OnDropFile(const std::wstring& path) {
    UpdateData(TRUE);
    m_strProfileFile = path;
    UpdateData(FALSE);
}

void CWMVSet::OnOK() {
    m_info.m_nWmvKind = m_pVersion ? m_pVersion->currentIndex() : -1;
    m_info.m_nWmv8Profile = SelectedProfile(GetComboBox(IDC_LIST8));
    m_info.m_nWmv7Profile = SelectedProfile(GetComboBox(IDC_LIST7));
    m_info.m_nWmv4Profile = SelectedProfile(GetComboBox(IDC_LIST4));
    m_info.m_strProfileFile = m_strProfileFile;
    m_info.m_nTwoPass = IsDlgButtonChecked(IDC_TWOPASS);
    EndDialog(IDOK);
}
