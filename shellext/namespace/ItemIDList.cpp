// namespace/ItemIDList.cpp - item-ID list holder, text form, lists from listings and paths.
#include "ItemIDList.h"
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>
#include "ComCore.h"
#include "DisplayText.h"
#include "EntryList.h"
#include "ModuleEntry.h"
#include "ShellHelpers.h"

namespace {

const BYTE* Bytes(LPCITEMIDLIST list) { return reinterpret_cast<const BYTE*>(list); }
USHORT RecordSize(LPCITEMIDLIST record) {
  USHORT cb;
  memcpy(&cb, record, sizeof cb);
  return cb;
}
LPCITEMIDLIST NextRecord(LPCITEMIDLIST record) {
  return reinterpret_cast<LPCITEMIDLIST>(Bytes(record) + RecordSize(record));
}
// Bytes of the records without the terminator.
UINT RecordBytes(LPCITEMIDLIST list) {
  UINT total = 0;
  for (LPCITEMIDLIST r = list; r && RecordSize(r); r = NextRecord(r)) total += RecordSize(r);
  return total;
}

LPITEMIDLIST Allocate(SIZE_T bytes) { return static_cast<LPITEMIDLIST>(ShellMalloc()->Alloc(bytes)); }

// bytes of records, then the u16 terminator.
LPITEMIDLIST Terminated(const void* first, UINT firstBytes, const void* second, UINT secondBytes) {
  LPITEMIDLIST list = Allocate(firstBytes + secondBytes + sizeof(USHORT));
  if (!list) return nullptr;
  BYTE* out = reinterpret_cast<BYTE*>(list);
  if (firstBytes) memcpy(out, first, firstBytes);
  if (secondBytes) memcpy(out + firstBytes, second, secondBytes);
  memset(out + firstBytes + secondBytes, 0, sizeof(USHORT));
  return list;
}

template <class T> void WriteField(BYTE* record, size_t offset, T value) {
  memcpy(record + offset, &value, sizeof value);
}

CBstr FormatTimeField(DATE date) {
  CBstr text = FormatDateFields(date);
  return text.GetLength() ? text : FormatDateFields(0);
}

// The module path a listing's rows are named under: folder and one backslash.
CBstr ListingPrefix(const wchar_t* folder) {
  CBstr prefix(folder && folder[0] ? folder : L"\\");
  if (prefix.GetAt(prefix.GetLength() - 1) != L'\\') prefix.Append(L"\\");
  return prefix;
}

bool IsDateCell(const VARIANT* cell) { return cell && V_VT(cell) == VT_DATE; }

// The cells a record is made of, with the types the server sends; a drive
// row carries its free bytes as a double in the last-write cell.
bool HasRecordCells(const CEntryList& list, LONG row) {
  const VARIANT* name = list.GetCell(row, geName);
  const VARIANT* shortName = list.GetCell(row, geShortName);
  const VARIANT* written = list.GetCell(row, geLastWriteTime);
  return name && V_VT(name) == VT_BSTR && shortName && V_VT(shortName) == VT_BSTR && list.IsInt(row, geSize) &&
         list.IsInt(row, geAttributes) && IsDateCell(list.GetCell(row, geCreationTime)) &&
         IsDateCell(list.GetCell(row, geLastAccessTime)) && written &&
         (V_VT(written) == VT_DATE || V_VT(written) == VT_R8);
}

bool HasRecordCells(const CEntryList& list) {
  for (LONG row = 0; row < list.GetCount(); ++row)
    if (!HasRecordCells(list, row)) return false;
  return true;
}

// A record named name from a listing row's other cells.
HRESULT CreateFromRow(const CEntryList& list, LONG row, const CBstr& name, CItemIDList* item) {
  const wchar_t* shortName = V_BSTR(list.GetCell(row, geShortName));
  return item->CreateItem(name.GetBstr(), name.GetLength(), shortName, SysStringLen(const_cast<BSTR>(shortName)),
                          static_cast<ULONG>(list.GetInt(row, geSize)),
                          static_cast<ULONG>(list.GetInt(row, geAttributes)), list.GetDate(row, geCreationTime),
                          list.GetDate(row, geLastAccessTime), list.GetNumber(row, geLastWriteTime));
}

HRESULT GrowRows(LPITEMIDLIST** array, int* capacity, int count) {
  const int grown = *capacity + 32;
  auto rows = static_cast<LPITEMIDLIST*>(ShellMalloc()->Alloc(sizeof(LPITEMIDLIST) * grown));
  if (!rows) return E_OUTOFMEMORY;
  if (count) memcpy(rows, *array, sizeof(LPITEMIDLIST) * count);
  memset(rows + count, 0, sizeof(LPITEMIDLIST) * (grown - count));
  if (*array) ShellMalloc()->Free(*array);
  *array = rows;
  *capacity = grown;
  return S_OK;
}

HRESULT ParseRows(const wchar_t* folder, const wchar_t* pattern, LPITEMIDLIST** array, int* capacity, int* count,
                  IVKSVolume* volume, bool directoriesOnly, bool recursive, bool nested) {
  const CBstr prefix = ListingPrefix(folder);
  const CBstr query = ConcatStrings(prefix, pattern ? pattern : L"*");
  CEntryList list;
  bool noArray = false;
  HRESULT hr = ReadEntries(volume, query.GetBstr(), directoriesOnly, &list, &noArray);
  if (noArray) return S_OK;
  if (SUCCEEDED(hr) && !HasRecordCells(list)) hr = DISP_E_TYPEMISMATCH;
  if (FAILED(hr)) {
    // A folder further down that cannot be read leaves what was gathered.
    if (!nested) FreeEntryRows(array, capacity, count);
    return hr;
  }
  for (LONG row = 0; row < list.GetCount(); ++row) {
    if (*count >= *capacity && FAILED(GrowRows(array, capacity, *count))) {
      FreeEntryRows(array, capacity, count);
      return E_OUTOFMEMORY;
    }
    CItemIDList item;
    const HRESULT created = CreateFromRow(list, row, ConcatStrings(prefix, list.GetName(row)), &item);
    if (FAILED(created)) {
      FreeEntryRows(array, capacity, count);
      return created;
    }
    LPITEMIDLIST record = item.Detach();
    (*array)[(*count)++] = record;
    if (recursive && (IsFolderItem(record) || IsDriveRootItem(record))) {
      hr = ParseRows(GetItemName(record), pattern, array, capacity, count, volume, directoriesOnly, recursive, true);
      if (FAILED(hr)) break;
    }
  }
  return hr;
}

}  // namespace

LPITEMIDLIST CloneIDList(LPCITEMIDLIST list) {
  return list ? Terminated(list, RecordBytes(list), nullptr, 0) : nullptr;
}

void FreeIDList(LPITEMIDLIST list) {
  if (list) ShellMalloc()->Free(list);
}

CItemIDList::CItemIDList(LPCITEMIDLIST list) : m_list(CloneIDList(list)) {}
CItemIDList::CItemIDList(const CItemIDList& other) : m_list(CloneIDList(other.m_list)) {}
CItemIDList::CItemIDList(CItemIDList&& other) noexcept : m_list(other.m_list) { other.m_list = nullptr; }
CItemIDList& CItemIDList::operator=(const CItemIDList& other) {
  Assign(other);
  return *this;
}
CItemIDList& CItemIDList::operator=(CItemIDList&& other) noexcept {
  if (this != &other) Attach(other.Detach());
  return *this;
}
CItemIDList::~CItemIDList() { Free(); }

HRESULT CItemIDList::Assign(LPCITEMIDLIST list) {
  // Copied before the old one goes: list may be part of it.
  LPITEMIDLIST copy = CloneIDList(list);
  Free();
  m_list = copy;
  return copy || !list ? S_OK : E_OUTOFMEMORY;
}
HRESULT CItemIDList::Assign(const CItemIDList& other) { return Assign(other.m_list); }
// The held list is freed too: dropping it would leak it.
HRESULT CItemIDList::CopyFrom(const CItemIDList& other) { return Assign(other.m_list); }

void CItemIDList::Free() {
  FreeIDList(m_list);
  m_list = nullptr;
}

LPITEMIDLIST CItemIDList::Detach() {
  LPITEMIDLIST list = m_list;
  m_list = nullptr;
  return list;
}

void CItemIDList::Attach(LPITEMIDLIST list) {
  if (list == m_list) return;
  Free();
  m_list = list;
}

UINT CItemIDList::GetCount() const {
  UINT count = 0;
  for (LPCITEMIDLIST r = m_list; r && RecordSize(r); r = NextRecord(r)) ++count;
  return count;
}

UINT CItemIDList::GetByteSize() const { return GetIDListSize(m_list); }

LPCITEMIDLIST CItemIDList::GetItem(int index) const {
  LPCITEMIDLIST record = m_list;
  for (int i = 0; i < index; ++i) record = NextRecord(record);
  return record;
}

LPCITEMIDLIST CItemIDList::GetLastItem() const {
  const UINT count = GetCount();
  return count ? GetItem(static_cast<int>(count) - 1) : nullptr;
}

CItemIDList CItemIDList::Concatenate(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  CItemIDList result;
  result.m_list = Terminated(a, a ? RecordBytes(a) : 0, b, b ? RecordBytes(b) : 0);
  return result;
}
CItemIDList CItemIDList::Concatenate(const CItemIDList& a, const CItemIDList& b) {
  return Concatenate(a.m_list, b.m_list);
}

LPITEMIDLIST CItemIDList::CopyRange(int first, int last) const {
  if (!m_list || last < first) return nullptr;
  if (first < 0) first = 0;
  LPCITEMIDLIST start = m_list;
  for (int i = 0; i < first && RecordSize(start); ++i) start = NextRecord(start);
  if (!RecordSize(start)) return nullptr;
  LPCITEMIDLIST end = start;
  for (int i = first; i <= last && RecordSize(end); ++i) end = NextRecord(end);
  return Terminated(start, static_cast<UINT>(Bytes(end) - Bytes(start)), nullptr, 0);
}

HRESULT CItemIDList::CreateItem(const wchar_t* name, UINT nameLength, const wchar_t* shortName,
                                UINT shortNameLength, ULONG size, ULONG attributes, DATE creationTime,
                                DATE lastAccessTime, DATE lastWriteTime) {
  Free();
  if (!name) nameLength = 0;
  if (!shortName) shortNameLength = 0;
  const UINT cb = ModuleItemSizeFor(nameLength, shortNameLength);
  if (!cb) return E_INVALIDARG;
  LPITEMIDLIST list = Allocate(cb + sizeof(USHORT));
  if (!list) return E_OUTOFMEMORY;
  BYTE* record = reinterpret_cast<BYTE*>(list);
  memset(record, 0, cb + sizeof(USHORT));
  WriteField<USHORT>(record, offsetof(ModuleItemID, cb), static_cast<USHORT>(cb));
  WriteField<USHORT>(record, offsetof(ModuleItemID, signature), kModuleItemSignature);
  WriteField<ULONG>(record, offsetof(ModuleItemID, size), size);
  WriteField<ULONG>(record, offsetof(ModuleItemID, attributes), attributes);
  WriteField<DATE>(record, offsetof(ModuleItemID, creationTime), creationTime);
  WriteField<DATE>(record, offsetof(ModuleItemID, lastAccessTime), lastAccessTime);
  WriteField<DATE>(record, offsetof(ModuleItemID, lastWriteTime), lastWriteTime);
  WriteField<USHORT>(record, offsetof(ModuleItemID, nameLength), static_cast<USHORT>(nameLength + 1));
  BYTE* text = record + kModuleItemHeaderSize;
  if (nameLength) memcpy(text, name, 2 * nameLength);
  if (shortNameLength) memcpy(text + 2 * (nameLength + 1), shortName, 2 * shortNameLength);
  m_list = list;
  return S_OK;
}

namespace {

// A leading decimal number, 0 for text that is none. A saved file can come
// from anywhere: a number that does not fit 32 bits (signed as written, or
// unsigned) is refused rather than cut.
bool ParseItemNumber(const wchar_t* text, ULONG* value) {
  *value = 0;
  if (!text) return true;
  while (*text == L' ' || *text == L'\t') ++text;
  const bool negative = *text == L'-';
  if (*text == L'-' || *text == L'+') ++text;
  ULONGLONG number = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    number = number * 10 + static_cast<ULONGLONG>(*text - L'0');
    if (number > 0xFFFFFFFFull) return false;
  }
  if (negative && number > 0x80000000ull) return false;
  *value = static_cast<ULONG>(negative ? 0 - number : number);
  return true;
}

}  // namespace

CItemIDList* CItemIDList::ParseItemText(const wchar_t* text) {
  if (!text) return nullptr;
  const CBstr line(text);
  if (line.CountFields(L'|') != 7) return nullptr;
  DATE times[3] = {};
  for (int i = 0; i < 3; ++i)
    if (ParseDateFields(line.GetField(L'|', 4 + i).GetBstr(), &times[i]) != S_OK) return nullptr;
  const CBstr name = line.GetField(L'|', 0);
  // A record without a name would stand for no entry of the module.
  if (name.GetLength() == 0) return nullptr;
  const CBstr shortName = line.GetField(L'|', 1);
  ULONG size = 0, attributes = 0;
  if (!ParseItemNumber(line.GetField(L'|', 2).GetBstr(), &size) ||
      !ParseItemNumber(line.GetField(L'|', 3).GetBstr(), &attributes))
    return nullptr;
  auto* item = new (std::nothrow) CItemIDList;
  if (!item) return nullptr;
  if (FAILED(item->CreateItem(name.GetBstr(), name.GetLength(), shortName.GetBstr(), shortName.GetLength(), size,
                              attributes, times[0], times[1], times[2]))) {
    delete item;
    return nullptr;
  }
  return item;
}

CBstr FormatItemText(LPCITEMIDLIST item) {
  CBstr text(GetItemName(item));
  const CBstr fields[] = {CBstr(GetItemShortName(item)),
                          FormatInteger(static_cast<int>(GetItemSize(item))),
                          FormatInteger(static_cast<int>(GetItemAttributes(item))),
                          FormatTimeField(GetItemCreationTime(item)),
                          FormatTimeField(GetItemLastAccessTime(item)),
                          FormatTimeField(GetItemLastWriteTime(item))};
  for (const CBstr& field : fields) {
    text.Append(L"|");
    text.Append(field);
  }
  return text;
}

void FreeEntryRows(LPITEMIDLIST** array, int* capacity, int* count) {
  if (array && *array) {
    for (int i = 0; count && i < *count; ++i) FreeIDList((*array)[i]);
    ShellMalloc()->Free(*array);
    *array = nullptr;
  }
  if (capacity) *capacity = 0;
  if (count) *count = 0;
}

HRESULT ParseEntryRows(const wchar_t* folder, const wchar_t* pattern, LPITEMIDLIST** array, int* capacity,
                       int* count, IVKSVolume* volume, bool directoriesOnly, bool recursive) {
  if (!array || !capacity || !count) return E_INVALIDARG;
  return ParseRows(folder, pattern, array, capacity, count, volume, directoriesOnly, recursive, false);
}

HRESULT ReadFolderEntries(const wchar_t* folder, const wchar_t* pattern, CItemIDList** items, int* count,
                          IVKSVolume* volume, bool directoriesOnly, bool recursive) {
  if (!items || !count) return E_INVALIDARG;
  *items = nullptr;
  *count = 0;
  LPITEMIDLIST* rows = nullptr;
  int capacity = 0, found = 0;
  HRESULT hr = ParseEntryRows(folder, pattern, &rows, &capacity, &found, volume, directoriesOnly, recursive);
  // Only a success hands records over; a caller that failed frees nothing.
  if (SUCCEEDED(hr) && found) {
    *items = new (std::nothrow) CItemIDList[found];
    if (*items) {
      for (int i = 0; i < found; ++i) (*items)[i].Attach(rows[i]);
      ShellMalloc()->Free(rows);
      rows = nullptr;
      capacity = 0;
      *count = found;
    } else {
      hr = E_OUTOFMEMORY;
    }
  }
  FreeEntryRows(&rows, &capacity, &found);
  return hr;
}

HRESULT ListFolderEntries(const wchar_t* folder, CItemIDList** items, int* count, IVKSVolume* volume,
                          bool directoriesOnly) {
  if (!items || !count || !volume) return E_POINTER;
  return ReadFolderEntries(folder, L"*", items, count, volume, directoriesOnly, false);
}

HRESULT FindEntryByName(const wchar_t* path, IVKSVolume* volume, CItemIDList** item) {
  if (!item) return E_INVALIDARG;
  *item = nullptr;
  CEntryList list;
  bool noArray = false;
  HRESULT hr = ReadEntries(volume, path, false, &list, &noArray);
  if (noArray) return E_FAIL;
  RETURN_IF_FAILED(hr);
  if (list.GetCount() == 0) return S_OK;
  if (!HasRecordCells(list, 0)) return DISP_E_TYPEMISMATCH;
  const CBstr name = ConcatStrings(ConcatStrings(GetItemFolderPart(path), L"\\"), list.GetName(0));
  auto* found = new (std::nothrow) CItemIDList;
  if (!found) return E_OUTOFMEMORY;
  hr = CreateFromRow(list, 0, name, found);
  if (FAILED(hr)) {
    delete found;
    return hr;
  }
  *item = found;
  return S_OK;
}

HRESULT GetModuleRootIDList(CItemIDList* root) {
  if (!root) return E_POINTER;
  root->Free();
  // The shell's own lists come from the task allocator; only ours go through ShellMalloc.
  LPITEMIDLIST computer = nullptr;
  HRESULT hr = SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
  if (FAILED(hr)) return hr;
  IShellFolder* desktop = nullptr;
  IShellFolder* drives = nullptr;
  IEnumIDList* children = nullptr;
  hr = SHGetDesktopFolder(&desktop);
  if (SUCCEEDED(hr)) hr = desktop->BindToObject(computer, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&drives));
  if (SUCCEEDED(hr)) hr = drives->EnumObjects(nullptr, SHCONTF_FOLDERS, &children);
  if (hr == S_OK && children) {
    hr = E_FAIL;
    LPITEMIDLIST child = nullptr;
    while (children->Next(1, &child, nullptr) == S_OK) {
      STRRET name;
      memset(&name, 0, sizeof name);
      bool match = false;
      if (SUCCEEDED(drives->GetDisplayNameOf(child, SHGDN_INFOLDER, &name))) {
        const CBstr text = StrRetToString(name, child);
        match = CompareText(text.GetBstr() ? text.GetBstr() : L"", L"Module", FALSE) == 0;
      }
      if (match) {
        *root = CItemIDList::Concatenate(computer, child);
        hr = root->IsEmpty() ? E_OUTOFMEMORY : S_OK;
      }
      CoTaskMemFree(child);
      if (match) break;
    }
  } else if (SUCCEEDED(hr)) {
    hr = E_FAIL;
  }
  if (children) children->Release();
  if (drives) drives->Release();
  if (desktop) desktop->Release();
  CoTaskMemFree(computer);
  return hr;
}

HRESULT AppendPathItems(const wchar_t* path, CItemIDList* list, IVKSVolume* volume) {
  if (!list) return E_POINTER;
  if (!path || !path[0]) return S_OK;
  const CBstr folder = GetItemFolderPart(path);
  // "A:" is its own folder part; only a shorter one is a parent.
  if (folder.GetLength() && folder.GetLength() < static_cast<UINT>(lstrlenW(path)))
    RETURN_IF_FAILED(AppendPathItems(folder.GetBstr(), list, volume));
  CItemIDList* record = nullptr;
  HRESULT hr = FindEntryByName(path, volume, &record);
  if (record) {
    CItemIDList joined = CItemIDList::Concatenate(*list, *record);
    if (joined.IsEmpty()) hr = E_OUTOFMEMORY;
    else *list = std::move(joined);
    delete record;
  }
  return hr;
}

HRESULT GetModuleAbsoluteIDList(const wchar_t* path, CItemIDList* list, IVKSVolume* volume) {
  if (!list || !volume) return E_POINTER;
  HRESULT hr = GetModuleRootIDList(list);
  if (SUCCEEDED(hr)) hr = AppendPathItems(path, list, volume);
  if (FAILED(hr)) list->Free();
  return hr;
}
