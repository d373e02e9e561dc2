// link/ObexConnection.cpp - forwards to the OBEX operations and keeps folder listings.
#include "ObexConnection.h"

#include <algorithm>

#include "ComCore.h"
#include "CriticalSection.h"
#include "ResultCodes.h"

namespace {


// Index just past the drive part: "\X:" and "X:" are skipped, other paths keep it all.
UINT DrivePrefixLength(const CBstr& path) {
  if (path.GetLength() >= 3 && path.GetAt(0) == L'\\' && path.GetAt(2) == L':') return 3;
  if (path.GetLength() >= 2 && path.GetAt(1) == L':') return 2;
  return 0;
}

bool SameText(const wchar_t* a, const wchar_t* b) { return CompareText(a, b, FALSE) == 0; }

bool IsLinkError(HRESULT result) {
  if (SUCCEEDED(result) || HRESULT_FACILITY(result) != FACILITY_ITF) return false;
  const WORD code = HRESULT_CODE(result);
  return code >= 0xA000 && code <= 0xBFFF;
}

// Unlinks and frees every entry for which drop holds; returns the new head.
template <class Pred>
FolderEntry* RemoveEntries(FolderEntry* head, Pred drop) {
  FolderEntry** link = &head;
  while (*link) {
    FolderEntry* entry = *link;
    if (drop(*entry)) {
      *link = entry->next;
      entry->next = nullptr;
      FreeEntryList(entry);
    } else {
      link = &entry->next;
    }
  }
  return head;
}

TickSource g_clock = GetTickCount;

}  // namespace

void SetListingClock(TickSource clock) { g_clock = clock ? clock : GetTickCount; }

bool IsTelecomPath(const CBstr& path) {
  const CBstr rest = path.Mid(static_cast<int>(DrivePrefixLength(path)));
  const CBstr first = rest.GetField(L'\\', 1);
  return SameText(first.GetBstr(), L"telecom");
}

bool IsVolumeRoot(const CBstr& folder) {
  const UINT skip = DrivePrefixLength(folder);
  const UINT length = folder.GetLength();
  return length <= skip || (length == skip + 1 && folder.GetAt(skip) == L'\\');
}

ObexConnection::ObexConnection(IObex2* inner) : m_linkState(E_CONNECTION_LOST), m_inner(inner) {}

ObexConnection::~ObexConnection() {
  Disconnect();
  DropAll();
  delete m_inner;
}

int ObexConnection::GetConnectionId() const {
  CLockScope lock(m_stateLock);
  return m_connectionIds.empty() ? 0 : m_connectionIds.front();
}

bool ObexConnection::IsConnected() const {
  CLockScope lock(m_stateLock);
  return !m_connectionIds.empty();
}

HRESULT ObexConnection::NotConnectedResult() const {
  CLockScope lock(m_stateLock);
  // An open link without an OBEX connection has done nothing: never report success.
  return FAILED(m_linkState) ? m_linkState : E_CONNECTION_LOST;
}

HRESULT ObexConnection::Filter(int id, HRESULT result) {
  if (IsLinkError(result) && IsConnected()) {
    DropAll();
    {
      CLockScope lock(m_stateLock);
      m_linkState = result;
    }
    // The line is broken: do not wait for the module's answer to a DISCONNECT.
    CloseConnection(id, 1);
  }
  return result;
}

// ---- cache primitives ----

ObexConnection::CacheEntry* ObexConnection::Find(const CBstr& folder) {
  if (InterlockedExchange(&m_invalidateAll, 0)) {
    DropAll();
    return nullptr;
  }
  for (CacheEntry* entry = m_cache.First(); entry; entry = m_cache.Next(entry)) {
    if (!SameText(entry->folder.GetBstr(), folder.GetBstr())) continue;
    if (g_clock() - entry->stamp >= kListingMaxAgeMs) {
      DropEntry(entry);
      return nullptr;
    }
    return entry;
  }
  return nullptr;
}

void ObexConnection::Store(const CBstr& folder, const FolderEntry* listing) {
  if (InterlockedExchange(&m_invalidateAll, 0)) DropAll();
  CacheEntry* entry = nullptr;
  for (CacheEntry* e = m_cache.First(); e; e = m_cache.Next(e)) {
    if (SameText(e->folder.GetBstr(), folder.GetBstr())) {
      entry = e;
      break;
    }
  }
  FolderEntry* copy = nullptr;
  if (FAILED(CopyFolderEntries(listing, &copy))) {
    if (entry) DropEntry(entry);
    return;
  }
  if (entry) {
    FreeEntryList(entry->listing);
  } else {
    entry = new (std::nothrow) CacheEntry;
    if (!entry) {
      FreeEntryList(copy);
      return;
    }
    entry->folder = folder;
  }
  entry->InsertAfter(&m_cache);
  entry->listing = copy;
  entry->stamp = g_clock();
}

void ObexConnection::DropEntry(CacheEntry* entry) {
  entry->Unlink();
  FreeEntryList(entry->listing);
  delete entry;
}

void ObexConnection::DropFolder(const CBstr& folder) {
  for (CacheEntry* entry = m_cache.First(); entry;) {
    CacheEntry* next = m_cache.Next(entry);
    if (SameText(entry->folder.GetBstr(), folder.GetBstr())) DropEntry(entry);
    entry = next;
  }
}

void ObexConnection::DropPrefix(const CBstr& prefix) {
  const UINT length = prefix.GetLength();
  for (CacheEntry* entry = m_cache.First(); entry;) {
    CacheEntry* next = m_cache.Next(entry);
    const CBstr& path = entry->folder;
    const bool under =
        path.GetLength() >= length &&
        CompareCountedText(path.GetBstr(), static_cast<int>(length), prefix.GetBstr(),
                           static_cast<int>(length), FALSE) == 0 &&
        (path.GetLength() == length || path.GetAt(length) == L'\\');
    if (length == 0 || under) DropEntry(entry);
    entry = next;
  }
}

void ObexConnection::DropAll() {
  while (CacheEntry* entry = m_cache.First()) DropEntry(entry);
}

FolderEntry* ObexConnection::FindCached(const CBstr& path) {
  CacheEntry* cached = Find(GetParentPath(path));
  if (!cached) return nullptr;
  const CBstr name = GetNamePart(path);
  for (FolderEntry* e = cached->listing; e; e = e->next)
    if (SameText(e->name, name.GetBstr())) return e;
  return nullptr;
}

void ObexConnection::AddEntry(const CBstr& path, const FolderEntry& model, bool replace) {
  const CBstr folder = GetParentPath(path);
  CacheEntry* cached = Find(folder);
  if (!cached) return;
  const CBstr name = GetNamePart(path);
  FolderEntry** tail = &cached->listing;
  for (; *tail; tail = &(*tail)->next) {
    FolderEntry* e = *tail;
    if (!SameText(e->name, name.GetBstr())) continue;
    if (!replace) {
      DropEntry(cached);  // the listing does not match what we did
      return;
    }
    FolderEntry* fresh = NewFolderEntry(name.GetBstr(), model.size, model.attributes,
                                        model.created, model.accessed, model.modified);
    if (!fresh) {
      DropEntry(cached);
      return;
    }
    fresh->next = e->next;
    *tail = fresh;
    e->next = nullptr;
    FreeEntryList(e);
    return;
  }
  FolderEntry* fresh = NewFolderEntry(name.GetBstr(), model.size, model.attributes,
                                      model.created, model.accessed, model.modified);
  if (!fresh) {
    DropEntry(cached);
    return;
  }
  *tail = fresh;
}

void ObexConnection::RemoveEntry(const CBstr& path) {
  CacheEntry* cached = Find(GetParentPath(path));
  if (!cached) return;
  const CBstr name = GetNamePart(path);
  bool found = false;
  cached->listing = RemoveEntries(cached->listing, [&](const FolderEntry& e) {
    if (found || !SameText(e.name, name.GetBstr())) return false;
    found = true;
    return true;
  });
  if (!found) DropEntry(cached);
}

void ObexConnection::AfterCopy(HRESULT result, const CBstr& newPath, const CBstr& existingPath,
                               bool isFolder) {
  const CBstr newFolder = GetParentPath(newPath);
  const FolderEntry* source = SUCCEEDED(result) ? FindCached(existingPath) : nullptr;
  if (!source) {
    DropFolder(newFolder);
    return;
  }
  FolderEntry model = *source;
  if (isFolder) model.size = 0;
  AddEntry(newPath, model, false);
}

// ---- listings ----

HRESULT ObexConnection::ListFolder(int id, const CBstr& folder, const wchar_t* listingPath,
                                   FolderEntry** entries) {
  const bool telecom = IsTelecomPath(folder);
  CacheEntry* cached = telecom ? nullptr : Find(folder);
  if (cached) {
    cached->InsertAfter(&m_cache);  // most recently used first
    RETURN_IF_FAILED(CopyFolderEntries(cached->listing, entries));
  } else {
    RETURN_IF_FAILED(Filter(id, m_inner->GetFolderListing(id, listingPath, entries)));
    if (!telecom) Store(folder, *entries);
  }
  if (IsVolumeRoot(folder))
    *entries = RemoveEntries(*entries,
                             [](const FolderEntry& e) { return SameText(e.name, L"telecom"); });
  return *entries ? S_OK : S_FALSE;
}

HRESULT ObexConnection::GetFolderListing(int id, const wchar_t* path, FolderEntry** entries) {
  if (!entries) return E_POINTER;
  *entries = nullptr;
  if (!IsConnected()) return NotConnectedResult();
  const CBstr full(path);
  const UINT length = full.GetLength();
  const CBstr folder = GetParentPath(full);
  if (length > 0 && full.GetAt(length - 1) == L'*') return ListFolder(id, folder, path, entries);

  const CBstr listing = ConcatStrings(folder, L"\\*");
  RETURN_IF_FAILED(ListFolder(id, folder, listing.GetBstr(), entries));
  const CBstr name = GetNamePart(full);
  *entries = RemoveEntries(*entries, [&](const FolderEntry& e) {
    // The module's file system ignores case, as every other path comparison here does.
    const bool byName = SameText(e.name, name.GetBstr());
    const bool byShort = e.shortName && e.shortName[0] && SameText(e.shortName, name.GetBstr());
    return !byName && !byShort;
  });
  return *entries ? S_OK : S_FALSE;
}

HRESULT ObexConnection::ListOwnEntry(int id, const CBstr& path, FolderEntry** entry) {
  return GetFolderListing(id, path.GetBstr(), entry);
}

// ---- changing operations ----

HRESULT ObexConnection::Copy(int id, const wchar_t* newPath, const wchar_t* existingPath) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->Copy(id, newPath, existingPath));
  AfterCopy(hr, CBstr(newPath), CBstr(existingPath), false);
  return hr;
}

HRESULT ObexConnection::CreateDir(int id, const wchar_t* path) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->CreateDir(id, path));
  const CBstr full(path);
  if (FAILED(hr)) {
    DropFolder(GetParentPath(full));
  } else if (hr == S_OK) {
    FolderEntry model{};
    model.attributes = kFolderAttribute;
    model.created = model.accessed = model.modified = CurrentLocalDate();
    AddEntry(full, model, false);
  }
  return hr;
}

namespace {
enum class OwnKind { File, Folder };
}

// Delete refuses folders and RemoveDir files before anything is sent.
static HRESULT CheckOwnKind(FolderEntry* own, OwnKind wanted) {
  if (!own) return S_OK;  // not listed: the module decides
  const bool folder = (own->attributes & kFolderAttribute) != 0;
  return folder == (wanted == OwnKind::Folder) ? S_OK : E_ACCESSDENIED;
}

HRESULT ObexConnection::Delete(int id, const wchar_t* path) {
  if (!IsConnected()) return NotConnectedResult();
  const CBstr full(path);
  bool listedAbsent = false;
  if (!IsTelecomPath(full)) {
    FolderEntry* own = nullptr;
    // A refused listing (E_ACCESSDENIED) is returned as the failure it is.
    HRESULT hr = ListOwnEntry(id, full, &own);
    if (SUCCEEDED(hr)) hr = CheckOwnKind(own, OwnKind::File);
    listedAbsent = SUCCEEDED(hr) && !own && Find(GetParentPath(full));
    FreeEntryList(own);
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = Filter(id, m_inner->Delete(id, path));
  // The module not finding a name the cached listing lacks as well confirms that listing: copy
  // tools delete every target before they put it, and re-reading a large folder for each file
  // would make the copy of many files slow down with every file.
  if (FAILED(hr) && !(hr == STG_E_FILENOTFOUND && listedAbsent))
    DropFolder(GetParentPath(full));
  else if (hr == S_OK)
    RemoveEntry(full);
  return hr;
}

HRESULT ObexConnection::RemoveDir(int id, const wchar_t* path) {
  if (!IsConnected()) return NotConnectedResult();
  const CBstr full(path);
  FolderEntry* own = nullptr;
  HRESULT hr = ListOwnEntry(id, full, &own);
  if (SUCCEEDED(hr)) hr = CheckOwnKind(own, OwnKind::Folder);
  FreeEntryList(own);
  if (FAILED(hr)) return hr;
  hr = Filter(id, m_inner->RemoveDir(id, path));
  if (FAILED(hr)) {
    DropFolder(GetParentPath(full));
  } else if (hr == S_OK) {
    RemoveEntry(full);
    DropPrefix(full);
  }
  return hr;
}

void ObexConnection::AfterMove(HRESULT result, const CBstr& newPath, const CBstr& existingPath,
                               bool isFolder) {
  AfterCopy(result, newPath, existingPath, isFolder);
  // Listings below a moved folder are all stale now.
  if (isFolder) DropPrefix(existingPath);
  if (FAILED(result))
    DropFolder(GetParentPath(existingPath));
  else
    RemoveEntry(existingPath);
}

HRESULT ObexConnection::Move(int id, const wchar_t* newPath, const wchar_t* existingPath) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->Move(id, newPath, existingPath));
  AfterMove(hr, CBstr(newPath), CBstr(existingPath), false);
  return hr;
}

HRESULT ObexConnection::MoveDir(int id, const wchar_t* newPath, const wchar_t* existingPath) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->MoveDir(id, newPath, existingPath));
  AfterMove(hr, CBstr(newPath), CBstr(existingPath), true);
  return hr;
}

HRESULT ObexConnection::PutFile(int id, const wchar_t* path, IStream* source, DWORD size,
                                LONG attributes, DATE created, DATE accessed, DATE modified) {
  if (!IsConnected()) return NotConnectedResult();
  ULARGE_INTEGER position{};
  if (source) {
    LARGE_INTEGER zero{};
    if (FAILED(source->Seek(zero, STREAM_SEEK_CUR, &position))) position.QuadPart = 0;
  }
  const HRESULT hr = Filter(
      id, m_inner->PutFile(id, path, source, size, attributes, created, accessed, modified));
  const CBstr full(path);
  if (FAILED(hr)) {
    DropFolder(GetParentPath(full));
  } else {
    FolderEntry model{};
    model.size = size + position.LowPart;
    model.attributes = static_cast<DWORD>(attributes);
    model.created = created;
    model.accessed = accessed;
    model.modified = modified;
    AddEntry(full, model, true);
  }
  return hr;
}

template <class Patch>
void ObexConnection::PatchEntry(HRESULT result, const CBstr& path, Patch patch) {
  FolderEntry* entry = SUCCEEDED(result) ? FindCached(path) : nullptr;
  if (entry)
    patch(*entry);
  else
    DropFolder(GetParentPath(path));
}

HRESULT ObexConnection::SetAttributes(int id, const wchar_t* path, LONG attributes) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->SetAttributes(id, path, attributes));
  PatchEntry(hr, CBstr(path), [&](FolderEntry& e) {
    e.attributes = (static_cast<DWORD>(attributes) & ~kFolderAttribute) |
                   (e.attributes & kFolderAttribute);
  });
  return hr;
}

HRESULT ObexConnection::SetTime(int id, const wchar_t* path, DATE created, DATE accessed,
                                DATE modified) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->SetTime(id, path, created, accessed, modified));
  PatchEntry(hr, CBstr(path), [&](FolderEntry& e) {
    if (created != 0) e.created = created;
    if (accessed != 0) e.accessed = accessed;
    if (modified != 0) e.modified = modified;
  });
  return hr;
}

HRESULT ObexConnection::Format(int id, const wchar_t* volume, const wchar_t* kind) {
  if (!IsConnected()) return NotConnectedResult();
  const HRESULT hr = Filter(id, m_inner->Format(id, volume, kind));
  DropAll();
  return hr;
}

// ---- operations that leave the cache alone ----

HRESULT ObexConnection::GetLabel(int id, const wchar_t* volume, BSTR* label, int attribute) {
  if (!IsConnected()) return NotConnectedResult();
  return Filter(id, m_inner->GetLabel(id, volume, label, attribute));
}

HRESULT ObexConnection::GetCapacity(int id, const wchar_t* volume, LONG* value, int attribute) {
  if (!IsConnected()) return NotConnectedResult();
  return Filter(id, m_inner->GetCapacity(id, volume, value, attribute));
}

HRESULT ObexConnection::QueryFileParameter(int id, const wchar_t* path, DWORD count,
                                           WORD* value) {
  if (!IsConnected()) return NotConnectedResult();
  return Filter(id, m_inner->QueryFileParameter(id, path, count, value));
}

HRESULT ObexConnection::GetFile(int id, const wchar_t* path, IObexStream* sink,
                                DWORD resumeCount) {
  if (!IsConnected()) return NotConnectedResult();
  return Filter(id, m_inner->GetFile(id, path, sink, resumeCount));
}

HRESULT ObexConnection::SetLabel(int id, const wchar_t* volume, const wchar_t* label,
                                 int attribute) {
  if (!IsConnected()) return NotConnectedResult();
  return Filter(id, m_inner->SetLabel(id, volume, label, attribute));
}

HRESULT ObexConnection::GetModel(char* model, int capacity) {
  return m_inner->GetModel(model, capacity);
}

HRESULT ObexConnection::GetVolumeCount(WORD* count) { return m_inner->GetVolumeCount(count); }

HRESULT ObexConnection::AttachTransport(ITransportLayer* transport) {
  return m_inner->AttachTransport(transport);
}

// ---- link and connection ids ----

HRESULT ObexConnection::OpenLink(const char* port, int baud) {
  const HRESULT hr = m_inner->OpenLink(port, baud);
  if (SUCCEEDED(hr)) {
    CLockScope lock(m_stateLock);
    m_linkOpen = true;
    m_linkState = S_OK;
  }
  return hr;
}

HRESULT ObexConnection::Connect(int* id, int targetKind) {
  if (!id) return E_INVALIDARG;
  if (targetKind == 1 && GetConnectionId() == 1) {
    RETURN_IF_FAILED(CloseConnection(1, 0));
  }
  if (IsConnected()) {
    *id = GetConnectionId();
    return S_OK;
  }
  int fresh = 0;
  const HRESULT hr = m_inner->Connect(&fresh, targetKind);
  if (SUCCEEDED(hr)) {
    CLockScope lock(m_stateLock);
    m_connectionIds.push_back(fresh);
    *id = fresh;
  }
  return hr;
}

HRESULT ObexConnection::CloseConnection(int id, int skipDisconnect) {
  {
    CLockScope lock(m_stateLock);
    if (std::find(m_connectionIds.begin(), m_connectionIds.end(), id) == m_connectionIds.end())
      return S_OK;
  }
  const HRESULT hr = m_inner->CloseConnection(id, skipDisconnect);
  if (SUCCEEDED(hr)) {
    CLockScope lock(m_stateLock);
    m_connectionIds.erase(std::remove(m_connectionIds.begin(), m_connectionIds.end(), id),
                          m_connectionIds.end());
  }
  return hr;
}

HRESULT ObexConnection::Disconnect() {
  std::vector<int> ids;
  {
    CLockScope lock(m_stateLock);
    if (!m_linkOpen) return S_OK;
    ids.swap(m_connectionIds);
  }
  for (int id : ids) m_inner->CloseConnection(id, 0);
  const HRESULT hr = m_inner->Disconnect();
  // May run on another thread than the worker: the worker's next lookup drops the cache.
  InvalidateCache();
  if (SUCCEEDED(hr)) {
    CLockScope lock(m_stateLock);
    m_linkState = E_CONNECTION_LOST;
    m_linkOpen = false;
  }
  return hr;
}
