// testsupport/ShellExtTestSupport.cpp
#include "ShellExtTestSupport.h"
#include "ChildProcess.h"
#include "ModuleEntry.h"
#include <string>

const wchar_t* ShellExtDllPath() {
  static std::wstring path = vkstest::HostToWindowsPath(VKS_SHELLEXT_DLL);
  return path.c_str();
}

bool RegistryKeyExists(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void EnsureParentWindowClass() {
  WNDCLASSW info = {};
  if (GetClassInfoW(GetModuleHandleW(nullptr), kParentWindowClass, &info)) return;
  info.lpfnWndProc = DefWindowProcW;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = kParentWindowClass;
  RegisterClassW(&info);
}
