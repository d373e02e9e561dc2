// transfers/DeleteOperation.h - permanent deletion of a selection of module
// files and folders on a worker thread of its own: one confirmation for the
// selection, another for read-only files met on the way, a progress dialog
// for larger jobs, Abort/Retry/Ignore on failures, and every deleted path
// reported to the caller's change sink as "D:" + path.
#pragma once
#include <windows.h>
#include "ItemIDList.h"
#include "SuiteString.h"
#include "VKSServer.h"

// items: count records (each an item-ID list whose record holds the full
// module path), allocated with new[]; the operation takes them over and
// frees them with delete[], also when it fails to start. noConfirmation 1
// deletes without any question (and clears read-only silently). sink may be
// null. The caller does not wait: the work runs on its own thread. An empty
// folderPath (items of the module root) only plays ".Default".
HRESULT StartDeleteOperation(const wchar_t* folderPath, CItemIDList* items, int count, DWORD noConfirmation,
                             HWND owner, IVKSNotifySink* sink);
