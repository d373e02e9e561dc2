// tools/VKSXCopy/VKSXCopy.h - copies files and whole folder trees between the PC and the module.
#pragma once
#include <windows.h>
#include <string>
#include "VKSServer.h"

// The whole tool: arguments, server, copy; the process's exit code.
int RunVKSXCopy(int argc, wchar_t** argv);

// Trees, level by level: at each level the subfolders first (depth-first, in
// the order listed), then the level's files. counter is null at the top
// level, which prepares the destination and prints the count of all levels.
bool CopyTreePCToModule(IVKSVolume* volume, std::wstring source, const std::wstring& destination, int* counter);
bool CopyTreeModuleToPC(IVKSVolume* volume, std::wstring source, const std::wstring& destination, int* counter);
bool CopyTreeWithinModule(IVKSVolume* volume, std::wstring source, const std::wstring& destination, int* counter);
bool CopyTreeOnPC(const std::wstring& source, const std::wstring& destination);

// The top level's destination folder (with its "\"), created when missing;
// empty when it cannot be had.
std::wstring PrepareModuleDestination(IVKSVolume* volume, const std::wstring& destination);
std::wstring PreparePCDestination(const std::wstring& destination);

bool IsSubdirEntry(const wchar_t* name, DWORD attributes);
// An existing module file (not a folder) of that path.
bool IsModuleFile(IVKSVolume* volume, const std::wstring& path);
