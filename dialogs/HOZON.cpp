#include "dialogs/HOZON.h"

#include <QComboBox>
#include <QLineEdit>
#include <cwctype>

#include "dialogs/DialogResources.h"
#include "dialogs/Launchers.h"
#include "foundation/IniCreate.h"
#include "foundation/StringChar.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/UpDown.h"
#include "toolkit/Browse.h"

namespace {

constexpr UINT kDeinterlaceItems[] = {43451, 43453, 43455, 43457};
constexpr UINT kOverwriteItems[] = {43459, 43461, 43463};
constexpr UINT kMsgBadRegPos = 50205;
constexpr UINT kMsgRegPosNotWritten = 50207;

void FillCombo(QComboBox* combo, const UINT* ids, size_t count) {
    if (!combo) return;
    combo->clear();
    for (size_t i = 0; i < count; ++i) combo->addItem(QString::fromStdWString(DialogText(ids[i])));
}

int Selection(const QComboBox* combo) { return combo ? combo->currentIndex() : -1; }

void Select(QComboBox* combo, int index) {
    if (combo) combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
}

}  // namespace

CHOZON::CHOZON(CWnd* pParent)
    : CBaseDialog(SettingsDialogTemplate(IDD), pParent), m_info(0), m_strRegPos(ReadRegPos()) {
    OnClicked(IDC_BROWSE, [this] { OnBrowse(); });
    OnEditChange(IDC_QUALITY, [this] { OnQualityChange(); });
    OnClicked(IDC_AUDIO, [this] { OnAudioSetting(); });
}

void CHOZON::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_FOLDER, m_strFolder);
    DDX_Text(pDX, IDC_INTERVAL, m_nInterval);
    DDV_MinMaxUInt(pDX, m_nInterval, 1, kMaxInterval);
    DDX_Text(pDX, IDC_REGPOS, m_strRegPos);
}

BOOL CHOZON::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    FillCombo(GetComboBox(IDC_DEINTERLACE), kDeinterlaceItems, std::size(kDeinterlaceItems));
    FillCombo(GetComboBox(IDC_OVERWRITE), kOverwriteItems, std::size(kOverwriteItems));
    m_strFolder = m_info.m_strOutputFolder;
    m_nQuality = m_info.m_nJpegQuality;
    if (CUpDown* spin = GetUpDown(IDC_SPIN)) {
        spin->SetRange(1, 100);
        spin->SetPos(m_nQuality);
    }
    m_nInterval = static_cast<unsigned>(m_info.m_nImageInterval);
    Select(GetComboBox(IDC_DEINTERLACE), m_info.m_nDeinterlace);
    Select(GetComboBox(IDC_OVERWRITE), m_info.m_nOverwrite);
    m_strOldRegPos = m_strRegPos;
    UpdateData(FALSE);
    return TRUE;
}

void CHOZON::OnQualityChange() {
    m_nQuality = WideToInt(GetDlgItemText(IDC_QUALITY).c_str());
    // Compared unsigned: a negative number counts as above the range.
    if (m_nQuality == 0) {
        m_nQuality = 1;
        SetDlgItemInt(IDC_QUALITY, 1);
    } else if (static_cast<unsigned>(m_nQuality) > 100) {
        m_nQuality = 100;
        SetDlgItemInt(IDC_QUALITY, 100);
    }
}

void CHOZON::OnBrowse() {
    UpdateData(TRUE);
    CBrowse browse;
    const std::wstring chosen = browse.BrowseFolder(m_strFolder, this);
    if (!chosen.empty()) m_strFolder = chosen;
    UpdateData(FALSE);
}

void CHOZON::OnAudioSetting() { m_info.m_nVolume = DoVolumeDialog(m_info.m_nVolume, this); }

bool CHOZON::IsUsableRegPos(const std::wstring& name) {
    if (name.empty()) return false;
    for (wchar_t c : name)
        if (c == L'\\' || std::iswcntrl(static_cast<wint_t>(c)) || c == 0x7F || (c >= 0x80 && c <= 0x9F))
            return false;
    return true;
}

void CHOZON::OnOK() {
    if (!UpdateData(TRUE)) return;
    // A name the profile cannot live under is refused before anything is stored.
    if (!IsUsableRegPos(m_strRegPos)) {
        ShowMessageBox(this, DialogText(kMsgBadRegPos), std::wstring(), MB_OK | MB_ICONEXCLAMATION);
        m_strRegPos = m_strOldRegPos;
        SetDlgItemText(IDC_REGPOS, m_strRegPos);
        if (QWidget* edit = GetDlgItem(IDC_REGPOS)) edit->setFocus();
        return;
    }
    m_nQuality = WideToInt(GetDlgItemText(IDC_QUALITY).c_str());
    m_info.m_nJpegQuality = m_nQuality;
    m_info.m_strOutputFolder = m_strFolder;
    m_info.m_nImageInterval = static_cast<int>(m_nInterval);
    m_info.m_nDeinterlace = Selection(GetComboBox(IDC_DEINTERLACE));
    m_info.m_nOverwrite = Selection(GetComboBox(IDC_OVERWRITE));
    if (!WriteRegPos(m_strRegPos)) {
        ShowMessageBox(this, DialogTextWithPath(kMsgRegPosNotWritten, GetSettingIniPath()), std::wstring(),
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}
