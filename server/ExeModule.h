// server/ExeModule.h - the server's lock count, its message loop and shutdown on request.
#pragma once
#include "ComBase.h"

class ExeModule : public CComModuleBase {
public:
  ExeModule();
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

  volatile DWORD m_lastUnlock = 0;
  HANDLE m_wakeEvent;        // auto-reset; set by WaitForShutdown
  HANDLE m_loopEndedEvent;   // manual-reset
  volatile LONG m_shutdownRequested = kNoShutdown;  // decided: the loop ends at its next pass
};

extern ExeModule g_exeModule;
