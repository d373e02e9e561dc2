// How long VKSServer runs: idle exit, shutdown on request, one instance at a time.
#include "ComBase.h"
#include "ServerFixture.h"
#include "ServerProcess.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;

class LifetimeTest : public ServerClientTest {};

bool StillRunning(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

TEST_F(LifetimeTest, EndsAboutFiveSecondsAfterTheLastRelease) {
  ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
  ASSERT_TRUE(general);
  Sleep(6000);   // a held object keeps the server alive past its idle time
  ASSERT_TRUE(ServerRuns());
  BSTR ports = nullptr;
  EXPECT_EQ(S_OK, general->GetCommPorts(&ports, 1));
  SysFreeString(ports);
  general.Reset();
  DWORD released = GetTickCount();
  ASSERT_TRUE(WaitForNoServer(20000));
  DWORD elapsed = GetTickCount() - released;
  EXPECT_GE(elapsed, 4000u);
  EXPECT_LE(elapsed, 12000u);
}

TEST_F(LifetimeTest, ShutdownFromTheOnlyClientEndsTheServer) {
  ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
  ASSERT_TRUE(general);
  EXPECT_EQ(S_OK, general->Shutdown(0));
  general.Reset();
  DWORD start = GetTickCount();
  ASSERT_TRUE(WaitForNoServer(20000));
  EXPECT_LE(GetTickCount() - start, 3000u);
}

TEST_F(LifetimeTest, ShutdownWithAnotherClientFailsAndTheServerGoesOn) {
  ComPtr<IVKSVolume> other = Create<IVKSVolume>(CLSID_VKSModule);
  ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
  ASSERT_TRUE(other && general);
  EXPECT_EQ(E_ABORT, general->Shutdown(0));
  EXPECT_EQ(E_ABORT, general->Shutdown(300));
  // A negative time-out is refused instead of waiting for ever.
  EXPECT_EQ(E_INVALIDARG, general->Shutdown(-1));
  BSTR ports = nullptr;
  EXPECT_EQ(S_OK, general->GetCommPorts(&ports, 3));
  SysFreeString(ports);
  EXPECT_EQ(S_OK, other->SelectPort(SysAllocString(L"COM4")));
  other.Reset();
  EXPECT_EQ(S_OK, general->Shutdown(2000));
  general.Reset();
  EXPECT_TRUE(WaitForNoServer(5000));
}

TEST_F(LifetimeTest, SecondInstanceWaitsForTheFirst) {
  HANDLE first = StartServerExe();
  ASSERT_NE(nullptr, first);
  for (int i = 0; i < 100 && !ServerRuns(); ++i) Sleep(50);
  ASSERT_TRUE(ServerRuns());
  HANDLE second = StartServerExe();
  ASSERT_NE(nullptr, second);
  Sleep(1500);
  EXPECT_TRUE(StillRunning(second));
  // The first ends after its idle time; only then does the second serve and
  // run through an idle time of its own.
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 15000));
  DWORD firstEnded = GetTickCount();
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 15000));
  EXPECT_GE(GetTickCount() - firstEnded, 4000u);
  CloseHandle(first);
  CloseHandle(second);
}

TEST_F(LifetimeTest, InstanceThatNeverGetsTheMutexGivesUpAfterThirtySeconds) {
  HANDLE held = CreateMutexW(nullptr, TRUE, kServerMutexName);   // a serving instance, as far as it can tell
  ASSERT_NE(nullptr, held);
  HANDLE server = StartServerExe();
  ASSERT_NE(nullptr, server);
  DWORD start = GetTickCount();
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(server, 25000));
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(server, 20000));
  EXPECT_GE(GetTickCount() - start, 29000u);
  DWORD code = 1;
  GetExitCodeProcess(server, &code);
  EXPECT_EQ(0u, code);
  CloseHandle(server);
  ReleaseMutex(held);
  CloseHandle(held);
}

DWORD WINAPI AbandonMutex(void* handle) {
  // Ends without releasing: the mutex is abandoned, as by a crashed server.
  *static_cast<HANDLE*>(handle) = CreateMutexW(nullptr, TRUE, kServerMutexName);
  return 0;
}

TEST_F(LifetimeTest, AbandonedMutexCountsAsAcquired) {
  HANDLE keep = nullptr;   // keeps the abandoned mutex alive
  HANDLE thread = CreateThread(nullptr, 0, AbandonMutex, &keep, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ASSERT_NE(nullptr, keep);
  HANDLE server = StartServerExe();
  ASSERT_NE(nullptr, server);
  // It serves (runs through its idle time) instead of ending at once or
  // waiting the full 30 s.
  DWORD start = GetTickCount();
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(server, 20000));
  DWORD ran = GetTickCount() - start;
  EXPECT_GE(ran, 4000u);
  EXPECT_LE(ran, 15000u);
  CloseHandle(server);
  CloseHandle(keep);
}

}  // namespace
