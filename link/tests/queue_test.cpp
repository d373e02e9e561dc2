// Requests on a connection's worker: queue order, pause and resume, idle close, failures.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "ObexConnection.h"
#include "PhysicalConnection.h"
#include "ResultCodes.h"
#include "queue_fakes.h"

namespace {

fake::Module* g_next = nullptr;
HRESULT g_createResult = S_OK;

HRESULT CreateFakeObex(IObex2** obex) {
  *obex = nullptr;
  if (FAILED(g_createResult)) return g_createResult;
  *obex = g_next;
  g_next = nullptr;
  return S_OK;
}
HRESULT CreateFakeTransport(ITransportLayer** transport, HANDLE) {
  *transport = new fake::Transport;
  return S_OK;
}
const LinkFactories kFakes = {CreateFakeObex, CreateFakeTransport, false};

class Event {
public:
  Event() : m_h(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(m_h); }
  void Set() { SetEvent(m_h); }
  void Reset() { ResetEvent(m_h); }
  bool Wait(DWORD ms = 10000) { return WaitForSingleObject(m_h, ms) == WAIT_OBJECT_0; }

private:
  HANDLE m_h;
};

class QueueTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetLinkFactories(&kFakes);
    g_createResult = S_OK;
    Open(L"COM7");
  }
  void TearDown() override {
    CloseAllConnections();
    SetLinkFactories(nullptr);
    SetRequestNotifier(nullptr);
  }
  void Open(const wchar_t* port) {
    module = new fake::Module;
    module->destroyed = &destroyed;
    destroyed = false;
    g_next = module;
    BSTR name = SysAllocString(port);
    ASSERT_EQ(S_OK, GetConnection(&conn, kTransportSerial, name, -1));
    SysFreeString(name);
  }

  Request* Make(int type, const wchar_t* path) {
    auto* r = new Request(conn, type, 2, 0);
    r->SetPath(CBstr(path));
    return r;
  }
  HRESULT Run(int type, const wchar_t* path) { return ExecuteRequest(Make(type, path)); }
  // A download into buffer; the worker frees the request.
  void Download(const wchar_t* path, fake::Buffer& buffer) {
    Request* r = Make(kRequestGetFile, path);
    buffer.Attach(r);
    SubmitRequest(r);
  }
  // The worker's operations, without the connect and listing traffic.
  std::vector<std::wstring> Ops() {
    std::vector<std::wstring> ops;
    for (const auto& line : module->Log())
      if (line.rfind(L"SetTime", 0) == 0 || line.rfind(L"GetFile", 0) == 0 ||
          line.rfind(L"Query", 0) == 0)
        ops.push_back(line);
    return ops;
  }
  // Holds the worker inside the SetTime of "\hold" until released.
  void HoldWorker() {
    held.Reset();
    release.Reset();
    module->onCall = [this](const std::wstring& op, const std::wstring& path) {
      if (op == L"SetTime" && path == L"\\hold") {
        held.Set();
        release.Wait(20000);
      }
    };
  }

  fake::Module* module = nullptr;  // owned by the connection
  std::atomic<bool> destroyed{false}, destroyed2{false};
  CPhysicalConnection* conn = nullptr;
  Event held, release;
};

TEST_F(QueueTest, OrdinaryRequestsOvertakeNewestFirstStreamingOnesKeepTheirOrder) {
  struct Case {
    const char* submitted;  // o: ordinary (SetTime), g: download; numbered in order
    std::vector<std::wstring> order;
  } cases[] = {
      {"o1 o2", {L"SetTime \\o2", L"SetTime \\o1"}},
      {"g1 o1", {L"SetTime \\o1", L"GetFile \\telecom\\g1@0"}},
      {"g1 g2 o1 o2",
       {L"SetTime \\o2", L"SetTime \\o1", L"GetFile \\telecom\\g1@0", L"GetFile \\telecom\\g2@0"}},
      {"o1 g1 o2 g2",
       {L"SetTime \\o2", L"SetTime \\o1", L"GetFile \\telecom\\g1@0", L"GetFile \\telecom\\g2@0"}},
  };
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    module->AddFile(L"\\telecom\\g1", fake::Pattern(300));
    module->AddFile(L"\\telecom\\g2", fake::Pattern(300));
    HoldWorker();
    Request* hold = Make(kRequestSetTime, L"\\hold");
    SubmitRequest(hold);
    ASSERT_TRUE(held.Wait());
    std::vector<Request*> waiting;
    std::vector<std::unique_ptr<fake::Buffer>> buffers;
    std::string text = c.submitted;
    for (size_t i = 0; i < text.size(); i += 3) {
      const std::wstring n(1, static_cast<wchar_t>(text[i + 1]));
      if (text[i] == 'o') {
        waiting.push_back(Make(kRequestSetTime, (L"\\o" + n).c_str()));
        SubmitRequest(waiting.back());
      } else {
        buffers.push_back(std::make_unique<fake::Buffer>());
        Download((L"\\telecom\\g" + n).c_str(), *buffers.back());
      }
    }
    release.Set();
    WaitForRequest(hold);
    EXPECT_EQ(S_OK, FinishRequest(hold));
    for (Request* r : waiting) {
      WaitForRequest(r);
      EXPECT_EQ(S_OK, FinishRequest(r));
    }
    for (auto& b : buffers) {
      ASSERT_TRUE(b->WaitDone(10000));
      EXPECT_EQ(S_OK, b->error);
      EXPECT_EQ(fake::Pattern(300), b->data);
    }
    std::vector<std::wstring> expected{L"SetTime \\hold"};
    expected.insert(expected.end(), c.order.begin(), c.order.end());
    EXPECT_EQ(expected, Ops()) << c.submitted;
  }
}

class PauseTest : public QueueTest {
protected:
  static constexpr DWORD kSize = 100000;
  void SetUp() override {
    QueueTest::SetUp();
    module->AddFolder(L"A:\\dir", {{L"big.bin", kSize, 0}});
    module->AddFile(L"A:\\dir\\big.bin", fake::Pattern(kSize));
    module->AddFile(L"\\telecom\\big.bin", fake::Pattern(kSize));
  }
  // Queues an ordinary request once the download has sent `at` bytes; with
  // meddle, the module's file changes while the download waits.
  void OrdinaryAt(DWORD at, std::function<void()> meddle = nullptr) {
    ordinary = Make(kRequestSetTime, L"\\o");
    module->afterBlock = [this, at](DWORD sent) {
      if (sent == at) SubmitRequest(ordinary);
    };
    module->onCall = [meddle](const std::wstring& op, const std::wstring&) {
      if (op == L"SetTime" && meddle) meddle();
    };
  }
  void Finish(fake::Buffer& buffer) {
    ASSERT_TRUE(buffer.WaitDone(20000));
    WaitForRequest(ordinary);
    EXPECT_EQ(S_OK, FinishRequest(ordinary));
  }
  Request* ordinary = nullptr;
};

TEST_F(PauseTest, DownloadYieldsToOrdinaryRequestAndResumesWhereItStopped) {
  OrdinaryAt(10000);
  fake::Buffer buffer;
  Download(L"A:\\dir\\big.bin", buffer);
  Finish(buffer);
  EXPECT_EQ(S_OK, buffer.error);
  EXPECT_EQ(fake::Pattern(kSize), buffer.data);  // every byte once, in order
  // The block after the request arrived was the last before the pause.
  EXPECT_EQ((std::vector<std::wstring>{L"GetFile A:\\dir\\big.bin@0", L"SetTime \\o",
                                       L"Query A:\\dir\\big.bin@11000",
                                       L"GetFile A:\\dir\\big.bin@11000"}),
            Ops());
}

TEST_F(PauseTest, NoPauseWhenLittleIsLeftOrTheSizeIsUnknown) {
  struct Case {
    const wchar_t* path;
    DWORD at;
  } cases[] = {
      {L"A:\\dir\\big.bin", kSize - 30000},  // 30000 to come: not worth a pause
      {L"\\telecom\\big.bin", 10000},         // no size known
  };
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    OrdinaryAt(c.at);
    fake::Buffer buffer;
    Download(c.path, buffer);
    Finish(buffer);
    EXPECT_EQ(fake::Pattern(kSize), buffer.data) << c.path;
    const auto ops = Ops();
    ASSERT_EQ(2u, ops.size()) << c.path;
    EXPECT_EQ(L"SetTime \\o", ops[1]) << c.path;
  }
}

TEST_F(PauseTest, ResumeOnlyWhenSizeAndChecksumStillMatch) {
  struct Case {
    bool sizeChanged, checksumChanged;
    HRESULT result;
  } cases[] = {
      {false, false, S_OK},
      {true, false, E_UNEXPECTED},
      {false, true, E_UNEXPECTED},
      {true, true, E_UNEXPECTED},
  };
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    fake::Module* m = module;
    ObexConnection* obex = conn->GetObex();
    OrdinaryAt(10000, [m, c, obex] {
      if (c.sizeChanged) m->AddFolder(L"A:\\dir", {{L"big.bin", kSize + 1, 0}});
      if (c.checksumChanged) m->crcSpoil = 1;
      obex->InvalidateCache();  // as a change made elsewhere is announced
    });
    fake::Buffer buffer;
    Download(L"A:\\dir\\big.bin", buffer);
    Finish(buffer);
    EXPECT_EQ(c.result, buffer.error) << c.sizeChanged << c.checksumChanged;
    if (FAILED(c.result)) {
      // Nothing of the changed file was spliced onto what had arrived.
      EXPECT_EQ(11000u, buffer.data.size());
      EXPECT_EQ(1, module->Count(L"GetFile"));
    }
  }
}

TEST_F(PauseTest, ReleasedStreamCancelsTheDownload) {
  fake::Buffer buffer;
  Event released;
  module->afterBlock = [&](DWORD sent) {
    if (sent == 5000) {
      buffer.Release();
      released.Set();
    }
  };
  Download(L"A:\\dir\\big.bin", buffer);
  ASSERT_TRUE(released.Wait());
  EXPECT_EQ(S_OK, Run(kRequestSetTime, L"\\after"));  // runs once the download ended
  EXPECT_EQ(5000u, buffer.data.size());
  EXPECT_FALSE(buffer.complete);
  EXPECT_EQ(1, module->Count(L"GetFile"));
}

TEST_F(QueueTest, GetFileFailuresGoToTheBuffer) {
  module->AddFolder(L"A:\\dir", {{L"sub", 0, FILE_ATTRIBUTE_DIRECTORY}});
  struct Case {
    const wchar_t* path;
    HRESULT error;
  } cases[] = {
      {L"A:\\dir\\missing", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
      {L"A:\\dir\\sub", E_FAIL},  // a folder is no file
  };
  for (const auto& c : cases) {
    fake::Buffer buffer;
    Download(c.path, buffer);
    ASSERT_TRUE(buffer.WaitDone(10000));
    EXPECT_EQ(c.error, buffer.error) << c.path;
  }
  CloseAllConnections();
  Open(L"COM7");
  module->fail[L"Connect"] = E_NO_COMMUNICATION;
  fake::Buffer buffer;
  Download(L"A:\\dir\\x", buffer);
  ASSERT_TRUE(buffer.WaitDone(10000));
  EXPECT_EQ(E_NO_COMMUNICATION, buffer.error);
}

TEST_F(QueueTest, IdleCloseAboutFourSecondsAfterTheLastRequest) {
  ASSERT_EQ(S_OK, Run(kRequestSetTime, L"\\a"));
  Sleep(2000);
  ASSERT_EQ(S_OK, Run(kRequestSetTime, L"\\b"));  // on the open link, restarts the clock
  const DWORD finished = GetTickCount();
  EXPECT_EQ(1, module->connects.load());
  while (module->disconnects.load() == 0 && GetTickCount() - finished < 10000) Sleep(20);
  const DWORD elapsed = GetTickCount() - finished;
  EXPECT_EQ(1, module->disconnects.load());
  EXPECT_GE(elapsed, 3500u);
  EXPECT_LE(elapsed, 7000u);
  EXPECT_FALSE(conn->IsConnected());
  ASSERT_EQ(S_OK, Run(kRequestSetTime, L"\\c"));  // connects again
  EXPECT_EQ(2, module->connects.load());
}

TEST_F(QueueTest, NoIdleCloseOnConnectionIdOtherThanOne) {
  module->idOffset = 4;
  ASSERT_EQ(S_OK, Run(kRequestSetTime, L"\\a"));
  Sleep(5000);
  EXPECT_EQ(0, module->disconnects.load());
  EXPECT_TRUE(conn->IsConnected());
}

TEST_F(QueueTest, FailedConnectFailsTheRequestAndTheNextOneConnects) {
  module->fail[L"Connect"] = E_NO_COMMUNICATION;
  EXPECT_EQ(E_NO_COMMUNICATION, Run(kRequestSetTime, L"\\a"));
  EXPECT_EQ(S_OK, Run(kRequestSetTime, L"\\b"));
  EXPECT_EQ(1, module->connects.load());
}

TEST_F(QueueTest, PacketLayerNeverPointsAtADestroyedTransport) {
  struct Case {
    const wchar_t* failing;
    HRESULT failure;
  } cases[] = {{L"GetModel", E_FAIL},  // read once, at the first connect
               {L"Connect", E_NO_COMMUNICATION},
               {L"OpenLink", E_FAIL}};
  for (const auto& c : cases) {
    module->fail[c.failing] = c.failure;
    EXPECT_EQ(c.failure, Run(kRequestSetTime, L"\\a")) << c.failing;
    EXPECT_TRUE(fake::Transport::IsLive(module->attached)) << c.failing;
    EXPECT_EQ(S_OK, Run(kRequestSetTime, L"\\b")) << c.failing;  // a new link over a new transport
    EXPECT_TRUE(fake::Transport::IsLive(module->attached)) << c.failing;
    ASSERT_EQ(S_OK, conn->Disconnect(conn->GetObex()->GetConnectionId(), true));
    EXPECT_TRUE(fake::Transport::IsLive(module->attached)) << c.failing;
  }
}

TEST_F(QueueTest, LineDropFailsTheRequestAndTheNextOneReconnects) {
  module->fail[L"SetTime"] = E_CONNECTION_LOST;
  EXPECT_EQ(E_CONNECTION_LOST, Run(kRequestSetTime, L"\\a"));
  EXPECT_FALSE(conn->IsConnected());
  EXPECT_EQ(S_OK, Run(kRequestSetTime, L"\\b"));
  EXPECT_EQ(2, module->connects.load());
}

TEST_F(QueueTest, CloseRunsWhatWasQueuedAndRefusesWhatComesAfter) {
  module->AddFile(L"\\telecom\\g", fake::Pattern(500));
  HoldWorker();
  Request* hold = Make(kRequestSetTime, L"\\hold");
  SubmitRequest(hold);
  ASSERT_TRUE(held.Wait());
  Request* queued = Make(kRequestSetTime, L"\\queued");
  SubmitRequest(queued);
  fake::Buffer buffer;
  Download(L"\\telecom\\g", buffer);
  std::thread closer([this] { conn->Close(); });
  Sleep(200);  // the close request is queued behind the others by now
  release.Set();
  closer.join();  // the worker has ended
  WaitForRequest(hold);
  EXPECT_EQ(S_OK, FinishRequest(hold));
  WaitForRequest(queued);
  EXPECT_EQ(S_OK, FinishRequest(queued));
  ASSERT_TRUE(buffer.WaitDone(1000));
  EXPECT_EQ(fake::Pattern(500), buffer.data);
  // Nobody would ever run these: they fail at once.
  EXPECT_EQ(E_CONNECTION_LOST, Run(kRequestSetTime, L"\\late"));
  fake::Buffer late;
  Download(L"\\telecom\\g", late);
  ASSERT_TRUE(late.WaitDone(0));
  EXPECT_EQ(E_CONNECTION_LOST, late.error);
}

TEST_F(QueueTest, ConnectionMapKeepsOneConnectionAtATime) {
  CPhysicalConnection* first = conn;
  std::atomic<bool>* firstGone = &destroyed;
  fake::Module* second = new fake::Module;
  std::atomic<bool>& secondGone = destroyed2;
  second->destroyed = &secondGone;
  g_next = second;
  CPhysicalConnection* other = nullptr;
  BSTR com8 = SysAllocString(L"COM8");
  ASSERT_EQ(S_OK, GetConnection(&other, kTransportSerial, com8, -1));
  EXPECT_TRUE(firstGone->load());  // COM7's connection went first
  EXPECT_NE(nullptr, other);
  CPhysicalConnection* again = nullptr;
  ASSERT_EQ(S_OK, GetConnection(&again, kTransportSerial, com8, -1));
  EXPECT_EQ(other, again);
  EXPECT_FALSE(secondGone.load());
  (void)first;

  BSTR longName = SysAllocString(L"COM12345678");  // 11 characters
  CPhysicalConnection* none = reinterpret_cast<CPhysicalConnection*>(1);
  EXPECT_EQ(E_INVALIDARG, GetConnection(&none, kTransportSerial, longName, -1));
  EXPECT_EQ(nullptr, none);
  SysFreeString(longName);
  EXPECT_EQ(E_INVALIDARG, GetConnection(nullptr, kTransportSerial, com8, -1));
  SysFreeString(com8);
}

TEST_F(QueueTest, ConnectionThatFailedToOpenIsNotHandedOut) {
  CloseAllConnections();
  g_createResult = E_OUTOFMEMORY;
  BSTR com9 = SysAllocString(L"COM9");
  CPhysicalConnection* c = nullptr;
  EXPECT_EQ(E_OUTOFMEMORY, GetConnection(&c, kTransportSerial, com9, -1));
  EXPECT_EQ(nullptr, c);
  g_createResult = S_OK;
  module = new fake::Module;
  g_next = module;
  ASSERT_EQ(S_OK, GetConnection(&c, kTransportSerial, com9, -1));  // opened again
  ASSERT_NE(nullptr, c);
  EXPECT_TRUE(c->HasWorker());
  conn = c;
  EXPECT_EQ(S_OK, Run(kRequestSetTime, L"\\x"));
  SysFreeString(com9);
}

TEST_F(QueueTest, PortThatDoesNotExistGivesPortOpenFailed) {
  CloseAllConnections();
  const LinkFactories withPort = {CreateFakeObex, CreateFakeTransport, true};
  SetLinkFactories(&withPort);
  module = new fake::Module;
  g_next = module;
  BSTR name = SysAllocString(L"COM199");
  ASSERT_EQ(S_OK, GetConnection(&conn, kTransportSerial, name, -1));
  SysFreeString(name);
  EXPECT_EQ(E_PORT_OPEN_FAILED, Run(kRequestSetTime, L"\\a"));
  EXPECT_NE(0u, conn->GetLastOpenError());
  EXPECT_FALSE(conn->IsPortOpen());
  EXPECT_EQ(0, module->Count(L"OpenLink"));
}

// ---- handlers ----

class Recorder final : public IRequestNotifier {
public:
  void NotifyPath(int, LONG event, const CBstr& path, short, IObex2*) override {
    seen.push_back(std::to_wstring(event) + L" " + (path.GetBstr() ? path.GetBstr() : L""));
  }
  void NotifyRoot(LONG event) override { seen.push_back(std::to_wstring(event) + L" root"); }
  void NotifyRename(LONG event, const CBstr& from, const CBstr& to, short) override {
    seen.push_back(std::to_wstring(event) + L" " + from.GetBstr() + L">" + to.GetBstr());
  }
  std::vector<std::wstring> seen;
};

TEST_F(QueueTest, CreateDirMakesEachMissingFolderAndReportsItsParent) {
  module->AddFolder(L"", {{L"A:", 0, FILE_ATTRIBUTE_DIRECTORY}});
  module->AddFolder(L"\\A:", {{L"a", 0, FILE_ATTRIBUTE_DIRECTORY}});
  Recorder recorder;
  SetRequestNotifier(&recorder);
  EXPECT_EQ(S_OK, Run(kRequestCreateDir, L"\\A:\\a\\b\\c"));
  EXPECT_EQ((std::vector<std::wstring>{L"4096 \\A:\\a", L"4096 \\A:\\a\\b"}), recorder.seen);
  EXPECT_EQ(4, module->Count(L"CreateDir"));
}

TEST_F(QueueTest, MoveDirReportsRenameInOneFolderAndUpdatesAcrossFolders) {
  Recorder recorder;
  SetRequestNotifier(&recorder);
  Request* rename = Make(kRequestMoveDir, L"A:\\x\\old");
  rename->path2 = CBstr(L"A:\\x\\new");
  EXPECT_EQ(S_OK, ExecuteRequest(rename));
  Request* move = Make(kRequestMoveDir, L"A:\\x\\old");
  move->path2 = CBstr(L"A:\\y\\old");
  EXPECT_EQ(S_OK, ExecuteRequest(move));
  EXPECT_EQ((std::vector<std::wstring>{L"131072 A:\\x\\old>A:\\x\\new", L"4096 A:\\x\\new",
                                       L"4096 A:\\x", L"4096 A:\\y"}),
            recorder.seen);
}

struct EntriesCase {
  const wchar_t* path;
  bool directoriesOnly;
  std::vector<std::wstring> names;
  HRESULT result;
};

TEST_F(QueueTest, GetEntriesFiltersAndLaysOutTheArray) {
  module->AddFolder(L"\\A:\\dir", {{L"f.txt", 10, 0, L"F~1.TXT"},
                                   {L"README.TXT", 20, 0},
                                   {L"sub", 0, FILE_ATTRIBUTE_DIRECTORY},
                                   {L"longname.document", 30, 0, L"LONGNA~1.TXT"}});
  module->AddFolder(L"\\A:\\empty", {});
  const EntriesCase cases[] = {
      {L"\\A:\\dir\\*.txt", false, {L"f.txt", L"README.TXT", L"longname.document"}, S_OK},
      {L"\\A:\\dir\\*", true, {L"sub"}, S_OK},
      {L"\\A:\\dir\\s?b", false, {L"sub"}, S_OK},
      {L"\\A:\\empty\\*", false, {}, S_FALSE},
  };
  for (const auto& c : cases) {
    VARIANT result;
    VariantInit(&result);
    Request* r = Make(kRequestGetEntries, c.path);
    r->entries = &result;
    r->limitToDirectories = c.directoriesOnly ? VARIANT_TRUE : VARIANT_FALSE;
    EXPECT_EQ(c.result, ExecuteRequest(r)) << c.path;
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, result.vt) << c.path;
    SAFEARRAY* array = result.parray;
    ASSERT_EQ(2u, SafeArrayGetDim(array));
    LONG rows = -2, cols = -2;
    SafeArrayGetUBound(array, 1, &rows);
    SafeArrayGetUBound(array, 2, &cols);
    EXPECT_EQ(static_cast<LONG>(c.names.size()) - 1, rows) << c.path;
    EXPECT_EQ(6, cols);
    std::vector<std::wstring> names;
    for (LONG e = 0; e <= rows; ++e) {
      LONG index[2] = {e, 0};
      VARIANT cell;
      VariantInit(&cell);
      ASSERT_EQ(S_OK, SafeArrayGetElement(array, index, &cell));
      names.push_back(cell.bstrVal);
      VariantClear(&cell);
      index[1] = 3;
      ASSERT_EQ(S_OK, SafeArrayGetElement(array, index, &cell));
      EXPECT_EQ(VT_I4, cell.vt);
      index[1] = 6;
      ASSERT_EQ(S_OK, SafeArrayGetElement(array, index, &cell));
      EXPECT_EQ(VT_DATE, cell.vt);
    }
    EXPECT_EQ(c.names, names) << c.path;
    VariantClear(&result);
  }
  // The short name column repeats the name when there is none.
  VARIANT result;
  VariantInit(&result);
  Request* r = Make(kRequestGetEntries, L"\\A:\\dir\\sub");
  r->entries = &result;
  ASSERT_EQ(S_OK, ExecuteRequest(r));
  LONG index[2] = {0, 1};
  VARIANT cell;
  VariantInit(&cell);
  ASSERT_EQ(S_OK, SafeArrayGetElement(result.parray, index, &cell));
  EXPECT_STREQ(L"sub", cell.bstrVal);
  VariantClear(&cell);
  VariantClear(&result);
}

TEST_F(QueueTest, CopyRefusedWhenTheTargetVolumeIsTooSmall) {
  module->AddFolder(L"A:\\d", {{L"big", 5000, 0}, {L"small", 10, 0}});
  module->freeBytes = 4000;
  Request* big = Make(kRequestCopy, L"A:\\d\\big");
  big->path2 = CBstr(L"B:\\big");
  EXPECT_EQ(STG_E_MEDIUMFULL, ExecuteRequest(big));
  EXPECT_EQ(0, module->Count(L"Copy"));
  Request* small = Make(kRequestCopy, L"A:\\d\\small");
  small->path2 = CBstr(L"B:\\small");
  EXPECT_EQ(S_OK, ExecuteRequest(small));
  EXPECT_EQ((std::vector<std::wstring>{L"GetCapacity B:", L"GetCapacity B:"}),
            [&] {
              std::vector<std::wstring> caps;
              for (const auto& l : module->Log())
                if (l.rfind(L"GetCapacity", 0) == 0) caps.push_back(l);
              return caps;
            }());
  EXPECT_EQ(1, module->Count(L"Copy"));
}

// A stream whose Stat reports any size; reads give nothing.
class SizedStream final : public IStream {
public:
  explicit SizedStream(ULONGLONG size) : m_size(size) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG* read) override {
    if (read) *read = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER* pos) override {
    if (pos) pos->QuadPart = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    *stat = STATSTG{};
    stat->cbSize.QuadPart = m_size;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
  std::atomic<ULONG> refs{1};

private:
  ULONGLONG m_size;
};

TEST_F(QueueTest, PutFileChecks) {
  module->AddFolder(L"\\telecom", {{L"x", 5, 0}});
  struct Case {
    const wchar_t* path;
    ULONGLONG size;
    HRESULT fail;  // the module's answer to the PUT
    HRESULT result;
    int puts, deletes;
  } cases[] = {
      {L"\\A:\\f", 100, S_OK, S_OK, 1, 0},
      {L"\\telecom\\x", 100, S_OK, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), 0, 0},
      {L"\\telecom\\y", 100, S_OK, S_OK, 1, 0},
      {L"\\A:\\huge", 0x100000000ull, S_OK, E_INVALIDARG, 0, 0},
      {L"\\A:\\full", 100, STG_E_MEDIUMFULL, STG_E_MEDIUMFULL, 1, 1},  // no partial file left
  };
  for (const auto& c : cases) {
    module->ClearLog();
    if (FAILED(c.fail)) module->fail[L"PutFile"] = c.fail;
    SizedStream stream(c.size);
    Request* r = Make(kRequestPutFile, c.path);
    stream.AddRef();
    r->content = &stream;
    EXPECT_EQ(c.result, ExecuteRequest(r)) << c.path;
    EXPECT_EQ(c.puts, module->Count(L"PutFile")) << c.path;
    EXPECT_EQ(c.deletes, module->Count(L"Delete")) << c.path;
    EXPECT_EQ(1u, stream.refs.load()) << c.path;  // every reference given back
  }
}

TEST_F(QueueTest, SmallHandlers) {
  LONG total = 0, freeBytes = 0;
  Request* cap = Make(kRequestGetCapacity, L"A:");
  cap->total = &total;
  cap->free = &freeBytes;
  EXPECT_EQ(S_OK, ExecuteRequest(cap));
  EXPECT_EQ(module->totalBytes, total);
  EXPECT_EQ(module->freeBytes, freeBytes);

  Request* label = Make(kRequestGetLabel, L"A:");
  ASSERT_EQ(S_OK, (SubmitRequest(label), WaitForRequest(label), label->GetResult()));
  EXPECT_STREQ(L"LABEL", label->label.GetBstr());
  FinishRequest(label);

  Request* model = Make(kRequestGetMobileModel, L"");
  SubmitRequest(model);
  WaitForRequest(model);
  EXPECT_STREQ(L"FAKE-1", model->text.GetBstr());
  FinishRequest(model);
  EXPECT_EQ("FAKE-1", conn->GetModelText());

  module->AddFolder(L"A:\\p", {{L"f", 1, 0}, {L"d", 0, FILE_ATTRIBUTE_DIRECTORY}});
  module->AddFolder(L"A:\\q", {{L"f", 1, 0}});
  for (const auto& [path, expected] :
       {std::pair<const wchar_t*, VARIANT_BOOL>{L"A:\\p", VARIANT_TRUE}, {L"A:\\q", 0}}) {
    VARIANT_BOOL has = 7;
    Request* r = Make(kRequestHasSubDirs, path);
    r->hasSubDirs = &has;
    EXPECT_EQ(S_OK, ExecuteRequest(r));
    EXPECT_EQ(expected, has) << path;
  }

  Request* setLabel = Make(kRequestSetLabel, L"A:");
  EXPECT_EQ(S_OK, ExecuteRequest(setLabel));  // an empty label is sent as empty text
  EXPECT_EQ(1, module->Count(L"SetLabel A:="));
}

// Clients on several threads while downloads pause, resume and get cancelled.
TEST_F(QueueTest, ConcurrentClientsAndDownloadsStayConsistent) {
  constexpr DWORD kSize = 40000;
  module->blockSize = 500;
  module->AddFolder(L"A:\\d", {{L"f", kSize, 0}});
  module->AddFile(L"A:\\d\\f", fake::Pattern(kSize));
  // Another thread looks at the link and drops the cache meanwhile, as the
  // access layer does.
  std::atomic<bool> stop{false};
  std::thread watcher([this, &stop] {
    while (!stop) {
      conn->IsConnected();
      conn->GetObex()->InvalidateCache();
      Sleep(0);
    }
  });
  for (int round = 0; round < 300; ++round) {
    fake::Buffer kept, dropped;
    Download(L"A:\\d\\f", kept);
    Download(L"A:\\d\\f", dropped);
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 3; ++t)
      clients.emplace_back([this, &failures, &dropped, t, round] {
        for (int i = 0; i < 2; ++i) {
          if (Run(kRequestSetTime, L"\\o") != S_OK) ++failures;
          if (t == 0 && i == 0 && round % 3 == 0) dropped.Release();
        }
      });
    for (auto& c : clients) c.join();
    ASSERT_TRUE(kept.WaitDone(20000)) << round;
    EXPECT_EQ(0, failures.load()) << round;
    ASSERT_EQ(S_OK, kept.error) << round;
    ASSERT_EQ(fake::Pattern(kSize), kept.data) << round;
    if (round % 3 != 0) {
      ASSERT_TRUE(dropped.WaitDone(20000)) << round;
      ASSERT_EQ(fake::Pattern(kSize), dropped.data) << round;
    } else {
      dropped.Release();
      EXPECT_EQ(S_OK, Run(kRequestSetTime, L"\\sync"));  // the cancelled one has ended
    }
    module->ClearLog();
  }
  stop = true;
  watcher.join();
}

}  // namespace
