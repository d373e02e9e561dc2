// server/ServerParts.h - what the process drives besides its COM objects:
// change-sink dispatch, shell notifications and the module connections.
#pragma once
#include <windows.h>

HRESULT StartShellNotify();
void StopShellNotify();
// Set while the main loop idles, so shell notifications go out only then.
HANDLE GetShellNotifyGate();

// Milliseconds until a change sink is due (0: now); 500 when none is pending.
DWORD TimeToNextDispatch();
void DispatchPendingNotification();

void CloseAllConnections();
