// server/ServerParts.h - what the process drives besides its COM objects:
// change-sink dispatch, shell notifications and the module connections.
#pragma once
#include <windows.h>

#include "ChangeSinks.h"
#include "ShellNotify.h"

// Joins the request layer to the server (error reporter, shell notifications)
// and starts the shell-notification thread.
HRESULT StartServerParts();
void StopServerParts();

// At exit, before the objects go: lets go of and destroys every connection.
void CloseModuleConnections();
