// testing/winsupport/TestFiles.cpp - PC files for the tests.
#include "TestFiles.h"

#include <windows.h>

#include <cwchar>

#include <gtest/gtest.h>

namespace vkstest {

namespace {
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << Narrow(path);
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(bytes.size(), written) << Narrow(path);
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

std::wstring NewTempFolder(const wchar_t* prefix) {
  wchar_t temp[MAX_PATH], name[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  if (!GetTempFileNameW(temp, prefix, 0, name)) return std::wstring();
  DeleteFileW(name);
  return CreateDirectoryW(name, nullptr) ? std::wstring(name) : std::wstring();
}

void RemoveTree(const std::wstring& folder) {
  // An empty or drive-level path would be a drive's root: a failed set-up
  // must never remove more than its own folder.
  if (folder.size() < 4 || folder.find(L'\\', 3) == std::wstring::npos) {
    ADD_FAILURE() << "refused to remove the tree at \"" << Narrow(folder) << "\"";
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring path = folder + L"\\" + found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      } else if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..")) {
        RemoveTree(path);
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace vkstest
