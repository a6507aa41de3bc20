#include "platform/ui/WndTimers.h"

#include <algorithm>

void CWndTimers::SetTimer(UINT id, UINT ms) {
    std::unique_ptr<QTimer>& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this, id] { m_onTimer(id); });
    }
    timer->start(static_cast<int>(std::min<UINT>(ms, 0x7FFFFFFF)));
}

BOOL CWndTimers::KillTimer(UINT id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end() || !it->second->isActive()) return FALSE;
    it->second->stop();
    return TRUE;
}

bool CWndTimers::IsActive(UINT id) const {
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

int CWndTimers::Interval(UINT id) const {
    const auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second->interval();
}
