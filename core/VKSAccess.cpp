// core/VKSAccess.cpp - the module access layer: port, paths, one request per operation.
#include "VKSAccess.h"

#include <climits>
#include <new>
#include <set>
#include <string>

#include "CriticalSection.h"
#include "ObexConnection.h"
#include "PhysicalConnection.h"
#include "RPLStream.h"
#include "Request.h"
#include "ResultCodes.h"

namespace {

PortChangeHook g_portChangeHook = nullptr;

// One lock for every access object: selecting a port may destroy the
// connection another object holds (one connection at a time), so reading a
// connection and queueing on it happen under the same lock as replacing it.
// Made once and never deleted: no destructor at exit deletes a lock that
// another thread may still hold.
CCriticalSection& AccessLock() {
  static CCriticalSection* lock = new CCriticalSection;
  return *lock;
}
// Every live access object, so that none keeps a connection the map destroyed.
std::set<CVKSAccess*>& Registry() {
  static std::set<CVKSAccess*> registry;
  return registry;
}

bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// The contract's 32-bit size fields: what the module reports unsigned does not
// turn negative.
LONG ClampToLong(LONG moduleValue) { return moduleValue < 0 ? LONG_MAX : moduleValue; }
double Unsigned(LONG moduleValue) { return static_cast<double>(static_cast<DWORD>(moduleValue)); }

}  // namespace

void SetPortChangeHook(PortChangeHook hook) { g_portChangeHook = hook; }

CVKSAccess::CVKSAccess(const wchar_t* port, int baudRate)
    : portName{}, baud(baudRate), volumeCount(0), connection(nullptr) {
  {
    CLockScope scope(AccessLock());
    Registry().insert(this);
  }
  if (port) SelectPort(port, false);
}

CVKSAccess::~CVKSAccess() {
  CLockScope scope(AccessLock());
  Registry().erase(this);
  Detach();
}

void CVKSAccess::Detach() {
  CLockScope scope(AccessLock());
  if (connection && connection->GetObex()) {
    const int id = connection->GetObex()->GetConnectionId();
    if (id) connection->Disconnect(id, true);
  }
  connection = nullptr;
  volumeCount = 0;
}

void CVKSAccess::CloseAllAccess() {
  CLockScope scope(AccessLock());
  for (CVKSAccess* access : Registry()) access->Detach();
  CloseAllConnections();
}

HRESULT CVKSAccess::OpenConnection(const wchar_t* port, int baudRate, CPhysicalConnection** out) {
  *out = nullptr;
  BSTR name = SysAllocString(port);
  if (!name) return E_OUTOFMEMORY;
  // A name longer than a connection keeps is refused there.
  const HRESULT hr = GetConnection(out, kTransportSerial, name, baudRate);
  SysFreeString(name);
  // Getting a connection for another port destroyed the old one.
  for (CVKSAccess* access : Registry()) {
    if (access->connection && access->connection != *out) {
      access->connection = nullptr;
      access->volumeCount = 0;
    }
  }
  return hr;
}

HRESULT CVKSAccess::QueryModel(const wchar_t* port, int baudRate, CBstr* model) {
  if (!port || !model) return E_POINTER;
  Request* request = nullptr;
  {
    CLockScope scope(AccessLock());
    CPhysicalConnection* link = nullptr;
    RETURN_IF_FAILED(OpenConnection(port, baudRate, &link));
    request = new (std::nothrow) Request(link, kRequestGetMobileModel, 0, 0);
    if (!request || !request->done) {
      delete request;
      return E_OUTOFMEMORY;
    }
    SubmitRequest(request);
  }
  WaitForRequest(request);
  if (SUCCEEDED(request->GetResult())) *model = request->text;
  return FinishRequest(request);
}

CBstr CVKSAccess::GetPortName() {
  CLockScope scope(AccessLock());
  return CBstr(portName);
}

HRESULT CVKSAccess::SelectPort(const wchar_t* port, bool notify) {
  if (!port) return E_POINTER;
  if (!*port) return E_INVALIDARG;
  CLockScope scope(AccessLock());
  if (connection && CompareText(port, portName, FALSE) == 0) return S_OK;
  lstrcpynW(portName, port, ARRAYSIZE(portName));
  CharUpperW(portName);
  connection = nullptr;
  volumeCount = 0;
  CPhysicalConnection* fresh = nullptr;
  const HRESULT hr = OpenConnection(portName, baud, &fresh);
  connection = fresh;
  if (SUCCEEDED(hr) && notify && g_portChangeHook) g_portChangeHook();
  return hr;
}

HRESULT CVKSAccess::GetVolumeCount(short* count) {
  if (!count) return E_POINTER;
  *count = 0;
  CLockScope scope(AccessLock());
  if (!portName[0]) return E_CONNECTION_LOST;
  wchar_t port[32];
  lstrcpynW(port, portName, ARRAYSIZE(port));
  RETURN_IF_FAILED(SelectPort(port, false));
  if (volumeCount) {
    *count = volumeCount;
    return S_OK;
  }
  if (!connection || !connection->GetObex()) return E_CONNECTION_LOST;
  WORD answer = 0;
  HRESULT hr = connection->GetObex()->GetVolumeCount(&answer);
  if (FAILED(hr)) {
    if (connection->IsConnected()) return hr;
    int id = 0;
    RETURN_IF_FAILED(connection->Connect(&id, 0));
    RETURN_IF_FAILED(connection->GetObex()->GetVolumeCount(&answer));
  }
  volumeCount = static_cast<short>(answer > 26 ? 26 : answer);
  *count = volumeCount;
  return S_OK;
}

bool CVKSAccess::IsValidDrive(wchar_t letter) {
  short count = 0;
  if (FAILED(GetVolumeCount(&count)) || count < 1 || count > 26) return false;
  if (!IsLetter(letter)) return false;
  return Upper(letter) - L'A' < count;
}

HRESULT CVKSAccess::ValidateVolumeName(const wchar_t* volume) {
  short count = 0;
  RETURN_IF_FAILED(GetVolumeCount(&count));
  if (!volume) return S_OK;
  const size_t length = wcslen(volume);
  bool ok = false;
  if (length == 2)
    ok = volume[1] == L':' && IsValidDrive(volume[0]);
  else if (length > 2)
    ok = (volume[0] == L'\\' && volume[2] == L':' && IsValidDrive(volume[1])) ||
         (volume[1] == L':' && IsValidDrive(volume[0]));
  return ok ? S_OK : E_INVALIDARG;
}

HRESULT CVKSAccess::NormalizePath(const wchar_t* in, CBstr* out) {
  if (!out) return E_POINTER;
  short count = 0;
  RETURN_IF_FAILED(GetVolumeCount(&count));
  std::wstring p = in ? in : L"";
  auto driveWithBackslash = [&] { return p.size() >= 3 && p[0] == L'\\' && p[2] == L':' && IsValidDrive(p[1]); };
  if (count == 1) {
    size_t skip = 0;
    if (driveWithBackslash())
      skip = 3;
    else if (p.size() >= 2 && p[1] == L':' && IsValidDrive(p[0]))
      skip = 2;
    if (skip) {
      p.erase(0, skip);
      if (!p.empty() && p[0] != L'\\') p.insert(p.begin(), L'\\');
    }
  } else {
    if (driveWithBackslash()) p.erase(0, 1);
    if (p.size() >= 3 && IsLetter(p[0]) && p[1] == L':' && p[2] != L'\\') p.insert(2, 1, L'\\');
    if (p.size() == 3 && IsLetter(p[0]) && p[1] == L':' && p[2] == L'\\') p.erase(2);
  }
  if (p.size() >= 2 && p[1] == L':') p[0] = Upper(p[0]);
  *out = CBstr(p.c_str(), static_cast<UINT>(p.size()));
  return S_OK;
}

bool CVKSAccess::IsValidPath(const CBstr& path, bool allowWildcards) {
  const UINT length = path.GetLength();
  if (!length) return false;
  short count = 0;
  if (FAILED(GetVolumeCount(&count))) return false;
  const wchar_t* p = path.GetBstr();
  UINT names = 0;
  if (count == 1) {
    if (p[0] != L'\\') return false;
    names = 1;
  } else if (p[0] == L'\\') {
    names = 1;
  } else if (length == 2 && p[1] == L':' && IsValidDrive(p[0])) {
    names = 2;
  } else if (length >= 3 && p[1] == L':' && p[2] == L'\\' && IsValidDrive(p[0])) {
    names = 3;
  } else {
    return false;
  }
  if (p[length - 1] == L'\\') return false;
  bool wildcard = false;
  for (UINT i = names; i < length; ++i) {
    const wchar_t c = p[i];
    if (c == 0 || wcschr(L":|<>\"", c)) return false;
    if (c == L'*' || c == L'?') {
      if (!allowWildcards) return false;
      wildcard = true;
    } else if (c == L'\\') {
      if (wildcard || p[i - 1] == L'\\') return false;
    }
  }
  return true;
}

void CVKSAccess::InvalidateCache() {
  CLockScope scope(AccessLock());
  if (connection && connection->GetObex()) connection->GetObex()->InvalidateCache();
}

// ---- requests ----

HRESULT CVKSAccess::NewRequest(int type, Request** out) {
  *out = nullptr;
  Request* request = new (std::nothrow) Request(connection, type, volumeCount, 0);
  if (!request) return E_OUTOFMEMORY;
  if (!request->done) {
    delete request;
    return E_OUTOFMEMORY;
  }
  *out = request;
  return S_OK;
}

HRESULT CVKSAccess::Queue(int type, const CBstr& path, const Fill& fill, Request** out) {
  RETURN_IF_FAILED(NewRequest(type, out));
  Request* request = *out;
  request->SetPath(path);
  if (fill) {
    const HRESULT hr = fill(request);
    if (FAILED(hr)) {
      delete request;
      *out = nullptr;
      return hr;
    }
  }
  SubmitRequest(request);
  return S_OK;
}

HRESULT CVKSAccess::Run(Request* request, const After& after) {
  WaitForRequest(request);
  if (after) after(request);
  return FinishRequest(request);
}

HRESULT CVKSAccess::RunPath(int type, const wchar_t* path, PathKind kind, const Fill& fill,
                            const After& after) {
  Request* request = nullptr;
  {
    // The connection cannot be replaced between reading it and queueing on it.
    CLockScope scope(AccessLock());
    CBstr normal;
    RETURN_IF_FAILED(NormalizePath(path, &normal));
    const bool ok = (kind == PathKind::RootAllowed && !normal.GetLength()) ||
                    IsValidPath(normal, kind == PathKind::Wildcards);
    if (!ok) return E_INVALIDARG;
    RETURN_IF_FAILED(Queue(type, normal, fill, &request));
  }
  return Run(request, after);
}

HRESULT CVKSAccess::RunTwoPaths(int type, const wchar_t* existingPath, const wchar_t* newPath) {
  CBstr second;
  {
    CLockScope scope(AccessLock());
    RETURN_IF_FAILED(NormalizePath(newPath, &second));
    if (!IsValidPath(second, false)) return E_INVALIDARG;
  }
  return RunPath(type, existingPath, PathKind::Plain, [&](Request* r) {
    r->path2 = second;
    return S_OK;
  });
}

HRESULT CVKSAccess::RunVolume(int type, const wchar_t* volume, bool mustName, const Fill& fill,
                              const After& after) {
  Request* request = nullptr;
  {
    CLockScope scope(AccessLock());
    RETURN_IF_FAILED(ValidateVolumeName(volume));
    if (mustName && (!volume || !*volume)) return E_INVALIDARG;
    RETURN_IF_FAILED(Queue(type, GetDrivePart(CBstr(volume)), fill, &request));
  }
  return Run(request, after);
}

HRESULT CVKSAccess::Copy(const wchar_t* existingPath, const wchar_t* newPath) {
  return RunTwoPaths(kRequestCopy, existingPath, newPath);
}
HRESULT CVKSAccess::Move(const wchar_t* existingPath, const wchar_t* newPath) {
  return RunTwoPaths(kRequestMove, existingPath, newPath);
}
HRESULT CVKSAccess::MoveDir(const wchar_t* existingPath, const wchar_t* newPath) {
  return RunTwoPaths(kRequestMoveDir, existingPath, newPath);
}
HRESULT CVKSAccess::CreateDir(const wchar_t* path) { return RunPath(kRequestCreateDir, path, PathKind::Plain); }
HRESULT CVKSAccess::Delete(const wchar_t* path) { return RunPath(kRequestDelete, path, PathKind::Plain); }
HRESULT CVKSAccess::RemoveDir(const wchar_t* path) { return RunPath(kRequestRemoveDir, path, PathKind::Plain); }

HRESULT CVKSAccess::CreateStdDirs(const wchar_t* volume) { return RunVolume(kRequestCreateStdDirs, volume, true); }
HRESULT CVKSAccess::Format(const wchar_t* volume) { return RunVolume(kRequestFormat, volume, true); }

HRESULT CVKSAccess::SetLabel(const wchar_t* volume, const wchar_t* label) {
  return RunVolume(kRequestSetLabel, volume, true, [&](Request* r) {
    r->label = CBstr(label);
    return S_OK;
  });
}

HRESULT CVKSAccess::GetLabel(const wchar_t* volume, BSTR* label) {
  if (!label) return E_POINTER;
  *label = nullptr;
  HRESULT copy = S_OK;
  const HRESULT hr = RunVolume(kRequestGetLabel, volume, false, nullptr, [&](Request* r) {
    if (r->GetResult() != S_OK) return;
    *label = SysAllocString(r->label.GetBstr() ? r->label.GetBstr() : L"");
    if (!*label) copy = E_OUTOFMEMORY;
  });
  return hr == S_OK ? copy : hr;
}

HRESULT CVKSAccess::GetCapacity(const wchar_t* volume, LONG* total, LONG* free) {
  if (total) *total = 0;
  if (free) *free = 0;
  LONG moduleTotal = 0, moduleFree = 0;
  const HRESULT hr = RunCapacity(volume, false, total ? &moduleTotal : nullptr, free ? &moduleFree : nullptr);
  if (SUCCEEDED(hr)) {
    if (total) *total = ClampToLong(moduleTotal);
    if (free) *free = ClampToLong(moduleFree);
  }
  return hr;
}

HRESULT CVKSAccess::RunCapacity(const wchar_t* volume, bool mustName, LONG* total, LONG* free) {
  return RunVolume(kRequestGetCapacity, volume, mustName, [&](Request* r) {
    r->total = total;
    r->free = free;
    return S_OK;
  });
}

HRESULT CVKSAccess::HasSubDirs(const wchar_t* path, VARIANT_BOOL* subdirs) {
  if (!subdirs) return E_POINTER;
  *subdirs = VARIANT_FALSE;
  VARIANT_BOOL answer = VARIANT_FALSE;
  const HRESULT hr = RunPath(kRequestHasSubDirs, path, PathKind::RootAllowed, [&](Request* r) {
    r->hasSubDirs = &answer;
    return S_OK;
  });
  if (SUCCEEDED(hr)) *subdirs = answer;
  return hr;
}

HRESULT CVKSAccess::SetAttributes(const wchar_t* path, LONG attributes) {
  if (attributes & kFolderAttribute) return E_INVALIDARG;
  return RunPath(kRequestSetAttributes, path, PathKind::Plain, [&](Request* r) {
    r->attributes = attributes;
    return S_OK;
  });
}

HRESULT CVKSAccess::SetTime(const wchar_t* path, DATE created, DATE accessed, DATE written) {
  return RunPath(kRequestSetTime, path, PathKind::Plain, [&](Request* r) {
    r->created = created;
    r->accessed = accessed;
    r->written = written;
    return S_OK;
  });
}

HRESULT CVKSAccess::PutFile(const wchar_t* path, IUnknown* content, LONG attributes) {
  if (!content) return E_POINTER;
  if (attributes & kFolderAttribute) return E_INVALIDARG;
  ComPtr<IStream> stream;
  if (FAILED(content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)))) return E_NOINTERFACE;
  return RunPath(kRequestPutFile, path, PathKind::Plain, [&](Request* r) {
    r->attributes = attributes;
    // The worker thread lives in an apartment of its own.
    return CoMarshalInterThreadInterfaceInStream(IID_IStream, stream.Get(), &r->marshalledStream);
  });
}

HRESULT CVKSAccess::GetEntries(const wchar_t* path, VARIANT_BOOL limit, VARIANT* entries) {
  if (!entries) return E_POINTER;
  VariantInit(entries);
  const CBstr text(path);
  const CBstr parent = GetParentPath(text);
  if (!parent.GetLength() || CompareText(parent.GetBstr(), L"\\", FALSE) == 0) return ListDrives(text, entries);
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = RunPath(kRequestGetEntries, path, PathKind::Wildcards, [&](Request* r) {
    r->limitToDirectories = limit;
    r->entries = &result;
    return S_OK;
  });
  if (SUCCEEDED(hr))
    *entries = result;
  else
    VariantClear(&result);
  return hr;
}

HRESULT CVKSAccess::ListDrives(const CBstr& path, VARIANT* entries) {
  short count = 0;
  RETURN_IF_FAILED(GetVolumeCount(&count));
  // "X:" or "\X:" asks for that drive; a letter the module has not is an
  // error, not a request for every drive.
  const wchar_t* text = path.GetBstr() ? path.GetBstr() : L"";
  if (text[0] == L'\\' && text[1] && text[2] == L':' && !text[3]) ++text;
  int first = 0, last = count - 1;
  if (text[0] && text[1] == L':' && !text[2]) {
    if (!IsValidDrive(text[0])) return E_INVALIDARG;
    first = last = Upper(text[0]) - L'A';
  }
  struct Row {
    wchar_t name[3];
    LONG total;
    double free;
  };
  std::vector<Row> rows;
  HRESULT failure = E_INVALIDARG;
  for (int drive = first; drive <= last; ++drive) {
    Row row{{static_cast<wchar_t>(L'A' + drive), L':', 0}, 0, 0};
    LONG total = 0, free = 0;
    const HRESULT hr = RunCapacity(row.name, true, &total, &free);
    if (FAILED(hr)) {
      failure = hr;
      continue;
    }
    row.total = ClampToLong(total);
    row.free = Unsigned(free);
    rows.push_back(row);
  }
  if (rows.empty()) return failure;

  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows.size()), 0}, {7, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (!array) return E_OUTOFMEMORY;
  VARIANT* cells = nullptr;
  if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&cells)))) {
    SafeArrayDestroy(array);
    return E_OUTOFMEMORY;
  }
  const DATE now = CurrentLocalDate();
  bool ok = true;
  const size_t n = rows.size();
  for (size_t i = 0; i < n; ++i) {
    auto cell = [&](int field) -> VARIANT& { return cells[i + field * n]; };
    cell(0).vt = VT_BSTR;
    cell(0).bstrVal = SysAllocString(rows[i].name);
    cell(1).vt = VT_BSTR;
    cell(1).bstrVal = SysAllocString(rows[i].name);
    ok = ok && cell(0).bstrVal && cell(1).bstrVal;
    cell(2).vt = VT_I4;
    cell(2).lVal = rows[i].total;
    cell(3).vt = VT_I4;
    cell(3).lVal = kFolderAttribute;
    cell(4).vt = VT_DATE;
    cell(4).date = now;
    cell(5).vt = VT_DATE;
    cell(5).date = now;
    cell(6).vt = VT_R8;  // the free space, not a time
    cell(6).dblVal = rows[i].free;
  }
  SafeArrayUnaccessData(array);
  if (!ok) {
    SafeArrayDestroy(array);
    return E_OUTOFMEMORY;
  }
  entries->vt = VT_ARRAY | VT_VARIANT;
  entries->parray = array;
  return S_OK;
}

HRESULT CVKSAccess::GetFile(const wchar_t* path, IUnknown** content) {
  if (!path) return E_INVALIDARG;
  if (!content) return E_POINTER;
  *content = nullptr;
  CLockScope scope(AccessLock());
  CBstr normal;
  RETURN_IF_FAILED(NormalizePath(path, &normal));
  if (!IsValidPath(normal, false)) return E_INVALIDARG;
  Request* request = nullptr;
  RETURN_IF_FAILED(NewRequest(kRequestGetFile, &request));
  request->SetPath(normal);
  InputSource* source = new (std::nothrow) InputSource;
  if (!source || !source->IsValid()) {
    if (source) source->Release();
    delete request;
    return E_OUTOFMEMORY;
  }
  request->buffer = source;
  source->SetCancelFlagAddress(&request->cancelled);
  const HRESULT hr = RPLInputStream::Create(source, 0, IID_IUnknown, reinterpret_cast<void**>(content));
  source->Release();  // the stream holds the source now, or nobody does
  if (FAILED(hr)) {
    delete request;
    return hr;
  }
  // The worker frees the request when the transfer ends.
  SubmitRequest(request);
  return S_OK;
}
