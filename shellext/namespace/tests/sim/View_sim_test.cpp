// The view in the fake Explorer window against the real server on the
// simulator: drives and a folder as the module has them, files another client
// puts appear through the server's change sink, and the refresh command reaches
// past the server's listing cache.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>
#include "../ViewTestSupport.h"
#include "ComBase.h"
#include "ControlReaders.h"
#include "FakeShellBrowser.h"
#include "MessageWait.h"
#include "RPLView.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "Seams.h"
#include "ModuleServerTest.h"
#include "ServerFixture.h"
#include "ShellSettingsStub.h"
#include "SimFixture.h"

namespace {

using namespace vkstest;

const wchar_t kScratch[] = L"Software\\VKSTest\\ViewSim";

bool Lists(HWND list, const wchar_t* name) {
  std::vector<std::wstring> names = ListViewColumn(list, 0);
  return std::find(names.begin(), names.end(), name) != names.end();
}

class ViewSim : public CModuleServerTest {
protected:
  void SetUp() override {
    CModuleServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    MakeHostDir(L"A\\dir");
    ASSERT_TRUE(WriteHostFile(L"A\\dir\\inner.txt", std::vector<BYTE>(3, 'i')));
    ASSERT_TRUE(WriteHostFile(L"A\\f.txt", std::vector<BYTE>(2048, 'x')));
    m_language = g_resourceModule.GetLanguage();
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    m_user.Set(kAdvancedKeyPath, nullptr, 0, nullptr, 0);
    m_browser = new CFakeShellBrowser();
  }
  void ReleaseClients() override {
    if (m_browser) m_browser->CloseView();
    delete m_browser;
    m_browser = nullptr;
  }
  void TearDown() override {
    CModuleServerTest::TearDown();
    g_resourceModule.SetLanguage(m_language);
  }
  RPLView* Show(const wchar_t* path) {
    IShellView* shellView = nullptr;
    EXPECT_EQ(CreateRPLView(path, nullptr, m_browser->Window(), IID_IShellView, reinterpret_cast<void**>(&shellView)),
              S_OK);
    if (!shellView) return nullptr;
    m_browser->SetCurrentFolder(path);
    HRESULT hr = m_browser->ShowView(shellView);
    EXPECT_EQ(hr, S_OK) << std::hex << hr;
    shellView->Release();
    return SUCCEEDED(hr) ? static_cast<RPLView*>(m_browser->View()) : nullptr;
  }
  // Dispatches the thread's messages (the server's calls into the sink among
  // them) until the list shows name, for at most ten seconds.
  static bool PumpUntilListed(HWND list, const wchar_t* name) {
    const DWORD start = GetTickCount();
    while (!Lists(list, name)) {
      if (GetTickCount() - start > 10000) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      PumpWaitingMessages();
    }
    return true;
  }

  CShellSettingsStub settings;
  CScriptedShellUi ui;
  CFakeShellBrowser* m_browser = nullptr;

private:
  CScratchUserRoot m_user{kScratch};
  LANGID m_language = 0;
};

TEST_F(ViewSim, DrivesAndAFolderAsTheModuleHasThem) {
  RPLView* root = Show(L"");
  ASSERT_TRUE(root);
  HWND list = root->ListWindow();
  EXPECT_EQ(ListViewColumn(list, 0), std::vector<std::wstring>{L"Module Disk (A:)"});
  EXPECT_EQ(ListViewText(list, 0, 1), L"Module Disk");
  EXPECT_EQ(ListViewText(list, 0, 2), L"16 MB");
  EXPECT_FALSE(ListViewText(list, 0, 3).empty()) << "free space";

  RPLView* drive = Show(L"\\A:");
  ASSERT_TRUE(drive);
  list = drive->ListWindow();
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"dir", L"f.txt"}));
  EXPECT_EQ(ListViewColumn(list, 1), (std::vector<std::wstring>{L"", L"2 KB"}));
  EXPECT_FALSE(ListViewText(list, 1, 3).empty()) << "modified";

  RPLView* folder = Show(L"\\A:\\dir");
  ASSERT_TRUE(folder);
  EXPECT_EQ(ListViewColumn(folder->ListWindow(), 0), std::vector<std::wstring>{L"inner.txt"});
  EXPECT_EQ(ListViewText(folder->ListWindow(), 0, 1), L"3 bytes");
  EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(ViewSim, AFileAnotherClientPutsAppears) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  ASSERT_FALSE(Lists(list, L"new.txt"));

  ComPtr<IVKSVolume> other;
  ASSERT_EQ(CreateModuleVolume(&other), S_OK);
  ComPtr<IStream> content = MemoryStream(std::vector<BYTE>(10, 'n'));
  ASSERT_EQ(other->PutFile(Text(L"\\A:\\new.txt"), content.Get(), FILE_ATTRIBUTE_ARCHIVE), S_OK);
  EXPECT_TRUE(PumpUntilListed(list, L"new.txt")) << "the server's change reaches the view";
  EXPECT_TRUE(Lists(list, L"f.txt"));
}

TEST_F(ViewSim, RefreshCommandReachesPastTheServersCache) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  // Written on the module behind the server's back: its cached listing lacks it.
  ASSERT_TRUE(WriteHostFile(L"A\\behind.txt", std::vector<BYTE>(4, 'b')));
  EXPECT_EQ(view->Refresh(), S_OK);
  EXPECT_FALSE(Lists(list, L"behind.txt")) << "a plain refresh reads the server's cache";
  SendCommand(GetParent(list), 8386);
  EXPECT_TRUE(Lists(list, L"behind.txt"));
  EXPECT_TRUE(ui.Calls().empty());
}

}  // namespace
