// namespace/RPLFolder.h - the namespace folder: the root "Module" (the
// module's drives) and every module drive or folder Explorer binds to.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "ComBase.h"
#include "ShellUuids.h"
#include "ItemIDList.h"
#include "SuiteString.h"
#include "VKSServer.h"

class RPLFolder final : public IShellFolder2, public IPersistFolder2, public IShellDetails, public IShellIcon,
                        public CComObjectBase {
public:
  COM_QI_TABLE(RPLFolder, IShellFolder2, NComKit::QIAs<IShellFolder, IShellFolder2>, IPersistFolder2,
               NComKit::QIAs<IPersistFolder, IPersistFolder2>, NComKit::QIAs<IPersist, IPersistFolder2>,
               IShellDetails, IShellIcon)
  RPLFolder();

  // IShellFolder
  STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override;
  STDMETHODIMP EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** list) override;
  STDMETHODIMP BindToObject(PCUIDLIST_RELATIVE list, IBindCtx* context, REFIID riid, void** ppv) override;
  STDMETHODIMP BindToStorage(PCUIDLIST_RELATIVE list, IBindCtx* context, REFIID riid, void** ppv) override;
  STDMETHODIMP CompareIDs(LPARAM column, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override;
  STDMETHODIMP CreateViewObject(HWND owner, REFIID riid, void** ppv) override;
  STDMETHODIMP GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY lists, SFGAOF* mask) override;
  STDMETHODIMP GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY lists, REFIID riid, UINT* reserved,
                             void** ppv) override;
  STDMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags, STRRET* name) override;
  STDMETHODIMP SetNameOf(HWND owner, PCUITEMID_CHILD list, LPCWSTR name, SHGDNF flags,
                         PITEMID_CHILD* newList) override;
  // IShellFolder2
  STDMETHODIMP GetDefaultSearchGUID(GUID* guid) override;
  STDMETHODIMP EnumSearches(IEnumExtraSearch** searches) override;
  STDMETHODIMP GetDefaultColumn(DWORD, ULONG* sort, ULONG* display) override;
  STDMETHODIMP GetDefaultColumnState(UINT column, SHCOLSTATEF* state) override;
  STDMETHODIMP GetDetailsEx(PCUITEMID_CHILD list, const SHCOLUMNID* key, VARIANT* value) override;
  STDMETHODIMP GetDetailsOf(PCUITEMID_CHILD list, UINT column, SHELLDETAILS* details) override;
  STDMETHODIMP MapColumnToSCID(UINT column, SHCOLUMNID* key) override;
  // IPersistFolder2
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE list) override;
  STDMETHODIMP GetCurFolder(PIDLIST_ABSOLUTE* list) override;
  // IShellDetails (GetDetailsOf is the one above)
  STDMETHODIMP ColumnClick(UINT column) override;
  // IShellIcon
  STDMETHODIMP GetIconOf(PCUITEMID_CHILD list, UINT flags, int* index) override;

  const CBstr& GetPath() const { return m_path; }
  const CItemIDList& GetIDList() const { return m_absolute; }
  // For the view: the entries of the last listing, refreshed first.
  HRESULT RefreshFolderCache();
  int GetCacheCount() const { return m_cacheCount; }
  LPCITEMIDLIST GetCacheItem(int index) const { return m_cache[index].Get(); }

private:
  ~RPLFolder() override;
  HRESULT InitializeChild(const RPLFolder& parent, LPCITEMIDLIST relative);
  HRESULT EnsureVolume();
  void FreeCache();
  bool IsRoot() const { return m_path.GetLength() == 0; }
  bool InCache(LPCITEMIDLIST item) const;
  CBstr ColumnText(LPCITEMIDLIST item, UINT column) const;

  CBstr m_path;
  CItemIDList m_absolute;
  CItemIDList* m_cache = nullptr;
  int m_cacheCount = 0;
  ComPtr<IVKSVolume> m_volume;
  bool m_filter = false;
};

// Folder order: folders first, then full names without case; 0 when equal.
int CompareFolderItems(LPCITEMIDLIST a, LPCITEMIDLIST b);
