// namespace/ModuleItemID.cpp - validation and accessors of module item records.
#include "ModuleItemID.h"
#include <cstddef>
#include <cstring>
#include "ItemsIds.h"
#include "ResourceModule.h"

static_assert(offsetof(ModuleItemID, creationTime) == 12, "record layout");
static_assert(offsetof(ModuleItemID, nameLength) == 36, "record layout");
static_assert(offsetof(ModuleItemID, name) == kModuleItemHeaderSize, "record layout");

namespace {

const BYTE* Bytes(LPCITEMIDLIST item) { return reinterpret_cast<const BYTE*>(item); }

template <class T> T ReadField(LPCITEMIDLIST item, size_t offset) {
  T value;
  memcpy(&value, Bytes(item) + offset, sizeof value);
  return value;
}

// The units after the header; the name at 0, the second string at n.
WCHAR Unit(LPCITEMIDLIST item, UINT index) {
  return ReadField<WCHAR>(item, kModuleItemHeaderSize + 2 * static_cast<size_t>(index));
}

// The shell's attribute view of an item: only what decides icon and type.
ULONG ShellAttributes(ULONG attributes) {
  return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
}

DWORD_PTR QueryFileInfo(const wchar_t* name, ULONG attributes, UINT flags, SHFILEINFOW* info) {
  memset(info, 0, sizeof *info);
  return SHGetFileInfoW(name ? name : L"", attributes, info, sizeof *info, flags | SHGFI_USEFILEATTRIBUTES);
}

// A drive's icon comes from a real local disk: by attributes alone the shell
// only knows a plain file or folder.
DWORD_PTR QueryDriveInfo(UINT flags, SHFILEINFOW* info) {
  memset(info, 0, sizeof *info);
  return SHGetFileInfoW(L"C:\\", 0, info, sizeof *info, flags);
}

HICON QueryIcon(const wchar_t* name, ULONG attributes, UINT flags) {
  SHFILEINFOW info;
  return QueryFileInfo(name, ShellAttributes(attributes), flags | SHGFI_ICON, &info) ? info.hIcon : nullptr;
}

int QueryIconIndex(const wchar_t* name, ULONG attributes, UINT flags) {
  SHFILEINFOW info;
  return QueryFileInfo(name, ShellAttributes(attributes), flags | SHGFI_SYSICONINDEX, &info) ? info.iIcon : -1;
}

HIMAGELIST QueryImageList(UINT flags) {
  SHFILEINFOW info;
  return reinterpret_cast<HIMAGELIST>(
      QueryFileInfo(L"", FILE_ATTRIBUTE_NORMAL, flags | SHGFI_SYSICONINDEX, &info));
}

}  // namespace

UINT ModuleItemSizeFor(UINT nameLength, UINT shortNameLength) {
  // Compared before multiplying, so huge lengths cannot wrap into a small cb.
  const UINT maxUnits = (kModuleItemMaxSize - kModuleItemMinSize) / 2;
  if (nameLength > maxUnits || shortNameLength > maxUnits - nameLength) return 0;
  return kModuleItemMinSize + 2 * (nameLength + shortNameLength);
}

bool IsValidModuleItem(LPCITEMIDLIST item) {
  if (!item) return false;
  const UINT cb = ReadField<USHORT>(item, offsetof(ModuleItemID, cb));
  if (cb < kModuleItemMinSize || (cb & 1) ||
      ReadField<USHORT>(item, offsetof(ModuleItemID, signature)) != kModuleItemSignature)
    return false;
  const UINT units = (cb - kModuleItemHeaderSize) / 2;
  const UINT n = ReadField<USHORT>(item, offsetof(ModuleItemID, nameLength));
  if (n < 1 || n >= units) return false;
  if (Unit(item, n - 1) != 0 || Unit(item, units - 1) != 0) return false;
  for (UINT i = 0; i + 1 < n; ++i)
    if (Unit(item, i) == 0) return false;
  for (UINT i = n; i + 1 < units; ++i)
    if (Unit(item, i) == 0) return false;
  return true;
}

bool IsDriveRootName(const wchar_t* name) {
  if (!name) return false;
  if (name[0] == L'\\') ++name;
  return name[0] >= L'A' && name[0] <= L'Z' && name[1] == L':' && name[2] == 0;
}

bool IsDriveRootItem(LPCITEMIDLIST item) { return IsDriveRootName(GetItemName(item)); }

const wchar_t* GetItemName(LPCITEMIDLIST item) {
  return reinterpret_cast<const wchar_t*>(Bytes(item) + kModuleItemHeaderSize);
}

const wchar_t* GetItemShortName(LPCITEMIDLIST item) {
  return GetItemName(item) + ReadField<USHORT>(item, offsetof(ModuleItemID, nameLength));
}

CBstr GetLastNameComponent(const wchar_t* name) {
  if (!name) return CBstr();
  const wchar_t* slash = wcsrchr(name, L'\\');
  if (slash) return CBstr(slash + 1);
  if (name[0] && name[1] == L':') return CBstr(name + 2);
  return CBstr(name);
}

CBstr GetItemFolderPart(const wchar_t* name) {
  if (!name) return CBstr();
  const wchar_t* slash = wcsrchr(name, L'\\');
  if (slash) return CBstr(name, static_cast<UINT>(slash - name));
  if (name[0] && name[1] == L':') return CBstr(name, 2);
  return CBstr();
}

CBstr GetItemNameString(LPCITEMIDLIST item) {
  return GetLastNameComponent(GetItemName(item));
}

ULONG GetItemSize(LPCITEMIDLIST item) { return ReadField<ULONG>(item, offsetof(ModuleItemID, size)); }
ULONG GetItemAttributes(LPCITEMIDLIST item) { return ReadField<ULONG>(item, offsetof(ModuleItemID, attributes)); }
DATE GetItemCreationTime(LPCITEMIDLIST item) { return ReadField<DATE>(item, offsetof(ModuleItemID, creationTime)); }
DATE GetItemLastAccessTime(LPCITEMIDLIST item) {
  return ReadField<DATE>(item, offsetof(ModuleItemID, lastAccessTime));
}
DATE GetItemLastWriteTime(LPCITEMIDLIST item) { return ReadField<DATE>(item, offsetof(ModuleItemID, lastWriteTime)); }
bool IsFolderItem(LPCITEMIDLIST item) { return (GetItemAttributes(item) & kItemFolderAttribute) != 0; }

CBstr GetItemFolderText(LPCITEMIDLIST item) {
  return ConcatStrings(CBstr(L"Module"), GetItemFolderPart(GetItemName(item)));
}

CBstr GetItemTypeName(LPCITEMIDLIST item) {
  if (IsDriveRootItem(item)) return g_resourceModule.LoadResString(IDS_MODULE_DISK);
  return GetShellTypeName(GetItemNameString(item).GetBstr(), GetItemAttributes(item));
}

CBstr GetShellTypeName(const wchar_t* name, ULONG attributes) {
  SHFILEINFOW info;
  if (!QueryFileInfo(name, ShellAttributes(attributes), SHGFI_TYPENAME, &info)) return CBstr();
  return CBstr(info.szTypeName);
}

HICON GetFileIcon(const wchar_t* name, ULONG attributes, UINT extraFlags) {
  return QueryIcon(name, attributes, extraFlags);
}
HICON GetSmallFileIcon(const wchar_t* name, ULONG attributes, UINT extraFlags) {
  return QueryIcon(name, attributes, extraFlags | SHGFI_SMALLICON);
}
int GetSysIconIndex(const wchar_t* name, ULONG attributes, UINT extraFlags) {
  return QueryIconIndex(name, attributes, extraFlags);
}
int GetSmallSysIconIndex(const wchar_t* name, ULONG attributes, UINT extraFlags) {
  return QueryIconIndex(name, attributes, extraFlags | SHGFI_SMALLICON);
}
HIMAGELIST GetSysImageList() { return QueryImageList(0); }
HIMAGELIST GetSmallSysImageList() { return QueryImageList(SHGFI_SMALLICON); }
HICON GetDriveIcon() {
  SHFILEINFOW info;
  return QueryDriveInfo(SHGFI_ICON, &info) ? info.hIcon : nullptr;
}
HICON GetSmallDriveIcon() {
  SHFILEINFOW info;
  return QueryDriveInfo(SHGFI_ICON | SHGFI_SMALLICON, &info) ? info.hIcon : nullptr;
}
int GetDriveIconIndex() {
  SHFILEINFOW info;
  return QueryDriveInfo(SHGFI_SYSICONINDEX, &info) ? info.iIcon : -1;
}
