// namespace/SharedMenus.h - the shared menu (popups of the view, the folder's
// context menus, the drop menu) and the routines that copy and set menu items.
#pragma once
#include <windows.h>

// Positions of the shared menu's popups.
enum SharedPopup {
  kDiskViewPopup = 0, kViewPopup, kDiskPopup, kFilePopup, kFolderPopup, kEditMenu, kHelpMenu,
  kDiskMenu, kFolderMenu, kSearchViewPopup, kDropMenu, kRootPopup, kFileMenu, kBackgroundMenu,
  kRootMenu, kSearchFolderMenu, kSearchFolderPopup, kSharedPopupCount
};

// Loaded on first use in the chosen language and kept until process detach;
// null when the menu cannot be loaded.
HMENU GetSharedPopupMenu(int index);
HMENU GetSharedNestedPopup(int index, int subIndex);
bool GetSharedMenuString(wchar_t* buffer, int size, int popupIndex, int position);
// Process detach (and tests, which load it again in another language).
void FreeSharedMenu();

void CopyMenuItem(HMENU target, HMENU source, UINT targetPosition, BOOL targetByPosition,
                  UINT sourcePosition, BOOL sourceByPosition);
// A target position 0 (by position) follows the source position, -1 appends.
void CopyMenuItems(HMENU target, HMENU source, UINT targetPosition, BOOL targetByPosition,
                   UINT startPosition, BOOL stopAtSeparator);
void DeleteAllMenuItems(HMENU menu);
void SetMenuItemDefault(HMENU menu, UINT commandId);
void SetMenuItemState(HMENU menu, UINT commandId, BOOL enabled, BOOL checked);
