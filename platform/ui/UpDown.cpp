#include "platform/ui/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/DialogTemplate.h"

CUpDown::CUpDown(QWidget* parent, DWORD style)
    : QWidget(parent), m_style(style), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(b);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CUpDown::SetBuddy(QLineEdit* buddy) {
    if (m_buddy) m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy && (m_style & UDS_ARROWKEYS)) m_buddy->installEventFilter(this);
}

void CUpDown::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

void CUpDown::SetPos(int pos) {
    const int lo = std::min(m_lower, m_upper);
    const int hi = std::max(m_lower, m_upper);
    m_pos = std::clamp(pos, lo, hi);
    if (m_buddy && (m_style & UDS_SETBUDDYINT)) {
        const QString text = QString::number(m_pos);
        if (m_buddy->text() != text) m_buddy->setText(text);
    }
}

int CUpDown::GetPos() const {
    if (m_buddy && (m_style & UDS_SETBUDDYINT)) {
        bool ok = false;
        const int v = m_buddy->text().trimmed().toInt(&ok);
        if (ok) return v;
    }
    return m_pos;
}

void CUpDown::Step(int direction) {
    // A range given high-to-low steps the other way, as the native control does.
    const int sign = m_upper >= m_lower ? 1 : -1;
    const int lo = std::min(m_lower, m_upper);
    const int hi = std::max(m_lower, m_upper);
    long long next = static_cast<long long>(std::clamp(GetPos(), lo, hi)) + direction * sign;
    if (next > hi) next = (m_style & UDS_WRAP) ? lo : hi;
    if (next < lo) next = (m_style & UDS_WRAP) ? hi : lo;
    SetPos(static_cast<int>(next));
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
