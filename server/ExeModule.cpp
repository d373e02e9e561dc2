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
  // A request made before the loop started stands; the end clears it.
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
  InterlockedExchange(&m_shutdownRequested, kNoShutdown);
}

void ExeModule::NoteActivity() {
  if (m_wakeEvent) SetEvent(m_wakeEvent);
}

bool ExeModule::WaitForShutdown(DWORD timeoutMs) {
  InterlockedCompareExchange(&m_shutdownRequested, kShutdownRequested, kNoShutdown);
  SetEvent(m_wakeEvent);
  if (WaitForSingleObject(m_loopEndedEvent, timeoutMs ? timeoutMs : 1) == WAIT_OBJECT_0) return true;
  // With no other client the loop only has not looked yet (a busy machine
  // may not run it within 1 ms): no reason to fail.
  if (!ShutdownDecided()) {
    const LONG was =
        InterlockedCompareExchange(&m_shutdownRequested, kNoShutdown, kShutdownRequested);
    if (was == kShutdownRequested) {
      ResetEvent(m_wakeEvent);
      return false;
    }
    // Another caller withdrew, or the loop has ended and cleared the request.
    if (was == kNoShutdown) return WaitForSingleObject(m_loopEndedEvent, 0) == WAIT_OBJECT_0;
  }
  SetEvent(m_wakeEvent);
  WaitForSingleObject(m_loopEndedEvent, INFINITE);
  return true;
}
