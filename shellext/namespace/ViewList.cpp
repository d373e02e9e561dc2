// namespace/ViewList.cpp - the view's rows: entries, texts on demand, sorting,
// the arrangement kept across refreshes, selection helpers.
#include <algorithm>
#include <memory>
#include "DisplayText.h"
#include "ModuleEntry.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "RPLDataObject.h"
#include "RPLView.h"
#include "ShellHelpers.h"

namespace {

const int kTextRingSize = 5;
const UINT kTextUnits = 260;
const UINT kExactItemCompare = 8350;

const wchar_t* TextOf(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

bool SameText(const wchar_t* a, const wchar_t* b) { return lstrcmpiW(a ? a : L"", b ? b : L"") == 0; }

// The free space a drive record keeps in its write-time field.
ULONGLONG DateAsBytes(DATE value) { return value > 0 ? static_cast<ULONGLONG>(value) : 0; }

}  // namespace

HRESULT RPLView::ListFolder() {
  CItemIDList* items = nullptr;
  int count = 0;
  HRESULT hr = ListFolderEntries(TextOf(m_path), &items, &count, m_volume.Get(), false);
  if (FAILED(hr)) return hr;
  int capacity = (count + 31) / 32 * 32;
  CItemIDList** entries = capacity ? new (std::nothrow) CItemIDList*[capacity] : nullptr;
  if (capacity && !entries) {
    delete[] items;
    return E_OUTOFMEMORY;
  }
  int made = 0;
  for (; made < count; ++made) {
    entries[made] = new (std::nothrow) CItemIDList(std::move(items[made]));
    if (!entries[made]) break;
  }
  delete[] items;
  m_entries = entries;
  m_entryCapacity = capacity;
  m_entryCount = made;
  return made == count ? S_OK : E_OUTOFMEMORY;
}

void RPLView::FreeEntries() {
  for (int i = 0; i < m_entryCount; ++i) delete m_entries[i];
  delete[] m_entries;
  m_entries = nullptr;
  m_entryCount = 0;
  m_entryCapacity = 0;
}

void RPLView::FillList() {
  if (!m_list.IsWindow()) return;
  m_list.SendMessage(WM_SETREDRAW, FALSE);
  m_list.SendMessage(LVM_DELETEALLITEMS);
  m_listing = ReadListingSettings();
  m_iconIndices.clear();
  m_list.SendMessage(LVM_SETITEMCOUNT, m_entryCount);
  // Appended, then sorted once: inserting each row in front moves every row
  // already there.
  for (int i = 0; i < m_entryCount; ++i) {
    if (m_driveList) AddDriveRow(i, INT_MAX);
    else AddEntryRow(i, INT_MAX);
  }
  SortRows();
  if (RowCount() > 0) {
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_FOCUSED;
    m_list.SendMessage(LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  }
  m_list.SendMessage(WM_SETREDRAW, TRUE);
}

// By attributes alone the shell gives every name of one extension the same
// icon, and asking it costs as much as the rest of a row.
int RPLView::CachedIconIndex(LPCITEMIDLIST item, ULONG attributes) {
  CBstr name = GetItemNameString(item);
  const wchar_t* text = TextOf(name);
  const wchar_t* dot = wcsrchr(text, L'.');
  std::wstring key = std::to_wstring(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) + L"|" +
                     (dot ? dot : L"");
  CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
  auto known = m_iconIndices.find(key);
  if (known != m_iconIndices.end()) return known->second;
  const int image = GetSysIconIndex(text, attributes, 0);
  m_iconIndices.emplace(std::move(key), image);
  return image;
}

void RPLView::AddEntryRow(int entry, int position) {
  if (entry < 0 || entry >= m_entryCount || !m_entries[entry]) return;
  LPCITEMIDLIST item = m_entries[entry]->GetItem(0);
  if (!item) return;
  ULONG attributes = GetItemAttributes(item);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (m_settings.fFlags & FWF_NOSUBFOLDERS)) return;
  if (!IsEntryShown(attributes, m_listing)) return;
  LVITEMW row = {};
  row.mask = LVIF_TEXT | LVIF_PARAM;
  row.iItem = position;
  row.pszText = LPSTR_TEXTCALLBACKW;
  row.lParam = reinterpret_cast<LPARAM>(m_entries[entry]);
  if (!(m_settings.fFlags & FWF_NOICONS)) {
    int image = CachedIconIndex(item, attributes);
    row.mask |= LVIF_IMAGE;
    row.iImage = image < 0 ? 0 : image;
    if (attributes & FILE_ATTRIBUTE_HIDDEN) {
      row.mask |= LVIF_STATE;
      row.state = row.stateMask = LVIS_CUT;
    }
  }
  int at = static_cast<int>(m_list.SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
  if (at >= 0) SetSubItemTexts(at, *m_entries[entry]);
}

void RPLView::AddDriveRow(int entry, int position) {
  if (entry < 0 || entry >= m_entryCount || !m_entries[entry]) return;
  LPCITEMIDLIST item = m_entries[entry]->GetItem(0);
  if (!item) return;
  CBstr text = g_resourceModule.LoadResString(IDS_MODULE_DISK);
  text.Append(L" (");
  text.Append(GetItemShortName(item));
  text.Append(L")");
  LVITEMW row = {};
  row.mask = LVIF_TEXT | LVIF_PARAM;
  row.iItem = position;
  row.pszText = const_cast<wchar_t*>(TextOf(text));
  row.lParam = reinterpret_cast<LPARAM>(m_entries[entry]);
  if (!(m_settings.fFlags & FWF_NOICONS)) {
    int image = GetDriveIconIndex();
    row.mask |= LVIF_IMAGE;
    row.iImage = image < 0 ? 0 : image;
  }
  int at = static_cast<int>(m_list.SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
  if (at >= 0) SetSubItemTexts(at, *m_entries[entry]);
}

void RPLView::SetSubItemTexts(int row, const CItemIDList& entry) {
  const int columns = m_search ? 5 : 4;
  const bool onDemand = HasExtendedListView();
  for (int sub = 1; sub < columns; ++sub) {
    CBstr text;
    LVITEMW cell = {};
    cell.iSubItem = sub;
    if (onDemand) {
      cell.pszText = LPSTR_TEXTCALLBACKW;
    } else {
      text = SubItemText(entry, sub);
      cell.pszText = const_cast<wchar_t*>(TextOf(text));
    }
    m_list.SendMessage(LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
  }
}

CBstr RPLView::SubItemText(const CItemIDList& entry, int subItem) const {
  LPCITEMIDLIST item = entry.GetItem(0);
  if (!item) return CBstr();
  auto sizeText = [](LPCITEMIDLIST record) { return FormatByteSize(GetItemSize(record), &g_resourceModule); };
  auto dateText = [](LPCITEMIDLIST record) { return FormatDateTime(GetItemLastWriteTime(record), TRUE, TRUE, FALSE); };
  if (m_driveList) {
    switch (subItem) {
      case 1: return GetItemTypeName(item);
      case 2: return sizeText(item);
      case 3: return FormatByteSize(DateAsBytes(GetItemLastWriteTime(item)), &g_resourceModule);
      default: return CBstr();
    }
  }
  if (m_search) {
    switch (subItem) {
      case 0: return GetItemNameString(item);
      case 1: {
        CBstr folder = GetItemFolderPart(GetItemName(item));
        return folder.GetAt(0) == L'\\' ? folder.Mid(1) : folder;
      }
      case 2: return IsFolderItem(item) || IsDriveRootItem(item) ? CBstr() : sizeText(item);
      case 3: return GetItemTypeName(item);
      case 4: return dateText(item);
      default: return CBstr();
    }
  }
  switch (subItem) {
    case 0: return GetItemNameString(item);
    case 1: return IsFolderItem(item) ? CBstr() : sizeText(item);
    case 2: return GetItemTypeName(item);
    case 3: return dateText(item);
    default: return CBstr();
  }
}

LRESULT RPLView::OnGetDispInfo(UINT controlId, NMLVDISPINFOW* info) {
  if (!info || controlId != m_listId || !(info->item.mask & LVIF_TEXT) || !m_textRing) return 0;
  const CItemIDList* entry = nullptr;
  if (info->item.mask & LVIF_PARAM) {
    entry = reinterpret_cast<const CItemIDList*>(info->item.lParam);
  } else {
    entry = RowEntry(info->item.iItem);
  }
  if (!entry) return 0;
  CBstr text = SubItemText(*entry, info->item.iSubItem);
  wchar_t* buffer = m_textRing[m_textIndex];
  m_textIndex = (m_textIndex + 1) % kTextRingSize;
  lstrcpynW(buffer, TextOf(text), kTextUnits + 1);
  info->item.pszText = buffer;
  return 0;
}

int CALLBACK RPLView::CompareListItems(LPARAM item1, LPARAM item2, LPARAM sort) {
  const CItemIDList* a = reinterpret_cast<const CItemIDList*>(item1);
  const CItemIDList* b = reinterpret_cast<const CItemIDList*>(item2);
  if (!a || !b || !a->GetItem(0) || !b->GetItem(0)) return 0;
  return CompareModuleItems(a->GetItem(0), b->GetItem(0), LOWORD(sort), HIWORD(sort) != 0);
}

void RPLView::SortRows() {
  if (m_list.IsWindow())
    m_list.SendMessage(LVM_SORTITEMS, SortParameterOf(m_sortCommand), reinterpret_cast<LPARAM>(&CompareListItems));
}

int RPLView::RowCount() const {
  return m_list.IsWindow() ? static_cast<int>(m_list.SendMessage(LVM_GETITEMCOUNT)) : 0;
}

const CItemIDList* RPLView::RowEntry(int row) const {
  if (!m_list.IsWindow() || row < 0) return nullptr;
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!m_list.SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<const CItemIDList*>(item.lParam);
}

HRESULT RPLView::AddItem(LPCITEMIDLIST item) {
  if (m_driveList) return E_FAIL;
  if (!item) return E_POINTER;
  if (m_entryCount == m_entryCapacity) {
    CItemIDList** grown = new (std::nothrow) CItemIDList*[m_entryCapacity + 32];
    if (!grown) return E_OUTOFMEMORY;
    std::copy(m_entries, m_entries + m_entryCount, grown);
    delete[] m_entries;
    m_entries = grown;
    m_entryCapacity += 32;
  }
  CItemIDList* copy = new (std::nothrow) CItemIDList();
  if (!copy || FAILED(copy->Assign(item))) {
    delete copy;
    return E_OUTOFMEMORY;
  }
  m_entries[m_entryCount++] = copy;
  if (m_list.IsWindow()) AddEntryRow(m_entryCount - 1, RowCount());
  return S_OK;
}

namespace {

HRESULT CopyHolders(const std::vector<const CItemIDList*>& from, CItemIDList** items, int* count) {
  CItemIDList* copies = new (std::nothrow) CItemIDList[from.size()];
  if (!copies) return E_OUTOFMEMORY;
  for (size_t i = 0; i < from.size(); ++i) {
    if (FAILED(copies[i].CopyFrom(*from[i]))) {
      delete[] copies;
      return E_OUTOFMEMORY;
    }
  }
  *items = copies;
  *count = static_cast<int>(from.size());
  return S_OK;
}

}  // namespace

HRESULT RPLView::GetSelectedItems(CItemIDList** items, int* count) {
  if (!items || !count) return E_INVALIDARG;
  *items = nullptr;
  *count = 0;
  if (!m_list.IsWindow() || m_list.SendMessage(LVM_GETSELECTEDCOUNT) == 0) return E_FAIL;
  std::vector<const CItemIDList*> selected;
  for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
    if (const CItemIDList* entry = RowEntry(row)) selected.push_back(entry);
  if (selected.empty()) return E_FAIL;
  return CopyHolders(selected, items, count);
}

HRESULT RPLView::GetAllItems(CItemIDList** items, int* count) {
  if (!items || !count) return E_INVALIDARG;
  *items = nullptr;
  *count = 0;
  if (m_entryCount == 0) return E_FAIL;
  return CopyHolders(std::vector<const CItemIDList*>(m_entries, m_entries + m_entryCount), items, count);
}

HRESULT RPLView::SelectAll() {
  if (!m_list.IsWindow()) return E_UNEXPECTED;
  LVITEMW state = {};
  state.stateMask = state.state = LVIS_SELECTED;
  if (!m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state)))
    return E_FAIL;
  SetFocusToList();
  return S_OK;
}

void RPLView::InvertSelection() {
  if (!m_list.IsWindow()) return;
  int rows = RowCount();
  for (int row = 0; row < rows; ++row) {
    UINT now = static_cast<UINT>(m_list.SendMessage(LVM_GETITEMSTATE, row, LVIS_SELECTED));
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = (now & LVIS_SELECTED) ? 0 : LVIS_SELECTED;
    m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  SetFocusToList();
}

void RPLView::SetFocusToList() {
  if (m_list.IsWindow()) m_list.SetFocus();
}

CItemIDList* RPLView::GetFocusedItem() {
  m_hitRow = m_list.IsWindow() ? static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                                     LVNI_FOCUSED))
                               : -1;
  return const_cast<CItemIDList*>(RowEntry(m_hitRow));
}

bool RPLView::InIconMode() const {
  if (!m_list.IsWindow()) return false;
  DWORD type = static_cast<DWORD>(m_list.GetStyle()) & LVS_TYPEMASK;
  return type == LVS_ICON || type == LVS_SMALLICON;
}

std::vector<ItemPosition> RPLView::RowPositions() const {
  std::vector<ItemPosition> rows;
  int count = RowCount();
  for (int row = 0; row < count; ++row) {
    ItemPosition position = {};
    m_list.SendMessage(LVM_GETITEMPOSITION, row, reinterpret_cast<LPARAM>(&position.point));
    const CItemIDList* entry = RowEntry(row);
    if (entry && entry->GetItem(0)) position.name = TextOf(GetItemNameString(entry->GetItem(0)));
    rows.push_back(std::move(position));
  }
  return rows;
}

std::vector<BYTE> RPLView::EncodeCurrentPositions() const { return EncodeItemPositions(RowPositions()); }

void RPLView::PlaceSavedPositions(const std::vector<BYTE>& buffer) {
  std::vector<ItemPosition> rows = RowPositions();
  std::vector<ItemPosition> saved = DecodeItemPositions(buffer.data(), buffer.size());
  for (const PositionMove& move : PlanPositionRestore(saved, &rows))
    m_list.SendMessage(LVM_SETITEMPOSITION32, move.row, reinterpret_cast<LPARAM>(&move.point));
}

void RPLView::SaveItemPositions() {
  m_savedPositions.clear();
  if (InIconMode()) m_savedPositions = EncodeCurrentPositions();
}

void RPLView::RestoreItemPositions() {
  if (InIconMode() && !m_savedPositions.empty()) PlaceSavedPositions(m_savedPositions);
}

void RPLView::SaveSelection() {
  m_savedSelection.clear();
  m_savedFocus.clear();
  if (!m_list.IsWindow()) return;
  if (CItemIDList* focused = GetFocusedItem())
    if (focused->GetItem(0)) m_savedFocus = GetItemName(focused->GetItem(0));
  for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
    if (const CItemIDList* entry = RowEntry(row))
      if (entry->GetItem(0)) m_savedSelection.push_back(TextOf(GetItemNameString(entry->GetItem(0))));
}

void RPLView::RestoreSelection() {
  if (!m_list.IsWindow()) return;
  int rows = RowCount();
  for (int row = 0; row < rows; ++row) {
    const CItemIDList* entry = RowEntry(row);
    if (!entry || !entry->GetItem(0)) continue;
    CBstr name = GetItemNameString(entry->GetItem(0));
    LVITEMW state = {};
    for (const std::wstring& saved : m_savedSelection) {
      if (SameText(saved.c_str(), TextOf(name))) {
        state.stateMask |= LVIS_SELECTED;
        state.state |= LVIS_SELECTED;
        break;
      }
    }
    if (!m_savedFocus.empty() && SameText(m_savedFocus.c_str(), GetItemName(entry->GetItem(0)))) {
      state.stateMask |= LVIS_FOCUSED;
      state.state |= LVIS_FOCUSED;
    }
    if (state.stateMask) m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
}

void RPLView::RemoveItemByName(const wchar_t* name) {
  if (!m_list.IsWindow() || !name) return;
  for (int row = RowCount() - 1; row >= 0; --row) {
    const CItemIDList* entry = RowEntry(row);
    if (!entry || !entry->GetItem(0) || !SameText(GetItemName(entry->GetItem(0)), name)) continue;
    m_list.SendMessage(LVM_DELETEITEM, row);
    // The entry goes too, so the lists of all items no longer hold it.
    for (int i = 0; i < m_entryCount; ++i) {
      if (m_entries[i] != entry) continue;
      delete m_entries[i];
      std::copy(m_entries + i + 1, m_entries + m_entryCount, m_entries + i);
      --m_entryCount;
      break;
    }
    UpdateStatusBar();
    return;
  }
}

HRESULT RPLView::SelectItem(PCUITEMID_CHILD item, SVSIF flags) { return SelectAndPositionItem(item, flags, nullptr); }

HRESULT RPLView::SelectAndPositionItem(PCUITEMID_CHILD item, UINT flags, POINT* point) {
  const UINT deselectOthers = SVSI_DESELECTOTHERS;
  if (!item && (flags & ~static_cast<UINT>(SVSI_TRANSLATEPT)) != deselectOthers) return E_POINTER;
  if (!m_list.IsWindow()) return E_UNEXPECTED;
  if (flags & SVSI_TRANSLATEPT) {
    if (!point) return E_INVALIDARG;
    ScreenToClient(m_list, point);
    if (flags == SVSI_TRANSLATEPT) return S_OK;
  }
  int rows = RowCount();
  if (!item) {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    return m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state)) ? S_OK
                                                                                                             : E_FAIL;
  }
  if (!IsValidModuleItem(item) || rows == 0) return E_FAIL;
  bool matched = false;
  for (int row = 0; row < rows; ++row) {
    const CItemIDList* entry = RowEntry(row);
    bool match = !matched && entry && entry->GetItem(0) &&
                 CompareModuleItems(entry->GetItem(0), item, kExactItemCompare, true) == 0;
    LVITEMW state = {};
    if (match) {
      matched = true;
      if ((flags & ~static_cast<UINT>(SVSI_TRANSLATEPT)) == 0) {
        state.stateMask = LVIS_SELECTED;
        if (!m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state))) return E_FAIL;
      } else {
        if ((flags & SVSI_ENSUREVISIBLE) && !m_list.SendMessage(LVM_ENSUREVISIBLE, row, FALSE)) return E_FAIL;
        if (flags & SVSI_FOCUSED) state.stateMask = state.state = LVIS_FOCUSED;
        if (flags & SVSI_SELECT) {
          state.stateMask |= LVIS_SELECTED;
          state.state |= LVIS_SELECTED;
        }
        if (state.stateMask && !m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state)))
          return E_FAIL;
        if ((flags & SVSI_EDIT) == SVSI_EDIT) {
          SetFocusToList();
          if (!m_list.SendMessage(LVM_EDITLABELW, row)) return E_FAIL;
        }
      }
      if (!(flags & deselectOthers)) break;
    } else if (flags & deselectOthers) {
      state.stateMask = LVIS_SELECTED;
      if (!m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state))) return E_FAIL;
    }
  }
  return matched ? S_OK : E_FAIL;
}

HRESULT RPLView::GetItemObject(UINT kind, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(riid, IID_IDataObject)) return E_NOINTERFACE;
  if (kind != SVGIO_SELECTION && kind != SVGIO_ALLVIEW) return E_INVALIDARG;
  CItemIDList* items = nullptr;
  int count = 0;
  const HRESULT hr = kind == SVGIO_SELECTION ? GetSelectedItems(&items, &count) : GetAllItems(&items, &count);
  std::unique_ptr<CItemIDList[]> owned(items);
  if (FAILED(hr)) return hr;
  std::vector<LPCITEMIDLIST> lists;
  for (int i = 0; i < count; ++i) lists.push_back(items[i].Get());
  ComPtr<IDataObject> data;
  RETURN_IF_FAILED(CreateDataObject(m_path.GetBstr() ? m_path.GetBstr() : L"", nullptr, lists.data(),
                                    static_cast<UINT>(lists.size()), DROPEFFECT_COPY, nullptr, false, &data));
  return data->QueryInterface(riid, out);
}

void RPLView::EnableListView() {
  if (m_list.IsWindow()) m_list.EnableWindow(TRUE);
}

void RPLView::DisableListView() {
  if (m_list.IsWindow()) m_list.EnableWindow(FALSE);
}

int RPLView::GetListItemCount() const { return RowCount(); }

LPCITEMIDLIST RPLView::GetListItem(int row) const {
  const CItemIDList* entry = RowEntry(row);
  return entry ? entry->Get() : nullptr;
}
