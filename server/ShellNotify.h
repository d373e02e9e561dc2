// server/ShellNotify.h - shell change notifications for module folders, posted
// by a thread of their own while the server's main loop idles.
#pragma once
#include <windows.h>
#include <shtypes.h>

#include "ShellEvents.h"
#include "SuiteString.h"

class IObex2;

// Finds the "Module" folder under My Computer, starts the poster thread.
bool StartShellNotify();
// Posts what is queued, then ends the thread.
void StopShellNotify();
// Set while the main loop idles; the poster waits for it before each post.
HANDLE GetShellNotifyGate();

void QueueShellNotify(LONG event, bool root);
void QueueShellNotifyPath(int connectionId, LONG event, const CBstr& path, short volumeCount, IObex2* obex);
void QueueShellNotifyRename(int connectionId, LONG event, const CBstr& oldPath, const CBstr& newPath,
                            short volumeCount, IObex2* obex);

// The absolute ID list of a module path under the root list (CoTaskMem), or
// null without a root list. With obex the last item gets the entry's data.
ITEMIDLIST* BuildModuleIDList(int connectionId, const CBstr& path, short volumeCount, IObex2* obex);

// Seams for tests: what would go to SHChangeNotify, and the root list to use
// instead of looking for "Module" (copied; null: look it up at start).
using ShellPoster = void (*)(LONG event, UINT flags, const ITEMIDLIST* first, const ITEMIDLIST* second);
void SetShellPoster(ShellPoster poster);  // null: SHChangeNotify
void SetShellNotifyRoot(const ITEMIDLIST* root);
