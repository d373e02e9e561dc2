// win32/MessageWait.cpp - the message-pumping wait.
#include "MessageWait.h"

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

DWORD WaitWithMessageLoop(const HANDLE* handles, DWORD count, DWORD timeoutMs, MessageWait mode) {
  if (mode == MessageWait::ReturnOnMessage)
    return MsgWaitForMultipleObjects(count, handles, FALSE, timeoutMs, QS_ALLINPUT);
  const DWORD start = GetTickCount();
  for (;;) {
    PumpWaitingMessages();
    DWORD left = INFINITE;
    if (timeoutMs != INFINITE) {
      const DWORD elapsed = GetTickCount() - start;
      left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
    }
    const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + count) return result;
  }
}
