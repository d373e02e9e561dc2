// testsupport/ShellExtTestSupport.h - what the extension's tests share.
#pragma once
#include <windows.h>

// The built VKSShellExt.dll, as a Windows path.
const wchar_t* ShellExtDllPath();

// The hidden owner windows' class, as the library registers it at load, for
// tests that do not load it.
void EnsureParentWindowClass();
