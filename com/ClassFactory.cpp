// com/ClassFactory.cpp - ordinary and singleton class factories.
#include "ClassFactory.h"

namespace {

class CClassFactory final : public IClassFactory, public CComObjectBase {
  COM_QI_TABLE(CClassFactory, IClassFactory)

public:
  explicit CClassFactory(const CClassEntry& entry)
      : CComObjectBase(Lifetime::Uncounted), m_entry(entry) {
    InitializeCriticalSection(&m_lock);
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) {
      if (!m_entry.createAggregate) return CLASS_E_NOAGGREGATION;
      return m_entry.createAggregate(outer, riid, ppv);
    }
    if (!(m_entry.flags & kClassSingleton)) return m_entry.create(riid, ppv);
    EnterCriticalSection(&m_lock);
    HRESULT hr = S_OK;
    if (!m_singleton) {
      // A failed construction is not kept: the next client tries again.
      hr = m_entry.create(IID_IUnknown, reinterpret_cast<void**>(&m_singleton));
    }
    ComPtr<IUnknown> object = m_singleton.Get();
    LeaveCriticalSection(&m_lock);
    if (FAILED(hr)) return hr;
    return object->QueryInterface(riid, ppv);
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      GetComModule().Lock();
    else
      GetComModule().Unlock();
    return S_OK;
  }

private:
  ~CClassFactory() override { DeleteCriticalSection(&m_lock); }

  const CClassEntry& m_entry;
  ComPtr<IUnknown> m_singleton;
  CRITICAL_SECTION m_lock;
};

}  // namespace

CClassTable::CClassTable(const CClassEntry* entries, size_t count)
    : m_entries(entries), m_count(count),
      m_factories(new IClassFactory*[count]()), m_cookies(new DWORD[count]()) {
  InitializeCriticalSection(&m_lock);
}

CClassTable::~CClassTable() {
  Term();
  delete[] m_factories;
  delete[] m_cookies;
  DeleteCriticalSection(&m_lock);
}

HRESULT CClassTable::GetFactory(size_t index, IClassFactory** factory) {
  EnterCriticalSection(&m_lock);
  if (!m_factories[index]) m_factories[index] = new (std::nothrow) CClassFactory(m_entries[index]);
  *factory = m_factories[index];
  if (*factory) (*factory)->AddRef();
  LeaveCriticalSection(&m_lock);
  return *factory ? S_OK : E_OUTOFMEMORY;
}

HRESULT CClassTable::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < m_count; ++i) {
    if (!IsEqualCLSID(clsid, *m_entries[i].clsid)) continue;
    ComPtr<IClassFactory> factory;
    RETURN_IF_FAILED(GetFactory(i, &factory));
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CClassTable::RegisterClassObjects(DWORD context, DWORD flags) {
  for (size_t i = 0; i < m_count; ++i) {
    ComPtr<IClassFactory> factory;
    HRESULT hr = GetFactory(i, &factory);
    if (SUCCEEDED(hr))
      hr = CoRegisterClassObject(*m_entries[i].clsid, factory.Get(), context, flags, &m_cookies[i]);
    if (FAILED(hr)) {
      RevokeClassObjects();
      return hr;
    }
  }
  return S_OK;
}

void CClassTable::RevokeClassObjects() {
  for (size_t i = 0; i < m_count; ++i) {
    if (m_cookies[i]) CoRevokeClassObject(m_cookies[i]);
    m_cookies[i] = 0;
  }
}

void CClassTable::Term() {
  RevokeClassObjects();
  for (size_t i = 0; i < m_count; ++i) {
    EnterCriticalSection(&m_lock);
    IClassFactory* factory = m_factories[i];
    m_factories[i] = nullptr;
    LeaveCriticalSection(&m_lock);
    if (factory) factory->Release();
  }
}
