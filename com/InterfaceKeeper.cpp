// com/InterfaceKeeper.cpp - one object stands in for every interface the process serves.
#include "InterfaceKeeper.h"
#include <new>
#include <vector>

namespace {

// Only its IUnknown part works: nobody outside the process is ever given it,
// and a call that came anyway gets E_UNEXPECTED from every other method. On
// x64 the caller owns the stack, so one function without parameters may
// answer a method with any.
HRESULT STDMETHODCALLTYPE Refuse() { return E_UNEXPECTED; }

struct CHolder {
  const void* const* vtable;
  LONG refs;
  std::vector<IID> iids;
};

HRESULT STDMETHODCALLTYPE HolderQueryInterface(CHolder* self, REFIID riid, void** ppv);
ULONG STDMETHODCALLTYPE HolderAddRef(CHolder* self) { return static_cast<ULONG>(InterlockedIncrement(&self->refs)); }
ULONG STDMETHODCALLTYPE HolderRelease(CHolder* self) {
  const LONG refs = InterlockedDecrement(&self->refs);
  if (!refs) delete self;
  return static_cast<ULONG>(refs);
}

constexpr size_t kSlots = 64;   // more than the longest interface held has methods
struct CHolderVtable {
  const void* slots[kSlots];
  CHolderVtable() {
    slots[0] = reinterpret_cast<const void*>(HolderQueryInterface);
    slots[1] = reinterpret_cast<const void*>(HolderAddRef);
    slots[2] = reinterpret_cast<const void*>(HolderRelease);
    for (size_t i = 3; i < kSlots; ++i) slots[i] = reinterpret_cast<const void*>(Refuse);
  }
};
const CHolderVtable g_holderVtable;

HRESULT STDMETHODCALLTYPE HolderQueryInterface(CHolder* self, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  bool held = IsEqualIID(riid, IID_IUnknown);
  for (const IID& iid : self->iids) held = held || IsEqualIID(riid, iid);
  if (!held) return E_NOINTERFACE;
  *ppv = self;
  HolderAddRef(self);
  return S_OK;
}

}  // namespace

HRESULT CInterfaceKeeper::Start(const IID* const* iids, size_t count) {
  Stop();
  CHolder* holder = new (std::nothrow) CHolder{g_holderVtable.slots, 1, {}};
  if (!holder) return E_OUTOFMEMORY;
  try {
    for (size_t i = 0; i < count; ++i) holder->iids.push_back(*iids[i]);
  } catch (const std::bad_alloc&) {
    delete holder;
    return E_OUTOFMEMORY;
  }
  m_holder = reinterpret_cast<IUnknown*>(holder);
  HRESULT first = S_OK;
  for (size_t i = 0; i < count; ++i) {
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    // Table-strong: the stub stays until the object is disconnected.
    if (SUCCEEDED(hr)) hr = CoMarshalInterface(stream, *iids[i], m_holder, MSHCTX_LOCAL, nullptr, MSHLFLAGS_TABLESTRONG);
    if (stream) stream->Release();
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  return first;
}

void CInterfaceKeeper::Stop() {
  if (!m_holder) return;
  // Takes the interfaces out without waiting for calls.
  CoDisconnectObject(m_holder, 0);
  m_holder->Release();
  m_holder = nullptr;
}
