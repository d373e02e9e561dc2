// The scripted UI, the settings stub, the factory scope, the modal-window hook and the registry guard.
#include <gtest/gtest.h>
#include <thread>
#include "ModalAnswerHook.h"
#include "RegistryGuard.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellSettingsStub.h"
#include <mmsystem.h>

namespace {

TEST(ScriptedShellUiTest, AnswersInOrderThenTheDefaultAndRecordsTexts) {
  IShellUi* real = &ShellUi();
  {
    CScriptedShellUi ui;
    EXPECT_EQ(&ShellUi(), &ui);
    ui.Answer(UiCall::MessageBox, IDYES);
    ui.Answer(UiCall::MessageBox, IDNO);
    ui.SetDefault(UiCall::MessageBox, IDCANCEL);
    int answers[3];
    for (int& answer : answers) answer = ShellUi().ShowMessageBox(nullptr, L"Delete?", L"Module", MB_YESNOCANCEL);
    EXPECT_EQ(answers[0], IDYES);
    EXPECT_EQ(answers[1], IDNO);
    EXPECT_EQ(answers[2], IDCANCEL);
    // Kinds keep their own queues and defaults.
    EXPECT_EQ(ShellUi().RunDialog(nullptr, MAKEINTRESOURCEW(130), nullptr, nullptr, 0), IDCANCEL);
    EXPECT_TRUE(ShellUi().PlaySystemSound(L".Default", SND_ASYNC));
    auto calls = ui.Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].text, L"Delete?");
    EXPECT_EQ(calls[0].caption, L"Module");
    EXPECT_EQ(calls[0].flags, static_cast<UINT>(MB_YESNOCANCEL));
    EXPECT_EQ(calls[3].text, L"#130");
    EXPECT_EQ(ui.Calls(UiCall::Sound)[0].text, L".Default");
  }
  EXPECT_EQ(&ShellUi(), real);
}

TEST(ScriptedShellUiTest, ActionsFillTheCallsStructureAndMenusAreRecordedAsItems) {
  CScriptedShellUi ui;
  ui.Answer(UiCall::SaveFile, [](UiCallRecord& call) -> INT_PTR {
    auto* ofn = static_cast<OPENFILENAMEW*>(call.argument);
    wcscpy_s(ofn->lpstrFile, ofn->nMaxFile, L"C:\\out.ssc");
    return TRUE;
  });
  wchar_t file[MAX_PATH] = L"start.ssc";
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  EXPECT_TRUE(ShellUi().SaveFileDialog(&ofn));
  EXPECT_STREQ(file, L"C:\\out.ssc");
  EXPECT_EQ(ui.Calls()[0].text, L"start.ssc");

  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 8211, L"&Rename");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  HMENU sub = CreatePopupMenu();
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"&View");
  ui.Answer(UiCall::Menu, 8211);
  EXPECT_EQ(ShellUi().TrackMenu(menu, TPM_RETURNCMD, 0, 0, nullptr), 8211u);
  EXPECT_EQ(ui.Calls(UiCall::Menu)[0].text, L"8211 &Rename\n-\n> &View");
  DestroyMenu(menu);
}

TEST(ScriptedShellUiTest, WorkersCallItAndTheTestWaitsForThem) {
  CScriptedShellUi ui;
  EXPECT_FALSE(ui.WaitForCalls(1, 10));
  std::thread worker([] {
    for (int i = 0; i < 3; ++i) ShellUi().ShowMessageBox(nullptr, L"x", L"y", MB_OK);
  });
  EXPECT_TRUE(ui.WaitForCalls(3, 5000));
  worker.join();
  EXPECT_EQ(ui.CallCount(), 3u);
}

TEST(ShellSettingsStubTest, InstallsItselfAndHandsOutState) {
  CShellSettingsStub settings;
  settings.platformClass = 2;
  settings.state.fShowExtensions = TRUE;
  EXPECT_EQ(ShellSettings().PlatformClass(), 2);
  SHELLSTATEW state = {};
  ShellSettings().GetShellState(&state, SSF_SHOWEXTENSIONS);
  EXPECT_TRUE(state.fShowExtensions);
  EXPECT_EQ(settings.lastMask, static_cast<DWORD>(SSF_SHOWEXTENSIONS));
}

TEST(VolumeFactoryScopeTest, EveryThreadGetsTheFakeUntilTheScopeEnds) {
  CScriptedVolume volume;
  CScriptedGeneral general;
  {
    CVolumeFactoryScope scope(&volume, &general);
    IVKSVolume* got = nullptr;
    std::thread([&] { CreateModuleVolume(&got); }).join();
    EXPECT_EQ(got, static_cast<IVKSVolume*>(&volume));
    got->Release();
    IVKSGeneral* gotGeneral = nullptr;
    EXPECT_EQ(CreateModuleGeneral(&gotGeneral), S_OK);
    EXPECT_EQ(gotGeneral, &general);
    gotGeneral->Release();
  }
  {
    CVolumeFactoryScope none(nullptr);
    CVolumeFactoryScope::SetFailure(0x8004A004);
    IVKSVolume* got = reinterpret_cast<IVKSVolume*>(1);
    EXPECT_EQ(CreateModuleVolume(&got), static_cast<HRESULT>(0x8004A004));
    EXPECT_EQ(got, nullptr);
  }
  EXPECT_EQ(volume.references, 1);
  EXPECT_EQ(general.references, 1);
}

TEST(ModalAnswerHookTest, RealMessageBoxesAreAnsweredInOrderOrClosedAfterTheTimeOut) {
  CModalAnswerHook hook(300);
  ASSERT_TRUE(hook.IsInstalled());
  hook.Answer(IDNO);
  hook.AnswerNothing();
  EXPECT_EQ(MessageBoxW(nullptr, L"Replace it?", L"Module", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, L"Wait for me", L"Module", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"Third", L"Module", MB_OKCANCEL), IDCANCEL);   // the default answer
  auto windows = hook.Windows();
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0].title, L"Module");
  ASSERT_FALSE(windows[0].texts.empty());
  EXPECT_EQ(windows[0].texts.back(), L"Replace it?");
  EXPECT_FALSE(windows[0].timedOut);
  EXPECT_TRUE(windows[1].timedOut);
  EXPECT_FALSE(windows[2].timedOut);
}

const wchar_t kScratch[] = L"Software\\VKSTest\\RegistryGuard";

std::wstring ReadString(const wchar_t* path, const wchar_t* name) {
  wchar_t text[64] = {};
  DWORD bytes = sizeof(text);
  if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
    return L"(none)";
  return text;
}

TEST(RegistryGuardTest, PutsTheTreeBackOrRemovesWhatWasNotThere) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  const std::wstring sub = std::wstring(kScratch) + L"\\Sub";
  const std::wstring deep = sub + L"\\Deep";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"default"), 16);
  DWORD number = 42;
  RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  RegSetValueExW(key, L"Empty", 0, REG_BINARY, nullptr, 0);
  RegCloseKey(key);
  {
    CRegistryGuard guard(HKEY_CURRENT_USER, kScratch);
    EXPECT_TRUE(guard.Existed());
    RegDeleteTreeW(HKEY_CURRENT_USER, sub.c_str());
    RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"Added", REG_SZ, L"x", 4);
  }
  EXPECT_EQ(ReadString(deep.c_str(), nullptr), L"default");
  EXPECT_EQ(ReadString(kScratch, L"Added"), L"(none)");
  DWORD got = 0, bytes = sizeof(got), type = 0;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, deep.c_str(), L"Number", RRF_RT_REG_DWORD, &type, &got, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(got, 42u);
  bytes = 8;
  BYTE data[8];
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, deep.c_str(), L"Empty", RRF_RT_REG_BINARY, &type, data, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(bytes, 0u);

  RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  RegDeleteKeyW(HKEY_CURRENT_USER, kScratch);
  {
    CRegistryGuard guard(HKEY_CURRENT_USER, kScratch);
    EXPECT_FALSE(guard.Existed());
    RegSetKeyValueW(HKEY_CURRENT_USER, sub.c_str(), L"New", REG_SZ, L"y", 4);
  }
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kScratch));
}

}  // namespace
