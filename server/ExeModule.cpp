// server/ExeModule.cpp - message loop with idle exit and the shutdown handshake.
#include "ExeModule.h"
#include "MessageWait.h"
#include "ServerParts.h"

ExeModule g_exeModule;

namespace {
constexpr DWORD kGateDelayMs = 50;
}

ExeModule::ExeModule()
    : m_wakeEvent(CEvent::Kind::AutoReset), m_loopEndedEvent(CEvent::Kind::ManualReset) {}

ExeModule::~ExeModule() = default;

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
    WaitWithMessageLoop(m_wakeEvent, wait, MessageWait::ReturnOnMessage);
    return;
  }
  if (WaitWithMessageLoop(m_wakeEvent, kGateDelayMs, MessageWait::ReturnOnMessage) != WAIT_TIMEOUT) return;
  // Quiet for 50 ms: shell notifications may go out while the loop sleeps on.
  HANDLE gate = GetShellNotifyGate();
  if (gate) SetEvent(gate);
  WaitWithMessageLoop(m_wakeEvent, wait - kGateDelayMs, MessageWait::ReturnOnMessage);
  if (gate) ResetEvent(gate);
}

void ExeModule::RunMessageLoop() {
  m_lastUnlock = GetTickCount();
  m_loopEndedEvent.Reset();
  m_shutdownRequested = 0;
  for (;;) {
    PumpWaitingMessages();
    DWORD wait = NextWait();
    if (wait == INFINITE) break;
    if (wait) Sleep(wait);
  }
  m_loopEndedEvent.Set();
}

void ExeModule::NoteActivity() {
  m_wakeEvent.Set();
}

bool ExeModule::WaitForShutdown(DWORD timeoutMs) {
  InterlockedExchange(&m_shutdownRequested, 1);
  m_wakeEvent.Set();
  if (WaitForSingleObject(m_loopEndedEvent, timeoutMs ? timeoutMs : 1) == WAIT_OBJECT_0) return true;
  InterlockedExchange(&m_shutdownRequested, 0);
  m_wakeEvent.Reset();
  // The loop may have ended just after the wait gave up; that is a shutdown.
  return m_loopEndedEvent.IsSet();
}
