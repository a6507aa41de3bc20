#include "toolkit/LinkButton.h"

#include <QAbstractButton>
#include <QEvent>
#include <QPainter>

#include "platform/ui/Dialog.h"
#include "platform/ui/Icons.h"
#include "toolkit/ColorDraw.h"

CLinkButton::CLinkButton(COLORREF crBack, COLORREF crText, COLORREF crDisabled, COLORREF crHover)
    : m_crText(crText), m_crBack(crBack), m_crDisabled(crDisabled), m_crHover(crHover) {}

BOOL CLinkButton::AttachDlgItem(UINT nID, CDialog* pParent) {
    auto* button = pParent ? pParent->GetButton(nID) : nullptr;
    if (!button || m_button) return FALSE;
    m_button = button;
    button->setAttribute(Qt::WA_Hover, true);
    button->installEventFilter(this);
    button->update();
    return TRUE;
}

UINT CLinkButton::GetItemState() const {
    if (!m_button) return 0;
    UINT state = 0;
    if (m_button->isDown()) state |= ODS_SELECTED;
    if (!m_button->isEnabled()) state |= ODS_DISABLED;
    if (m_button->hasFocus()) state |= ODS_FOCUS;
    return state;
}

bool CLinkButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_button) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::Paint: {
            QPainter painter(m_button);
            CDC dc(&painter);
            DrawItem(&dc, GetItemState(), FromQRect(m_button->rect()));
            return true;
        }
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::Enter:
            if (!m_bHover) {
                m_bHover = TRUE;
                m_button->update();
            }
            break;
        case QEvent::HoverLeave:
        case QEvent::Leave:
            if (m_bHover) {
                m_bHover = FALSE;
                m_button->update();
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void CLinkButton::DrawItem(CDC* pDC, UINT itemState, RECT rcItem) {
    FillRectColor(pDC, rcItem, m_crBack);
    DrawCaption(pDC, itemState, rcItem);
}

void CLinkButton::DrawCaption(CDC* pDC, UINT itemState, RECT rc) {
    const std::wstring text = m_button ? m_button->text().toStdWString() : std::wstring();
    const COLORREF color = (itemState & ODS_DISABLED) ? m_crDisabled : m_bHover ? m_crHover : m_crText;
    DrawTextColor(pDC, text, rc, color, DT_CENTER | DT_VCENTER | DT_SINGLELINE, nullptr);
}

CColorButton::CColorButton(COLORREF crBack, COLORREF crText, COLORREF crDisabled, COLORREF crHover,
                           int nFrameStyle)
    : CLinkButton(crBack, crText, crDisabled, crHover), m_nFrameStyle(nFrameStyle) {}

namespace {
RECT Offset(RECT r, int d) { return RECT{r.left + d, r.top + d, r.right + d, r.bottom + d}; }
}  // namespace

void CColorButton::DrawItem(CDC* pDC, UINT itemState, RECT rcItem) {
    FillRectColor(pDC, rcItem, m_crBack);
    DrawCaption(pDC, itemState, (itemState & ODS_SELECTED) ? Offset(rcItem, 1) : rcItem);
    DrawFrame(pDC, itemState, rcItem);
}

void CColorButton::DrawFrame(CDC* pDC, UINT itemState, RECT rc) {
    const bool pressed = itemState & ODS_SELECTED;
    if (m_nFrameStyle == 1) {
        if (m_bHover) pDC->DrawEdge(rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    } else if (pressed) {
        pDC->DrawEdge(rc, EDGE_SUNKEN, BF_RECT);
    } else if (m_nFrameStyle == 0) {
        pDC->DrawEdge(rc, EDGE_RAISED, BF_RECT);
    }
    if (m_nFrameStyle == 0 && (itemState & ODS_FOCUS)) DrawFocusRectInset(pDC, rc, 4);
}

CIconButton::CIconButton(const QIcon& hIcon, const QIcon& hIconDisabled, COLORREF crBack, COLORREF crText,
                         COLORREF crDisabled, COLORREF crHover, int nFrameStyle)
    : CColorButton(crBack, crText, crDisabled, crHover, nFrameStyle), m_hIcon(hIcon), m_hIconDisabled(hIconDisabled) {}

void CIconButton::DrawItem(CDC* pDC, UINT itemState, RECT rcItem) {
    FillRectColor(pDC, rcItem, m_crBack);
    RECT work = (itemState & ODS_SELECTED) ? Offset(rcItem, 1) : rcItem;
    const QIcon& icon = (itemState & ODS_DISABLED) ? m_hIconDisabled : m_hIcon;
    pDC->DrawIcon(work.left + 16, (work.top + work.bottom - 32) / 2, icon);
    work.left += 32;
    DrawCaption(pDC, itemState, work);
    DrawFrame(pDC, itemState, rcItem);
}

QIcon CIconButton::SetIconResource(UINT nIconId) {
    m_hIcon = LoadIconResource(nIconId);
    return m_hIcon;
}
