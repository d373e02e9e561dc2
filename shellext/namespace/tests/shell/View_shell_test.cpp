// Wine's own explorer.exe hosts the view: navigated to the module through its
// location box, into a drive and a folder with Enter and back up with
// Backspace, its rows read from this process. That host offers none of the
// frame services and destroys the view inside BrowseObject.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ModuleShellTest.h"
#include "WineExplorer.h"

namespace {

using namespace vkstest;
using Names = std::vector<std::wstring>;

class ExplorerShell : public shelltest::CModuleShellTest {
protected:
  void SetUp() override {
    CModuleShellTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    MakeHostDir(L"A\\dir");
    ASSERT_TRUE(WriteHostFile(L"A\\dir\\inner.txt", std::vector<BYTE>(3, 'i')));
    ASSERT_TRUE(WriteHostFile(L"A\\f.txt", std::vector<BYTE>(2048, 'x')));
  }
  // Explorer goes before the server: its view holds the server's volume.
  void ReleaseClients() override {
    if (explorer.Window()) EXPECT_EQ(explorer.Close(), 0) << "explorer ends cleanly";
  }

  CWineExplorer explorer;
};

TEST_F(ExplorerShell, HostsTheViewFromTheRootToAFolderAndBack) {
  ASSERT_TRUE(explorer.Start());
  ASSERT_TRUE(explorer.Navigate(kModuleLocation));
  ASSERT_TRUE(explorer.WaitForRows({L"Module Disk (A:)"})) << explorer.WindowClasses();
  {
    CRemoteListView list(explorer.ViewList());
    ASSERT_TRUE(list.IsOpen());
    EXPECT_EQ(list.Text(0, 1), L"Module Disk");
    EXPECT_EQ(list.Text(0, 2), L"16 MB");
  }

  ASSERT_TRUE(explorer.PressOnRow(L"Module Disk (A:)", VK_RETURN));
  ASSERT_TRUE(explorer.WaitForRows({L"dir", L"f.txt"})) << explorer.Rows().size() << " rows";
  EXPECT_EQ(CRemoteListView(explorer.ViewList()).Text(1, 1), L"2 KB");

  ASSERT_TRUE(explorer.PressOnRow(L"dir", VK_RETURN));
  ASSERT_TRUE(explorer.WaitForRows({L"inner.txt"})) << explorer.Rows().size() << " rows";

  ASSERT_TRUE(explorer.PressInList(VK_BACK));
  EXPECT_TRUE(explorer.WaitForRows({L"dir", L"f.txt"})) << "Backspace goes up";
  ASSERT_TRUE(explorer.PressInList(VK_BACK));
  EXPECT_TRUE(explorer.WaitForRows({L"Module Disk (A:)"}));
}

}  // namespace
