// search/RPLSearchHandler.cpp - the find-menu extension.
#include "RPLSearchHandler.h"
#include <new>
#include "ComBase.h"
#include "SearchDialog.h"
#include "ShellExtClasses.h"

namespace {

const char kVerb[] = "search";
const wchar_t kVerbW[] = L"search";

// Aggregatable: the outer object gets the inner unknown, every other
// interface delegates its IUnknown to the controlling one.
class RPLSearchHandler final : public IContextMenu {
public:
  explicit RPLSearchHandler(IUnknown* outer) : m_inner(this), m_controlling(outer ? outer : &m_inner) {
    GetComModule().Lock();
  }

  IUnknown* Inner() { return &m_inner; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_controlling->QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return m_controlling->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return m_controlling->Release(); }

  STDMETHODIMP QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) override { return S_FALSE; }
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    if (!info) return E_POINTER;
    return OpenSearchWindow(nullptr, nullptr);
  }
  STDMETHODIMP GetCommandString(UINT_PTR, UINT type, UINT*, CHAR* buffer, UINT size) override {
    if (!buffer) return E_POINTER;
    switch (type) {
      case GCS_VERBA:
      case GCS_HELPTEXTA:
        CopyVerb(buffer, kVerb, size);
        return S_OK;
      case GCS_VERBW:
      case GCS_HELPTEXTW:
        CopyVerb(reinterpret_cast<wchar_t*>(buffer), kVerbW, size);
        return S_OK;
      case GCS_VALIDATEA:
      case GCS_VALIDATEW:
        return S_OK;
      default:
        return E_INVALIDARG;
    }
  }

private:
  // As much of the verb as fits with its terminator; a size of 0 writes nothing.
  template <class Char> static void CopyVerb(Char* buffer, const Char* verb, UINT size) {
    if (size == 0) return;
    UINT n = size - 1 < 6 ? size - 1 : 6;
    for (UINT i = 0; i < n; ++i) buffer[i] = verb[i];
    buffer[n] = 0;
  }

  class CInner final : public IUnknown {
  public:
    explicit CInner(RPLSearchHandler* owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      *ppv = nullptr;
      if (IsEqualIID(riid, IID_IUnknown)) *ppv = static_cast<IUnknown*>(this);
      else if (IsEqualIID(riid, IID_IContextMenu)) *ppv = static_cast<IContextMenu*>(m_owner);
      else return E_NOINTERFACE;
      static_cast<IUnknown*>(*ppv)->AddRef();
      return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    STDMETHODIMP_(ULONG) Release() override {
      const LONG left = InterlockedDecrement(&m_references);
      if (left == 0) delete m_owner;
      return static_cast<ULONG>(left);
    }

  private:
    RPLSearchHandler* m_owner;
    volatile LONG m_references = 1;
  };

  ~RPLSearchHandler() { GetComModule().Unlock(); }

  CInner m_inner;
  IUnknown* m_controlling;
};

}  // namespace

HRESULT CreateSearchHandler(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  RPLSearchHandler* handler = new (std::nothrow) RPLSearchHandler(outer);
  if (!handler) return E_OUTOFMEMORY;
  IUnknown* inner = handler->Inner();
  const HRESULT hr = inner->QueryInterface(riid, ppv);
  inner->Release();
  return hr;
}

HRESULT CreateRPLSearchHandler(REFIID riid, void** ppv) { return CreateSearchHandler(nullptr, riid, ppv); }
