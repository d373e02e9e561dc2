// testsupport/ShellExtTestSupport.cpp
#include "ShellExtTestSupport.h"
#include "ChildProcess.h"
#include "ModuleEntry.h"
#include <ole2.h>
#include <string>

const wchar_t* ShellExtDllPath() {
  static std::wstring path = vkstest::HostToWindowsPath(VKS_SHELLEXT_DLL);
  return path.c_str();
}

void EnsureParentWindowClass() {
  WNDCLASSW info = {};
  if (GetClassInfoW(GetModuleHandleW(nullptr), kParentWindowClass, &info)) return;
  info.lpfnWndProc = DefWindowProcW;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = kParentWindowClass;
  RegisterClassW(&info);
}

HRESULT EmptyOleClipboard() {
  const HRESULT hr = OleSetClipboard(nullptr);
  if (hr == CLIPBRD_E_CANT_CLOSE && CountClipboardFormats() == 0) return S_OK;
  return hr;
}
