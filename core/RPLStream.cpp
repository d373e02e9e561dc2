// core/RPLStream.cpp - stream base, memory and download sources, the GetFile stream.
#include "RPLStream.h"

#include <algorithm>
#include <new>

#include "CriticalSection.h"
#include "MessageWait.h"
#include "ResultCodes.h"
#include "ResultData.h"

const IID IID_IPriority = {0x70AD1501, 0xAD95, 0x11D3, {0xA2, 0x71, 0x00, 0x10, 0x5A, 0x3B, 0x32, 0x5A}};

// ---- RPLStream ----

HRESULT RPLStream::ReportError(HRESULT result) {
  if (FAILED(result)) {
    ResultData data;
    data.SetResult(result);
    data.SetErrorInfo(GUID_NULL, IID_IStream);
  }
  return result;
}

STDMETHODIMP RPLStream::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_IStream) ? S_OK : S_FALSE;
}
STDMETHODIMP RPLStream::Write(const void*, ULONG, ULONG* written) {
  if (written) *written = 0;
  return ReportError(E_NOTIMPL);
}
STDMETHODIMP RPLStream::SetSize(ULARGE_INTEGER) { return ReportError(E_NOTIMPL); }
STDMETHODIMP RPLStream::Commit(DWORD) { return ReportError(E_NOTIMPL); }
STDMETHODIMP RPLStream::Revert() { return ReportError(E_NOTIMPL); }
STDMETHODIMP RPLStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return ReportError(E_NOTIMPL); }
STDMETHODIMP RPLStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return ReportError(E_NOTIMPL); }
STDMETHODIMP RPLStream::Clone(IStream** clone) {
  if (clone) *clone = nullptr;
  return ReportError(E_NOTIMPL);
}

STDMETHODIMP RPLStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                               ULARGE_INTEGER* written) {
  if (read) read->QuadPart = 0;
  if (written) written->QuadPart = 0;
  if (!target) return ReportError(E_POINTER);
  BYTE block[4096];
  ULONGLONG totalRead = 0, totalWritten = 0;
  HRESULT hr = S_OK;
  while (totalRead < count.QuadPart) {
    const ULONG want = static_cast<ULONG>(std::min<ULONGLONG>(count.QuadPart - totalRead, sizeof block));
    ULONG got = 0;
    hr = Read(block, want, &got);  // reports its own failure
    if (FAILED(hr)) break;
    totalRead += got;
    if (got == 0) break;
    ULONG put = 0;
    hr = target->Write(block, got, &put);
    if (FAILED(hr)) {
      ReportError(hr);
      break;
    }
    totalWritten += put;
    if (put < got) {
      hr = ReportError(STG_E_MEDIUMFULL);
      break;
    }
  }
  if (read) read->QuadPart = totalRead;
  if (written) written->QuadPart = totalWritten;
  return FAILED(hr) ? hr : S_OK;
}

// ---- StreamSource ----

StreamSource::StreamSource() = default;

StreamSource::~StreamSource() { CoTaskMemFree(m_info.pwcsName); }

void StreamSource::AddRef() {
  CLockScope lock(GetTransferLock());
  ++m_refCount;
}

void StreamSource::Release() {
  CLockScope lock(GetTransferLock());
  if (--m_refCount == 0) delete this;  // an InputSource cancels its transfer under this lock
}

HRESULT StreamSource::StatRecord(STATSTG* stat, DWORD flag) const {
  if (!stat) return E_POINTER;
  if (!m_hasInfo) return E_UNEXPECTED;
  *stat = m_info;
  stat->pwcsName = nullptr;
  if (flag & STATFLAG_NONAME) return S_OK;
  const wchar_t* name = m_info.pwcsName ? m_info.pwcsName : L"";
  const size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
  stat->pwcsName = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (!stat->pwcsName) return E_OUTOFMEMORY;
  memcpy(stat->pwcsName, name, bytes);
  return S_OK;
}

HRESULT StreamSource::Stat(STATSTG* stat, DWORD flag) {
  CLockScope lock(GetTransferLock());
  return StatRecord(stat, flag);
}

// ---- MemorySource ----

HRESULT MemorySource::Append(const BYTE* data, DWORD length) {
  if (!length) return S_OK;
  if (!data) return E_POINTER;
  if (!m_chunks.empty()) {
    Chunk& last = m_chunks.back();
    if (last.used < kMinChunk && last.used < last.capacity) {
      const DWORD room = std::min(last.capacity, kMinChunk) - last.used;
      const DWORD fill = std::min(room, length);
      memcpy(last.data.get() + last.used, data, fill);
      last.used += fill;
      m_total += fill;
      data += fill;
      length -= fill;
    }
  }
  if (!length) return S_OK;
  Chunk chunk;
  chunk.capacity = std::max(length, kMinChunk);
  chunk.data.reset(new (std::nothrow) BYTE[chunk.capacity]);
  if (!chunk.data) return E_OUTOFMEMORY;
  memcpy(chunk.data.get(), data, length);
  chunk.used = length;
  chunk.start = m_total;
  try {
    m_chunks.push_back(std::move(chunk));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  m_total += length;
  return S_OK;
}

WORD MemorySource::Crc16() const {
  WORD crc = 0;
  for (const Chunk& chunk : m_chunks) crc = Crc16Update(chunk.data.get(), chunk.used, crc);
  return crc;
}

HRESULT MemorySource::CopyOut(BYTE* buffer, ULONGLONG offset, ULONG count, ULONG* read) {
  *read = 0;
  ULONGLONG end = m_total;
  if (m_hasInfo && m_info.cbSize.QuadPart && m_info.cbSize.QuadPart < end) end = m_info.cbSize.QuadPart;
  if (offset >= end || m_chunks.empty()) return S_OK;
  ULONG todo = static_cast<ULONG>(std::min<ULONGLONG>(end - offset, count));
  if (m_cursor >= m_chunks.size()) m_cursor = 0;
  while (m_cursor > 0 && m_chunks[m_cursor].start > offset) --m_cursor;
  while (m_cursor + 1 < m_chunks.size() && m_chunks[m_cursor].start + m_chunks[m_cursor].used <= offset)
    ++m_cursor;
  while (todo && m_cursor < m_chunks.size()) {
    const Chunk& chunk = m_chunks[m_cursor];
    const DWORD inChunk = static_cast<DWORD>(offset - chunk.start);
    const ULONG take = std::min<ULONG>(todo, chunk.used - inChunk);
    memcpy(buffer + *read, chunk.data.get() + inChunk, take);
    *read += take;
    offset += take;
    todo -= take;
    if (todo) ++m_cursor;
  }
  return S_OK;
}

HRESULT MemorySource::Read(void* buffer, ULONGLONG offset, ULONG count, ULONG* read) {
  ULONG got = 0;
  if (read) *read = 0;
  if (!count) return S_OK;
  if (!buffer) return E_POINTER;
  CLockScope lock(GetTransferLock());
  HRESULT hr = CopyOut(static_cast<BYTE*>(buffer), offset, count, &got);
  if (read) *read = got;
  return hr;
}

// ---- InputSource ----

InputSource::InputSource() : m_dataEvent(CEvent::Kind::ManualReset) {}

InputSource::~InputSource() {
  CLockScope lock(GetTransferLock());
  if (m_cancelled) *m_cancelled = 1;  // the request stops touching us from here on
  m_cancelled = nullptr;
}

void InputSource::SetCancelFlagAddress(int* cancelled) {
  CLockScope lock(GetTransferLock());
  m_cancelled = cancelled;
  if (m_cancelled) *m_cancelled = 0;
}

HRESULT InputSource::SetFileInfo(STATSTG* info) {
  CLockScope lock(GetTransferLock());
  if (!info) return E_POINTER;
  if (Cancelled()) {
    CoTaskMemFree(info->pwcsName);
    info->pwcsName = nullptr;
    return E_TRANSFER_CANCELLED;
  }
  CoTaskMemFree(m_info.pwcsName);
  m_info = *info;
  info->pwcsName = nullptr;
  m_hasInfo = true;
  m_sizeKnown = m_info.cbSize.QuadPart != 0;
  m_dataEvent.Set();
  return S_OK;
}

HRESULT InputSource::AppendData(const BYTE* data, DWORD length) {
  CLockScope lock(GetTransferLock());
  if (Cancelled()) return E_TRANSFER_CANCELLED;
  if (m_complete) return E_UNEXPECTED;
  if (m_sizeKnown && m_total + length > m_info.cbSize.QuadPart) return E_UNEXPECTED;
  const HRESULT hr = Append(data, length);
  m_dataEvent.Set();
  return hr;
}

void InputSource::SetError(HRESULT failure) {
  CLockScope lock(GetTransferLock());
  if (Cancelled() || SUCCEEDED(failure)) return;
  m_failure = failure;
  m_dataEvent.Set();
}

void InputSource::Complete() {
  CLockScope lock(GetTransferLock());
  if (Cancelled()) return;
  m_cancelled = nullptr;
  if (SUCCEEDED(m_failure)) {
    if (!m_hasInfo || (m_sizeKnown && m_info.cbSize.QuadPart != m_total)) {
      m_failure = E_UNEXPECTED;
    } else {
      if (!m_info.cbSize.QuadPart) m_info.cbSize.QuadPart = m_total;
      m_complete = true;
    }
  }
  m_dataEvent.Set();
}

void InputSource::GetProgress(ULONGLONG* size, ULONGLONG* received) {
  CLockScope lock(GetTransferLock());
  if (size) *size = m_sizeKnown ? m_info.cbSize.QuadPart : 0;
  if (received) *received = m_total;
}

void InputSource::GetResumePoint(ULONGLONG* size, ULONGLONG* received, WORD* crc) {
  CLockScope lock(GetTransferLock());
  if (size) *size = m_info.cbSize.QuadPart;
  if (received) *received = m_total;
  if (crc) *crc = Crc16();
}

template <class Ready> HRESULT InputSource::WaitLocked(Ready ready) {
  CCriticalSection& lock = GetTransferLock();
  lock.Enter();
  for (;;) {
    if (FAILED(m_failure)) return m_failure;
    if (ready()) return S_OK;
    m_dataEvent.Reset();
    lock.Leave();
    WaitWithMessageLoop(m_dataEvent, INFINITE);
    lock.Enter();
  }
}

HRESULT InputSource::Read(void* buffer, ULONGLONG offset, ULONG count, ULONG* read) {
  if (read) *read = 0;
  if (!count || offset + count < offset) return S_OK;
  if (!buffer) return E_POINTER;
  const ULONGLONG want = offset + count;
  HRESULT hr = WaitLocked([&] {
    if (m_complete) return true;
    return m_sizeKnown && m_total >= std::min<ULONGLONG>(m_info.cbSize.QuadPart, want);
  });
  ULONG got = 0;
  if (SUCCEEDED(hr)) hr = CopyOut(static_cast<BYTE*>(buffer), offset, count, &got);
  if (SUCCEEDED(hr) && offset + got >= m_info.cbSize.QuadPart) m_endReached = true;
  GetTransferLock().Leave();
  if (read) *read = got;
  return hr;
}

HRESULT InputSource::Stat(STATSTG* stat, DWORD flag) {
  if (!stat) return E_POINTER;
  HRESULT hr = WaitLocked([&] { return m_hasInfo && (m_sizeKnown || m_complete); });
  if (SUCCEEDED(hr)) hr = StatRecord(stat, flag);
  GetTransferLock().Leave();
  return hr;
}

int InputSource::GetState() {
  CLockScope lock(GetTransferLock());
  if (FAILED(m_failure)) return 2;
  if (!m_hasInfo) return 0;
  if (m_sizeKnown && m_total < m_info.cbSize.QuadPart) return 1;
  if (m_sizeKnown || m_complete) return 2;
  return 1;
}

// ---- RPLCloneableStream and RPLInputStream ----

RPLCloneableStream::RPLCloneableStream(StreamSource* source, ULONGLONG position)
    : m_source(source), m_position(position) {
  m_source->AddRef();
}

RPLCloneableStream::~RPLCloneableStream() { m_source->Release(); }

STDMETHODIMP RPLCloneableStream::Read(void* buffer, ULONG count, ULONG* read) {
  ULONG got = 0;
  const HRESULT hr = m_source->Read(buffer, m_position, count, &got);
  if (SUCCEEDED(hr)) m_position += got;
  if (read) *read = SUCCEEDED(hr) ? got : 0;
  return ReportError(hr);
}

STDMETHODIMP RPLCloneableStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  ULONGLONG base = m_position;
  if (origin == STREAM_SEEK_SET) {
    base = 0;
  } else if (origin == STREAM_SEEK_END) {
    STATSTG stat{};
    const HRESULT hr = m_source->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return ReportError(hr);
    base = stat.cbSize.QuadPart;
  }
  const LONGLONG delta = move.QuadPart;
  if (delta < 0 ? static_cast<ULONGLONG>(-(delta + 1)) + 1 > base
                : static_cast<ULONGLONG>(delta) > ~0ull - base)
    return ReportError(E_INVALIDARG);
  m_position = base + static_cast<ULONGLONG>(delta);
  if (position) position->QuadPart = m_position;
  return S_OK;
}

STDMETHODIMP RPLCloneableStream::Stat(STATSTG* stat, DWORD flag) {
  return ReportError(m_source->Stat(stat, flag));
}

HRESULT RPLInputStream::Create(StreamSource* source, ULONGLONG position, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!source) return E_INVALIDARG;
  RPLInputStream* stream = new (std::nothrow) RPLInputStream(source, position);
  if (!stream) return E_OUTOFMEMORY;
  const HRESULT hr = stream->QueryInterface(riid, out);
  stream->Release();
  return hr;
}

STDMETHODIMP RPLInputStream::Clone(IStream** clone) {
  if (!clone) return ReportError(E_POINTER);
  *clone = nullptr;
  return ReportError(Create(m_source, m_position, IID_IStream, reinterpret_cast<void**>(clone)));
}

int STDMETHODCALLTYPE RPLInputStream::GetPriority() { return m_source->GetState(); }
