// link/BackgroundCall.h - one call at a time on a worker thread of its own, so
// that the caller can do other work (read the next packet's data) while it
// runs (a packet on the line).
#pragma once
#include <windows.h>

#include <functional>

class CBackgroundCall {
public:
  CBackgroundCall() = default;
  ~CBackgroundCall();
  CBackgroundCall(const CBackgroundCall&) = delete;
  CBackgroundCall& operator=(const CBackgroundCall&) = delete;

  // Runs work on the worker (started with the first call); without a worker
  // it runs here, at once. Every Start is followed by one Wait.
  void Start(std::function<HRESULT()> work);
  // The result of the started work, once it has ended.
  HRESULT Wait();

private:
  static DWORD WINAPI Main(void* self);
  bool EnsureWorker();

  std::function<HRESULT()> m_work;
  HRESULT m_result = S_OK;
  bool m_stop = false;
  HANDLE m_thread = nullptr;
  HANDLE m_go = nullptr;    // auto-reset: work is there (or stop)
  HANDLE m_done = nullptr;  // auto-reset: the work has ended
  bool m_pending = false;  // started on the worker, not yet waited for
};
