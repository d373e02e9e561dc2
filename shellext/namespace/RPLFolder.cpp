// namespace/RPLFolder.cpp - the namespace folder. Not built yet.
#include "ShellExtClasses.h"

HRESULT CreateRPLFolder(REFIID, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
