// Where the tests find VKSServer.exe: next to the test binary.
#pragma once
#include <windows.h>
#include <string>

inline std::wstring ServerExePath() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, length);
  dir.erase(dir.find_last_of(L"\\/") + 1);
  // The process tests live one level below.
  std::wstring here = dir + L"VKSServer.exe";
  if (GetFileAttributesW(here.c_str()) != INVALID_FILE_ATTRIBUTES) return here;
  return dir + L"..\\VKSServer.exe";
}
