#include "toolkit/BaseWnd.h"

#include <QMouseEvent>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Icons.h"

namespace {
constexpr UINT kProgramIcon = 128;
}

CBaseWnd::CBaseWnd() : QWidget(nullptr) {}

BOOL CBaseWnd::CreateChild(CWnd* pParent, UINT nID) {
    m_pOwner = pParent;
    m_bChild = TRUE;
    if (!pParent) return FALSE;
    setParent(pParent->GetWidget(), Qt::Widget);
    setProperty("talvernControlId", static_cast<uint>(nID));
    setGeometry(0, 0, 0, 0);
    setWindowIcon(LoadIconResource(kProgramIcon));
    return TRUE;
}

BOOL CBaseWnd::CreatePopup(CWnd* pOwner, DWORD dwStyle) {
    m_pOwner = pOwner;
    m_bChild = FALSE;
    setParent(nullptr, Qt::Window);
    setWindowTitle(QString());
    setWindowIcon(LoadIconResource(kProgramIcon));
    if (dwStyle & WS_VISIBLE) show();
    return TRUE;
}

void CBaseWnd::mouseMoveEvent(QMouseEvent* event) {
    QWidget* target = this;
    if (m_bChild) target = m_pOwner ? m_pOwner->GetWidget() : nullptr;
    m_drag.OnMouseMove(event, target);
    QWidget::mouseMoveEvent(event);
}

void CBaseWnd::mouseReleaseEvent(QMouseEvent* event) {
    m_drag.OnMouseRelease();
    QWidget::mouseReleaseEvent(event);
}
