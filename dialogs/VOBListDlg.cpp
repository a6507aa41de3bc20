#include "dialogs/VOBListDlg.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <algorithm>
#include <cwctype>

#include "dialogs/DormantResources.h"
#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "platform/ui/UiServices.h"

namespace {

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b) {
    const std::wstring na = FileNameOf(a), nb = FileNameOf(b);
    const size_t n = std::min(na.size(), nb.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t ca = std::towlower(na[i]), cb = std::towlower(nb[i]);
        if (ca != cb) return ca < cb;
    }
    if (na.size() != nb.size()) return na.size() < nb.size();
    return na < nb;  // names differing only in case still come in one fixed order
}

}  // namespace

CVOBListDlg::CVOBListDlg(CWnd* pParent)
    : CBaseDialog(DormantDialogTemplate(IDD), pParent), m_timers([this](UINT id) { OnTimer(id); }) {
    OnClicked(IDC_ADD, [this] { OnFileAdd(); });
    OnClicked(IDC_DELETE, [this] { m_list.DeleteCurSel(); });
    OnClicked(IDC_UP, [this] { m_list.MoveUp(); });
    OnClicked(IDC_DOWN, [this] { m_list.MoveDown(); });
    OnClicked(IDC_FOLDER, [this] { OnFolder(); });
    OnClicked(IDC_RESET, [this] { m_list.ResetContent(); });
}

BOOL CVOBListDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    m_list.AttachDlgItem(IDC_LIST, this);
    SetLabelBuddy(this, IDC_LABEL, IDC_LIST);
    for (size_t i = 0; i < m_paths.size(); ++i) m_list.InsertString(static_cast<int>(i), m_paths[i]);
    // Whether Up or Down is held is seen by their own mouse presses and releases.
    for (UINT id : {IDC_UP, IDC_DOWN})
        if (QWidget* button = GetDlgItem(id)) button->installEventFilter(this);
    m_timers.SetTimer(kRepeatTimer, kRepeatMs);
    return TRUE;
}

void CVOBListDlg::OnOK() {
    m_paths.clear();
    for (int i = 0; i < m_list.GetCount(); ++i) m_paths.push_back(m_list.GetText(i));
    EndDialog(IDOK);
}

void CVOBListDlg::OnFileAdd() {
    FileDialogRequest request;
    request.filter = L"MPEG-2 (*.VOB;*.mpg;*.mpeg)|*.VOB;*.MPG;*.MPEG|";
    request.filter += IsJapaneseSystem() ? L"すべてのファイル  (*.*)|*.*|" : L"all (*.*)|*.*|";
    request.flags = OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetUiServices().fileDialog->RunFileDialog(this, request)) return;
    for (const std::wstring& path : request.paths) m_list.InsertString(m_list.GetCurSel(), path);
}

std::vector<std::wstring> CVOBListDlg::ScanVobFiles(const std::wstring& folder, size_t max) {
    std::vector<CFileData> files;
    std::vector<std::wstring> subfolders;
    ScanFolder(files, subfolders, folder, L"/*.VOB");
    std::vector<std::wstring> paths;
    paths.reserve(files.size());
    for (const CFileData& f : files) paths.push_back(f.path);
    // The directory lists its files in no useful order; the parts of a title are
    // numbered, so their names give the order, and the cap keeps the first ones.
    std::sort(paths.begin(), paths.end(), LessIgnoringCase);
    if (paths.size() > max) paths.resize(max);
    return paths;
}

void CVOBListDlg::OnFolder() {
    const std::optional<std::wstring> chosen = m_browse.ChooseFolder(m_strFolder, this);
    if (!chosen || chosen->empty()) return;
    m_strFolder = *chosen;
    const std::vector<std::wstring> paths = ScanVobFiles(m_strFolder, kMaxFolderFiles);
    m_list.ResetContent();
    for (size_t i = 0; i < paths.size(); ++i) m_list.InsertString(static_cast<int>(i), paths[i]);
}

bool CVOBListDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if ((press || release) && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == GetDlgItem(IDC_UP)) m_bUpHeld = press;
        if (watched == GetDlgItem(IDC_DOWN)) m_bDownHeld = press;
    }
    return CBaseDialog::eventFilter(watched, event);
}

void CVOBListDlg::RepeatWhileHeld(UINT nID, bool held, void (CDragListBoxEx::*move)()) {
    if (!held) return;
    if (++m_nRepeat < kRepeatDelayTicks) return;
    // A held button is down only while the pointer is over it.
    auto* button = GetButton(nID);
    if (button && button->isDown()) (m_list.*move)();
}

void CVOBListDlg::OnTimer(UINT nIDEvent) {
    if (nIDEvent != kRepeatTimer) return;
    if (!m_bUpHeld && !m_bDownHeld) {
        m_nRepeat = 0;
        return;
    }
    RepeatWhileHeld(IDC_UP, m_bUpHeld, &CDragListBoxEx::MoveUp);
    RepeatWhileHeld(IDC_DOWN, m_bDownHeld, &CDragListBoxEx::MoveDown);
}
