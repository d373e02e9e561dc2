// server/ServerParts.h - what the process drives besides its COM objects:
// change-sink dispatch, shell notifications and the module connections.
#pragma once
#include <windows.h>

#include "ChangeSinks.h"
#include "ExeModule.h"
#include "ShellNotify.h"

// The loop's work in the server: due change sinks are called, and the shell
// notifications' gate opens while the loop idles.
IIdleWork& ServerIdleWork();

// Joins the request layer to the server (error reporter, shell notifications)
// and starts the shell-notification thread.
HRESULT StartServerParts();
void StopServerParts();

// At exit, before the objects go: lets go of and destroys every connection.
void CloseModuleConnections();
