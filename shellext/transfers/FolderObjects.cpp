// transfers/FolderObjects.cpp - the objects the folder hands out; those not
// built yet answer E_NOTIMPL.
#include "FolderObjects.h"
#include "RPLContextMenu.h"
#include "RPLFolder.h"
#include "ShellExtClasses.h"

namespace {
HRESULT NotYet(void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
}  // namespace

// The folder is always an RPLFolder: the menu needs its path and its list.
HRESULT CreateItemContextMenu(IShellFolder* folder, UINT count, LPCITEMIDLIST* items, HWND, REFIID riid,
                              void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!folder) return E_POINTER;
  ComPtr<IContextMenu> menu;
  HRESULT hr = CreateRPLContextMenu(IID_IContextMenu, reinterpret_cast<void**>(&menu));
  if (FAILED(hr)) return hr;
  hr = static_cast<RPLContextMenu*>(menu.Get())->Init(static_cast<RPLFolder*>(folder), items, count);
  if (FAILED(hr)) return hr;
  return menu->QueryInterface(riid, ppv);
}
HRESULT CreateItemDataObject(const wchar_t*, UINT, LPCITEMIDLIST*, DWORD, REFIID, void** ppv) { return NotYet(ppv); }
HRESULT CreateItemDropTarget(const wchar_t*, LPCITEMIDLIST, LPCITEMIDLIST, HWND, REFIID, void** ppv) {
  return NotYet(ppv);
}

