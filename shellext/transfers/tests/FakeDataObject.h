// transfers/tests/FakeDataObject.h - a data object from "the PC side": it
// serves fixed blocks per format, lists what the test says and records every
// SetData. With HdropOf it offers files the way the PC shell does.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <map>
#include <string>
#include <vector>
#include "ComBase.h"

class CFakeDataObject final : public IDataObject, public CComObjectBase {
  COM_QI_TABLE(CFakeDataObject, IDataObject)
public:
  struct Set {
    UINT format;
    std::vector<BYTE> bytes;
    BOOL release;
  };
  std::map<UINT, std::vector<BYTE>> blocks;   // what GetData serves
  std::vector<UINT> getFormats, setFormats;   // what EnumFormatEtc lists
  std::vector<Set> sets;
  HRESULT setDataResult = S_OK;
  HRESULT enumResult = S_OK;

  static ComPtr<CFakeDataObject> Make() {
    ComPtr<CFakeDataObject> object;
    object.Attach(new CFakeDataObject());
    return object;
  }

  void Serve(UINT format, std::vector<BYTE> bytes, bool list = true) {
    blocks[format] = std::move(bytes);
    if (list) getFormats.push_back(format);
  }
  void ServeDword(UINT format, DWORD value) {
    Serve(format, std::vector<BYTE>(reinterpret_cast<BYTE*>(&value), reinterpret_cast<BYTE*>(&value) + 4));
  }
  // A DROPFILES block over these Windows paths, wide.
  static std::vector<BYTE> HdropOf(const std::vector<std::wstring>& paths) {
    std::vector<BYTE> block(sizeof(DROPFILES));
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    memcpy(block.data(), &header, sizeof(header));
    for (const auto& path : paths) {
      const BYTE* at = reinterpret_cast<const BYTE*>(path.c_str());
      block.insert(block.end(), at, at + (path.size() + 1) * 2);
    }
    block.push_back(0);
    block.push_back(0);
    return block;
  }
  const Set* LastSet(UINT format) const {
    for (auto it = sets.rbegin(); it != sets.rend(); ++it)
      if (it->format == format) return &*it;
    return nullptr;
  }
  std::vector<DWORD> DwordsSet(UINT format) const {
    std::vector<DWORD> values;
    for (const auto& set : sets)
      if (set.format == format && set.bytes.size() >= 4) values.push_back(*reinterpret_cast<const DWORD*>(set.bytes.data()));
    return values;
  }

  STDMETHODIMP GetData(FORMATETC* etc, STGMEDIUM* medium) override {
    if (!etc || !medium) return E_INVALIDARG;
    auto found = blocks.find(etc->cfFormat);
    if (found == blocks.end()) return DV_E_FORMATETC;
    if (!(etc->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, found->second.size() ? found->second.size() : 1);
    if (!block) return E_OUTOFMEMORY;
    if (!found->second.empty()) {
      memcpy(GlobalLock(block), found->second.data(), found->second.size());
      GlobalUnlock(block);
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* etc) override {
    return etc && blocks.count(etc->cfFormat) ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC* etc, STGMEDIUM* medium, BOOL release) override {
    if (!etc || !medium) return E_INVALIDARG;
    if (FAILED(setDataResult)) return setDataResult;
    Set set = {etc->cfFormat, {}, release};
    if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
      const SIZE_T size = GlobalSize(medium->hGlobal);
      const BYTE* at = static_cast<const BYTE*>(GlobalLock(medium->hGlobal));
      set.bytes.assign(at, at + size);
      GlobalUnlock(medium->hGlobal);
    }
    sets.push_back(set);
    if (release) ReleaseStgMedium(medium);
    return S_OK;
  }
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (FAILED(enumResult)) return enumResult;
    const std::vector<UINT>& list = direction == DATADIR_SET ? setFormats : getFormats;
    std::vector<FORMATETC> table;
    for (UINT format : list) table.push_back({static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1,
                                              TYMED_HGLOBAL});
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(table.size()), table.data(), out);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
  CFakeDataObject() = default;
};
