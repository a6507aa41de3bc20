#pragma once
// Numbered timers of a window, as the system's timer calls give them: timer id
// ticks every ms milliseconds until it is killed; setting it again restarts it with
// the new interval. Ticks arrive from the event loop, also inside a nested one.
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "platform/win32/Win32Types.h"

class CWndTimers {
public:
    using Handler = std::function<void(UINT id)>;
    explicit CWndTimers(Handler onTimer) : m_onTimer(std::move(onTimer)) {}

    void SetTimer(UINT id, UINT ms);
    // FALSE when the timer was not running.
    BOOL KillTimer(UINT id);
    bool IsActive(UINT id) const;
    int Interval(UINT id) const;

private:
    Handler m_onTimer;
    std::map<UINT, std::unique_ptr<QTimer>> m_timers;
};
