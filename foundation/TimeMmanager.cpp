#include "foundation/TimeMmanager.h"

#include "foundation/SysUtil.h"

CTimeMmanager::CTimeMmanager() {
    Start();
    ClearTotal();
}

DWORD CTimeMmanager::Start() {
    m_start = GetTimeMs();
    return m_start;
}

void CTimeMmanager::ClearTotal() {
    m_total = 0;
}

void CTimeMmanager::SetLimit(DWORD ms) {
    m_limit = ms;
}

DWORD CTimeMmanager::AddElapsed() {
    m_total += GetElapsed();
    return m_total;
}

DWORD CTimeMmanager::GetTotal() {
    return m_total;
}

DWORD CTimeMmanager::GetElapsed() {
    return GetTimeMs() - m_start;
}

BOOL CTimeMmanager::IsOver() {
    return GetElapsed() > m_limit ? TRUE : FALSE;
}
