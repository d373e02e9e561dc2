// transfers/RPLPropSheetExt.cpp - the property-sheet object: what the pages
// show, the pages it adds and their dialog procedure.
#include "RPLPropSheetExt.h"
#include <new>
#include "MessageFilter.h"
#include "ModuleHelp.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "ShellExtClasses.h"
#include "ShellHelpers.h"

namespace {
bool SameText(const CBstr& a, const CBstr& b) {
  const UINT length = a.GetLength();
  return length == b.GetLength() && (length == 0 || memcmp(a.GetBstr(), b.GetBstr(), length * sizeof(wchar_t)) == 0);
}

CBstr JoinWithSpace(UINT id, const CBstr& text) {
  return ConcatStrings(ConcatStrings(g_resourceModule.LoadResString(id), L" "), text);
}

// The item-ID list at offset when all of it, terminator included, lies
// within the block; else null.
LPCITEMIDLIST IdListWithin(const BYTE* block, SIZE_T size, UINT offset) {
  SIZE_T at = offset;
  while (at + sizeof(USHORT) <= size) {
    USHORT cb = 0;
    memcpy(&cb, block + at, sizeof(cb));
    if (cb == 0) return reinterpret_cast<LPCITEMIDLIST>(block + offset);
    at += cb;
  }
  return nullptr;
}

// The desktop-relative folder of the array and the display name of its one child.
HRESULT GetSingleChildName(const BYTE* block, SIZE_T size, CBstr* name) {
  if (size < sizeof(UINT)) return E_INVALIDARG;
  UINT count = 0;
  memcpy(&count, block, sizeof(count));
  if (count != 1) return E_INVALIDARG;
  if (size < 3 * sizeof(UINT)) return E_INVALIDARG;
  UINT offsets[2];
  memcpy(offsets, block + sizeof(UINT), sizeof(offsets));
  LPCITEMIDLIST parent = IdListWithin(block, size, offsets[0]);
  LPCITEMIDLIST child = IdListWithin(block, size, offsets[1]);
  if (!parent || !child) return E_INVALIDARG;
  ComPtr<IShellFolder> desktop;
  HRESULT hr = SHGetDesktopFolder(&desktop);
  if (FAILED(hr)) return hr;
  ComPtr<IShellFolder> folder;
  if (parent->mkid.cb == 0) {
    folder = desktop;
  } else {
    hr = desktop->BindToObject(parent, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
    if (FAILED(hr)) return hr;
  }
  STRRET value = {};
  hr = folder->GetDisplayNameOf(child, SHGDN_INFOLDER, &value);
  if (FAILED(hr)) return hr;
  *name = StrRetToString(value, child);
  return S_OK;
}
}  // namespace

RPLPropSheetExt::RPLPropSheetExt() {
  m_filterAcquired = SUCCEEDED(AcquireThreadMessageFilter());
}

RPLPropSheetExt::~RPLPropSheetExt() {
  for (void*& copy : m_templates)
    if (copy) HeapFree(GetProcessHeap(), 0, copy);
  delete[] m_items;
  m_volume.Reset();
  if (m_filterAcquired) ReleaseThreadMessageFilter();
}

CBstr DriveItemName(LPCITEMIDLIST drive) {
  const CBstr name(GetItemName(drive));
  const CBstr part = GetDrivePart(name);
  return part.GetLength() ? part : name;
}

HRESULT CreatePropSheetExt(RPLPropSheetExt** object) {
  if (!object) return E_POINTER;
  *object = new (std::nothrow) RPLPropSheetExt();
  return *object ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateRPLPropSheetExt(REFIID riid, void** ppv) { return CreateComObject<RPLPropSheetExt>(riid, ppv); }

STDMETHODIMP RPLPropSheetExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  COM_TRY {
    if (!data) return E_INVALIDARG;
    FORMATETC format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Shell IDList Array")), nullptr,
                        DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    HRESULT hr = data->GetData(&format, &medium);
    if (FAILED(hr)) return hr;
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) {
      ReleaseStgMedium(&medium);
      return E_UNEXPECTED;
    }
    CBstr name;
    const BYTE* block = static_cast<const BYTE*>(GlobalLock(medium.hGlobal));
    hr = block ? GetSingleChildName(block, GlobalSize(medium.hGlobal), &name) : E_UNEXPECTED;
    if (block) GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    if (FAILED(hr)) return hr;
    if (CompareText(name.GetBstr(), L"Module", FALSE) != 0) return E_INVALIDARG;
    return InitPropertyPages(L"", nullptr, 0);
  }
  COM_CATCH;
}

RPLPropSheetExt::Kind RPLPropSheetExt::PageKind() const {
  if (m_count == 0) return Kind::Root;
  return IsDriveRootItem(m_items[0].Get()) ? Kind::Drives : Kind::Items;
}

int RPLPropSheetExt::DrivePageCount() const { return m_count < kMaxPages ? m_count : kMaxPages; }

HRESULT RPLPropSheetExt::InitPropertyPages(const wchar_t* path, CItemIDList* items, int count) {
  delete[] m_items;
  m_items = items;
  m_count = items && count > 0 ? count : 0;
  m_volume.Reset();
  HRESULT hr = CreateModuleVolume(&m_volume);
  if (FAILED(hr)) return hr;
  if (!m_volume) return E_UNEXPECTED;

  if (m_count > 0 && PageKind() == Kind::Items) {
    // Sizes, attributes and dates as the module has them now.
    for (int i = 0; i < m_count; ++i) {
      CItemIDList* found = nullptr;
      if (SUCCEEDED(FindEntryByName(GetItemName(m_items[i].Get()), m_volume.Get(), &found)) && found)
        m_items[i] = std::move(*found);
      delete found;
    }
    return FillGeneralData();
  }
  if (m_count > 0) {
    for (int i = 0; i < DrivePageCount(); ++i) {
      BSTR label = nullptr;
      m_labelRead[i] = SUCCEEDED(m_volume->GetLabel(DriveItemName(m_items[i].Get()).GetBstr(), &label));
      if (m_labelRead[i])
        m_labels[i].Attach(label);
      else if (label)
        SysFreeString(label);
    }
    return S_OK;
  }

  delete[] m_items;
  m_items = nullptr;
  const CBstr where(path);
  if (where.GetLength() == 0) {
    m_model[0] = L'\0';
    GetModuleModelClass(m_model, ARRAYSIZE(m_model));
    return S_OK;
  }
  CItemIDList* one = new (std::nothrow) CItemIDList[1];
  if (!one) return E_OUTOFMEMORY;
  if (!IsDriveRootName(path)) {
    CItemIDList* found = nullptr;
    hr = FindEntryByName(path, m_volume.Get(), &found);
    if (FAILED(hr) || !found) {
      delete found;
      delete[] one;
      return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    one[0] = std::move(*found);
    delete found;
    m_items = one;
    m_count = 1;
    return FillGeneralData();
  }
  LONG total = 0;
  LONG free = 0;
  hr = m_volume->GetCapacity(where.GetBstr(), &total, &free);
  if (SUCCEEDED(hr)) {
    const UINT length = where.GetLength();
    hr = one[0].CreateItem(path, length, path, length, static_cast<ULONG>(total), kItemFolderAttribute, 0, 0,
                           static_cast<DATE>(static_cast<ULONG>(free)));
  }
  if (FAILED(hr)) {
    delete[] one;
    return hr;
  }
  m_items = one;
  m_count = 1;
  BSTR label = nullptr;
  m_labelRead[0] = SUCCEEDED(m_volume->GetLabel(GetDrivePart(where).GetBstr(), &label));
  if (m_labelRead[0])
    m_labels[0].Attach(label);
  else if (label)
    SysFreeString(label);
  return S_OK;
}

HRESULT RPLPropSheetExt::FillGeneralData() {
  if (m_count == 0) return S_OK;
  LPCITEMIDLIST first = m_items[0].Get();
  if (IsDriveRootItem(first)) {
    m_fileCount = -1;
    m_folderCount = -1;
    return S_OK;
  }
  m_fileCount = 0;
  // A lone folder is the subject, not part of what it contains.
  m_folderCount = m_count == 1 && IsFolderItem(first) ? -1 : 0;
  m_totalSize = 0;
  m_present = GetItemAttributes(first);
  m_absent = ~m_present;
  m_location = GetItemFolderText(first);
  m_type = GetItemTypeName(first);
  for (int i = 1; i < m_count; ++i) {
    LPCITEMIDLIST item = m_items[i].Get();
    const ULONG attributes = GetItemAttributes(item);
    m_present |= attributes;
    m_absent |= ~attributes;
    if (m_location.GetLength() && !SameText(m_location, GetItemFolderText(item))) m_location.Empty();
    if (m_type.GetLength() && !SameText(m_type, GetItemTypeName(item))) m_type.Empty();
  }
  if (m_count >= 2) {
    m_location = m_location.GetLength() ? JoinWithSpace(IDS_ALL_IN, m_location)
                                        : g_resourceModule.LoadResString(IDS_VARIOUS_FOLDERS);
    m_type = m_type.GetLength() ? JoinWithSpace(IDS_ALL_OF_TYPE, m_type)
                                : g_resourceModule.LoadResString(IDS_SEVERAL_TYPES);
  }
  return SumSelectionSizes(m_items, m_count);
}

HRESULT RPLPropSheetExt::SumSelectionSizes(const CItemIDList* items, int count) {
  for (int i = 0; i < count; ++i) {
    LPCITEMIDLIST item = items[i].Get();
    if (!IsFolderItem(item)) {
      ++m_fileCount;
      m_totalSize += GetItemSize(item);
      continue;
    }
    ++m_folderCount;
    CItemIDList* children = nullptr;
    int found = 0;
    HRESULT hr = ListFolderEntries(GetItemName(item), &children, &found, m_volume.Get(), false);
    if (SUCCEEDED(hr)) hr = SumSelectionSizes(children, found);
    delete[] children;
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

STDMETHODIMP RPLPropSheetExt::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM param) {
  COM_TRY {
    if (!addPage) return E_INVALIDARG;
    HRESULT hr = S_OK;
    switch (PageKind()) {
    case Kind::Root:
      hr = AddPage(IDD_PAGE_MODULE, nullptr, addPage, param);
      if (SUCCEEDED(hr)) hr = AddPage(IDD_PAGE_PORT, nullptr, addPage, param);
      break;
    case Kind::Drives:
      if (m_count == 1) {
        hr = AddPage(IDD_PAGE_DRIVE, nullptr, addPage, param);
        break;
      }
      for (int i = 0; i < DrivePageCount() && SUCCEEDED(hr); ++i)
        hr = AddPage(IDD_PAGE_DRIVE, JoinWithSpace(IDS_MODULE_DISK, DriveItemName(m_items[i].Get())).GetBstr(),
                     addPage, param);
      break;
    case Kind::Items:
      if (m_count > 1)
        hr = AddPage(IDD_PAGE_SEVERAL, nullptr, addPage, param);
      else
        hr = AddPage(IsFolderItem(m_items[0].Get()) ? IDD_PAGE_FOLDER : IDD_PAGE_FILE, nullptr, addPage, param);
      break;
    }
    return hr;
  }
  COM_CATCH;
}

HRESULT RPLPropSheetExt::AddPage(UINT templateId, const wchar_t* title, LPFNSVADDPROPSHEETPAGE addPage,
                                 LPARAM param) {
  int slot = 0;
  while (slot < kMaxPages && m_templates[slot]) ++slot;
  if (slot == kMaxPages) return E_OUTOFMEMORY;
  const void* found = g_resourceModule.FindDialogTemplate(templateId);
  const DWORD size = g_resourceModule.GetDialogTemplateSize(templateId);
  if (!found || !size) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
  void* copy = HeapAlloc(GetProcessHeap(), 0, size);
  if (!copy) return E_OUTOFMEMORY;
  memcpy(copy, found, size);
  m_templates[slot] = copy;
  m_titles[slot] = CBstr(title);

  PROPSHEETPAGEW page = {};
  page.dwSize = sizeof(page);
  page.dwFlags = PSP_DLGINDIRECT | PSP_USECALLBACK | (title ? PSP_USETITLE : 0);
  page.hInstance = g_resourceModule.GetModule();
  page.pResource = static_cast<LPCDLGTEMPLATEW>(copy);
  page.pszTitle = m_titles[slot].GetBstr();
  page.pfnDlgProc = PropertyPageDialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  page.pfnCallback = PageLifetime;
  HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
  if (!handle) return E_OUTOFMEMORY;
  // Each page holds the object from its creation to its destruction, shown
  // or not (Explorer destroys pages it never showed).
  AddRef();
  if (!addPage(handle, param)) {
    DestroyPropertySheetPage(handle);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

UINT CALLBACK RPLPropSheetExt::PageLifetime(HWND, UINT message, PROPSHEETPAGEW* sheetPage) {
  if (message == PSPCB_RELEASE && sheetPage && sheetPage->lParam)
    reinterpret_cast<RPLPropSheetExt*>(sheetPage->lParam)->Release();
  return 1;   // PSPCB_CREATE: let the page be made
}

int RPLPropSheetExt::SlotOfTemplate(const void* copy) const {
  for (int slot = 0; slot < kMaxPages; ++slot)
    if (copy && m_templates[slot] == copy) return slot;
  return -1;
}

int RPLPropSheetExt::SlotOfPage(HWND page) const {
  for (int slot = 0; slot < kMaxPages; ++slot)
    if (page && m_pages[slot] == page) return slot;
  return -1;
}

void RPLPropSheetExt::MarkPage(HWND page, bool changed) {
  const int slot = SlotOfPage(page);
  if (slot < 0) return;
  if (changed) {
    m_changedPages |= 1u << slot;
    SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
  } else {
    m_changedPages &= ~(1u << slot);
    SendMessageW(GetParent(page), PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0);
  }
}

bool RPLPropSheetExt::IsMarked(HWND page) const {
  const int slot = SlotOfPage(page);
  return slot >= 0 && (m_changedPages & (1u << slot)) != 0;
}

INT_PTR CALLBACK RPLPropSheetExt::PropertyPageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const PROPSHEETPAGEW* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    RPLPropSheetExt* self = sheetPage ? reinterpret_cast<RPLPropSheetExt*>(sheetPage->lParam) : nullptr;
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    const int slot = self ? self->SlotOfTemplate(sheetPage->pResource) : -1;
    if (slot >= 0) {
      self->m_pages[slot] = page;
      self->InitPropertyPage(page, slot);
    }
    return TRUE;
  }
  RPLPropSheetExt* self = reinterpret_cast<RPLPropSheetExt*>(GetWindowLongPtrW(page, DWLP_USER));
  if (!self) return FALSE;
  switch (message) {
  case WM_DESTROY: {
    HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageW(page, IDC_PAGE_ICON, STM_GETICON, 0, 0));
    if (icon) DestroyIcon(icon);
    const int slot = self->SlotOfPage(page);
    if (slot >= 0) {
      self->m_pages[slot] = nullptr;
      self->m_changedPages &= ~(1u << slot);
    }
    SetWindowLongPtrW(page, DWLP_USER, 0);
    return FALSE;
  }
  case WM_DRAWITEM:
    return self->DrawDrivePageItem(page, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  case WM_NOTIFY: {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->code != PSN_APPLY) return FALSE;
    SetWindowLongPtrW(page, DWLP_MSGRESULT, self->ApplyPropertyPage(page));
    return TRUE;
  }
  case WM_COMMAND:
    return self->OnPropertyPageCommand(page, wParam);
  default:
    return FALSE;
  }
}
