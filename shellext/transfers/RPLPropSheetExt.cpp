// transfers/RPLPropSheetExt.cpp - the drive property sheet. Not built yet.
#include "ShellExtClasses.h"

HRESULT CreateRPLPropSheetExt(REFIID, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
