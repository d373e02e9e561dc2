// link/Request.cpp - the request record, the queue order and the handlers of each type.
#include "Request.h"

#include <new>

#include "ComCore.h"
#include "CriticalSection.h"
#include "MessageWait.h"
#include "ObexConnection.h"
#include "PhysicalConnection.h"
#include "ResultCodes.h"
#include "ShellEvents.h"

namespace {

IRequestNotifier* g_notifier = nullptr;
RequestErrorReporter g_reporter = nullptr;

void NotifyPath(Request* r, LONG event, const CBstr& path, bool withObex) {
  if (g_notifier)
    g_notifier->NotifyPath(r->connectionId, event, path, r->volumeCount,
                           withObex ? r->obex : nullptr);
}

}  // namespace

CCriticalSection& GetTransferLock() {
  static CCriticalSection lock;
  return lock;
}

void SetRequestNotifier(IRequestNotifier* notifier) { g_notifier = notifier; }
void SetRequestErrorReporter(RequestErrorReporter reporter) { g_reporter = reporter; }

// ---- the record ----

Request::Request(CPhysicalConnection* owner, int requestType, short volumes, int id)
    : obex(owner ? owner->GetObex() : nullptr),
      connection(owner),
      volumeCount(volumes),
      done(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      type(requestType),
      connectionId(id) {}

void Request::DropMarshalledStream() {
  if (!marshalledStream) return;
  ComPtr<IStream> stream;
  CoGetInterfaceAndReleaseStream(marshalledStream, IID_IStream, reinterpret_cast<void**>(&stream));
  marshalledStream = nullptr;
}

Request::~Request() {
  if (done) CloseHandle(done);
  DropMarshalledStream();
  if (content) content->Release();
}

bool Request::IsStreaming() const {
  return type == kRequestGetFile || type == kRequestPutFile || type == kRequestClose;
}

bool Request::IsOrdinaryRequestQueued() {
  if (!connection) return false;
  CLockScope lock(connection->m_lock);
  Request* first = connection->m_queue.First();
  return first && !first->IsStreaming();
}

HRESULT Request::Write(const BYTE* data, DWORD length) {
  bool mayPause = false;
  {
    CLockScope lock(GetTransferLock());
    if (cancelled || !buffer) return E_TRANSFER_CANCELLED;
    const HRESULT hr = buffer->AppendData(data, length);
    if (hr != S_OK) return hr;
    ULONGLONG size = 0, received = 0;
    buffer->GetProgress(&size, &received);
    mayPause = size != 0 && received + kPauseMargin < size;
  }
  // The queue is looked at outside the transfer lock (lock order).
  return mayPause && IsOrdinaryRequestQueued() ? E_TRANSFER_PAUSE : S_OK;
}

HRESULT Request::BufferSetFileInfo(STATSTG* info) {
  CLockScope lock(GetTransferLock());
  if (cancelled || !buffer) {
    CoTaskMemFree(info->pwcsName);
    info->pwcsName = nullptr;
    return E_TRANSFER_CANCELLED;
  }
  return buffer->SetFileInfo(info);
}

void Request::BufferSetError(HRESULT failure) {
  CLockScope lock(GetTransferLock());
  if (!cancelled && buffer) buffer->SetError(failure);
}

void Request::BufferComplete() {
  CLockScope lock(GetTransferLock());
  if (!cancelled && buffer) buffer->Complete();
  buffer = nullptr;  // the buffer no longer knows this request
}

HRESULT Request::BufferGetResumePoint(ULONGLONG* size, ULONGLONG* received, WORD* crc) {
  CLockScope lock(GetTransferLock());
  if (cancelled || !buffer) return E_TRANSFER_CANCELLED;
  buffer->GetResumePoint(size, received, crc);
  return S_OK;
}

// ---- the queue ----

void FailRequest(Request* request, HRESULT failure) {
  if (request->type == kRequestGetFile) {
    request->BufferSetError(failure);
    request->BufferComplete();
    delete request;
    return;
  }
  request->DropMarshalledStream();
  request->SetResult(failure);
  SetEvent(request->done);
}

void SubmitRequest(Request* request) {
  CPhysicalConnection* c = request->connection;
  bool accepted = false;
  if (c) {
    CLockScope lock(c->m_lock);
    // Nothing runs behind the close request or without a worker.
    if (c->m_queueSemaphore && !c->m_closing) {
      if (request->IsStreaming())
        request->InsertBefore(&c->m_queue);  // the tail
      else
        request->InsertAfter(&c->m_queue);   // the front, ahead of the running one
      if (request->type == kRequestClose) c->m_closing = true;
      ReleaseSemaphore(c->m_queueSemaphore, 1, nullptr);
      accepted = true;
    }
  }
  if (!accepted) {
    if (request->type == kRequestClose)
      SetEvent(request->done);
    else
      FailRequest(request, E_CONNECTION_LOST);
  }
}

void RequeueRequest(Request* request) {
  CPhysicalConnection* c = request->connection;
  CLockScope lock(c->m_lock);
  request->Unlink();
  Request* streaming = nullptr;
  for (Request* r = c->m_queue.First(); r; r = c->m_queue.Next(r)) {
    if (r->IsStreaming()) {
      streaming = r;
      break;
    }
  }
  if (streaming && streaming->type == kRequestClose)
    request->InsertBefore(streaming);  // it was queued before the close: it still runs
  else if (streaming)
    request->InsertAfter(streaming);
  else if (Request* first = c->m_queue.First())
    request->InsertAfter(first);
  else
    request->InsertAfter(&c->m_queue);
  if (c->m_queueSemaphore) ReleaseSemaphore(c->m_queueSemaphore, 1, nullptr);
}

void WaitForRequest(Request* request) {
  WaitWithMessageLoop(request->done, INFINITE);
}

HRESULT FinishRequest(Request* request) {
  HRESULT hr = request->GetResult();
  if (g_reporter) hr = g_reporter(hr);
  delete request;
  return hr;
}

HRESULT ExecuteRequest(Request* request) {
  SubmitRequest(request);
  WaitForRequest(request);
  return FinishRequest(request);
}

// ---- handlers ----

namespace {

HRESULT HandleCopy(Request* r) {
  LONG freeBytes = 0;
  RETURN_IF_FAILED(r->obex->GetCapacity(r->connectionId, GetDrivePart(r->path2).GetBstr(),
                                        &freeBytes, 2));
  FolderEntry* source = nullptr;
  RETURN_IF_FAILED(r->obex->GetFolderListing(r->connectionId, r->path.GetBstr(), &source));
  HRESULT hr;
  if (!source) hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  else if (source->size > static_cast<DWORD>(freeBytes)) hr = STG_E_MEDIUMFULL;
  else hr = r->obex->Copy(r->connectionId, r->path2.GetBstr(), r->path.GetBstr());
  FreeEntryList(source);
  return hr;
}

HRESULT HandleCreateDir(Request* r) {
  const UINT length = r->path.GetLength();
  HRESULT hr = E_INVALIDARG;
  for (UINT end = 1; end <= length; ++end) {
    if (end < length && r->path.GetAt(end) != L'\\') continue;
    const CBstr prefix = r->path.Mid(0, static_cast<int>(end));
    hr = r->obex->CreateDir(r->connectionId, prefix.GetBstr());
    if (FAILED(hr)) break;
    if (hr == S_OK) NotifyPath(r, kShcneUpdateDir, GetParentPath(prefix), false);
  }
  return hr;
}

HRESULT HandleGetCapacity(Request* r) {
  if (r->total) {
    RETURN_IF_FAILED(r->obex->GetCapacity(r->connectionId, r->path.GetBstr(), r->total, 1));
  }
  if (r->free) return r->obex->GetCapacity(r->connectionId, r->path.GetBstr(), r->free, 2);
  return S_OK;
}

HRESULT HandleGetEntries(Request* r) {
  const UINT length = r->path.GetLength();
  int lastSlash = -1;
  for (UINT i = 0; i < length; ++i)
    if (r->path.GetAt(i) == L'\\') lastSlash = static_cast<int>(i);
  const CBstr last = r->path.Mid(lastSlash + 1);
  bool wildcard = false;
  for (UINT i = 0; i < last.GetLength(); ++i)
    if (last.GetAt(i) == L'*' || last.GetAt(i) == L'?') wildcard = true;
  const CBstr listingPath =
      wildcard ? ConcatStrings(r->path.Mid(0, lastSlash < 0 ? 0 : lastSlash), L"\\*") : r->path;

  FolderEntry* list = nullptr;
  HRESULT hr = r->obex->GetFolderListing(r->connectionId, listingPath.GetBstr(), &list);
  if (FAILED(hr)) return hr;
  if (wildcard || r->limitToDirectories) {
    FolderEntry** link = &list;
    while (*link) {
      FolderEntry* e = *link;
      const bool kindOk = !r->limitToDirectories || (e->attributes & kFolderAttribute);
      const bool nameOk = !wildcard || MatchWildcard(CBstr(e->name), last, FALSE) ||
                          (e->shortName && e->shortName[0] &&
                           MatchWildcard(CBstr(e->shortName), last, FALSE));
      if (kindOk && nameOk) {
        link = &e->next;
      } else {
        *link = e->next;
        e->next = nullptr;
        FreeEntryList(e);
      }
    }
  }
  SAFEARRAY* array = BuildEntriesArray(r, list);
  FreeEntryList(list);
  if (!array) return r->GetResult();
  if (r->entries) {
    VariantInit(r->entries);
    r->entries->vt = VT_ARRAY | VT_VARIANT;
    r->entries->parray = array;
  } else {
    SafeArrayDestroy(array);
  }
  return r->GetResult();
}

HRESULT HandleGetLabel(Request* r) {
  BSTR label = nullptr;
  const HRESULT hr = r->obex->GetLabel(r->connectionId, r->path.GetBstr(), &label, 3);
  if (SUCCEEDED(hr)) r->label = CBstr(label);
  SysFreeString(label);
  return hr;
}

HRESULT HandleHasSubDirs(Request* r) {
  FolderEntry* list = nullptr;
  const HRESULT hr = r->obex->GetFolderListing(
      r->connectionId, ConcatStrings(r->path, L"\\*").GetBstr(), &list);
  if (SUCCEEDED(hr) && r->hasSubDirs) {
    *r->hasSubDirs = VARIANT_FALSE;
    for (FolderEntry* e = list; e; e = e->next)
      if (e->attributes & kFolderAttribute) *r->hasSubDirs = VARIANT_TRUE;
  }
  FreeEntryList(list);
  return hr;
}

HRESULT HandleMoveDir(Request* r) {
  const HRESULT hr = r->obex->MoveDir(r->connectionId, r->path2.GetBstr(), r->path.GetBstr());
  if (FAILED(hr)) return hr;
  const CBstr from = GetParentPath(r->path), to = GetParentPath(r->path2);
  if (CompareText(from.GetBstr(), to.GetBstr(), FALSE) != 0) {
    NotifyPath(r, kShcneUpdateDir, from, false);
    NotifyPath(r, kShcneUpdateDir, to, false);
  } else {
    if (g_notifier) g_notifier->NotifyRename(kShcneRenameFolder, r->path, r->path2, r->volumeCount);
    NotifyPath(r, kShcneUpdateDir, r->path2, false);
  }
  return hr;
}

HRESULT HandlePutFile(Request* r) {
  r->requeue = false;
  ComPtr<IStream> stream;
  if (r->marshalledStream) {
    IStream* marshalled = r->marshalledStream;
    r->marshalledStream = nullptr;
    RETURN_IF_FAILED(
        CoGetInterfaceAndReleaseStream(marshalled, IID_IStream, reinterpret_cast<void**>(&stream)));
  } else if (r->content) {
    ComPtr<IUnknown> content;
    content.Attach(r->content);
    r->content = nullptr;
    RETURN_IF_FAILED(content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)));
  } else {
    return E_INVALIDARG;
  }

  STATSTG stat{};
  LARGE_INTEGER zero{};
  DATE created = 0, accessed = 0, modified = 0;
  HRESULT hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(hr) && stat.cbSize.QuadPart > 0xFFFFFFFFull) hr = E_INVALIDARG;
  if (SUCCEEDED(hr) && !(FileTimeToDate(stat.ctime, &created) &&
                         FileTimeToDate(stat.atime, &accessed) &&
                         FileTimeToDate(stat.mtime, &modified)))
    hr = E_INVALIDARG;
  if (SUCCEEDED(hr) && IsTelecomPath(r->path)) {
    FolderEntry* existing = nullptr;
    hr = r->obex->GetFolderListing(r->connectionId, r->path.GetBstr(), &existing);
    if (SUCCEEDED(hr) && existing) hr = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    FreeEntryList(existing);
  }
  if (SUCCEEDED(hr)) {
    hr = r->obex->PutFile(r->connectionId, r->path.GetBstr(), stream.Get(), stat.cbSize.LowPart,
                          r->attributes, created, accessed, modified);
    if (hr == STG_E_MEDIUMFULL) r->obex->Delete(r->connectionId, r->path.GetBstr());
  }
  return hr;
}

HRESULT HandleGetMobileModel(Request* r) {
  char model[30] = {};
  const HRESULT hr = r->obex->GetModel(model, sizeof model - 1);
  if (SUCCEEDED(hr)) r->text = CBstr(model);
  return hr;
}

// The download: new or resumed after a pause. Failures go to the buffer.
void HandleGetFile(Request* r) {
  const bool resuming = r->requeue;
  r->requeue = false;
  const bool telecom = IsTelecomPath(r->path);
  FolderEntry* entry = nullptr;
  ULONGLONG size = 0;
  if (!telecom) {
    const HRESULT hr = r->obex->GetFolderListing(r->connectionId, r->path.GetBstr(), &entry);
    if (FAILED(hr)) return r->BufferSetError(hr);
    if (!entry) return r->BufferSetError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    size = entry->size;
  }
  DWORD offset = 0;
  if (!resuming) {
    STATSTG info{};
    HRESULT hr = S_OK;
    info.type = STGTY_STREAM;
    info.cbSize.QuadPart = size;
    info.grfMode = STGM_SHARE_DENY_NONE;
    if (telecom) {
      FILETIME now;
      GetSystemTimeAsFileTime(&now);
      info.mtime = info.ctime = info.atime = now;
    } else if ((entry->attributes & kFolderAttribute) ||
               !DateToFileTime(entry->modified, &info.mtime) ||
               !DateToFileTime(entry->created, &info.ctime) ||
               !DateToFileTime(entry->accessed, &info.atime)) {
      hr = E_FAIL;
    }
    if (SUCCEEDED(hr)) {
      const CBstr name = telecom ? GetNamePart(r->path) : CBstr(entry->name);
      const size_t bytes = (name.GetLength() + 1) * sizeof(wchar_t);
      info.pwcsName = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
      if (!info.pwcsName) hr = E_OUTOFMEMORY;
      else memcpy(info.pwcsName, name.GetBstr() ? name.GetBstr() : L"", bytes);
    }
    FreeEntryList(entry);
    if (SUCCEEDED(hr)) hr = r->BufferSetFileInfo(&info);
    if (FAILED(hr)) return r->BufferSetError(hr);
  } else {
    FreeEntryList(entry);
    ULONGLONG announced = 0, received = 0;
    WORD localCrc = 0, moduleCrc = 0;
    HRESULT hr = r->BufferGetResumePoint(&announced, &received, &localCrc);
    if (SUCCEEDED(hr))
      hr = r->obex->QueryFileParameter(r->connectionId, r->path.GetBstr(),
                                       static_cast<DWORD>(received), &moduleCrc);
    if (FAILED(hr)) return r->BufferSetError(hr);
    // Only the same file, whose first bytes are still those we hold, may be
    // continued; anything else would splice other content into the stream.
    if (size != announced || moduleCrc != localCrc) return r->BufferSetError(E_UNEXPECTED);
    offset = static_cast<DWORD>(received);
  }
  const HRESULT hr = r->obex->GetFile(r->connectionId, r->path.GetBstr(), r, offset);
  if (hr == E_TRANSFER_PAUSE)
    r->requeue = true;
  else if (FAILED(hr))
    r->BufferSetError(hr);
}

}  // namespace

SAFEARRAY* BuildEntriesArray(Request* request, FolderEntry* list) {
  ULONG count = 0;
  for (FolderEntry* e = list; e; e = e->next) ++count;
  SAFEARRAYBOUND bounds[2] = {{count, 0}, {7, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (!array) {
    request->SetResult(E_OUTOFMEMORY);  // not S_OK without an array
    return nullptr;
  }
  VARIANT* cells = nullptr;
  if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&cells)))) {
    SafeArrayDestroy(array);
    request->SetResult(E_OUTOFMEMORY);
    return nullptr;
  }
  bool ok = true;
  ULONG index = 0;
  for (FolderEntry* e = list; e && ok; e = e->next, ++index) {
    auto cell = [&](int field) -> VARIANT& { return cells[index + field * count]; };
    const wchar_t* shortName = e->shortName && e->shortName[0] ? e->shortName : e->name;
    cell(0).vt = VT_BSTR;
    cell(0).bstrVal = SysAllocString(e->name ? e->name : L"");
    cell(1).vt = VT_BSTR;
    cell(1).bstrVal = SysAllocString(shortName ? shortName : L"");
    ok = cell(0).bstrVal && cell(1).bstrVal;
    cell(2).vt = VT_I4;
    // The contract's size is a signed 32-bit cell: larger files show the largest it holds.
    cell(2).lVal = e->size > 0x7fffffffu ? 0x7fffffff : static_cast<LONG>(e->size);
    cell(3).vt = VT_I4;
    cell(3).lVal = static_cast<LONG>(e->attributes);
    cell(4).vt = VT_DATE;
    cell(4).date = e->created;
    cell(5).vt = VT_DATE;
    cell(5).date = e->accessed;
    cell(6).vt = VT_DATE;
    cell(6).date = e->modified;
  }
  SafeArrayUnaccessData(array);
  if (!ok) {
    SafeArrayDestroy(array);
    request->SetResult(E_OUTOFMEMORY);
    return nullptr;
  }
  request->SetResult(count ? S_OK : S_FALSE);
  return array;
}

void DispatchRequest(Request* r) {
  IObex2* o = r->obex;
  const int id = r->connectionId;
  const wchar_t* path = r->path.GetBstr();
  if (!o) {
    if (r->type == kRequestGetFile) r->BufferSetError(E_UNEXPECTED);
    else r->SetResult(E_UNEXPECTED);
    return;
  }
  HRESULT hr = E_INVALIDARG;
  switch (r->type) {
    case kRequestCopy: hr = HandleCopy(r); break;
    case kRequestCreateStdDirs:
      hr = o->Format(id, path, L"StdDirs");
      if (SUCCEEDED(hr)) NotifyPath(r, kShcneUpdateDir, r->path, false);
      break;
    case kRequestCreateDir: hr = HandleCreateDir(r); break;
    case kRequestDelete: hr = o->Delete(id, path); break;
    case kRequestFormat:
      hr = o->Format(id, path, nullptr);
      if (SUCCEEDED(hr) && g_notifier) g_notifier->NotifyRoot(kShcneUpdateDir);
      break;
    case kRequestGetCapacity: hr = HandleGetCapacity(r); break;
    case kRequestGetEntries: hr = HandleGetEntries(r); break;
    case kRequestGetFile: HandleGetFile(r); return;  // the result stays unset
    case kRequestGetLabel: hr = HandleGetLabel(r); break;
    case kRequestHasSubDirs: hr = HandleHasSubDirs(r); break;
    case kRequestMove: hr = o->Move(id, r->path2.GetBstr(), path); break;
    case kRequestMoveDir: hr = HandleMoveDir(r); break;
    case kRequestPutFile: hr = HandlePutFile(r); break;
    case kRequestRemoveDir:
      hr = o->RemoveDir(id, path);
      if (SUCCEEDED(hr)) NotifyPath(r, kShcneRmdir, r->path, false);
      break;
    case kRequestSetAttributes:
      hr = o->SetAttributes(id, path, r->attributes);
      if (SUCCEEDED(hr)) NotifyPath(r, kShcneUpdateItem, r->path, true);
      break;
    case kRequestSetLabel:
      hr = o->SetLabel(id, path, r->label.GetBstr() ? r->label.GetBstr() : L"", 3);
      break;
    case kRequestSetTime:
      hr = o->SetTime(id, path, r->created, r->accessed, r->written);
      break;
    case kRequestGetMobileModel: hr = HandleGetMobileModel(r); break;
    default: break;
  }
  r->SetResult(hr);
}
