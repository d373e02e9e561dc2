// tools/VKSDel/VKSDel.h - deletes module files, wildcards allowed, one folder only.
#pragma once
#include <windows.h>
#include "VKSServer.h"

int RunVKSDel(int argc, wchar_t** argv);

// Deletes every file that path (a server path, possibly with wildcards)
// matches; folders are left alone. False when the listing or any delete failed.
bool DeleteModuleFiles(IVKSVolume* volume, const wchar_t* path);
