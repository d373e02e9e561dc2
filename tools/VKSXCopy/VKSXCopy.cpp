// tools/VKSXCopy/VKSXCopy.cpp - tree copies in the four directions.
#include "VKSXCopy.h"
#include "ConsoleText.h"
#include "CopyTransfer.h"
#include "EntryList.h"
#include "ErrorText.h"
#include "FolderEntry.h"
#include "ModuleDir.h"
#include "SuiteString.h"
#include <cstdio>

namespace {

const char kUsage[] =
    "\n"
    "Copy file(s) and directory trees inside module, inside PC or from PC to\n"
    "module or vice versa.\n"
    "\n"
    "Usage: VKSXCopy source destination\n"
    VKS_COPY_USAGE_ARGUMENTS;


void PrintCount(int count) {
  printf("%d file(s) copied\n\n", count);
  fflush(stdout);
}

void PrintLine(const char* text) {
  fputs(text, stdout);
  fflush(stdout);
}

std::wstring ModuleLabel(const std::wstring& moduleFile) { return L"MOD:" + moduleFile; }

// A module source that names a folder stands for everything in it.
std::wstring ModuleSourcePattern(IVKSVolume* volume, std::wstring source) {
  if (IsModuleDir(volume, source.c_str(), nullptr)) {
    AddBackslash(&source);
    source += L"*";
  }
  return source;
}

// Where the top level of a copy to the module goes, before anything is made:
// an existing folder, the folder of an existing file, or the path itself,
// which create says must be made.
std::wstring ResolveModuleDestination(IVKSVolume* volume, const std::wstring& destination, bool* create) {
  *create = false;
  std::wstring folder = destination;
  if (!IsModuleDir(volume, destination.c_str(), nullptr)) {
    if (IsModuleFile(volume, destination)) {
      folder = GetFolderPart(destination);
    } else {
      *create = true;
    }
  }
  AddBackslash(&folder);
  return folder;
}

bool CreateModuleDestination(IVKSVolume* volume, const std::wstring& destination) {
  CBstr path(destination.c_str());
  return CheckResult(volume->CreateDir(path.GetBstr()), kModuleErrorFormat);
}

bool CreateModuleFolder(IVKSVolume* volume, const std::wstring& folder, LONG attributes) {
  CBstr path(folder.c_str());
  return CheckResult(volume->CreateDir(path.GetBstr()), kModuleErrorFormat) &&
         CheckResult(volume->SetAttributes(path.GetBstr(), attributes & ~kFolderAttribute), kModuleErrorFormat);
}

// The PC files of pattern to the module folder destination.
bool CopyPCFilesToModule(IVKSVolume* volume, const std::wstring& pattern, const std::wstring& destination,
                         int* counter) {
  std::wstring sourceFolder;
  SplitPCPath(pattern, &sourceFolder, nullptr);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring pcFile = sourceFolder + found.cFileName;
    if (PutFileToModule(volume, pcFile.c_str(), (destination + found.cFileName).c_str())) {
      PrintPath("%s\n", pcFile);
      ++*counter;
    } else {
      PrintPath("Error copying %s\n", pcFile);
      ok = false;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return ok;
}

bool CopyModuleFilesToPC(IVKSVolume* volume, const std::wstring& pattern, const std::wstring& destination,
                         int* counter) {
  const std::wstring sourceFolder = GetFolderPart(pattern);
  bool ok = true;
  const bool listed = VisitModuleFiles(volume, pattern, [&](const wchar_t* name, LONG attributes) {
    const std::wstring moduleFile = sourceFolder + name;
    // A module name never places a file outside the destination folder.
    if (IsPlainEntryName(name) &&
        GetModuleFileToPC(volume, moduleFile.c_str(), (destination + name).c_str(), attributes)) {
      PrintPath("%s\n", ModuleLabel(moduleFile));
      ++*counter;
    } else {
      PrintPath("Error copying %s\n", ModuleLabel(moduleFile));
      ok = false;
    }
  });
  return listed && ok;
}

bool CopyModuleFilesWithinModule(IVKSVolume* volume, const std::wstring& pattern, const std::wstring& destination,
                                 int* counter) {
  const std::wstring sourceFolder = GetFolderPart(pattern);
  bool ok = true;
  const bool listed = VisitModuleFiles(volume, pattern, [&](const wchar_t* name, LONG attributes) {
    const std::wstring label = ModuleLabel(sourceFolder + name);
    CBstr from((sourceFolder + name).c_str());
    CBstr to((destination + name).c_str());
    IgnoreResult(volume->Delete(to.GetBstr()));
    if (!CheckResult(volume->Copy(from.GetBstr(), to.GetBstr()), kModuleErrorFormat)) {
      PrintPath("Error copying %s\n", label);
      ok = false;
      return;
    }
    PrintPath("%s\n", label);
    ++*counter;
    if (!CheckResult(volume->SetAttributes(to.GetBstr(), attributes & ~kFolderAttribute), kModuleErrorFormat)) {
      PrintPath("Error copying attribute %s\n", label);
      ok = false;
    }
  });
  return listed && ok;
}

// The folder a copy must not reach into: copying a folder into itself or
// below itself would run on through what it has just made.
bool IsCyclicCopy(const std::wstring& sourceFolder, const std::wstring& destinationFolder) {
  if (!StartsWithPathText(destinationFolder, sourceFolder)) return false;
  PrintLine("Cannot perform a cyclic copy\n");
  PrintCount(0);
  return true;
}

}  // namespace

bool IsSubdirEntry(const wchar_t* name, DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && name && wcscmp(name, L".") != 0 && wcscmp(name, L"..") != 0;
}

bool IsModuleFile(IVKSVolume* volume, const std::wstring& path) {
  if (path.empty() || EndsWithBackslash(path)) return false;
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::wstring name = path.substr(slash + 1);
  CEntryList entries;
  const HRESULT hr = ReadEntries(volume, (path + L"*").c_str(), false, &entries);
  if (FAILED(hr)) {
    IgnoreResult(hr);
    return false;
  }
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    const wchar_t* entryName = entries.GetName(e);
    if (entryName && SamePathText(entryName, name)) return !entries.IsDirectory(e);
  }
  return false;
}

std::wstring PrepareModuleDestination(IVKSVolume* volume, const std::wstring& destination) {
  bool create = false;
  const std::wstring folder = ResolveModuleDestination(volume, destination, &create);
  if (create && !CreateModuleDestination(volume, destination)) return std::wstring();
  return folder;
}

std::wstring PreparePCDestination(const std::wstring& destination) {
  if (destination.empty() || HasDeviceName(destination)) return std::wstring();
  const DWORD attributes = GetFileAttributesW(destination.c_str());
  std::wstring folder = destination;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) SplitPCPath(destination, &folder, nullptr);
    if (!folder.empty()) AddBackslash(&folder);
    return folder;
  }
  if (!CreateDirectoryW(destination.c_str(), nullptr)) {
    std::wstring path = destination;
    if (EndsWithBackslash(path)) path.pop_back();
    std::wstring parent;
    SplitPCPath(path, &parent, nullptr);
    // Each step is shorter, so the recursion ends at a folder that exists or at nothing.
    if (parent.empty() || parent.size() >= destination.size() || PreparePCDestination(parent).empty() ||
        !CreateDirectoryW(destination.c_str(), nullptr))
      return std::wstring();
  }
  AddBackslash(&folder);
  return folder;
}

bool CopyTreePCToModule(IVKSVolume* volume, std::wstring source, const std::wstring& destination, int* counter) {
  int total = 0;
  const bool top = counter == nullptr;
  std::wstring destinationFolder = destination;
  if (top) {
    counter = &total;
    destinationFolder = PrepareModuleDestination(volume, destination);
    if (destinationFolder.empty()) {
      PrintCount(0);
      return false;
    }
  }
  if (!HasWildcard(source)) {
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      AddBackslash(&source);
      source += L"*";
    }
  }
  std::wstring sourceFolder, namePattern;
  SplitPCPath(source, &sourceFolder, &namePattern);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((sourceFolder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    bool ok = true;
    do {
      if (!IsSubdirEntry(found.cFileName, found.dwFileAttributes)) continue;
      const std::wstring moduleFolder = destinationFolder + found.cFileName;
      ok = CreateModuleFolder(volume, moduleFolder, static_cast<LONG>(found.dwFileAttributes)) &&
           CopyTreePCToModule(volume, sourceFolder + found.cFileName + L"\\" + namePattern, moduleFolder + L"\\",
                              counter);
    } while (ok && FindNextFileW(search, &found));
    FindClose(search);
    if (!ok) return false;
  }
  const bool ok = CopyPCFilesToModule(volume, source, destinationFolder, counter);
  if (top) PrintCount(total);
  return ok;
}

bool CopyTreeModuleToPC(IVKSVolume* volume, std::wstring source, const std::wstring& destination, int* counter) {
  int total = 0;
  const bool top = counter == nullptr;
  std::wstring destinationFolder = destination;
  if (top) {
    counter = &total;
    destinationFolder = PreparePCDestination(destination);
    if (destinationFolder.empty()) {
      PrintPath("Failed to create destination directory %s\n", destination);
      PrintCount(0);
      return false;
    }
  }
  source = ModuleSourcePattern(volume, source);
  const std::wstring sourceFolder = GetFolderPart(source);
  const std::wstring namePattern = source.substr(sourceFolder.size());
  CEntryList entries;
  bool ok = ListEntries(volume, (sourceFolder + L"*").c_str(), false, &entries, kModuleErrorFormat);
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    const wchar_t* name = entries.GetName(e);
    if (!entries.IsEntry(e) || !IsSubdirEntry(name, static_cast<DWORD>(entries.GetInt(e, geAttributes)))) continue;
    if (!IsPlainEntryName(name)) {
      PrintPath("Error copying %s\n", ModuleLabel(sourceFolder + name));
      ok = false;
      continue;
    }
    const std::wstring pcFolder = destinationFolder + name;
    if (!CreateDirectoryW(pcFolder.c_str(), nullptr)) {
      PrintPath("Failed to create destination directory %s\n", destinationFolder);
      return false;
    }
    const DWORD attributes = static_cast<DWORD>(entries.GetInt(e, geAttributes) & ~kFolderAttribute);
    if (!SetFileAttributesW(pcFolder.c_str(), attributes)) {
      PrintPath("Failed to set destination directory %s\n", destinationFolder);
      return false;
    }
    if (!CopyTreeModuleToPC(volume, sourceFolder + name + L"\\" + namePattern, pcFolder + L"\\", counter))
      return false;
  }
  entries.Clear();
  const bool filesOk = CopyModuleFilesToPC(volume, source, destinationFolder, counter);
  if (top) PrintCount(total);
  return filesOk && ok;
}

bool CopyTreeWithinModule(IVKSVolume* volume, std::wstring source, const std::wstring& destination, int* counter) {
  int total = 0;
  const bool top = counter == nullptr;
  source = ModuleSourcePattern(volume, source);
  const std::wstring sourceFolder = GetFolderPart(source);
  const std::wstring namePattern = source.substr(sourceFolder.size());
  std::wstring destinationFolder = destination;
  if (top) {
    counter = &total;
    // The cycle is refused before the destination is made.
    bool create = false;
    destinationFolder = ResolveModuleDestination(volume, destination, &create);
    if (IsCyclicCopy(sourceFolder, destinationFolder)) return false;
    if (create && !CreateModuleDestination(volume, destination)) {
      PrintCount(0);
      return false;
    }
  } else if (IsCyclicCopy(sourceFolder, destinationFolder)) {
    return false;
  }
  CEntryList entries;
  const bool listed = ListEntries(volume, (sourceFolder + L"*").c_str(), false, &entries, kModuleErrorFormat);
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    const wchar_t* name = entries.GetName(e);
    if (!entries.IsEntry(e) || !IsSubdirEntry(name, static_cast<DWORD>(entries.GetInt(e, geAttributes)))) continue;
    const std::wstring moduleFolder = destinationFolder + name;
    if (!CreateModuleFolder(volume, moduleFolder, entries.GetInt(e, geAttributes)) ||
        !CopyTreeWithinModule(volume, sourceFolder + name + L"\\" + namePattern, moduleFolder + L"\\", counter))
      return false;
  }
  entries.Clear();
  const bool filesOk = CopyModuleFilesWithinModule(volume, source, destinationFolder, counter);
  if (top) PrintCount(total);
  return filesOk && listed;
}

bool CopyTreeOnPC(const std::wstring& source, const std::wstring& destination) {
  if (RunCopyCommand(L"xcopy /Y /E /I /C", source, destination)) return true;
  PrintPath("Error copying %s\n", source);
  return false;
}

int RunVKSXCopy(int argc, wchar_t** argv) {
  auto top = [](auto copyTree) {
    return [copyTree](IVKSVolume* volume, const std::wstring& source, const std::wstring& destination) {
      return copyTree(volume, source, destination, nullptr);
    };
  };
  return RunCopyTool(argc, argv, kUsage, top(CopyTreeWithinModule), top(CopyTreeModuleToPC), top(CopyTreePCToModule),
                     [](IVKSVolume*, const std::wstring& source, const std::wstring& destination) {
                       return CopyTreeOnPC(source, destination);
                     });
}
