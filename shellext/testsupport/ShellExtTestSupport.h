// testsupport/ShellExtTestSupport.h - what the extension's tests share.
#pragma once
#include <windows.h>

// The built VKSShellExt.dll, as a Windows path.
const wchar_t* ShellExtDllPath();

// The hidden owner windows' class, as the library registers it at load, for
// tests that do not load it.
void EnsureParentWindowClass();

// Empties the OLE clipboard from this thread: S_OK when it is empty after.
// Under Wine the OLE clipboard's window belongs to the thread that first put
// an object there; when that is a data object's owner thread, the emptying
// ends it and its window, which closes the clipboard before this thread does
// (CLIPBRD_E_CANT_CLOSE although it is empty); later puts of the process
// then fail with CLIPBRD_E_CANT_OPEN.
HRESULT EmptyOleClipboard();
