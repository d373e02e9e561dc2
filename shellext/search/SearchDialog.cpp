// search/SearchDialog.cpp - the search window: its form, result list, menus,
// commands, saved searches, and the thread each window runs on.
#include "SearchDialog.h"
#include <commctrl.h>
#include <commdlg.h>
#include <new>
#include <vector>
#include "ComBase.h"
#include "ErrorText.h"
#include "MessageFilter.h"
#include "ModuleEntry.h"
#include "ModuleHelp.h"
#include "Registry.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "SearchPageDialog.h"
#include "Settings.h"
#include "SharedMenus.h"

namespace {
volatile LONG g_searchActivity = 0;

const UINT kPageTabs[] = {IDS_SEARCH_NAME_TAB, IDS_SEARCH_DATE_TAB, IDS_SEARCH_MORE_TAB};
const UINT kMenuBarHelp[] = {IDS_SEARCH_FILE_MENU_HELP, IDS_SEARCH_EDIT_MENU_HELP, IDS_SEARCH_VIEW_MENU_HELP,
                             IDS_SEARCH_OPTIONS_MENU_HELP, IDS_SEARCH_INFO_MENU_HELP};

RECT ScreenRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

}  // namespace

LONG SearchActivityCount() { return g_searchActivity; }

BOOL InitExtendedControls() {
  // Date pickers and the extended combo box came with comctl32 4.70; an older
  // library may lack the call altogether.
  const DllVersion version = Comctl32Version();
  if (version.major < 4 || (version.major == 4 && version.minor < 70)) return FALSE;
  HMODULE library = LoadLibraryW(L"comctl32.dll");
  if (!library) return FALSE;
  BOOL result = FALSE;
  using InitProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitProc>(reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (init) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0x3FF};
    result = init(&controls);
  }
  FreeLibrary(library);
  return result;
}

RPLSearchDialog::RPLSearchDialog(const wchar_t* path, const wchar_t* folder)
    : configurationPath(path), startFolder(folder) {
  GetComModule().Lock();
  readyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_listAccelerators = g_resourceModule.LoadAccelerators(IDA_SEARCH_LIST);
  m_windowAccelerators = g_resourceModule.LoadAccelerators(IDA_SEARCH_WINDOW);
}

RPLSearchDialog::~RPLSearchDialog() {
  DeletePages();
  if (statusBar && IsWindow()) ::DestroyWindow(statusBar);
  if (m_listAccelerators) DestroyAcceleratorTable(m_listAccelerators);
  if (m_windowAccelerators) DestroyAcceleratorTable(m_windowAccelerators);
  if (m_filePopupCopy) DestroyMenu(m_filePopupCopy);
  if (resultViewInterface) {
    resultViewInterface->DestroyViewWindow();
    resultViewInterface->Release();
  }
  if (volume) volume->Release();
  if (explorerReference) explorerReference->Release();
  DestroyWindow();
  GetComModule().Unlock();
}

void RPLSearchDialog::DeletePages() {
  for (SearchPageDialog*& page : pages) {
    delete page;
    page = nullptr;
  }
}

HWND RPLSearchDialog::Create() {
  const void* dialogTemplate = g_resourceModule.FindDialogTemplate(IDD_SEARCH_DIALOG);
  if (!dialogTemplate) return nullptr;
  return CreateIndirect(g_resourceModule.GetModule(), static_cast<const DLGTEMPLATE*>(dialogTemplate), nullptr);
}

// ---- start-up and layout ----

LRESULT RPLSearchDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  HICON icon = static_cast<HICON>(LoadImageW(g_resourceModule.GetModule(), MAKEINTRESOURCEW(IDI_SEARCH_WINDOW),
                                             IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  UpdateTitle();
  CRegistryKey key;
  if (key.Open(ShellRegistryRoots().currentUser, kSuiteKeyPath, KEY_READ) == ERROR_SUCCESS) {
    wchar_t value[261] = {};
    DWORD type = 0, bytes = sizeof(value) - sizeof(wchar_t);
    if (key.QueryValue(L"SaveResult", &type, value, &bytes) == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
      criteria.saveResult = value[0] == L'1';
    else
      criteria.saveResult = FALSE;
  }
  SetupMenus();
  UpdateOptionChecks();
  CreatePages();
  const RECT window = ScreenRect(m_hWnd);
  RECT client;
  GetClientRect(&client);
  collapsedHeight = window.bottom - window.top;
  formHeight = client.bottom;
  m_buttonMargin = window.right - ScreenRect(GetDlgItem(IDC_SEARCH_START)).left;
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_ANIMATION, ACM_OPENW, reinterpret_cast<WPARAM>(g_resourceModule.GetModule()),
                      reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(IDR_SEARCH_AVI)));
  m_animationMargin = window.right - ScreenRect(GetDlgItem(IDC_SEARCH_ANIMATION)).left;
  m_tabMargin = window.right - ScreenRect(GetDlgItem(IDC_SEARCH_TABS)).right;
  ShowCurrentPage();
  m_layoutReady = TRUE;
  if (configurationPath.GetLength()) {
    CBstr path = configurationPath;
    if (path.GetLength() && path.GetAt(0) == L'"') path = path.Mid(1);
    if (path.GetLength() && path.GetAt(path.GetLength() - 1) == L'"')
      path = path.Mid(0, static_cast<int>(path.GetLength() - 1));
    LoadConfiguration(path.GetBstr() ? path.GetBstr() : L"");
  }
  return TRUE;
}

void RPLSearchDialog::SetupMenus() {
  m_menu = g_resourceModule.LoadMenu(IDR_SEARCH_MENU);
  if (!m_menu) return;
  m_optionsPopup = GetSubMenu(m_menu, 3);
  m_filePopup = GetSubMenu(m_menu, 0);
  m_filePopupCopy = CreatePopupMenu();
  if (m_filePopupCopy && m_filePopup) CopyMenuItems(m_filePopupCopy, m_filePopup, static_cast<UINT>(-1), TRUE, 0, FALSE);
  SetMenu(m_hWnd, m_menu);
}

void RPLSearchDialog::RestoreFileMenu() {
  if (!m_filePopup || !m_filePopupCopy) return;
  DeleteAllMenuItems(m_filePopup);
  CopyMenuItems(m_filePopup, m_filePopupCopy, static_cast<UINT>(-1), TRUE, 0, FALSE);
}

HMENU RPLSearchDialog::GetMenuPopup(int position) const { return m_menu ? GetSubMenu(m_menu, position) : nullptr; }

HMENU RPLSearchDialog::GetNestedMenuPopup(int position, int subPosition) const {
  HMENU popup = GetMenuPopup(position);
  return popup ? GetSubMenu(popup, subPosition) : nullptr;
}

void RPLSearchDialog::UpdateOptionChecks() {
  if (!m_menu) return;
  CheckMenuItem(m_menu, IDM_SEARCH_CASE, MF_BYCOMMAND | (criteria.caseSensitive ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(m_menu, IDM_SEARCH_SAVE_RESULT, MF_BYCOMMAND | (criteria.saveResult ? MF_CHECKED : MF_UNCHECKED));
}

void RPLSearchDialog::UpdateTitle() {
  CBstr longText;
  DescribeSearch(criteria, &longText);
  CBstr title = g_resourceModule.LoadResString(IDS_SEARCH_SEARCHING_FOR);
  title.Append(L" ");
  title.Append(longText);
  SetWindowText(title.GetBstr());
}

void RPLSearchDialog::CreatePages() {
  const HWND tabs = GetDlgItem(IDC_SEARCH_TABS);
  for (int i = 0; i < 3; ++i) {
    SearchPageDialog* page = nullptr;
    if (i == 0) page = new (std::nothrow) NamePageDialog(this, startFolder.GetBstr());
    else if (i == 1) page = new (std::nothrow) DatePageDialog(this);
    else page = new (std::nothrow) AdditionalPageDialog(this);
    if (!page) return;
    // Without the extended controls the name and date pages stay windowless.
    if ((i == 2 || extendedControls) && FAILED(page->Create(IDD_SEARCH_NAME_PAGE + i))) {
      delete page;
      return;
    }
    pages[i] = page;
    const CBstr text = g_resourceModule.LoadResString(kPageTabs[i]);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(text.GetBstr() ? text.GetBstr() : L"");
    ::SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
}

void RPLSearchDialog::ShowCurrentPage() {
  const HWND tabs = GetDlgItem(IDC_SEARCH_TABS);
  const int current = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < 3; ++i) {
    if (!pages[i] || !pages[i]->m_hWnd) continue;
    if (i != current) {
      pages[i]->ShowWindow(SW_HIDE);
      continue;
    }
    SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RECT area;
    ::GetClientRect(tabs, &area);
    MapWindowPoints(tabs, m_hWnd, reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    pages[i]->MoveWindow(area);
    pages[i]->ShowWindow(SW_SHOW);
  }
}

void RPLSearchDialog::SwitchPage(int step) {
  const HWND tabs = GetDlgItem(IDC_SEARCH_TABS);
  const int count = static_cast<int>(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  const int current = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
  if (count <= 0 || current < 0) return;
  ::SendMessageW(tabs, TCM_SETCURSEL, (current + step + count) % count, 0);
  ShowCurrentPage();
  ::SetFocus(tabs);
}

RECT RPLSearchDialog::GetResultRect() const {
  RECT rect;
  ::GetClientRect(m_hWnd, &rect);
  rect.top = formHeight;
  if (statusBar) {
    RECT bar;
    ::GetWindowRect(statusBar, &bar);
    rect.bottom -= bar.bottom - bar.top;
  }
  return rect;
}

LRESULT RPLSearchDialog::OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (!m_layoutReady || (wParam != SIZE_RESTORED && wParam != SIZE_MAXIMIZED)) return 0;
  const int width = LOWORD(lParam);
  // The margins were measured against the window's edge, the client is what
  // the controls sit in: the difference is the frame on the right.
  RECT window, client;
  GetWindowRect(&window);
  GetClientRect(&client);
  POINT origin = {0, 0};
  ClientToScreen(m_hWnd, &origin);
  const int frame = window.right - (origin.x + client.right);
  for (int id : {IDC_SEARCH_START, IDC_SEARCH_STOP, IDC_SEARCH_NEW})
    AlignDlgItemRight(m_hWnd, id, width, m_buttonMargin - frame);
  AlignDlgItemRight(m_hWnd, IDC_SEARCH_ANIMATION, width, m_animationMargin - frame);
  StretchDlgItemWidth(m_hWnd, IDC_SEARCH_TABS, width, m_tabMargin - frame);
  ShowCurrentPage();
  const HWND line = GetDlgItem(IDC_SEARCH_LINE);
  RECT lineRect = ScreenRect(line);
  ::MoveWindow(line, 0, 0, width, lineRect.bottom - lineRect.top, TRUE);
  if (resultsShown && resultView) {
    if (statusBar) ::SendMessageW(statusBar, WM_SIZE, wParam, lParam);
    const RECT area = GetResultRect();
    HWND view = nullptr;
    if (resultViewInterface && SUCCEEDED(resultViewInterface->GetWindow(&view)) && view)
      ::MoveWindow(view, area.left, formHeight, area.right - area.left, area.bottom - formHeight, TRUE);
  }
  return 0;
}

LRESULT RPLSearchDialog::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (m_layoutReady && !resultsShown) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMaxSize.y = collapsedHeight;
    info->ptMinTrackSize.y = collapsedHeight;
    info->ptMaxTrackSize.y = collapsedHeight;
  }
  return 0;
}

// ---- result list ----

void RPLSearchDialog::DropResultView() {
  if (!resultViewInterface) return;
  IShellView* view = resultViewInterface;
  resultViewInterface = nullptr;
  resultView = nullptr;
  view->DestroyViewWindow();
  view->Release();
}

void RPLSearchDialog::ShowResultView() {
  DropResultView();
  auto* view = new (std::nothrow) RPLView();   // holds one reference, dropped below
  if (!view) return;
  IShellView* shellView = nullptr;
  if (SUCCEEDED(view->QueryInterface(IID_IShellView, reinterpret_cast<void**>(&shellView)))) {
    if (SUCCEEDED(view->InitForSearch(this))) {
      resultViewInterface = shellView;
      resultView = view;
      if (!resultsShown) {
        resultsShown = TRUE;
        if (statusBar) ::ShowWindow(statusBar, SW_SHOW);
        RECT window;
        GetWindowRect(&window);
        SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + formHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (!statusBar)
          statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP | CCS_BOTTOM, 0, 0, 0,
                                      0, m_hWnd, reinterpret_cast<HMENU>(IDC_SEARCH_STATUS),
                                      g_resourceModule.GetModule(), nullptr);
      }
      const RECT area = GetResultRect();
      view->CreateSearchResultWindow(&area);
    } else {
      shellView->Release();
    }
  }
  view->Release();
}

void RPLSearchDialog::HideResultView() {
  DropResultView();
  if (statusBar) ::ShowWindow(statusBar, SW_HIDE);
  RECT window;
  GetWindowRect(&window);
  resultsShown = FALSE;
  SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, collapsedHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RPLSearchDialog::AddHit(LPCITEMIDLIST item) {
  if (resultView) resultView->AddItem(item);
}

int RPLSearchDialog::GetItemCount() { return resultView ? resultView->GetListItemCount() : 0; }

HRESULT RPLSearchDialog::GetItem(int index, LPCITEMIDLIST* item) {
  if (!item) return E_POINTER;
  *item = resultView ? resultView->GetListItem(index) : nullptr;
  return *item ? S_OK : E_FAIL;
}

void RPLSearchDialog::UpdateFoundCount() {
  if (!resultView) return;
  SetStatusText(g_resourceModule.FormatResMessage(IDS_SEARCH_FOUND, resultView->GetListItemCount()).GetBstr(), FALSE,
                FALSE);
  resultView->EnableListView();
}

void RPLSearchDialog::SetStatusText(const wchar_t* text, BOOL simple, BOOL keepText) {
  if (!statusBar) return;
  ::SendMessageW(statusBar, SB_SIMPLE, simple, 0);
  if (keepText) return;
  ::SendMessageW(statusBar, SB_SETTEXTW, simple ? (SB_SIMPLEID | SBT_NOBORDERS) : 0,
                 reinterpret_cast<LPARAM>(text ? text : L""));
}

// ---- messages ----

void RPLSearchDialog::RouteMessage(MSG* message) {
  const bool viewFocused = resultView && resultView->HasFocus();
  if (viewFocused) {
    if (!searching && m_listAccelerators && TranslateAcceleratorW(m_hWnd, m_listAccelerators, message)) return;
  } else if (m_windowAccelerators && TranslateAcceleratorW(m_hWnd, m_windowAccelerators, message)) {
    return;
  }
  if (!m_hWnd || !IsDialogMessageW(m_hWnd, message)) {
    TranslateMessage(message);
    DispatchMessageW(message);
  }
}

void RPLSearchDialog::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    RouteMessage(&message);
  }
}

void RPLSearchDialog::RunMessageLoop() {
  MSG message;
  while (!endFlag && GetMessageW(&message, nullptr, 0, 0) > 0) RouteMessage(&message);
}

void RPLSearchDialog::ForwardToView(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND view = nullptr;
  if (resultViewInterface && SUCCEEDED(resultViewInterface->GetWindow(&view)) && view)
    ::SendMessageW(view, message, wParam, lParam);
}

void RPLSearchDialog::OpenSearchItems(const CItemIDList* items, int count, IVKSVolume*) {
  CItemIDList root;
  if (FAILED(GetModuleRootIDList(&root))) return;
  std::vector<LPCITEMIDLIST> records;
  for (int i = 0; i < count; ++i) records.push_back(items[i].Get());
  OpenFoldersInShell(IDM_OPEN, root.Get(), records.data(), static_cast<UINT>(records.size()), nullptr, m_hWnd);
}

LRESULT RPLSearchDialog::OnInitMenuPopup(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const HMENU popup = reinterpret_cast<HMENU>(wParam);
  if (!searching && resultView) {
    ForwardToView(message, wParam, lParam);
    return 0;
  }
  if (popup == m_filePopup) EnableMenuItem(popup, IDM_SEARCH_OPEN_PARENT, MF_BYCOMMAND | MF_GRAYED);
  if (m_menu && popup == GetSubMenu(m_menu, 1)) {
    EnableMenuItem(popup, IDM_CUT, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(popup, IDM_COPY, MF_BYCOMMAND | MF_GRAYED);
  }
  return 0;
}

LRESULT RPLSearchDialog::OnMenuSelect(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (searching || !statusBar) return 0;
  const UINT item = LOWORD(wParam);
  const UINT flags = HIWORD(wParam);
  const HMENU menu = reinterpret_cast<HMENU>(lParam);
  CBstr text;
  if (flags != 0xFFFF && (flags & MF_HILITE)) {
    if (!(flags & MF_POPUP)) {
      text = g_resourceModule.LoadResString(item);
    } else if (menu == m_menu && item < ARRAYSIZE(kMenuBarHelp)) {
      text = g_resourceModule.LoadResString(kMenuBarHelp[item]);
    } else if (m_menu && menu == GetSubMenu(m_menu, 2) && item == 5) {
      text = g_resourceModule.LoadResString(IDS_ARRANGE_ICONS_HELP);
    }
  }
  SetStatusText(text.GetBstr(), TRUE, FALSE);
  return 0;
}

LRESULT RPLSearchDialog::OnExitMenuLoop(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  RestoreFileMenu();
  if (searching) return 0;
  if (statusBar) ::SendMessageW(statusBar, SB_SIMPLE, FALSE, 0);
  if (resultView) ForwardToView(message, wParam, lParam);
  return 0;
}

void RPLSearchDialog::WriteSaveResult() {
  CRegistryKey key;
  if (key.Create(ShellRegistryRoots().currentUser, kSuiteKeyPath, KEY_WRITE) != ERROR_SUCCESS) return;
  const wchar_t* value = criteria.saveResult ? L"1" : L"0";
  key.SetValue(L"SaveResult", REG_SZ, value, 2 * sizeof(wchar_t));
}

LRESULT RPLSearchDialog::OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  const WORD code = HIWORD(wParam);
  const WORD id = LOWORD(wParam);
  if (code != 0 && code != 1) return 0;
  if (code == 1) {
    if (id == IDM_SEARCH_HELP) {
      ShowHelp(id);
      return 0;
    }
    if (id == IDM_SEARCH_NEXT_PAGE || id == IDM_SEARCH_PREVIOUS_PAGE) {
      SwitchPage(id == IDM_SEARCH_NEXT_PAGE ? 1 : -1);
      return 0;
    }
  } else {
    switch (id) {
      case IDC_SEARCH_START: OnStart(); return 0;
      case IDC_SEARCH_STOP: InterlockedExchange(&stopFlag, 1); return 0;
      case IDC_SEARCH_NEW: OnNewSearch(); return 0;
      case IDC_SEARCH_BROWSE: {
        const int current = static_cast<int>(SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TABS, TCM_GETCURSEL, 0, 0));
        if (pages[0] && current == 0) static_cast<NamePageDialog*>(pages[0])->OnBrowse();
        return 0;
      }
      case IDM_SEARCH_CLOSE: {
        BOOL handled = TRUE;
        OnClose(WM_CLOSE, 0, 0, handled);
        return 0;
      }
      case IDM_SEARCH_SAVE: if (!searching) OnSaveSearch(); return 0;
      case IDM_SEARCH_LOAD: if (!searching) OnLoadSearch(); return 0;
      case IDM_SEARCH_CASE:
        if (!searching) {
          criteria.caseSensitive = !criteria.caseSensitive;
          UpdateOptionChecks();
        }
        return 0;
      case IDM_SEARCH_SAVE_RESULT:
        if (!searching) {
          criteria.saveResult = !criteria.saveResult;
          WriteSaveResult();
          UpdateOptionChecks();
        }
        return 0;
      case IDM_ABOUT: ShowAboutDialog(m_hWnd); return 0;
      default: break;
    }
  }
  if (searching || !resultView) return 0;
  BOOL handled = TRUE;
  return resultView->OnCommand(code, id, reinterpret_cast<HWND>(lParam), handled);
}

LRESULT RPLSearchDialog::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  InterlockedExchange(&stopFlag, 1);
  DropResultView();
  InterlockedExchange(&endFlag, 1);
  return 0;
}

// ---- searching ----

void RPLSearchDialog::CollectSettings() {
  // A page without its window (no extended controls) has nothing to read:
  // its criteria stay as loaded.
  for (SearchPageDialog* page : pages)
    if (page && page->m_hWnd) page->ReadSettings(&criteria);
}

void RPLSearchDialog::OnStart() {
  // A search inside a running one would destroy the list under it.
  if (searching) return;
  CollectSettings();
  UpdateTitle();
  if (criteria.path.GetLength()) {
    CItemIDList* found = nullptr;
    if (FAILED(FindEntryByName(criteria.path.GetBstr(), volume, &found)) || !found) {
      delete found;
      const CBstr text = g_resourceModule.FormatResMessage(IDS_SEARCH_NO_FOLDER, criteria.path);
      ShellUi().ShowMessageBox(m_hWnd, text.GetBstr(), g_resourceModule.LoadResString(IDS_SEARCH_FINDING).GetBstr(),
                               MB_ICONERROR);
      return;
    }
    delete found;
  }
  RestoreFileMenu();
  ShowResultView();
  if (resultView) DoSearch();
}

void RPLSearchDialog::DoSearch() {
  InterlockedExchange(&stopFlag, 0);
  searching = TRUE;
  ::EnableWindow(GetDlgItem(IDC_SEARCH_START), FALSE);
  ::EnableWindow(GetDlgItem(IDC_SEARCH_STOP), TRUE);
  for (SearchPageDialog* page : pages)
    if (page) page->DisableControls();
  if (resultView) resultView->DisableListView();
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_ANIMATION, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
  RunSearch(this, criteria.path.GetBstr(), volume, criteria);
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_ANIMATION, ACM_STOP, 0, 0);
  UpdateFoundCount();
  ::EnableWindow(GetDlgItem(IDC_SEARCH_START), TRUE);
  ::EnableWindow(GetDlgItem(IDC_SEARCH_STOP), FALSE);
  for (SearchPageDialog* page : pages)
    if (page) page->EnableControls();
  searching = FALSE;
  HWND view = nullptr;
  if (resultViewInterface && SUCCEEDED(resultViewInterface->GetWindow(&view)) && view) ::SetFocus(view);
}

void RPLSearchDialog::OnNewSearch() {
  InterlockedExchange(&stopFlag, 1);
  CBstr longText;
  DescribeSearch(criteria, &longText);
  CBstr caption = g_resourceModule.LoadResString(IDS_SEARCH_SEARCHING_FOR);
  caption.Append(L" ");
  caption.Append(longText);
  if (ShellUi().ShowMessageBox(m_hWnd, g_resourceModule.LoadResString(IDS_SEARCH_NEW_QUESTION).GetBstr(),
                               caption.GetBstr(), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  HideResultView();
  RestoreFileMenu();
  for (SearchPageDialog* page : pages)
    if (page) page->ResetControls();
}

// ---- saving and loading ----

bool RPLSearchDialog::AskFileName(bool save, wchar_t* file, UINT titleId) {
  wchar_t desktop[MAX_PATH] = {};
  LPITEMIDLIST desktopList = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopList)) && desktopList) {
    SHGetPathFromIDListW(desktopList, desktop);
    CoTaskMemFree(desktopList);
  }
  // "<description>\0*.ssc\0\0"
  const CBstr description = g_resourceModule.LoadResString(IDS_SEARCH_FILTER);
  std::wstring filter(description.GetBstr() ? description.GetBstr() : L"");
  filter.push_back(L'\0');
  filter.append(L"*.ssc");
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  const CBstr title = g_resourceModule.LoadResString(titleId);
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = m_hWnd;
  ofn.hInstance = g_resourceModule.GetModule();
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = desktop;
  ofn.lpstrTitle = title.GetBstr();
  ofn.lpstrDefExt = L"ssc";
  ofn.Flags = save ? (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY)
                   : (OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
  return (save ? ShellUi().SaveFileDialog(&ofn) : ShellUi().OpenFileDialog(&ofn)) != FALSE;
}

void RPLSearchDialog::OnSaveSearch() {
  CollectSettings();
  UpdateTitle();
  wchar_t file[MAX_PATH] = {};
  const CBstr shortText = DescribeSearch(criteria, nullptr);
  lstrcpynW(file, shortText.GetBstr() ? shortText.GetBstr() : L"", MAX_PATH);
  if (!AskFileName(true, file, IDS_SEARCH_SAVE_TITLE)) return;
  const HRESULT hr = WriteSearchConfiguration(file, criteria, resultView ? this : nullptr);
  if (FAILED(hr)) {
    const CBstr text = g_resourceModule.FormatResMessage(IDS_SEARCH_SAVE_ERROR, GetErrorText(hr));
    ShellUi().ShowMessageBox(m_hWnd, text.GetBstr(),
                             g_resourceModule.LoadResString(IDS_SEARCH_SAVE_ERROR_CAPTION).GetBstr(), MB_ICONERROR);
  }
}

void RPLSearchDialog::OnLoadSearch() {
  wchar_t file[MAX_PATH] = {};
  if (AskFileName(false, file, IDS_SEARCH_LOAD_TITLE)) LoadConfiguration(file);
}

void RPLSearchDialog::LoadConfiguration(const wchar_t* path) {
  CItemIDList** items = nullptr;
  UINT capacity = 0, count = 0;
  const HRESULT hr = ReadSearchConfiguration(&criteria, path, &items, &capacity, &count);
  if (items) {
    RestoreFileMenu();
    ShowResultView();
    for (UINT i = 0; i < count; ++i)
      if (resultView && items[i]) resultView->AddItem(items[i]->Get());
    FreeSavedItems(items, count);
  } else {
    HideResultView();
  }
  UpdateOptionChecks();
  UpdateTitle();
  UpdateFoundCount();
  for (SearchPageDialog* page : pages)
    if (page) page->LoadSettings();
  if (FAILED(hr)) {
    const CBstr text = g_resourceModule.FormatResMessage(IDS_SEARCH_LOAD_ERROR, GetErrorText(hr));
    ShellUi().ShowMessageBox(m_hWnd, text.GetBstr(),
                             g_resourceModule.LoadResString(IDS_SEARCH_LOAD_ERROR_CAPTION).GetBstr(), MB_ICONERROR);
  }
}

// ---- the window's thread and its opener ----

DWORD WINAPI SearchDialogThread(void* parameter) {
  auto* dialog = static_cast<RPLSearchDialog*>(parameter);
  InterlockedIncrement(&g_searchActivity);
  // Hold the library until this thread has left its code, so a caller may
  // unload it as soon as StartSearch returns.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&SearchDialogThread), &self);
  auto leave = [self] {
    InterlockedDecrement(&g_searchActivity);
    if (self) FreeLibraryAndExitThread(self, 0);
  };
  // A thread that failed stops counting before the opener wakes, so the
  // count is back to zero when the opener returns.
  auto fail = [dialog, self] {
    InterlockedDecrement(&g_searchActivity);
    *dialog->startResult = dialog->initResult;
    SetEvent(dialog->readyEvent);
    if (self) FreeLibraryAndExitThread(self, 0);
  };
  dialog->initResult = OleInitialize(nullptr);
  if (FAILED(dialog->initResult)) {
    fail();
    return 0;
  }
  // Calls the server rejects as busy are retried, as on every client thread.
  const bool filter = AcquireThreadMessageFilter() == S_OK;
  auto releaseFilter = [filter] {
    if (filter) ReleaseThreadMessageFilter();
  };
  dialog->initResult = CreateModuleVolume(&dialog->volume);
  if (FAILED(dialog->initResult)) {
    releaseFilter();
    OleUninitialize();
    fail();
    return 0;
  }
  InitCommonControls();
  dialog->extendedControls = InitExtendedControls();
  HWND window = dialog->Create();
  if (!window) {
    dialog->initResult = E_OUTOFMEMORY;
    dialog->volume->Release();
    dialog->volume = nullptr;
    releaseFilter();
    OleUninitialize();
    fail();
    return 0;
  }
  SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_CONTROLPARENT);
  SHGetInstanceExplorer(&dialog->explorerReference);
  ShowWindow(window, SW_SHOW);
  // The opener reads the result from its own place and owns the event: once
  // ready is signalled this thread may delete the object at any time.
  *dialog->startResult = dialog->initResult;
  SetEvent(dialog->readyEvent);
  dialog->RunMessageLoop();
  dialog->DeletePages();
  dialog->DestroyWindow();
  delete dialog;
  releaseFilter();
  OleUninitialize();
  leave();
  return 0;
}

HRESULT OpenSearchWindow(const wchar_t* configurationPath, const wchar_t* startFolder) {
  InterlockedIncrement(&g_searchActivity);
  auto done = [](HRESULT hr) {
    InterlockedDecrement(&g_searchActivity);
    return hr;
  };
  RPLSearchDialog* dialog = new (std::nothrow) RPLSearchDialog(configurationPath, startFolder);
  if (!dialog) return done(E_OUTOFMEMORY);
  if (!dialog->readyEvent) {
    delete dialog;
    return done(E_OUTOFMEMORY);
  }
  HRESULT hr = E_FAIL;
  dialog->startResult = &hr;
  const HANDLE ready = dialog->readyEvent;
  HANDLE thread = CreateThread(nullptr, 0, SearchDialogThread, dialog, 0, nullptr);
  if (!thread) {
    const DWORD error = GetLastError();
    delete dialog;
    CloseHandle(ready);
    return done(error ? HRESULT_FROM_WIN32(error) : E_FAIL);
  }
  CloseHandle(thread);
  WaitForSingleObject(ready, INFINITE);
  CloseHandle(ready);
  if (FAILED(hr)) {
    delete dialog;
    return done(hr);
  }
  return done(S_OK);
}

