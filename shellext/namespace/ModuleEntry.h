// namespace/ModuleEntry.h - the library's process-wide state, its attach and
// detach, and the work behind its exports.
#pragma once
#include <windows.h>
#include <objidl.h>

class CClassTable;

// Process attach and detach as the entry runs them; tests call them directly.
BOOL ShellExtAttach(HINSTANCE instance);
void ShellExtDetach();

HRESULT ShellExtCanUnloadNow();
HRESULT ShellExtGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
HRESULT ShellExtRegisterServer();
HRESULT ShellExtUnregisterServer();
// The same against any class table and module (tests feed failing scripts).
HRESULT RegisterServerWith(const CClassTable& table, HMODULE module);
HRESULT UnregisterServerWith(const CClassTable& table, HMODULE module);
const CClassTable& ShellExtClassTable();

// What keeps the library loaded besides live objects and factory locks
// (for example an open search window). DllCanUnloadNow reads the sum.
void ShellExtLock();
void ShellExtUnlock();

// Process-wide state set at attach and read-only afterwards.
HINSTANCE ShellExtInstance();
// The shell allocator every item-ID list is allocated and freed with. Before
// attach (unit tests) it is SHGetMalloc's; tests may put a counting one in.
IMalloc* ShellMalloc();
void SetShellMallocForTest(IMalloc* malloc);   // null: back to the shell's

struct DllVersion {
  DWORD major;
  DWORD minor;
};
DllVersion Shell32Version();
DllVersion Comctl32Version();
// comctl32 4.70 or later: column widths, list handlers, the search window.
bool HasExtendedListView();

// The shared menu, loaded on first use by its owner and destroyed at detach.
HMENU SharedMenu();
void SetSharedMenu(HMENU menu);

// The window classes registered at attach.
extern const wchar_t kParentWindowClass[];    // "VKS Parent Window"
extern const wchar_t kWebViewWindowClass[];   // "VKS_WEBVIEW_CLASS_NAME"
