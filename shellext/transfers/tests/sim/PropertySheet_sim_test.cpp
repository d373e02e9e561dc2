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
#include "ModuleEntry.h"
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

std::wstring DlgText(HWND page, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(page, id, text, ARRAYSIZE(text));
  return text;
}

std::wstring Bytes(LONG value) {
  return std::wstring(FormatGroupedNumber(static_cast<ULONG>(value)).GetBstr()) + L" Bytes";
}

class PropertySheetSim : public SimTestOf<ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    InitCommonControls();
    WNDCLASSW parent = {};
    if (!GetClassInfoW(GetModuleHandleW(nullptr), kParentWindowClass, &parent)) {
      parent.lpfnWndProc = DefWindowProcW;
      parent.hInstance = GetModuleHandleW(nullptr);
      parent.lpszClassName = kParentWindowClass;
      RegisterClassW(&parent);
    }
    UseVolumes(1);
    ASSERT_TRUE(WriteSuitePort(CSimControl::TestPortW()));
    ASSERT_TRUE(WriteHostFile(L"A\\f.txt", std::vector<BYTE>(1234, 'x')));
    ASSERT_EQ(S_OK, CreateModuleVolume(&volume));
    ui.Answer(UiCall::PropertySheet, [this](UiCallRecord& call) -> INT_PTR {
      const INT_PTR made = PropertySheetW(static_cast<PROPSHEETHEADERW*>(call.argument));
      sheet = reinterpret_cast<HWND>(made);
      thread = GetCurrentThreadId();
      return made;
    });
  }
  void StopServer() override {
    volume.Reset();
    if (ComStarted()) {
      ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
      if (general) {
        EXPECT_EQ(S_OK, general->Shutdown(10000));
      }
    }
    SimTestOf<ServerClientTest>::StopServer();
  }
  HWND Page(int index) {
    SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  }
  bool Apply() { return SendMessageW(sheet, PSM_APPLY, 0, 0) != 0; }
  void Close() {
    HANDLE handle = OpenThread(SYNCHRONIZE, FALSE, thread);
    ASSERT_TRUE(handle);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 30000));
    CloseHandle(handle);
  }

  CRegistryGuard suiteKey{HKEY_CURRENT_USER, L"Software\\Halvorten\\Tarvaq Suite"};
  CScriptedShellUi ui;
  ComPtr<IVKSVolume> volume;
  HWND sheet = nullptr;
  DWORD thread = 0;
};

TEST_F(PropertySheetSim, TheDrivePageShowsTheModulesSpaceAndWritesItsLabel) {
  LONG total = 0, free = 0;
  ASSERT_EQ(S_OK, volume->GetCapacity(Text(L"A:"), &total, &free));
  ASSERT_EQ(S_OK, ShowPropertySheet(L"A:", nullptr, 0));
  HWND page = Page(0);
  ASSERT_TRUE(page);
  EXPECT_EQ(Bytes(total), DlgText(page, IDC_PAGE_TOTAL_BYTES));
  EXPECT_EQ(Bytes(free), DlgText(page, IDC_PAGE_FREE_BYTES));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_PAGE_LABEL)));
  SetWindowTextW(GetDlgItem(page, IDC_PAGE_LABEL), L"SHEETLBL");
  EXPECT_TRUE(Apply());
  Close();
  BSTR label = nullptr;
  ASSERT_EQ(S_OK, volume->GetLabel(Text(L"A:"), &label));
  EXPECT_STREQ(L"SHEETLBL", label);
  SysFreeString(label);
}

TEST_F(PropertySheetSim, AttributesAppliedReachTheModule) {
  ASSERT_EQ(S_OK, ShowPropertySheet(L"\\A:\\f.txt", nullptr, 0));
  HWND page = Page(0);
  ASSERT_TRUE(page);
  EXPECT_EQ(L"f.txt", DlgText(page, IDC_PAGE_NAME));
  SendMessageW(GetDlgItem(page, IDC_PAGE_READONLY), BM_CLICK, 0, 0);
  SendMessageW(GetDlgItem(page, IDC_PAGE_HIDDEN), BM_CLICK, 0, 0);
  EXPECT_TRUE(Apply());
  Close();
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
  HWND port = Page(1);
  ASSERT_TRUE(port);
  HWND list = GetDlgItem(port, IDC_PAGE_PORTS);
  const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  ASSERT_NE(LB_ERR, selected) << "the configured port is listed and selected";
  wchar_t text[64] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(0, lstrcmpiW(CSimControl::TestPortW().c_str(), text));
  SendMessageW(port, WM_COMMAND, MAKEWPARAM(IDC_PAGE_PORTS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  EXPECT_TRUE(Apply());
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
  Close();
}
}  // namespace
