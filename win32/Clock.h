// win32/Clock.h - the milliseconds a loop reads and the wait it sleeps in, so
// that a test can run the loop on a clock of its own instead of real seconds.
#pragma once
#include <windows.h>

class IClock {
public:
  // Milliseconds as GetTickCount counts them (they wrap; use differences).
  virtual DWORD Now() = 0;
  // Sleeps up to timeoutMs until wake is set or a window message comes in
  // (MessageWait::ReturnOnMessage); the result as WaitWithMessageLoop gives it.
  virtual DWORD Sleep(HANDLE wake, DWORD timeoutMs) = 0;

protected:
  ~IClock() = default;
};

// GetTickCount and the real wait.
IClock& SystemClock();
