// com/ComBase.h - reference counting, QI tables and object creation for the suite's COM classes.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <new>

#include "ComCore.h"

// What keeps a server process or a DLL alive: live objects, LockServer calls,
// registered sinks. One instance per module (see SetComModule).
class CComModuleBase {
public:
  virtual ~CComModuleBase() = default;
  virtual LONG Lock() { return InterlockedIncrement(&m_lockCount); }
  virtual LONG Unlock() { return InterlockedDecrement(&m_lockCount); }
  LONG GetLockCount() const { return m_lockCount; }

private:
  volatile LONG m_lockCount = 0;
};

CComModuleBase& GetComModule();
void SetComModule(CComModuleBase* module);   // null restores the default

// Base of every COM class of ours. The count starts at 1 (the creator's).
//  Counted  - an ordinary object: it holds one module lock while it lives.
//  Global   - a shared object (singleton): every reference but the owner's
//             first one holds a module lock, so the module idles when the
//             clients have let go although the object lives on.
//  Uncounted- class factories: they never keep the module alive.
class CComObjectBase {
public:
  enum class Lifetime { Counted, Global, Uncounted };
  CComObjectBase(const CComObjectBase&) = delete;
  CComObjectBase& operator=(const CComObjectBase&) = delete;

  HRESULT FinalConstruct() { return S_OK; }

protected:
  explicit CComObjectBase(Lifetime lifetime = Lifetime::Counted);
  virtual ~CComObjectBase();
  ULONG InternalAddRef();
  ULONG InternalRelease();

private:
  volatile LONG m_refCount = 1;
  Lifetime m_lifetime;
};

namespace NComKit {
inline bool SameGuid(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

// QIAs<IDispatch, IVKSVolume>: answer riid I through the base Via, for
// interfaces several bases share.
template <class I, class Via> struct QIAs {};

template <class Class, class Entry> struct QIEntry {
  static const IID& Iid() { return __uuidof(Entry); }
  static void* Cast(Class* self) { return static_cast<Entry*>(self); }
};
template <class Class, class I, class Via> struct QIEntry<Class, QIAs<I, Via>> {
  static const IID& Iid() { return __uuidof(I); }
  static void* Cast(Class* self) { return static_cast<I*>(static_cast<Via*>(self)); }
};
template <class Class, class First, class... Rest>
HRESULT QueryTable(Class* self, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IUnknown*>(static_cast<First*>(self));
  } else {
    ((SameGuid(riid, QIEntry<Class, First>::Iid()) && (*ppv = QIEntry<Class, First>::Cast(self))) ||
     ... ||
     (SameGuid(riid, QIEntry<Class, Rest>::Iid()) && (*ppv = QIEntry<Class, Rest>::Cast(self))));
  }
  if (!*ppv) return E_NOINTERFACE;
  self->AddRef();
  return S_OK;
}
}  // namespace NComKit

// Inside the class body: QueryInterface over the listed interfaces (the first
// one also answers IUnknown) and AddRef/Release from CComObjectBase.
#define COM_QI_TABLE(Class, ...)                                                  \
 public:                                                                          \
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {                 \
    return NComKit::QueryTable<Class, __VA_ARGS__>(this, riid, ppv);              \
  }                                                                               \
  STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }             \
  STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }

// T derives from CComObjectBase; T::FinalConstruct runs before the QI.
template <class T> HRESULT CreateComObject(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  T* object = new (std::nothrow) T();
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->FinalConstruct();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}
