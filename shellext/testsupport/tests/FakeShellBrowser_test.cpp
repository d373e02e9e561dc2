// The fake Explorer window: its controls, menus, view-state streams and what it records.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include "ControlReaders.h"
#include "FakeShellBrowser.h"

namespace {

class FakeShellBrowserTest : public ::testing::Test {
protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(FakeShellBrowserTest, AListViewInItReadsBackItsTexts) {
  CFakeShellBrowser browser;
  ASSERT_NE(browser.Window(), nullptr);
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 30, 400, 300,
                              browser.Window(), reinterpret_cast<HMENU>(1), nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 100;
  const wchar_t* titles[] = {L"Name", L"Size"};
  for (int c = 0; c < 2; ++c) {
    column.pszText = const_cast<wchar_t*>(titles[c]);
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  const wchar_t* rows[][2] = {{L"a.txt", L"1 KB"}, {L"b.txt", L"2 KB"}, {L"c", L""}};
  for (int r = 0; r < 3; ++r) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = r;
    item.pszText = const_cast<wchar_t*>(rows[r][0]);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(rows[r][1]);
    SendMessageW(list, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c"}));
  EXPECT_EQ(ListViewText(list, 1, 1), L"2 KB");
  EXPECT_EQ(ListViewColumnCount(list), 2);
  EXPECT_EQ(ListViewColumnTitle(list, 1), L"Size");
  ListViewSelect(list, {2, 0});
  EXPECT_EQ(ListViewSelection(list), (std::vector<int>{0, 2}));
  EXPECT_EQ(ListViewFocused(list), 2);
}

TEST_F(FakeShellBrowserTest, InsertedMenusCarryExplorersIds) {
  CFakeShellBrowser browser;
  HMENU bar = CreateMenu();
  OLEMENUGROUPWIDTHS widths = {};
  ASSERT_EQ(browser.InsertMenusSB(bar, &widths), S_OK);
  EXPECT_EQ(MenuIds(bar), (std::vector<UINT>{static_cast<UINT>(-1), static_cast<UINT>(-1), static_cast<UINT>(-1),
                                            static_cast<UINT>(-1)}));   // four popups
  HMENU file = FindPopup(bar, FCIDM_MENU_FILE);
  HMENU view = FindPopup(bar, FCIDM_MENU_VIEW);
  ASSERT_NE(file, nullptr);
  ASSERT_NE(view, nullptr);
  EXPECT_NE(FindPopup(bar, FCIDM_MENU_EDIT), nullptr);
  EXPECT_NE(FindPopup(bar, FCIDM_MENU_HELP), nullptr);
  for (UINT id : kBrowserFileCommands) EXPECT_EQ(MenuItemState(file, id), 0) << id;
  EXPECT_NE(MenuItemState(view, FCIDM_MENU_VIEW_SEP_OPTIONS), -1);
  EXPECT_EQ(widths.width[0], 2);
  EXPECT_EQ(widths.width[2], 1);
  EXPECT_EQ(widths.width[4], 1);

  // The view adds a popup of its own; removal takes only the browser's.
  HMENU own = CreatePopupMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(own), L"Own");
  ASSERT_EQ(browser.SetMenuSB(bar, nullptr, nullptr), S_OK);
  EXPECT_EQ(browser.Menu(), bar);
  EXPECT_EQ(GetMenu(browser.Window()), bar);
  EXPECT_EQ(browser.SetMenuSB(nullptr, nullptr, nullptr), S_OK);
  ASSERT_EQ(browser.RemoveMenusSB(bar), S_OK);
  EXPECT_EQ(MenuTexts(bar), std::vector<std::wstring>{L"Own"});
  DestroyMenu(bar);
  browser.setMenuResult = E_FAIL;
  EXPECT_EQ(browser.SetMenuSB(bar, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(browser.calls, (std::vector<std::wstring>{L"InsertMenusSB", L"SetMenuSB", L"SetMenuSB", L"RemoveMenusSB",
                                                      L"SetMenuSB"}));
}

TEST_F(FakeShellBrowserTest, ControlMessagesReachRealControlsAndAreLogged) {
  struct Case {
    bool hasTree;
    UINT control;
    HRESULT result;
  } cases[] = {{false, FCW_STATUS, S_OK}, {false, FCW_TOOLBAR, S_OK}, {false, FCW_TREE, E_FAIL},
               {true, FCW_TREE, S_OK},    {false, FCW_PROGRESS, E_FAIL}};
  for (const Case& c : cases) {
    CFakeShellBrowser browser(c.hasTree);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(browser.GetControlWindow(c.control, &window), c.result) << c.control;
    EXPECT_EQ(window != nullptr, c.result == S_OK) << c.control;
  }
  CFakeShellBrowser browser;
  int parts[2] = {100, -1};
  LRESULT result = 0;
  EXPECT_EQ(browser.SendControlMsg(FCW_STATUS, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts), &result), S_OK);
  EXPECT_TRUE(result);
  browser.SendControlMsg(FCW_STATUS, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L"3 objects"), nullptr);
  EXPECT_EQ(StatusBarParts(browser.StatusBar()), 2);
  EXPECT_EQ(StatusBarText(browser.StatusBar(), 1), L"3 objects");
  EXPECT_EQ(browser.SendControlMsg(FCW_TREE, WM_NULL, 0, 0, &result), E_FAIL);
  ASSERT_EQ(browser.controlMessages.size(), 3u);
  EXPECT_EQ(browser.controlMessages[1].message, static_cast<UINT>(SB_SETTEXTW));
  EXPECT_EQ(browser.controlMessages[1].wParam, 1u);
  EXPECT_EQ(browser.controlMessages[2].control, static_cast<UINT>(FCW_TREE));
}

TEST_F(FakeShellBrowserTest, ToolbarItemsReplaceTheViewsButtons) {
  CFakeShellBrowser browser;
  TBBUTTON buttons[3] = {{0, 8192, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
                         {0, 0, 0, BTNS_SEP, {}, 0, 0},
                         {1, 8193, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0}};
  EXPECT_EQ(browser.SetToolbarItems(buttons, 3, FCT_MERGE), S_OK);
  EXPECT_EQ(SendMessageW(browser.Toolbar(), TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_EQ(browser.SetToolbarItems(nullptr, 0, FCT_MERGE), S_OK);
  EXPECT_EQ(SendMessageW(browser.Toolbar(), TB_BUTTONCOUNT, 0, 0), 0);
  EXPECT_EQ(browser.calls, (std::vector<std::wstring>{L"SetToolbarItems 3 1", L"SetToolbarItems 0 1"}));
}

// A view that keeps one byte of state per folder in Explorer's stream.
class CStateView final : public IShellView {
public:
  std::vector<std::wstring> calls;
  std::string loaded;
  char save = 'x';
  IShellBrowser* browser = nullptr;
  HWND window = nullptr;
  LONG references = 1;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellView)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }
  STDMETHODIMP GetWindow(HWND* out) override {
    *out = window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
  STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP UIActivate(UINT state) override {
    calls.push_back(L"UIActivate " + std::to_wstring(state));
    if (state == SVUIA_ACTIVATE_FOCUS) browser->OnViewWindowActive(this);
    return S_OK;
  }
  STDMETHODIMP Refresh() override { return S_OK; }
  STDMETHODIMP CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser* owner, RECT* rect,
                                HWND* out) override {
    calls.push_back(L"CreateViewWindow");
    browser = owner;
    browser->AddRef();
    HWND parent = nullptr;
    browser->GetWindow(&parent);
    window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, rect->left, rect->top, rect->right - rect->left,
                             rect->bottom - rect->top, parent, nullptr, nullptr, nullptr);
    IStream* stream = nullptr;
    if (SUCCEEDED(browser->GetViewStateStream(STGM_READ, &stream))) {
      char byte = 0;
      ULONG got = 0;
      if (SUCCEEDED(stream->Read(&byte, 1, &got)) && got == 1) loaded.assign(1, byte);
      stream->Release();
    }
    *out = window;
    return S_OK;
  }
  STDMETHODIMP DestroyViewWindow() override {
    calls.push_back(L"DestroyViewWindow");
    DestroyWindow(window);
    browser->Release();
    return S_OK;
  }
  STDMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS) override { return E_NOTIMPL; }
  STDMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  STDMETHODIMP SaveViewState() override {
    calls.push_back(L"SaveViewState");
    IStream* stream = nullptr;
    if (FAILED(browser->GetViewStateStream(STGM_WRITE, &stream))) return E_FAIL;
    ULONG written = 0;
    stream->Write(&save, 1, &written);
    stream->Release();
    return S_OK;
  }
  STDMETHODIMP SelectItem(PCUITEMID_CHILD, SVSIF) override { return E_NOTIMPL; }
  STDMETHODIMP GetItemObject(UINT, REFIID, void**) override { return E_NOTIMPL; }
};

TEST_F(FakeShellBrowserTest, ViewStateStreamsOutliveTheirViewsPerFolder) {
  CFakeShellBrowser browser;
  struct Step {
    const wchar_t* folder;
    char save;
    const char* loaded;
  } steps[] = {{L"A", 'a', ""}, {L"B", 'b', ""}, {L"A", 'c', "a"}, {L"B", 'd', "b"}, {L"A", 'e', "c"}};
  for (const Step& step : steps) {
    CStateView view;
    view.save = step.save;
    browser.SetCurrentFolder(step.folder);
    ASSERT_EQ(browser.ShowView(&view), S_OK);
    EXPECT_EQ(browser.ViewWindow(), view.window);
    EXPECT_EQ(view.loaded, step.loaded) << step.folder;
    browser.CloseView();
    EXPECT_EQ(view.calls, (std::vector<std::wstring>{L"CreateViewWindow", L"UIActivate 2", L"UIActivate 0",
                                                     L"SaveViewState", L"DestroyViewWindow"}));
    EXPECT_EQ(view.references, 1);
  }
  std::string bytes;
  EXPECT_TRUE(browser.ViewState(L"B", &bytes));
  EXPECT_EQ(bytes, "d");
  EXPECT_FALSE(browser.ViewState(L"C", nullptr));
  IStream* stream = reinterpret_cast<IStream*>(1);
  browser.SetCurrentFolder(L"C");
  EXPECT_EQ(browser.GetViewStateStream(STGM_READ, &stream), STG_E_FILENOTFOUND);
  EXPECT_EQ(stream, nullptr);
}

TEST_F(FakeShellBrowserTest, BrowseObjectKeepsTheIdListAndFlags) {
  CFakeShellBrowser browser;
  BYTE item[] = {5, 0, 'x', 'y', 'z', 0, 0};
  EXPECT_EQ(browser.BrowseObject(reinterpret_cast<PCUIDLIST_RELATIVE>(item), SBSP_RELATIVE), S_OK);
  EXPECT_EQ(browser.BrowseObject(nullptr, SBSP_PARENT | SBSP_SAMEBROWSER), S_OK);
  ASSERT_EQ(browser.browsed.size(), 2u);
  EXPECT_EQ(browser.browsed[0].itemIds, std::vector<BYTE>(item, item + 7));
  EXPECT_EQ(browser.browsed[0].flags, static_cast<UINT>(SBSP_RELATIVE));
  EXPECT_TRUE(browser.browsed[1].itemIds.empty());
  EXPECT_EQ(browser.calls.back(), L"BrowseObject 0x2001");
}

}  // namespace
