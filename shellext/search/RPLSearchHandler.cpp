// search/RPLSearchHandler.cpp - the search handler. Not built yet.
#include "ShellExtClasses.h"

HRESULT CreateRPLSearchHandler(REFIID, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
