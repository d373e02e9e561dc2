// tools/VKSRmdir/VKSRmdir.cpp - removing a module folder tree from the console.
#include "VKSRmdir.h"
#include "ConsoleText.h"
#include "EntryList.h"
#include "ModulePath.h"
#include "SuiteString.h"
#include "ToolFrame.h"
#include "ToolUsage.h"
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const char kUsage[] =
    "\n"
    "Delete complete directory including all files on module file system.\n"
    "\n"
    "Usage: VKSRmdir mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path of directory to be deleted\n"
    "\n" VKS_MODULE_PATH_USAGE_NOTE;

const size_t kVolumeRootLength = 4;   // "\A:\"

// A name that would make the child path the folder itself or its parent
// would walk forever or out of the tree.
bool IsChildName(const wchar_t* name) {
  return name && *name && wcscmp(name, L".") != 0 && wcscmp(name, L"..") != 0 && !wcschr(name, L'\\');
}

}  // namespace

bool RemoveModuleTree(IVKSVolume* volume, const wchar_t* folder) {
  const std::wstring base(folder);
  bool ok = true;
  {
    CEntryList entries;
    if (!ListEntries(volume, (base + L"\\*").c_str(), false, &entries, kModuleErrorFormat)) return false;
    for (LONG e = 0; e < entries.GetCount(); ++e) {
      const wchar_t* name = entries.GetName(e);
      if (!entries.IsEntry(e) || !IsChildName(name)) continue;
      const std::wstring child = base + L"\\" + name;
      if (entries.IsDirectory(e)) {
        if (!RemoveModuleTree(volume, child.c_str())) ok = false;
      } else {
        CBstr file(child.c_str());
        if (!CheckResult(volume->Delete(file.GetBstr()), kModuleErrorFormat)) ok = false;
      }
    }
  }
  CBstr path(folder);
  if (!CheckResult(volume->RemoveDir(path.GetBstr()), kModuleErrorFormat)) return false;
  printf("Removed directory %s\n", ToOemText(folder + 1).c_str());
  fflush(stdout);
  return ok;
}

int RunVKSRmdir(int argc, wchar_t** argv) {
  wchar_t path[kModulePathSize];
  if (argc != 2 || !PrepareModulePath(argv[1], path) || wcslen(path) <= kVolumeRootLength) {
    PrintUsage(kUsage);
    return kExitSuccess;
  }
  // The walk takes the folder without its trailing backslash ("mod:a:\t\").
  size_t length = wcslen(path);
  while (length > kVolumeRootLength && path[length - 1] == L'\\') path[--length] = 0;
  if (length <= kVolumeRootLength) {
    PrintUsage(kUsage);
    return kExitSuccess;
  }
  return RunWithVolume([&](IVKSVolume* volume) { return RemoveModuleTree(volume, path); });
}
