// link/tests/queue_fakes.h - an in-process module (IObex2) and download buffer for the
// cache and queue tests.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "OBEXCom.h"
#include "Request.h"
#include "SuiteString.h"
#include "SuiteUtil.h"
#include "TestData.h"

namespace fake {

inline std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

struct Item {
  Item(std::wstring n, DWORD s, DWORD a, std::wstring sn = L"", DATE m = 40000.5)
      : name(std::move(n)), size(s), attributes(a), shortName(std::move(sn)), modified(m) {}
  std::wstring name;
  DWORD size;
  DWORD attributes;
  std::wstring shortName;
  DATE modified;
};

// A module file system held in memory: folders (keyed without case) with their
// items, and file contents for downloads. Every call is logged as "Op path".
class Module final : public IObex2 {
public:
  std::map<std::wstring, std::vector<Item>> folders;  // key: Lower(folder path)
  std::map<std::wstring, std::vector<BYTE>> files;    // key: Lower(file path)
  std::map<std::wstring, HRESULT> fail;  // op name -> result of its next call (then removed)
  DWORD blockSize = 1000;
  // Called on the worker after each block a GetFile pushed (bytes sent so far).
  std::function<void(DWORD sent)> afterBlock;
  // Called when an op starts (op name, path); may block to hold the worker.
  std::function<void(const std::wstring& op, const std::wstring& path)> onCall;
  std::atomic<int> connects{0}, disconnects{0}, closes{0}, openLinks{0};
  std::atomic<bool>* destroyed = nullptr;

  ~Module() override {
    if (destroyed) *destroyed = true;
  }

  void AddFolder(const std::wstring& folder, std::vector<Item> items) {
    folders[Lower(folder)] = std::move(items);
  }
  void AddFile(const std::wstring& path, std::vector<BYTE> data) {
    files[Lower(path)] = std::move(data);
  }
  std::vector<std::wstring> Log() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
  }
  void ClearLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
  }
  int Count(const std::wstring& op) {
    int n = 0;
    for (const auto& line : Log())
      if (line.compare(0, op.size() + 1, op + L" ") == 0 || line == op) ++n;
    return n;
  }

  HRESULT Copy(int, const wchar_t* newPath, const wchar_t* existing) override {
    return Call(L"Copy", newPath + std::wstring(L"<") + existing);
  }
  HRESULT CreateDir(int, const wchar_t* path) override {
    HRESULT hr = Call(L"CreateDir", path);
    if (hr == S_OK) {
      CBstr p(path);
      const std::wstring folder = Lower(Text(GetParentPath(p)));
      for (const auto& item : folders[folder])
        if (Lower(item.name) == Lower(Text(GetNamePart(p)))) return S_FALSE;
      folders[folder].push_back({Text(GetNamePart(p)), 0, FILE_ATTRIBUTE_DIRECTORY});
      folders[Lower(path)];
    }
    return hr;
  }
  HRESULT Delete(int, const wchar_t* path) override { return Call(L"Delete", path); }
  HRESULT GetFolderListing(int, const wchar_t* path, FolderEntry** entries) override {
    *entries = nullptr;
    HRESULT hr = Call(L"List", path);
    if (FAILED(hr)) return hr;
    const std::wstring folder = Lower(Text(GetParentPath(CBstr(path))));
    FolderEntry** tail = entries;
    for (const auto& item : folders[folder]) {
      FolderEntry* e = NewFolderEntry(item.name.c_str(), item.size, item.attributes, 40000.0,
                                      40000.25, item.modified);
      if (!item.shortName.empty()) {
        CoTaskMemFree(e->shortName);
        e->shortName = Dup(item.shortName);
      }
      *tail = e;
      tail = &e->next;
    }
    return *entries ? S_OK : S_FALSE;
  }
  HRESULT CloseConnection(int, int) override {
    ++closes;
    return Call(L"CloseConnection", L"");
  }
  HRESULT Disconnect() override {
    ++disconnects;
    return Call(L"Disconnect", L"");
  }
  HRESULT Format(int, const wchar_t* volume, const wchar_t* kind) override {
    return Call(L"Format", std::wstring(volume ? volume : L"") + L"," + (kind ? kind : L""));
  }
  HRESULT GetLabel(int, const wchar_t* volume, BSTR* label, int) override {
    *label = SysAllocString(L"LABEL");
    return Call(L"GetLabel", volume);
  }
  HRESULT GetCapacity(int, const wchar_t* volume, LONG* value, int attribute) override {
    *value = attribute == 1 ? totalBytes : freeBytes;
    return Call(L"GetCapacity", volume);
  }
  HRESULT QueryFileParameter(int, const wchar_t* path, DWORD count, WORD* value) override {
    const auto& data = files[Lower(path)];
    const DWORD n = count < data.size() ? count : static_cast<DWORD>(data.size());
    *value = static_cast<WORD>(Crc16Update(data.data(), n, 0) ^ crcSpoil);
    return Call(L"Query", std::wstring(path) + L"@" + std::to_wstring(count));
  }
  HRESULT GetFile(int, const wchar_t* path, IObexStream* sink, DWORD resumeCount) override {
    HRESULT hr = Call(L"GetFile", std::wstring(path) + L"@" + std::to_wstring(resumeCount));
    if (FAILED(hr)) return hr;
    const std::vector<BYTE> data = files[Lower(path)];
    for (DWORD sent = resumeCount; sent < data.size();) {
      const DWORD n = std::min<DWORD>(blockSize, static_cast<DWORD>(data.size()) - sent);
      hr = sink->Write(data.data() + sent, n);
      sent += n;
      if (afterBlock) afterBlock(sent);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  HRESULT Move(int, const wchar_t* newPath, const wchar_t* existing) override {
    return Call(L"Move", newPath + std::wstring(L"<") + existing);
  }
  HRESULT MoveDir(int, const wchar_t* newPath, const wchar_t* existing) override {
    return Call(L"MoveDir", newPath + std::wstring(L"<") + existing);
  }
  HRESULT PutFile(int, const wchar_t* path, IStream*, DWORD size, LONG, DATE, DATE,
                  DATE) override {
    return Call(L"PutFile", std::wstring(path) + L"#" + std::to_wstring(size));
  }
  HRESULT RemoveDir(int, const wchar_t* path) override { return Call(L"RemoveDir", path); }
  HRESULT SetLabel(int, const wchar_t* volume, const wchar_t* label, int) override {
    return Call(L"SetLabel", std::wstring(volume) + L"=" + label);
  }
  HRESULT SetAttributes(int, const wchar_t* path, LONG) override {
    return Call(L"SetAttributes", path);
  }
  HRESULT SetTime(int, const wchar_t* path, DATE, DATE, DATE) override {
    return Call(L"SetTime", path);
  }
  HRESULT OpenLink(const char*, int) override {
    ++openLinks;
    return Call(L"OpenLink", L"");
  }
  HRESULT Connect(int* id, int kind) override {
    HRESULT hr = Call(L"Connect", L"");
    if (SUCCEEDED(hr)) {
      ++connects;
      *id = kind + 1 + idOffset;
    }
    return hr;
  }
  HRESULT AttachTransport(ITransportLayer* transport) override {
    attached = transport;
    return Call(L"Attach", L"");
  }
  HRESULT GetModel(char* model, int capacity) override {
    strncpy_s(model, static_cast<size_t>(capacity), "FAKE-1", _TRUNCATE);
    return Call(L"GetModel", L"");
  }
  HRESULT GetVolumeCount(WORD* count) override {
    *count = 2;
    return S_OK;
  }

  LONG totalBytes = 1 << 20;
  LONG freeBytes = 1 << 19;
  WORD crcSpoil = 0;  // non-zero: the module's checksum disagrees
  int idOffset = 0;   // non-zero: Connect hands out ids other than kind + 1
  std::atomic<ITransportLayer*> attached{nullptr};  // what the packet layer would point at

private:
  static std::wstring Text(const CBstr& s) { return s.GetBstr() ? s.GetBstr() : L""; }
  static wchar_t* Dup(const std::wstring& s) {
    auto* p = static_cast<wchar_t*>(CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
    memcpy(p, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    return p;
  }
  HRESULT Call(const std::wstring& op, const std::wstring& path) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_log.push_back(op + L" " + path);  // in the order the calls began
    }
    if (onCall) onCall(op, path);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = fail.find(op);
    if (it == fail.end()) return S_OK;
    const HRESULT hr = it->second;
    fail.erase(it);
    return hr;
  }
  std::mutex m_mutex;
  std::vector<std::wstring> m_log;
};

class Transport final : public ITransportLayer {
public:
  Transport() { Live(this, true); }
  ~Transport() override { Live(this, false); }
  // Whether t is a transport that still exists.
  static bool IsLive(ITransportLayer* t) { return Live(t, false, true); }

  HRESULT Connect(const wchar_t*, int) override { return S_OK; }
  HRESULT Disconnect() override { return S_OK; }
  HRESULT LeaveObexMode() override { return S_OK; }
  HRESULT Transact(BYTE*, WORD*, DWORD, WORD) override { return E_NOTIMPL; }
  HRESULT GetModel(char*, size_t) override { return E_NOTIMPL; }
  HRESULT GetVolumeCount(WORD* count) override {
    *count = 2;
    return S_OK;
  }

private:
  static bool Live(ITransportLayer* t, bool add, bool query = false) {
    static std::mutex mutex;
    static std::vector<ITransportLayer*> live;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = std::find(live.begin(), live.end(), t);
    if (query) return it != live.end();
    if (add) live.push_back(t);
    else if (it != live.end()) live.erase(it);
    return true;
  }
};

// A download buffer: what the client side of a GetFile would see.
class Buffer final : public IInputSource {
public:
  Buffer() : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Buffer() { CloseHandle(m_event); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  void Attach(Request* request) {
    m_cancel = &request->cancelled;
    request->cancelled = 0;
    request->buffer = this;
  }
  // The client lets go of its stream.
  void Release() {
    GetTransferLock().Enter();
    if (m_cancel) *m_cancel = 1;
    m_cancel = nullptr;
    GetTransferLock().Leave();
  }
  bool WaitDone(DWORD ms) { return WaitForSingleObject(m_event, ms) == WAIT_OBJECT_0; }

  HRESULT SetFileInfo(STATSTG* info) override {
    m_size = info->cbSize.QuadPart;
    name = info->pwcsName ? info->pwcsName : L"";
    CoTaskMemFree(info->pwcsName);
    haveInfo = true;
    return S_OK;
  }
  HRESULT AppendData(const BYTE* p, DWORD n) override {
    if (complete) return E_UNEXPECTED;
    if (m_size && data.size() + n > m_size) return E_UNEXPECTED;
    data.insert(data.end(), p, p + n);
    ++appends;
    if (onAppend) onAppend(data.size());
    return S_OK;
  }
  void SetError(HRESULT failure) override {
    if (FAILED(failure)) error = failure;
  }
  void Complete() override {
    m_cancel = nullptr;
    if (SUCCEEDED(error) && (!haveInfo || (m_size && m_size != data.size()))) error = E_UNEXPECTED;
    complete = true;
    SetEvent(m_event);
  }
  void GetProgress(ULONGLONG* size, ULONGLONG* received) override {
    *size = m_size;
    *received = data.size();
  }
  void GetResumePoint(ULONGLONG* size, ULONGLONG* received, WORD* crc) override {
    *size = m_size;
    *received = data.size();
    *crc = Crc16Update(data.data(), static_cast<DWORD>(data.size()), 0);
  }

  std::vector<BYTE> data;
  std::function<void(size_t received)> onAppend;  // on the worker, under the transfer lock
  std::wstring name;
  HRESULT error = S_OK;
  bool haveInfo = false;
  bool complete = false;
  int appends = 0;

private:
  ULONGLONG m_size = 0;
  int* m_cancel = nullptr;
  HANDLE m_event;
};

using vkstest::Pattern;

}  // namespace fake
