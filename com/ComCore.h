// com/ComCore.h - ComPtr, COM_TRY and the HRESULT helpers: headers of the
// platform only, so every layer can use them (the link too).
#pragma once
#include <memory>
#include <windows.h>
#include <unknwn.h>

#include <cassert>
#include <new>

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
    if (this != std::addressof(other)) {
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
  // For out parameters, which overwrite what they point at: the pointer should
  // be empty. Debug builds stop on a held one; release builds let go of it
  // first, so it cannot leak.
  T** operator&() {
    assert(!m_p && "ComPtr::operator& on a pointer that holds an object");
    Reset();
    return &m_p;
  }
  // ptr.As(&other) with other an empty ComPtr<U>.
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
