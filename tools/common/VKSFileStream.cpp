// tools/common/VKSFileStream.cpp - read-only IStream over a PC file.
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

VKSFileStream::~VKSFileStream() {
  if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

// The system's text of the failure becomes the thread's error object.
HRESULT VKSFileStream::ReportError(HRESULT result) {
  if (SUCCEEDED(result)) return result;
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return result;
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0,
                 nullptr);
  create->SetGUID(IID_IStream);
  if (text) create->SetDescription(text);
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  if (text) LocalFree(text);
  return result;
}

HRESULT VKSFileStream::Open(const wchar_t* fileName) {
  m_fileName.Assign(fileName);
  if (m_file != INVALID_HANDLE_VALUE) {
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
  }
  m_file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  if (m_file == INVALID_HANDLE_VALUE) return ReportError(HrFromWin32Bool(FALSE));
  return S_OK;
}

STDMETHODIMP VKSFileStream::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_IStream) ? S_OK : S_FALSE;
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

STDMETHODIMP VKSFileStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                   ULARGE_INTEGER* written) {
  if (!target) return ReportError(E_POINTER);
  ULONGLONG totalRead = 0, totalWritten = 0;
  if (read) read->QuadPart = 0;
  if (written) written->QuadPart = 0;
  BYTE block[4096];
  HRESULT hr = S_OK;
  while (totalRead < count.QuadPart) {
    const ULONGLONG left = count.QuadPart - totalRead;
    ULONG got = 0;
    hr = Read(block, left < sizeof block ? static_cast<ULONG>(left) : sizeof block, &got);
    if (FAILED(hr)) break;
    totalRead += got;
    if (got == 0) break;
    ULONG put = 0;
    hr = target->Write(block, got, &put);
    if (FAILED(hr)) {
      hr = ReportError(hr);
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
  return hr;
}

STDMETHODIMP VKSFileStream::Write(const void*, ULONG, ULONG*) { return ReportError(E_NOTIMPL); }
STDMETHODIMP VKSFileStream::SetSize(ULARGE_INTEGER) { return ReportError(E_NOTIMPL); }
STDMETHODIMP VKSFileStream::Commit(DWORD) { return ReportError(E_NOTIMPL); }
STDMETHODIMP VKSFileStream::Revert() { return ReportError(E_NOTIMPL); }
STDMETHODIMP VKSFileStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return ReportError(E_NOTIMPL);
}
STDMETHODIMP VKSFileStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return ReportError(E_NOTIMPL);
}
STDMETHODIMP VKSFileStream::Clone(IStream**) { return ReportError(E_NOTIMPL); }
