// testing/winsupport/ManualClock.cpp - the clock a test moves.
#include "ManualClock.h"

namespace vkstest {

CManualClock::CManualClock() = default;

DWORD CManualClock::Now() {
  CLockScope lock(m_lock);
  return m_now;
}

DWORD CManualClock::Sleep(HANDLE wake, DWORD timeoutMs) {
  const DWORD start = Now();
  for (;;) {
    {
      CLockScope lock(m_lock);
      if (timeoutMs != INFINITE && m_now - start >= timeoutMs) return WAIT_TIMEOUT;
      m_sleeping = true;
      m_sleepingAt = m_now;
    }
    m_asleep.Set();
    const HANDLE handles[] = {wake, m_advanced};
    const DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    {
      CLockScope lock(m_lock);
      m_sleeping = false;
    }
    if (result == WAIT_OBJECT_0) return WAIT_OBJECT_0;
    if (result != WAIT_OBJECT_0 + 1) return WAIT_FAILED;
  }
}

void CManualClock::Advance(DWORD ms) {
  {
    CLockScope lock(m_lock);
    m_now += ms;
  }
  m_advanced.Set();
}

bool CManualClock::WaitForSleeper(HANDLE ended, DWORD realTimeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    {
      CLockScope lock(m_lock);
      if (m_sleeping && m_sleepingAt == m_now) return true;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= realTimeoutMs) return false;
    const HANDLE handles[] = {m_asleep, ended};
    const DWORD result = WaitForMultipleObjects(ended ? 2 : 1, handles, FALSE, realTimeoutMs - elapsed);
    if (result != WAIT_OBJECT_0) return false;
  }
}

}  // namespace vkstest
