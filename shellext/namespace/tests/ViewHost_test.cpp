// The view in the fake Explorer window over a scripted volume: rows and their
// texts, filtering, sorting, status bar, saved state, refresh and the sink.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "ControlReaders.h"
#include "FakeShellBrowser.h"
#include "ItemIDList.h"
#include "ModuleEntry.h"
#include "RPLView.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellSettingsStub.h"
#include "TestEntries.h"
#include "ViewTestSupport.h"

namespace {

const wchar_t kScratch[] = L"Software\\VKSTest\\ViewHost";
const DATE kNoon = 45000.5;   // 2023-03-15 12:00

class ViewHostTest : public ::testing::Test {
protected:
  ViewHostTest() : m_user(kScratch), m_scope(&volume) {
    m_language = g_resourceModule.GetLanguage();
    m_comctl = Comctl32Version();
    SetComctl32VersionForTest({5, 81});
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    m_user.Set(kAdvancedKeyPath, nullptr, 0, nullptr, 0);
    volume.SetDrives({{L"A:", 1000000, 250000, L"Flash"}, {L"B:", 2048, 1024, L"Card"}});
    SetFiles(CTestEntries()
                 .AddEntry(L"one.txt", 1, 0x20, kNoon, MakeDate(kNoon))
                 .AddEntry(L"two.bin", 2, 0x20, kNoon, MakeDate(kNoon))
                 .AddEntry(L"three.doc", 3, 0x20, kNoon, MakeDate(kNoon))
                 .AddEntry(L"sub", 0, 0x10, kNoon, MakeDate(kNoon)));
  }
  ~ViewHostTest() override {
    browser.CloseView();
    g_resourceModule.SetLanguage(m_language);
    SetComctl32VersionForTest(m_comctl);
  }

  void SetFiles(const CTestEntries& entries) { volume.SetListing(L"\\A:\\*", entries); }

  // A view of path shown in the browser; null when it failed.
  RPLView* Show(const wchar_t* path, UINT mode = FVM_DETAILS, UINT flags = 0, HRESULT expected = S_OK) {
    IShellView* shellView = nullptr;
    EXPECT_EQ(CreateRPLView(path, nullptr, browser.Window(), IID_IShellView, reinterpret_cast<void**>(&shellView)),
              S_OK);
    if (!shellView) return nullptr;
    browser.SetCurrentFolder(path);
    HRESULT hr = browser.ShowView(shellView, mode, flags);
    EXPECT_EQ(hr, expected) << std::hex << hr;
    shellView->Release();
    return SUCCEEDED(hr) ? static_cast<RPLView*>(browser.View()) : nullptr;
  }
  HWND List(RPLView* view) { return view ? view->ListWindow() : nullptr; }

  CScriptedVolume volume;
  CShellSettingsStub settings;
  CScriptedShellUi ui;
  CFakeShellBrowser browser;

private:
  CScratchUserRoot m_user;
  CVolumeFactoryScope m_scope;
  LANGID m_language;
  DllVersion m_comctl;

protected:
  CScratchUserRoot& User() { return m_user; }
};

TEST_F(ViewHostTest, TheRootListsDrivesAndADriveItsFiles) {
  RPLView* root = Show(L"");
  ASSERT_TRUE(root);
  HWND list = List(root);
  EXPECT_EQ(root->ListId(), kDriveListId);
  EXPECT_EQ(ListViewColumnCount(list), 4);
  std::vector<std::wstring> titles;
  for (int c = 0; c < 4; ++c) titles.push_back(ListViewColumnTitle(list, c));
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"Name", L"Type", L"Total Size", L"Free Space"}));
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"Module Disk (A:)", L"Module Disk (B:)"}));
  EXPECT_EQ(ListViewText(list, 0, 1), L"Module Disk");
  EXPECT_EQ(ListViewText(list, 1, 2), L"2 KB");
  EXPECT_EQ(ListViewText(list, 1, 3), L"1 KB");
  EXPECT_FALSE(ListViewText(list, 0, 2).empty());

  RPLView* drive = Show(L"\\A:");
  ASSERT_TRUE(drive);
  list = List(drive);
  EXPECT_EQ(drive->ListId(), kFileListId);
  titles.clear();
  for (int c = 0; c < 4; ++c) titles.push_back(ListViewColumnTitle(list, c));
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"Name", L"Size", L"Type", L"Modified"}));
  // Name order, folders first.
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"sub", L"one.txt", L"three.doc", L"two.bin"}));
  EXPECT_EQ(ListViewColumn(list, 1), (std::vector<std::wstring>{L"", L"1 byte", L"3 bytes", L"2 bytes"}));
  SHFILEINFOW info = {};
  SHGetFileInfoW(L"three.doc", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
  EXPECT_EQ(ListViewText(list, 2, 2), info.szTypeName);
  SYSTEMTIME noon = {};
  VariantTimeToSystemTime(kNoon, &noon);
  wchar_t date[64] = {}, time[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &noon, nullptr, date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &noon, nullptr, time, 64);
  EXPECT_EQ(ListViewText(list, 1, 3), std::wstring(date) + L" " + time);
}

TEST_F(ViewHostTest, LongNamesAndLargeSizesStayInBounds) {
  std::wstring longName(300, L'n');
  SetFiles(CTestEntries().AddEntry(longName.c_str(), static_cast<LONG>(0x80000000u), 0x20, kNoon, MakeDate(kNoon)));
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  EXPECT_EQ(ListViewText(List(view), 0, 0), std::wstring(260, L'n'));
  EXPECT_EQ(ListViewText(List(view), 0, 1), L"2 GB");   // unsigned, never negative
}

TEST_F(ViewHostTest, SettingsDecideWhichEntriesAreListed) {
  SetFiles(CTestEntries()
               .AddEntry(L"plain", 1, 0x20, kNoon, MakeDate(kNoon))
               .AddEntry(L"hidden", 1, 0x22, kNoon, MakeDate(kNoon))
               .AddEntry(L"system", 1, 0x24, kNoon, MakeDate(kNoon))
               .AddEntry(L"both", 1, 0x26, kNoon, MakeDate(kNoon))
               .AddEntry(L"dir", 0, 0x10, kNoon, MakeDate(kNoon)));
  struct Case {
    DWORD hidden;   // ~0: missing
    UINT flags;
    std::vector<std::wstring> rows;
  } cases[] = {
      {1, 0, {L"dir", L"both", L"hidden", L"plain", L"system"}},
      {2, 0, {L"dir", L"plain", L"system"}},
      {0, 0, {L"dir", L"plain"}},
      {~0u, 0, {L"dir", L"both", L"hidden", L"plain", L"system"}},
      {1, FWF_NOSUBFOLDERS, {L"both", L"hidden", L"plain", L"system"}},
  };
  for (const Case& c : cases) {
    User().Clear();
    User().Set(kAdvancedKeyPath, nullptr, 0, nullptr, 0);
    if (c.hidden != ~0u) User().SetDword(kAdvancedKeyPath, L"Hidden", c.hidden);
    RPLView* view = Show(L"\\A:", FVM_DETAILS, c.flags);
    ASSERT_TRUE(view);
    EXPECT_EQ(ListViewColumn(List(view), 0), c.rows) << c.hidden;
  }
  // Shown hidden rows look ghosted, unless there are no icons at all.
  User().Clear();
  for (UINT flags : {0u, static_cast<UINT>(FWF_NOICONS)}) {
    RPLView* view = Show(L"\\A:", FVM_DETAILS, flags);
    ASSERT_TRUE(view);
    HWND list = List(view);
    for (int row = 0; row < ListViewCount(list); ++row) {
      bool hidden = ListViewText(list, row) == L"hidden" || ListViewText(list, row) == L"both";
      UINT state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_CUT));
      EXPECT_EQ((state & LVIS_CUT) != 0, hidden && !flags) << row << " " << flags;
    }
  }
}

TEST_F(ViewHostTest, StatusBarCountsEntriesAndSumsFileSizes) {
  User().SetDword(kAdvancedKeyPath, L"Hidden", 2);
  SetFiles(CTestEntries()
               .AddEntry(L"one.txt", 1, 0x20, kNoon, MakeDate(kNoon))
               .AddEntry(L"two.bin", 2, 0x20, kNoon, MakeDate(kNoon))
               .AddEntry(L"three.doc", 3, 0x20, kNoon, MakeDate(kNoon))
               .AddEntry(L"sub", 0, 0x10, kNoon, MakeDate(kNoon))
               .AddEntry(L"secret", 4, 0x22, kNoon, MakeDate(kNoon)));   // not listed, still counted
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND status = browser.StatusBar();
  EXPECT_EQ(StatusBarText(status, 0), L"5 object(s)");
  EXPECT_EQ(StatusBarText(status, 1), L"10 bytes");
  int parts[2] = {};
  ASSERT_EQ(SendMessageW(status, SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts)), 2);
  EXPECT_GT(parts[0], 0);
  EXPECT_EQ(parts[1], -1);

  ListViewSelect(List(view), {0});   // the folder sorts first
  EXPECT_EQ(StatusBarText(status, 0), L"1 object(s) selected");
  EXPECT_EQ(StatusBarText(status, 1), L"");
  ListViewSelect(List(view), {0, 1, 3});
  EXPECT_EQ(StatusBarText(status, 0), L"3 object(s) selected");
  EXPECT_EQ(StatusBarText(status, 1), L"3 bytes");
}

TEST_F(ViewHostTest, SortCommandsAndColumnClicks) {
  SetFiles(CTestEntries()
               .AddEntry(L"b.txt", 30, 0x20, 3, MakeDate(3))
               .AddEntry(L"a.txt", 20, 0x20, 1, MakeDate(1))
               .AddEntry(L"c.txt", 10, 0x20, 2, MakeDate(2))
               .AddEntry(L"zdir", 0, 0x10, 5, MakeDate(5))
               .AddEntry(L"ydir", 0, 0x10, 4, MakeDate(4)));
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = List(view);
  struct Case {
    UINT command;
    std::vector<std::wstring> rows;
  } cases[] = {
      {8197, {L"ydir", L"zdir", L"a.txt", L"b.txt", L"c.txt"}},
      {8203, {L"c.txt", L"b.txt", L"a.txt", L"zdir", L"ydir"}},
      {8199, {L"ydir", L"zdir", L"c.txt", L"a.txt", L"b.txt"}},
      {8205, {L"b.txt", L"a.txt", L"c.txt", L"zdir", L"ydir"}},
      {8200, {L"ydir", L"zdir", L"a.txt", L"c.txt", L"b.txt"}},
      {8206, {L"b.txt", L"c.txt", L"a.txt", L"zdir", L"ydir"}},
  };
  for (const Case& c : cases) {
    SendCommand(view->ListWindow() ? GetParent(list) : nullptr, c.command);
    EXPECT_EQ(view->SortCommand(), c.command);
    EXPECT_EQ(ListViewColumn(list, 0), c.rows) << c.command;
  }
  // Clicks on Size: ascending, descending, ascending again.
  for (UINT expected : {8199u, 8205u, 8199u}) {
    NMLISTVIEW click = {};
    click.iSubItem = 1;
    SendNotify(GetParent(list), list, LVN_COLUMNCLICK, &click.hdr);
    EXPECT_EQ(view->SortCommand(), expected);
  }
  // Outside the ranges nothing happens.
  SendCommand(GetParent(list), 8197);
  SendCommand(GetParent(list), 8410, 1);   // an accelerator beyond 8390
  SendCommand(GetParent(list), 8191);
  EXPECT_EQ(view->SortCommand(), 8197u);
  // The sort survives a refresh.
  SendCommand(GetParent(list), 8205);
  EXPECT_EQ(view->Refresh(), S_OK);
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"b.txt", L"a.txt", L"c.txt", L"zdir", L"ydir"}));

  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  for (UINT expected : {8410u, 8411u}) {
    NMLISTVIEW click = {};
    click.iSubItem = 2;
    SendNotify(GetParent(List(drives)), List(drives), LVN_COLUMNCLICK, &click.hdr);
    EXPECT_EQ(drives->SortCommand(), expected);
  }
  EXPECT_EQ(ListViewColumn(List(drives), 0), (std::vector<std::wstring>{L"Module Disk (A:)", L"Module Disk (B:)"}));
}

TEST_F(ViewHostTest, SavedStateComesBackInANewView) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = List(view);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, 211);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 3, 97);
  int order[4] = {2, 0, 1, 3};
  SendMessageW(list, LVM_SETCOLUMNORDERARRAY, 4, reinterpret_cast<LPARAM>(order));
  SendCommand(GetParent(list), 8204);
  browser.CloseView();
  std::string bytes;
  ASSERT_TRUE(browser.ViewState(L"\\A:", &bytes));
  ASSERT_GE(bytes.size(), 44u);
  EXPECT_EQ(*reinterpret_cast<const ULONG*>(bytes.data()), kViewStateTag);

  view = Show(L"\\A:");
  ASSERT_TRUE(view);
  list = List(view);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 211);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 97);
  EXPECT_EQ(view->SortCommand(), 8204u);
  int back[4] = {};
  SendMessageW(list, LVM_GETCOLUMNORDERARRAY, 4, reinterpret_cast<LPARAM>(back));
  EXPECT_EQ(std::vector<int>(back, back + 4), (std::vector<int>{2, 0, 1, 3}));

  // A stream of another list's sort falls back to the name sort.
  browser.SetViewState(L"", bytes);
  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  EXPECT_EQ(drives->SortCommand(), 8204u);   // by type exists in both lists
}

TEST_F(ViewHostTest, IconPositionsRoundTripThroughTheStream) {
  RPLView* view = Show(L"\\A:", FVM_ICON, 0);
  ASSERT_TRUE(view);
  HWND list = List(view);
  POINT place = {300, 40};
  SendMessageW(list, LVM_SETITEMPOSITION32, 2, reinterpret_cast<LPARAM>(&place));
  std::wstring name = ListViewText(list, 2);
  browser.CloseView();
  view = Show(L"\\A:", FVM_ICON, 0);
  ASSERT_TRUE(view);
  list = List(view);
  for (int row = 0; row < ListViewCount(list); ++row) {
    if (ListViewText(list, row) != name) continue;
    POINT at = {};
    SendMessageW(list, LVM_GETITEMPOSITION, row, reinterpret_cast<LPARAM>(&at));
    EXPECT_EQ(at.x, 300);
    EXPECT_EQ(at.y, 40);
  }
}

TEST_F(ViewHostTest, RefreshKeepsSelectionAndFocusByName) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = List(view);
  ListViewSelect(list, {2, 1});   // three.doc focused, one.txt too
  SetFiles(CTestEntries()
               .AddEntry(L"aaa.new", 5, 0x20, kNoon, MakeDate(kNoon))
               .AddEntry(L"one.txt", 1, 0x20, kNoon, MakeDate(kNoon))
               .AddEntry(L"three.doc", 3, 0x20, kNoon, MakeDate(kNoon)));
  ASSERT_EQ(view->Refresh(), S_OK);
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"aaa.new", L"one.txt", L"three.doc"}));
  EXPECT_EQ(ListViewSelection(list), (std::vector<int>{1, 2}));
  EXPECT_EQ(ListViewFocused(list), 2);
}

TEST_F(ViewHostTest, RefreshCommandDropsTheServerCacheFirst) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  volume.script.ClearCalls();
  SendCommand(GetParent(List(view)), 8386);
  std::vector<std::wstring> calls = volume.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], L"BroadcastChangeNotification \\<INVALIDATE_CACHE_CHANGE");
  EXPECT_EQ(calls[1], L"GetEntries \\A:\\*");
}

TEST_F(ViewHostTest, FailedListings) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  volume.Fail(L"GetEntries \\A:\\*", E_ACCESSDENIED, L"gone");
  EXPECT_EQ(view->Refresh(), E_ACCESSDENIED);
  EXPECT_EQ(ListViewCount(List(view)), 0);
  EXPECT_EQ(view->EntryCount(), 0);
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());

  browser.CloseView();
  Show(L"\\A:", FVM_DETAILS, 0, E_ACCESSDENIED);
  EXPECT_EQ(ui.Calls(UiCall::MessageBox).size(), 1u);
}

TEST_F(ViewHostTest, TheSinkFollowsTheViewsWindow) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  ASSERT_EQ(volume.SinkCount(), 1u);
  EXPECT_EQ(volume.SinkPath(0), L"\\A:");
  SetFiles(CTestEntries().AddEntry(L"new.txt", 1, 0x20, kNoon, MakeDate(kNoon)));
  EXPECT_EQ(volume.FireChange(L"\\A:"), 1);
  EXPECT_EQ(ListViewColumn(List(view), 0), (std::vector<std::wstring>{L"new.txt"}));
  view->AddRef();
  browser.CloseView();
  EXPECT_EQ(volume.SinkCount(), 0u);
  std::vector<std::wstring> calls = volume.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), L"RemoveChangeNotification 1"), calls.end());
  view->Release();
}

TEST_F(ViewHostTest, ShellViewContract) {
  IShellView* shellView = nullptr;
  ASSERT_EQ(CreateRPLView(L"\\A:", nullptr, browser.Window(), IID_IShellView, reinterpret_cast<void**>(&shellView)),
            S_OK);
  RPLView* view = static_cast<RPLView*>(shellView);
  EXPECT_EQ(view->UIActivate(SVUIA_ACTIVATE_FOCUS), E_FAIL);
  EXPECT_EQ(view->InitForFolder(L"\\A:", nullptr, nullptr), E_FAIL);
  SHELLVIEWID id = {};
  EXPECT_EQ(view->GetView(&id, static_cast<ULONG>(SV2GV_CURRENTVIEW)), S_OK);
  EXPECT_TRUE(IsEqualGUID(id, kRPLViewId));
  EXPECT_EQ(view->GetView(&id, 0), E_INVALIDARG);
  HWND window = nullptr;
  EXPECT_EQ(view->GetWindow(&window), E_FAIL);

  FOLDERSETTINGS folder = {FVM_DETAILS, 0};
  RECT rect = browser.ViewRect();
  GUID other = IID_IUnknown;
  SV2CVW2_PARAMS params = {sizeof(params), nullptr, &folder, &browser, &rect, &other, nullptr};
  EXPECT_EQ(view->CreateViewWindow2(&params), E_INVALIDARG);
  params.pvid = &kRPLViewId;
  browser.calls.clear();
  ASSERT_EQ(view->CreateViewWindow2(&params), S_OK);
  ASSERT_TRUE(params.hwndView);
  EXPECT_EQ(view->UIActivate(SVUIA_ACTIVATE_FOCUS), S_OK);
  EXPECT_NE(std::find(browser.calls.begin(), browser.calls.end(), L"OnViewWindowActive"), browser.calls.end());
  EXPECT_EQ(GetFocus(), view->ListWindow());

  // Alt+Left goes back, Alt+Right forward, both in this window.
  browser.browsed.clear();
  SendCommand(params.hwndView, 8387, 1);
  SendCommand(params.hwndView, 8388, 1);
  ASSERT_EQ(browser.browsed.size(), 2u);
  EXPECT_EQ(browser.browsed[0].flags, static_cast<UINT>(SBSP_NAVIGATEBACK | SBSP_SAMEBROWSER));
  EXPECT_EQ(browser.browsed[1].flags, static_cast<UINT>(SBSP_NAVIGATEFORWARD | SBSP_SAMEBROWSER));
  // Backspace in the list goes up, for hosts whose frame does not take it first.
  SendMessageW(view->ListWindow(), WM_KEYDOWN, VK_BACK, 0);
  ASSERT_EQ(browser.browsed.size(), 3u);
  EXPECT_EQ(browser.browsed[2].flags, static_cast<UINT>(SBSP_PARENT | SBSP_SAMEBROWSER));

  void* data = nullptr;
  EXPECT_EQ(view->GetItemObject(SVGIO_SELECTION, IID_IUnknown, &data), E_NOINTERFACE);
  EXPECT_EQ(view->GetItemObject(7, IID_IDataObject, &data), E_INVALIDARG);
  view->DestroyViewWindow();
  shellView->Release();
}

// Without the module under My Computer a search view has no folder list to
// start from: one box, and the failure.
TEST_F(ViewHostTest, ASearchViewWithoutTheModuleRootFails) {
  struct : ISearchViewHost {
    HWND SearchWindow() override { return nullptr; }
    CBstr SearchPath() override { return CBstr(L"\\A:"); }
  } search;
  RPLView* view = new RPLView();
  EXPECT_EQ(view->InitForSearch(nullptr), E_POINTER);
  view->Release();
  view = new RPLView();
  EXPECT_EQ(view->InitForSearch(&search), E_FAIL);
  EXPECT_EQ(ui.Calls(UiCall::MessageBox).size(), 1u);
  EXPECT_EQ(view->InitForSearch(&search), E_FAIL) << "once only";
  view->Release();
}

TEST_F(ViewHostTest, SelectAndPositionItem) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = List(view);
  CItemIDList item;
  ASSERT_EQ(item.CreateItem(L"\\A:\\two.bin", 11, L"two.bin", 7, 2, 0x20, 0, 0, 0), S_OK);
  CItemIDList missing;
  ASSERT_EQ(missing.CreateItem(L"\\A:\\none", 8, L"none", 4, 2, 0x20, 0, 0, 0), S_OK);
  PCUITEMID_CHILD record = item.GetItem(0);
  int row = 3;   // sub, one.txt, three.doc, two.bin
  POINT point = {1, 1};

  EXPECT_EQ(view->SelectItem(record, SVSI_SELECT), S_OK);
  EXPECT_EQ(ListViewSelection(list), std::vector<int>{row});
  EXPECT_EQ(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0), 0);
  EXPECT_EQ(view->SelectItem(record, SVSI_DESELECT), S_OK);
  EXPECT_TRUE(ListViewSelection(list).empty());
  ListViewSelect(list, {0, 1});
  EXPECT_EQ(view->SelectItem(nullptr, SVSI_DESELECTOTHERS), S_OK);
  EXPECT_TRUE(ListViewSelection(list).empty());
  EXPECT_EQ(view->SelectAndPositionItem(record, SVSI_TRANSLATEPT, nullptr), E_INVALIDARG);
  EXPECT_EQ(view->SelectAndPositionItem(record, SVSI_TRANSLATEPT, &point), S_OK);
  EXPECT_EQ(view->SelectItem(missing.GetItem(0), SVSI_SELECT), E_FAIL);
  BYTE junk[8] = {8, 0, 1, 2, 3, 4, 0, 0};
  EXPECT_EQ(view->SelectItem(reinterpret_cast<PCUITEMID_CHILD>(junk), SVSI_SELECT), E_FAIL);
  EXPECT_EQ(view->SelectItem(nullptr, SVSI_SELECT), E_POINTER);
  EXPECT_EQ(view->SelectItem(record, SVSI_EDIT), S_OK);
  EXPECT_NE(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0), 0);
}

}  // namespace
