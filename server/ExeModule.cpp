// server/ExeModule.cpp - message loop with idle exit and the shutdown handshake.
#include "ExeModule.h"
#include "ServerParts.h"

ExeModule g_exeModule;

namespace {
constexpr DWORD kGateDelayMs = 50;
}

ExeModule::ExeModule()
    : m_wakeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_loopEndedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

ExeModule::~ExeModule() {
  if (m_wakeEvent) CloseHandle(m_wakeEvent);
  if (m_loopEndedEvent) CloseHandle(m_loopEndedEvent);
}

LONG ExeModule::Unlock() {
  m_lastUnlock = GetTickCount();
  return CComModuleBase::Unlock();
}

// Milliseconds to sleep before the next pass; INFINITE ends the loop.
DWORD ExeModule::NextWait() {
  LONG locks = GetLockCount();
  if (locks <= 1 && m_shutdownRequested) return INFINITE;
  if (locks > 0) {
    DWORD wait = TimeToNextDispatch();
    if (wait == 0) {
      DispatchPendingNotification();
      return 0;
    }
    return wait < kIdleExitMs ? wait : kIdleExitMs;
  }
  DWORD elapsed = GetTickCount() - m_lastUnlock;
  if (elapsed >= kIdleExitMs) return INFINITE;
  return kIdleExitMs - elapsed;
}

void ExeModule::Sleep(DWORD wait) {
  if (wait <= kGateDelayMs) {
    MsgWaitForMultipleObjects(1, &m_wakeEvent, FALSE, wait, QS_ALLINPUT);
    return;
  }
  if (MsgWaitForMultipleObjects(1, &m_wakeEvent, FALSE, kGateDelayMs, QS_ALLINPUT) != WAIT_TIMEOUT) return;
  // Quiet for 50 ms: shell notifications may go out while the loop sleeps on.
  HANDLE gate = GetShellNotifyGate();
  if (gate) SetEvent(gate);
  MsgWaitForMultipleObjects(1, &m_wakeEvent, FALSE, wait - kGateDelayMs, QS_ALLINPUT);
  if (gate) ResetEvent(gate);
}

void ExeModule::RunMessageLoop() {
  m_lastUnlock = GetTickCount();
  ResetEvent(m_loopEndedEvent);
  m_shutdownRequested = 0;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    DWORD wait = NextWait();
    if (wait == INFINITE) break;
    if (wait) Sleep(wait);
  }
  SetEvent(m_loopEndedEvent);
}

void ExeModule::NoteActivity() {
  if (m_wakeEvent) SetEvent(m_wakeEvent);
}

bool ExeModule::WaitForShutdown(DWORD timeoutMs) {
  InterlockedExchange(&m_shutdownRequested, 1);
  SetEvent(m_wakeEvent);
  if (WaitForSingleObject(m_loopEndedEvent, timeoutMs ? timeoutMs : 1) == WAIT_OBJECT_0) return true;
  InterlockedExchange(&m_shutdownRequested, 0);
  ResetEvent(m_wakeEvent);
  // The loop may have ended just after the wait gave up; that is a shutdown.
  return WaitForSingleObject(m_loopEndedEvent, 0) == WAIT_OBJECT_0;
}
