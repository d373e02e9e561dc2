// testing/winsupport/fakes/ScriptedVolume.h - in-process IVKSVolume and IVKSGeneral with answers
// the test sets (listings per path, drives, files, failures with texts) that record every call in
// order and keep the change sinks so a test can fire OnChange.
//
// Worker threads may call them: every member is behind one lock, and both
// objects aggregate the free-threaded marshaler, so a volume marshalled to
// another apartment stays this very object. They live on the test's stack;
// the count only shows whether users let go.
#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "FakeVolume.h"
#include "TestEntries.h"

// The calls and the failures of one fake. A call is its method and its path
// arguments joined by single spaces: "GetEntries \A:\*", "Move \A:\a \A:\b".
class CCallScript {
public:
  struct Failure {
    HRESULT code;
    const wchar_t* description;   // null: the call leaves no error object
    int times;                    // how many calls still fail; -1: all
  };
  // call is a whole call text or a bare method name (then every call of that
  // method fails); the whole text is looked up first.
  void Fail(const std::wstring& call, HRESULT code, const wchar_t* description, int times = -1) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    m_failures[call] = {code, description, times};
  }
  void ClearFailures() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    m_failures.clear();
  }
  std::vector<std::wstring> Calls() const {
    std::lock_guard<std::recursive_mutex> guard(lock);
    return calls;
  }
  void ClearCalls() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    calls.clear();
  }
  // Records the call; its scripted failure (with the error object) or S_OK.
  HRESULT Record(const wchar_t* method, const std::wstring& arguments, bool hasArguments = true) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    std::wstring call = hasArguments ? std::wstring(method) + L" " + arguments : std::wstring(method);
    calls.push_back(call);
    if (onCall) onCall(call);
    auto failure = m_failures.find(call);
    if (failure == m_failures.end()) failure = m_failures.find(method);
    if (failure == m_failures.end() || failure->second.times == 0) return S_OK;
    if (failure->second.times > 0) --failure->second.times;
    if (failure->second.description) SetThreadError(failure->second.description);
    return failure->second.code;
  }
  HRESULT Record(const wchar_t* method) { return Record(method, std::wstring(), false); }
  HRESULT Record(const wchar_t* method, BSTR path) { return Record(method, std::wstring(path ? path : L"")); }
  HRESULT Record(const wchar_t* method, BSTR first, BSTR second) {
    return Record(method, std::wstring(first ? first : L"") + L" " + (second ? second : L""));
  }

  mutable std::recursive_mutex lock;
  std::vector<std::wstring> calls;   // read through Calls() while workers run
  // Runs under the lock as each call is recorded, before its failure is
  // looked up: a test lets a call change what later calls see.
  std::function<void(const std::wstring& call)> onCall;

private:
  std::map<std::wstring, Failure> m_failures;
};

// Answers IMarshal for its outer object with the free-threaded marshaler.
class CFreeThreadedMarshal {
public:
  ~CFreeThreadedMarshal() {
    if (m_marshaler) m_marshaler->Release();
  }
  HRESULT Query(IUnknown* outer, REFIID riid, void** ppv) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_marshaler) {
      HRESULT hr = CoCreateFreeThreadedMarshaler(outer, &m_marshaler);
      if (FAILED(hr)) return hr;
    }
    return m_marshaler->QueryInterface(riid, ppv);
  }

private:
  std::mutex m_lock;
  IUnknown* m_marshaler = nullptr;
};

// Counts the reads made through any stream GetFile hands out.
class CCountingStream final : public IStream {
public:
  CCountingStream(IStream* inner, volatile LONG* reads) : m_inner(inner), m_reads(reads) { m_inner->AddRef(); }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) ||
        IsEqualIID(riid, IID_ISequentialStream)) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override {
    InterlockedIncrement(m_reads);
    return m_inner->Read(buffer, count, read);
  }
  STDMETHODIMP Write(const void* data, ULONG count, ULONG* written) override {
    return m_inner->Write(data, count, written);
  }
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    return m_inner->Seek(move, origin, position);
  }
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override { return m_inner->SetSize(size); }
  STDMETHODIMP CopyTo(IStream* to, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
    return m_inner->CopyTo(to, count, read, written);
  }
  STDMETHODIMP Commit(DWORD flags) override { return m_inner->Commit(flags); }
  STDMETHODIMP Revert() override { return m_inner->Revert(); }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override { return m_inner->Stat(stat, flags); }
  STDMETHODIMP Clone(IStream** clone) override {
    IStream* inner = nullptr;
    HRESULT hr = m_inner->Clone(&inner);
    if (FAILED(hr)) return hr;
    *clone = new CCountingStream(inner, m_reads);
    inner->Release();
    return S_OK;
  }

private:
  ~CCountingStream() { m_inner->Release(); }
  IStream* m_inner;
  volatile LONG* m_reads;
  LONG m_references = 1;
};

class CScriptedVolume final : public CFakeVolume {
public:
  using Failure = CCallScript::Failure;
  struct Drive {
    std::wstring name;   // "A:"
    LONG total;
    LONG free;
    std::wstring label;
  };

  ~CScriptedVolume() override {
    for (auto& listing : m_listings) VariantClear(&listing.second);
    for (Sink& sink : m_sinks) sink.sink->Release();
  }

  // What GetEntries answers for path; a path without a listing gives no
  // entries and S_FALSE, as an empty folder does.
  void SetListing(const std::wstring& path, const CTestEntries& entries) {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    VariantClear(&m_listings[path]);
    m_listings[path] = entries.Build();
  }
  // The module's drives. A listing of the root ("", "\", "\*", any path
  // without a folder part) that the test did not set gives their rows as the
  // server does: size = total, folder attribute, last write = free bytes as
  // a double; "A:" or "\A:" lists that drive alone. GetCapacity, GetLabel and
  // SetLabel use them.
  void SetDrives(const std::vector<Drive>& drives) {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    m_drives = drives;
  }
  // A file GetFile gives as a stream; PutFile and Copy add files, Move moves.
  void SetFile(const std::wstring& path, const std::string& bytes) {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    m_files[path] = bytes;
  }
  bool GetStoredFile(const std::wstring& path, std::string* bytes) const {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    auto file = m_files.find(path);
    if (file == m_files.end()) return false;
    if (bytes) *bytes = file->second;
    return true;
  }
  void SetHasSubDirs(const std::wstring& path, bool subDirs) {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    m_subDirs[path] = subDirs;
  }
  // Attributes last given by PutFile or SetAttributes; -1 when none.
  LONG AttributesOf(const std::wstring& path) const {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    auto found = m_attributes.find(path);
    return found == m_attributes.end() ? -1 : found->second;
  }
  // Times last given by SetTime (created, accessed, written).
  bool TimesOf(const std::wstring& path, DATE times[3]) const {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    auto found = m_times.find(path);
    if (found == m_times.end()) return false;
    for (int i = 0; i < 3; ++i) times[i] = found->second[i];
    return true;
  }

  void Fail(const std::wstring& call, HRESULT code, const wchar_t* failureText, int times = -1) {
    script.Fail(call, code, failureText, times);
  }
  std::vector<std::wstring> Calls() const { return script.Calls(); }

  // The sinks given to AddChangeNotification and not removed.
  size_t SinkCount() const {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    return m_sinks.size();
  }
  std::wstring SinkPath(size_t index) const {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    return index < m_sinks.size() ? m_sinks[index].path : std::wstring();
  }
  // Calls OnChange(text) on every kept sink, on the calling thread, as the
  // server's main thread does; the lock is not held meanwhile. Returns how
  // many sinks were called.
  int FireChange(const wchar_t* text) {
    std::vector<IUnknown*> sinks;
    {
      std::lock_guard<std::recursive_mutex> guard(script.lock);
      for (Sink& sink : m_sinks) {
        sink.sink->AddRef();
        sinks.push_back(sink.sink);
      }
    }
    int called = 0;
    BSTR path = SysAllocString(text);
    for (IUnknown* unknown : sinks) {
      IVKSNotifySink* sink = nullptr;
      if (SUCCEEDED(unknown->QueryInterface(IID_IVKSNotifySink, reinterpret_cast<void**>(&sink)))) {
        sink->OnChange(path);
        sink->Release();
        ++called;
      }
      unknown->Release();
    }
    SysFreeString(path);
    return called;
  }

  // Thread-safe recording; `calls` stays readable as a member for tests that
  // run on one thread.
  CCallScript script;
  std::vector<std::wstring>& calls = script.calls;
  // Reads through the streams GetFile gave.
  volatile LONG reads = 0;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IMarshal)) return m_marshal.Query(static_cast<IVKSVolume*>(this), riid, ppv);
    return CFakeVolume::QueryInterface(riid, ppv);
  }

  STDMETHODIMP GetEntries(BSTR path, VARIANT_BOOL limit, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    lastLimit = limit;
    HRESULT hr = script.Record(L"GetEntries", path);
    if (FAILED(hr)) return hr;
    const std::wstring key = path ? path : L"";
    auto listing = m_listings.find(key);
    if (listing != m_listings.end()) {
      hr = VariantCopy(out, &listing->second);
      if (FAILED(hr)) return hr;
      return RowCount(*out) == 0 ? S_FALSE : S_OK;
    }
    if (!m_drives.empty() && NamesRoot(key)) return DriveRows(key, out);
    *out = CTestEntries().Build();
    return S_FALSE;
  }

  STDMETHODIMP AddChangeNotification(BSTR path, IUnknown* sink, LONG* token) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"AddChangeNotification", path);
    if (FAILED(hr)) return hr;
    if (!sink || !token) return E_POINTER;
    sink->AddRef();
    *token = ++m_lastToken;
    m_sinks.push_back({*token, path ? path : L"", sink});
    return S_OK;
  }
  STDMETHODIMP RemoveChangeNotification(LONG token) override {
    IUnknown* released = nullptr;
    {
      std::lock_guard<std::recursive_mutex> guard(script.lock);
      HRESULT hr = script.Record(L"RemoveChangeNotification", std::to_wstring(token));
      if (FAILED(hr)) return hr;
      for (auto sink = m_sinks.begin(); sink != m_sinks.end(); ++sink)
        if (sink->token == token) {
          released = sink->sink;
          m_sinks.erase(sink);
          break;
        }
    }
    if (!released) return E_INVALIDARG;
    released->Release();   // outside the lock: the sink may be torn down here
    return S_OK;
  }
  STDMETHODIMP BroadcastChangeNotification(BSTR path) override {
    return script.Record(L"BroadcastChangeNotification", path);
  }
  STDMETHODIMP Copy(BSTR from, BSTR to) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"Copy", from, to);
    auto file = m_files.find(Text(from));
    if (SUCCEEDED(hr) && file != m_files.end()) m_files[Text(to)] = file->second;
    return hr;
  }
  STDMETHODIMP Move(BSTR from, BSTR to) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"Move", from, to);
    auto file = m_files.find(Text(from));
    if (SUCCEEDED(hr) && file != m_files.end()) {
      std::string bytes = file->second;
      m_files.erase(file);
      m_files[Text(to)] = bytes;
    }
    return hr;
  }
  STDMETHODIMP MoveDir(BSTR from, BSTR to) override { return script.Record(L"MoveDir", from, to); }
  STDMETHODIMP CreateDir(BSTR path) override { return script.Record(L"CreateDir", path); }
  STDMETHODIMP CreateStdDirs(BSTR volume) override { return script.Record(L"CreateStdDirs", volume); }
  STDMETHODIMP Delete(BSTR path) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"Delete", path);
    if (SUCCEEDED(hr)) m_files.erase(Text(path));
    return hr;
  }
  STDMETHODIMP Format(BSTR volume) override { return script.Record(L"Format", volume); }
  STDMETHODIMP RemoveDir(BSTR path) override { return script.Record(L"RemoveDir", path); }
  STDMETHODIMP SelectPort(BSTR port) override { return script.Record(L"SelectPort", port); }

  STDMETHODIMP GetCapacity(BSTR volume, LONG* total, LONG* free) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"GetCapacity", volume);
    if (FAILED(hr)) return hr;
    const Drive* drive = FindDrive(volume);
    if (!drive) return E_INVALIDARG;
    if (total) *total = drive->total;
    if (free) *free = drive->free;
    return S_OK;
  }
  STDMETHODIMP GetLabel(BSTR volume, BSTR* label) override {
    if (!label) return E_POINTER;
    *label = nullptr;
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"GetLabel", volume);
    if (FAILED(hr)) return hr;
    const Drive* drive = FindDrive(volume);
    if (!drive) return E_INVALIDARG;
    *label = SysAllocString(drive->label.c_str());
    return *label ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP SetLabel(BSTR volume, BSTR label) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"SetLabel", volume, label);
    if (FAILED(hr)) return hr;
    Drive* drive = const_cast<Drive*>(FindDrive(volume));
    if (!drive) return E_INVALIDARG;
    drive->label = Text(label);
    return S_OK;
  }
  STDMETHODIMP HasSubDirs(BSTR path, VARIANT_BOOL* subDirs) override {
    if (!subDirs) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"HasSubDirs", path);
    if (FAILED(hr)) return hr;
    auto found = m_subDirs.find(Text(path));
    *subDirs = found != m_subDirs.end() && found->second ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP GetFile(BSTR path, IUnknown** content) override {
    if (!content) return E_POINTER;
    *content = nullptr;
    std::string bytes;
    {
      std::lock_guard<std::recursive_mutex> guard(script.lock);
      HRESULT hr = script.Record(L"GetFile", path);
      if (FAILED(hr)) return hr;
      auto file = m_files.find(Text(path));
      if (file == m_files.end()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      bytes = file->second;
    }
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    *content = new CCountingStream(stream, &reads);
    stream->Release();
    return S_OK;
  }
  STDMETHODIMP PutFile(BSTR path, IUnknown* content, LONG attributes) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"PutFile", path);
    if (FAILED(hr)) return hr;
    if (!content) return E_POINTER;
    IStream* stream = nullptr;
    if (FAILED(content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)))) return E_NOINTERFACE;
    std::string bytes;
    char buffer[4096];
    ULONG got = 0;
    while (SUCCEEDED(hr = stream->Read(buffer, sizeof(buffer), &got)) && got > 0) bytes.append(buffer, got);
    stream->Release();
    if (FAILED(hr)) return hr;
    m_files[Text(path)] = bytes;
    m_attributes[Text(path)] = attributes;
    return S_OK;
  }
  STDMETHODIMP SetAttributes(BSTR path, LONG attributes) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"SetAttributes", path);
    if (SUCCEEDED(hr)) m_attributes[Text(path)] = attributes;
    return hr;
  }
  STDMETHODIMP SetTime(BSTR path, DATE created, DATE accessed, DATE written) override {
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"SetTime", path);
    if (SUCCEEDED(hr)) m_times[Text(path)] = {created, accessed, written};
    return hr;
  }

private:
  struct Sink {
    LONG token;
    std::wstring path;
    IUnknown* sink;
  };
  static std::wstring Text(BSTR text) { return text ? text : L""; }
  static LONG RowCount(const VARIANT& listing) {
    if (V_VT(&listing) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&listing)) return -1;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(V_ARRAY(&listing), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(&listing), 1, &upper);
    return upper - lower + 1;
  }
  // A path without a folder part names the root or one drive.
  static bool NamesRoot(const std::wstring& path) {
    size_t start = !path.empty() && path[0] == L'\\' ? 1 : 0;
    return path.find(L'\\', start) == std::wstring::npos;
  }
  static std::wstring DriveOf(const std::wstring& path) {
    size_t start = !path.empty() && path[0] == L'\\' ? 1 : 0;
    if (path.size() < start + 2 || path[start + 1] != L':') return std::wstring();
    return std::wstring(1, static_cast<wchar_t>(towupper(path[start]))) + L":";
  }
  const Drive* FindDrive(BSTR volume) const {
    std::wstring letter = DriveOf(Text(volume));
    for (const Drive& drive : m_drives)
      if (DriveOf(drive.name) == letter) return &drive;
    return nullptr;
  }
  HRESULT DriveRows(const std::wstring& path, VARIANT* out) {
    std::wstring only = DriveOf(path);
    size_t start = !path.empty() && path[0] == L'\\' ? 1 : 0;
    if (path.size() != start + 2) only.clear();   // "A:*" or a pattern: all drives
    CTestEntries rows;
    SYSTEMTIME now;
    GetLocalTime(&now);
    DATE today = 0;
    SystemTimeToVariantTime(&now, &today);
    for (const Drive& drive : m_drives) {
      if (!only.empty() && DriveOf(drive.name) != only) continue;
      rows.Add({MakeBstr(drive.name.c_str()), MakeBstr(drive.name.c_str()), MakeI4(drive.total), MakeI4(0x10),
                MakeDate(today), MakeDate(today), MakeR8(static_cast<double>(drive.free))});
    }
    *out = rows.Build();
    return RowCount(*out) == 0 ? E_INVALIDARG : S_OK;
  }

  std::map<std::wstring, VARIANT> m_listings;
  std::vector<Drive> m_drives;
  std::map<std::wstring, std::string> m_files;
  std::map<std::wstring, bool> m_subDirs;
  std::map<std::wstring, LONG> m_attributes;
  std::map<std::wstring, std::vector<DATE>> m_times;
  std::vector<Sink> m_sinks;
  LONG m_lastToken = 0;
  CFreeThreadedMarshal m_marshal;
};

// IVKSGeneral with a model, a port list and a shutdown answer set by the test.
class CScriptedGeneral final : public CFakeDual<IVKSGeneral> {
public:
  std::wstring model = L"MC35i";
  std::wstring ports = L"COM1;COM2";
  CCallScript script;

  std::vector<std::wstring> Calls() const { return script.Calls(); }
  void Fail(const std::wstring& call, HRESULT code, const wchar_t* failureText, int times = -1) {
    script.Fail(call, code, failureText, times);
  }

  STDMETHODIMP GetMobileModel(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"GetMobileModel");
    if (FAILED(hr)) return hr;
    *out = SysAllocString(model.c_str());
    return S_OK;
  }
  STDMETHODIMP GetCommPorts(BSTR* out, LONG flags) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::lock_guard<std::recursive_mutex> guard(script.lock);
    HRESULT hr = script.Record(L"GetCommPorts", std::to_wstring(flags));
    if (FAILED(hr)) return hr;
    *out = SysAllocString(ports.c_str());
    return S_OK;
  }
  STDMETHODIMP Shutdown(LONG timeout) override {
    return script.Record(L"Shutdown", std::to_wstring(timeout));
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IMarshal)) return m_marshal.Query(this, riid, ppv);
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IVKSGeneral)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

private:
  CFreeThreadedMarshal m_marshal;
};
