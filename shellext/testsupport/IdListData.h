// testsupport/IdListData.h - a data object that offers "Shell IDList Array" as the test's bytes.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <cstring>
#include <utility>
#include <vector>

// Offers the block in global memory; not at all when offered is false, or as an
// empty stream when medium is not TYMED_HGLOBAL. Lives on the test's stack.
class CIdListData final : public IDataObject {
public:
  std::vector<BYTE> block;
  bool offered = true;
  DWORD medium = TYMED_HGLOBAL;

  CIdListData() = default;
  explicit CIdListData(std::vector<BYTE> bytes, bool offer = true) : block(std::move(bytes)), offered(offer) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* out) override {
    if (!offered || format->cfFormat != RegisterClipboardFormatW(L"Shell IDList Array")) return DV_E_FORMATETC;
    *out = {};
    if (medium != TYMED_HGLOBAL) {
      out->tymed = TYMED_ISTREAM;
      return CreateStreamOnHGlobal(nullptr, TRUE, &out->pstm);
    }
    out->tymed = TYMED_HGLOBAL;
    out->hGlobal = GlobalAlloc(GMEM_MOVEABLE, block.size());
    if (!block.empty()) {
      memcpy(GlobalLock(out->hGlobal), block.data(), block.size());
      GlobalUnlock(out->hGlobal);
    }
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};
