// namespace/RPLIcon.cpp - icons, info tips and the view's change sink.
#include "RPLIcon.h"

namespace {

// Creates T, runs its Init and hands out riid.
template <class T, class... Args> HRESULT CreateInitialised(REFIID riid, void** ppv, Args... args) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  T* object = new (std::nothrow) T();
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->Init(args...);
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

bool HasRecord(LPCITEMIDLIST list) { return list && list->mkid.cb; }

}  // namespace

HRESULT RPLIcon::Init(LPCITEMIDLIST list) {
  if (!HasRecord(list)) return E_INVALIDARG;
  return m_list.Assign(list);
}

// Every output is written, drive roots included: the shell uses and caches
// whatever it finds there.
STDMETHODIMP RPLIcon::GetIconLocation(UINT flags, LPWSTR file, UINT size, int* index, UINT* outFlags) {
  if (!index || !outFlags) return E_INVALIDARG;
  if (file && size > 0) file[0] = L'\0';
  *index = (flags & GIL_OPENICON) ? 1 : 0;
  *outFlags = GIL_NOTFILENAME | GIL_DONTCACHE;
  return S_OK;
}

STDMETHODIMP RPLIcon::Extract(LPCWSTR, UINT index, HICON* large, HICON* small, UINT) {
  if (!large && !small) return E_INVALIDARG;
  if (large) *large = nullptr;
  if (small) *small = nullptr;
  LPCITEMIDLIST item = m_list.GetLastItem();
  if (!item || !IsValidModuleItem(item)) return E_FAIL;
  if (IsDriveRootItem(item)) {
    if (large) *large = GetDriveIcon();
    if (small) *small = GetSmallDriveIcon();
    return S_OK;
  }
  CBstr name = GetItemNameString(item);
  UINT extra = index == 1 ? SHGFI_OPENICON : 0;
  if (large) *large = GetFileIcon(name.GetBstr(), GetItemAttributes(item), extra);
  if (small) *small = GetSmallFileIcon(name.GetBstr(), GetItemAttributes(item), extra);
  return S_OK;
}

STDMETHODIMP RPLIcon::GetIconLocation(UINT flags, LPSTR file, UINT size, int* index, UINT* outFlags) {
  if (file && size > 0) file[0] = '\0';
  wchar_t empty[1] = L"";
  return GetIconLocation(flags, empty, 1, index, outFlags);
}

STDMETHODIMP RPLIcon::Extract(LPCSTR, UINT index, HICON* large, HICON* small, UINT iconSize) {
  return Extract(L"", index, large, small, iconSize);
}

HRESULT RPLQueryInfo::Init(LPCITEMIDLIST list) {
  if (!HasRecord(list)) return E_INVALIDARG;
  return m_list.Assign(list);
}

STDMETHODIMP RPLQueryInfo::GetInfoTip(DWORD, LPWSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  LPCITEMIDLIST item = m_list.GetItem(0);
  CBstr last = item && IsValidModuleItem(item) ? GetItemNameString(item) : CBstr();
  UINT length = last.GetLength();
  *text = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
  if (!*text) return E_OUTOFMEMORY;
  if (length) memcpy(*text, last.GetBstr(), length * sizeof(wchar_t));
  (*text)[length] = L'\0';
  return S_OK;
}

STDMETHODIMP RPLQueryInfo::GetInfoFlags(DWORD* flags) {
  if (!flags) return E_POINTER;
  *flags = 0;
  return S_OK;
}

HRESULT RPLNotifySink::Init(IModuleViewCallback* view, bool searchResults) {
  m_view = view;
  m_searchResults = searchResults;
  return S_OK;
}

STDMETHODIMP RPLNotifySink::OnChange(BSTR path) {
  if (!m_view) return S_OK;
  if (m_searchResults) {
    // "D:" and a path: the delete operation reports an item gone.
    if (path && SysStringLen(path) >= 2 && path[0] == L'D' && path[1] == L':') m_view->RemoveRowsByName(path + 2);
    return S_OK;
  }
  m_view->Refresh();
  return S_OK;
}

HRESULT CreateRPLIcon(LPCITEMIDLIST list, REFIID riid, void** ppv) {
  return CreateInitialised<RPLIcon>(riid, ppv, list);
}
HRESULT CreateRPLQueryInfo(LPCITEMIDLIST list, REFIID riid, void** ppv) {
  return CreateInitialised<RPLQueryInfo>(riid, ppv, list);
}
HRESULT CreateRPLNotifySink(IModuleViewCallback* view, bool searchResults, REFIID riid, void** ppv) {
  return CreateInitialised<RPLNotifySink>(riid, ppv, view, searchResults);
}
