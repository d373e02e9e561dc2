// transfers/FolderObjects.cpp - not built yet: the folder gets E_NOTIMPL.
#include "FolderObjects.h"

namespace {
HRESULT NotYet(void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
}  // namespace

HRESULT CreateItemContextMenu(IShellFolder*, UINT, LPCITEMIDLIST*, HWND, REFIID, void** ppv) { return NotYet(ppv); }
HRESULT CreateItemDataObject(const wchar_t*, UINT, LPCITEMIDLIST*, DWORD, REFIID, void** ppv) { return NotYet(ppv); }
HRESULT CreateItemDropTarget(const wchar_t*, LPCITEMIDLIST, LPCITEMIDLIST, HWND, REFIID, void** ppv) {
  return NotYet(ppv);
}

