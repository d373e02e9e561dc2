// namespace/ModuleEntry.h - the library's process-wide state, its attach and
// detach, and the work behind its exports.
#pragma once
#include <windows.h>
#include <objidl.h>

// Process attach and detach as the entry runs them; tests call them directly.
BOOL ShellExtAttach(HINSTANCE instance);
void ShellExtDetach();

HRESULT ShellExtCanUnloadNow();
HRESULT ShellExtGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
HRESULT ShellExtRegisterServer();
HRESULT ShellExtUnregisterServer();

// Process-wide state set at attach and read-only afterwards.
HINSTANCE ShellExtInstance();
// The shell allocator every item-ID list is allocated and freed with. Before
// attach (unit tests) it is SHGetMalloc's; tests may put a counting one in.
IMalloc* ShellMalloc();
void SetShellMallocForTest(IMalloc* malloc);   // null: back to the shell's
