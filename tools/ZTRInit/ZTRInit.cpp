// tools/ZTRInit/ZTRInit.cpp - command line, checks, format pass and copy pass.
#include "ZTRInit.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "CommPorts.h"
#include "PhysicalConnection.h"
#include "VKSAccess.h"
#include "VKSFileStream.h"
#include "VKSVersion.h"

namespace {

const char kVersion[] = VKS_VERSION_TEXT;

const char kUsage[] =
    "\n"
    "This tool provides the possibilty to initialize the filesystem(s) of a\n"
    "wireless module with a directory/file structure and format the file system\n"
    "before if requested. If no format is executed possibly existing files with\n"
    "the same name like a file to be copied will be overwritten without warning.\n"
    "The returned errorlevel will be 0 if everything was ok and 1 in case of any\n"
    "error. In case of an error the init process will be aborted immediately\n"
    "without executing further steps.\n"
    "\n"
    "Usage:  ZTRInit  Port  Baud  a:  [Path]  [-f]  [b:  [Path]  [-f]]  ...\n"
    "\n"
    "  Port\n"
    "    Device name of the COM port the module is connected to (mandatory value).\n"
    "  Baud\n"
    "    Baud rate to be used (numeric value, mandatory).\n"
    "  a:\n"
    "    The following path and format flag relate to module file system a: (see\n"
    "    explanation below).\n"
    "  Path\n"
    "    Source directory on the host computer which contents will be copied to\n"
    "    the root of the given module file system including all files and\n"
    "    subdirectories. The source directory itself will not be created.\n"
    "  -f\n"
    "    Flag indicating that the given module file system will be formated before\n"
    "    the copy process\n"
    "  b:\n"
    "    The following path and format flag relate to module file system b:.\n"
    "  ...\n"
    "\n"
    "Some wireless modules provide more than one file system. The different file\n"
    "systems are accessed via drive letters beginning with a:.\n"
    "ZTRInit differentiates between the filesystem with help of the parameters\n"
    "ahead of the path and the format flag. Currently there are max. %d file\n"
    "systems supported.\n"
    "\n"
    "Example 1:\n"
    "  The following line copies the contents of the folder \"C:\\ModuleFiles\" on\n"
    "  COM1: with 115200 baud to the first or only module file system with\n"
    "  formating it before:\n"
    "    ZTRInit  COM1  115200  a:  C:\\ModuleFiles  -f\n"
    "  and without formating the file system before:\n"
    "    ZTRInit  COM1  115200  a:  C:\\ModuleFiles\n"
    "\n"
    "Example 2:\n"
    "  The file system can also be formated without any copying executed:\n"
    "    ZTRInit  COM1  115200  a:  -f\n"
    "\n"
    "Example 3:\n"
    "  If there are two module file systems a call can look like follows (the\n"
    "  first file system will not be formated in this example):\n"
    "    ZTRInit  COM1  115200  a:  C:\\ModuleInitA  b:  C:\\ModuleInitB  -f\n"
    "\n"
    "Example 4:\n"
    "  If there are two filesystem but only the second should be accessed the call\n"
    "  might look like this:\n"
    "    ZTRInit  COM1  115200  b:  C:\\ModuleInit  -f\n"
    "\n"
    "Version of tool: %s\n";

const wchar_t kModuleAccessError[] = L"Error: Module access 0x%08X\n";
const wchar_t kVolumeNames[kMaxFileSystems][3] = {L"A:", L"B:", L"C:"};

bool IsFormatFlag(const wchar_t* argument) { return _wcsicmp(argument, L"-f") == 0; }

// Text in the console's OEM code page, as the bytes of the other tools' paths.
void WriteOut(const wchar_t* text) {
  const int length = static_cast<int>(wcslen(text));
  if (length == 0) return;
  const int bytes = WideCharToMultiByte(CP_OEMCP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  std::string narrow(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, text, length, &narrow[0], bytes, nullptr, nullptr);
  fwrite(narrow.data(), 1, narrow.size(), stdout);
  fflush(stdout);
}

// A folder's entries without "." and "..", in name order, so that every PC
// copies a tree in the same order whatever its file system lists first.
std::vector<WIN32_FIND_DATAW> ListFolder(const std::wstring& folder) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
      entries.push_back(found);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(entries.begin(), entries.end(),
            [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
              const int folded = _wcsicmp(a.cFileName, b.cFileName);
              return folded != 0 ? folded < 0 : wcscmp(a.cFileName, b.cFileName) < 0;
            });
  return entries;
}

struct CopyContext {
  CVKSAccess* access;
  ProgressCallback progress;
  void* user;
  DWORD copied;
  DWORD total;
};

HRESULT CopyDirectoryToModule(CopyContext& context, const std::wstring& moduleFolder,
                              const std::wstring& pcFolder);

HRESULT CopyFileToModule(CVKSAccess& access, const std::wstring& modulePath,
                         const std::wstring& pcPath) {
  VKSFileStream* stream = nullptr;
  HRESULT hr = VKSFileStream::Create(pcPath.c_str(), &stream);
  if (FAILED(hr)) return hr;
  access.Delete(modulePath.c_str());  // a missing file is no failure
  hr = access.PutFile(modulePath.c_str(), static_cast<IStream*>(stream),
                      static_cast<LONG>(GetFileAttributesW(pcPath.c_str())));
  stream->Release();
  return hr;
}

HRESULT CopyEntryToModule(CopyContext& context, const std::wstring& moduleFolder,
                          const std::wstring& pcFolder, const WIN32_FIND_DATAW& entry) {
  const std::wstring modulePath = moduleFolder + L"\\" + entry.cFileName;
  const std::wstring pcPath = pcFolder + L"\\" + entry.cFileName;
  HRESULT hr;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    PrintMessage(L"Creating directory \"%ls\"\n", modulePath.c_str());
    hr = context.access->CreateDir(modulePath.c_str());
    if (FAILED(hr)) {
      PrintMessage(kModuleAccessError, static_cast<unsigned>(hr));
      return hr;
    }
    return CopyDirectoryToModule(context, modulePath, pcPath);
  }
  PrintMessage(L"Copying file \"%ls\"\n", modulePath.c_str());
  hr = CopyFileToModule(*context.access, modulePath, pcPath);
  if (FAILED(hr)) {
    PrintMessage(kModuleAccessError, static_cast<unsigned>(hr));
    return hr;
  }
  context.copied += entry.nFileSizeLow;
  if (context.progress) context.progress(context.user, context.copied, context.total);
  return hr;
}

// Stops at the first failure: the usage text promises that nothing more is done then.
HRESULT CopyDirectoryToModule(CopyContext& context, const std::wstring& moduleFolder,
                              const std::wstring& pcFolder) {
  for (const WIN32_FIND_DATAW& entry : ListFolder(pcFolder)) {
    const HRESULT hr = CopyEntryToModule(context, moduleFolder, pcFolder, entry);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CheckAndInit(CVKSAccess& access, const wchar_t* port, int count,
                     const DriveInitRecord* records, ProgressCallback progress, void* user) {
  // An empty name is no port; a longer one than the connection keeps would
  // otherwise be cut into the name of another port.
  if (!port || !*port || wcslen(port) > kMaxPortNameLength || count <= 0 ||
      count > kMaxFileSystems || !records) {
    PrintMessage(L"Error: Invalid parameter\n");
    return E_INVALIDARG;
  }
  if (!PortExists(port)) {
    PrintMessage(L"Error: The given port %ls does not exist\n", port);
    return E_INVALIDARG;
  }
  for (int i = 0; i < count; ++i) {
    const std::wstring& source = records[i].source;
    if (source.empty()) continue;
    struct _stat64 info;
    if (_wstat64(source.c_str(), &info) != 0) {
      PrintMessage(L"Error: Invalid source directory \"%ls\"\n", source.c_str());
      return E_INVALIDARG;
    }
    if (!(info.st_mode & _S_IFDIR)) {
      PrintMessage(L"Error: \"%ls\" is no directory\n", source.c_str());
      return E_INVALIDARG;
    }
  }
  short volumes = 0;
  HRESULT hr = access.GetVolumeCount(&volumes);
  if (FAILED(hr)) {
    PrintMessage(kModuleAccessError, static_cast<unsigned>(hr));
    return hr;
  }
  if (volumes < count) {
    PrintMessage(L"Error: More source directories than module disks given\n");
    return E_INVALIDARG;
  }
  for (int i = 0; i < count; ++i) {
    if (records[i].format != 1) continue;
    PrintMessage(L"Formating %ls\n", kVolumeNames[i]);
    hr = access.Format(kVolumeNames[i]);
    if (FAILED(hr)) {
      PrintMessage(kModuleAccessError, static_cast<unsigned>(hr));
      return hr;
    }
  }
  CopyContext context{&access, progress, user, 0, 0};
  if (progress) {
    for (int i = 0; i < count; ++i)
      if (!records[i].source.empty()) context.total += GetDirectorySize(records[i].source);
    progress(user, 0, context.total);
  }
  for (int i = 0; i < count; ++i) {
    if (records[i].source.empty()) continue;
    hr = CopyDirectoryToModule(context, kVolumeNames[i], records[i].source);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

void PrintMessage(const wchar_t* format, ...) {
  wchar_t text[1024];
  va_list args;
  va_start(args, format);
  const int written = _vsnwprintf(text, ARRAYSIZE(text), format, args);
  va_end(args);
  if (written < 0 || written >= static_cast<int>(ARRAYSIZE(text))) text[ARRAYSIZE(text) - 1] = 0;
  OutputDebugStringW(text);
  WriteOut(text);
}

WORD GetDriveIndex(const wchar_t* argument) {
  for (WORD i = 0; i < kMaxFileSystems; ++i) {
    const wchar_t drive[3] = {static_cast<wchar_t>(L'a' + i), L':', 0};
    if (_wcsicmp(argument, drive) == 0) return i;
  }
  return kNoDrive;
}

bool ParseCommandLine(int argc, const wchar_t* const* argv, InitCommand* command) {
  if (argc < 3) return false;
  command->port.assign(argv[1], std::min(wcslen(argv[1]), kMaxPortArgument));
  command->baud = static_cast<int>(wcstol(argv[2], nullptr, 10));
  for (int i = 3; i < argc;) {
    const WORD drive = GetDriveIndex(argv[i]);
    if (drive == kNoDrive || i + 1 >= argc) return false;
    DriveInitRecord record;
    ++i;
    if (IsFormatFlag(argv[i])) {
      record.format = 1;
      ++i;
    } else {
      record.source = argv[i++];
      if (i < argc && IsFormatFlag(argv[i])) {
        record.format = 1;
        ++i;
      }
    }
    command->drives[drive] = record;
    command->count = std::max(command->count, drive + 1);
  }
  for (int i = 0; i < command->count; ++i)
    if (command->drives[i].format == 1 || !command->drives[i].source.empty()) return true;
  return false;
}

void PrintUsage() {
  printf(kUsage, kMaxFileSystems, kVersion);
  fflush(stdout);
}

bool PortExists(const wchar_t* port) {
  wchar_t list[1024] = {};
  if (ListCommPorts(list, ARRAYSIZE(list), kPhysicalPorts) < 0) return false;
  for (wchar_t* entry = list; *entry;) {
    wchar_t* end = wcschr(entry, L';');
    const size_t length = end ? static_cast<size_t>(end - entry) : wcslen(entry);
    if (length == wcslen(port) && _wcsnicmp(entry, port, length) == 0) return true;
    if (!end) break;
    entry = end + 1;
  }
  return false;
}

DWORD GetDirectorySize(const std::wstring& folder) {
  DWORD total = 0;
  for (const WIN32_FIND_DATAW& entry : ListFolder(folder)) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      total += GetDirectorySize(folder + L"\\" + entry.cFileName);
    else
      total += entry.nFileSizeLow;
  }
  return total;
}

HRESULT InitModuleFileSystems(const wchar_t* port, int baud, int count,
                              const DriveInitRecord* records, ProgressCallback progress,
                              void* user) {
  CVKSAccess access(port, baud);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const HRESULT hr = CheckAndInit(access, port, count, records, progress, user);
  // The only access object of this process: its connection is disconnected
  // (the module back in command mode) and destroyed here.
  CVKSAccess::CloseAllAccess();
  if (SUCCEEDED(com)) CoUninitialize();
  return hr;
}

int RunZTRInit(int argc, const wchar_t* const* argv) {
  InitCommand command;
  if (!ParseCommandLine(argc, argv, &command)) {
    PrintUsage();
    return 1;
  }
  const HRESULT hr = InitModuleFileSystems(command.port.c_str(), command.baud, command.count,
                                           command.drives, nullptr, nullptr);
  printf(SUCCEEDED(hr) ? "\nSuccess initializing module file system\n\n"
                       : "\nFailure initializing module file system\n\n");
  fflush(stdout);
  return SUCCEEDED(hr) ? 0 : 1;
}
