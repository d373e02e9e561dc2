// transfers/RPLContextMenu.cpp - the context menu. Not built yet.
#include "ShellExtClasses.h"

HRESULT CreateRPLContextMenu(REFIID, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
