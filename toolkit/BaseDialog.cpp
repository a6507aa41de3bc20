#include "toolkit/BaseDialog.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QToolTip>

#include "foundation/LangString.h"
#include "foundation/SysUtil.h"
#include "platform/ui/Icons.h"
#include "platform/ui/UiServices.h"
#include "toolkit/BaseView.h"

namespace {
constexpr UINT kProgramIcon = 128;
}

CBaseDialog::CBaseDialog(UINT nIDTemplate, CWnd* pParent, BOOL bSysMenuItems, BOOL bChild)
    : CDialog(nIDTemplate, pParent),
      m_pOwner(pParent),
      m_bSysMenuItems(bSysMenuItems),
      m_bChild(bChild),
      m_nTemplateId(nIDTemplate) {}

CBaseDialog::~CBaseDialog() { TrayRemove(); }

std::wstring CBaseDialog::GetAboutCaption() {
    return IsJapaneseSystem() ? L"バージョン情報" : L"About";
}

BOOL CBaseDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    setWindowIcon(LoadIconResource(kProgramIcon));
    setAcceptDrops(true);
    // Tooltips repeat a control's own text, which shows texts that do not fit.
    for (QWidget* child : findChildren<QWidget*>())
        if (GetDlgCtrlID(child) != 0) child->installEventFilter(this);
    if (IsJapaneseSystem() && GetDlgItem(IDCANCEL)) SetDlgItemText(IDCANCEL, L"キャンセル");
    EnableTabTexture();
    QPointer<CBaseDialog> self(this);
    QMetaObject::invokeMethod(
        this, [self] {
            if (self) self->OnPostInit();
        },
        Qt::QueuedConnection);
    return TRUE;
}

void CBaseDialog::EnableTabTexture() { EnableDialogTabTexture(GetSafeHwnd()); }

bool CBaseDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return CDialog::eventFilter(watched, event);
    auto* control = qobject_cast<QWidget*>(watched);
    const UINT id = GetDlgCtrlID(control);
    const std::wstring text = id ? GetDlgItemText(id) : std::wstring();
    if (text.empty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), QString::fromStdWString(text), control);
    }
    return true;
}

void CBaseDialog::ShowOwner(bool show) {
    if (!m_pOwner || m_bChild) return;
    QWidget* owner = m_pOwner->GetTopLevel();
    if (!owner || owner == window()) return;
    owner->setVisible(show);
}

void CBaseDialog::OnClose() {
    UpdateData(TRUE);
    ShowOwner(true);
    EndDialog(IDCANCEL);
}

void CBaseDialog::OnSizeOwner(UINT nType, int cx, int cy) {
    // Only a dialog that is a window of its own hides its owner; embedded it cannot
    // be minimised on its own.
    if (!isWindow()) return;
    ShowOwner(!(nType == SIZE_MINIMIZED && cx == 0 && cy == 0));
}

void CBaseDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool wasMinimised = change->oldState() & Qt::WindowMinimized;
        if (isMinimized()) OnSizeOwner(SIZE_MINIMIZED, 0, 0);
        else if (wasMinimised) OnSizeOwner(SIZE_RESTORED, width(), height());
    }
    CDialog::changeEvent(event);
}

void CBaseDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_bCanClose) OnClose();
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event) {
    QWidget* target = this;
    if (m_bChild) target = m_pOwner ? m_pOwner->GetWidget() : nullptr;
    m_drag.OnMouseMove(event, target);
    CDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
    m_drag.OnMouseRelease();
    CDialog::mouseReleaseEvent(event);
}

void CBaseDialog::contextMenuEvent(QContextMenuEvent*) {
    // The message's own point is not used: the menu opens at the cursor.
    if (m_bSysMenuItems) ShowSystemMenu(QCursor::pos());
}

void CBaseDialog::ShowSystemMenu(const QPoint& globalPos) {
    QMenu menu(this);
    QAction* help = menu.addAction(QStringLiteral("Help\tF1"));
    QAction* about = menu.addAction(QString::fromStdWString(GetAboutCaption()) + QStringLiteral("...\tF10"));
    menu.addSeparator();
    QAction* minimise = menu.addAction(IsJapaneseSystem() ? QStringLiteral("最小化") : QStringLiteral("Minimize"));
    QAction* close = menu.addAction(IsJapaneseSystem() ? QStringLiteral("閉じる") : QStringLiteral("Close"));
    close->setEnabled(m_bCanClose != FALSE);
    QAction* chosen = menu.exec(globalPos);
    // Help and About reach the application through the dialog's command route.
    if (chosen == help) PostCommand(this, *this, ID_HELP);
    else if (chosen == about) PostCommand(this, *this, ID_APP_ABOUT);
    else if (chosen == minimise) showMinimized();
    else if (chosen == close && m_bCanClose) OnClose();
}

void CBaseDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedFilePaths(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CBaseDialog::dropEvent(QDropEvent* event) {
    std::vector<std::wstring> paths = DroppedFilePaths(event->mimeData());
    if (paths.empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QPointer<CBaseDialog> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, paths = std::move(paths)] {
            if (!self) return;
            self->activateWindow();
            self->raise();
            for (const std::wstring& p : paths) {
                if (!self) return;
                self->OnDropFile(p);
            }
        },
        Qt::QueuedConnection);
}

void CBaseDialog::OnDropFile(const std::wstring&) {}

BOOL CBaseDialog::TrayAdd(UINT uCallbackMessage, const std::wstring& strTip, const QIcon& hIcon) {
    m_nTrayMessage = uCallbackMessage;
    // The tip holds at most 127 characters, as the notification area's record does.
    const std::wstring tip = strTip.substr(0, 127);
    ITrayService& tray = *GetUiServices().tray;
    if (!tray.Add(this, tip, hIcon)) return FALSE;
    // The balloon greets a new icon only; adding it again just refreshes it.
    if (!m_bTrayShown) {
        const bool ja = IsJapaneseSystem();
        tray.ShowBalloon(this, ja ? L"お知らせ" : L"Info", ja ? L"タスクトレイに格納しました" : L"In the TaskTray");
    }
    m_bTrayShown = true;
    return TRUE;
}

BOOL CBaseDialog::TrayRemove() {
    if (!m_bTrayShown) return FALSE;
    m_bTrayShown = false;
    return GetUiServices().tray->Remove(this) ? TRUE : FALSE;
}

BOOL CBaseDialog::Create(CWnd* pParent) {
    if (!m_bChild) {
        if (!CreateModeless(nullptr)) return FALSE;
        show();
        return TRUE;
    }
    if (!pParent || !CreateModeless(pParent)) return FALSE;
    show();
    return TRUE;
}

void CBaseDialog::SetItemTextFit(UINT nID, const std::wstring& text, BOOL bFit) {
    QWidget* control = GetDlgItem(nID);
    if (!control) return;
    SetDlgItemText(nID, text);
    if (!bFit) return;
    const SIZE extent = GetTextExtentGuiFont(this, text);
    QRect r = control->geometry();
    int right = r.x() + r.width();
    int bottom = r.y() + r.height();
    if (r.width() < extent.cx + 7) right = std::min(r.x() + extent.cx + 7, width());
    if (r.height() < extent.cy) bottom = std::min(r.y() + extent.cy, height());
    // Never smaller than it was, even where it already passed the dialog's edge.
    right = std::max(right, r.x() + r.width());
    bottom = std::max(bottom, r.y() + r.height());
    control->setGeometry(r.x(), r.y(), right - r.x(), bottom - r.y());
    control->update();
}
