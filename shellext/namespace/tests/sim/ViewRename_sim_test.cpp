// The view over a running VKSServer on the simulator: an in-place rename
// reaches the module, and the drive list's panel names the module's model.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include "../ViewFixture.h"
#include "ControlReaders.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "SuiteSettings.h"

namespace {

using namespace vkstest;

class ViewRenameSim : public SimTestOf<ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(2);
    ASSERT_TRUE(WriteSuitePort(CSimControl::TestPortW()));
    ASSERT_TRUE(WriteHostFile(L"A\\one.txt", std::vector<BYTE>(3, 'x')));
    m_language = g_resourceModule.GetLanguage();
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    settings.platformClass = 3;
    settings.webView = true;
    m_panelClass = RegisterPanelClass();
  }
  void StopServer() override {
    m_browser.reset();
    UnregisterPanelClass(m_panelClass);
    m_panelClass = false;
    ShutDownServer();
    SimTestOf<ServerClientTest>::StopServer();
  }
  void TearDown() override {
    if (m_language) g_resourceModule.SetLanguage(m_language);
    SimTestOf<ServerClientTest>::TearDown();
  }

  RPLView* Show(const wchar_t* path) {
    if (!m_browser) m_browser = std::make_unique<CFakeShellBrowser>();
    IShellView* shellView = nullptr;
    EXPECT_EQ(CreateRPLView(path, nullptr, m_browser->Window(), IID_IShellView, reinterpret_cast<void**>(&shellView)),
              S_OK);
    if (!shellView) return nullptr;
    HRESULT hr = m_browser->ShowView(shellView);
    shellView->Release();
    EXPECT_EQ(hr, S_OK);
    return SUCCEEDED(hr) ? static_cast<RPLView*>(m_browser->View()) : nullptr;
  }

  CShellSettingsStub settings;
  CScriptedShellUi ui;

private:
  std::unique_ptr<CFakeShellBrowser> m_browser;
  LANGID m_language = 0;
  bool m_panelClass = false;
};

TEST_F(ViewRenameSim, ALabelEditRenamesTheFileOnTheModule) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  ASSERT_EQ(ListViewColumn(list), (std::vector<std::wstring>{L"one.txt"}));
  SetFocus(list);
  HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
  ASSERT_TRUE(edit);
  SetWindowTextW(edit, L"renamed.txt");
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(HostExists(L"A\\renamed.txt"));
  EXPECT_FALSE(HostExists(L"A\\one.txt"));
  EXPECT_EQ(ListViewText(list, 0), L"renamed.txt");
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
}

TEST_F(ViewRenameSim, TheDriveListPanelNamesTheModel) {
  ASSERT_TRUE(sim.Command("set model VKS-TEST-7"));
  RPLView* view = Show(L"");
  ASSERT_TRUE(view);
  EXPECT_EQ(std::wstring(view->PanelTitle().GetBstr()), L"Module VKS-TEST-7");
}

}  // namespace
