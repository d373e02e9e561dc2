// tools/VKSCopy/CopyTransfer.cpp - the transfers and helpers shared by the copy tools.
#include "CopyTransfer.h"
#include "ComBase.h"
#include "ConsoleText.h"
#include "SuiteString.h"
#include "VKSFileStream.h"
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>
#include <vector>

namespace {

bool IsModuleArgument(const wchar_t* argument) { return _wcsnicmp(argument, L"mod:", 4) == 0; }

bool PrepareArgument(wchar_t* argument, bool* onModule, std::wstring* path) {
  *onModule = IsModuleArgument(argument);
  if (!*onModule) {
    ReplaceChar(argument, L'/', L'\\');
    path->assign(argument);
    return true;
  }
  wchar_t parsed[kModulePathSize];
  if (!PrepareModulePath(argument, parsed)) return false;
  path->assign(parsed);
  return true;
}

// Module attributes become the PC file's attributes; bits above the attribute
// range would be taken by CreateFileW as flags (delete on close, say).
DWORD PCFileAttributes(LONG attributes) {
  const DWORD kFileAttributeBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
  const DWORD bits = static_cast<DWORD>(attributes) & kFileAttributeBits;
  return bits ? bits : FILE_ATTRIBUTE_NORMAL;
}

bool WriteWholeFile(const wchar_t* pcFile, const BYTE* data, DWORD size, DWORD attributes) {
  HANDLE file = CreateFileW(pcFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = (size == 0 || WriteFile(file, data, size, &written, nullptr)) && written == size;
  CloseHandle(file);
  if (!ok) {
    // Half a file must not pass for the copy.
    SetFileAttributesW(pcFile, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(pcFile);
  }
  return ok;
}

}  // namespace

bool ParseCopyArguments(int argc, wchar_t** argv, CopyArguments* arguments) {
  if (argc != 3 || !argv[1] || !argv[2]) return false;
  if (wcslen(argv[1]) > kMaxCopyArgument || wcslen(argv[2]) > kMaxCopyArgument) return false;
  if (wcspbrk(argv[2], L"?*")) return false;
  return PrepareArgument(argv[1], &arguments->sourceOnModule, &arguments->source) &&
         PrepareArgument(argv[2], &arguments->destinationOnModule, &arguments->destination);
}

bool PutFileToModule(IVKSVolume* volume, const wchar_t* pcFile, const wchar_t* moduleFile) {
  ComPtr<VKSFileStream> stream;
  if (!CheckResult(VKSFileStream::Create(pcFile, &stream), kModuleErrorFormat)) return false;
  CBstr path(moduleFile);
  IgnoreResult(volume->Delete(path.GetBstr()));
  const LONG attributes = static_cast<LONG>(GetFileAttributesW(pcFile));
  IUnknown* content = static_cast<IStream*>(stream.Get());
  return CheckResult(volume->PutFile(path.GetBstr(), content, attributes), kModuleErrorFormat);
}

bool GetModuleFileToPC(IVKSVolume* volume, const wchar_t* moduleFile, const wchar_t* pcFile, LONG attributes) {
  // The bytes would go to the device and no file would exist.
  if (HasDeviceName(pcFile)) return false;
  CBstr path(moduleFile);
  ComPtr<IUnknown> content;
  if (!CheckResult(volume->GetFile(path.GetBstr(), &content), kModuleErrorFormat)) return false;
  if (!content) return false;
  ComPtr<IStream> stream;
  if (!CheckResult(content.As(&stream), kModuleErrorFormat)) return false;
  STATSTG stat{};
  if (!CheckResult(stream->Stat(&stat, STATFLAG_NONAME), kModuleErrorFormat)) return false;
  // Module files have 32-bit sizes; anything larger is no file this tool can hold.
  if (stat.cbSize.HighPart != 0) return false;
  const DWORD size = stat.cbSize.LowPart;
  std::vector<BYTE> data;
  try {
    data.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  DWORD total = 0;
  while (total < size) {
    ULONG got = 0;
    if (!CheckResult(stream->Read(data.data() + total, size - total, &got), kModuleErrorFormat)) return false;
    if (got == 0) break;
    total += got;
  }
  // A short file is a broken transfer, not a copy.
  if (total != size) return false;
  stream.Reset();
  content.Reset();
  return WriteWholeFile(pcFile, data.data(), size, PCFileAttributes(attributes));
}

namespace {

// A path in quotes; a last "\" is doubled so that a program that parses its
// command line the C runtime's way does not read it as an escaped quote.
std::wstring QuotePath(const std::wstring& path) {
  return L"\"" + path + (EndsWithBackslash(path) ? L"\\\"" : L"\"");
}

}  // namespace

bool RunCopyCommand(const wchar_t* command, const std::wstring& source, const std::wstring& destination) {
  // Quoted, so that paths with blanks reach the command as one argument each.
  std::wstring line = L"cmd /C " + std::wstring(command) + L" " + QuotePath(source) + L" " + QuotePath(destination);
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    printf("Error executing copy command\n");
    fflush(stdout);
    return false;
  }
  // Waiting on the process, not polling for STILL_ACTIVE: a child that ends
  // with 259 must not look as if it ran forever.
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  const bool ended = GetExitCodeProcess(process.hProcess, &exitCode) != FALSE;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended && exitCode == 0;
}

bool IsPlainEntryName(const wchar_t* name) {
  if (!name || !*name || wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) return false;
  return wcspbrk(name, L"\\/:*?\"<>|") == nullptr && !IsDeviceName(name);
}

bool IsDeviceName(const wchar_t* name) {
  if (!name) return false;
  size_t length = wcscspn(name, L".");
  while (length && name[length - 1] == L' ') --length;
  const std::wstring base(name, length);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
    if (SamePathText(base, device)) return true;
  return length == 4 && (SamePathText(base.substr(0, 3), L"COM") || SamePathText(base.substr(0, 3), L"LPT")) &&
         base[3] >= L'1' && base[3] <= L'9';
}

bool HasDeviceName(const std::wstring& path) {
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
    if (IsDeviceName(path.substr(start, end - start).c_str())) return true;
    start = end + 1;
  }
  return false;
}

bool HasWildcard(const std::wstring& path) { return path.find_first_of(L"*?") != std::wstring::npos; }

bool EndsWithBackslash(const std::wstring& path) { return !path.empty() && path.back() == L'\\'; }

void AddBackslash(std::wstring* path) {
  if (!EndsWithBackslash(*path)) path->push_back(L'\\');
}

std::wstring GetFolderPart(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void SplitPCPath(const std::wstring& path, std::wstring* folder, std::wstring* name) {
  // As _wsplitpath_s divides it (drive and folder, then name and extension),
  // without its limits on the parts' lengths.
  const size_t end = path.find_last_of(L"\\/:");
  const size_t cut = end == std::wstring::npos ? 0 : end + 1;
  if (folder) *folder = path.substr(0, cut);
  if (name) *name = path.substr(cut);
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
  return CompareCountedText(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                            FALSE) == 0;
}

bool StartsWithPathText(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && SamePathText(text.substr(0, prefix.size()), prefix);
}

void PrintPath(const char* format, const std::wstring& path) {
  printf(format, ToOemText(path.c_str()).c_str());
  fflush(stdout);
}
