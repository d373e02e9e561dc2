// server/ChangeSinks.cpp - sink records in an idle and a pending ring.
#include "ChangeSinks.h"

#include <climits>
#include <string>
#include <vector>

#include "Clock.h"
#include "ComBase.h"
#include "CriticalSection.h"
#include "Ring.h"
#include "VKSServer.h"

namespace {

struct SinkRecord : Ring<SinkRecord> {
  int token = 0;
  IUnknown* sink = nullptr;
  CBstr path;
  CBstr longPath;
  CBstr shortPath;
  DWORD changedAt = 0;
};

CCriticalSection& SinkLock() {
  static CCriticalSection lock;
  return lock;
}
IClock* g_clock = &SystemClock();
Ring<SinkRecord> g_idle;     // newest first
Ring<SinkRecord> g_pending;  // newest first; the last is due first
int g_lastToken = 0;

// A sink whose client process is gone answers with one of these; it will
// never answer again, and it must not keep the server alive.
bool ClientIsGone(HRESULT hr) {
  switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
      return true;
    default:
      return false;
  }
}

void FreeRecord(SinkRecord* record) {
  record->Unlink();
  if (record->sink) record->sink->Release();
  delete record;
  GetComModule().Unlock();
}

SinkRecord* FindLocked(int token) {
  for (Ring<SinkRecord>* ring : {&g_pending, &g_idle})
    for (SinkRecord* r = ring->First(); r; r = ring->Next(r))
      if (r->token == token) return r;
  return nullptr;
}

// Calls the sink outside the lock; drops the registration when its client died.
void CallSink(int token, IUnknown* sink, const CBstr& path) {
  ComPtr<IVKSNotifySink> notify;
  HRESULT hr = sink->QueryInterface(IID_IVKSNotifySink, reinterpret_cast<void**>(&notify));
  if (SUCCEEDED(hr)) {
    BSTR text = path.Copy();
    hr = notify->OnChange(text);
    SysFreeString(text);
  }
  sink->Release();
  if (ClientIsGone(hr)) RemoveSink(token);
}

std::vector<std::wstring> Components(const wchar_t* text, bool lower) {
  std::vector<std::wstring> parts;
  if (!text) return parts;
  if (*text == L'\\') ++text;
  if (!*text) return parts;
  std::wstring part;
  for (const wchar_t* p = text;; ++p) {
    if (*p == L'\\' || !*p) {
      parts.push_back(part);
      part.clear();
      if (!*p) break;
    } else {
      wchar_t c = *p;
      if (lower) CharLowerBuffW(&c, 1);
      part += c;
    }
  }
  return parts;
}

}  // namespace

void SetSinkClock(IClock* clock) {
  CLockScope lock(SinkLock());
  g_clock = clock ? clock : &SystemClock();
}

bool SinkFolderMatches(const CBstr& registeredPath, const CBstr& longPath, const CBstr& shortPath,
                       const CBstr& changedPath) {
  if (!registeredPath.GetLength()) return true;
  const auto changed = Components(changedPath.GetBstr(), true);
  const auto longParts = Components(longPath.GetBstr(), false);
  const auto shortParts = Components(shortPath.GetBstr(), false);
  // Every component counts, the drive too: a change on B: is none on A:.
  if (changed.size() != longParts.size() || changed.size() != shortParts.size()) return false;
  for (size_t i = 0; i < changed.size(); ++i)
    if (changed[i] != longParts[i] && changed[i] != shortParts[i]) return false;
  return true;
}

int AddSink(IUnknown* sink, const CBstr& path, const CBstr& longPath, const CBstr& shortPath) {
  SinkRecord* record = new SinkRecord;
  record->sink = sink;
  sink->AddRef();
  record->path = path;
  record->longPath = longPath;
  record->shortPath = shortPath;
  GetComModule().Lock();
  CLockScope lock(SinkLock());
  record->token = ++g_lastToken;
  record->InsertAfter(&g_idle);
  return record->token;
}

bool RemoveSink(int token) {
  IUnknown* sink = nullptr;
  {
    CLockScope lock(SinkLock());
    SinkRecord* record = FindLocked(token);
    if (!record) return false;
    sink = record->sink;
    record->sink = nullptr;
    FreeRecord(record);
  }
  if (sink) sink->Release();  // outside the lock: it may call a client
  return true;
}

void NotifySinksOfChange(const CBstr& changedPath) {
  CLockScope lock(SinkLock());
  const DWORD now = g_clock->Now();
  std::vector<SinkRecord*> matched;
  for (Ring<SinkRecord>* ring : {&g_pending, &g_idle})
    for (SinkRecord* r = ring->First(); r; r = ring->Next(r))
      if (SinkFolderMatches(r->path, r->longPath, r->shortPath, changedPath)) matched.push_back(r);
  for (SinkRecord* r : matched) {
    r->changedAt = now;
    r->InsertAfter(&g_pending);
  }
}

void NotifyAllSinks() {
  CLockScope lock(SinkLock());
  const DWORD now = g_clock->Now();
  std::vector<SinkRecord*> idle;
  for (SinkRecord* r = g_idle.First(); r; r = g_idle.Next(r)) idle.push_back(r);
  for (auto it = idle.rbegin(); it != idle.rend(); ++it) (*it)->InsertAfter(&g_pending);
  for (SinkRecord* r = g_pending.First(); r; r = g_pending.Next(r)) r->changedAt = now;
}

namespace {
SinkRecord* OldestPendingLocked() {
  SinkRecord* last = nullptr;
  for (SinkRecord* r = g_pending.First(); r; r = g_pending.Next(r)) last = r;
  return last;
}
}  // namespace

DWORD TimeToNextDispatch() {
  CLockScope lock(SinkLock());
  SinkRecord* oldest = OldestPendingLocked();
  if (!oldest) return kSinkDelayMs;
  const DWORD age = g_clock->Now() - oldest->changedAt;
  return age >= kSinkDelayMs ? 0 : kSinkDelayMs - age;
}

void DispatchPendingNotification() {
  int token = 0;
  IUnknown* sink = nullptr;
  CBstr path;
  {
    CLockScope lock(SinkLock());
    SinkRecord* oldest = OldestPendingLocked();
    if (!oldest || g_clock->Now() - oldest->changedAt < kSinkDelayMs) return;
    oldest->InsertAfter(&g_idle);
    token = oldest->token;
    sink = oldest->sink;
    sink->AddRef();
    path = oldest->path;
  }
  CallSink(token, sink, path);
}

void BroadcastChange(const CBstr& path) {
  int last = 0;
  for (;;) {
    IUnknown* sink = nullptr;
    int token = INT_MAX;
    {
      CLockScope lock(SinkLock());
      SinkRecord* next = nullptr;
      for (Ring<SinkRecord>* ring : {&g_pending, &g_idle})
        for (SinkRecord* r = ring->First(); r; r = ring->Next(r))
          if (r->token > last && r->token < token) {
            token = r->token;
            next = r;
          }
      if (!next) return;
      sink = next->sink;
      sink->AddRef();
    }
    last = token;
    CallSink(token, sink, path);
  }
}

int GetSinkCount() {
  CLockScope lock(SinkLock());
  int count = 0;
  for (Ring<SinkRecord>* ring : {&g_pending, &g_idle})
    for (SinkRecord* r = ring->First(); r; r = ring->Next(r)) ++count;
  return count;
}

void RemoveAllSinks() {
  for (;;) {
    int token = 0;
    {
      CLockScope lock(SinkLock());
      SinkRecord* r = g_pending.First() ? g_pending.First() : g_idle.First();
      if (!r) return;
      token = r->token;
    }
    RemoveSink(token);
  }
}
