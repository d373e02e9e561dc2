// transfers/DataObjectFormats.h - the layouts of the extension's own
// clipboard formats, the file descriptor records, and the small helpers that
// read and write one-value formats of any data object.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <vector>
#include "SuiteString.h"

// Bits (and, as bit numbers, slots of the eleven-record table) under which
// InspectDataObjectFormats reports the formats a data object lists.
enum DataObjectFormatBit : DWORD {
  kFormatFileContents = 0x001,
  kFormatFileGroupDescriptor = 0x002,
  kFormatPreferredDropEffect = 0x004,
  kFormatPasteSucceeded = 0x008,
  kFormatPerformedDropEffect = 0x010,
  kFormatLogicalPerformedDropEffect = 0x020,
  kFormatHdrop = 0x040,
  kFormatDirectoryData = 0x080,
  kFormatTargetClsid = 0x100,
  kFormatConverted = 0x200,
  kFormatViewAddress = 0x400,
};
const int kInspectedFormatCount = 11;

// {format, no device, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}.
FORMATETC HGlobalFormat(UINT format);

// "RPL SNE Directory Data": u32 N, N u32 offsets, u32 L+1, the folder path
// with its NUL, then the N item-ID lists with their terminators; exactly that
// size, zero-filled. Empty when a list is null or the sizes overflow.
std::vector<BYTE> BuildDirectoryData(const wchar_t* folderPath, const LPCITEMIDLIST* items, UINT count);

// A parsed block. The item pointers point into the parsed bytes, which must
// outlive them.
struct DirectoryData {
  CBstr folderPath;
  std::vector<LPCITEMIDLIST> items;
};
// Blocks can come from any process: N, L, every offset and each record chain
// are checked against size, and every record must be a valid module item.
// false (out cleared) for a bad or short block.
bool ParseDirectoryData(const BYTE* data, SIZE_T size, DirectoryData* out);

// "RPL SNE View Address": u64 view address, u32 process id, four zero bytes.
const UINT kViewAddressSize = 16;
struct ViewAddress {
  ULONGLONG view;
  DWORD processId;
};
void BuildViewAddress(ULONGLONG view, DWORD processId, BYTE out[kViewAddressSize]);
bool ParseViewAddress(const BYTE* data, SIZE_T size, ViewAddress* out);

// One "FileGroupDescriptorW" record: flags 0x7C, the item's attributes and
// times (local DATE to UTC FILETIME, 0 gives 0), its size (0 for folders and
// drives), name relative to the object's folder. A name of 260 units or more
// is refused with ERROR_FILENAME_EXCED_RANGE rather than cut.
HRESULT FillFileDescriptor(FILEDESCRIPTORW* descriptor, const wchar_t* name, LPCITEMIDLIST item, bool folder);

// A new movable, zero-filled block holding these bytes; null when out of memory.
HGLOBAL NewHGlobalFrom(const void* bytes, SIZE_T size);

// GetData with HGlobalFormat(format); the medium must be TYMED_HGLOBAL.
HRESULT GetDataObjectHGlobal(IDataObject* data, UINT format, STGMEDIUM* medium);
// The first length bytes of the format's block; a shorter block is E_UNEXPECTED.
HRESULT ReadDataObjectBytes(IDataObject* data, UINT format, void* buffer, SIZE_T length);
// "Preferred DropEffect", 0 when it cannot be read.
DWORD ReadPreferredDropEffect(IDataObject* data);
// SetData of a 4-byte block with the release flag set (the block is freed here
// when SetData refuses it).
HRESULT SetDataObjectDword(IDataObject* data, UINT format, DWORD value);

// Which of the known formats the object lists for getting and for setting;
// table (may be null) receives each found format's FORMATETC in its bit's slot.
void InspectDataObjectFormats(IDataObject* data, FORMATETC* table, DWORD* getBits, DWORD* setBits);

// Whether targetPath names one of the folders or drives in the object's
// "RPL SNE Directory Data" (compared without case); false when unreadable.
bool IsTargetAmongDraggedFolders(const wchar_t* targetPath, IDataObject* data);
