// transfers/DataObjectFormats.cpp - format layouts and one-value helpers.
#include "DataObjectFormats.h"
#include <string.h>
#include "ClipboardFormats.h"
#include "ComCore.h"
#include "ModuleItemID.h"
#include "SuiteUtil.h"

namespace {

DWORD ReadU32(const BYTE* data, SIZE_T offset) {
  DWORD value;
  memcpy(&value, data + offset, sizeof(value));
  return value;
}

void WriteU32(BYTE* data, SIZE_T offset, DWORD value) { memcpy(data + offset, &value, sizeof(value)); }

// Bytes of the item-ID list at offset (records and terminator) when every
// record lies inside the block and is a module item; 0 otherwise.
SIZE_T CheckedListSize(const BYTE* data, SIZE_T size, SIZE_T offset) {
  SIZE_T at = offset;
  for (;;) {
    if (at > size || size - at < sizeof(USHORT)) return 0;
    USHORT cb;
    memcpy(&cb, data + at, sizeof(cb));
    if (cb == 0) return at == offset ? 0 : at + sizeof(USHORT) - offset;  // no empty lists
    if (cb > size - at) return 0;
    if (!IsValidModuleItem(reinterpret_cast<LPCITEMIDLIST>(data + at))) return 0;
    at += cb;
  }
}

struct UnlockOnExit {
  HGLOBAL block;
  ~UnlockOnExit() { GlobalUnlock(block); }
};

}  // namespace

FORMATETC HGlobalFormat(UINT format) {
  FORMATETC etc = {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return etc;
}

std::vector<BYTE> BuildDirectoryData(const wchar_t* folderPath, const LPCITEMIDLIST* items, UINT count) {
  const SIZE_T pathUnits = folderPath ? wcslen(folderPath) : 0;
  if (count > 0x3FFFFFFF || pathUnits > 0x3FFFFFFF || (count && !items)) return {};
  SIZE_T total = 10 + 4 * SIZE_T(count) + 2 * pathUnits;
  std::vector<SIZE_T> sizes(count);
  for (UINT i = 0; i < count; ++i) {
    if (!items[i]) return {};
    sizes[i] = GetIDListSize(items[i]);
    total += sizes[i];
  }
  if (total > 0xFFFFFFFF) return {};
  std::vector<BYTE> block(total, 0);
  WriteU32(block.data(), 0, count);
  WriteU32(block.data(), 4 + 4 * SIZE_T(count), static_cast<DWORD>(pathUnits + 1));
  if (pathUnits) memcpy(block.data() + 8 + 4 * SIZE_T(count), folderPath, 2 * pathUnits);
  SIZE_T at = 10 + 4 * SIZE_T(count) + 2 * pathUnits;
  for (UINT i = 0; i < count; ++i) {
    WriteU32(block.data(), 4 + 4 * SIZE_T(i), static_cast<DWORD>(at));
    memcpy(block.data() + at, items[i], sizes[i]);
    at += sizes[i];
  }
  return block;
}

bool ParseDirectoryData(const BYTE* data, SIZE_T size, DirectoryData* out) {
  if (!out) return false;
  out->folderPath.Empty();
  out->items.clear();
  if (!data || size < 8) return false;
  const SIZE_T count = ReadU32(data, 0);
  if (count > (size - 8) / 4) return false;
  const SIZE_T pathField = 4 + 4 * count;
  const SIZE_T units = ReadU32(data, pathField);  // L + 1
  const SIZE_T pathStart = pathField + 4;
  if (units == 0 || units > (size - pathStart) / 2) return false;
  const SIZE_T listsStart = pathStart + 2 * units;
  const wchar_t* path = reinterpret_cast<const wchar_t*>(data + pathStart);
  wchar_t last;
  memcpy(&last, data + pathStart + 2 * (units - 1), sizeof(last));
  if (last != 0) return false;
  for (SIZE_T i = 0; i + 1 < units; ++i) {
    wchar_t unit;
    memcpy(&unit, data + pathStart + 2 * i, sizeof(unit));
    if (unit == 0) return false;
  }
  std::vector<LPCITEMIDLIST> items;
  items.reserve(count);
  for (SIZE_T i = 0; i < count; ++i) {
    const SIZE_T offset = ReadU32(data, 4 + 4 * i);
    if (offset < listsStart || offset >= size || (offset & 1)) return false;
    if (CheckedListSize(data, size, offset) == 0) return false;
    items.push_back(reinterpret_cast<LPCITEMIDLIST>(data + offset));
  }
  out->folderPath = CBstr(path, static_cast<UINT>(units - 1));
  out->items.swap(items);
  return true;
}

void BuildViewAddress(ULONGLONG view, DWORD processId, BYTE out[kViewAddressSize]) {
  memset(out, 0, kViewAddressSize);
  memcpy(out, &view, sizeof(view));
  memcpy(out + 8, &processId, sizeof(processId));
}

bool ParseViewAddress(const BYTE* data, SIZE_T size, ViewAddress* out) {
  if (!data || !out || size < kViewAddressSize) return false;
  memcpy(&out->view, data, sizeof(out->view));
  memcpy(&out->processId, data + 8, sizeof(out->processId));
  return true;
}

HRESULT FillFileDescriptor(FILEDESCRIPTORW* descriptor, const wchar_t* name, LPCITEMIDLIST item, bool folder) {
  if (!descriptor || !name || !item) return E_INVALIDARG;
  ZeroMemory(descriptor, sizeof(*descriptor));
  const size_t length = wcslen(name);
  if (length >= ARRAYSIZE(descriptor->cFileName)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  descriptor->dwFlags = FD_ATTRIBUTES | FD_CREATETIME | FD_ACCESSTIME | FD_WRITESTIME | FD_FILESIZE;
  descriptor->dwFileAttributes = GetItemAttributes(item);
  DateToFileTime(GetItemCreationTime(item), &descriptor->ftCreationTime);
  DateToFileTime(GetItemLastAccessTime(item), &descriptor->ftLastAccessTime);
  DateToFileTime(GetItemLastWriteTime(item), &descriptor->ftLastWriteTime);
  descriptor->nFileSizeLow = folder ? 0 : GetItemSize(item);
  memcpy(descriptor->cFileName, name, (length + 1) * sizeof(wchar_t));
  return S_OK;
}

HGLOBAL NewHGlobalFrom(const void* bytes, SIZE_T size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
  if (!block) return nullptr;
  if (size && bytes) {
    void* at = GlobalLock(block);
    if (!at) {
      GlobalFree(block);
      return nullptr;
    }
    memcpy(at, bytes, size);
    GlobalUnlock(block);
  }
  return block;
}

HRESULT GetDataObjectHGlobal(IDataObject* data, UINT format, STGMEDIUM* medium) {
  if (!data || !medium) return E_INVALIDARG;
  ZeroMemory(medium, sizeof(*medium));
  FORMATETC etc = HGlobalFormat(format);
  HRESULT hr = data->GetData(&etc, medium);
  if (FAILED(hr)) return hr;
  if (medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) {
    ReleaseStgMedium(medium);
    ZeroMemory(medium, sizeof(*medium));
    return DV_E_TYMED;
  }
  return hr;
}

HRESULT ReadDataObjectBytes(IDataObject* data, UINT format, void* buffer, SIZE_T length) {
  if (!buffer) return E_INVALIDARG;
  STGMEDIUM medium;
  HRESULT hr = GetDataObjectHGlobal(data, format, &medium);
  if (FAILED(hr)) return hr;
  if (GlobalSize(medium.hGlobal) < length) {
    hr = E_UNEXPECTED;
  } else if (const void* at = GlobalLock(medium.hGlobal)) {
    memcpy(buffer, at, length);
    GlobalUnlock(medium.hGlobal);
  } else {
    hr = E_UNEXPECTED;
  }
  ReleaseStgMedium(&medium);
  return hr;
}

DWORD ReadPreferredDropEffect(IDataObject* data) {
  DWORD effect = 0;
  if (FAILED(ReadDataObjectBytes(data, ClipboardFormats().preferredDropEffect, &effect, sizeof(effect))))
    return 0;
  return effect;
}

HRESULT SetDataObjectDword(IDataObject* data, UINT format, DWORD value) {
  if (!data) return E_INVALIDARG;
  STGMEDIUM medium = {};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = NewHGlobalFrom(&value, sizeof(value));
  if (!medium.hGlobal) return E_OUTOFMEMORY;
  FORMATETC etc = HGlobalFormat(format);
  const HRESULT hr = data->SetData(&etc, &medium, TRUE);
  if (FAILED(hr)) GlobalFree(medium.hGlobal);
  return hr;
}

void InspectDataObjectFormats(IDataObject* data, FORMATETC* table, DWORD* getBits, DWORD* setBits) {
  if (getBits) *getBits = 0;
  if (setBits) *setBits = 0;
  if (!data) return;
  const ClipboardFormatIds& ids = ClipboardFormats();
  // Slot order is bit order.
  const UINT bySlot[kInspectedFormatCount] = {
      ids.fileContents,        ids.fileGroupDescriptorW,       ids.preferredDropEffect, ids.pasteSucceeded,
      ids.performedDropEffect, ids.logicalPerformedDropEffect, ids.hdrop,               ids.directoryData,
      ids.targetClsid,         ids.converted,                  ids.viewAddress};
  const DWORD getMask = kFormatFileContents | kFormatFileGroupDescriptor | kFormatPreferredDropEffect |
                        kFormatHdrop | kFormatDirectoryData | kFormatTargetClsid | kFormatViewAddress;
  const DWORD setMask = kFormatPasteSucceeded | kFormatPerformedDropEffect | kFormatLogicalPerformedDropEffect |
                        kFormatConverted;
  const struct { DWORD direction; DWORD mask; DWORD* bits; } passes[] = {
      {DATADIR_GET, getMask, getBits}, {DATADIR_SET, setMask, setBits}};
  for (const auto& pass : passes) {
    ComPtr<IEnumFORMATETC> formats;
    if (FAILED(data->EnumFormatEtc(pass.direction, &formats)) || !formats) continue;
    FORMATETC etc;
    ULONG fetched = 0;
    // A misbehaving enumerator cannot keep us here for ever.
    for (int guard = 0; guard < 4096 && formats->Next(1, &etc, &fetched) == S_OK && fetched == 1; ++guard) {
      if (etc.ptd) CoTaskMemFree(etc.ptd);
      etc.ptd = nullptr;
      for (int slot = 0; slot < kInspectedFormatCount; ++slot) {
        const DWORD bit = 1u << slot;
        if (!(pass.mask & bit) || bySlot[slot] == 0 || etc.cfFormat != bySlot[slot]) continue;
        if (pass.bits) *pass.bits |= bit;
        if (table) table[slot] = etc;
        break;
      }
    }
  }
}

bool IsTargetAmongDraggedFolders(const wchar_t* targetPath, IDataObject* data) {
  if (!targetPath) return false;
  STGMEDIUM medium;
  if (FAILED(GetDataObjectHGlobal(data, ClipboardFormats().directoryData, &medium))) return false;
  bool found = false;
  if (const BYTE* at = static_cast<const BYTE*>(GlobalLock(medium.hGlobal))) {
    UnlockOnExit unlock{medium.hGlobal};
    DirectoryData parsed;
    if (ParseDirectoryData(at, GlobalSize(medium.hGlobal), &parsed)) {
      for (LPCITEMIDLIST item : parsed.items) {
        if (!IsFolderItem(item) && !IsDriveRootItem(item)) continue;
        if (CompareText(GetItemName(item), targetPath, FALSE) == 0) {
          found = true;
          break;
        }
      }
    }
  }
  ReleaseStgMedium(&medium);
  return found;
}
