#include "dialogs/BatEncodeDlg.h"

#include <QComboBox>
#include <QEventLoop>
#include <QPointer>

#include "dialogs/DialogResources.h"
#include "dialogs/DormantResources.h"
#include "dialogs/EncodeOwner.h"
#include "foundation/RegUtil.h"
#include "foundation/SysUtil.h"
#include "platform/ui/Icons.h"
#include "platform/ui/UiServices.h"

namespace {

constexpr wchar_t kSection[] = L"data";
constexpr wchar_t kShutDownKey[] = L"ShutDown";
constexpr UINT kProgramIcon = 128;
// The message the notification area would report clicks with; clicks reach
// OnTrayClick through the tray service.
constexpr UINT kTrayNotifyMessage = 0xC000;

struct AfterBatchChoice {
    UINT textJa;
    int powerAction;
};
constexpr AfterBatchChoice kAfterBatch[] = {
    {43417, CBatEncodeDlg::kNoPowerAction},  // Nothing
    {43419, EWX_SHUTDOWN},                   // shutdown
    {43421, -2},                             // suspend
    {43423, -1},                             // hibernate ("restored")
    {43425, CBatEncodeDlg::kNoPowerAction},  // Exit
};

}  // namespace

CBatEncodeDlg::CBatEncodeDlg(CWnd* pParent, IEncodeOwner* pOwner)
    : CBaseDialog(DormantDialogTemplate(IDD), pParent),
      m_pEncodeOwner(pOwner),
      m_timers([this](UINT id) { OnTimer(id); }) {
    OnClicked(IDC_START, [this] { OnBatStart(); });
    OnClicked(IDC_STOP, [this] { OnBatStop(); });
    OnClicked(IDC_DELETE, [this] { OnFileDelete(); });
    OnClicked(IDC_ADD, [this] { OnFileAdd(); });
    OnClicked(IDC_TRAY, [this] { OnTaskTray(); });
}

int CBatEncodeDlg::DoModal() {
    if (!BuildFromTemplate()) return -1;
    // QDialog's own modal loop ends when the dialog is hidden, which the tray mode
    // does; this loop ends only when the dialog is ended.
    bool ended = false;
    const QMetaObject::Connection watch = connect(this, &QDialog::finished, this, [&ended] { ended = true; });
    OnInitDialog();
    if (!ended) {
        QEventLoop loop;
        connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
        setWindowModality(Qt::ApplicationModal);
        show();
        loop.exec(QEventLoop::DialogExec);
    }
    disconnect(watch);
    return GetResult();
}

BOOL CBatEncodeDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    m_list.AttachDlgItem(IDC_LIST, this);
    SetLabelBuddy(this, IDC_LABEL, IDC_LIST);
    QComboBox* after = GetComboBox(IDC_AFTER);
    if (!after) return TRUE;
    after->clear();
    for (const AfterBatchChoice& c : kAfterBatch)
        after->addItem(QString::fromStdWString(DialogText(c.textJa)), c.powerAction);
    // A stored choice this list does not have falls back to its first item.
    int stored = static_cast<int>(ProfileGetInt(kSection, kShutDownKey, 0));
    if (stored < 0 || stored >= after->count()) stored = 0;
    after->setCurrentIndex(stored);
    return TRUE;
}

QWidget* CBatEncodeDlg::MainWindow() {
    QWidget* main = m_pOwner ? m_pOwner->GetTopLevel() : nullptr;
    return main == window() ? nullptr : main;
}

void CBatEncodeDlg::EnableRunButtons(bool running) {
    EnableDlgItem(IDC_STOP, running);
    EnableDlgItem(IDC_START, !running);
}

void CBatEncodeDlg::OnBatStart() {
    if (!m_pEncodeOwner || m_bRunning) return;
    m_bStop = FALSE;
    m_bRunning = true;
    EnableRunButtons(true);
    QPointer<CBatEncodeDlg> self(this);
    while (m_list.GetCount() > 0 && !m_bStop) {
        // The item is marked before it runs: the list may be reordered or edited while
        // the owner works, and the item that ran is the one to go, wherever it stands.
        const uintptr_t token = ++m_nRunToken;
        m_list.SetItemData(0, token);
        m_list.SetCurSel(0);
        m_pEncodeOwner->RunFile(m_list.GetText(0));
        if (!self) return;
        m_list.DeleteString(m_list.FindItemData(token));
    }
    m_bRunning = false;
    EnableRunButtons(false);
    UpdateData(TRUE);
    if (m_bStop) return;
    AfterCompleteRun();
}

void CBatEncodeDlg::AfterCompleteRun() {
    QComboBox* after = GetComboBox(IDC_AFTER);
    const int sel = after ? after->currentIndex() : -1;
    if (sel < 0) return;
    ProfileWriteInt(kSection, kShutDownKey, sel);
    const int how = after->itemData(sel).toInt();
    if (how != kNoPowerAction) ShutdownSystem(how);
    if (sel != kExitItem) return;
    if (QWidget* main = MainWindow()) QMetaObject::invokeMethod(main, &QWidget::close, Qt::QueuedConnection);
    CBaseDialog::OnClose();
}

void CBatEncodeDlg::OnBatStop() {
    m_bStop = TRUE;
    if (m_pEncodeOwner) m_pEncodeOwner->StopRun();
}

void CBatEncodeDlg::OnClose() {
    // Closing in the middle of a batch would leave the run loop without its dialog.
    if (m_bRunning) {
        OnBatStop();
        return;
    }
    CBaseDialog::OnClose();
}

void CBatEncodeDlg::OnFileDelete() { m_list.DeleteCurSel(); }

void CBatEncodeDlg::OnFileAdd() {
    FileDialogRequest request;
    request.filter = L"ProjectFile(*.INI)|*.ini|";
    request.flags = OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetUiServices().fileDialog->RunFileDialog(this, request)) return;
    // Each lands before the selected item, which moves down with every insertion, so
    // the files keep the dialog's order.
    for (const std::wstring& path : request.paths) m_list.InsertString(m_list.GetCurSel(), path);
}

void CBatEncodeDlg::OnTaskTray() {
    if (!TrayAdd(kTrayNotifyMessage, L"BatEncode", LoadIconResource(kProgramIcon))) return;
    QPointer<CBatEncodeDlg> self(this);
    GetUiServices().tray->SetClickHandler(this, [self] {
        if (self) self->OnTrayClick();
    });
    m_bInTray = true;
    hide();
    if (QWidget* main = MainWindow()) main->hide();
    m_timers.SetTimer(kTrayTimer, kTrayRefreshMs);
}

void CBatEncodeDlg::OnTimer(UINT nIDEvent) {
    if (nIDEvent != kTrayTimer || !m_bInTray) return;
    TrayAdd(kTrayNotifyMessage, L"BatEncode", LoadIconResource(kProgramIcon));
}

void CBatEncodeDlg::OnTrayClick() {
    if (!m_bInTray) return;
    m_bInTray = false;
    if (QWidget* main = MainWindow()) main->showNormal();
    showNormal();
    TrayRemove();
    m_timers.KillTimer(kTrayTimer);
}
