// tools/VKSRmdir/VKSRmdir.h - removes a module folder with everything below it.
#pragma once
#include <windows.h>
#include "VKSServer.h"

int RunVKSRmdir(int argc, wchar_t** argv);

// Deletes the files and folders below folder (a server path without a
// trailing backslash), then folder itself, printing each removed folder,
// deepest first. Goes on past failures; false when anything failed.
bool RemoveModuleTree(IVKSVolume* volume, const wchar_t* folder);
