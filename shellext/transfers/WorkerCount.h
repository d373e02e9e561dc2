// transfers/WorkerCount.h - a count of running worker threads of one kind,
// with an event that is set while none runs, so that callers (tests) can
// wait for them to end.
#pragma once
#include <windows.h>
#include "MessageWait.h"

class CWorkerCount {
public:
  CWorkerCount() : m_idle(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
  CWorkerCount(const CWorkerCount&) = delete;
  CWorkerCount& operator=(const CWorkerCount&) = delete;

  void Starts() {
    if (InterlockedIncrement(&m_running) == 1) ResetEvent(m_idle);
  }
  void Ends() {
    if (InterlockedDecrement(&m_running) == 0) SetEvent(m_idle);
  }
  // Dispatches this thread's messages meanwhile; false when timeoutMs passed.
  bool WaitIdle(DWORD timeoutMs) { return WaitWithMessageLoop(m_idle, timeoutMs) == WAIT_OBJECT_0; }

private:
  HANDLE m_idle;
  volatile LONG m_running = 0;
};
