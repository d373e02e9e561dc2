// The connection's worker, queue and cache against the module simulator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ObexConnection.h"
#include "PhysicalConnection.h"
#include "ResultCodes.h"
#include "SimControl.h"
#include "../queue_fakes.h"

namespace {

using vkstest::CSimControl;

class ConnectionSim : public ::testing::Test {
protected:
  void SetUp() override {
    if (!sim.Available()) GTEST_SKIP() << "no simulator (run with VKS_WITH_SIM=1)";
    ASSERT_TRUE(sim.Command("reset"));
    BSTR port = SysAllocString(CSimControl::TestPortW().c_str());
    const HRESULT hr = GetConnection(&conn, kTransportSerial, port, -1);
    SysFreeString(port);
    ASSERT_EQ(S_OK, hr);
  }
  void TearDown() override { CloseAllConnections(); }

  // Number of OBEX requests the module has seen since the last "obex clearlog".
  int ObexRequests() {
    std::string reply;
    if (!sim.Command("obex log", &reply)) return -1;
    return std::atoi(reply.c_str() + 3);
  }
  std::string ObexLog() {
    std::string reply;
    sim.Command("obex log", &reply);
    return reply;
  }
  Request* Make(int type, const wchar_t* path) {
    auto* r = new Request(conn, type, 1, 0);
    r->SetPath(CBstr(path));
    return r;
  }
  HRESULT Run(int type, const wchar_t* path) { return ExecuteRequest(Make(type, path)); }
  HRESULT List(const wchar_t* path, LONG* rows = nullptr) {
    VARIANT v;
    VariantInit(&v);
    Request* r = Make(kRequestGetEntries, path);
    r->entries = &v;
    const HRESULT hr = ExecuteRequest(r);
    if (rows && v.vt == (VT_ARRAY | VT_VARIANT)) {
      SafeArrayGetUBound(v.parray, 1, rows);
      ++*rows;
    }
    VariantClear(&v);
    return hr;
  }
  // A file on volume A, written straight into the simulator's data folder.
  void Seed(const std::wstring& name, const std::vector<BYTE>& data) {
    const std::wstring folder = CSimControl::DataDirW() + L"\\A";
    CreateDirectoryW(folder.c_str(), nullptr);
    HANDLE f = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD written = 0;
    WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(f);
    ASSERT_EQ(data.size(), written);
  }
  CSimControl sim;
  CPhysicalConnection* conn = nullptr;
};

TEST_F(ConnectionSim, SecondListingOfAFolderSendsNoObexRequest) {
  Seed(L"x.txt", fake::Pattern(10));
  LONG rows = 0;
  ASSERT_EQ(S_OK, List(L"\\*", &rows));
  EXPECT_EQ(1, rows);
  ASSERT_TRUE(sim.Command("obex clearlog"));
  ASSERT_EQ(S_OK, List(L"\\*", &rows));
  EXPECT_EQ(1, rows);
  EXPECT_EQ(0, ObexRequests()) << ObexLog();
  // A change made through the link patches the cached listing: still no traffic to list.
  ASSERT_EQ(S_OK, Run(kRequestCreateDir, L"\\newdir"));
  ASSERT_TRUE(sim.Command("obex clearlog"));
  ASSERT_EQ(S_OK, List(L"\\*", &rows));
  EXPECT_EQ(2, rows);
  EXPECT_EQ(0, ObexRequests()) << ObexLog();
  // An explicit invalidation makes the next listing ask the module again.
  conn->GetObex()->InvalidateCache();
  ASSERT_EQ(S_OK, List(L"\\*", &rows));
  EXPECT_GT(ObexRequests(), 0);
}

TEST_F(ConnectionSim, IdleLinkClosesAboutFourSecondsAfterTheLastRequestAndReconnects) {
  ASSERT_EQ(S_FALSE, List(L"\\*"));  // an empty module
  const DWORD finished = GetTickCount();
  EXPECT_TRUE(conn->IsPortOpen());
  ASSERT_TRUE(sim.WaitFor("count +++", "1", 15000)) << sim.Get("log");
  const DWORD elapsed = GetTickCount() - finished;
  EXPECT_GE(elapsed, 3000u);
  EXPECT_LE(elapsed, 9000u);
  // The port handle goes with the link.
  bool closed = false;
  for (int i = 0; i < 100 && !(closed = !conn->IsPortOpen()); ++i) Sleep(50);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(conn->IsConnected());
  ASSERT_TRUE(sim.Command("obex clearlog"));
  ASSERT_EQ(S_OK, Run(kRequestCreateDir, L"\\again"));  // connects anew
  EXPECT_NE(std::string::npos, ObexLog().find("CONNECT")) << ObexLog();
}

TEST_F(ConnectionSim, LineDropFailsTheRequestAndTheNextOneReconnects) {
  ASSERT_EQ(S_OK, Run(kRequestCreateDir, L"\\d"));
  ASSERT_TRUE(sim.Command("obex fault drop at 1"));
  EXPECT_EQ(E_CONNECTION_LOST, Run(kRequestCreateDir, L"\\e"));
  EXPECT_FALSE(conn->IsConnected());
  EXPECT_EQ(S_OK, Run(kRequestCreateDir, L"\\f"));
  LONG rows = 0;
  ASSERT_EQ(S_OK, List(L"\\*", &rows));
  EXPECT_GE(rows, 2);
}

TEST_F(ConnectionSim, PausedDownloadResumesAfterTheChecksumAndKeepsEveryByte) {
  const std::vector<BYTE> content = fake::Pattern(100000, 3);
  Seed(L"big.bin", content);
  ASSERT_TRUE(sim.Command("obex maxpacket 2048"));  // many blocks
  ASSERT_EQ(S_OK, List(L"\\*"));                     // connected, listing cached
  ASSERT_TRUE(sim.Command("obex clearlog"));

  Request* ordinary = Make(kRequestCreateDir, L"\\meanwhile");
  bool submitted = false;
  fake::Buffer buffer;
  buffer.onAppend = [&](size_t received) {
    if (!submitted && received >= 10000) {
      submitted = true;
      SubmitRequest(ordinary);
    }
  };
  Request* download = Make(kRequestGetFile, L"\\big.bin");
  buffer.Attach(download);
  SubmitRequest(download);
  ASSERT_TRUE(buffer.WaitDone(120000));
  WaitForRequest(ordinary);
  EXPECT_EQ(S_OK, FinishRequest(ordinary));
  EXPECT_EQ(S_OK, buffer.error);
  EXPECT_TRUE(buffer.data == content) << buffer.data.size();
  const std::string log = ObexLog();
  EXPECT_NE(std::string::npos, log.find("ap9=")) << log;  // the checksum query
  EXPECT_NE(std::string::npos, log.find("ap7=")) << log;  // the resumed GET
}

}  // namespace
