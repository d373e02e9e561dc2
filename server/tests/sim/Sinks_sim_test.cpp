// Change sinks of clients in another process than the server: which changes
// reach them, when, and how a registration keeps the server alive.
#include "SimFixtures.h"
#include "MessageWait.h"
#include "../RecordingSink.h"

#include <cstdlib>

namespace {

using namespace simtest;

using ClientSink = RecordingSink;

// The sinks are called into this apartment: its messages must flow.
void Pump(DWORD ms) {
  WaitWithMessageLoop(nullptr, 0, ms);
  PumpWaitingMessages();
}

class SinkSim : public ServerSimTest {
protected:
  void SetUp() override {
    ServerSimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    MakeHostDir(L"A\\dir\\sub");
    MakeHostDir(L"B\\dir");
  }
  void ReleaseAll() override {
    for (auto& sink : sinks) sink.second->Release();
    sinks.clear();
  }
  ClientSink* Register(const wchar_t* path) {
    ClientSink* sink = new ClientSink;
    LONG token = 0;
    EXPECT_EQ(S_OK, volume->AddChangeNotification(Text(path), sink, &token)) << testing::PrintToString(std::wstring(path));
    sinks.push_back({token, sink});
    return sink;
  }
  void RemoveAll() {
    for (auto& sink : sinks) EXPECT_EQ(S_OK, volume->RemoveChangeNotification(sink.first));
  }
  std::vector<std::pair<LONG, ClientSink*>> sinks;
};

TEST_F(SinkSim, ChangesInABurstGiveOneCallHalfASecondAfterTheLast) {
  MakeHostDir(L"A\\Case");
  ClientSink* sink = Register(L"a:\\Case");
  DWORD last = 0;
  for (int i = 0; i < 3; ++i) {
    // The module matches names without case; so do the sinks.
    ASSERT_EQ(S_OK, Put((L"A:\\CASE\\f" + std::to_wstring(i)).c_str(), Pattern(100)));
    last = GetTickCount();
  }
  Pump(1800);
  ASSERT_EQ(1u, sink->calls.size());
  EXPECT_EQ(L"a:\\Case", sink->calls[0].path);
  EXPECT_GE(sink->calls[0].at - last, 350u);
  EXPECT_LE(sink->calls[0].at - last, 1300u);
  RemoveAll();
}

TEST_F(SinkSim, ChangesReachTheSinksOfTheirFolderOnly) {
  ClientSink* dir = Register(L"A:\\dir");
  ClientSink* sub = Register(L"A:\\dir\\sub");
  ClientSink* root = Register(L"A:");
  ClientSink* otherDrive = Register(L"B:\\dir");
  ClientSink* everything = Register(L"");
  ASSERT_EQ(S_OK, Put(L"A:\\dir\\new.txt", Pattern(5)));
  Pump(1200);
  EXPECT_EQ(1u, dir->calls.size());
  EXPECT_EQ(0u, sub->calls.size());
  EXPECT_EQ(0u, root->calls.size());
  EXPECT_EQ(0u, otherDrive->calls.size());
  EXPECT_EQ(1u, everything->calls.size());
  // A failed CreateDir still reports every ancestor: something may have been made.
  ASSERT_TRUE(WriteHostFile(L"A\\file.txt", Pattern(3)));
  EXPECT_TRUE(FAILED(volume->CreateDir(Text(L"A:\\file.txt\\x"))));
  Pump(1200);
  EXPECT_EQ(1u, root->calls.size());
  EXPECT_EQ(0u, otherDrive->calls.size());
  // Format calls every sink; a broadcast does so at once with its own text.
  ASSERT_EQ(S_OK, volume->Format(Text(L"B:")));
  Pump(1200);
  for (auto& sink : sinks) EXPECT_GE(sink.second->calls.size(), 1u);
  EXPECT_EQ(1u, otherDrive->calls.size());
  ASSERT_EQ(S_OK, volume->BroadcastChangeNotification(Text(L"A:\\dir")));
  for (auto& sink : sinks) EXPECT_EQ(L"A:\\dir", sink.second->calls.back().path);
  RemoveAll();
}

TEST_F(SinkSim, SelectingAPortTellsEverySink) {
  ClientSink* dir = Register(L"A:\\dir");
  ClientSink* other = Register(L"B:\\dir");
  EXPECT_EQ(S_OK, volume->SelectPort(Text(CSimControl::TestPortW().c_str())));
  Pump(1200);
  EXPECT_EQ(1u, dir->calls.size());
  EXPECT_EQ(1u, other->calls.size());
  RemoveAll();
}

TEST_F(SinkSim, RegisteringForAMissingFolderFails) {
  ClientSink* sink = new ClientSink;
  LONG token = 7;
  EXPECT_EQ(S_FALSE, volume->AddChangeNotification(Text(L"A:\\nothere"), sink, &token));
  EXPECT_EQ(0, token);
  sink->Release();
}

TEST_F(SinkSim, ASinkKeepsTheServerAliveAndItsRemovalStartsTheIdleTime) {
  ClientSink* sink = Register(L"A:\\dir");
  volume.Reset();
  Sleep(7000);
  ASSERT_TRUE(ServerRuns());
  volume.Attach(Create<IVKSVolume>(CLSID_VKSModule).Detach());
  ASSERT_TRUE(volume);
  RemoveAll();
  volume.Reset();
  sink->Release();
  sinks.clear();
  const DWORD released = GetTickCount();
  EXPECT_TRUE(WaitForNoServer(20000));
  EXPECT_GE(GetTickCount() - released, 4000u);
}

// Run as a child process: registers a sink, lets go of the server and dies
// without removing the sink.
TEST(SinkSimChild, RegisterAndDie) {
  if (!getenv("VKS_SINK_CHILD")) GTEST_SKIP() << "only run as a helper process";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IVKSVolume> volume = Create<IVKSVolume>(CLSID_VKSModule);
  ClientSink* sink = new ClientSink;
  LONG token = 0;
  const HRESULT hr = volume ? volume->AddChangeNotification(Text(L"A:"), sink, &token) : E_FAIL;
  volume.Reset();
  TerminateProcess(GetCurrentProcess(), hr == S_OK ? 0 : 1);
}

TEST_F(SinkSim, ASinkWhoseClientDiedIsDroppedAndTheServerStillEnds) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(exe) + L"\" --gtest_filter=SinkSimChild.RegisterAndDie";
  SetEnvironmentVariableW(L"VKS_SINK_CHILD", L"1");
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  SetEnvironmentVariableW(L"VKS_SINK_CHILD", nullptr);
  CloseHandle(pi.hThread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000));
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(0u, code) << "the child did not register";
  // The next change of A: finds the sink's client gone.
  ASSERT_EQ(S_OK, volume->CreateDir(Text(L"A:\\after")));
  Pump(1500);
  volume.Reset();
  EXPECT_TRUE(WaitForNoServer(20000)) << "the dead client's sink keeps the server";
}

}  // namespace
