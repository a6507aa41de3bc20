#include "platform/ui/DockMenuBar.h"

#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QToolButton>

QSize CRowMenuBar::sizeHint() const {
    const int spacing = style()->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, this);
    const int hMargin = style()->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, this);
    const int vMargin = style()->pixelMetric(QStyle::PM_MenuBarVMargin, nullptr, this);
    const int frame = style()->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, this);
    int width = 0;
    int height = 0;
    for (QAction* a : actions()) {
        if (!a->isVisible()) continue;
        const QSize item = ItemSize(a);
        width += item.width() + spacing;
        height = std::max(height, item.height());
    }
    return {width + 2 * (hMargin + frame), height + 2 * (vMargin + frame)};
}

QSize CRowMenuBar::ItemSize(QAction* a) const {
    QStyleOptionMenuItem opt;
    opt.initFrom(this);
    opt.menuItemType = QStyleOptionMenuItem::Normal;
    opt.text = a->text();
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, a->text());
    return style()->sizeFromContents(QStyle::CT_MenuBarItem, &opt, text, this);
}

CDockMenuBar::CDockMenuBar(QWidget* parent, UINT nID) : QToolBar(parent), m_nID(nID) {
    setObjectName(QStringLiteral("MenuBar%1").arg(nID));
    connect(this, &QToolBar::orientationChanged, this,
            [this](Qt::Orientation o) { OnOrientation(o); });
}

BOOL CDockMenuBar::Create(QMenuBar* menuBar) {
    if (!menuBar) return FALSE;
    // Taking the widget out of the frame's layout leaves the frame without a menu bar
    // of its own.
    m_pMenuBar = menuBar;
    m_pMenuBarAction = addWidget(m_pMenuBar);
    return TRUE;
}

void CDockMenuBar::OnOrientation(Qt::Orientation orientation) {
    if (!m_pMenuBar) return;
    for (QAction* a : m_columnButtons) {
        removeAction(a);
        delete a;
    }
    m_columnButtons.clear();
    const bool row = orientation == Qt::Horizontal;
    m_pMenuBarAction->setVisible(row);
    if (row) return;
    for (QAction* top : m_pMenuBar->actions()) {
        if (!top->menu()) continue;
        auto* button = new QToolButton(this);
        button->setText(top->text());  // keeps the mnemonic
        button->setMenu(top->menu());
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        m_columnButtons.push_back(addWidget(button));
    }
}
