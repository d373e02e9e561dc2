// server/ExeModule.h - the server's lock count, its message loop and shutdown on request.
#pragma once
#include "Clock.h"
#include "ComBase.h"
#include "Handle.h"

// What the loop does besides sleeping: the change sinks' calls and the gate
// that lets shell notifications out while the loop idles.
class IIdleWork {
public:
  // Milliseconds until the next piece of work is due (0: now).
  virtual DWORD TimeToNextWork() = 0;
  virtual void DoDueWork() = 0;
  // The loop has been quiet for 50 ms and sleeps on (true), or wakes (false).
  virtual void SetIdle(bool idle) = 0;

protected:
  ~IIdleWork() = default;
};

class ExeModule : public CComModuleBase {
public:
  explicit ExeModule(IIdleWork& work, IClock& clock = SystemClock());
  ~ExeModule() override;

  // Stamps the time the idle period runs from, then counts down.
  LONG Unlock() override;

  // Runs until 5000 ms after the lock count fell to 0, or until a shutdown
  // request finds no client but the caller.
  void RunMessageLoop();
  // Asks the loop to end and waits timeoutMs for it (0 counts as 1). When the
  // time is up and no client but the caller holds the server, the request
  // stands and the call waits for the loop's end. false: the request was
  // withdrawn and the server goes on.
  bool WaitForShutdown(DWORD timeoutMs);
  // A client call came in: the loop starts its 50 ms of quiet anew, so shell
  // notifications wait until a burst of calls is over (the calls reach the
  // multithreaded apartment, not this loop's messages).
  void NoteActivity();

  static constexpr DWORD kIdleExitMs = 5000;

private:
  enum : LONG { kNoShutdown, kShutdownRequested, kShutdownDecided };

  DWORD NextWait();
  bool ShutdownDecided();
  void Sleep(DWORD wait);

  IIdleWork& m_work;
  IClock& m_clock;
  volatile DWORD m_lastUnlock = 0;
  CEvent m_wakeEvent;        // auto-reset; set by WaitForShutdown
  CEvent m_loopEndedEvent;   // manual-reset
  volatile LONG m_shutdownRequested = kNoShutdown;  // decided: the loop ends at its next pass
};

extern ExeModule g_exeModule;
