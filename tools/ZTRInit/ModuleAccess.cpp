// tools/ZTRInit/ModuleAccess.cpp - module operations as requests on one port's connection.
#include "ModuleAccess.h"

#include <objidl.h>

#include <new>

#include "ObexConnection.h"
#include "PhysicalConnection.h"
#include "Request.h"
#include "ResultCodes.h"

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

}  // namespace

CVKSAccess::CVKSAccess(const wchar_t* port, int baud) : m_baud(baud) {
  InitializeCriticalSection(&m_lock);
  SelectPort(port, false);
}

CVKSAccess::~CVKSAccess() {
  if (m_connection && m_connection->GetObex())
    m_connection->Disconnect(m_connection->GetObex()->GetConnectionId(), true);
  DeleteCriticalSection(&m_lock);
}

HRESULT CVKSAccess::SelectPort(const wchar_t* port, bool /*notify: no shell here*/) {
  if (!port) return E_POINTER;
  if (!*port) return E_INVALIDARG;
  EnterCriticalSection(&m_lock);
  HRESULT hr = S_OK;
  if (CompareText(port, m_portName, FALSE) != 0 || !m_connection) {
    lstrcpynW(m_portName, port, ARRAYSIZE(m_portName));
    CharUpperW(m_portName);
    m_connection = nullptr;
    m_volumeCount = 0;
    // A name the connection cannot keep is refused there, never cut into another port's.
    BSTR name = SysAllocString(m_portName);
    hr = name ? GetConnection(&m_connection, kTransportSerial, name, m_baud, false) : E_OUTOFMEMORY;
    SysFreeString(name);
  }
  LeaveCriticalSection(&m_lock);
  return hr;
}

HRESULT CVKSAccess::GetVolumeCount(short* count) {
  if (!count) return E_POINTER;
  *count = 0;
  const HRESULT selected = SelectPort(m_portName, false);
  if (FAILED(selected)) return selected;
  if (m_volumeCount) {
    *count = m_volumeCount;
    return S_OK;
  }
  if (!m_connection || !m_connection->GetObex()) return E_CONNECTION_LOST;
  WORD volumes = 0;
  HRESULT hr = m_connection->GetObex()->GetVolumeCount(&volumes);
  if (FAILED(hr)) {
    if (m_connection->IsConnected()) return hr;
    int id = 0;
    hr = m_connection->Connect(&id, 0);
    if (FAILED(hr)) return hr;
    hr = m_connection->GetObex()->GetVolumeCount(&volumes);
    if (FAILED(hr)) return hr;
  }
  m_volumeCount = static_cast<short>(volumes);
  *count = m_volumeCount;
  return S_OK;
}

bool CVKSAccess::IsValidDrive(wchar_t letter) {
  short count = 0;
  if (FAILED(GetVolumeCount(&count)) || count < 1 || count > 26) return false;
  if (!IsDriveLetter(letter)) return false;
  return Upper(letter) - L'A' < count;
}

HRESULT CVKSAccess::ValidateVolumeName(const wchar_t* text, CBstr* drive) {
  short count = 0;
  const HRESULT hr = GetVolumeCount(&count);
  if (FAILED(hr)) return hr;
  drive->Empty();
  if (!text) return S_OK;
  const size_t length = wcslen(text);
  bool valid;
  if (length == 2)
    valid = IsValidDrive(text[0]) && text[1] == L':';
  else if (length > 2)
    valid = (text[0] == L'\\' && IsValidDrive(text[1]) && text[2] == L':') ||
            (IsValidDrive(text[0]) && text[1] == L':');
  else
    valid = false;
  if (!valid) return E_INVALIDARG;
  *drive = GetDrivePart(CBstr(text));
  return S_OK;
}

HRESULT CVKSAccess::NormalizePath(const wchar_t* in, CBstr* out) {
  short count = 0;
  const HRESULT hr = GetVolumeCount(&count);
  if (FAILED(hr)) return hr;
  std::wstring p = in ? in : L"";
  const auto driveAt = [&](size_t at) {
    return p.size() > at + 1 && IsValidDrive(p[at]) && p[at + 1] == L':';
  };
  if (count == 1) {
    size_t skip = 0;
    if (p.size() > 0 && p[0] == L'\\' && driveAt(1)) skip = 3;
    else if (driveAt(0)) skip = 2;
    if (skip) {
      p.erase(0, skip);
      if (!p.empty() && p[0] != L'\\') p.insert(p.begin(), L'\\');
    }
  } else {
    if (!p.empty() && p[0] == L'\\' && driveAt(1)) p.erase(0, 1);
    if (p.size() > 2 && p[1] == L':' && p[2] != L'\\') p.insert(2, 1, L'\\');
    if (p.size() == 3 && p[1] == L':' && p[2] == L'\\') p.erase(2);
  }
  if (p.size() >= 2 && p[1] == L':') p[0] = Upper(p[0]);
  out->Assign(p.c_str());
  return S_OK;
}

bool CVKSAccess::IsValidPath(const CBstr& path, bool allowWildcards) {
  const UINT length = path.GetLength();
  if (length == 0) return false;
  short count = 0;
  if (FAILED(GetVolumeCount(&count))) return false;
  UINT names;
  if (count == 1) {
    if (path.GetAt(0) != L'\\') return false;
    names = 1;
  } else if (path.GetAt(0) == L'\\') {
    names = 1;
  } else if (length >= 2 && IsValidDrive(path.GetAt(0)) && path.GetAt(1) == L':') {
    if (length == 2) return true;
    if (path.GetAt(2) != L'\\') return false;
    names = 3;
  } else {
    return false;
  }
  if (path.GetAt(length - 1) == L'\\') return false;
  bool wildcard = false;
  for (UINT i = names; i < length; ++i) {
    const wchar_t c = path.GetAt(i);
    if (c == 0 || wcschr(L":|<>\"", c)) return false;
    if (c == L'*' || c == L'?') {
      if (!allowWildcards) return false;
      wildcard = true;
    }
    if (c == L'\\' && (wildcard || (i > 0 && path.GetAt(i - 1) == L'\\'))) return false;
  }
  return true;
}

HRESULT CVKSAccess::Execute(int type, const CBstr& path, IUnknown* content, LONG attributes) {
  Request* request = new (std::nothrow) Request(m_connection, type, m_volumeCount, 0);
  if (!request) return E_OUTOFMEMORY;
  request->SetPath(path);
  if (content) {
    content->AddRef();  // the worker releases it once read
    request->content = content;
  }
  request->attributes = attributes;
  return ExecuteRequest(request);
}

HRESULT CVKSAccess::PathRequest(int type, const wchar_t* path) {
  CBstr normal;
  const HRESULT hr = NormalizePath(path, &normal);
  if (FAILED(hr)) return hr;
  if (!IsValidPath(normal, false)) return E_INVALIDARG;
  return Execute(type, normal);
}

HRESULT CVKSAccess::CreateDir(const wchar_t* path) { return PathRequest(kRequestCreateDir, path); }

HRESULT CVKSAccess::Delete(const wchar_t* path) { return PathRequest(kRequestDelete, path); }

HRESULT CVKSAccess::Format(const wchar_t* volume) {
  CBstr drive;
  const HRESULT hr = ValidateVolumeName(volume, &drive);
  if (FAILED(hr)) return hr;
  return Execute(kRequestFormat, drive);
}

HRESULT CVKSAccess::PutFile(const wchar_t* path, IUnknown* content, LONG attributes) {
  CBstr normal;
  HRESULT hr = NormalizePath(path, &normal);
  if (FAILED(hr)) return hr;
  if (!IsValidPath(normal, false)) return E_INVALIDARG;
  if (!content) return E_NOINTERFACE;
  IStream* stream = nullptr;
  if (FAILED(content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream))))
    return E_NOINTERFACE;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    stream->Release();
    return E_INVALIDARG;
  }
  // In one process the stream (multithreaded) goes to the worker as it is.
  hr = Execute(kRequestPutFile, normal, stream, attributes);
  stream->Release();
  return hr;
}

void CVKSAccess::ReleaseConnection() {
  EnterCriticalSection(&m_lock);
  if (m_connection) {
    // The module goes back to command mode now, not when an idle timer would have.
    if (ObexConnection* obex = m_connection->GetObex())
      if (m_connection->IsConnected()) m_connection->Disconnect(obex->GetConnectionId(), true);
    RemoveConnection(m_connection);
    m_connection = nullptr;
  }
  LeaveCriticalSection(&m_lock);
}
