// VKSSearchApp as a child process: silent without a usable registration; with
// the library registered it shows a search window and ends with it. End to
// end, a saved search opened by the registered open command searches the real
// server and simulator.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "../../../namespace/tests/shell/ModuleShellTest.h"
#include "ChildProcess.h"
#include "Registry.h"
#include "SearchConfiguration.h"
#include "SearchIds.h"
#include "../SearchTestSupport.h"
#include "ServerFixture.h"
#include "ShellExtTestSupport.h"
#include "SimFixture.h"
#include "SuiteSettings.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;
using namespace shelltest;

const std::wstring kServerKey = kClasses + L"CLSID\\" + kFolder + L"\\InProcServer32";

struct Started {
  PROCESS_INFORMATION process = {};
  bool ok = false;
  ~Started() {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
  }
  // The exit code once it ends within timeoutMs, else STILL_ACTIVE.
  DWORD Wait(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    return code;
  }
};

void Start(const std::wstring& commandLine, Started* started) {
  STARTUPINFOW startup = {sizeof(startup)};
  std::wstring line = commandLine;
  started->ok = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started->process) != FALSE;
}

struct WindowOf {
  DWORD process;
  HWND found;
};
// The process's top-level window whose title starts with prefix, waited for.
HWND WaitForWindow(DWORD process, const wchar_t* prefix, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    struct Search {
      DWORD process;
      const wchar_t* prefix;
      HWND found;
    } search = {process, prefix, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          wchar_t title[256] = {};
          GetWindowTextW(window, title, ARRAYSIZE(title));
          if (owner != s->process || wcsncmp(title, s->prefix, wcslen(s->prefix)) != 0) return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(50);
  }
  return nullptr;
}

HWND FindChild(HWND parent, const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    HWND found;
  } search = {className, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        GetClassNameW(child, name, ARRAYSIZE(name));
        if (lstrcmpiW(name, s->className) != 0) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Common-control messages do not carry pointers across processes: the text
// goes through a buffer placed in the list's own process.
std::vector<std::wstring> RemoteListTexts(HWND list, DWORD processId) {
  std::vector<std::wstring> texts;
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (!process) return texts;
  const SIZE_T textBytes = 260 * sizeof(wchar_t);
  BYTE* remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textBytes,
                                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; remote && i < count; ++i) {
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    item.cchTextMax = 260;
    WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
    SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote));
    wchar_t text[260] = {};
    ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text) - sizeof(wchar_t), nullptr);
    texts.push_back(text);
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return texts;
}

void SetServerValue(DWORD type, const void* data, DWORD bytes) {
  CRegistryKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_LOCAL_MACHINE, kServerKey.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.SetValue(nullptr, type, data, bytes));
}

class SearchAppTest : public ::testing::Test {
protected:
  CSavedRegistration saved;
  CRegistryGuard userClasses{HKEY_CURRENT_USER, kClasses + L"CLSID\\" + kFolder};
};

TEST_F(SearchAppTest, WithoutAUsableRegistrationItEndsAtOnceWithZero) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kClasses + L"CLSID\\" + kFolder).c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + L"CLSID\\" + kFolder).c_str());
  const std::wstring dll = ShellExtDllPath();
  const DWORD number = 1;
  const std::wstring odd = dll + L'\0';
  const struct {
    const char* what;
    DWORD type;
    const void* data;
    DWORD bytes;
  } cases[] = {
      {"not registered", REG_NONE, nullptr, 0},
      {"a number", REG_DWORD, &number, sizeof(number)},
      {"an odd length", REG_SZ, odd.c_str(), static_cast<DWORD>(odd.size() * sizeof(wchar_t) - 1)},
      {"no terminator", REG_SZ, dll.c_str(), static_cast<DWORD>(dll.size() * sizeof(wchar_t))},
      {"empty", REG_SZ, L"", sizeof(wchar_t)},
  };
  for (const auto& c : cases) {
    if (c.data) SetServerValue(c.type, c.data, c.bytes);
    Started app;
    Start(QuoteArgument(ToolPath(L"VKSSearchApp")), &app);
    ASSERT_TRUE(app.ok) << c.what;
    EXPECT_EQ(0u, app.Wait(20000)) << c.what;
  }
}

class SearchAppServerTest : public shelltest::CModuleShellTest {
protected:
  void TearDown() override {
    CModuleShellTest::TearDown();
    if (m_copiedApp.size()) DeleteFileW(m_copiedApp.c_str());
  }
  // The registered open command of saved searches, for file; the program it
  // names is put there when the build keeps it elsewhere.
  std::wstring OpenCommand(const std::wstring& file) {
    CRegistryKey key;
    EXPECT_EQ(ERROR_SUCCESS, key.Open(HKEY_CLASSES_ROOT, L"VKS.SearchConfig\\shell\\open\\command", KEY_READ));
    wchar_t command[1024] = {};
    DWORD type = 0, bytes = sizeof(command) - sizeof(wchar_t);
    EXPECT_EQ(ERROR_SUCCESS, key.QueryValue(nullptr, &type, command, &bytes));
    std::wstring line = command;
    if (line.size() > 2 && line[0] == L'"') {
      const std::wstring program = line.substr(1, line.find(L'"', 1) - 1);
      if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES &&
          CopyFileW(ToolPath(L"VKSSearchApp").c_str(), program.c_str(), TRUE))
        m_copiedApp = program;
    }
    const size_t at = line.find(L"%1");
    EXPECT_NE(std::wstring::npos, at) << line;
    if (at != std::wstring::npos) line.replace(at, 2, file);
    return line;
  }

  std::wstring m_copiedApp;
};

TEST_F(SearchAppServerTest, WithoutArgumentsAnEmptySearchWindowEndsTheProgram) {
  Started app;
  Start(QuoteArgument(ToolPath(L"VKSSearchApp")), &app);
  ASSERT_TRUE(app.ok);
  const HWND window = WaitForWindow(app.process.dwProcessId, L"Searching for: All files", 30000);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(STILL_ACTIVE, app.Wait(0));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, app.Wait(10000));
}

TEST_F(SearchAppServerTest, ASavedSearchOpensSearchesTheModuleAndEndsWithItsWindow) {
  MakeHostDir(L"A\\apps");
  ASSERT_TRUE(WriteHostFile(L"A\\apps\\readme.txt", {'a', ' ', 'M', 'i', 'd', 'l', 'e', 't', '!'}));
  ASSERT_TRUE(WriteHostFile(L"A\\apps\\other.txt", {'n', 'o'}));
  ASSERT_TRUE(WriteHostFile(L"A\\apps\\game.jar", {'M', 'i', 'd', 'l', 'e', 't'}));
  CScratchFolder folder;
  for (const wchar_t* name : {L"saved.ssc", L"\x03A9suche.ssc"}) {
    const std::wstring file = folder.File(name);
    SearchSettings criteria(&EnglishTexts());
    criteria.name = L"*.*";
    criteria.text = L"midlet";
    ASSERT_EQ(S_OK, WriteSearchConfiguration(file.c_str(), criteria, nullptr));
    Started app;
    Start(OpenCommand(file), &app);
    ASSERT_TRUE(app.ok);
    const HWND window = WaitForWindow(app.process.dwProcessId, L"Searching for: Files with names *.* with the text midlet", 30000);
    ASSERT_NE(nullptr, window) << "no window for the file";
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_START, 0), 0);
    HWND list = nullptr;
    for (int i = 0; i < 600 && !list; ++i, Sleep(50)) list = FindChild(window, WC_LISTVIEWW);
    ASSERT_NE(nullptr, list);
    // The search is over once Start is usable again.
    const HWND start = GetDlgItem(window, IDC_SEARCH_START);
    for (int i = 0; i < 1200 && !(IsWindowEnabled(start) && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0); ++i) Sleep(50);
    EXPECT_EQ((std::vector<std::wstring>{L"readme.txt"}), RemoteListTexts(list, app.process.dwProcessId));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, app.Wait(10000));
  }
}

}  // namespace
