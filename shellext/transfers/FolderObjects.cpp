// transfers/FolderObjects.cpp - the objects the folder hands out for its items.
#include "FolderObjects.h"
#include "ComCore.h"
#include "RPLDataObject.h"
#include "RPLDropTarget.h"

namespace {
HRESULT NotYet(void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}
}  // namespace

HRESULT CreateItemContextMenu(IShellFolder*, UINT, LPCITEMIDLIST*, HWND, REFIID, void** ppv) { return NotYet(ppv); }

HRESULT CreateItemDataObject(const wchar_t* folderPath, UINT count, LPCITEMIDLIST* items, DWORD effect,
                             REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<IDataObject> data;
  RETURN_IF_FAILED(CreateDataObject(folderPath, nullptr, items, count, effect, nullptr, false, &data));
  return data->QueryInterface(riid, ppv);
}

HRESULT CreateItemDropTarget(const wchar_t* folderPath, LPCITEMIDLIST, LPCITEMIDLIST item, HWND owner,
                             REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<RPLDropTarget> target;
  RETURN_IF_FAILED(RPLDropTarget::Create(&target));
  RETURN_IF_FAILED(target->InitForItem(folderPath, item, owner));
  return target->QueryInterface(riid, ppv);
}

