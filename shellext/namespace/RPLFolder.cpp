// namespace/RPLFolder.cpp - the namespace folder.
#include "RPLFolder.h"
#include "RPLView.h"
#include <propkey.h>
#include <vector>
#include "DisplayText.h"
#include "FolderObjects.h"
#include "MessageFilter.h"
#include "ModuleCommands.h"
#include "ModuleEntry.h"
#include "ResourceIds.h"
#include "RPLIcon.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "ShellExtClasses.h"

namespace {

// The platform's storage property set (shlguid.h).
const FMTID kFmtidStorage = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};

struct Column {
  UINT title;
  int format;          // LVCFMT_LEFT 0, LVCFMT_RIGHT 1
  SHCOLSTATEF type;
  DWORD pid;
};
const Column kDriveColumns[] = {
    {IDS_COLUMN_NAME, LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 10},
    {IDS_COLUMN_TYPE, LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 4},
    {IDS_COLUMN_TOTAL_SIZE, LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT, 12},
    {IDS_COLUMN_FREE_SPACE, LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT, 13},
};
const Column kFileColumns[] = {
    {IDS_COLUMN_NAME, LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 10},
    {IDS_COLUMN_SIZE, LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT, 12},
    {IDS_COLUMN_TYPE, LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 4},
    {IDS_COLUMN_MODIFIED, LVCFMT_LEFT, SHCOLSTATE_TYPE_DATE, 14},
};
const UINT kColumnCount = 4;

HRESULT ToStrRet(const CBstr& text, STRRET* out) {
  UINT length = text.GetLength();
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
  if (!copy) return E_OUTOFMEMORY;
  if (length) memcpy(copy, text.GetBstr(), length * sizeof(wchar_t));
  copy[length] = L'\0';
  out->uType = STRRET_WSTR;
  out->pOleStr = copy;
  return S_OK;
}

bool IsValidFirst(LPCITEMIDLIST list) { return list && list->mkid.cb && IsValidModuleItem(list); }

CBstr DateText(DATE date) { return FormatDateTime(date, TRUE, TRUE, FALSE); }

// A drive record keeps its free bytes, as a 64-bit number, in its last-write field.
ULONGLONG DriveFreeSpace(LPCITEMIDLIST item) {
  DATE value = GetItemLastWriteTime(item);
  return value > 0 ? static_cast<ULONGLONG>(value) : 0;
}

// Copies handed out by Next; the folder's cache may be replaced meanwhile.
class CEnumModuleItems final : public IEnumIDList, public CComObjectBase {
public:
  COM_QI_TABLE(CEnumModuleItems, IEnumIDList)
  std::vector<CItemIDList> items;
  size_t position = 0;

  STDMETHODIMP Next(ULONG wanted, PITEMID_CHILD* out, ULONG* fetched) override {
    if (!out || (wanted > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    while (given < wanted && position < items.size()) {
      LPITEMIDLIST copy = CloneIDList(items[position].Get());
      if (!copy) break;
      out[given++] = reinterpret_cast<PITEMID_CHILD>(copy);
      ++position;
    }
    if (fetched) *fetched = given;
    return given == wanted ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    position = position + count > items.size() ? items.size() : position + count;
    return position < items.size() ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumIDList** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    COM_TRY
    auto* copy = new (std::nothrow) CEnumModuleItems();
    if (!copy) return E_OUTOFMEMORY;
    copy->items = items;
    copy->position = position;
    *out = copy;
    return S_OK;
    COM_CATCH
  }

private:
  ~CEnumModuleItems() override = default;
};

struct RetryListing {
  const wchar_t* path;
  CItemIDList* items = nullptr;
  int count = 0;
};

// A volume made on the folder's thread can fail with the apartment's state;
// the retry lists on a fresh thread with its own volume.
DWORD WINAPI ListOnFreshThread(void* parameter) {
  auto* listing = static_cast<RetryListing*>(parameter);
  AcquireThreadMessageFilter();
  ComPtr<IVKSVolume> volume;
  HRESULT hr = CreateModuleVolume(&volume);
  if (SUCCEEDED(hr)) hr = ListFolderEntries(listing->path, &listing->items, &listing->count, volume.Get(), false);
  volume.Reset();
  ReleaseThreadMessageFilter();
  return static_cast<DWORD>(hr);
}

}  // namespace

int CompareFolderItems(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  bool folderA = IsFolderItem(a), folderB = IsFolderItem(b);
  if (folderA != folderB) return folderA ? -1 : 1;
  return lstrcmpiW(GetItemName(a), GetItemName(b));
}

RPLFolder::RPLFolder() { m_filter = AcquireThreadMessageFilter() == S_OK; }

RPLFolder::~RPLFolder() {
  FreeCache();
  m_volume.Reset();
  if (m_filter) ReleaseThreadMessageFilter();
}

HRESULT CreateRPLFolder(REFIID riid, void** ppv) { return CreateComObject<RPLFolder>(riid, ppv); }

void RPLFolder::FreeCache() {
  delete[] m_cache;
  m_cache = nullptr;
  m_cacheCount = 0;
}

HRESULT RPLFolder::EnsureVolume() {
  if (m_volume) return S_OK;
  return CreateModuleVolume(&m_volume);
}

HRESULT RPLFolder::RefreshFolderCache() {
  FreeCache();
  HRESULT hr = EnsureVolume();
  if (SUCCEEDED(hr)) hr = ListFolderEntries(m_path.GetBstr() ? m_path.GetBstr() : L"", &m_cache, &m_cacheCount,
                                            m_volume.Get(), false);
  if (SUCCEEDED(hr)) return hr;   // S_FALSE: an empty folder
  FreeCache();
  RetryListing listing;
  listing.path = m_path.GetBstr() ? m_path.GetBstr() : L"";
  HANDLE thread = CreateThread(nullptr, 0, ListOnFreshThread, &listing, 0, nullptr);
  if (!thread) {
    hr = E_FAIL;
  } else {
    WaitForSingleObject(thread, INFINITE);
    DWORD code = static_cast<DWORD>(E_FAIL);
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    hr = static_cast<HRESULT>(code);
    m_cache = listing.items;
    m_cacheCount = listing.count;
  }
  if (FAILED(hr)) {
    FreeCache();
    ShowCopyError(hr, L"");
  }
  return hr;
}

STDMETHODIMP RPLFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE* out, ULONG*) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP RPLFolder::EnumObjects(HWND, SHCONTF flags, IEnumIDList** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  COM_TRY
  RETURN_IF_FAILED(RefreshFolderCache());
  auto* list = new (std::nothrow) CEnumModuleItems();
  if (!list) return E_OUTOFMEMORY;
  if (!(flags & SHCONTF_NETPRINTERSRCH)) {
    for (int i = 0; i < m_cacheCount; ++i) {
      LPCITEMIDLIST item = m_cache[i].Get();
      if (!item) continue;
      ULONG attributes = GetItemAttributes(item);
      if ((attributes & FILE_ATTRIBUTE_HIDDEN) && !(flags & SHCONTF_INCLUDEHIDDEN)) continue;
      bool folder = (attributes & kItemFolderAttribute) || IsDriveRootItem(item);
      if (!(flags & (folder ? SHCONTF_FOLDERS : SHCONTF_NONFOLDERS))) continue;
      list->items.emplace_back(item);
      if (list->items.back().IsEmpty()) {
        list->Release();
        return E_OUTOFMEMORY;
      }
    }
  }
  *out = list;
  return S_OK;
  COM_CATCH
}

HRESULT RPLFolder::InitializeChild(const RPLFolder& parent, LPCITEMIDLIST relative) {
  FreeCache();
  CBstr path = parent.m_path;
  for (LPCITEMIDLIST item = relative; item->mkid.cb; item = ILNext(item)) {
    if (!IsValidModuleItem(item)) return E_INVALIDARG;
    CBstr last = GetItemNameString(item);
    if (last.GetLength() == 0) continue;
    path.Append(L"\\");
    path.Append(last);
  }
  m_absolute = CItemIDList::Concatenate(parent.m_absolute.Get(), relative);
  if (m_absolute.IsEmpty()) return E_OUTOFMEMORY;
  m_path = path;
  return S_OK;
}

STDMETHODIMP RPLFolder::BindToObject(PCUIDLIST_RELATIVE list, IBindCtx*, REFIID riid, void** ppv) {
  if (!list || !ppv) return E_POINTER;
  *ppv = nullptr;
  COM_TRY
  auto* child = new (std::nothrow) RPLFolder();
  if (!child) return E_OUTOFMEMORY;
  HRESULT hr = child->InitializeChild(*this, list);
  if (SUCCEEDED(hr)) hr = child->QueryInterface(riid, ppv);
  child->Release();
  return hr;
  COM_CATCH
}

STDMETHODIMP RPLFolder::BindToStorage(PCUIDLIST_RELATIVE list, IBindCtx*, REFIID, void** ppv) {
  if (!list || !ppv) return E_POINTER;
  *ppv = nullptr;
  return E_NOTIMPL;
}

// The shell reads the code as a signed 16-bit order; a negative order must
// still be a success code, or it cannot sort.
STDMETHODIMP RPLFolder::CompareIDs(LPARAM, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) {
  if (!a || !b) return E_POINTER;
  auto result = [](int order) {
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(static_cast<short>(order < 0 ? -1 : order > 0)));
  };
  if (!a->mkid.cb || !b->mkid.cb) return result(!a->mkid.cb && !b->mkid.cb ? 0 : !a->mkid.cb ? -1 : 1);
  for (; a->mkid.cb; a = ILNext(a), b = ILNext(b)) {
    if (!b->mkid.cb) return result(1);
    bool validA = IsValidModuleItem(a), validB = IsValidModuleItem(b);
    if (!validA || !validB) {
      if (validA != validB) return result(validA ? -1 : 1);
      continue;
    }
    int order = CompareFolderItems(a, b);
    if (order) return result(order);
  }
  return result(b->mkid.cb ? -1 : 0);
}

STDMETHODIMP RPLFolder::CreateViewObject(HWND owner, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IShellView) || IsEqualIID(riid, IID_IShellView2))
    return CreateRPLView(m_path.GetBstr() ? m_path.GetBstr() : L"", m_absolute.Get(), owner, riid, ppv);
  if (IsEqualIID(riid, IID_IDropTarget))
    return CreateItemDropTarget(m_path.GetBstr() ? m_path.GetBstr() : L"", m_absolute.Get(), nullptr, owner, riid,
                                ppv);
  return E_NOINTERFACE;
}

bool RPLFolder::InCache(LPCITEMIDLIST item) const {
  for (int i = 0; i < m_cacheCount; ++i)
    if (m_cache[i].Get() && CompareFolderItems(m_cache[i].Get(), item) == 0) return true;
  return false;
}

STDMETHODIMP RPLFolder::GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY lists, SFGAOF* mask) {
  if (!lists || !mask) return E_POINTER;
  bool validate = (*mask & SFGAO_VALIDATE) != 0;
  if (validate) RETURN_IF_FAILED(RefreshFolderCache());
  if (count == 0) return S_OK;
  SFGAOF result = 0xAA040173;
  for (UINT i = 0; i < count; ++i) {
    LPCITEMIDLIST item = lists[i];
    if (!item) return E_INVALIDARG;
    if (!IsValidFirst(item)) {
      result = 0;
      continue;
    }
    if (validate && !InCache(item)) return E_FAIL;
    if (IsDriveRootItem(item)) result &= 0xAA040140;
    else if (IsFolderItem(item)) result &= 0xAA000173;
    else result &= 0x02000173;
  }
  *mask &= result;
  return S_OK;
}

STDMETHODIMP RPLFolder::GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY lists, REFIID riid, UINT*,
                                      void** ppv) {
  if (!lists || !ppv) return E_POINTER;
  *ppv = nullptr;
  COM_TRY
  auto* items = const_cast<LPCITEMIDLIST*>(reinterpret_cast<const LPCITEMIDLIST*>(lists));
  if (IsEqualIID(riid, IID_IContextMenu)) {
    if (count == 0) return E_UNEXPECTED;
    // Before any listing a drive's record may be old: its capacity is asked
    // now, so the menu and the property sheet show the current figures.
    CItemIDList fresh;
    if (!m_cache && count == 1 && IsValidFirst(items[0]) && IsDriveRootItem(items[0]) && SUCCEEDED(EnsureVolume())) {
      CBstr name(GetItemName(items[0]));
      LONG total = 0, free = 0;
      if (SUCCEEDED(m_volume->GetCapacity(name.GetBstr(), &total, &free))) {
        fresh.CreateItem(name.GetBstr(), name.GetLength(), name.GetBstr(), name.GetLength(),
                         static_cast<ULONG>(total), 0, 0, 0, static_cast<DATE>(static_cast<ULONG>(free)));
      }
    }
    LPCITEMIDLIST replaced = fresh.Get();
    return CreateItemContextMenu(this, count, fresh.IsEmpty() ? items : &replaced, owner, riid, ppv);
  }
  if (IsEqualIID(riid, IID_IExtractIconW)) {
    if (count != 1) return E_INVALIDARG;
    return CreateRPLIcon(items[0], riid, ppv);
  }
  if (IsEqualIID(riid, IID_IQueryInfo)) {
    if (count != 1) return E_INVALIDARG;
    return CreateRPLQueryInfo(items[0], riid, ppv);
  }
  if (IsEqualIID(riid, IID_IDataObject)) {
    if (count == 0) return E_UNEXPECTED;
    return CreateItemDataObject(m_path.GetBstr() ? m_path.GetBstr() : L"", count, items, DROPEFFECT_COPY, riid, ppv);
  }
  if (IsEqualIID(riid, IID_IDropTarget)) {
    if (count == 0) return E_UNEXPECTED;
    return CreateItemDropTarget(m_path.GetBstr() ? m_path.GetBstr() : L"", m_absolute.Get(), items[0], owner, riid,
                                ppv);
  }
  return E_NOINTERFACE;
  COM_CATCH
}

STDMETHODIMP RPLFolder::GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags, STRRET* out) {
  if (!list || !out) return E_POINTER;
  if (!IsValidFirst(list)) return E_INVALIDARG;
  COM_TRY
  CBstr disk = g_resourceModule.LoadResString(IDS_MODULE_DISK);
  CBstr last = GetItemNameString(list);
  CBstr text;
  bool drive = IsDriveRootItem(list);
  if (flags & SHGDN_INFOLDER) {
    if (drive) {
      text = disk;
      text.Append(L" (");
      text.Append(GetItemShortName(list));
      text.Append(L")");
    } else {
      text = last;
    }
  } else if (drive) {
    text = disk;
    text.Append(L" ");
    text.Append(GetItemShortName(list));
    text.Append(L"\\");
  } else if (flags & SHGDN_FORPARSING) {
    text = disk;
    text.Append(L" ");
    const wchar_t* path = m_path.GetBstr() ? m_path.GetBstr() : L"";
    text.Append(path[0] == L'\\' ? path + 1 : path);
    text.Append(L"\\");
    text.Append(last);
  } else {
    text = last;
  }
  return ToStrRet(text, out);
  COM_CATCH
}

STDMETHODIMP RPLFolder::SetNameOf(HWND owner, PCUITEMID_CHILD list, LPCWSTR name, SHGDNF, PITEMID_CHILD* newList) {
  if (newList) *newList = nullptr;
  if (!list || !name) return E_POINTER;
  if (!IsValidFirst(list)) return E_INVALIDARG;
  RETURN_IF_FAILED(EnsureVolume());
  CBstr last = GetItemNameString(list);
  if (lstrcmpiW(last.GetBstr() ? last.GetBstr() : L"", name) == 0) return S_OK;
  RETURN_IF_FAILED(RenameItem(list, name, m_volume.Get(), owner));
  CBstr path = m_path;
  path.Append(L"\\");
  path.Append(name);
  CItemIDList* found = nullptr;
  FindEntryByName(path.GetBstr(), m_volume.Get(), &found);
  delete found;
  return S_OK;
}

STDMETHODIMP RPLFolder::GetDefaultSearchGUID(GUID* guid) { return guid ? E_NOTIMPL : E_POINTER; }
STDMETHODIMP RPLFolder::EnumSearches(IEnumExtraSearch** searches) {
  if (!searches) return E_POINTER;
  *searches = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP RPLFolder::GetDefaultColumn(DWORD, ULONG* sort, ULONG* display) {
  if (!sort || !display) return E_POINTER;
  *sort = 0;
  *display = 0;
  return S_OK;
}

STDMETHODIMP RPLFolder::GetDefaultColumnState(UINT column, SHCOLSTATEF* state) {
  if (!state) return E_POINTER;
  if (column >= kColumnCount) {
    *state = SHCOLSTATE_HIDDEN;
    return E_INVALIDARG;
  }
  *state = SHCOLSTATE_ONBYDEFAULT | (IsRoot() ? kDriveColumns : kFileColumns)[column].type;
  return S_OK;
}

STDMETHODIMP RPLFolder::MapColumnToSCID(UINT column, SHCOLUMNID* key) {
  if (!key) return E_POINTER;
  if (column >= kColumnCount) return E_INVALIDARG;
  key->fmtid = kFmtidStorage;
  key->pid = (IsRoot() ? kDriveColumns : kFileColumns)[column].pid;
  return S_OK;
}

CBstr RPLFolder::ColumnText(LPCITEMIDLIST item, UINT column) const {
  if (column == 0) return GetItemNameString(item);
  if (IsDriveRootItem(item)) {
    if (column == 1) return GetItemTypeName(item);
    if (column == 2) return FormatByteSize(GetItemSize(item));
    return FormatByteSize(DriveFreeSpace(item));
  }
  if (column == 1) return IsFolderItem(item) ? CBstr() : FormatByteSize(GetItemSize(item));
  if (column == 2) return GetItemTypeName(item);
  return DateText(GetItemLastWriteTime(item));
}

STDMETHODIMP RPLFolder::GetDetailsOf(PCUITEMID_CHILD list, UINT column, SHELLDETAILS* details) {
  if (!details) return E_POINTER;
  if (column >= kColumnCount) return E_INVALIDARG;
  COM_TRY
  const Column& info = (IsRoot() ? kDriveColumns : kFileColumns)[column];
  CBstr text;
  if (!list) {
    text = g_resourceModule.LoadResString(info.title);
  } else {
    if (!IsValidFirst(list)) return E_INVALIDARG;
    text = ColumnText(list, column);
  }
  details->fmt = info.format;
  details->cxChar = static_cast<int>(text.GetLength());
  return ToStrRet(text, &details->str);
  COM_CATCH
}

STDMETHODIMP RPLFolder::GetDetailsEx(PCUITEMID_CHILD list, const SHCOLUMNID* key, VARIANT* value) {
  if (!list || !key || !value) return E_POINTER;
  VariantInit(value);
  if (!IsEqualGUID(key->fmtid, kFmtidStorage) || !IsValidFirst(list)) return E_INVALIDARG;
  COM_TRY
  bool drive = IsDriveRootItem(list);
  CBstr text;
  switch (key->pid) {
    case 4: text = GetItemTypeName(list); break;
    case 10: text = GetItemNameString(list); break;
    case 12: if (!IsFolderItem(list)) text = FormatByteSize(GetItemSize(list)); break;
    case 13:
      if (!drive) return E_INVALIDARG;
      text = FormatByteSize(DriveFreeSpace(list));
      break;
    case 14:
      if (drive) return E_INVALIDARG;
      text = DateText(GetItemLastWriteTime(list));
      break;
    default: return E_INVALIDARG;
  }
  value->vt = VT_BSTR;
  value->bstrVal = SysAllocString(text.GetBstr() ? text.GetBstr() : L"");
  if (!value->bstrVal) {
    value->vt = VT_EMPTY;
    return E_OUTOFMEMORY;
  }
  return S_OK;
  COM_CATCH
}

STDMETHODIMP RPLFolder::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_RPLFolder;
  return S_OK;
}

STDMETHODIMP RPLFolder::Initialize(PCIDLIST_ABSOLUTE list) {
  FreeCache();
  if (!list) return E_POINTER;
  COM_TRY
  RETURN_IF_FAILED(m_absolute.Assign(list));
  // Records of others (My Computer, the root) add nothing to the path.
  std::vector<LPCITEMIDLIST> records;
  for (LPCITEMIDLIST item = list; item->mkid.cb; item = ILNext(item))
    if (IsValidModuleItem(item)) records.push_back(item);
  CBstr path;
  for (LPCITEMIDLIST item : records) {
    path.Append(L"\\");
    path.Append(GetItemNameString(item));
  }
  m_path = path;
  return S_OK;
  COM_CATCH
}

STDMETHODIMP RPLFolder::GetCurFolder(PIDLIST_ABSOLUTE* out) {
  if (!out) return E_POINTER;
  *out = reinterpret_cast<PIDLIST_ABSOLUTE>(CloneIDList(m_absolute.Get()));
  return *out || m_absolute.IsEmpty() ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP RPLFolder::ColumnClick(UINT) { return S_FALSE; }

STDMETHODIMP RPLFolder::GetIconOf(PCUITEMID_CHILD list, UINT flags, int* index) {
  if (!list || !index) return E_POINTER;
  CItemIDList holder(list);
  LPCITEMIDLIST last = holder.GetLastItem();
  if (!last || !IsValidModuleItem(last)) return E_INVALIDARG;
  int found;
  if (IsDriveRootItem(last)) {
    found = GetDriveIconIndex();
  } else {
    CBstr name = GetItemNameString(last);
    found = GetSmallSysIconIndex(name.GetBstr(), GetItemAttributes(last), flags & GIL_OPENICON ? SHGFI_OPENICON : 0);
  }
  *index = found < 0 ? 0 : found;
  return S_OK;
}
