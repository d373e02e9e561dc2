// transfers/PropertySheet.cpp - the sheet thread. Not built yet.
#include "PropertySheet.h"

HRESULT ShowPropertySheet(const wchar_t*, CItemIDList* items, int) {
  delete[] items;
  return E_NOTIMPL;
}
