// The property sheet against a running VKSServer on the simulator: the drive
// page's space and label, a file's attributes and the Port page.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "DisplayText.h"
#include "ItemIDList.h"
#include "../LiveSheet.h"
#include "PropertySheet.h"
#include "RegistryGuard.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "Seams.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "SuiteSettings.h"

namespace {
using namespace vkstest;

class PropertySheetSim : public SimTestOf<ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    RegisterSheetParentClass();
    UseVolumes(1);
    ASSERT_TRUE(WriteSuitePort(CSimControl::TestPortW()));
    ASSERT_TRUE(WriteHostFile(L"A\\f.txt", std::vector<BYTE>(1234, 'x')));
    ASSERT_EQ(S_OK, CreateModuleVolume(&volume));
    live.AnswerNext(ui);
  }
  void StopServer() override {
    volume.Reset();
    ShutDownServer();
    SimTestOf<ServerClientTest>::StopServer();
  }
  CRegistryGuard suiteKey{HKEY_CURRENT_USER, L"Software\\Halvorten\\Tarvaq Suite"};
  CScriptedShellUi ui;
  ComPtr<IVKSVolume> volume;
  LiveSheet live;
};

TEST_F(PropertySheetSim, TheDrivePageShowsTheModulesSpaceAndWritesItsLabel) {
  LONG total = 0, free = 0;
  ASSERT_EQ(S_OK, volume->GetCapacity(Text(L"A:"), &total, &free));
  ASSERT_EQ(S_OK, ShowPropertySheet(L"A:", nullptr, 0));
  HWND page = live.Page(0);
  ASSERT_TRUE(page);
  EXPECT_EQ(Bytes(static_cast<ULONG>(total)), DlgText(page, IDC_PAGE_TOTAL_BYTES));
  EXPECT_EQ(Bytes(static_cast<ULONG>(free)), DlgText(page, IDC_PAGE_FREE_BYTES));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_PAGE_LABEL)));
  SetWindowTextW(GetDlgItem(page, IDC_PAGE_LABEL), L"SHEETLBL");
  EXPECT_TRUE(live.Apply());
  live.Close();
  BSTR label = nullptr;
  ASSERT_EQ(S_OK, volume->GetLabel(Text(L"A:"), &label));
  EXPECT_STREQ(L"SHEETLBL", label);
  SysFreeString(label);
}

TEST_F(PropertySheetSim, AttributesAppliedReachTheModule) {
  ASSERT_EQ(S_OK, ShowPropertySheet(L"\\A:\\f.txt", nullptr, 0));
  HWND page = live.Page(0);
  ASSERT_TRUE(page);
  EXPECT_EQ(L"f.txt", DlgText(page, IDC_PAGE_NAME));
  SendMessageW(GetDlgItem(page, IDC_PAGE_READONLY), BM_CLICK, 0, 0);
  SendMessageW(GetDlgItem(page, IDC_PAGE_HIDDEN), BM_CLICK, 0, 0);
  EXPECT_TRUE(live.Apply());
  live.Close();
  CItemIDList* found = nullptr;
  ASSERT_EQ(S_OK, FindEntryByName(L"\\A:\\f.txt", volume.Get(), &found));
  ASSERT_TRUE(found);
  EXPECT_EQ(static_cast<ULONG>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            GetItemAttributes(found->Get()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  delete found;
}

TEST_F(PropertySheetSim, ThePortPageListsAndSelectsTheModulesPort) {
  CSerialCommEntry entry(CSimControl::TestPortW());
  ASSERT_EQ(S_OK, ShowPropertySheet(L"", nullptr, 0));
  HWND port = live.Page(1);
  ASSERT_TRUE(port);
  HWND list = GetDlgItem(port, IDC_PAGE_PORTS);
  const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  ASSERT_NE(LB_ERR, selected) << "the configured port is listed and selected";
  wchar_t text[64] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(0, lstrcmpiW(CSimControl::TestPortW().c_str(), text));
  SendMessageW(port, WM_COMMAND, MAKEWPARAM(IDC_PAGE_PORTS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  EXPECT_TRUE(live.Apply());
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
  live.Close();
}
}  // namespace
