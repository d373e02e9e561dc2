// namespace/MessageFilter.cpp - the per-thread message filter.
#include "MessageFilter.h"
#include <ole2.h>
#include <new>

namespace {
DWORD g_slot = TLS_OUT_OF_INDEXES;

ClientMessageFilter* SlotFilter() {
  if (g_slot == TLS_OUT_OF_INDEXES) return nullptr;
  return static_cast<ClientMessageFilter*>(TlsGetValue(g_slot));
}
}  // namespace

HRESULT AllocFilterSlot() {
  if (g_slot != TLS_OUT_OF_INDEXES) return S_OK;
  DWORD slot = TlsAlloc();
  if (slot == TLS_OUT_OF_INDEXES) return HRESULT_FROM_WIN32(GetLastError());
  g_slot = slot;
  return S_OK;
}

void FreeFilterSlot() {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  TlsFree(g_slot);
  g_slot = TLS_OUT_OF_INDEXES;
}

IMessageFilter* ThreadMessageFilter() { return SlotFilter(); }

HRESULT AcquireThreadMessageFilter() {
  if (g_slot == TLS_OUT_OF_INDEXES) return S_FALSE;
  ClientMessageFilter* filter = SlotFilter();
  if (!filter) {
    filter = new (std::nothrow) ClientMessageFilter();
    if (!filter) return E_OUTOFMEMORY;
    // OLE's own failure does not stop the set-up; registering the filter decides.
    HRESULT ole = OleInitialize(nullptr);
    filter->m_oleInitialised = SUCCEEDED(ole);
    HRESULT hr = CoRegisterMessageFilter(filter, &filter->m_previous);
    if (FAILED(hr)) {
      filter->Release();
      return hr;
    }
    TlsSetValue(g_slot, filter);
  }
  ++filter->m_useCount;
  return S_OK;
}

void ReleaseThreadMessageFilter() {
  ClientMessageFilter* filter = SlotFilter();
  if (!filter) return;
  if (--filter->m_useCount != 0) return;
  TlsSetValue(g_slot, nullptr);
  CoRegisterMessageFilter(filter->m_previous, nullptr);
  filter->Release();
}

ClientMessageFilter::~ClientMessageFilter() {
  if (m_previous) m_previous->Release();
  if (m_oleInitialised) OleUninitialize();
}

STDMETHODIMP ClientMessageFilter::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMessageFilter)) return E_NOINTERFACE;
  *ppv = static_cast<IMessageFilter*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ClientMessageFilter::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) ClientMessageFilter::Release() {
  LONG count = InterlockedDecrement(&m_refCount);
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP_(DWORD) ClientMessageFilter::HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                                             LPINTERFACEINFO info) {
  if (m_previous) return m_previous->HandleInComingCall(callType, caller, tickCount, info);
  return SERVERCALL_ISHANDLED;
}

STDMETHODIMP_(DWORD) ClientMessageFilter::RetryRejectedCall(HTASK callee, DWORD tickCount, DWORD rejectType) {
  if (rejectType == SERVERCALL_RETRYLATER) return 250;
  if (m_previous) return m_previous->RetryRejectedCall(callee, tickCount, rejectType);
  return static_cast<DWORD>(-1);
}

STDMETHODIMP_(DWORD) ClientMessageFilter::MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) {
  if (m_previous) return m_previous->MessagePending(callee, tickCount, pendingType);
  return PENDINGMSG_WAITDEFPROCESS;
}
