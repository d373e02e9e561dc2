// tools/VKSCopy/VKSCopy.h - copies files between the PC and the module, in both, or on the PC.
#pragma once
#include <windows.h>
#include <string>
#include "VKSServer.h"

// The whole tool: arguments, server, copy; the process's exit code.
int RunVKSCopy(int argc, wchar_t** argv);

// One folder level each; wildcards in the source select several files. True
// when every file was copied.
bool CopyFilesPCToModule(IVKSVolume* volume, const std::wstring& source, const std::wstring& destination);
bool CopyFilesModuleToPC(IVKSVolume* volume, const std::wstring& source, const std::wstring& destination);
bool CopyFilesWithinModule(IVKSVolume* volume, const std::wstring& source, const std::wstring& destination);
bool CopyOnPC(const std::wstring& source, const std::wstring& destination);
