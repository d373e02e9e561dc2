// testsupport/ControlReaders.h - what tests read of controls and menus in this process, and the
// messages they send as the user's actions would.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

int ListViewCount(HWND list);
std::wstring ListViewText(HWND list, int item, int column = 0);
// Column texts of every row.
std::vector<std::wstring> ListViewColumn(HWND list, int column = 0);
std::vector<int> ListViewSelection(HWND list);
int ListViewFocused(HWND list);
// Selects exactly these rows (the first gets the focus), as a click would.
void ListViewSelect(HWND list, const std::vector<int>& items);
int ListViewColumnCount(HWND list);
std::wstring ListViewColumnTitle(HWND list, int column);

std::wstring StatusBarText(HWND status, int part);
int StatusBarParts(HWND status);

// A menu's item texts ("-" for a separator); in the popup with this command
// id when popupId is given (looked up in menu's own items).
std::vector<std::wstring> MenuTexts(HMENU menu);
HMENU FindPopup(HMENU menu, UINT popupId);
std::vector<UINT> MenuIds(HMENU menu);
// MF_GRAYED / MF_CHECKED ... of the item with this command id; -1 when none.
int MenuItemState(HMENU menu, UINT id);

LRESULT SendCommand(HWND window, UINT id, UINT code = 0, HWND control = nullptr);
// WM_NOTIFY from control (its id and handle) with this code; extra is an
// NMHDR-headed structure (or null for a bare NMHDR).
LRESULT SendNotify(HWND window, HWND control, UINT code, NMHDR* extra = nullptr);
