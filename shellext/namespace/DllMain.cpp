// namespace/DllMain.cpp - the DLL's entry and exports; the work is in the library.
#include <windows.h>
#include "ModuleEntry.h"
#include "SearchEntry.h"

extern "C" {
// Exported for compatibility; nothing reads it.
__declspec(dllexport) LONG hallole = 32;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) return ShellExtAttach(instance);
  if (reason == DLL_PROCESS_DETACH) ShellExtDetach();
  return TRUE;
}

STDAPI DllCanUnloadNow() { return ShellExtCanUnloadNow(); }
STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return ShellExtGetClassObject(clsid, riid, ppv);
}
STDAPI DllRegisterServer() { return ShellExtRegisterServer(); }
STDAPI DllUnregisterServer() { return ShellExtUnregisterServer(); }
}
