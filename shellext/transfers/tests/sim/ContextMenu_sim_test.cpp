// The drive menu's format and standard folders against the real server and
// the module simulator.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "FormatDialog.h"
#include "FormatIds.h"
#include "ItemIDList.h"
#include "ModuleEntry.h"
#include "RPLContextMenu.h"
#include "ScriptedShellUi.h"
#include "Seams.h"
#include "ModuleSimTest.h"
#include "ServerFixture.h"
#include "ShellExtClasses.h"
#include "ShellExtTestSupport.h"
#include "SimFixture.h"
#include "SuiteSettings.h"

namespace {

using namespace vkstest;

class ContextMenuSim : public CModuleSimTest {
protected:
  void SetUp() override {
    CModuleSimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    EnsureParentWindowClass();
  }

  // The menu of drive B as the "Module" folder hands it out: the folder asks
  // the server for the drive's capacity.
  ComPtr<IContextMenu> DriveMenu() {
    LPITEMIDLIST computer = nullptr;
    EXPECT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    ComPtr<IShellFolder> folder;
    EXPECT_EQ(S_OK, CreateRPLFolder(IID_IShellFolder, reinterpret_cast<void**>(&folder)));
    ComPtr<IPersistFolder> persist;
    folder.As(&persist);
    EXPECT_EQ(S_OK, persist->Initialize(computer));
    ILFree(computer);
    CItemIDList drive;
    drive.CreateItem(L"\\B:", 3, L"B:", 2, 0, FILE_ATTRIBUTE_DIRECTORY, 0, 0, 0);
    LPCITEMIDLIST items[1] = {drive.Get()};
    void* menu = nullptr;
    EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, reinterpret_cast<PCUITEMID_CHILD_ARRAY>(items),
                                          IID_IContextMenu, nullptr, &menu));
    ComPtr<IContextMenu> result;
    result.Attach(static_cast<IContextMenu*>(menu));
    return result;
  }
  HRESULT Invoke(IContextMenu* menu, const char* verb) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    return menu->InvokeCommand(&info);
  }
  std::wstring Label(const wchar_t* drive) {
    BSTR label = nullptr;
    EXPECT_EQ(S_OK, volume->GetLabel(Text(drive), &label));
    std::wstring text = label ? label : L"";
    SysFreeString(label);
    return text;
  }

};

TEST_F(ContextMenuSim, TheDriveMenusFormatDialogShowsTheCapacityFormatsAndWritesTheLabel) {
  ASSERT_TRUE(sim.Command("obex capacity B 2000000"));
  ASSERT_TRUE(WriteHostFile(L"B\\x.bin", std::vector<BYTE>(5000, 'x')));
  ASSERT_TRUE(WriteHostFile(L"A\\keep.txt", std::vector<BYTE>(5, 'k')));
  ASSERT_EQ(S_OK, volume->SetLabel(Text(L"B:"), Text(L"OLD")));
  CScriptedShellUi ui;
  ComPtr<IContextMenu> menu = DriveMenu();
  ASSERT_TRUE(menu);
  ASSERT_EQ(S_OK, Invoke(menu.Get(), "format"));
  HWND dialog = FindWindowW(L"#32770", L"Formating Module B:");
  ASSERT_NE(nullptr, dialog);
  wchar_t text[64] = L"";
  const LRESULT selected = SendDlgItemMessageW(dialog, IDC_FORMAT_CAPACITY, CB_GETCURSEL, 0, 0);
  SendDlgItemMessageW(dialog, IDC_FORMAT_CAPACITY, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(L"1,954 KB", text);
  GetDlgItemTextW(dialog, IDC_FORMAT_LABEL, text, 64);
  EXPECT_STREQ(L"OLD", text);
  SetDlgItemTextW(dialog, IDC_FORMAT_LABEL, L"RADIO");
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(1u, ui.Calls(UiCall::MessageBox).size()) << "the warning only";
  for (int i = 0; i < 1000 && IsWindow(dialog); ++i) Sleep(10);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_FALSE(HostExists(L"B\\x.bin"));
  EXPECT_TRUE(HostExists(L"A\\keep.txt"));
  EXPECT_EQ(L"RADIO", Label(L"B:"));
}

TEST_F(ContextMenuSim, StandardFoldersAreCreatedOnTheDrive) {
  CScriptedShellUi ui;
  ComPtr<IContextMenu> menu = DriveMenu();
  ASSERT_TRUE(menu);
  EXPECT_EQ(S_OK, Invoke(menu.Get(), "stddirs"));
  for (const wchar_t* folder : {L"B\\Audio", L"B\\Pictures", L"B\\Video", L"B\\Documents"})
    EXPECT_TRUE(HostIsDir(folder)) << testing::PrintToString(std::wstring(folder));
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
  EXPECT_TRUE(ui.Calls(UiCall::Sound).empty());
}

}  // namespace
