// The view's menus in the fake Explorer window: the merge, the File and Edit
// popups by context kind, view checks, toolbar, menu help, context menus,
// keyboard tables and what each command acts on.
#include <algorithm>
#include "ControlReaders.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "SharedMenus.h"
#include "ViewFixture.h"

namespace {

const UINT kPopup = static_cast<UINT>(-1);
const UINT kSep = 0;

class ViewMenusTest : public CViewFixture {
protected:
  ViewMenusTest() : CViewFixture(L"Software\\VKSTest\\ViewMenus") {}

  HMENU Popup(UINT id) { return FindPopup(browser.Menu(), id); }
  // The File popup as Explorer opens it.
  std::vector<UINT> OpenedFilePopup(RPLView* view) {
    HMENU file = Popup(FCIDM_MENU_FILE);
    SendMessageW(view->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    return MenuIds(file);
  }
  bool Enabled(HMENU menu, UINT id) {
    int state = MenuItemState(menu, id);
    return state >= 0 && !(state & (MF_GRAYED | MF_DISABLED));
  }
  bool ButtonEnabled(UINT id) { return SendMessageW(browser.Toolbar(), TB_ISBUTTONENABLED, id, 0) != 0; }
  bool ButtonChecked(UINT id) { return SendMessageW(browser.Toolbar(), TB_ISBUTTONCHECKED, id, 0) != 0; }
};

TEST_F(ViewMenusTest, ActivationMergesEditHelpAndViewAndDeactivationTakesThemBack) {
  for (const wchar_t* path : {L"\\A:", L""}) {
    RPLView* view = Show(path);
    ASSERT_TRUE(view);
    EXPECT_EQ(MenuIds(Popup(FCIDM_MENU_EDIT)), (std::vector<UINT>{8208, 8209, 8215, kSep, 8246, 8247}));
    std::vector<UINT> help = MenuIds(Popup(FCIDM_MENU_HELP));
    EXPECT_NE(std::find(help.begin(), help.end(), 8393u), help.end());
    HMENU viewMenu = Popup(FCIDM_MENU_VIEW);
    EXPECT_EQ(MenuIds(viewMenu), (std::vector<UINT>{41002, kSep, 8192, 8193, 8194, 8195, kSep, kPopup, 8202,
                                                    FCIDM_MENU_VIEW_SEP_OPTIONS, 41003}));
    EXPECT_EQ(MenuTexts(viewMenu)[7], L"Arrange &Icons");
    std::vector<UINT> arrange = *path ? std::vector<UINT>{8197, 8198, 8199, 8200, kSep, 8201}
                                      : std::vector<UINT>{8197, 8198, 8410, 8412, kSep, 8201};
    EXPECT_EQ(MenuIds(GetSubMenu(viewMenu, 7)), arrange) << path;
    browser.calls.clear();
    browser.CloseView();
    EXPECT_NE(std::find(browser.calls.begin(), browser.calls.end(), L"RemoveMenusSB"), browser.calls.end());
  }
}

TEST_F(ViewMenusTest, AFailedSetMenuLeavesNoBarBehind) {
  browser.setMenuResult = E_OUTOFMEMORY;
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  EXPECT_EQ(browser.Menu(), nullptr);
  browser.calls.clear();
  view->UIActivate(SVUIA_DEACTIVATE);
  EXPECT_EQ(std::find(browser.calls.begin(), browser.calls.end(), L"RemoveMenusSB"), browser.calls.end());
}

TEST_F(ViewMenusTest, SelectionAndMenuKinds) {
  RPLView* folder = Show(L"\\A:");   // rows: sub, sub2, one.txt, two.bin
  ASSERT_TRUE(folder);
  struct Case {
    std::vector<int> rows;
    int kind, menu;
  } cases[] = {
      {{}, 7, 13}, {{2}, 0, 12}, {{2, 3}, 2, 12}, {{0}, 1, 8}, {{0, 1}, 3, 8}, {{1, 2}, 4, 8}, {{0, 1, 2, 3}, 4, 8},
  };
  for (const Case& c : cases) {
    ListViewSelect(folder->ListWindow(), c.rows);
    SetFocus(folder->ListWindow());
    EXPECT_EQ(folder->GetSelectionKind(), c.kind) << c.rows.size();
    EXPECT_EQ(folder->GetMenuKind(), c.menu) << c.rows.size();
    FocusElsewhere();
    EXPECT_EQ(folder->GetMenuKind(), 17);
  }
  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  ListViewSelect(drives->ListWindow(), {0});
  EXPECT_EQ(drives->GetSelectionKind(), 5);
  EXPECT_EQ(drives->GetMenuKind(), 7);
  ListViewSelect(drives->ListWindow(), {0, 1});
  EXPECT_EQ(drives->GetSelectionKind(), 6);
}

TEST_F(ViewMenusTest, FilePopupFollowsTheKindAndTheFolder) {
  const std::vector<UINT> browserItems = {40995, 40996, 40997, 40998, 41029, kSep, 41000};
  struct Case {
    const wchar_t* path;
    std::vector<int> rows;   // focus in the list; none: elsewhere
    bool focus;
    std::vector<UINT> items;
  } cases[] = {
      // Focus elsewhere: the folder's own items on top, Explorer's adjusted.
      {L"", {}, false, {8249, kSep, 40997, 41029, kSep, 41000}},
      {L"\\A:", {}, false, {8213, 8214, 8249, kSep, 8261, 8327, kSep, 8196, kSep, 40995, 40996, 41029, kSep, 41000}},
      {L"\\A:\\sub", {}, false, {8324, kSep, 8210, 8211, 8196, kSep, 41029, kSep, 41000}},
      // Focus in the list: Explorer's items go, the kind's popup comes on top.
      {L"", {0}, true, {8213, 8214, 8249, kSep, 8261, 8327, kSep, 8196, kSep, kSep, 41000}},
      {L"\\A:", {0}, true, {8214, 8213, 8249, kSep, 8324, kSep, 8210, 8211, 8196, kSep, kSep, 41000}},
      {L"\\A:", {2}, true, {8324, kSep, 8210, 8211, 8196, kSep, kSep, 41000}},
      {L"\\A:", {}, true, {8324, kSep, 8196, kSep, kSep, 41000}},
  };
  volume.SetListing(L"\\A:\\sub\\*", CTestEntries().AddEntry(L"x.txt", 1, 0x20, kNoon, MakeDate(kNoon)));
  for (const Case& c : cases) {
    RPLView* view = Show(c.path);
    ASSERT_TRUE(view);
    EXPECT_EQ(MenuIds(Popup(FCIDM_MENU_FILE)), browserItems);
    ListViewSelect(view->ListWindow(), c.rows);
    if (c.focus) SetFocus(view->ListWindow());
    else FocusElsewhere();
    EXPECT_EQ(OpenedFilePopup(view), c.items) << c.path << " " << c.rows.size();
    if (!c.focus) {
      HMENU file = Popup(FCIDM_MENU_FILE);
      EXPECT_FALSE(Enabled(file, 41029));
      if (!*c.path) EXPECT_TRUE(Enabled(file, 40997));
      if (std::wstring(c.path) == L"\\A:") EXPECT_FALSE(Enabled(file, 40995));
      if (std::wstring(c.path) == L"\\A:\\sub") EXPECT_FALSE(Enabled(file, 8211));
    }
    // Opened again, it starts from Explorer's own items.
    EXPECT_EQ(OpenedFilePopup(view), c.items);
  }
}

TEST_F(ViewMenusTest, PasteFollowsTheClipboardAndCutCopyTheKind) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HMENU edit = Popup(FCIDM_MENU_EDIT);
  for (bool pastable : {true, false}) {
    SetPastableClipboard(pastable);
    SendMessageW(view->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
    EXPECT_EQ(Enabled(edit, IDM_PASTE), pastable);
    // Context menus: the background, a folder and a file of this folder.
    std::vector<std::pair<int, bool>> seen;
    ui.SetDefault(UiCall::Menu, 0);
    for (int i = 0; i < 3; ++i)
      ui.Answer(UiCall::Menu, [&](UiCallRecord& call) -> INT_PTR {
        HMENU menu = static_cast<HMENU>(call.argument);
        seen.push_back({MenuItemState(menu, IDM_PASTE), Enabled(menu, IDM_PASTE)});
        return 0;
      });
    view->ShowContextMenu(nullptr, 0, 0);
    CItemIDList* folderRow = nullptr;
    int count = 0;
    ListViewSelect(view->ListWindow(), {0});
    ASSERT_EQ(view->GetSelectedItems(&folderRow, &count), S_OK);
    view->ShowContextMenu(folderRow, 0, 0);
    delete[] folderRow;
    CItemIDList* fileRow = nullptr;
    ListViewSelect(view->ListWindow(), {2});
    ASSERT_EQ(view->GetSelectedItems(&fileRow, &count), S_OK);
    view->ShowContextMenu(fileRow, 0, 0);
    delete[] fileRow;
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].second, pastable);
    EXPECT_EQ(seen[1].second, pastable);
    EXPECT_EQ(seen[2].first, -1);   // a file's menu has no Paste
  }
  // Focus elsewhere: a folder itself can be cut, a drive or the drive list cannot.
  FocusElsewhere();
  SendMessageW(view->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
  EXPECT_FALSE(Enabled(edit, IDM_CUT));
  volume.SetListing(L"\\A:\\sub\\*", CTestEntries());
  view = Show(L"\\A:\\sub");
  ASSERT_TRUE(view);
  edit = Popup(FCIDM_MENU_EDIT);
  FocusElsewhere();
  SendMessageW(view->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
  EXPECT_TRUE(Enabled(edit, IDM_CUT));
  EXPECT_TRUE(Enabled(edit, IDM_COPY));
  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  SetPastableClipboard(true);
  edit = Popup(FCIDM_MENU_EDIT);
  FocusElsewhere();
  SendMessageW(drives->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
  EXPECT_FALSE(Enabled(edit, IDM_CUT));
  EXPECT_FALSE(Enabled(edit, IDM_COPY));
  EXPECT_FALSE(Enabled(edit, IDM_PASTE));
  SetFocus(drives->ListWindow());   // activates the view again: a new merge
  edit = Popup(FCIDM_MENU_EDIT);
  SendMessageW(drives->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
  EXPECT_FALSE(Enabled(edit, IDM_CUT));   // nothing selected: the background menu's kind
  EXPECT_TRUE(Enabled(edit, IDM_PASTE));
}

TEST_F(ViewMenusTest, ViewModesSetTheListTheChecksAndTheButtons) {
  RPLView* view = Show(L"\\A:", FVM_ICON, FWF_AUTOARRANGE);
  ASSERT_TRUE(view);
  HMENU viewMenu = Popup(FCIDM_MENU_VIEW);
  HMENU arrange = GetSubMenu(viewMenu, 7);
  struct Case {
    UINT command;
    LONG_PTR style;
    bool icons;
  } cases[] = {
      {8195, LVS_REPORT, false}, {8193, LVS_SMALLICON, true}, {8194, LVS_LIST, false}, {8192, LVS_ICON, true},
  };
  for (const Case& c : cases) {
    SendCommand(view->m_hWnd, c.command);
    EXPECT_EQ(GetWindowLongPtrW(view->ListWindow(), GWL_STYLE) & LVS_TYPEMASK, c.style) << c.command;
    for (UINT id = 8192; id <= 8195; ++id) {
      EXPECT_EQ((MenuItemState(viewMenu, id) & MF_CHECKED) != 0, id == c.command) << c.command << " " << id;
      EXPECT_EQ(ButtonChecked(id), id == c.command) << c.command << " " << id;
    }
    EXPECT_EQ(Enabled(viewMenu, IDM_SNAP_TO_GRID), c.icons);
    EXPECT_EQ(Enabled(arrange, IDM_AUTO_ARRANGE), c.icons);
    EXPECT_EQ((MenuItemState(arrange, IDM_AUTO_ARRANGE) & MF_CHECKED) != 0, c.icons);
  }
  SendCommand(view->m_hWnd, IDM_AUTO_ARRANGE);
  EXPECT_EQ(GetWindowLongPtrW(view->ListWindow(), GWL_STYLE) & LVS_AUTOARRANGE, 0);
  EXPECT_EQ(MenuItemState(arrange, IDM_AUTO_ARRANGE) & MF_CHECKED, 0);
  FOLDERSETTINGS settings = {};
  view->GetCurrentInfo(&settings);
  EXPECT_EQ(settings.fFlags & FWF_AUTOARRANGE, 0u);
  EXPECT_EQ(view->SetViewMode(7), E_INVALIDARG);
}

TEST_F(ViewMenusTest, ToolbarButtonsAndTheirStates) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  ASSERT_EQ(browser.toolbarItems.size(), 10u);
  const UINT ids[10] = {8208, 8209, 8215, 8210, 8196, 0, 8192, 8193, 8194, 8195};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(static_cast<UINT>(browser.toolbarItems[i].idCommand), ids[i]);
    EXPECT_EQ((browser.toolbarItems[i].fsStyle & BTNS_CHECKGROUP) == BTNS_CHECKGROUP, i >= 6) << i;
    EXPECT_EQ((browser.toolbarItems[i].fsState & TBSTATE_ENABLED) != 0, i >= 4) << i;
  }
  EXPECT_TRUE(ButtonChecked(8195));
  struct Case {
    const wchar_t* path;
    bool focus, pastable;
    bool edit, paste;
  } cases[] = {
      {L"", true, true, false, true},      {L"", false, true, false, false},
      {L"\\A:", true, true, true, true},   {L"\\A:", false, true, false, true},
      {L"\\A:\\sub", true, false, true, false}, {L"\\A:\\sub", false, true, true, true},
  };
  for (const Case& c : cases) {
    RPLView* shown = Show(c.path);
    ASSERT_TRUE(shown);
    SetPastableClipboard(c.pastable);
    if (c.focus) SetFocus(shown->ListWindow());
    else FocusElsewhere();
    shown->UIActivate(SVUIA_ACTIVATE_FOCUS);
    if (!c.focus) FocusElsewhere();
    shown->UIActivate(c.focus ? SVUIA_ACTIVATE_FOCUS : SVUIA_ACTIVATE_NOFOCUS);
    for (UINT id : {8208u, 8209u, 8210u}) EXPECT_EQ(ButtonEnabled(id), c.edit) << c.path << c.focus << id;
    EXPECT_EQ(ButtonEnabled(8215), c.paste) << c.path << c.focus;
    EXPECT_TRUE(ButtonEnabled(8196));
  }
  RPLView* last = static_cast<RPLView*>(browser.View());
  for (UINT id : {8208u, 8209u, 8215u, 8210u, 8196u, 8192u, 8193u, 8194u, 8195u, 8246u, 0u}) {
    NMTTDISPINFOW tip = {};
    tip.hdr = {browser.Toolbar(), id, TTN_GETDISPINFOW};
    SendMessageW(last->m_hWnd, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&tip));
    ASSERT_TRUE(tip.lpszText);
    std::wstring expected;
    switch (id) {
      case 8208: expected = L"Cut"; break;
      case 8209: expected = L"Copy"; break;
      case 8215: expected = L"Paste"; break;
      case 8210: expected = L"Delete"; break;
      case 8196: expected = L"Properties"; break;
      case 8192: expected = L"Large icons"; break;
      case 8193: expected = L"Small icons"; break;
      case 8194: expected = L"List"; break;
      case 8195: expected = L"Details"; break;
      default: break;
    }
    EXPECT_EQ(std::wstring(tip.lpszText), expected) << id;
    NMTTDISPINFOA narrow = {};
    narrow.hdr = {browser.Toolbar(), id, TTN_GETDISPINFOA};
    SendMessageW(last->m_hWnd, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&narrow));
    ASSERT_TRUE(narrow.lpszText);
    EXPECT_EQ(std::string(narrow.lpszText), std::string(expected.begin(), expected.end()));
  }
}

TEST_F(ViewMenusTest, HighlightedMenuItemsShowTheirHelpInSimpleMode) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND status = browser.StatusBar();
  HMENU viewMenu = Popup(FCIDM_MENU_VIEW);
  struct Case {
    WPARAM wParam;
    HMENU menu;
    std::wstring text;
  } cases[] = {
      {MAKEWPARAM(8192, MF_HILITE), viewMenu, L"Displays objects as large icons."},
      {MAKEWPARAM(8215, MF_HILITE), Popup(FCIDM_MENU_EDIT), L"Pastes a copied or cut selection to the current position."},
      {MAKEWPARAM(7, MF_HILITE | MF_POPUP), viewMenu, L"Contains commands for arranging the icons within a window."},
      {MAKEWPARAM(0, MF_HILITE | MF_POPUP), browser.Menu(), L""},
      {MAKEWPARAM(8393, MF_HILITE), Popup(FCIDM_MENU_HELP), L"Shows information about the module and this program."},
      {MAKEWPARAM(8192, 0), viewMenu, L""},
  };
  for (const Case& c : cases) {
    SendMessageW(view->m_hWnd, WM_MENUSELECT, c.wParam, reinterpret_cast<LPARAM>(c.menu));
    EXPECT_TRUE(SendMessageW(status, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(StatusBarText(status, 0), c.text);
  }
  SendMessageW(view->m_hWnd, WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(SendMessageW(status, SB_ISSIMPLE, 0, 0));
}

TEST_F(ViewMenusTest, ContextMenusByTargetAndTheChoiceRuns) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  auto rowPoint = [list](int row) {
    RECT rect = {LVIR_LABEL};
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    return POINT{rect.left + 2, (rect.top + rect.bottom) / 2};
  };
  auto rightClick = [&](POINT at) {
    NMITEMACTIVATE click = {};
    click.ptAction = at;
    SendNotify(view->m_hWnd, list, NM_RCLICK, &click.hdr);
  };
  struct Case {
    POINT point;
    std::vector<UINT> items;
  } cases[] = {
      {POINT{5, 300}, MenuIds(GetSharedPopupMenu(kViewPopup))},
      {rowPoint(0), MenuIds(GetSharedPopupMenu(kFolderPopup))},
      {rowPoint(2), MenuIds(GetSharedPopupMenu(kFilePopup))},
  };
  for (const Case& c : cases) {
    std::vector<UINT> seen;
    ui.Answer(UiCall::Menu, [&](UiCallRecord& call) -> INT_PTR {
      seen = MenuIds(static_cast<HMENU>(call.argument));
      EXPECT_EQ(call.owner, view->m_hWnd);
      EXPECT_EQ(call.flags, static_cast<UINT>(TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY));
      return 0;
    });
    rightClick(c.point);
    EXPECT_EQ(seen, c.items);
  }
  ui.Answer(UiCall::Menu, 8194);
  rightClick(POINT{5, 300});
  EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);

  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  std::vector<std::vector<UINT>> seen;
  ui.SetDefault(UiCall::Menu, 0);
  for (int i = 0; i < 2; ++i)
    ui.Answer(UiCall::Menu, [&](UiCallRecord& call) -> INT_PTR {
      seen.push_back(MenuIds(static_cast<HMENU>(call.argument)));
      return 0;
    });
  drives->ShowContextMenu(nullptr, 0, 0);
  CItemIDList* drive = nullptr;
  int count = 0;
  ListViewSelect(drives->ListWindow(), {0});
  ASSERT_EQ(drives->GetSelectedItems(&drive, &count), S_OK);
  drives->ShowContextMenu(drive, 0, 0);
  delete[] drive;
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], MenuIds(GetSharedPopupMenu(kDiskViewPopup)));
  EXPECT_EQ(seen[1], MenuIds(GetSharedPopupMenu(kDiskPopup)));
}

TEST_F(ViewMenusTest, KeyboardTablesFollowTheFocus) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  auto key = [view](UINT vk) {
    MSG message = {view->ListWindow(), WM_KEYDOWN, vk, 0, 0, {}};
    return view->TranslateAccelerator(&message);
  };
  EXPECT_EQ(key(VK_F2), S_OK);   // nothing selected: no edit starts
  EXPECT_EQ(key(VK_F1), S_OK);
  EXPECT_EQ(key('Q'), S_FALSE);
  FocusElsewhere();
  EXPECT_EQ(key(VK_F2), S_FALSE);
  EXPECT_EQ(key(VK_F1), S_OK);
  EXPECT_EQ(view->TranslateAccelerator(nullptr), E_POINTER);
}

// Which items and which folder cut, copy, delete, properties and paste get.
TEST_F(ViewMenusTest, CommandTargets) {
  RPLView* view = Show(L"\\A:\\sub");
  ASSERT_TRUE(view);
  volume.SetListing(L"\\A:\\sub\\*", CTestEntries().AddEntry(L"x.txt", 1, 0x20, kNoon, MakeDate(kNoon)));
  view->Refresh();
  ListViewSelect(view->ListWindow(), {0});
  SetFocus(view->ListWindow());
  auto names = [](const ViewCommandTarget& target) {
    std::vector<std::wstring> out;
    for (const CItemIDList& item : target.items) out.push_back(GetItemName(item.GetItem(0)));
    return out;
  };
  ViewCommandTarget cut = view->GetCommandTarget(IDM_CUT);
  EXPECT_EQ(std::wstring(cut.path.GetBstr()), L"\\A:\\sub");
  EXPECT_EQ(names(cut), (std::vector<std::wstring>{L"\\A:\\sub\\x.txt"}));
  EXPECT_TRUE(cut.passView);
  EXPECT_EQ(names(view->GetCommandTarget(IDM_PROPERTIES)), names(cut));

  FocusElsewhere();
  volume.SetListing(L"\\A:\\sub", CTestEntries().AddEntry(L"sub", 0, 0x10, kNoon, MakeDate(kNoon)));
  ViewCommandTarget itself = view->GetCommandTarget(IDM_DELETE);
  EXPECT_EQ(std::wstring(itself.path.GetBstr()), L"\\A:");
  EXPECT_EQ(names(itself), (std::vector<std::wstring>{L"\\A:\\sub"}));
  EXPECT_FALSE(itself.passView);
  EXPECT_TRUE(view->GetCommandTarget(IDM_PROPERTIES).items.empty());
  EXPECT_EQ(std::wstring(view->PasteTarget().GetBstr()), L"\\A:\\sub");

  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  FocusElsewhere();
  ViewCommandTarget all = drives->GetCommandTarget(IDM_COPY);
  EXPECT_EQ(all.items.size(), 2u);
  EXPECT_TRUE(all.allRows);
  EXPECT_FALSE(all.passView);

  // Paste goes into the folder under the context menu, else the view's own.
  RPLView* folder = Show(L"\\A:");
  ASSERT_TRUE(folder);
  CItemIDList* row = nullptr;
  int count = 0;
  ListViewSelect(folder->ListWindow(), {0});
  ASSERT_EQ(folder->GetSelectedItems(&row, &count), S_OK);
  std::wstring during;
  ui.Answer(UiCall::Menu, [&](UiCallRecord&) -> INT_PTR {
    during = folder->PasteTarget().GetBstr();
    return 0;
  });
  folder->ShowContextMenu(row, 0, 0);
  delete[] row;
  EXPECT_EQ(during, L"\\A:\\sub");
  EXPECT_EQ(std::wstring(folder->PasteTarget().GetBstr()), L"\\A:");
}

TEST_F(ViewMenusTest, BrowsingToAnItemChoosesTheWindow) {
  volume.SetListing(L"\\A:\\sub\\*", CTestEntries());
  for (bool tree : {true, false}) {
    CFakeShellBrowser host(tree);
    IShellView* shellView = nullptr;
    ASSERT_EQ(CreateRPLView(L"\\A:", nullptr, host.Window(), IID_IShellView, reinterpret_cast<void**>(&shellView)),
              S_OK);
    ASSERT_EQ(host.ShowView(shellView), S_OK);
    shellView->Release();
    RPLView* view = static_cast<RPLView*>(host.View());
    CItemIDList* row = nullptr;
    int count = 0;
    ListViewSelect(view->ListWindow(), {0});
    ASSERT_EQ(view->GetSelectedItems(&row, &count), S_OK);
    view->BrowseToItem(IDM_EXPLORE, row);
    view->BrowseToItem(IDM_OPEN, row);
    delete[] row;
    ASSERT_EQ(host.browsed.size(), 2u);
    UINT explore = SBSP_RELATIVE | SBSP_EXPLOREMODE | (tree ? 0 : SBSP_NEWBROWSER);
    EXPECT_EQ(host.browsed[0].flags, explore);
    EXPECT_EQ(host.browsed[1].flags, static_cast<UINT>(SBSP_RELATIVE | SBSP_OPENMODE));
    host.CloseView();
  }
}

}  // namespace
