// tools/VKSDir/VKSDir.cpp - directory listing of the module on the console.
#include "VKSDir.h"
#include "ConsoleText.h"
#include "DisplayText.h"
#include "EntryList.h"
#include "ModuleDir.h"
#include "ModulePath.h"
#include "ToolFrame.h"
#include <cstdio>
#include <cwchar>

namespace {

const char kUsage[] =
    "\n"
    "List entries of a folder on module file system.\n"
    "\n"
    "Usage: VKSDir mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path of folder to be listed\n"
    "\n"
    "A module path is always identified by the 'mod:' at the beginning of a path\n"
    "declaration.\n"
    "You can use a single 'mod:' to get a list of the available module drives!\n"
    "\n"
    "Version of tool: %s\n";

// Patterns are extended only while "\*" still fits the parse buffer.
const size_t kExtendLimit = 267;

bool IsDriveListArgument(const wchar_t* argument) {
  for (const wchar_t* form : {L"mod:", L"mod:*", L"mod:\\", L"mod:\\*"})
    if (CompareText(argument, form, FALSE) == 0) return true;
  return false;
}

std::string Oem(const CBstr& text) { return ToOemText(text.GetBstr()); }

}  // namespace

bool GetParentFolder(const wchar_t* path, wchar_t* buffer, size_t size) {
  if (!buffer || !size) return true;
  lstrcpynW(buffer, path ? path : L"", static_cast<int>(size));
  size_t length = wcslen(buffer);
  while (length && buffer[length - 1] != L'\\') buffer[--length] = 0;
  if (length > 4) buffer[--length] = 0;
  return true;
}

bool ListModuleDrives(IVKSVolume* volume, const wchar_t* pattern) {
  CEntryList drives;
  if (!ListEntries(volume, pattern, false, &drives, kModuleErrorFormat)) return false;
  printf("\n Module drive list\n\n");
  int count = 0;
  for (LONG e = 0; e < drives.GetCount(); ++e) {
    if (!drives.IsEntry(e)) continue;
    const wchar_t* name = drives.GetName(e);
    printf("%3s  (Capacity: %11s, Free: %11s)\n", ToOemText(name).c_str(),
           Oem(FormatGroupedNumber(drives.GetInt(e, geSize))).c_str(),
           Oem(FormatGroupedNumber(drives.GetWholeNumber(e, geLastWriteTime))).c_str());
    ++count;
  }
  printf("% 16d Drive(s)\n", count);
  fflush(stdout);
  return true;
}

bool ListModuleFolder(IVKSVolume* volume, const wchar_t* pattern, const wchar_t* folder) {
  CEntryList entries;
  if (!ListEntries(volume, pattern, false, &entries, kModuleErrorFormat)) return false;
  printf("\n Module directory of %s\n\n", ToOemText(folder && *folder ? folder + 1 : L"").c_str());
  int directories = 0;
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    if (!entries.IsDirectory(e)) continue;
    printf("%19s  <DIR>  %11s  %s\n", Oem(FormatDateTime(entries.GetDate(e, geCreationTime), 1, 0, 0)).c_str(),
           "", ToOemText(entries.GetName(e)).c_str());
    ++directories;
  }
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    if (!entries.IsEntry(e) || entries.IsDirectory(e)) continue;
    printf("%19s         %11s  %s\n", Oem(FormatDateTime(entries.GetDate(e, geCreationTime), 1, 0, 0)).c_str(),
           Oem(FormatGroupedNumber(entries.GetInt(e, geSize))).c_str(), ToOemText(entries.GetName(e)).c_str());
  }
  // Summed in 64 bits: many large files must not wrap the total.
  LONG files = 0;
  const LONGLONG total = entries.SumFileSizes(&files);
  printf("% 16d File(s),  %s Bytes\n", static_cast<int>(files), Oem(FormatGroupedNumber(total)).c_str());
  printf("% 16d Dir(s)\n", directories);
  fflush(stdout);
  return true;
}

int RunVKSDir(int argc, wchar_t** argv) {
  if (argc != 2) {
    PrintUsage(kUsage);
    return kExitSuccess;
  }
  wchar_t* argument = argv[1];
  ReplaceChar(argument, L'/', L'\\');
  // COM and the server come before the path is parsed.
  return RunWithVolume([&](IVKSVolume* volume) -> int {
    if (IsDriveListArgument(argument))
      return ListModuleDrives(volume, L"\\*") ? kExitSuccess : kExitFailure;
    wchar_t path[kModulePathSize];
    if (!ParseModulePath(argument, path, kModulePathSize)) {
      PrintUsage(kUsage);
      return kExitSuccess;
    }
    return ListModulePath(volume, path) ? kExitSuccess : kExitFailure;
  });
}

bool ListModulePath(IVKSVolume* volume, const wchar_t* path) {
  wchar_t pattern[kModulePathSize];
  lstrcpynW(pattern, path ? path : L"", kModulePathSize);
  const size_t length = wcslen(pattern);
  if (length && length < kExtendLimit) {
    if (pattern[length - 1] == L'\\')
      wcscat(pattern, L"*");
    else if (IsModuleDir(volume, pattern, kModuleErrorFormat))
      wcscat(pattern, L"\\*");
  }
  wchar_t folder[kModulePathSize];
  GetParentFolder(pattern, folder, kModulePathSize);
  return ListModuleFolder(volume, pattern, folder);
}
