// core/VKSFileStream.cpp - read-only IStream over a PC file.
#include "VKSFileStream.h"

#include <new>

HRESULT SeekFile(HANDLE file, LONGLONG move, DWORD method, ULONGLONG* position) {
  LONG high = static_cast<LONG>(move >> 32);
  SetLastError(0);
  const DWORD low = SetFilePointer(file, static_cast<LONG>(move & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER) {
    const DWORD error = GetLastError();
    if (error != 0) return HRESULT_FROM_WIN32(error);
  }
  if (position) *position = (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
  return S_OK;
}

HRESULT VKSFileStream::Create(const wchar_t* fileName, VKSFileStream** stream) {
  if (!stream) return E_POINTER;
  *stream = nullptr;
  VKSFileStream* fresh = new (std::nothrow) VKSFileStream;
  if (!fresh) return E_OUTOFMEMORY;
  const HRESULT hr = fresh->Open(fileName);
  if (FAILED(hr)) {
    fresh->Release();
    return hr;
  }
  *stream = fresh;
  return hr;
}

STDMETHODIMP VKSFileStream::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) ||
      IsEqualIID(riid, IID_ISequentialStream))
    *ppv = static_cast<IStream*>(this);
  else if (IsEqualIID(riid, IID_ISupportErrorInfo))
    *ppv = static_cast<ISupportErrorInfo*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT VKSFileStream::Open(const wchar_t* fileName) {
  m_fileName.Assign(fileName);
  m_file.Close();
  m_file.Attach(CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!m_file.IsValid()) return ReportError(HrFromWin32Bool(FALSE));
  return S_OK;
}

STDMETHODIMP VKSFileStream::Read(void* buffer, ULONG count, ULONG* read) {
  if (!buffer && count != 0) return ReportError(E_POINTER);
  DWORD got = 0;
  if (!ReadFile(m_file, buffer, count, &got, nullptr)) {
    if (read) *read = 0;
    return ReportError(HrFromWin32Bool(FALSE));
  }
  if (read) *read = got;
  return S_OK;
}

STDMETHODIMP VKSFileStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  DWORD method;
  switch (origin) {
    case STREAM_SEEK_SET: method = FILE_BEGIN; break;
    case STREAM_SEEK_CUR: method = FILE_CURRENT; break;
    case STREAM_SEEK_END: method = FILE_END; break;
    default: return ReportError(E_INVALIDARG);
  }
  ULONGLONG now = 0;
  const HRESULT hr = SeekFile(m_file, move.QuadPart, method, &now);
  if (FAILED(hr)) return ReportError(hr);
  if (position) position->QuadPart = now;
  return S_OK;
}

STDMETHODIMP VKSFileStream::Stat(STATSTG* stat, DWORD flags) {
  if (!stat) return ReportError(E_POINTER);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(m_file, &info)) return ReportError(HrFromWin32Bool(FALSE));
  *stat = STATSTG{};
  if (!(flags & STATFLAG_NONAME)) {
    const wchar_t* whole = m_fileName.GetBstr() ? m_fileName.GetBstr() : L"";
    const wchar_t* name = whole;
    for (const wchar_t* p = whole; *p; ++p)
      if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
    const size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
    stat->pwcsName = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!stat->pwcsName) return ReportError(E_OUTOFMEMORY);
    memcpy(stat->pwcsName, name, bytes);
  }
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stat->mtime = info.ftLastWriteTime;
  stat->ctime = info.ftCreationTime;
  stat->atime = info.ftLastAccessTime;
  stat->grfMode = STGM_SHARE_DENY_NONE;
  return S_OK;
}
