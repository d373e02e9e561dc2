// testing/winsupport/ServerFixture.cpp - VKSServer.exe for the tests.
#include "ServerFixture.h"

#include "ChildProcess.h"
#include "ErrorInfoChannel.h"
#include "VKSServer.h"

namespace vkstest {

namespace {
const wchar_t kServerMutex[] = L"VKSServerGlobalLockMutex";
constexpr DWORD kEarlierServerMs = 15000;  // a server of the test before may still idle out
constexpr DWORD kServerEndMs = 20000;
}  // namespace

std::wstring ServerExePath() { return HostToWindowsPath(VKS_SERVER_EXE); }

HANDLE StartServerExe(const wchar_t* args) {
  std::wstring line = QuoteArgument(ServerExePath()) + L" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

int RunServerExe(const wchar_t* args, DWORD waitMs) {
  HANDLE process = StartServerExe(args);
  if (!process) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

bool ServerRuns() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kServerMutex);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

bool WaitForNoServer(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (ServerRuns()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

void RegisteredServerTest::SetUp() {
  ASSERT_TRUE(WaitForNoServer(kEarlierServerMs)) << "a server from an earlier test is still running";
  ASSERT_EQ(0, RunServerExe(L"/RegServer"));
  m_registered = true;
}

void RegisteredServerTest::TearDown() {
  StopServer();
  // A server left running would outlive the test (and keep ctest waiting).
  EXPECT_TRUE(WaitForNoServer(kServerEndMs));
  if (m_registered) {
    EXPECT_EQ(0, RunServerExe(L"/UnregServer"));
  }
}

void ServerClientTest::SetUp() {
  RegisteredServerTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  m_comStarted = true;
  ASSERT_EQ(S_OK, InstallErrorInfoChannel());
}

void ServerClientTest::ShutDownServer() {
  if (!m_comStarted) return;
  ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
  if (general) {
    EXPECT_EQ(S_OK, general->Shutdown(10000));
  }
}

void ServerClientTest::StopServer() {
  if (m_comStarted) CoUninitialize();
  m_comStarted = false;
}

void ToolServerTest::SetUp() {
  ASSERT_FALSE(CSimControl::TestPort().empty()) << "needs the module simulator (VKS_WITH_SIM=1)";
  RegisteredServerTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(m_serialComm.Ok());
  ASSERT_TRUE(WriteSuitePort(m_port));
  ASSERT_TRUE(WriteSuiteLanguage(1033));
  CreateDirectoryW(VolumePath(L'A').c_str(), nullptr);
}

void ToolServerTest::StopServer() {
  if (ServerRuns()) RunTool(L"VKSClose", {L"10"});
}

std::wstring ToolServerTest::VolumePath(wchar_t drive) {
  return CSimControl::DataDirW() + L"\\" + std::wstring(1, drive);
}

}  // namespace vkstest
