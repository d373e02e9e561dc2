// transfers/FolderObjects.cpp - the objects the folder hands out for its items.
#include "FolderObjects.h"
#include "ComCore.h"
#include "RPLContextMenu.h"
#include "RPLDataObject.h"
#include "RPLDropTarget.h"
#include "RPLFolder.h"
#include "ShellExtClasses.h"

// The folder is always an RPLFolder: the menu needs its path and its list.
HRESULT CreateItemContextMenu(IShellFolder* folder, UINT count, LPCITEMIDLIST* items, HWND, REFIID riid,
                              void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!folder) return E_POINTER;
  ComPtr<IContextMenu> menu;
  RETURN_IF_FAILED(CreateRPLContextMenu(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  RETURN_IF_FAILED(static_cast<RPLContextMenu*>(menu.Get())->Init(static_cast<RPLFolder*>(folder), items, count));
  return menu->QueryInterface(riid, ppv);
}

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
