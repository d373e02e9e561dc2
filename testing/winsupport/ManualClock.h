// testing/winsupport/ManualClock.h - a clock that moves only when the test says,
// for running a loop's timing without sleeping.
#pragma once
#include <windows.h>

#include "Clock.h"
#include "CriticalSection.h"
#include "Handle.h"

namespace vkstest {

// One loop sleeps on it at a time. Its Sleep returns when the wake event is
// set or Advance has moved the time past the sleep's end; window messages do
// not end it.
class CManualClock final : public IClock {
public:
  CManualClock();
  CManualClock(const CManualClock&) = delete;
  CManualClock& operator=(const CManualClock&) = delete;

  DWORD Now() override;
  DWORD Sleep(HANDLE wake, DWORD timeoutMs) override;

  void Advance(DWORD ms);
  // Waits (in real time, up to realTimeoutMs) until the loop sleeps having
  // seen the present time; false when ended (a thread, say) is signalled
  // first or the time runs out.
  bool WaitForSleeper(HANDLE ended, DWORD realTimeoutMs = 10000);

private:
  CCriticalSection m_lock;
  DWORD m_now = 0;
  bool m_sleeping = false;
  DWORD m_sleepingAt = 0;
  CEvent m_advanced{CEvent::Kind::AutoReset};
  CEvent m_asleep{CEvent::Kind::AutoReset};
};

}  // namespace vkstest
