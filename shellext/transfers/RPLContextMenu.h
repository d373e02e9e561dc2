// transfers/RPLContextMenu.h - the shell context menu of module items, of
// module drives and of the "Module" entry under My Computer.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "ComBase.h"
#include "ItemIDList.h"

class RPLFolder;

// The commands the menu hands its work to. Tests put recorders in; the
// default is the real set.
struct ContextMenuActions {
  // items: new[] copies, taken over in every case.
  HRESULT (*showPropertySheet)(const wchar_t* path, CItemIDList* items, int count);
  HRESULT (*startDelete)(const wchar_t* folder, CItemIDList* items, int count, BOOL noConfirmation, HWND owner);
  HRESULT (*putOnClipboard)(const wchar_t* folder, const CItemIDList* items, int count, DWORD effect);
  bool (*clipboardHasPastableData)();
  HRESULT (*startPaste)(const wchar_t* target, HWND owner);
  HRESULT (*showFormat)(const wchar_t* volume, ULONGLONG capacity);
  HRESULT (*openSearch)(const wchar_t* folder);
};
const ContextMenuActions& CurrentContextMenuActions();
// Null restores the real set. Returns the previous one.
const ContextMenuActions* SetContextMenuActions(const ContextMenuActions* actions);

class RPLContextMenu final : public IContextMenu, public IShellExtInit, public CComObjectBase {
public:
  COM_QI_TABLE(RPLContextMenu, IContextMenu, IShellExtInit)
  RPLContextMenu();

  enum Kind : UINT { kItems = 0, kDrives = 1, kModuleRoot = 2, kNone = 3 };

  // The folder's items (one-record lists): kind 1 when the first is a drive.
  HRESULT Init(RPLFolder* folder, const LPCITEMIDLIST* items, UINT count);
  UINT GetKind() const { return m_kind; }

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR offset, UINT flags, UINT* reserved, CHAR* buffer, UINT size) override;
  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY key) override;

private:
  ~RPLContextMenu() override;
  void FreeItems();
  void FreeTable();
  CItemIDList* CopyItems() const;
  CBstr FolderPath() const;
  CBstr TargetOfFirstItem() const;
  HRESULT RunCommand(UINT id, HWND owner);
  HRESULT RunItemCommand(UINT id, HWND owner);
  HRESULT RunDriveCommand(UINT id, HWND owner);
  HRESULT OpenFolders(UINT id, HWND owner);

  IUnknown* m_folderReference = nullptr;
  RPLFolder* m_folder = nullptr;
  CItemIDList* m_items = nullptr;
  int m_count = 0;
  UINT* m_table = nullptr;
  UINT m_firstOffset = 0;
  int m_inserted = -1;
  UINT m_kind = kNone;
  bool m_filter = false;
};
