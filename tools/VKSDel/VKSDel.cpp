// tools/VKSDel/VKSDel.cpp - deleting module files from the console.
#include "VKSDel.h"
#include "ConsoleText.h"
#include "EntryList.h"
#include "ModulePath.h"
#include "SuiteString.h"
#include "ToolFrame.h"
#include "ToolUsage.h"
#include <cwchar>
#include <string>

namespace {

const char kUsage[] =
    "\n"
    "Delete file (or files if used with wildcards) on module file system.\n"
    "\n"
    "Usage: VKSDel mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path to files to be deleted\n"
    "\n" VKS_MODULE_PATH_USAGE_NOTE;

// "\A:\java\*.jar" gives "\A:\java\" (the backslash stays).
std::wstring GetFolderPart(const wchar_t* path) {
  std::wstring folder(path);
  const size_t slash = folder.find_last_of(L'\\');
  folder.erase(slash == std::wstring::npos ? 0 : slash + 1);
  return folder;
}

}  // namespace

bool DeleteModuleFiles(IVKSVolume* volume, const wchar_t* path) {
  CEntryList entries;
  if (!ListEntries(volume, path, false, &entries, kModuleErrorFormat)) return false;
  const std::wstring folder = GetFolderPart(path);
  bool ok = true;
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    const wchar_t* name = entries.GetName(e);
    // Without a name the path would be the folder itself.
    if (!entries.IsEntry(e) || entries.IsDirectory(e) || !name || !*name) continue;
    CBstr file((folder + name).c_str());
    if (!CheckResult(volume->Delete(file.GetBstr()), kModuleErrorFormat)) ok = false;
  }
  return ok;
}

int RunVKSDel(int argc, wchar_t** argv) {
  wchar_t path[kModulePathSize];
  if (argc != 2 || !PrepareModulePath(argv[1], path) || wcslen(path) <= 4) {
    PrintUsage(kUsage);
    return kExitSuccess;
  }
  return RunWithVolume([&](IVKSVolume* volume) { return DeleteModuleFiles(volume, path); });
}
