// namespace/ModuleEntry.cpp - attach, detach and the exports' work.
#include "ModuleEntry.h"
#include <shlobj.h>

namespace {
HINSTANCE g_instance = nullptr;
IMalloc* g_malloc = nullptr;        // the shell's, kept from attach
IMalloc* g_testMalloc = nullptr;
}  // namespace

HINSTANCE ShellExtInstance() { return g_instance; }

IMalloc* ShellMalloc() {
  if (g_testMalloc) return g_testMalloc;
  if (!g_malloc) SHGetMalloc(&g_malloc);
  return g_malloc;
}

void SetShellMallocForTest(IMalloc* malloc) { g_testMalloc = malloc; }

BOOL ShellExtAttach(HINSTANCE instance) {
  g_instance = instance;
  return TRUE;
}

void ShellExtDetach() {}
HRESULT ShellExtCanUnloadNow() { return S_OK; }
HRESULT ShellExtGetClassObject(REFCLSID, REFIID, void** ppv) {
  if (ppv) *ppv = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}
HRESULT ShellExtRegisterServer() { return E_NOTIMPL; }
HRESULT ShellExtUnregisterServer() { return E_NOTIMPL; }
