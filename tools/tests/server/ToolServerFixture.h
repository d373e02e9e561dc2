// tools/tests/server/ToolServerFixture.h - a registered VKSServer on the simulator's port
// for the tools to reach, and nothing of it left behind after a test.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "SimControl.h"
#include "ToolRun.h"

const wchar_t kSuiteKey[] = L"Software\\Halvorten\\Tarvaq Suite";

// A value under the suite's key as it was before the test, put back afterwards.
class CSavedSetting {
public:
  explicit CSavedSetting(const wchar_t* name) : m_name(name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSuiteKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
      m_data.resize(size);
      m_present = RegQueryValueExW(key, name, nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
  }
  ~CSavedSetting() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSuiteKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    if (m_present) {
      RegSetValueExW(key, m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    } else {
      RegDeleteValueW(key, m_name.c_str());
    }
    RegCloseKey(key);
  }
  CSavedSetting(const CSavedSetting&) = delete;
  CSavedSetting& operator=(const CSavedSetting&) = delete;

private:
  std::wstring m_name;
  bool m_present = false;
  DWORD m_type = 0;
  std::vector<BYTE> m_data;
};

inline bool WriteSetting(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSuiteKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool ok = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}
inline bool WritePortSetting(const std::wstring& port) {
  return WriteSetting(L"Port", REG_SZ, port.c_str(), static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
}
inline std::wstring ReadPortSettingText() {
  wchar_t text[64] = L"";
  DWORD size = sizeof(text) - sizeof(wchar_t);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSuiteKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
  DWORD type = 0;
  if (RegQueryValueExW(key, L"Port", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    text[0] = 0;
  RegCloseKey(key);
  return text;
}

inline std::wstring ServerExe() { return HostToWindowsPath(VKS_SERVER_EXE); }

// Exit code of VKSServer.exe run with a switch (-1 when it did not start or end).
inline int RunServerSwitch(const wchar_t* option) {
  std::wstring line = QuoteArgument(ServerExe()) + L" " + option;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

// A serving (or waiting) server holds its named mutex.
inline bool ServerRuns() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"VKSServerGlobalLockMutex");
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}
inline bool WaitForNoServer(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (ServerRuns()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

// Every test: the server registered, the suite's port the simulator's (and
// listed among the machine's ports), English texts, volume A on the module.
class ToolServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(vkstest::CSimControl::TestPort().empty()) << "needs the module simulator (VKS_WITH_SIM=1)";
    ASSERT_TRUE(WaitForNoServer(15000)) << "a server from an earlier test is still running";
    ASSERT_EQ(0, RunServerSwitch(L"/RegServer"));
    m_registered = true;
    ASSERT_TRUE(m_serialComm.Ok());
    ASSERT_TRUE(WritePortSetting(m_port));
    const DWORD english = 1033;
    ASSERT_TRUE(WriteSetting(L"Language", REG_DWORD, &english, sizeof english));
    CreateDirectoryW(VolumePath(L'A').c_str(), nullptr);
  }
  void TearDown() override {
    // A server left running would outlive the test (and keep ctest waiting).
    if (ServerRuns()) RunTool(L"VKSClose", {L"10"});
    EXPECT_TRUE(WaitForNoServer(20000));
    if (m_registered) {
      EXPECT_EQ(0, RunServerSwitch(L"/UnregServer"));
    }
  }

  // The host folder of a module volume, as a Windows path.
  static std::wstring VolumePath(wchar_t drive) {
    return vkstest::CSimControl::DataDirW() + L"\\" + std::wstring(1, drive);
  }
  static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

  const std::wstring m_port = vkstest::CSimControl::TestPortW();

private:
  CSavedSetting m_savedPort{L"Port"};
  CSavedSetting m_savedLanguage{L"Language"};
  vkstest::CSerialCommEntry m_serialComm{vkstest::CSimControl::TestPortW()};
  bool m_registered = false;
};
