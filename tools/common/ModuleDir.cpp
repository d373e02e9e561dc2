// tools/common/ModuleDir.cpp - the folder test of the copy and listing tools.
#include "ModuleDir.h"
#include "ConsoleText.h"
#include "EntryList.h"
#include "ErrorText.h"
#include "SuiteString.h"
#include <cwchar>

bool IsModuleDir(IVKSVolume* volume, const wchar_t* path, const char* fallback) {
  if (!volume || !path || !*path) return false;
  const size_t pathLength = wcslen(path);
  if (path[pathLength - 1] == L'\\') return true;
  CEntryList entries;
  HRESULT hr = ReadEntries(volume, path, true, &entries);
  // A result that is no array of variants is no folder, and no failure.
  if (hr == DISP_E_TYPEMISMATCH || (FAILED(hr) && !fallback)) {
    ClearErrorInfo();
    return false;
  }
  if (!CheckResult(hr, fallback)) return false;
  // The folder bit alone decides: a generic OBEX server may give a folder a
  // size (4096 on many file systems), the module gives none.
  if (entries.GetCount() != 1 || !entries.IsDirectory(0)) return false;
  const wchar_t* name = entries.GetName(0);
  if (!name) return false;
  const size_t nameLength = wcslen(name);
  // The name must be the whole last component: "\A:\*java" listing a folder
  // "java" is a pattern, not that folder.
  if (!nameLength || nameLength >= pathLength || path[pathLength - nameLength - 1] != L'\\') return false;
  return CompareCountedText(name, static_cast<int>(nameLength), path + pathLength - nameLength,
                            static_cast<int>(nameLength), FALSE) == 0;
}
