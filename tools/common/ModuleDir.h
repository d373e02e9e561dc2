// tools/common/ModuleDir.h - does a server path name a folder on the module?
#pragma once
#include <windows.h>
#include "VKSServer.h"

// True at once for a path ending in "\". Else lists the path with
// limittodirectories and accepts exactly one entry with the folder attribute
// whose name is the path's last component (ignoring case), whatever its size. A failing call is printed by
// CheckResult with fallback, or silently ignored when fallback is null.
bool IsModuleDir(IVKSVolume* volume, const wchar_t* path, const char* fallback);
