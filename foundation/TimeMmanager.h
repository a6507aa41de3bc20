#pragma once
// CTimeMmanager: how long a long operation has been running, leaving out pauses.
// All arithmetic is unsigned 32-bit, so a segment across the wrap of the
// millisecond clock still measures right.
#include "platform/win32/Win32Types.h"

class CTimeMmanager {
public:
    CTimeMmanager();
    virtual ~CTimeMmanager() = default;

    virtual DWORD Start();
    virtual void ClearTotal();
    virtual void SetLimit(DWORD ms);
    // Banks the running segment into the total without restarting the watch.
    virtual DWORD AddElapsed();
    virtual DWORD GetTotal();
    virtual DWORD GetElapsed();
    virtual BOOL IsOver();

private:
    DWORD m_start = 0;
    DWORD m_limit = 0;
    DWORD m_total = 0;
};
