// tools/VKSDir/VKSDir.h - lists the module's drives or one module folder.
#pragma once
#include <windows.h>
#include <cstddef>
#include "VKSServer.h"

// The whole tool: arguments, server, listing; the process's exit code.
int RunVKSDir(int argc, wchar_t** argv);

// A parsed module path ("\A:\java"): a folder, known by its trailing "\" or
// by the module's listing, shows its entries; names and patterns are listed
// as they stand. False when the listing failed.
bool ListModulePath(IVKSVolume* volume, const wchar_t* path);
// The drive list ("\*"); false when the server's listing failed.
bool ListModuleDrives(IVKSVolume* volume, const wchar_t* pattern);
// The entries matching pattern, directories first, with the totals; folder
// is the server path shown in the heading.
bool ListModuleFolder(IVKSVolume* volume, const wchar_t* pattern, const wchar_t* folder);
// The folder part of a server path: "\A:\java\*" gives "\A:\java", "\A:\*" gives "\A:\".
bool GetParentFolder(const wchar_t* path, wchar_t* buffer, size_t size);
