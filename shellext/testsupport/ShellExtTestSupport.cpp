// testsupport/ShellExtTestSupport.cpp
#include "ShellExtTestSupport.h"
#include "ChildProcess.h"
#include <string>

const wchar_t* ShellExtDllPath() {
  static std::wstring path = vkstest::HostToWindowsPath(VKS_SHELLEXT_DLL);
  return path.c_str();
}
