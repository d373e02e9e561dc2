// namespace/ModuleItemID.h - one record of the extension's item-ID lists: a
// module drive, folder or file with everything the views show about it.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <commctrl.h>
#include "SuiteString.h"

// Little-endian, no padding; every field after offset 12 is unaligned, so the
// accessors below copy them out rather than dereference them in place.
#pragma pack(push, 1)
struct ModuleItemID {
  USHORT cb;              // whole record, this field included
  USHORT signature;       // kModuleItemSignature
  ULONG size;             // bytes; a drive's capacity
  ULONG attributes;       // FILE_ATTRIBUTE_* as the server reports them
  DATE creationTime;
  DATE lastAccessTime;
  DATE lastWriteTime;     // a drive's free bytes
  USHORT nameLength;      // name units, its NUL included
  WCHAR name[1];          // full module path, then the second string
};
#pragma pack(pop)

const USHORT kModuleItemSignature = 100;
const UINT kModuleItemHeaderSize = 38;         // offset of the name
const UINT kModuleItemMinSize = 42;            // one-unit name and two NULs
const UINT kModuleItemMaxSize = 65534;         // largest even cb
const ULONG kItemFolderAttribute = FILE_ATTRIBUTE_DIRECTORY;

// Bytes of a record with these string lengths (units, without NULs), or 0
// when it would not fit the 16-bit cb.
UINT ModuleItemSizeFor(UINT nameLength, UINT shortNameLength);

// The checks every folder method makes before it trusts a record.
bool IsValidModuleItem(LPCITEMIDLIST item);

// Drive letter A-Z (upper case) and a colon, alone or after one backslash.
bool IsDriveRootName(const wchar_t* name);
bool IsDriveRootItem(LPCITEMIDLIST item);

// Accessors of a valid record.
const wchar_t* GetItemName(LPCITEMIDLIST item);
const wchar_t* GetItemShortName(LPCITEMIDLIST item);
CBstr GetItemNameString(LPCITEMIDLIST item);     // last component: f.txt, A:
ULONG GetItemSize(LPCITEMIDLIST item);
ULONG GetItemAttributes(LPCITEMIDLIST item);
DATE GetItemCreationTime(LPCITEMIDLIST item);
DATE GetItemLastAccessTime(LPCITEMIDLIST item);
DATE GetItemLastWriteTime(LPCITEMIDLIST item);
bool IsFolderItem(LPCITEMIDLIST item);           // attribute 0x10
// "Module" and the folder part of the name: Module\A:\dir for \A:\dir\f.txt.
CBstr GetItemFolderText(LPCITEMIDLIST item);
// "Module Disk" for a drive, else the shell's type name of the last component.
CBstr GetItemTypeName(LPCITEMIDLIST item);
// The shell's type name for a name with these attributes (directory and
// hidden bits only), asked without touching the disk; empty when it has none.
CBstr GetShellTypeName(const wchar_t* name, ULONG attributes);
// Last component of a module path, as GetItemNameString takes it.
CBstr GetLastNameComponent(const wchar_t* name);
// Folder part of a module path: up to its last backslash, or "X:" when only
// a drive and colon precede the name; empty when it has neither.
CBstr GetItemFolderPart(const wchar_t* name);

// Icons as the shell gives them for a name and attributes, without touching
// the disk (only the directory and hidden bits count). 0 / -1 on failure;
// callers destroy the icons.
HICON GetFileIcon(const wchar_t* name, ULONG attributes, UINT extraFlags);
HICON GetSmallFileIcon(const wchar_t* name, ULONG attributes, UINT extraFlags);
int GetSysIconIndex(const wchar_t* name, ULONG attributes, UINT extraFlags);
int GetSmallSysIconIndex(const wchar_t* name, ULONG attributes, UINT extraFlags);
HIMAGELIST GetSysImageList();
HIMAGELIST GetSmallSysImageList();
// Module drives wear the icon of a local disk.
HICON GetDriveIcon();
HICON GetSmallDriveIcon();
int GetDriveIconIndex();
