// win32/MessageWait.h - waiting on kernel objects while the thread's window
// messages go on being dispatched (COM apartments need that).
#pragma once
#include <windows.h>

// Dispatches every message waiting for the thread (PeekMessageW PM_REMOVE,
// TranslateMessage, DispatchMessageW). WM_QUIT is dispatched like the rest,
// which drops it: no thread of the suite ends by it.
void PumpWaitingMessages();

enum class MessageWait {
  // Dispatch the messages that come in and wait on.
  Dispatch,
  // Return at the first message that comes in, without dispatching it: the
  // caller's own loop does that, and looks at its state first.
  ReturnOnMessage,
};

// Waits until one of handles is signalled (WAIT_OBJECT_0 + its index) or
// timeoutMs has passed (WAIT_TIMEOUT; INFINITE waits without a limit).
// Dispatch: the waiting messages are dispatched first, then every one that
// comes in. ReturnOnMessage: one wait; a message that comes in ends it with
// WAIT_OBJECT_0 + count. WAIT_FAILED (or an abandoned mutex) as the wait gives it.
DWORD WaitWithMessageLoop(const HANDLE* handles, DWORD count, DWORD timeoutMs,
                          MessageWait mode = MessageWait::Dispatch);
inline DWORD WaitWithMessageLoop(HANDLE handle, DWORD timeoutMs, MessageWait mode = MessageWait::Dispatch) {
  return WaitWithMessageLoop(&handle, 1, timeoutMs, mode);
}
