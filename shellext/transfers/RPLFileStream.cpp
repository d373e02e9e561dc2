// transfers/RPLFileStream.cpp - a PC file read as a stream, for PutFile.
#include "RPLFileStream.h"
#include <new>

namespace {
HRESULT LastErrorResult() { return HRESULT_FROM_WIN32(GetLastError()); }
}  // namespace

HRESULT SeekFile(HANDLE file, LONGLONG move, DWORD method, ULONGLONG* position) {
  LARGE_INTEGER distance;
  distance.QuadPart = move;
  SetLastError(0);
  const DWORD low = SetFilePointer(file, static_cast<LONG>(distance.LowPart), &distance.HighPart, method);
  if (low == INVALID_SET_FILE_POINTER) {
    const DWORD error = GetLastError();
    if (error != 0) return HRESULT_FROM_WIN32(error);
  }
  distance.LowPart = low;
  if (position) *position = static_cast<ULONGLONG>(distance.QuadPart);
  return S_OK;
}

HRESULT RPLFileStream::Create(RPLFileStream** stream) {
  if (!stream) return E_POINTER;
  *stream = new (std::nothrow) RPLFileStream();
  return *stream ? S_OK : E_OUTOFMEMORY;
}

RPLFileStream::~RPLFileStream() {
  if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

HRESULT RPLFileStream::Open(const wchar_t* path) {
  m_path.Assign(path);
  m_file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (m_file == INVALID_HANDLE_VALUE) return ReportError(LastErrorResult());
  return S_OK;
}

STDMETHODIMP RPLFileStream::Read(void* buffer, ULONG count, ULONG* read) {
  if (!buffer && count != 0) return ReportError(E_POINTER);
  DWORD done = 0;
  if (!ReadFile(m_file, buffer, count, &done, nullptr)) {
    const HRESULT hr = LastErrorResult();
    if (read) *read = 0;
    return ReportError(hr);
  }
  if (read) *read = done;
  return S_OK;
}

STDMETHODIMP RPLFileStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  static const DWORD kMethods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  if (origin > STREAM_SEEK_END) return ReportError(E_INVALIDARG);
  ULONGLONG now = 0;
  const HRESULT hr = SeekFile(m_file, move.QuadPart, kMethods[origin], &now);
  if (FAILED(hr)) return ReportError(hr);
  if (position) position->QuadPart = now;
  return S_OK;
}

STDMETHODIMP RPLFileStream::Stat(STATSTG* stat, DWORD flag) {
  if (!stat) return ReportError(E_POINTER);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(m_file, &info)) return ReportError(LastErrorResult());
  ZeroMemory(stat, sizeof(*stat));
  if (!(flag & STATFLAG_NONAME)) {
    const CBstr name = GetNamePart(m_path);
    const size_t bytes = (name.GetLength() + 1) * sizeof(wchar_t);
    stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!stat->pwcsName) return ReportError(E_OUTOFMEMORY);
    memcpy(stat->pwcsName, name.GetBstr() ? name.GetBstr() : L"", bytes);
  }
  stat->type = STGTY_STREAM;
  stat->cbSize.LowPart = info.nFileSizeLow;
  stat->cbSize.HighPart = info.nFileSizeHigh;
  stat->mtime = info.ftLastWriteTime;
  stat->ctime = info.ftCreationTime;
  stat->atime = info.ftLastAccessTime;
  stat->grfMode = STGM_SHARE_DENY_NONE;
  return S_OK;
}

// Unlike a fresh open, the clone starts where this stream stands: IStream's
// Clone promises the same seek pointer.
STDMETHODIMP RPLFileStream::Clone(IStream** clone) {
  if (!clone) return ReportError(E_POINTER);
  *clone = nullptr;
  RPLFileStream* copy = nullptr;
  if (FAILED(Create(&copy))) return ReportError(E_OUTOFMEMORY);
  HRESULT hr = copy->Open(m_path.GetBstr());
  ULONGLONG here = 0;
  if (SUCCEEDED(hr)) hr = SeekFile(m_file, 0, FILE_CURRENT, &here);
  if (SUCCEEDED(hr)) hr = SeekFile(copy->m_file, static_cast<LONGLONG>(here), FILE_BEGIN, nullptr);
  if (SUCCEEDED(hr)) hr = copy->QueryInterface(IID_IStream, reinterpret_cast<void**>(clone));
  copy->Release();
  return FAILED(hr) ? ReportError(hr) : S_OK;
}
