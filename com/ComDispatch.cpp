// com/ComDispatch.cpp - the module's type library, loaded once.
#include "ComDispatch.h"

namespace {
INIT_ONCE g_loadOnce = INIT_ONCE_STATIC_INIT;
ITypeLib* g_typeLib = nullptr;
HRESULT g_loadResult = E_FAIL;

BOOL CALLBACK LoadOnce(PINIT_ONCE, void*, void**) {
  wchar_t path[MAX_PATH];
  g_loadResult = GetThisModulePath(path, MAX_PATH);
  if (SUCCEEDED(g_loadResult)) g_loadResult = LoadTypeLibEx(path, REGKIND_NONE, &g_typeLib);
  return TRUE;
}
}  // namespace

HMODULE GetThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&GetThisModule), &module);
  return module;
}

HRESULT GetThisModulePath(wchar_t* path, DWORD capacity) {
  DWORD length = GetModuleFileNameW(GetThisModule(), path, capacity);
  if (length == 0) return HrFromWin32Bool(FALSE);
  if (length >= capacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

HRESULT GetModuleTypeInfo(REFIID iid, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  InitOnceExecuteOnce(&g_loadOnce, LoadOnce, nullptr, nullptr);
  if (FAILED(g_loadResult)) return g_loadResult;
  return g_typeLib->GetTypeInfoOfGuid(iid, info);
}
