// win32/Clock.cpp - the system clock.
#include "Clock.h"

#include "MessageWait.h"

namespace {

class CSystemClock final : public IClock {
public:
  DWORD Now() override { return GetTickCount(); }
  DWORD Sleep(HANDLE wake, DWORD timeoutMs) override {
    return WaitWithMessageLoop(wake, timeoutMs, MessageWait::ReturnOnMessage);
  }
};

}  // namespace

IClock& SystemClock() {
  static CSystemClock clock;
  return clock;
}
