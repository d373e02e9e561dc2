// tools/VKSCopy/VKSCopy.cpp - file copies in the four directions.
#include "VKSCopy.h"
#include "ConsoleText.h"
#include "CopyTransfer.h"
#include "ModuleDir.h"
#include "SuiteString.h"
#include <cstdio>

namespace {

const char kUsage[] =
    "\n"
    "Copy file(s) inside module, inside PC or from PC to module or vice versa.\n"
    "\n"
    "Usage: VKSCopy source destination\n"
    VKS_COPY_USAGE_ARGUMENTS;

void PrintCount(int count) {
  printf("\t%d files copied\n\n", count);
  fflush(stdout);
}

void PrintFileNotFound() {
  printf("File not found\n");
  fflush(stdout);
}

// A module destination that names a folder gets the files under their own
// names; otherwise every file is written to that one path. Returns the folder
// (with its "\") or empty.
std::wstring ModuleDestinationFolder(IVKSVolume* volume, const std::wstring& destination) {
  if (!IsModuleDir(volume, destination.c_str(), kModuleErrorFormat)) return std::wstring();
  std::wstring folder = destination;
  AddBackslash(&folder);
  return folder;
}

// The files of a module source: a folder stands for all its files.
std::wstring ModuleSourcePattern(IVKSVolume* volume, const std::wstring& source) {
  std::wstring pattern = source;
  if (IsModuleDir(volume, source.c_str(), kModuleErrorFormat)) {
    AddBackslash(&pattern);
    pattern += L"*";
  }
  return pattern;
}

// Runs copy(source file, destination file, name) for each file the module
// lists for pattern, with the "%s" lines and the count. A source without
// wildcards that names no file is "File not found", not a copy of nothing.
template <class CopyOne>
bool ForEachModuleFile(IVKSVolume* volume, const std::wstring& pattern, const std::wstring& destinationFolder,
                       const std::wstring& destinationFile, CopyOne&& copyOne) {
  const std::wstring prefix = GetFolderPart(pattern);
  int count = 0;
  int files = 0;
  bool ok = true;
  const bool listed = VisitModuleFiles(volume, pattern, [&](const wchar_t* name, LONG attributes) {
    ++files;
    const std::wstring target = destinationFolder.empty() ? destinationFile : destinationFolder + name;
    if (copyOne(prefix + name, target, name, attributes)) {
      PrintPath("%s\n", name);
      ++count;
    } else {
      PrintPath("Error copying %s\n", name);
      ok = false;
    }
  });
  if (!listed) return false;
  if (files == 0 && !HasWildcard(pattern)) {
    PrintFileNotFound();
    return false;
  }
  PrintCount(count);
  return ok;
}

}  // namespace

bool CopyFilesPCToModule(IVKSVolume* volume, const std::wstring& source, const std::wstring& destination) {
  if (!HasWildcard(source)) {
    const DWORD attributes = GetFileAttributesW(source.c_str());
    // A missing file reads as all attributes set, so as a folder too.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      PrintFileNotFound();
      return false;
    }
  }
  const std::wstring destinationFolder = ModuleDestinationFolder(volume, destination);
  std::wstring sourceFolder;
  SplitPCPath(source, &sourceFolder, nullptr);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(source.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  int count = 0;
  bool ok = true;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring target = destinationFolder.empty() ? destination : destinationFolder + found.cFileName;
    if (PutFileToModule(volume, (sourceFolder + found.cFileName).c_str(), target.c_str())) {
      PrintPath("%s\n", found.cFileName);
      ++count;
    } else {
      PrintPath("Error copying %s\n", found.cFileName);
      ok = false;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  PrintCount(count);
  return ok;
}

bool CopyFilesModuleToPC(IVKSVolume* volume, const std::wstring& source, const std::wstring& destination) {
  std::wstring destinationFolder;
  const DWORD attributes = GetFileAttributesW(destination.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    destinationFolder = destination;
    AddBackslash(&destinationFolder);
  }
  const std::wstring pattern = ModuleSourcePattern(volume, source);
  return ForEachModuleFile(volume, pattern, destinationFolder, destination,
                           [&](const std::wstring& from, const std::wstring& to, const wchar_t* name, LONG attributes) {
                             // A module name never places a file outside the folder.
                             if (!destinationFolder.empty() && !IsPlainEntryName(name)) return false;
                             return GetModuleFileToPC(volume, from.c_str(), to.c_str(), attributes);
                           });
}

bool CopyFilesWithinModule(IVKSVolume* volume, const std::wstring& source, const std::wstring& destination) {
  const std::wstring destinationFolder = ModuleDestinationFolder(volume, destination);
  const std::wstring pattern = ModuleSourcePattern(volume, source);
  return ForEachModuleFile(volume, pattern, destinationFolder, destination,
                           [&](const std::wstring& from, const std::wstring& to, const wchar_t*, LONG) {
                             // Deleting the destination first would delete the source itself.
                             if (SamePathText(from, to)) return false;
                             CBstr target(to.c_str());
                             IgnoreResult(volume->Delete(target.GetBstr()));
                             CBstr existing(from.c_str());
                             return CheckResult(volume->Copy(existing.GetBstr(), target.GetBstr()),
                                                kModuleErrorFormat);
                           });
}

bool CopyOnPC(const std::wstring& source, const std::wstring& destination) {
  if (RunCopyCommand(L"copy /Y", source, destination)) return true;
  PrintPath("Error copying %s\n", source);
  return false;
}

int RunVKSCopy(int argc, wchar_t** argv) {
  return RunCopyTool(argc, argv, kUsage, CopyFilesWithinModule, CopyFilesModuleToPC, CopyFilesPCToModule,
                     [](IVKSVolume*, const std::wstring& source, const std::wstring& destination) {
                       return CopyOnPC(source, destination);
                     });
}
