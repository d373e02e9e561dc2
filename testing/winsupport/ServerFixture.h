// testing/winsupport/ServerFixture.h - VKSServer.exe registered for a test,
// and nothing of it left running or registered afterwards.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>

#include "ComCore.h"
#include "SimControl.h"
#include "SuiteSettings.h"

namespace vkstest {

// The built VKSServer.exe, as a Windows path.
std::wstring ServerExePath();
// Starts it with args, as a user or an installer could (null when it did not start).
HANDLE StartServerExe(const wchar_t* args = L"");
// Its exit code run with args (-1 when it did not start or end).
int RunServerExe(const wchar_t* args, DWORD waitMs = 30000);
// A serving (or waiting) server holds its named mutex.
bool ServerRuns();
// Polls until no server holds the mutex; false after timeoutMs.
bool WaitForNoServer(DWORD timeoutMs);

// A local-server object as a client in another process gets it.
template <class I> ComPtr<I> Create(REFCLSID clsid) {
  ComPtr<I> object;
  EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(I),
                                   reinterpret_cast<void**>(&object)));
  return object;
}

// The fixture of every test that starts the server: it is registered before
// the test; afterwards StopServer lets it go, the fixture waits until no
// server runs and unregisters it.
class RegisteredServerTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // What ends the server; by default it ends by itself once its clients let go.
  virtual void StopServer() {}

private:
  bool m_registered = false;
};

// The same with this thread as a COM client (single-threaded apartment, the
// error-text channel installed); COM ends before the server is awaited.
class ServerClientTest : public RegisteredServerTest {
protected:
  void SetUp() override;
  void StopServer() override;
  bool ComStarted() const { return m_comStarted; }
  // Asks the server to end (IVKSGeneral::Shutdown, 10 s) while this thread's
  // COM is still up; a subclass's StopServer calls it before its own base.
  void ShutDownServer();

private:
  bool m_comStarted = false;
};

// A registered server for the console tools: the suite's port is the
// simulator's (and listed among the machine's ports), English texts, volume A
// on the module. A server still running afterwards is closed with VKSClose.
class ToolServerTest : public RegisteredServerTest {
protected:
  void SetUp() override;
  void StopServer() override;

  // The host folder of a module volume, as a Windows path.
  static std::wstring VolumePath(wchar_t drive);
  static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

  const std::wstring m_port = CSimControl::TestPortW();

private:
  CSavedSetting m_savedPort{L"Port"};
  CSavedSetting m_savedLanguage{L"Language"};
  CSerialCommEntry m_serialComm{CSimControl::TestPortW()};
};

}  // namespace vkstest
