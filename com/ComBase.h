// com/ComBase.h - reference counting, QI tables, ComPtr and COM_TRY for the suite's COM classes.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <new>

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

// No C++ exception may leave a COM method.
#define COM_TRY try {
#define COM_CATCH                                   \
  }                                                 \
  catch (const std::bad_alloc&) { return E_OUTOFMEMORY; } \
  catch (...) { return E_UNEXPECTED; }

#define RETURN_IF_FAILED(expr)                 \
  do {                                         \
    HRESULT hr_ = (expr);                      \
    if (FAILED(hr_)) return hr_;               \
  } while (0)

inline HRESULT HrFromWin32(LONG error) {
  return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}
inline HRESULT HrFromWin32Bool(BOOL ok) {
  if (ok) return S_OK;
  DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

template <class T> class ComPtr {
public:
  ComPtr() = default;
  ComPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
  ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
  ComPtr(ComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& other) {
    if (other.m_p) other.m_p->AddRef();
    Reset();
    m_p = other.m_p;
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = other.m_p;
      other.m_p = nullptr;
    }
    return *this;
  }
  void Reset() {
    if (T* p = m_p) {
      m_p = nullptr;
      p->Release();
    }
  }
  void Attach(T* p) { Reset(); m_p = p; }
  T* Detach() { T* p = m_p; m_p = nullptr; return p; }
  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For out parameters; the pointer must be empty (it would leak otherwise).
  T** operator&() {
    Reset();
    return &m_p;
  }
  // ptr.As(&other) with other a ComPtr<U> (its operator& empties it).
  template <class U> HRESULT As(U** out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_p) return E_POINTER;
    return m_p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out));
  }
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = m_p;
    if (m_p) m_p->AddRef();
    return S_OK;
  }

private:
  T* m_p = nullptr;
};

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
