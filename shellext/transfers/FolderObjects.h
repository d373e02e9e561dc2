// transfers/FolderObjects.h - the objects the namespace folder hands Explorer
// for its items: context menu, data object, drop target. Their classes come
// with the transfers; until then these answer E_NOTIMPL.
#pragma once
#include <windows.h>
#include <shlobj.h>

// folder: the RPLFolder the items belong to; items: relative one-record lists.
HRESULT CreateItemContextMenu(IShellFolder* folder, UINT count, LPCITEMIDLIST* items, HWND owner, REFIID riid,
                              void** ppv);
// The records of the folder at folderPath, offered with the given drop effect.
HRESULT CreateItemDataObject(const wchar_t* folderPath, UINT count, LPCITEMIDLIST* items, DWORD effect,
                             REFIID riid, void** ppv);
// A drop target for the folder itself (item null) or for one of its items.
HRESULT CreateItemDropTarget(const wchar_t* folderPath, LPCITEMIDLIST absoluteList, LPCITEMIDLIST item,
                             HWND owner, REFIID riid, void** ppv);
