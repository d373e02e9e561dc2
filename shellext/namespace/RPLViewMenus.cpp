// namespace/RPLViewMenus.cpp - the view's share of Explorer's menus and
// toolbar, the menu help line, context menus and keyboard tables.
#include "RPLView.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "SharedMenus.h"
#include "ViewActions.h"

namespace {

const UINT kFileCommandsOfBrowser[] = {40995, 40996, 40997, 40998, 41029};
const UINT kOpenParentCommand = 8300;

HMENU SubMenuById(HMENU bar, UINT id) {
  MENUITEMINFOW info = {sizeof(info), MIIM_SUBMENU};
  if (!bar || !GetMenuItemInfoW(bar, id, FALSE, &info)) return nullptr;
  return info.hSubMenu;
}

void SetItemEnabled(HMENU menu, UINT id, bool enabled) {
  if (menu) EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void InsertSeparatorBefore(HMENU menu, UINT beforeId) {
  MENUITEMINFOW info = {sizeof(info), MIIM_FTYPE};
  info.fType = MFT_SEPARATOR;
  InsertMenuItemW(menu, beforeId, FALSE, &info);
}

// Items of source, one after the other, before the item beforeId of menu.
void InsertItemsBefore(HMENU menu, UINT beforeId, HMENU source) {
  int count = source ? GetMenuItemCount(source) : 0;
  for (int i = 0; i < count; ++i) CopyMenuItem(menu, source, beforeId, FALSE, static_cast<UINT>(i), TRUE);
}

// The popup a view shows in its context menu for a holder (null: background).
int ContextPopupFor(const CItemIDList* holder, bool search, bool driveList) {
  LPCITEMIDLIST record = holder ? holder->GetItem(0) : nullptr;
  if (!record) return search ? kSearchViewPopup : driveList ? kDiskViewPopup : kViewPopup;
  if (IsDriveRootItem(record)) return search ? kSearchFolderPopup : kDiskPopup;
  if (IsFolderItem(record)) return search ? kSearchFolderPopup : kFolderPopup;
  return kFilePopup;
}

UINT ToolTipTextId(UINT command) {
  switch (command) {
    case IDM_LARGE_ICONS: return IDS_TIP_LARGE_ICONS;
    case IDM_SMALL_ICONS: return IDS_TIP_SMALL_ICONS;
    case IDM_LIST: return IDS_TIP_LIST;
    case IDM_DETAILS: return IDS_TIP_DETAILS;
    case IDM_PROPERTIES: return IDS_TIP_PROPERTIES;
    case IDM_CUT: return IDS_TIP_CUT;
    case IDM_COPY: return IDS_TIP_COPY;
    case IDM_PASTE: return IDS_TIP_PASTE;
    case IDM_DELETE: return IDS_TIP_DELETE;
    default: return 0;
  }
}

}  // namespace

bool RPLView::HasFocus() const {
  HWND focus = GetFocus();
  return m_hWnd && focus && (focus == m_hWnd || IsChild(m_hWnd, focus));
}

int RPLView::GetSelectionKind() const {
  int kind = kNothingSelected;
  if (!m_list.IsWindow()) return kind;
  for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;) {
    const CItemIDList* entry = RowEntry(row);
    LPCITEMIDLIST record = entry ? entry->GetItem(0) : nullptr;
    if (!record) continue;
    if (IsDriveRootItem(record)) {
      kind = (kind == kOneDrive || kind == kDrives) ? kDrives : kOneDrive;
    } else if (IsFolderItem(record)) {
      if (kind == kOneFile || kind == kFiles) return kFilesAndFolders;
      kind = kind == kNothingSelected ? kOneFolder : kFolders;
    } else {
      if (kind == kOneFolder || kind == kFolders) return kFilesAndFolders;
      kind = kind == kNothingSelected ? kOneFile : kFiles;
    }
  }
  return kind;
}

int RPLView::GetMenuKind() const {
  if (!HasFocus()) return kFocusOutside;
  switch (GetSelectionKind()) {
    case kOneFile:
    case kFiles: return kFileMenu;
    case kOneFolder:
    case kFolders:
    case kFilesAndFolders: return kFolderMenu;
    case kOneDrive:
    case kDrives: return kDiskMenu;
    default: return kBackgroundMenu;
  }
}

int RPLView::CurrentMode() const {
  if (!m_list.IsWindow()) return static_cast<int>(m_settings.ViewMode);
  switch (m_list.GetStyle() & LVS_TYPEMASK) {
    case LVS_ICON: return FVM_ICON;
    case LVS_SMALLICON: return FVM_SMALLICON;
    case LVS_LIST: return FVM_LIST;
    default: return FVM_DETAILS;
  }
}

HRESULT RPLView::MergeMenus() {
  RemoveMergedMenus();
  if (m_browser) {
    m_menuBar = CreateMenu();
    if (!m_menuBar) return E_FAIL;
    OLEMENUGROUPWIDTHS widths = {};
    m_browser->InsertMenusSB(m_menuBar, &widths);
    if (HMENU file = SubMenuById(m_menuBar, FCIDM_MENU_FILE)) {
      m_fileMenu = file;
      m_fileCopy = CreatePopupMenu();
      CopyMenuItems(m_fileCopy, file, static_cast<UINT>(-1), TRUE, 0, FALSE);
    }
    if (HMENU edit = SubMenuById(m_menuBar, FCIDM_MENU_EDIT)) {
      m_editMenu = edit;
      DeleteAllMenuItems(edit);
      CopyMenuItems(edit, GetSharedPopupMenu(kEditMenu), static_cast<UINT>(-1), TRUE, 0, FALSE);
      UpdateEditMenu(GetMenuKind());
    }
    if (HMENU help = SubMenuById(m_menuBar, FCIDM_MENU_HELP)) {
      m_helpMenu = help;
      CopyMenuItems(help, GetSharedPopupMenu(kHelpMenu), static_cast<UINT>(-1), TRUE, 0, FALSE);
    }
    HMENU shared = GetSharedPopupMenu(m_driveList ? kDiskViewPopup : kViewPopup);
    HMENU view = SubMenuById(m_menuBar, FCIDM_MENU_VIEW);
    if (view && shared) {
      m_viewMenu = view;
      InsertSeparatorBefore(view, FCIDM_MENU_VIEW_SEP_OPTIONS);
      InsertItemsBefore(view, FCIDM_MENU_VIEW_SEP_OPTIONS, GetSubMenu(shared, 0));
      InsertSeparatorBefore(view, FCIDM_MENU_VIEW_SEP_OPTIONS);
      wchar_t title[261] = L"";
      GetMenuStringW(shared, 2, title, 260, MF_BYPOSITION);
      m_arrangeMenu = CreatePopupMenu();
      CopyMenuItems(m_arrangeMenu, GetSubMenu(shared, 2), static_cast<UINT>(-1), TRUE, 0, FALSE);
      MENUITEMINFOW popup = {sizeof(popup), MIIM_STRING | MIIM_SUBMENU};
      popup.dwTypeData = title;
      popup.hSubMenu = m_arrangeMenu;
      InsertMenuItemW(view, FCIDM_MENU_VIEW_SEP_OPTIONS, FALSE, &popup);
      CopyMenuItem(view, shared, FCIDM_MENU_VIEW_SEP_OPTIONS, FALSE, IDM_SNAP_TO_GRID, FALSE);
    }
    HRESULT hr = m_browser->SetMenuSB(m_menuBar, nullptr, m_hWnd);
    if (FAILED(hr)) {
      // The browser's popups go with the bar; ours were put into them.
      DestroyMenu(m_menuBar);
      if (m_fileCopy) DestroyMenu(m_fileCopy);
      m_menuBar = m_fileMenu = m_fileCopy = m_editMenu = m_viewMenu = m_helpMenu = m_arrangeMenu = nullptr;
      return hr;
    }
    return S_OK;
  }
  if (!m_search) return E_UNEXPECTED;
  HMENU bar = m_search->SearchMenu();
  if (!bar) return S_OK;
  if ((m_fileMenu = GetSubMenu(bar, 0)) != nullptr) {
    m_fileCopy = CreatePopupMenu();
    CopyMenuItems(m_fileCopy, m_fileMenu, static_cast<UINT>(-1), TRUE, 0, FALSE);
  }
  if ((m_editMenu = GetSubMenu(bar, 1)) != nullptr) UpdateEditMenu(GetMenuKind());
  m_viewMenu = GetSubMenu(bar, 2);
  m_helpMenu = GetSubMenu(bar, 4);
  m_arrangeMenu = m_viewMenu ? GetSubMenu(m_viewMenu, 4) : nullptr;
  return S_OK;
}

void RPLView::RemoveMergedMenus() {
  if (m_menuBar) {
    if (m_browser) {
      m_browser->SetMenuSB(nullptr, nullptr, nullptr);
      m_browser->RemoveMenusSB(m_menuBar);
    }
    DestroyMenu(m_menuBar);
  }
  if (m_fileCopy) DestroyMenu(m_fileCopy);
  m_menuBar = m_fileMenu = m_fileCopy = m_editMenu = m_viewMenu = m_helpMenu = m_arrangeMenu = nullptr;
}

void RPLView::UpdatePasteItem(HMENU menu) const {
  SetItemEnabled(menu, IDM_PASTE, ClipboardHasPastableData());
}

void RPLView::UpdateEditMenu(int menuKind) {
  if (!m_editMenu) return;
  UpdatePasteItem(m_editMenu);
  const bool cutCopy = menuKind == kFolderMenu || menuKind == kFileMenu ||
                       (menuKind == kFocusOutside && IsOrdinaryFolder());
  SetItemEnabled(m_editMenu, IDM_CUT, cutCopy);
  SetItemEnabled(m_editMenu, IDM_COPY, cutCopy);
  if (menuKind == kFocusOutside && m_driveList) SetItemEnabled(m_editMenu, IDM_PASTE, false);
}

LRESULT RPLView::OnInitMenuPopup(UINT, WPARAM wParam, LPARAM, BOOL&) {
  HMENU popup = reinterpret_cast<HMENU>(wParam);
  if (!popup) return 0;
  if (popup == m_editMenu) UpdateEditMenu(GetMenuKind());
  else if (popup == m_fileMenu) AdjustFilePopup(popup);
  return 0;
}

void RPLView::AdjustFilePopup(HMENU file) {
  const int kind = GetMenuKind();
  DeleteAllMenuItems(file);
  CopyMenuItems(file, m_fileCopy, static_cast<UINT>(-1), TRUE, 0, FALSE);
  auto addOnTop = [file](int popup) { CopyMenuItems(file, GetSharedPopupMenu(popup), 0, TRUE, 0, FALSE); };
  if (m_search) {
    const bool none = kind == kFocusOutside || kind == kBackgroundMenu;
    for (UINT id : {static_cast<UINT>(IDM_DELETE), static_cast<UINT>(IDM_RENAME),
                    static_cast<UINT>(IDM_PROPERTIES), kOpenParentCommand})
      SetItemEnabled(file, id, !none);
    if (kind == kFolderMenu) addOnTop(kSearchFolderMenu);
    return;
  }
  if (kind == kFocusOutside) {
    addOnTop(m_driveList ? kRootMenu : m_driveRoot ? kDiskMenu : kFileMenu);
    DeleteMenu(file, 40998, MF_BYCOMMAND);
    SetItemEnabled(file, 41029, false);
    SetItemEnabled(file, 40995, false);
    SetItemEnabled(file, 40996, false);
    SetItemEnabled(file, 40997, true);
    if (!m_driveList) DeleteMenu(file, 40997, MF_BYCOMMAND);
    if (!m_driveRoot) {
      DeleteMenu(file, 40995, MF_BYCOMMAND);
      DeleteMenu(file, 40996, MF_BYCOMMAND);
      SetItemEnabled(file, IDM_RENAME, false);
    }
    return;
  }
  if (kind == kDiskMenu || kind == kFolderMenu || kind == kFileMenu || kind == kBackgroundMenu) {
    for (UINT id : kFileCommandsOfBrowser) DeleteMenu(file, id, MF_BYCOMMAND);
    addOnTop(kind);
  }
}

void RPLView::UpdateViewMenuChecks() {
  const int mode = CurrentMode();
  const bool icons = mode == FVM_ICON || mode == FVM_SMALLICON;
  HMENU shared = GetSharedPopupMenu(m_search ? kSearchViewPopup : m_driveList ? kDiskViewPopup : kViewPopup);
  HMENU modeMenus[] = {m_viewMenu, shared ? GetSubMenu(shared, 0) : nullptr};
  for (HMENU menu : modeMenus) {
    if (!menu) continue;
    for (UINT id = IDM_LARGE_ICONS; id <= IDM_DETAILS; ++id)
      CheckMenuItem(menu, id, MF_BYCOMMAND | MF_UNCHECKED);
    if (mode >= FVM_ICON && mode <= FVM_DETAILS)
      CheckMenuItem(menu, IDM_LARGE_ICONS + static_cast<UINT>(mode) - FVM_ICON, MF_BYCOMMAND | MF_CHECKED);
  }
  HMENU snapMenus[] = {m_viewMenu, shared, m_search ? nullptr : GetSharedPopupMenu(kSearchViewPopup)};
  for (HMENU menu : snapMenus) {
    if (!menu) continue;
    CheckMenuItem(menu, IDM_SNAP_TO_GRID, MF_BYCOMMAND | MF_UNCHECKED);
    SetItemEnabled(menu, IDM_SNAP_TO_GRID, icons);
  }
  const bool arranged = (m_settings.fFlags & FWF_AUTOARRANGE) != 0;
  HMENU arrangeMenus[] = {m_arrangeMenu, shared ? GetSubMenu(shared, 2) : nullptr};
  for (HMENU menu : arrangeMenus) {
    if (!menu) continue;
    SetItemEnabled(menu, IDM_AUTO_ARRANGE, icons);
    CheckMenuItem(menu, IDM_AUTO_ARRANGE, MF_BYCOMMAND | (icons && arranged ? MF_CHECKED : MF_UNCHECKED));
  }
}

HRESULT RPLView::SetViewMode(UINT listStyle) {
  UINT mode = 0;
  switch (listStyle) {
    case LVS_ICON: mode = FVM_ICON; break;
    case LVS_REPORT: mode = FVM_DETAILS; break;
    case LVS_SMALLICON: mode = FVM_SMALLICON; break;
    case LVS_LIST: mode = FVM_LIST; break;
    default: return E_INVALIDARG;
  }
  if (!m_list.IsWindow()) return E_UNEXPECTED;
  LONG_PTR style = m_list.GetStyle();
  SetWindowLongPtrW(m_list, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | listStyle);
  m_settings.ViewMode = mode;
  UpdateViewMenuChecks();
  UpdateToolbarButtons();
  return S_OK;
}

HRESULT RPLView::SetAutoArrange(bool on) {
  if (!m_list.IsWindow()) return E_UNEXPECTED;
  if (on) m_settings.fFlags |= FWF_AUTOARRANGE;
  else m_settings.fFlags &= ~static_cast<UINT>(FWF_AUTOARRANGE);
  LONG_PTR style = m_list.GetStyle();
  SetWindowLongPtrW(m_list, GWL_STYLE, on ? (style | LVS_AUTOARRANGE) : (style & ~static_cast<LONG_PTR>(LVS_AUTOARRANGE)));
  UpdateViewMenuChecks();
  return S_OK;
}

HRESULT RPLView::AddToolbarButtons() {
  if (!m_browser) return E_UNEXPECTED;
  m_browser->SetToolbarItems(nullptr, 0, FCT_MERGE);
  LRESULT result = 0;
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0, &result);
  LRESULT bitmapFlags = 0;
  if (FAILED(m_browser->SendControlMsg(FCW_TOOLBAR, TB_GETBITMAPFLAGS, 0, 0, &bitmapFlags))) bitmapFlags = 0;
  const UINT_PTR large = (bitmapFlags & TBBF_LARGE) ? 1 : 0;
  TBADDBITMAP standard = {HINST_COMMCTRL, IDB_STD_SMALL_COLOR + large};
  TBADDBITMAP views = {HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR + large};
  LRESULT standardFirst = 0, viewFirst = 0;
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&standard), &standardFirst);
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&views), &viewFirst);
  const int s = static_cast<int>(standardFirst), v = static_cast<int>(viewFirst);
  TBBUTTON buttons[10] = {
      {s + STD_CUT, IDM_CUT, 0, BTNS_BUTTON, {}, 0, 0},
      {s + STD_COPY, IDM_COPY, 0, BTNS_BUTTON, {}, 0, 0},
      {s + STD_PASTE, IDM_PASTE, 0, BTNS_BUTTON, {}, 0, 0},
      {s + STD_DELETE, IDM_DELETE, 0, BTNS_BUTTON, {}, 0, 0},
      {s + STD_PROPERTIES, IDM_PROPERTIES, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {GetSystemMetrics(SM_CXEDGE), 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
      {v + VIEW_LARGEICONS, IDM_LARGE_ICONS, TBSTATE_ENABLED, BTNS_CHECKGROUP, {}, 0, 0},
      {v + VIEW_SMALLICONS, IDM_SMALL_ICONS, TBSTATE_ENABLED, BTNS_CHECKGROUP, {}, 0, 0},
      {v + VIEW_LIST, IDM_LIST, TBSTATE_ENABLED, BTNS_CHECKGROUP, {}, 0, 0},
      {v + VIEW_DETAILS, IDM_DETAILS, TBSTATE_ENABLED, BTNS_CHECKGROUP, {}, 0, 0},
  };
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_AUTOSIZE, 0, 0, &result);
  m_browser->SetToolbarItems(buttons, 10, FCT_MERGE);
  return UpdateToolbarButtons();
}

HRESULT RPLView::UpdateToolbarButtons() {
  if (!m_browser) return E_UNEXPECTED;
  const int mode = CurrentMode();
  if (mode < FVM_ICON || mode > FVM_DETAILS) return E_UNEXPECTED;
  LRESULT result = 0;
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_CHECKBUTTON, IDM_LARGE_ICONS + mode - FVM_ICON, TRUE, &result);
  const bool focus = HasFocus();
  const bool edit = focus ? !m_driveList : (!m_driveList && !m_driveRoot);
  const bool paste = ClipboardHasPastableData() && (focus || !m_driveList);
  for (UINT id : {static_cast<UINT>(IDM_CUT), static_cast<UINT>(IDM_COPY), static_cast<UINT>(IDM_DELETE)})
    m_browser->SendControlMsg(FCW_TOOLBAR, TB_ENABLEBUTTON, id, edit, &result);
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_ENABLEBUTTON, IDM_PASTE, paste, &result);
  return S_OK;
}

LRESULT RPLView::OnToolTipText(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  if (!header || (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW)) {
    handled = FALSE;
    return 0;
  }
  const UINT textId = ToolTipTextId(static_cast<UINT>(header->idFrom));
  CBstr text = textId ? g_resourceModule.LoadResString(textId) : CBstr();
  const wchar_t* wide = text.GetBstr() ? text.GetBstr() : L"";
  if (header->code == TTN_GETDISPINFOW) {
    lstrcpynW(m_tipText, wide, 260);
    reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = m_tipText;
  } else {
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, m_tipTextNarrow, 260, nullptr, nullptr)) m_tipTextNarrow[0] = 0;
    m_tipTextNarrow[259] = 0;
    reinterpret_cast<NMTTDISPINFOA*>(header)->lpszText = m_tipTextNarrow;
  }
  return 0;
}

LRESULT RPLView::OnMenuSelect(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (!m_browser) return 0;
  const UINT flags = HIWORD(wParam), item = LOWORD(wParam);
  HMENU menu = reinterpret_cast<HMENU>(lParam);
  CBstr text;
  if (flags != 0xFFFF && (flags & MF_HILITE)) {
    if (flags & MF_POPUP) {
      if (menu && menu == m_viewMenu && m_arrangeMenu && GetSubMenu(menu, static_cast<int>(item)) == m_arrangeMenu)
        text = g_resourceModule.LoadResString(IDS_HELP_ARRANGE_ICONS);
    } else {
      // The string with the about command's id is another text.
      text = g_resourceModule.LoadResString(item == IDM_ABOUT ? IDS_HELP_ABOUT : item);
    }
  }
  LRESULT result = 0;
  if (SUCCEEDED(m_browser->SendControlMsg(FCW_STATUS, SB_SIMPLE, TRUE, 0, &result)))
    m_browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, SB_SIMPLEID | SBT_NOBORDERS,
                              reinterpret_cast<LPARAM>(text.GetBstr() ? text.GetBstr() : L""), &result);
  return 0;
}

LRESULT RPLView::OnExitMenuLoop(UINT, WPARAM, LPARAM, BOOL&) {
  LRESULT result = 0;
  if (m_browser) m_browser->SendControlMsg(FCW_STATUS, SB_SIMPLE, FALSE, 0, &result);
  return 0;
}

void RPLView::ShowContextMenu(const CItemIDList* holder, int x, int y) {
  m_contextHolder.Free();
  if (holder) m_contextHolder.CopyFrom(*holder);
  m_contextItem = m_contextHolder.IsEmpty() ? nullptr : &m_contextHolder;
  const int index = ContextPopupFor(m_contextItem, m_search != nullptr, m_driveList);
  HMENU menu = GetSharedPopupMenu(index);
  UINT command = 0;
  if (menu) {
    if (index == kDiskViewPopup || index == kViewPopup || index == kDiskPopup || index == kFolderPopup)
      UpdatePasteItem(menu);
    const UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY;
    if (m_search) {
      command = ShellUi().TrackMenu(menu, flags, x, y, m_search->SearchWindow());
      m_search->ResetSearchStatus();
    } else {
      command = ShellUi().TrackMenu(menu, flags, x, y, m_hWnd);
      LRESULT result = 0;
      if (m_browser) m_browser->SendControlMsg(FCW_STATUS, SB_SIMPLE, FALSE, 0, &result);
    }
  }
  // The command may end in a browse that lets go of this view.
  AddRef();
  if (command) {
    BOOL handled = TRUE;
    OnCommand(0, static_cast<WORD>(command), nullptr, handled);
  }
  m_hitRow = -1;
  m_contextItem = nullptr;
  m_contextHolder.Free();
  Release();
}

LRESULT RPLView::OnRightClick(POINT client) {
  POINT screen = client;
  ClientToScreen(m_list, &screen);
  m_hitRow = RowUnder(client, LVHT_ONITEMICON | LVHT_ONITEMLABEL);
  ShowContextMenu(RowEntry(m_hitRow), screen.x, screen.y);
  return 0;
}

// The Apps key and Shift+F10.
void RPLView::ContextMenuCommand() {
  if (!m_list.IsWindow()) return;
  int row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
  POINT point = {};
  if (row >= 0 && m_list.SendMessage(LVM_GETITEMPOSITION, row, reinterpret_cast<LPARAM>(&point)))
    ClientToScreen(m_list, &point);
  else
    GetCursorPos(&point);
  point.x += GetSystemMetrics(SM_CXSMICON) / 2;
  point.y += GetSystemMetrics(SM_CYSMICON) / 2;
  m_hitRow = row;
  ShowContextMenu(RowEntry(row), point.x, point.y);
}

HRESULT RPLView::TranslateAccelerator(MSG* message) {
  if (!message) return E_POINTER;
  HACCEL table = HasFocus() ? m_focusKeys : m_otherKeys;
  if (!table) return E_UNEXPECTED;
  return m_hWnd && ::TranslateAcceleratorW(m_hWnd, table, message) ? S_OK : S_FALSE;
}
