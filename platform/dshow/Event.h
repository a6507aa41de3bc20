#pragma once
// CEvent: a signalled/not-signalled flag that one thread waits on and another
// sets. An auto-reset event lets exactly one wait through per SetEvent.
#include <condition_variable>
#include <mutex>

#include "platform/win32/Win32Types.h"

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD INFINITE = 0xFFFFFFFF;

class CEvent {
public:
    explicit CEvent(BOOL initiallySignalled = FALSE, BOOL manualReset = FALSE);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    // WAIT_OBJECT_0 once signalled (an auto-reset event is then reset), WAIT_TIMEOUT
    // when timeoutMs passed first; INFINITE waits without limit.
    DWORD Wait(DWORD timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_signalled;
    const bool m_manualReset;
};
