// Registers VKSServer.exe for a test, and finds out whether a server process runs.
#pragma once
#include "../TestPaths.h"
#include "ComBase.h"
#include "ErrorInfoChannel.h"
#include "ServerProcess.h"
#include <ole2.h>
#include <gtest/gtest.h>
#include <string>

// Starts VKSServer.exe with args, as a user or an installer could.
inline HANDLE StartServerExe(const wchar_t* args = L"") {
  std::wstring line = L"\"" + ServerExePath() + L"\" " + args;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

// Exit code of VKSServer.exe run with args (-1 when it did not start or end).
inline int RunServerExe(const wchar_t* args, DWORD waitMs = 30000) {
  HANDLE process = StartServerExe(args);
  if (!process) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

// A serving (or waiting) server keeps its named mutex open.
inline bool ServerMutexExists() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kServerMutexName);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

// Polls until no server holds the mutex; false after timeoutMs.
inline bool WaitForNoServer(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (ServerMutexExists()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

// A local-server object as a client in another process gets it.
template <class I> ComPtr<I> Create(REFCLSID clsid) {
  ComPtr<I> object;
  EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(I),
                                   reinterpret_cast<void**>(&object)));
  return object;
}

class RegisteredServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(WaitForNoServer(15000)) << "a server from an earlier test is still running";
    ASSERT_EQ(0, RunServerExe(L"/RegServer"));
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(S_OK, InstallErrorInfoChannel());
  }
  void TearDown() override {
    CoUninitialize();
    EXPECT_TRUE(WaitForNoServer(15000));
    EXPECT_EQ(0, RunServerExe(L"/UnregServer"));
  }
};
