#include "platform/dshow/Event.h"

#include <chrono>

CEvent::CEvent(BOOL initiallySignalled, BOOL manualReset)
    : m_signalled(initiallySignalled != FALSE), m_manualReset(manualReset != FALSE) {}

void CEvent::SetEvent() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    if (m_manualReset)
        m_cond.notify_all();
    else
        m_cond.notify_one();
}

void CEvent::ResetEvent() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

DWORD CEvent::Wait(DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    const auto signalled = [this] { return m_signalled; };
    if (timeoutMs == INFINITE)
        m_cond.wait(lock, signalled);
    else if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled))
        return WAIT_TIMEOUT;
    if (!m_manualReset) m_signalled = false;
    return WAIT_OBJECT_0;
}
