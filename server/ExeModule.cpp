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

// A request is decided once it finds no client but the caller; after that
// nothing withdraws it, so the caller and the loop never disagree.
bool ExeModule::ShutdownDecided() {
  if (GetLockCount() <= 1)
    InterlockedCompareExchange(&m_shutdownRequested, kShutdownDecided, kShutdownRequested);
  return m_shutdownRequested == kShutdownDecided;
}

// Milliseconds to sleep before the next pass; INFINITE ends the loop.
DWORD ExeModule::NextWait() {
  if (ShutdownDecided()) return INFINITE;
  LONG locks = GetLockCount();
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
  // A request made before the loop started stands; the end clears it.
  for (;;) {
    PumpWaitingMessages();
    DWORD wait = NextWait();
    if (wait == INFINITE) break;
    if (wait) Sleep(wait);
  }
  m_loopEndedEvent.Set();
  InterlockedExchange(&m_shutdownRequested, kNoShutdown);
}

void ExeModule::NoteActivity() {
  m_wakeEvent.Set();
}

bool ExeModule::WaitForShutdown(DWORD timeoutMs) {
  InterlockedCompareExchange(&m_shutdownRequested, kShutdownRequested, kNoShutdown);
  m_wakeEvent.Set();
  if (WaitForSingleObject(m_loopEndedEvent, timeoutMs ? timeoutMs : 1) == WAIT_OBJECT_0) return true;
  // With no other client the loop only has not looked yet (a busy machine
  // may not run it within 1 ms): no reason to fail.
  if (!ShutdownDecided()) {
    const LONG was =
        InterlockedCompareExchange(&m_shutdownRequested, kNoShutdown, kShutdownRequested);
    if (was == kShutdownRequested) {
      m_wakeEvent.Reset();
      return false;
    }
    // Another caller withdrew, or the loop has ended and cleared the request.
    if (was == kNoShutdown) return m_loopEndedEvent.IsSet();
  }
  m_wakeEvent.Set();
  WaitForSingleObject(m_loopEndedEvent, INFINITE);
  return true;
}
