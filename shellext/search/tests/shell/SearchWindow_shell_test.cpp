// The search window and its pages on a scripted volume, run on the test's own
// thread (the search runs inside the command that starts it), with modal UI
// from the scripted seam and a watchdog for anything else. The library is
// registered for the suite: the result list finds "Module" under My Computer.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <atomic>
#include <fstream>
#include <string>
#include <vector>
#include "../../../namespace/tests/shell/ModuleShellTest.h"
#include "ControlReaders.h"
#include "ModalAnswerHook.h"
#include "ModuleEntry.h"
#include "ModuleItemID.h"
#include "Registry.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "SearchDialog.h"
#include "SearchPageDialog.h"
#include "../SearchTestSupport.h"
#include "Seams.h"
#include "ShellExtTestSupport.h"
#include "Settings.h"

namespace {

CScriptedVolume* g_volume = nullptr;
HRESULT ScriptedFactory(IVKSVolume** volume) {
  *volume = g_volume;
  g_volume->AddRef();
  return S_OK;
}

using Names = std::vector<std::wstring>;
constexpr LONG kFolder = FILE_ATTRIBUTE_DIRECTORY;

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, ARRAYSIZE(text));
  return text;
}
bool IsSearchWindowTitle(const std::wstring& title) {
  return title.rfind(L"Searching for:", 0) == 0 || title.rfind(L"Suche nach:", 0) == 0;
}
RECT Screen(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}
int Height(HWND window) {
  const RECT r = Screen(window);
  return r.bottom - r.top;
}

// A scratch registry for the current user and the classes, so the history,
// "SaveResult" and file types of the machine stay untouched.
class CScratchRegistry {
public:
  CScratchRegistry() {
    m_path = L"Software\\VKSTests\\SearchWindow" + std::to_wstring(GetCurrentProcessId());
    m_user.Create(HKEY_CURRENT_USER, (m_path + L"\\user").c_str(), KEY_ALL_ACCESS);
    m_classes.Create(HKEY_CURRENT_USER, (m_path + L"\\classes").c_str(), KEY_ALL_ACCESS);
    m_roots = {m_classes.Get(), m_user.Get(), HKEY_LOCAL_MACHINE};
    SetShellRegistryRoots(&m_roots);
  }
  ~CScratchRegistry() {
    SetShellRegistryRoots(nullptr);
    m_user.Close();
    m_classes.Close();
    RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
  }
  HKEY Classes() const { return m_classes.Get(); }
  std::wstring SaveResult() const {
    CRegistryKey key;
    if (key.Open(m_user.Get(), kSuiteKeyPath, KEY_READ) != ERROR_SUCCESS) return L"<none>";
    wchar_t value[16] = {};
    DWORD type = 0, bytes = sizeof(value) - sizeof(wchar_t);
    if (key.QueryValue(L"SaveResult", &type, value, &bytes) != ERROR_SUCCESS) return L"<none>";
    return value;
  }
  void SetClass(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    CRegistryKey key;
    key.Create(m_classes.Get(), name, KEY_ALL_ACCESS);
    key.SetValue(nullptr, type, data, bytes);
  }
  void SetClass(const wchar_t* name, const wchar_t* text) {
    SetClass(name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  }

private:
  std::wstring m_path;
  CRegistryKey m_user, m_classes;
  RegistryRoots m_roots = {};
};

class SearchWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    s_extension = new shelltest::CRegisteredExtension;
    s_registered = s_extension->Register() == S_OK;
  }
  static void TearDownTestSuite() {
    CoFreeUnusedLibraries();
    delete s_extension;
  }
  static inline shelltest::CRegisteredExtension* s_extension = nullptr;
  static inline bool s_registered = false;

  void SetUp() override {
    ASSERT_TRUE(s_registered);
    CoInitialize(nullptr);
    g_volume = &volume;
    SetVolumeFactory(ScriptedFactory);
    SetComctl32VersionForTest({6, 0});
    ui.SetDefault(UiCall::MessageBox, IDOK);
    volume.SetDrives({{L"B:", 2000, 1000, L""}, {L"A:", 1000, 500, L""}});
    Listing(L"\\A:\\*", {{L"notes.txt", 5}, {L"apps", -1}});
    Listing(L"\\A:\\apps\\*", {{L"game.jar", 9}, {L"readme.txt", 7}});
    Listing(L"\\B:\\*", {{L"b.txt", 1}});
  }
  void TearDown() override {
    Close();
    for (const ModalWindowRecord& record : watchdog.Windows())
      EXPECT_TRUE(IsSearchWindowTitle(record.title)) << "a modal window bypassed the UI seam: " << record.title.size();
    SetVolumeFactory(nullptr);
    g_volume = nullptr;
    CoUninitialize();
  }
  void Listing(const std::wstring& path, std::initializer_list<std::pair<const wchar_t*, LONG>> entries) {
    CTestEntries rows;
    for (const auto& entry : entries)
      rows.AddEntry(entry.first, entry.second < 0 ? 0 : entry.second, entry.second < 0 ? kFolder : 0, 0, MakeDate(0));
    volume.SetListing(path, rows);
  }
  RPLSearchDialog* Open(const wchar_t* path = nullptr, const wchar_t* folder = nullptr) {
    Close();
    watchdog.AnswerNothing();   // the search window itself is left alone
    dialog = new RPLSearchDialog(path, folder);
    volume.AddRef();
    dialog->volume = &volume;
    dialog->extendedControls = InitExtendedControls();
    window = dialog->Create();
    EXPECT_NE(nullptr, window);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return dialog;
  }
  void Close() {
    delete dialog;
    dialog = nullptr;
    window = nullptr;
  }
  template <class Page> Page* PageAt(int index) { return static_cast<Page*>(dialog->pages[index]); }
  HWND Item(int id) const { return GetDlgItem(window, id); }
  HWND PageItem(int page, int id) const { return GetDlgItem(dialog->pages[page]->m_hWnd, id); }
  void Command(UINT id, UINT code = 0) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), 0); }
  void Start() { Command(IDC_SEARCH_START); }
  std::wstring Status() const { return dialog->statusBar ? StatusBarText(dialog->statusBar, 0) : L"<no bar>"; }
  Names Rows() const {
    return dialog->resultView ? ListViewColumn(dialog->resultView->ListWindow(), 0) : Names{L"<no list>"};
  }
  std::wstring Text(UINT id) const { return Text_(g_resourceModule.LoadResString(id)); }
  static std::wstring Text_(const CBstr& text) { return ::Text(text); }
  void SetName(const wchar_t* name) { SetWindowTextW(PageItem(0, IDC_SEARCH_NAME), name); }

  CScratchRegistry registry;
  CScriptedVolume volume;
  CScriptedShellUi ui;
  CModalAnswerHook watchdog{3000};
  RPLSearchDialog* dialog = nullptr;
  HWND window = nullptr;
};

TEST_F(SearchWindowTest, CollapsedOnlyTheWidthChangesAndWideningKeepsTheRightMargins) {
  Open();
  EXPECT_EQ(L"Searching for: All files", WindowText(window));
  EXPECT_FALSE(dialog->resultsShown);
  EXPECT_EQ(nullptr, dialog->statusBar);
  const RECT before = Screen(window);
  const int height = before.bottom - before.top;
  auto marginOf = [&](int id) { return Screen(window).right - Screen(Item(id)).right; };
  const int start = marginOf(IDC_SEARCH_START), stop = marginOf(IDC_SEARCH_NEW);
  const int animation = marginOf(IDC_SEARCH_ANIMATION), tabs = marginOf(IDC_SEARCH_TABS);
  SetWindowPos(window, nullptr, 0, 0, before.right - before.left + 120, height + 200, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(height, Height(window));
  EXPECT_EQ(before.right - before.left + 120, Screen(window).right - Screen(window).left);
  EXPECT_EQ(start, marginOf(IDC_SEARCH_START));
  EXPECT_EQ(stop, marginOf(IDC_SEARCH_NEW));
  EXPECT_EQ(animation, marginOf(IDC_SEARCH_ANIMATION));
  EXPECT_EQ(tabs, marginOf(IDC_SEARCH_TABS));
  // The animation has its clip: it only plays with one open.
  EXPECT_TRUE(SendMessageW(Item(IDC_SEARCH_ANIMATION), ACM_PLAY, 1, MAKELPARAM(0, 0)));
  SendMessageW(Item(IDC_SEARCH_ANIMATION), ACM_STOP, 0, 0);
}

TEST_F(SearchWindowTest, StartGrowsTheWindowByTheFormAndCountsTheHits) {
  Open();
  const int collapsed = Height(window);
  SetName(L"*.txt");
  Start();
  ASSERT_TRUE(dialog->resultsShown);
  EXPECT_EQ(collapsed + dialog->formHeight, Height(window));
  ASSERT_NE(nullptr, dialog->statusBar);
  EXPECT_EQ(IDC_SEARCH_STATUS, GetDlgCtrlID(dialog->statusBar));
  EXPECT_EQ((Names{L"b.txt", L"notes.txt", L"readme.txt"}), Rows());
  EXPECT_EQ(L"3 file(s) found.", Status());
  EXPECT_EQ(L"Searching for: Files with names *.txt", WindowText(window));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_SEARCH_START)));
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_SEARCH_STOP)));
  // Grown, the window may change its height as well.
  SetWindowPos(window, nullptr, 0, 0, 500, collapsed + dialog->formHeight + 60, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(collapsed + dialog->formHeight + 60, Height(window));
  // The history keeps the name.
  CRegistryKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Open(ShellRegistryRoots().currentUser, kSuiteKeyPath, KEY_READ));
}

TEST_F(SearchWindowTest, NewSearchOkCollapsesAndResetsCancelOnlyStops) {
  Open();
  SetName(L"notes*");
  Start();
  ASSERT_TRUE(dialog->resultsShown);
  ui.Answer(UiCall::MessageBox, IDCANCEL);
  Command(IDC_SEARCH_NEW);
  EXPECT_TRUE(dialog->resultsShown);
  EXPECT_TRUE(dialog->IsStopped());
  EXPECT_EQ(L"notes*", WindowText(PageItem(0, IDC_SEARCH_NAME)));

  const int grown = Height(window);
  ui.Answer(UiCall::MessageBox, IDOK);
  Command(IDC_SEARCH_NEW);
  EXPECT_FALSE(dialog->resultsShown);
  EXPECT_EQ(nullptr, dialog->resultView);
  EXPECT_EQ(grown - dialog->formHeight, Height(window));
  EXPECT_EQ(L"", WindowText(PageItem(0, IDC_SEARCH_NAME)));
  const auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(L"Do you want to delete the current search result?", boxes[1].text);
  EXPECT_EQ(L"Searching for: Files with names notes*", boxes[1].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION), boxes[1].flags);
}

TEST_F(SearchWindowTest, AMissingLookInFolderIsReportedAndNothingIsListed) {
  Open();
  SetWindowTextW(PageItem(0, IDC_SEARCH_LOOK_IN), L"");
  PageAt<NamePageDialog>(0)->SelectLookInPath(L"\\A:\\gone");
  Start();
  const auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"The folder \\A:\\gone does not exist on the module.", boxes[0].text);
  EXPECT_EQ(L"Finding files", boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes[0].flags);
  EXPECT_FALSE(dialog->resultsShown);
  EXPECT_EQ(nullptr, dialog->resultView);
}

TEST_F(SearchWindowTest, PageKeysWrapAround) {
  Open();
  const HWND tabs = Item(IDC_SEARCH_TABS);
  ASSERT_EQ(3, TabCtrl_GetItemCount(tabs));
  auto current = [&] { return TabCtrl_GetCurSel(tabs); };
  const struct {
    UINT command;
    int from, to;
  } steps[] = {{IDM_SEARCH_PREVIOUS_PAGE, 0, 2}, {IDM_SEARCH_NEXT_PAGE, 2, 0}, {IDM_SEARCH_NEXT_PAGE, 0, 1},
               {IDM_SEARCH_PREVIOUS_PAGE, 1, 0}};
  for (const auto& s : steps) {
    ASSERT_EQ(s.from, current());
    Command(s.command, 1);
    EXPECT_EQ(s.to, current()) << s.command;
    for (int page = 0; page < 3; ++page)
      EXPECT_EQ(page == s.to, IsWindowVisible(dialog->pages[page]->m_hWnd) != FALSE) << page;
  }
  // The keys themselves reach the commands through the window's table.
  MSG key = {window, WM_KEYDOWN, VK_TAB, 0};
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  dialog->RouteMessage(&key);
  keys[VK_CONTROL] = saved;
  SetKeyboardState(keys);
  EXPECT_EQ(1, current());
}

TEST_F(SearchWindowTest, MenuHelpShowsEachItemsText) {
  Open();
  Start();
  ASSERT_NE(nullptr, dialog->statusBar);
  const HMENU menu = GetMenu(window);
  ASSERT_NE(nullptr, menu);
  const HMENU view = GetSubMenu(menu, 2);
  const struct {
    UINT item;
    UINT flags;
    HMENU menu;
    UINT text;
  } cases[] = {
      {IDM_SEARCH_SAVE, MF_HILITE, GetSubMenu(menu, 0), IDM_SEARCH_SAVE},
      {IDM_SEARCH_CASE, MF_HILITE, GetSubMenu(menu, 3), IDM_SEARCH_CASE},
      {0, MF_HILITE | MF_POPUP, menu, IDS_SEARCH_FILE_MENU_HELP},
      {1, MF_HILITE | MF_POPUP, menu, IDS_SEARCH_EDIT_MENU_HELP},
      {2, MF_HILITE | MF_POPUP, menu, IDS_SEARCH_VIEW_MENU_HELP},
      {3, MF_HILITE | MF_POPUP, menu, IDS_SEARCH_OPTIONS_MENU_HELP},
      {4, MF_HILITE | MF_POPUP, menu, IDS_SEARCH_INFO_MENU_HELP},
      {5, MF_HILITE | MF_POPUP, view, IDS_ARRANGE_ICONS_HELP},
  };
  for (const auto& c : cases) {
    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(c.item, c.flags), reinterpret_cast<LPARAM>(c.menu));
    EXPECT_TRUE(SendMessageW(dialog->statusBar, SB_ISSIMPLE, 0, 0));
    // A simple bar answers for its one part.
    EXPECT_EQ(Text(c.text), StatusBarText(dialog->statusBar, 0)) << c.item;
  }
  EXPECT_FALSE(Text(IDS_SEARCH_FILE_MENU_HELP).empty());
  EXPECT_FALSE(Text(IDM_SEARCH_LOAD).empty());
  SendMessageW(window, WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(SendMessageW(dialog->statusBar, SB_ISSIMPLE, 0, 0));
}

TEST_F(SearchWindowTest, SaveResultIsWrittenAtOnceAndTheNextWindowStartsWithIt) {
  Open();
  EXPECT_FALSE(dialog->criteria.saveResult);
  auto checked = [&] { return (GetMenuState(GetMenu(window), IDM_SEARCH_SAVE_RESULT, MF_BYCOMMAND) & MF_CHECKED) != 0; };
  EXPECT_FALSE(checked());
  Command(IDM_SEARCH_SAVE_RESULT);
  EXPECT_EQ(L"1", registry.SaveResult());
  EXPECT_TRUE(checked());
  Open();
  EXPECT_TRUE(dialog->criteria.saveResult);
  EXPECT_TRUE(checked());
  Command(IDM_SEARCH_SAVE_RESULT);
  EXPECT_EQ(L"0", registry.SaveResult());
  Open();
  EXPECT_FALSE(dialog->criteria.saveResult);
}

TEST_F(SearchWindowTest, SavedResultsLoadInANewWindowWithTheirCount) {
  CScratchFolder folder;
  const std::wstring file = folder.File(L"saved.ssc");
  Open();
  Command(IDM_SEARCH_SAVE_RESULT);
  SetName(L"*.txt");
  Start();
  ASSERT_EQ(3u, Rows().size());
  std::wstring proposed;
  ui.Answer(UiCall::SaveFile, [&](UiCallRecord& call) -> INT_PTR {
    auto* ofn = static_cast<OPENFILENAMEW*>(call.argument);
    proposed = ofn->lpstrFile;
    EXPECT_STREQ(L"ssc", ofn->lpstrDefExt);
    EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY), ofn->Flags);
    lstrcpynW(ofn->lpstrFile, file.c_str(), static_cast<int>(ofn->nMaxFile));
    return TRUE;
  });
  Command(IDM_SEARCH_SAVE);
  EXPECT_EQ(L"Files with names @_txt", proposed);
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());

  for (const std::wstring& given : {file, L"\"" + file + L"\""}) {
    Open(given.c_str());
    EXPECT_EQ((Names{L"b.txt", L"notes.txt", L"readme.txt"}), Rows()) << given;
    EXPECT_EQ(L"3 file(s) found.", Status());
    EXPECT_EQ(L"*.txt", WindowText(PageItem(0, IDC_SEARCH_NAME)));
    EXPECT_EQ(L"Searching for: Files with names *.txt", WindowText(window));
  }
}

// A file with results but no look-in folder: the results still have a list.
TEST_F(SearchWindowTest, SavedResultsWithoutAFolderAreListed) {
  struct CTwoItems final : ISearchItemSource {
    CItemIDList items[2];
    int GetItemCount() override { return 2; }
    HRESULT GetItem(int index, LPCITEMIDLIST* item) override {
      *item = items[index].Get();
      return S_OK;
    }
  } source;
  source.items[0].CreateItem(L"\\A:\\one.txt", 11, L"one.txt", 7, 1, 0, 0, 0, 0);
  source.items[1].CreateItem(L"\\B:\\two.txt", 11, L"two.txt", 7, 2, 0, 0, 0, 0);
  SearchSettings criteria(&EnglishTexts());
  criteria.saveResult = TRUE;
  ASSERT_EQ(0u, criteria.path.GetLength());
  CScratchFolder folder;
  const std::wstring file = folder.File(L"nofolder.ssc");
  ASSERT_EQ(S_OK, WriteSearchConfiguration(file.c_str(), criteria, &source));
  Open(file.c_str());
  EXPECT_EQ((Names{L"one.txt", L"two.txt"}), Rows());
  EXPECT_EQ(L"2 file(s) found.", Status());
}

TEST_F(SearchWindowTest, AFailedLoadShowsTheErrorAndWhatWasRead) {
  CScratchFolder folder;
  const std::wstring file = folder.File(L"bad.ssc");
  std::wstring body = L"\xFEFFRPL_SEARCH_CONFIG_VERSION=1-0\r\nNAME=kept*\r\nMONTHS=1000\r\nTEXT=never\r\n";
  std::ofstream(std::string(file.begin(), file.end()), std::ios::binary)
      .write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size() * 2));
  Open();
  ui.Answer(UiCall::OpenFile, [&](UiCallRecord& call) -> INT_PTR {
    auto* ofn = static_cast<OPENFILENAMEW*>(call.argument);
    EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST), ofn->Flags);
    lstrcpynW(ofn->lpstrFile, file.c_str(), static_cast<int>(ofn->nMaxFile));
    return TRUE;
  });
  Command(IDM_SEARCH_LOAD);
  const auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(0u, boxes[0].text.find(L"The search could not be loaded.")) << boxes[0].text;
  EXPECT_EQ(L"Error Loading Search", boxes[0].caption);
  EXPECT_EQ(L"kept*", WindowText(PageItem(0, IDC_SEARCH_NAME)));
  EXPECT_EQ(L"", WindowText(PageItem(0, IDC_SEARCH_TEXT)));
}

TEST_F(SearchWindowTest, WhileSearchingOnlyStopCloseAboutAndPagesWork) {
  Open();
  volume.SetFile(L"\\A:\\notes.txt", "a needle here");
  volume.SetFile(L"\\A:\\apps\\readme.txt", "none");
  volume.SetFile(L"\\B:\\b.txt", "x");
  SetWindowTextW(PageItem(0, IDC_SEARCH_TEXT), L"needle");
  // Commands arrive while the first file is read.
  bool tried = false;
  volume.script.onCall = [&](const std::wstring& call) {
    if (tried || call.rfind(L"GetFile ", 0) != 0) return;
    tried = true;
    EXPECT_TRUE(dialog->searching);
    const int page = TabCtrl_GetCurSel(Item(IDC_SEARCH_TABS));
    for (UINT id : {IDM_SEARCH_SAVE, IDM_SEARCH_LOAD, IDM_SEARCH_CASE, IDM_SEARCH_SAVE_RESULT}) Command(id);
    Command(IDC_SEARCH_START);
    Command(IDM_SEARCH_NEXT_PAGE, 1);
    EXPECT_EQ(page + 1, TabCtrl_GetCurSel(Item(IDC_SEARCH_TABS)));
    EXPECT_FALSE(dialog->criteria.caseSensitive);
    EXPECT_FALSE(dialog->criteria.saveResult);
    EXPECT_FALSE(IsWindowEnabled(PageItem(0, IDC_SEARCH_NAME)));
    Command(IDC_SEARCH_STOP);
  };
  Start();
  EXPECT_TRUE(tried);
  EXPECT_TRUE(ui.Calls(UiCall::SaveFile).empty());
  EXPECT_TRUE(ui.Calls(UiCall::OpenFile).empty());
  EXPECT_EQ(L"<none>", registry.SaveResult());
  // Stopped at the first file: nothing more was read.
  int reads = 0;
  for (const auto& call : volume.script.Calls()) reads += call.rfind(L"GetFile ", 0) == 0;
  EXPECT_EQ(1, reads);
  EXPECT_TRUE(IsWindowEnabled(PageItem(0, IDC_SEARCH_NAME)));
}

// ---- pages ----

TEST_F(SearchWindowTest, DateRadiosEnableTheirControls) {
  Open();
  DatePageDialog* page = PageAt<DatePageDialog>(1);
  const int controls[] = {IDC_SEARCH_DATE_TYPE, IDC_SEARCH_FROM, IDC_SEARCH_TO, IDC_SEARCH_MONTHS,
                          IDC_SEARCH_MONTHS_SPIN, IDC_SEARCH_DAYS, IDC_SEARCH_DAYS_SPIN};
  const struct {
    int radio;
    const char* enabled;   // per control above
  } steps[] = {
      {IDC_SEARCH_ALL_FILES, "0000000"},       {IDC_SEARCH_PREVIOUS_MONTHS, "1001100"},
      {IDC_SEARCH_ALL_FILES, "0000000"},       {IDC_SEARCH_DATED, "1001100"},
      {IDC_SEARCH_BETWEEN, "1110000"},         {IDC_SEARCH_PREVIOUS_DAYS, "1000011"},
  };
  for (const auto& s : steps) {
    page->UpdateRadioState(s.radio);
    std::string got;
    for (int id : controls) got += IsWindowEnabled(PageItem(1, id)) ? '1' : '0';
    EXPECT_EQ(s.enabled, got) << s.radio;
    EXPECT_EQ(s.radio == IDC_SEARCH_ALL_FILES, IsDlgButtonChecked(page->m_hWnd, IDC_SEARCH_ALL_FILES) == BST_CHECKED);
  }
  // The first radio's state comes back after a search from the criteria.
  dialog->criteria.considerDates = TRUE;
  dialog->criteria.timeType = 1;
  page->DisableControls();
  page->EnableControls();
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page->m_hWnd, IDC_SEARCH_PREVIOUS_MONTHS));
  EXPECT_TRUE(IsWindowEnabled(PageItem(1, IDC_SEARCH_MONTHS)));
  EXPECT_FALSE(IsWindowEnabled(PageItem(1, IDC_SEARCH_FROM)));
}

TEST_F(SearchWindowTest, DateFieldsLimitsAndTypedDates) {
  Open();
  DatePageDialog* page = PageAt<DatePageDialog>(1);
  EXPECT_EQ(3, static_cast<int>(SendMessageW(PageItem(1, IDC_SEARCH_MONTHS), EM_GETLIMITTEXT, 0, 0)));
  EXPECT_EQ(3, static_cast<int>(SendMessageW(PageItem(1, IDC_SEARCH_DAYS), EM_GETLIMITTEXT, 0, 0)));
  EXPECT_EQ(MAKELONG(999, 1), static_cast<LONG>(SendMessageW(PageItem(1, IDC_SEARCH_DAYS_SPIN), UDM_GETRANGE, 0, 0)));
  EXPECT_EQ(6, static_cast<int>(SendMessageW(PageItem(2, IDC_SEARCH_LIMIT), EM_GETLIMITTEXT, 0, 0)));
  EXPECT_EQ(MAKELONG(32767, 0), static_cast<LONG>(SendMessageW(PageItem(2, IDC_SEARCH_LIMIT_SPIN), UDM_GETRANGE, 0, 0)));

  SYSTEMTIME day = {2009, 2, 0, 3, 0, 0, 0, 0};
  wchar_t shortDate[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, shortDate, ARRAYSIZE(shortDate));
  for (const wchar_t* typed : {static_cast<const wchar_t*>(shortDate), L"no date at all"}) {
    NMDATETIMESTRINGW note = {};
    note.nmhdr.hwndFrom = PageItem(1, IDC_SEARCH_FROM);
    note.nmhdr.idFrom = IDC_SEARCH_FROM;
    note.nmhdr.code = DTN_USERSTRINGW;
    note.pszUserString = typed;
    note.dwFlags = 12345;
    SendMessageW(page->m_hWnd, WM_NOTIFY, IDC_SEARCH_FROM, reinterpret_cast<LPARAM>(&note));
    SYSTEMTIME shown = {};
    SendMessageW(PageItem(1, IDC_SEARCH_FROM), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
    // The picker keeps the date the good text gave.
    EXPECT_EQ(2009, shown.wYear) << typed;
    EXPECT_EQ(3, shown.wDay) << typed;
    EXPECT_EQ(typed == shortDate ? static_cast<DWORD>(GDT_VALID) : static_cast<DWORD>(GDT_NONE), note.dwFlags) << typed;
  }
}

TEST_F(SearchWindowTest, AnInvalidDateIsReportedAndBecomesToday) {
  Open();
  DatePageDialog* page = PageAt<DatePageDialog>(1);
  // A picker that holds no valid date.
  const HWND picker = PageItem(1, IDC_SEARCH_TO);
  static WNDPROC s_original = nullptr;
  s_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      picker, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == DTM_GETSYSTEMTIME ? GDT_ERROR : CallWindowProcW(s_original, w, m, wp, lp);
      })));
  SYSTEMTIME date = {1990, 1, 0, 1};
  EXPECT_EQ(E_FAIL, page->ReadDate(IDC_SEARCH_TO, &date));
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, date.wYear);
  EXPECT_EQ(now.wDay, date.wDay);
  const auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"The field contains an illegal date value or range.", boxes[0].text);
  EXPECT_EQ(L"Finding files", boxes[0].caption);
  SYSTEMTIME untouched = {1990, 1, 0, 1};
  EXPECT_EQ(E_FAIL, page->ReadDate(IDC_SEARCH_MONTHS, &untouched));
  EXPECT_EQ(1990, untouched.wYear);
  // Collected, the bound is today's last moment and the search goes on.
  SearchSettings read(&EnglishTexts());
  page->ReadSettings(&read);
  EXPECT_EQ(now.wDay, read.higherDate.wDay);
  EXPECT_EQ(23, read.higherDate.wHour);
  EXPECT_EQ(999, read.higherDate.wMilliseconds);
  EXPECT_EQ(2u, ui.Calls(UiCall::MessageBox).size());
  SetWindowLongPtrW(picker, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_original));
}

TEST_F(SearchWindowTest, FileTypesMergeByDescriptionAndSkipBadValues) {
  registry.SetClass(L".aa", L"aa.class");
  registry.SetClass(L".bb", L"bb.class");
  registry.SetClass(L"aa.class", L"Test Text");
  registry.SetClass(L"bb.class", L"test text");
  registry.SetClass(L".zz", L"zz.class");
  registry.SetClass(L"zz.class", L"Another Type");
  const DWORD number = 7;
  registry.SetClass(L".dw", REG_DWORD, &number, sizeof(number));
  const wchar_t unterminated[] = {L'x', L'y'};
  registry.SetClass(L".nt", REG_SZ, unterminated, sizeof(unterminated));
  registry.SetClass(L".em", L"");
  registry.SetClass(L".nd", L"nodesc.class");
  registry.SetClass(L"notext", L"Not An Extension");
  Open();
  const HWND types = PageItem(2, IDC_SEARCH_TYPE);
  std::vector<std::wstring> shown;
  for (int i = 0; i < static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0)); ++i) {
    wchar_t text[128] = {};
    SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    shown.push_back(text);
  }
  EXPECT_EQ((Names{L"All files and folders", L"Another Type", L"Test Text"}), shown);
  auto* page = PageAt<AdditionalPageDialog>(2);
  EXPECT_EQ(L"*.aa|*.bb", Text_(page->GetTypePattern(L"TEST TEXT")));
  EXPECT_EQ(L"*", Text_(page->GetTypePattern(L"All files and folders")));
  EXPECT_EQ(L"", Text_(page->GetTypePattern(L"Unknown")));
  EXPECT_EQ(L"", Text_(page->GetTypePattern(L"")));

  dialog->criteria.typeName = L"Not Registered Here";
  page->LoadSettings();
  EXPECT_EQ(0, static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0)));
  dialog->criteria.typeName = L"Another Type";
  page->LoadSettings();
  EXPECT_EQ(1, static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0)));
  SearchSettings read(&EnglishTexts());
  page->ReadSettings(&read);
  EXPECT_EQ(L"Another Type", Text_(read.typeName));
  EXPECT_EQ(L"*.zz", Text_(read.typePattern));
}

TEST_F(SearchWindowTest, LookInListsDrivesSortedAndTakesTypedAndBrowsedFolders) {
  Open(nullptr, L"\\A:\\apps");
  NamePageDialog* page = PageAt<NamePageDialog>(0);
  const HWND combo = PageItem(0, IDC_SEARCH_LOOK_IN);
  auto items = [&] {
    Names texts;
    for (int i = 0; i < static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); ++i) {
      wchar_t text[128] = {};
      COMBOBOXEXITEMW item = {};
      item.mask = CBEIF_TEXT;
      item.iItem = i;
      item.pszText = text;
      item.cchTextMax = ARRAYSIZE(text);
      SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      texts.push_back(text);
    }
    return texts;
  };
  EXPECT_EQ((Names{L"Module", L"Module Disk (A:)", L"Module Disk (B:)", L"apps"}), items());
  EXPECT_EQ(L"\\A:\\apps", Text_(page->GetLookInPath()));
  // The same path again is replaced in place.
  page->SelectLookInPath(L"\\a:\\APPS");
  EXPECT_EQ(4u, items().size());
  EXPECT_EQ(L"\\a:\\APPS", Text_(page->GetLookInPath()));
  page->SelectLookInPath(L"\\B:");
  EXPECT_EQ(2, static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)));
  // Typed text has no selection.
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SetWindowTextW(combo, L"A:\\dir");
  EXPECT_EQ(L"\\A:\\dir", Text_(page->GetLookInPath()));

  // Browse: the namespace folder itself, then a drive below it.
  CItemIDList root;
  ASSERT_EQ(S_OK, GetModuleRootIDList(&root));
  CItemIDList drive;
  ASSERT_EQ(S_OK, drive.CreateItem(L"\\B:", 3, L"B:", 2, 0, kFolder, 0, 0, 0));
  auto answer = [&](LPCITEMIDLIST below) {
    ui.Answer(UiCall::BrowseFolder, [&root, below](UiCallRecord& call) -> INT_PTR {
      auto* info = static_cast<BROWSEINFOW*>(call.argument);
      EXPECT_STREQ(L"Select the folder in which you want to start searching.", info->lpszTitle);
      EXPECT_TRUE(ILIsEqual(root.Get(), info->pidlRoot));
      return reinterpret_cast<INT_PTR>(below ? ILCombine(root.Get(), below) : ILClone(root.Get()));
    });
  };
  answer(drive.Get());
  Command(IDC_SEARCH_BROWSE);
  EXPECT_EQ(L"\\B:", Text_(page->GetLookInPath()));
  answer(nullptr);
  Command(IDC_SEARCH_BROWSE);
  EXPECT_EQ(L"\\", Text_(page->GetLookInPath()));
  EXPECT_EQ(0, static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)));
  EXPECT_EQ(2u, ui.Calls(UiCall::BrowseFolder).size());
}

TEST_F(SearchWindowTest, OneWindowInGerman) {
  const LANGID saved = g_resourceModule.GetLanguage();
  g_resourceModule.SetLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  Open();
  EXPECT_EQ(L"Suche nach: Alle Dateien", WindowText(window));
  EXPECT_EQ(L"&Starten", WindowText(Item(IDC_SEARCH_START)));
  EXPECT_EQ(L"Alle Dateien und Ordner", WindowText(PageItem(2, IDC_SEARCH_TYPE)));
  wchar_t tab[64] = {};
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = tab;
  item.cchTextMax = ARRAYSIZE(tab);
  SendMessageW(Item(IDC_SEARCH_TABS), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(L"Datum", tab);
  Close();
  g_resourceModule.SetLanguage(saved);
}

// The search window another thread of this process shows.
HWND ThreadSearchWindow() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND candidate, LPARAM data) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(candidate, &process);
        wchar_t caption[64] = {};
        GetWindowTextW(candidate, caption, ARRAYSIZE(caption));
        if (process != GetCurrentProcessId() || wcsncmp(caption, L"Searching for:", 14) != 0) return TRUE;
        *reinterpret_cast<HWND*>(data) = candidate;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void WaitForNoSearch() {
  for (int i = 0; i < 1000 && SearchActivityCount() != 0; ++i) Sleep(10);
}

// On the window's own thread, as the opener starts it; the command is posted.
TEST_F(SearchWindowTest, CloseDuringAContentSearchEndsSearchWindowAndThread) {
  volume.SetFile(L"\\A:\\notes.txt", "one");
  volume.SetFile(L"\\A:\\apps\\readme.txt", "two");
  volume.SetFile(L"\\B:\\b.txt", "three");
  std::atomic<HWND> searchWindow{nullptr};
  std::atomic<int> reads{0};
  volume.script.onCall = [&](const std::wstring& call) {
    if (call.rfind(L"GetFile ", 0) == 0 && reads++ == 0) PostMessageW(searchWindow, WM_CLOSE, 0, 0);
  };
  ASSERT_EQ(S_OK, OpenSearchWindow(nullptr, nullptr));
  struct {
    HWND window;
  } found = {ThreadSearchWindow()};
  ASSERT_NE(nullptr, found.window);
  searchWindow = found.window;
  EnumChildWindows(
      found.window,
      [](HWND child, LPARAM) -> BOOL {
        if (GetDlgCtrlID(child) == IDC_SEARCH_TEXT) SetWindowTextW(child, L"needle");
        return TRUE;
      },
      0);
  PostMessageW(found.window, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_START, 0), 0);
  WaitForNoSearch();
  ASSERT_EQ(0, SearchActivityCount());
  EXPECT_FALSE(IsWindow(found.window));
  EXPECT_EQ(1, reads.load());
  volume.script.onCall = nullptr;
}

// The view's search command opens a window that starts at its folder.
TEST_F(SearchWindowTest, TheViewsSearchCommandStartsAtItsFolder) {
  ASSERT_EQ(S_OK, OpenSearchWindow(nullptr, L"\\A:\\apps"));
  const HWND window = ThreadSearchWindow();
  ASSERT_NE(nullptr, window);
  HWND lookIn = nullptr;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        if (GetDlgCtrlID(child) == IDC_SEARCH_LOOK_IN) *reinterpret_cast<HWND*>(data) = child;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&lookIn));
  ASSERT_NE(nullptr, lookIn);
  EXPECT_EQ(L"apps", WindowText(lookIn));
  PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForNoSearch();
  EXPECT_EQ(0, SearchActivityCount());
}

}  // namespace
