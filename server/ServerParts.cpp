// server/ServerParts.cpp - stand-ins until change sinks, shell notifications
// and the connection layer join the server: nothing pending, nothing to close.
#include "ServerParts.h"

HRESULT StartShellNotify() { return S_OK; }
void StopShellNotify() {}
HANDLE GetShellNotifyGate() { return nullptr; }
DWORD TimeToNextDispatch() { return 500; }
void DispatchPendingNotification() {}
void CloseAllConnections() {}
