// testsupport/ControlReaders.cpp
#include "ControlReaders.h"

int ListViewCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListViewText(HWND list, int item, int column) {
  wchar_t text[1024] = {};
  LVITEMW lvItem = {};
  lvItem.iSubItem = column;
  lvItem.pszText = text;
  lvItem.cchTextMax = 1024;
  LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvItem));
  return std::wstring(lvItem.pszText ? lvItem.pszText : text, static_cast<size_t>(length > 0 ? length : 0));
}

std::vector<std::wstring> ListViewColumn(HWND list, int column) {
  std::vector<std::wstring> texts;
  for (int i = 0, count = ListViewCount(list); i < count; ++i) texts.push_back(ListViewText(list, i, column));
  return texts;
}

std::vector<int> ListViewSelection(HWND list) {
  std::vector<int> items;
  int item = -1;
  while ((item = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(item), LVNI_SELECTED))) >= 0)
    items.push_back(item);
  return items;
}

int ListViewFocused(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void ListViewSelect(HWND list, const std::vector<int>& items) {
  LVITEMW clear = {};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  for (size_t i = 0; i < items.size(); ++i) {
    LVITEMW set = {};
    set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    set.state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(items[i]), reinterpret_cast<LPARAM>(&set));
  }
}

int ListViewColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring ListViewColumnTitle(HWND list, int column) {
  wchar_t text[256] = {};
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT;
  info.pszText = text;
  info.cchTextMax = 256;
  if (!SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info))) return L"";
  return text;
}

std::wstring StatusBarText(HWND status, int part) {
  LRESULT info = SendMessageW(status, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
  std::wstring text(LOWORD(info) + 1, L'\0');
  SendMessageW(status, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(LOWORD(info));
  return text;
}

int StatusBarParts(HWND status) { return static_cast<int>(SendMessageW(status, SB_GETPARTS, 0, 0)); }

std::vector<std::wstring> MenuTexts(HMENU menu) {
  std::vector<std::wstring> texts;
  for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 255;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    texts.push_back(info.fType & MFT_SEPARATOR ? L"-" : text);
  }
  return texts;
}

HMENU FindPopup(HMENU menu, UINT popupId) {
  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_SUBMENU;
  if (!GetMenuItemInfoW(menu, popupId, FALSE, &info)) return nullptr;
  return info.hSubMenu;
}

std::vector<UINT> MenuIds(HMENU menu) {
  std::vector<UINT> ids;
  for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) ids.push_back(GetMenuItemID(menu, i));
  return ids;
}

int MenuItemState(HMENU menu, UINT id) {
  UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
  return state == static_cast<UINT>(-1) ? -1 : static_cast<int>(state);
}

LRESULT SendCommand(HWND window, UINT id, UINT code, HWND control) {
  return SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT SendNotify(HWND window, HWND control, UINT code, NMHDR* extra) {
  NMHDR bare = {};
  NMHDR* header = extra ? extra : &bare;
  header->hwndFrom = control;
  header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  header->code = code;
  return SendMessageW(window, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}
