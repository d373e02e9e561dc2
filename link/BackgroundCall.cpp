// link/BackgroundCall.cpp - one call at a time on a worker thread.
#include "BackgroundCall.h"

CBackgroundCall::~CBackgroundCall() {
  if (m_thread) {
    m_stop = true;
    SetEvent(m_go);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
  }
  if (m_go) CloseHandle(m_go);
  if (m_done) CloseHandle(m_done);
}

bool CBackgroundCall::EnsureWorker() {
  if (m_thread) return true;
  if (!m_go) m_go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_done) m_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_go || !m_done) return false;
  m_thread = CreateThread(nullptr, 0, &CBackgroundCall::Main, this, 0, nullptr);
  return m_thread != nullptr;
}

void CBackgroundCall::Start(std::function<HRESULT()> work) {
  Wait();
  if (!EnsureWorker()) {
    m_result = work();
    return;
  }
  m_work = std::move(work);
  m_pending = true;
  SetEvent(m_go);
}

HRESULT CBackgroundCall::Wait() {
  if (m_pending) WaitForSingleObject(m_done, INFINITE);
  m_pending = false;
  m_work = nullptr;
  return m_result;
}

DWORD WINAPI CBackgroundCall::Main(void* self) {
  auto* call = static_cast<CBackgroundCall*>(self);
  for (;;) {
    WaitForSingleObject(call->m_go, INFINITE);
    if (call->m_stop) return 0;
    call->m_result = call->m_work();
    SetEvent(call->m_done);
  }
}
