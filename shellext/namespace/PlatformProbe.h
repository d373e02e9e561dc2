// namespace/PlatformProbe.h - versions of shell32 and comctl32, and the
// platform level, as the library probes them at load.
#pragma once
#include <windows.h>

// major 4, minor 0 unless the library loads and its DllGetVersion answers.
// E_POINTER for null outs; E_FAIL when the library does not load or has no
// DllGetVersion.
HRESULT GetDllVersion(DWORD* major, DWORD* minor, const wchar_t* file);

// 0..4 from a version record: 9x platform 1 from 4.1 on, NT 2 below 5.0,
// 3 for 5.0, 4 later; 0 otherwise.
int PlatformLevelFromVersion(DWORD platformId, DWORD major, DWORD minor);
// GetVersionExW is tried with the extended record, then the plain one.
using GetVersionFn = BOOL(WINAPI*)(OSVERSIONINFOW* info);
int GetPlatformLevelWith(GetVersionFn getVersion);
int GetPlatformLevel();

// The list-view features of comctl32 4.70 and later.
bool IsExtendedListViewVersion(DWORD major, DWORD minor);
