#include "toolkit/ExtTitleTip.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QToolTip>

#include "platform/ui/DC.h"

namespace {
QString Q(const std::wstring& s) { return QString::fromStdWString(s); }
}  // namespace

CExtTitleTip::CExtTitleTip() : QWidget(nullptr) {}

CExtTitleTip::~CExtTitleTip() = default;

BOOL CExtTitleTip::Create(QWidget* pParent) {
    if (!pParent) return FALSE;
    m_pParent = pParent;
    // A tool-tip window is placed by us and never activated; transparent for input
    // it leaves the pointer with the list, so nothing has to be relayed or grabbed.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    m_bCreated = TRUE;
    return TRUE;
}

void CExtTitleTip::Hide() {
    if (m_bCreated) hide();
}

RECT CExtTitleTip::CalcTipRect(const std::wstring& text) const {
    if (text.empty() || !m_pParent) return RECT{0, 0, 0, 0};
    const QSize extent = QFontMetrics(m_pParent->font()).size(Qt::TextSingleLine, Q(text));
    if (extent.height() <= 0) return RECT{0, 0, 0, 0};
    return RECT{0, 0, extent.width() + 1, extent.height() + 3};
}

void CExtTitleTip::Show(const QRect& rcItem, const std::wstring& text, const QPoint& pt) {
    if (!m_bCreated || !m_pParent || text.empty()) return;
    if (!QApplication::focusWidget()) return;
    const bool same = rcItem == m_rcItem && text == m_strText;
    if (isVisible() && !same) return;

    m_rcItem = rcItem;
    m_strText = text;
    const RECT tip = CalcTipRect(text);
    const int width = tip.right - tip.left + 2;
    const int height = tip.bottom - tip.top + 2;
    m_rcText = RECT{1, 1, width - 2, height - 2};

    QPoint topLeft = m_pParent->mapToGlobal(pt);
    topLeft.setX(std::max(topLeft.x(), 0));
    topLeft.setY(std::max(topLeft.y(), 0));
    setGeometry(topLeft.x(), topLeft.y(), width, height);
    if (!isVisible()) show();
    update();
}

void CExtTitleTip::DrawTipText(CDC* pDC, const std::wstring& text, const RECT& rc) {
    if (text.empty() || !m_pParent) return;
    const std::optional<QFont> oldFont = pDC->SelectFont(m_pParent->font());
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    const COLORREF oldColor = pDC->SetTextColor(FromQColor(QToolTip::palette().color(QPalette::ToolTipText)));
    pDC->DrawText(text, rc, DT_CENTER | DT_NOPREFIX);
    pDC->SetBkMode(oldMode);
    pDC->SetTextColor(oldColor);
    pDC->SelectFont(oldFont);
}

void CExtTitleTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CDC dc(&painter);
    const RECT all = FromQRect(rect());
    dc.FillSolidRect(all, RGB(0, 0, 0));
    dc.FillSolidRect(RECT{1, 1, all.right - 1, all.bottom - 1},
                     FromQColor(QToolTip::palette().color(QPalette::ToolTipBase)));
    DrawTipText(&dc, m_strText, m_rcText);
}
