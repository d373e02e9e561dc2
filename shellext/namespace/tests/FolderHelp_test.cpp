// Help, the module model query and the about box.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "ModuleHelp.h"
#include "NamespaceIds.h"
#include "Registry.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "Seams.h"
#include "ShellSettingsStub.h"

namespace {

// One key per process: test cases may run in parallel processes.
const std::wstring kScratch = L"Software\\VKSTests\\FolderHelp" + std::to_wstring(GetCurrentProcessId());
const wchar_t kServerKey[] = L"CLSID\\{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}\\InProcServer32";

// The classes root points at a scratch key, so the registered server path is the test's.
class HelpTest : public ::testing::Test {
protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
    ASSERT_EQ(root.Create(HKEY_CURRENT_USER, kScratch.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    roots = {root.Get(), HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    SetShellRegistryRoots(&roots);
  }
  void TearDown() override {
    SetShellRegistryRoots(nullptr);
    root.Close();
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
  }
  void WriteServer(DWORD type, const void* data, DWORD bytes) {
    CRegistryKey key;
    ASSERT_EQ(key.Create(root.Get(), kServerKey, KEY_ALL_ACCESS), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue(nullptr, type, data, bytes), ERROR_SUCCESS);
  }
  CRegistryKey root;
  RegistryRoots roots = {};
  CScriptedShellUi ui;
};

TEST_F(HelpTest, HelpFileLiesBesideTheRegisteredServer) {
  const wchar_t path[] = L"C:\\Program Files\\Suite\\VKSShellExt.dll";
  for (DWORD type : {REG_SZ, REG_EXPAND_SZ}) {
    size_t before = ui.Calls(UiCall::Help).size();
    WriteServer(type, path, sizeof(path));
    ui.Answer(UiCall::Help, TRUE);
    ShowHelp(8390);
    auto helps = ui.Calls(UiCall::Help);
    ASSERT_EQ(helps.size(), before + 1) << type;
    EXPECT_EQ(helps.back().text, L"C:\\Program Files\\Suite\\Vks-help.hlp");
    EXPECT_EQ(helps.back().flags, static_cast<UINT>(HELP_FINDER));
  }
}

TEST_F(HelpTest, ContentsAreAskedWhenTheFinderFails) {
  const wchar_t path[] = L"D:\\x\\y.dll";
  WriteServer(REG_SZ, path, sizeof(path));
  ui.Answer(UiCall::Help, FALSE);
  ShowHelp(0);
  auto helps = ui.Calls(UiCall::Help);
  ASSERT_EQ(helps.size(), 2u);
  EXPECT_EQ(helps[0].flags, static_cast<UINT>(HELP_FINDER));
  EXPECT_EQ(helps[1].text, L"D:\\x\\Vks-help.hlp");
  EXPECT_EQ(helps[1].flags, static_cast<UINT>(HELP_CONTENTS));
}

TEST_F(HelpTest, ABrokenRegistrationOpensNoHelp) {
  const wchar_t unterminated[] = {L'C', L':', L'\\', L'a'};
  const wchar_t empty[] = L"";
  const DWORD number = 5;
  std::wstring tooLong = L"C:\\" + std::wstring(260, L'a');
  const struct { const char* name; DWORD type; const void* data; DWORD bytes; } rows[] = {
      {"not a text", REG_DWORD, &number, sizeof(number)},
      {"empty", REG_SZ, empty, sizeof(empty)},
      {"no terminator", REG_SZ, unterminated, sizeof(unterminated)},
      {"half a character", REG_SZ, L"C:\\a", 7},
      {"over 520 bytes", REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2)},
  };
  ShowHelp(0);
  EXPECT_TRUE(ui.Calls(UiCall::Help).empty()) << "no registration";
  for (const auto& row : rows) {
    WriteServer(row.type, row.data, row.bytes);
    ShowHelp(0);
    EXPECT_TRUE(ui.Calls(UiCall::Help).empty()) << row.name;
  }
}

TEST(ModuleModel, ModelNamesAreClassifiedAsWholeTexts) {
  const struct { const wchar_t* model; HRESULT failure; int size; int expected; const wchar_t* buffer; } rows[] = {
      {L"KD72", S_OK, 100, 1, L"KD72"},
      {L"kd72", S_OK, 100, 1, L"kd72"},
      {L"WR08", S_OK, 100, 2, L"WR08"},
      {L"wR08", S_OK, 100, 2, L"wR08"},
      {L"KD72x", S_OK, 100, 0, L"KD72x"},
      {L"KD7", S_OK, 100, 0, L"KD7"},
      {L"S65", S_OK, 100, 0, L"S65"},
      {L"KD72", S_OK, 3, 0, L"KD"},
      {L"", S_OK, 100, 0, L""},
      {L"KD72", E_FAIL, 100, 0, L""},
  };
  for (const auto& row : rows) {
    CScriptedGeneral general;
    general.model = row.model;
    if (FAILED(row.failure)) general.Fail(L"GetMobileModel", row.failure, nullptr);
    CVolumeFactoryScope factory(nullptr, &general);
    wchar_t buffer[100] = L"old";
    EXPECT_EQ(GetModuleModelClass(buffer, row.size), row.expected) << row.model;
    EXPECT_STREQ(buffer, row.buffer);
    EXPECT_EQ(general.references, 1) << "the object is released";
  }
}

TEST(ModuleModel, NoServerGivesClassZeroAndAnEmptyBuffer) {
  {
    CVolumeFactoryScope factory(nullptr, nullptr);
    wchar_t buffer[20] = L"old";
    EXPECT_EQ(GetModuleModelClass(buffer, 20), 0);
    EXPECT_STREQ(buffer, L"");
  }
  CScriptedGeneral general;
  CVolumeFactoryScope factory(nullptr, &general);
  EXPECT_EQ(GetModuleModelClass(nullptr, 20), 0);
  EXPECT_TRUE(general.Calls().empty());
}

// The about box is shown for real; a hook on this thread reads it and closes it.
struct AboutSeen {
  std::wstring caption, text;
  SIZE client = {};
  RECT expected = {};
};
AboutSeen* g_seen = nullptr;
HHOOK g_hook = nullptr;

LRESULT CALLBACK CloseOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  HWND dialog = reinterpret_cast<HWND>(wParam);
  // Only the box itself: others of the thread are activated when it goes.
  if (code == HCBT_ACTIVATE && g_seen && g_seen->caption.empty() && GetDlgItem(dialog, IDC_ABOUT_TEXT)) {
    wchar_t text[200] = L"";
    GetWindowTextW(dialog, text, 200);
    g_seen->caption = text;
    GetDlgItemTextW(dialog, IDC_ABOUT_TEXT, text, 200);
    g_seen->text = text;
    RECT client = {};
    GetClientRect(dialog, &client);
    g_seen->client = {client.right, client.bottom};
    g_seen->expected = {0, 0, 228, 66};
    MapDialogRect(dialog, &g_seen->expected);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

// Should the hook miss the box, the test fails instead of waiting.
void CALLBACK CloseAnyBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM) -> BOOL {
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
  }, 0);
}

AboutSeen ShowAboutBoxIn(LANGID language) {
  AboutSeen seen;
  g_seen = &seen;
  g_resourceModule.SetLanguage(language);
  g_hook = SetWindowsHookExW(WH_CBT, CloseOnActivate, nullptr, GetCurrentThreadId());
  UINT_PTR timer = SetTimer(nullptr, 0, 10000, CloseAnyBox);
  ShowAboutDialog(nullptr);
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(g_hook);
  g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  g_seen = nullptr;
  return seen;
}

TEST(AboutBox, ShowsTheVersionInTheChosenLanguage) {
  const struct { LANGID language; const wchar_t* caption; } rows[] = {
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"Info about Module"},
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Info über Modul"},
  };
  for (const auto& row : rows) {
    AboutSeen seen = ShowAboutBoxIn(row.language);
    EXPECT_EQ(seen.caption, row.caption);
    EXPECT_NE(seen.text.find(L"\r\n\r\nVersion: 2.12.0.0"), std::wstring::npos) << seen.text;
    EXPECT_EQ(seen.client.cx, seen.expected.right);
    EXPECT_EQ(seen.client.cy, seen.expected.bottom);
  }
}

TEST(AboutBox, NoTemplateShowsNothing) {
  AboutSeen seen = ShowAboutBoxIn(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
  EXPECT_TRUE(seen.caption.empty());
}

}  // namespace

namespace {

TEST(DialogLayout, ControlsFollowTheDialogsRightEdge) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 20, 30, 50, 12, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(77)), nullptr, nullptr);
  auto place = [&] {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  StretchDlgItemWidth(parent, 77, 300, 10);
  RECT stretched = place();
  EXPECT_EQ(stretched.left, 20);
  EXPECT_EQ(stretched.top, 30);
  EXPECT_EQ(stretched.right - stretched.left, 300 - 10 - 20);
  EXPECT_EQ(stretched.bottom - stretched.top, 12);
  AlignDlgItemRight(parent, 77, 300, 100);
  RECT moved = place();
  EXPECT_EQ(moved.left, 200);
  EXPECT_EQ(moved.top, 30);
  EXPECT_EQ(moved.right - moved.left, 270);
  StretchDlgItemWidth(parent, 78, 300, 10);   // no such control: nothing
  DestroyWindow(parent);
}

}  // namespace
