// transfers/ModuleCommands.h - the changing server calls of the user interface,
// each telling the user in a box when it fails; rename, new folder, the copy
// error box and the size sums of module and PC trees.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "SuiteString.h"
#include "VKSServer.h"

// The server's cancel, in the form a volume returns it or in the system's
// form (0x800704D3) the server hands its clients.
bool IsCancelled(HRESULT result);

// A result that is not a failure, or a cancel, comes back without a box.
HRESULT SetLabelWithMessage(const wchar_t* volume, const wchar_t* label, IVKSVolume* server, HWND owner);
HRESULT SetAttributesWithMessage(const wchar_t* path, LONG attributes, IVKSVolume* server, HWND owner);
HRESULT CreateStdDirsWithMessage(const wchar_t* volume, IVKSVolume* server, HWND owner);
HRESULT FormatWithMessage(const wchar_t* volume, IVKSVolume* server, HWND owner);

// Renames one module item (its record holds the full path) to newName beside it.
HRESULT RenameItem(LPCITEMIDLIST item, const wchar_t* newName, IVKSVolume* server, HWND owner);
// "New folder", else "New folder (2)", (3) ... in folder; empty on failure.
CBstr CreateNewFolder(const wchar_t* folder, IVKSVolume* server, HWND owner);

// The box for a failed call without an owner at hand: the thread's first
// top-level window owns it, else none. An empty path shows the bare error.
void ShowCopyError(HRESULT result, const wchar_t* path);
BOOL CALLBACK ShowCopyErrorOnWindow(HWND window, LPARAM record);

// Add the sizes of every file below a folder to *total; failed listings add
// nothing. pump dispatches the thread's messages before each entry.
void SumModuleTreeSize(const wchar_t* folder, ULONGLONG* total, BOOL pump, IVKSVolume* server);
void SumPCTreeSize(const wchar_t* folder, ULONGLONG* total, BOOL pump);
