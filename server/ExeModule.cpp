// server/ExeModule.cpp - message loop with idle exit and the shutdown handshake.
#include "ExeModule.h"
#include "MessageWait.h"
#include "ServerParts.h"

ExeModule g_exeModule(ServerIdleWork());

namespace {
constexpr DWORD kGateDelayMs = 50;
}

ExeModule::ExeModule(IIdleWork& work, IClock& clock)
    : m_work(work),
      m_clock(clock),
      m_wakeEvent(CEvent::Kind::AutoReset),
      m_loopEndedEvent(CEvent::Kind::ManualReset) {}

ExeModule::~ExeModule() = default;

LONG ExeModule::Unlock() {
  m_lastUnlock = m_clock.Now();
  return CComModuleBase::Unlock();
}

// Milliseconds to sleep before the next pass; INFINITE ends the loop.
DWORD ExeModule::NextWait() {
  LONG locks = GetLockCount();
  if (locks <= 1 && m_shutdownRequested) return INFINITE;
  if (locks > 0) {
    DWORD wait = m_work.TimeToNextWork();
    if (wait == 0) {
      m_work.DoDueWork();
      return 0;
    }
    return wait < kIdleExitMs ? wait : kIdleExitMs;
  }
  DWORD elapsed = m_clock.Now() - m_lastUnlock;
  if (elapsed >= kIdleExitMs) return INFINITE;
  return kIdleExitMs - elapsed;
}

void ExeModule::Sleep(DWORD wait) {
  if (wait <= kGateDelayMs) {
    m_clock.Sleep(m_wakeEvent, wait);
    return;
  }
  if (m_clock.Sleep(m_wakeEvent, kGateDelayMs) != WAIT_TIMEOUT) return;
  // Quiet for 50 ms: shell notifications may go out while the loop sleeps on.
  m_work.SetIdle(true);
  m_clock.Sleep(m_wakeEvent, wait - kGateDelayMs);
  m_work.SetIdle(false);
}

void ExeModule::RunMessageLoop() {
  m_lastUnlock = m_clock.Now();
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
