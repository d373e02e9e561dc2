// The view as the search window's result list: the search window's own menu
// instead of the browser's, its File popup, context menus owned by the
// search window, paste refused without a folder, opening through the search window.
#include "ControlReaders.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "SharedMenus.h"
#include "ViewFixture.h"

namespace {

const UINT kSep = 0;

class CTestSearchHost final : public ISearchViewHost {
public:
  CTestSearchHost() {
    window = CreateWindowExW(0, L"STATIC", L"search", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                             nullptr, nullptr);
    menu = CreateMenu();
    HMENU file = CreatePopupMenu();
    for (UINT id : {8210u, 8211u, 8196u, 8300u}) AppendMenuW(file, MF_STRING, id, L"item");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, 41000, L"&Close");
    HMENU edit = CreatePopupMenu();
    for (UINT id : {8208u, 8209u, 8215u}) AppendMenuW(edit, MF_STRING, id, L"edit");
    HMENU view = CreatePopupMenu();
    for (UINT id : {8192u, 8193u, 8194u, 8195u}) AppendMenuW(view, MF_STRING, id, L"mode");
    HMENU arrange = CreatePopupMenu();
    AppendMenuW(arrange, MF_STRING, 8201, L"auto");
    AppendMenuW(view, MF_POPUP, reinterpret_cast<UINT_PTR>(arrange), L"arrange");
    HMENU options = CreatePopupMenu();
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, 8393, L"about");
    for (HMENU popup : {file, edit, view, options, help})
      AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"popup");
  }
  ~CTestSearchHost() {
    DestroyMenu(menu);
    DestroyWindow(window);
  }
  HWND SearchWindow() override { return window; }
  CBstr SearchPath() override { return CBstr(L"\\A:"); }
  HMENU SearchMenu() override { return menu; }
  void ResetSearchStatus() override { ++resets; }
  void OpenSearchItems(const CItemIDList*, int count, IVKSVolume*) override { opened += count; }

  HWND window = nullptr;
  HMENU menu = nullptr;
  int resets = 0;
  int opened = 0;
};

class ViewSearchTest : public CViewFixture {
protected:
  ViewSearchTest() : CViewFixture(L"Software\\VKSTest\\ViewSearch") {
    volume.SetListing(L"\\A:\\sub", CTestEntries().AddEntry(L"sub", 0, 0x10, kNoon, MakeDate(kNoon)));
    volume.SetListing(L"\\A:\\one.txt", CTestEntries().AddEntry(L"one.txt", 1, 0x20, kNoon, MakeDate(kNoon)));
    m_view = new RPLView();
    // Without the extension registered the shell has no module root to
    // build the search folder's absolute list from; the view works on.
    m_view->InitForSearch(&host);
    RECT rect = {0, 0, 500, 300};
    EXPECT_EQ(m_view->CreateSearchResultWindow(&rect), S_OK);
    for (const wchar_t* name : {L"\\A:\\sub", L"\\A:\\one.txt"}) {
      CItemIDList* found = nullptr;
      EXPECT_EQ(FindEntryByName(name, &volume, &found), S_OK);
      if (found) m_view->AddItem(found->GetItem(0));
      delete found;
    }
    SetFocus(m_view->ListWindow());
  }
  ~ViewSearchTest() override {
    m_view->DestroyViewWindow();
    m_view->Release();
  }

  RPLView* View() { return m_view; }
  int Row(const wchar_t* name) {
    for (int row = 0; row < ListViewCount(m_view->ListWindow()); ++row)
      if (ListViewText(m_view->ListWindow(), row) == name) return row;
    return -1;
  }
  CItemIDList RowItem(const wchar_t* name) {
    ListViewSelect(m_view->ListWindow(), {Row(name)});
    CItemIDList* items = nullptr;
    int count = 0;
    CItemIDList copy;
    if (SUCCEEDED(m_view->GetSelectedItems(&items, &count))) copy.CopyFrom(items[0]);
    delete[] items;
    return copy;
  }

  CTestSearchHost host;

private:
  RPLView* m_view = nullptr;
};

TEST_F(ViewSearchTest, FilePopupOfTheSearchWindow) {
  HMENU file = GetSubMenu(host.menu, 0);
  auto open = [&] {
    SendMessageW(View()->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    return MenuIds(file);
  };
  auto enabled = [&](UINT id) { return !(MenuItemState(file, id) & (MF_GRAYED | MF_DISABLED)); };
  const std::vector<UINT> own = {8210, 8211, 8196, 8300, kSep, 41000};
  ListViewSelect(View()->ListWindow(), {});
  EXPECT_EQ(open(), own);
  for (UINT id : {8210u, 8211u, 8196u, 8300u}) EXPECT_FALSE(enabled(id)) << id;
  RowItem(L"sub");
  std::vector<UINT> folder = MenuIds(GetSharedPopupMenu(kSearchFolderMenu));
  folder.insert(folder.end(), own.begin(), own.end());
  EXPECT_EQ(open(), folder);
  for (UINT id : {8210u, 8211u, 8196u, 8300u}) EXPECT_TRUE(enabled(id)) << id;
  RowItem(L"one.txt");
  EXPECT_EQ(open(), own);
  EXPECT_TRUE(enabled(8210));
  SetFocus(host.window);
  EXPECT_EQ(open(), own);
  EXPECT_FALSE(enabled(8210));
}

TEST_F(ViewSearchTest, ContextMenusBelongToTheSearchWindow) {
  struct Case {
    const wchar_t* row;   // null: the background
    int popup;
  } cases[] = {{nullptr, kSearchViewPopup}, {L"sub", kSearchFolderPopup}, {L"one.txt", kFilePopup}};
  for (const Case& c : cases) {
    std::vector<UINT> items;
    HWND owner = nullptr;
    ui.Answer(UiCall::Menu, [&](UiCallRecord& call) -> INT_PTR {
      items = MenuIds(static_cast<HMENU>(call.argument));
      owner = call.owner;
      return 0;
    });
    CItemIDList item;
    if (c.row) item = RowItem(c.row);
    View()->ShowContextMenu(c.row ? &item : nullptr, 0, 0);
    EXPECT_EQ(items, MenuIds(GetSharedPopupMenu(c.popup)));
    EXPECT_EQ(owner, host.window);
  }
  EXPECT_EQ(host.resets, 3);
}

TEST_F(ViewSearchTest, PasteNeedsAFolderUnderTheMenu) {
  EXPECT_EQ(View()->PasteTarget().GetLength(), 0u);
  EXPECT_EQ(View()->PasteIntoTarget(), S_FALSE);
  CItemIDList folder = RowItem(L"sub");
  std::wstring during;
  ui.Answer(UiCall::Menu, [&](UiCallRecord&) -> INT_PTR {
    during = View()->PasteTarget().GetBstr();
    return 0;
  });
  View()->ShowContextMenu(&folder, 0, 0);
  EXPECT_EQ(during, L"\\A:\\sub");
}

TEST_F(ViewSearchTest, OpenTakesTheSearchWindowsWayAndFilesCannotOpen) {
  RowItem(L"sub");
  SendCommand(View()->m_hWnd, IDM_OPEN);
  EXPECT_EQ(host.opened, 1);
  RowItem(L"one.txt");
  RECT rect = {LVIR_LABEL, 0, 0, 0};
  SendMessageW(View()->ListWindow(), LVM_GETITEMRECT, Row(L"one.txt"), reinterpret_cast<LPARAM>(&rect));
  NMITEMACTIVATE click = {};
  click.ptAction = {rect.left + 3, (rect.top + rect.bottom) / 2};
  const size_t boxes = ui.Calls(UiCall::MessageBox).size();
  SendNotify(View()->m_hWnd, View()->ListWindow(), NM_DBLCLK, &click.hdr);
  auto calls = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(calls.size(), boxes + 1);
  EXPECT_EQ(calls.back().caption, L"Module");
}

}  // namespace
