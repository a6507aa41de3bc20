#include "platform/ui/StatusBar.h"

#include <QLabel>

CStatusBar::CStatusBar(QWidget* parent) : QStatusBar(parent) {}

BOOL CStatusBar::SetIndicators(const std::vector<Indicator>& indicators) {
    if (indicators.empty()) return FALSE;
    for (const Pane& p : m_panes) {
        removeWidget(p.label);
        delete p.label;
    }
    m_panes.clear();
    for (const Indicator& ind : indicators) {
        auto* label = new QLabel(QString::fromStdWString(ind.text), this);
        label->setObjectName(QStringLiteral("pane%1").arg(ind.id));
        label->setTextFormat(Qt::PlainText);  // a folder name is no markup
        if (ind.id == ID_SEPARATOR) {
            addWidget(label, 1);
        } else {
            label->setFrameShape(QFrame::Panel);
            label->setFrameShadow(QFrame::Sunken);
            addPermanentWidget(label);
        }
        m_panes.push_back({ind.id, label});
    }
    return TRUE;
}

int CStatusBar::CommandToIndex(UINT id) const {
    for (size_t i = 0; i < m_panes.size(); ++i)
        if (m_panes[i].id == id) return static_cast<int>(i);
    return -1;
}

UINT CStatusBar::GetItemID(int index) const {
    return GetPane(index) ? m_panes[static_cast<size_t>(index)].id : ID_SEPARATOR;
}

QLabel* CStatusBar::GetPane(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_panes[static_cast<size_t>(index)].label;
}

void CStatusBar::SetPaneWidth(int index, int width) {
    if (QLabel* label = GetPane(index)) label->setFixedWidth(width);
}

BOOL CStatusBar::SetPaneText(int index, const std::wstring& text) {
    QLabel* label = GetPane(index);
    if (!label) return FALSE;
    label->setText(QString::fromStdWString(text));
    label->repaint();
    return TRUE;
}

std::wstring CStatusBar::GetPaneText(int index) const {
    const QLabel* label = GetPane(index);
    return label ? label->text().toStdWString() : std::wstring();
}
