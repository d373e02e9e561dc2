// The view's mouse input, in-place renaming with its wait, new folders, and
// the services its drop target uses while a drag hovers over the list.
#include <algorithm>
#include "ControlReaders.h"
#include "ManualClock.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "ViewFixture.h"

namespace {

bool Called(const std::vector<std::wstring>& calls, const std::wstring& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// What a timer does to the label editor once it is open.
struct EditScript {
  HWND list = nullptr;
  std::wstring text;           // typed before Enter
  enum Action { Enter, Escape, Press, Quit, Destroy } action = Enter;
  HWND pressed = nullptr;      // Press: the window that gets the button
  CFakeShellBrowser* browser = nullptr;
  std::wstring seenText;       // the editor's text when it was found
  size_t seenSinks = 0;
  CScriptedVolume* volume = nullptr;
  bool done = false;
};
EditScript* g_script = nullptr;

void CALLBACK EditTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  EditScript& script = *g_script;
  HWND edit = reinterpret_cast<HWND>(SendMessageW(script.list, LVM_GETEDITCONTROL, 0, 0));
  if (!edit && script.action != EditScript::Quit && script.action != EditScript::Destroy) return;
  KillTimer(nullptr, timer);
  if (script.done) return;
  script.done = true;
  if (edit) {
    wchar_t text[261] = {};
    GetWindowTextW(edit, text, 260);
    script.seenText = text;
  }
  if (script.volume) script.seenSinks = script.volume->SinkCount();
  switch (script.action) {
    case EditScript::Enter:
      SetWindowTextW(edit, script.text.c_str());
      SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
      break;
    case EditScript::Escape: SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0); break;
    case EditScript::Press: SendMessageW(script.pressed, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); break;
    case EditScript::Quit: PostQuitMessage(7); break;
    case EditScript::Destroy: script.browser->CloseView(); break;
  }
}

class ViewInputTest : public CViewFixture {
protected:
  ViewInputTest() : CViewFixture(L"Software\\VKSTest\\ViewInput") { settings.platformClass = 3; }
  ~ViewInputTest() override { g_script = nullptr; }

  POINT RowPoint(HWND list, int row) {
    RECT rect = {LVIR_LABEL, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    return POINT{rect.left + 3, (rect.top + rect.bottom) / 2};
  }
  POINT Screen(HWND list, POINT client) {
    ClientToScreen(list, &client);
    return client;
  }
  void Click(RPLView* view, UINT code, POINT at) {
    NMITEMACTIVATE click = {};
    click.ptAction = at;
    SendNotify(view->m_hWnd, view->ListWindow(), code, &click.hdr);
  }
  // HandleRename of a row with the timer's script; the view is held meanwhile.
  HRESULT Rename(RPLView* view, int row, EditScript& script) {
    script.list = view->ListWindow();
    script.browser = &browser;
    g_script = &script;
    CItemIDList* items = nullptr;
    int count = 0;
    ListViewSelect(view->ListWindow(), {row});
    if (FAILED(view->GetSelectedItems(&items, &count))) return E_UNEXPECTED;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, EditTimer);
    view->AddRef();
    HRESULT hr = view->HandleRename(items[0].GetItem(0));
    view->Release();
    KillTimer(nullptr, timer);
    delete[] items;
    return hr;
  }
};

TEST_F(ViewInputTest, ClicksOpenInSingleClickModeWithinTheDragDistance) {
  settings.webView = true;
  for (bool single : {true, false}) {
    settings.singleClick = single;
    RPLView* view = Show(L"\\A:");
    ASSERT_TRUE(view);
    ASSERT_TRUE(view->PanelWindow());
    POINT folder = RowPoint(view->ListWindow(), 0);
    struct Case {
      int dx;
      bool opens;
    } cases[] = {{0, true}, {GetSystemMetrics(SM_CXDRAG), true}, {GetSystemMetrics(SM_CXDRAG) + 1, false}};
    for (const Case& c : cases) {
      browser.browsed.clear();
      SendMessageW(view->PanelWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(folder.x, folder.y));
      Click(view, NM_CLICK, POINT{folder.x + c.dx, folder.y});
      ASSERT_EQ(browser.browsed.size(), single && c.opens ? 1u : 0u) << single << " " << c.dx;
      if (!browser.browsed.empty()) { EXPECT_EQ(browser.browsed[0].flags, static_cast<UINT>(SBSP_RELATIVE)); }
    }
  }
}

TEST_F(ViewInputTest, DoubleClicksOpenFoldersAndDrivesAndRefuseFiles) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  Click(view, NM_DBLCLK, RowPoint(view->ListWindow(), 2));
  auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Module");
  EXPECT_EQ(boxes[0].text.substr(0, 32), L"Files on the memory (MultiMediac");
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_ICONHAND));
  EXPECT_TRUE(browser.browsed.empty());
  Click(view, NM_DBLCLK, RowPoint(view->ListWindow(), 0));
  ASSERT_EQ(browser.browsed.size(), 1u);
  EXPECT_EQ(browser.browsed[0].flags, static_cast<UINT>(SBSP_RELATIVE));
  Click(view, NM_DBLCLK, POINT{5, 300});   // no row: nothing
  EXPECT_EQ(browser.browsed.size(), 1u);

  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  browser.browsed.clear();
  Click(drives, NM_DBLCLK, RowPoint(drives->ListWindow(), 1));
  ASSERT_EQ(browser.browsed.size(), 1u);
  EXPECT_EQ(browser.browsed[0].flags, static_cast<UINT>(SBSP_RELATIVE));
}

TEST_F(ViewInputTest, TheEnterKeyOpensTheFocusedFolderAndRefusesAFile) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  ListViewSelect(view->ListWindow(), {2});
  SendCommand(view->m_hWnd, IDM_OPEN, 1);
  auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Module");
  EXPECT_TRUE(browser.browsed.empty());
  ListViewSelect(view->ListWindow(), {0});
  SendCommand(view->m_hWnd, IDM_OPEN, 1);
  ASSERT_EQ(browser.browsed.size(), 1u);
  EXPECT_EQ(browser.browsed[0].flags, static_cast<UINT>(SBSP_RELATIVE | SBSP_OPENMODE));
}

TEST_F(ViewInputTest, EnterRenamesAndTheRowTakesTheNewEntry) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  volume.script.onCall = [this](const std::wstring& call) {
    if (call == L"Move \\A:\\one.txt \\A:\\new.txt")
      volume.SetListing(L"\\A:\\new.txt", CTestEntries().AddEntry(L"new.txt", 1, 0x20, kNoon, MakeDate(kNoon)));
  };
  EditScript script;
  script.text = L"new.txt";
  EXPECT_EQ(Rename(view, 2, script), S_OK);
  EXPECT_EQ(script.seenText, L"one.txt");
  EXPECT_TRUE(Called(volume.Calls(), L"Move \\A:\\one.txt \\A:\\new.txt"));
  EXPECT_EQ(ListViewText(view->ListWindow(), 2), L"new.txt");
  CItemIDList* items = nullptr;
  int count = 0;
  ASSERT_EQ(view->GetSelectedItems(&items, &count), S_OK);
  EXPECT_EQ(std::wstring(GetItemName(items[0].GetItem(0))), L"\\A:\\new.txt");
  delete[] items;
}

TEST_F(ViewInputTest, EditsThatEndWithoutARename) {
  struct Case {
    EditScript::Action action;
    bool moveFails;
    HRESULT result;
    const wchar_t* label;
  } cases[] = {
      {EditScript::Escape, false, S_OK, L"one.txt"},
      {EditScript::Enter, true, S_OK, L"one.txt"},    // the box tells; the label stays
      {EditScript::Press, false, S_OK, L"one.txt"},   // a button press cancels the edit
  };
  settings.webView = true;
  size_t boxes = 0;
  for (const Case& c : cases) {
    volume.script.ClearCalls();
    if (c.moveFails) volume.Fail(L"Move", E_ACCESSDENIED, L"denied", 1);
    RPLView* view = Show(L"\\A:");
    ASSERT_TRUE(view);
    EditScript script;
    script.action = c.action;
    script.text = L"new.txt";
    script.pressed = view->PanelWindow();
    EXPECT_EQ(Rename(view, 2, script), c.result);
    EXPECT_TRUE(script.done);
    EXPECT_EQ(ListViewText(view->ListWindow(), 2), c.label);
    EXPECT_EQ(Called(volume.Calls(), L"Move \\A:\\one.txt \\A:\\new.txt"), c.moveFails);
    EXPECT_EQ(ui.Calls(UiCall::MessageBox).size(), boxes + (c.moveFails ? 1u : 0u));
    boxes = ui.Calls(UiCall::MessageBox).size();
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(view->ListWindow(), LVM_GETEDITCONTROL, 0, 0)), nullptr);
  }
}

TEST_F(ViewInputTest, ARenameWhoseNewEntryCannotBeReadKeepsTheNewTextAndRefreshes) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  EditScript script;
  script.text = L"gone.txt";
  EXPECT_EQ(Rename(view, 2, script), S_OK);
  EXPECT_TRUE(Called(volume.Calls(), L"Move \\A:\\one.txt \\A:\\gone.txt"));
  volume.script.ClearCalls();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_TRUE(Called(volume.Calls(), L"GetEntries \\A:\\*"));
}

TEST_F(ViewInputTest, TheWaitEndsWhenTheViewGoesOrTheThreadQuits) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  EditScript quit;
  quit.action = EditScript::Quit;
  EXPECT_EQ(Rename(view, 2, quit), E_FAIL);
  MSG message = {};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_FALSE(Called(volume.Calls(), L"Move \\A:\\one.txt \\A:\\new.txt"));

  EditScript destroy;
  destroy.action = EditScript::Destroy;
  EXPECT_EQ(Rename(view, 2, destroy), E_FAIL);
  EXPECT_EQ(browser.View(), nullptr);
}

TEST_F(ViewInputTest, RenameRefusesWhatIsNoModuleItem) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  EXPECT_EQ(view->HandleRename(nullptr), E_POINTER);
  BYTE bogus[8] = {6, 0, 1, 2, 3, 4, 0, 0};
  EXPECT_EQ(view->HandleRename(reinterpret_cast<PCUITEMID_CHILD>(bogus)), E_INVALIDARG);
}

TEST_F(ViewInputTest, NewFolderTakesAFreeNameAndStartsItsRename) {
  RPLView* drives = Show(L"");
  ASSERT_TRUE(drives);
  SendCommand(drives->m_hWnd, IDM_NEW_FOLDER);
  auto sounds = ui.Calls(UiCall::Sound);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(sounds[0].text, L".Default");
  for (const std::wstring& call : volume.Calls()) EXPECT_EQ(call.find(L"CreateDir"), std::wstring::npos);

  volume.SetListing(L"\\A:\\New folder", CTestEntries().AddEntry(L"New folder", 0, 0x10, kNoon, MakeDate(kNoon)));
  volume.SetListing(L"\\A:\\New folder (2)",
                    CTestEntries().AddEntry(L"New folder (2)", 0, 0x10, kNoon, MakeDate(kNoon)));
  volume.script.onCall = [this](const std::wstring& call) {
    if (call != L"CreateDir \\A:\\New folder (3)") return;
    volume.SetListing(L"\\A:\\New folder (3)",
                      CTestEntries().AddEntry(L"New folder (3)", 0, 0x10, kNoon, MakeDate(kNoon)));
    volume.SetListing(L"\\A:\\*", CTestEntries()
                                      .AddEntry(L"one.txt", 1, 0x20, kNoon, MakeDate(kNoon))
                                      .AddEntry(L"New folder (3)", 0, 0x10, kNoon, MakeDate(kNoon)));
  };
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  ASSERT_EQ(volume.SinkCount(), 1u);
  EditScript script;
  script.action = EditScript::Escape;
  script.list = view->ListWindow();
  script.volume = &volume;
  g_script = &script;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, EditTimer);
  SendCommand(view->m_hWnd, IDM_NEW_FOLDER);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(Called(volume.Calls(), L"CreateDir \\A:\\New folder (3)"));
  EXPECT_EQ(script.seenText, L"New folder (3)");
  EXPECT_EQ(script.seenSinks, 0u);
  EXPECT_EQ(volume.SinkCount(), 1u);
}

TEST_F(ViewInputTest, AutoScrollAtTheEdgesAtMostFiveTimesASecond) {
  CTestEntries many;
  for (int i = 0; i < 120; ++i)
    many.AddEntry((L"file" + std::to_wstring(100 + i) + L".txt").c_str(), 1, 0x20, kNoon, MakeDate(kNoon));
  volume.SetListing(L"\\A:\\*", many);
  vkstest::CManualClock clock;
  clock.Advance(10000);
  struct Case {
    UINT mode;
    int x, y;   // from the list's left and top; negative: from its right and bottom
    DWORD result;
  } cases[] = {
      {FVM_DETAILS, 50, -3, DROPEFFECT_SCROLL}, {FVM_DETAILS, 50, 150, 0},
      {FVM_DETAILS, 50, 2, DROPEFFECT_SCROLL},  {FVM_DETAILS, 50, -1000, DROPEFFECT_SCROLL},
      {FVM_ICON, 150, 150, 0},                  {FVM_ICON, 150, -3, DROPEFFECT_SCROLL},
      {FVM_ICON, 3, 150, DROPEFFECT_SCROLL},    {FVM_SMALLICON, 150, 3, DROPEFFECT_SCROLL},
      {FVM_LIST, 150, 150, 0},                  {FVM_LIST, -3, 150, DROPEFFECT_SCROLL},
      {FVM_LIST, 150, -3, 0},
  };
  for (const Case& c : cases) {
    RPLView* view = Show(L"\\A:", c.mode);
    ASSERT_TRUE(view);
    view->SetClock(&clock);
    HWND list = view->ListWindow();
    RECT client = {};
    GetClientRect(list, &client);
    POINT at = {c.x >= 0 ? c.x : client.right + c.x, c.y >= 0 ? c.y : client.bottom + c.y};
    if (c.y == -1000) at.y = -10;   // above the list
    clock.Advance(200);
    EXPECT_EQ(view->AutoScroll(Screen(list, at)), c.result) << c.mode << " " << c.x << " " << c.y;
  }
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  view->SetClock(&clock);
  HWND list = view->ListWindow();
  RECT client = {};
  GetClientRect(list, &client);
  POINT bottom = Screen(list, POINT{50, client.bottom - 3});
  clock.Advance(200);
  ASSERT_EQ(view->AutoScroll(bottom), static_cast<DWORD>(DROPEFFECT_SCROLL));
  EXPECT_GT(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(view->AutoScroll(bottom), 0u);
  clock.Advance(199);
  EXPECT_EQ(view->AutoScroll(bottom), 0u);
  clock.Advance(1);
  EXPECT_EQ(view->AutoScroll(bottom), static_cast<DWORD>(DROPEFFECT_SCROLL));
}

TEST_F(ViewInputTest, DropHighlightMarksFoldersOnly) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  CBstr folder;
  ASSERT_TRUE(view->HighlightDropTarget(Screen(list, RowPoint(list, 0)), &folder));
  EXPECT_EQ(std::wstring(folder.GetBstr()), L"\\A:\\sub");
  EXPECT_TRUE(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_DROPHILITED) & LVIS_DROPHILITED);
  CBstr none;
  EXPECT_FALSE(view->HighlightDropTarget(Screen(list, RowPoint(list, 2)), &none));
  EXPECT_FALSE(view->HighlightDropTarget(Screen(list, POINT{5, 300}), &none));
  EXPECT_FALSE(SendMessageW(list, LVM_GETITEMSTATE, 2, LVIS_DROPHILITED) & LVIS_DROPHILITED);
  view->ClearDropHighlight();
  EXPECT_FALSE(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_DROPHILITED) & LVIS_DROPHILITED);
}

TEST_F(ViewInputTest, MovedIconsFollowThePointer) {
  RPLView* view = Show(L"\\A:", FVM_ICON);
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  ListViewSelect(list, {1, 3});
  POINT before[4] = {};
  for (int row = 0; row < 4; ++row) SendMessageW(list, LVM_GETITEMPOSITION, row, reinterpret_cast<LPARAM>(&before[row]));
  view->MoveSelectedItems(POINT{30, 20});   // the drag started at 0, 0
  for (int row = 0; row < 4; ++row) {
    POINT after = {};
    SendMessageW(list, LVM_GETITEMPOSITION, row, reinterpret_cast<LPARAM>(&after));
    bool moved = row == 1 || row == 3;
    EXPECT_EQ(after.x, before[row].x + (moved ? 30 : 0)) << row;
    EXPECT_EQ(after.y, before[row].y + (moved ? 20 : 0)) << row;
  }
  EXPECT_EQ(view->GetListViewStyle(), LVS_ICON);
  SendCommand(view->m_hWnd, IDM_LIST);
  EXPECT_EQ(view->GetListViewStyle(), LVS_LIST);
  SendCommand(view->m_hWnd, IDM_DETAILS);
  EXPECT_EQ(view->GetListViewStyle(), LVS_REPORT);

  RPLView* bare = new RPLView();
  bare->MoveSelectedItems(POINT{1, 1});   // no list: nothing
  EXPECT_EQ(bare->AutoScroll(POINT{1, 1}), 0u);
  bare->Release();
}

}  // namespace
