// namespace/MessageFilter.h - one OLE initialisation and one message filter per
// thread, shared and counted by every user on it, so that a call the server
// rejects as busy is retried instead of failing.
#pragma once
#include <windows.h>
#include <objidl.h>

// The thread-local slot, allocated at load and freed at unload.
HRESULT AllocFilterSlot();
void FreeFilterSlot();

// Call before the first server call on the thread; balance with exactly one
// release on the same thread. S_FALSE when there is no slot: nothing is
// installed then (a filter nobody can find would outlive the library).
HRESULT AcquireThreadMessageFilter();
void ReleaseThreadMessageFilter();

// The thread's filter, or null (for tests).
IMessageFilter* ThreadMessageFilter();

// Retries a rejected call after 250 ms when the callee asks to retry later;
// everything else goes to the filter that was there before.
class ClientMessageFilter final : public IMessageFilter {
public:
  ClientMessageFilter() = default;
  ClientMessageFilter(const ClientMessageFilter&) = delete;
  ClientMessageFilter& operator=(const ClientMessageFilter&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP_(DWORD) HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                          LPINTERFACEINFO info) override;
  STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK callee, DWORD tickCount, DWORD rejectType) override;
  STDMETHODIMP_(DWORD) MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;

private:
  friend HRESULT AcquireThreadMessageFilter();
  friend void ReleaseThreadMessageFilter();
  ~ClientMessageFilter();

  // Not counted in the library's lock: the filter must not keep it loaded.
  volatile LONG m_refCount = 1;
  IMessageFilter* m_previous = nullptr;
  LONG m_useCount = 0;
  BOOL m_oleInitialised = FALSE;
};
