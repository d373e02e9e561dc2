// transfers/RPLProgressStream.cpp - chunked reads with progress and cancel.
#include "RPLProgressStream.h"
#include <algorithm>
#include <new>
#include "ResultCodes.h"

HRESULT RPLProgressStream::Create(RPLProgressStream** stream) {
  if (!stream) return E_POINTER;
  *stream = new (std::nothrow) RPLProgressStream();
  return *stream ? S_OK : E_OUTOFMEMORY;
}

HRESULT RPLProgressStream::Init(IStream* source, ProgressDialog* progress, ULONGLONG weight,
                                DWORD* cancelFlag, BOOL pump) {
  if (!source) return E_POINTER;
  STATSTG stat = {};
  HRESULT hr = source->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(hr)) {
    m_size = stat.cbSize.QuadPart;
  } else {
    // No Stat: measure by seeking to the end and back.
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER here = {}, end = {};
    RETURN_IF_FAILED(source->Seek(zero, STREAM_SEEK_CUR, &here));
    RETURN_IF_FAILED(source->Seek(zero, STREAM_SEEK_END, &end));
    LARGE_INTEGER back;
    back.QuadPart = static_cast<LONGLONG>(here.QuadPart);
    RETURN_IF_FAILED(source->Seek(back, STREAM_SEEK_SET, nullptr));
    m_size = end.QuadPart;
  }
  source->AddRef();
  m_source.Attach(source);
  m_progress = progress;
  m_weight = weight;
  m_cancelFlag = cancelFlag;
  m_pump = pump;
  m_position = 0;
  m_bufferPosition = 0;
  m_bufferFill = 0;
  return S_OK;
}

void RPLProgressStream::PumpMessages() const {
  const HWND dialog = m_progress ? m_progress->GetWindow() : nullptr;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog && IsDialogMessageW(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

STDMETHODIMP RPLProgressStream::Read(void* buffer, ULONG count, ULONG* read) {
  if (!buffer && count != 0) return ReportError(E_POINTER);
  if (!m_source) return E_UNEXPECTED;
  if (read) *read = 0;
  BYTE* out = static_cast<BYTE*>(buffer);
  ULONG handed = 0;
  while (handed < count) {
    if (m_pump) PumpMessages();
    if (m_cancelFlag && *m_cancelFlag) return E_TRANSFER_CANCELLED;
    if (m_bufferPosition >= m_bufferFill) {
      m_bufferPosition = 0;
      m_bufferFill = 0;
      ULONG got = 0;
      const HRESULT hr = m_source->Read(m_buffer, kChunk, &got);
      if (FAILED(hr)) return hr;
      if (got == 0) return S_OK;
      m_bufferFill = got;
      m_position += got;
      if (m_progress) m_progress->Update(m_position, m_size, m_weight);
    }
    const ULONG take = std::min(count - handed, m_bufferFill - m_bufferPosition);
    memcpy(out + handed, m_buffer + m_bufferPosition, take);
    m_bufferPosition += take;
    handed += take;
    if (read) *read = handed;
  }
  return S_OK;
}

STDMETHODIMP RPLProgressStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  if (!m_source) return E_UNEXPECTED;
  if (origin == STREAM_SEEK_CUR) move.QuadPart -= m_bufferFill - m_bufferPosition;
  m_bufferPosition = 0;
  m_bufferFill = 0;
  ULARGE_INTEGER now = {};
  const HRESULT hr = m_source->Seek(move, origin, &now);
  if (FAILED(hr)) return hr;
  m_position = now.QuadPart;
  if (position) *position = now;
  return S_OK;
}

STDMETHODIMP RPLProgressStream::Stat(STATSTG* stat, DWORD flag) {
  return m_source ? m_source->Stat(stat, flag) : E_UNEXPECTED;
}
