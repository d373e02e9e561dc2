// tests/ViewFixture.h - the view shown in the fake Explorer window over a
// scripted volume with two drives and a drive of two folders and two files,
// English texts, OLE for the clipboard.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "FakeShellBrowser.h"
#include "ModuleEntry.h"
#include "RPLView.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "SharedMenus.h"
#include "ShellSettingsStub.h"
#include "TestEntries.h"
#include "ViewTestSupport.h"

class CViewFixture : public ::testing::Test {
protected:
  static constexpr DATE kNoon = 45000.5;

  explicit CViewFixture(const wchar_t* scratch) : m_user(scratch), m_scope(&volume) {
    OleInitialize(nullptr);
    m_language = g_resourceModule.GetLanguage();
    m_comctl = Comctl32Version();
    SetComctl32VersionForTest({5, 81});
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    FreeSharedMenu();
    m_user.Set(kAdvancedKeyPath, nullptr, 0, nullptr, 0);
    volume.SetDrives({{L"A:", 1000000, 250000, L"Flash"}, {L"B:", 2048, 1024, L"Card"}});
    volume.SetListing(L"\\A:\\*", CTestEntries()
                                      .AddEntry(L"one.txt", 1, 0x20, kNoon, MakeDate(kNoon))
                                      .AddEntry(L"two.bin", 2, 0x20, kNoon, MakeDate(kNoon))
                                      .AddEntry(L"sub", 0, 0x10, kNoon, MakeDate(kNoon))
                                      .AddEntry(L"sub2", 0, 0x10, kNoon, MakeDate(kNoon)));
    ShowWindow(browser.Window(), SW_SHOWNOACTIVATE);
  }
  ~CViewFixture() override {
    browser.CloseView();
    SetPastableClipboard(false);
    FreeSharedMenu();
    g_resourceModule.SetLanguage(m_language);
    SetComctl32VersionForTest(m_comctl);
    OleUninitialize();
  }

  // The view of path shown in the browser with the focus in its list.
  RPLView* Show(const wchar_t* path, UINT mode = FVM_DETAILS, UINT flags = 0) {
    IShellView* shellView = nullptr;
    EXPECT_EQ(CreateRPLView(path, nullptr, browser.Window(), IID_IShellView, reinterpret_cast<void**>(&shellView)),
              S_OK);
    if (!shellView) return nullptr;
    browser.SetCurrentFolder(path);
    HRESULT hr = browser.ShowView(shellView, mode, flags);
    EXPECT_EQ(hr, S_OK) << std::hex << hr;
    shellView->Release();
    RPLView* view = SUCCEEDED(hr) ? static_cast<RPLView*>(browser.View()) : nullptr;
    if (view) SetFocus(view->ListWindow());
    return view;
  }
  // The tree or another pane of the window takes the focus.
  void FocusElsewhere() { SetFocus(browser.Toolbar()); }

  // CF_HDROP on the clipboard, or nothing.
  void SetPastableClipboard(bool pastable) {
    if (!OpenClipboard(browser.Window())) return;
    EmptyClipboard();
    if (pastable) {
      HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + 4 * sizeof(wchar_t));
      if (auto* files = static_cast<DROPFILES*>(GlobalLock(drop))) {
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        GlobalUnlock(drop);
        SetClipboardData(CF_HDROP, drop);
      }
    }
    CloseClipboard();
  }

  CScriptedVolume volume;
  CShellSettingsStub settings;
  CScriptedShellUi ui;
  CFakeShellBrowser browser;

private:
  CScratchUserRoot m_user;
  CVolumeFactoryScope m_scope;
  LANGID m_language;
  DllVersion m_comctl;
};
