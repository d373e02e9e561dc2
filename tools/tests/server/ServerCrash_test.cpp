// A crashed VKSServer is replaced: the next tool starts a new server at once,
// whether the crash came while the server idled or while a client held it.
#include <windows.h>
#include <tlhelp32.h>
#include "ChildProcess.h"
#include "ServerFixture.h"
#include "VKSServer.h"

namespace {

using vkstest::RunTool;
using vkstest::ServerRuns;
using vkstest::ToolRun;

// Well below the 30 s a new server waits for the mutex of one that serves.
const DWORD kNormalStartMs = 15000;

HANDLE OpenServerProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD id = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"VKSServer.exe") == 0) id = entry.th32ProcessID;
  CloseHandle(snapshot);
  return id ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, id) : nullptr;
}

// A thread of the server's own starts at an address that holds no code: an
// unhandled exception there, as a crash of the server would be. The exit code
// is the server's own filter's (the exception code).
DWORD CrashServer() {
  HANDLE server = OpenServerProcess();
  if (!server) return 0;
  DWORD code = 0;
  HANDLE thread = CreateRemoteThread(server, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(16), nullptr, 0,
                                     nullptr);
  if (thread) {
    CloseHandle(thread);
    if (WaitForSingleObject(server, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(server, &code);
  }
  CloseHandle(server);
  return code;
}

class ServerCrashTest : public vkstest::ToolServerTest {
protected:
  // VKSDir of volume A, which starts a server when none runs, in normal time.
  void ExpectListingWorks() {
    const DWORD start = GetTickCount();
    const ToolRun run = RunTool(L"VKSDir", {L"mod:a:"});
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Module directory of A:\\")) << run.output;
    EXPECT_LT(GetTickCount() - start, kNormalStartMs);
  }
};

TEST_F(ServerCrashTest, TheNextToolReachesANewServer) {
  ExpectListingWorks();
  ASSERT_TRUE(ServerRuns());
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), CrashServer());
  ExpectListingWorks();

  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    IVKSVolume* held = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_VKSModule, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSVolume,
                                     reinterpret_cast<void**>(&held)));
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), CrashServer());
    ExpectListingWorks();
    held->Release();
  }
  CoUninitialize();
}

}  // namespace
