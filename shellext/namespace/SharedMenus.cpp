// namespace/SharedMenus.cpp - the shared menu and the menu item helpers.
#include "SharedMenus.h"
#include <initializer_list>
#include "ModuleEntry.h"
#include "ResourceModule.h"
#include "NamespaceIds.h"

namespace {

// The View sub-menus show which view mode is on with a radio mark, and the
// drive and folder menus name the command a double click runs.
void AdjustSharedMenu(HMENU menu) {
  for (int popup : {kViewPopup, kDiskViewPopup}) {
    HMENU view = GetSubMenu(GetSubMenu(menu, popup), 0);
    for (UINT id = IDM_LARGE_ICONS; id <= IDM_DETAILS; ++id) {
      MENUITEMINFOW info = {sizeof(info), MIIM_FTYPE};
      if (!GetMenuItemInfoW(view, id, FALSE, &info)) continue;
      info.fType |= MFT_RADIOCHECK;
      SetMenuItemInfoW(view, id, FALSE, &info);
    }
  }
  for (int popup : {kDiskMenu, kFolderMenu, kSearchFolderMenu})
    SetMenuItemDefault(GetSubMenu(menu, popup), IDM_OPEN);
  for (int popup : {kDiskPopup, kFolderPopup, kSearchFolderPopup})
    SetMenuItemDefault(GetSubMenu(menu, popup), IDM_EXPLORE);
}

// The handle lives with the library's state, which frees it at detach.
HMENU LoadedSharedMenu() {
  if (!SharedMenu()) {
    HMENU menu = g_resourceModule.LoadMenu(IDR_SHARED_MENU);
    if (menu) AdjustSharedMenu(menu);
    SetSharedMenu(menu);
  }
  return SharedMenu();
}

}  // namespace

HMENU GetSharedPopupMenu(int index) {
  HMENU menu = LoadedSharedMenu();
  return menu ? GetSubMenu(menu, index) : nullptr;
}

HMENU GetSharedNestedPopup(int index, int subIndex) {
  HMENU popup = GetSharedPopupMenu(index);
  return popup ? GetSubMenu(popup, subIndex) : nullptr;
}

bool GetSharedMenuString(wchar_t* buffer, int size, int popupIndex, int position) {
  HMENU popup = GetSharedPopupMenu(popupIndex);
  if (!popup || !buffer || size <= 0) return false;
  return GetMenuStringW(popup, position, buffer, size, MF_BYPOSITION) > 0;
}

void FreeSharedMenu() {
  if (HMENU menu = SharedMenu()) DestroyMenu(menu);
  SetSharedMenu(nullptr);
}

void CopyMenuItem(HMENU target, HMENU source, UINT targetPosition, BOOL targetByPosition,
                  UINT sourcePosition, BOOL sourceByPosition) {
  wchar_t text[261] = L"";
  MENUITEMINFOW info = {sizeof(info), MIIM_STATE | MIIM_ID | MIIM_FTYPE | MIIM_DATA};
  if (!GetMenuItemInfoW(source, sourcePosition, sourceByPosition, &info)) return;
  if (!(info.fType & MFT_SEPARATOR)) {
    info.fMask |= MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 260;
    if (!GetMenuItemInfoW(source, sourcePosition, sourceByPosition, &info)) return;
  }
  InsertMenuItemW(target, targetPosition, targetByPosition, &info);
}

void CopyMenuItems(HMENU target, HMENU source, UINT targetPosition, BOOL targetByPosition,
                   UINT startPosition, BOOL stopAtSeparator) {
  if (!target || !source) return;
  int count = GetMenuItemCount(source);
  if (count < 0 || startPosition >= static_cast<UINT>(count)) return;
  for (UINT position = startPosition; position < static_cast<UINT>(count); ++position) {
    UINT at = targetPosition;
    if (targetByPosition && targetPosition == 0) at = position;
    if (targetByPosition && targetPosition == static_cast<UINT>(-1))
      at = static_cast<UINT>(GetMenuItemCount(target));
    if (stopAtSeparator && targetByPosition && position == static_cast<UINT>(count - 1)) {
      MENUITEMINFOW last = {sizeof(last), MIIM_FTYPE};
      MENUITEMINFOW there = {sizeof(there), MIIM_FTYPE};
      // Two separators side by side would show as a double line.
      if (GetMenuItemInfoW(source, position, TRUE, &last) && (last.fType & MFT_SEPARATOR) &&
          GetMenuItemInfoW(target, at, TRUE, &there) && (there.fType & MFT_SEPARATOR))
        break;
    }
    CopyMenuItem(target, source, at, targetByPosition, position, TRUE);
  }
}

void DeleteAllMenuItems(HMENU menu) {
  for (int position = GetMenuItemCount(menu) - 1; position >= 0; --position)
    DeleteMenu(menu, position, MF_BYPOSITION);
}

void SetMenuItemDefault(HMENU menu, UINT commandId) {
  wchar_t text[261] = L"";
  MENUITEMINFOW info = {sizeof(info), MIIM_STATE | MIIM_STRING};
  info.dwTypeData = text;
  info.cch = 260;
  if (!GetMenuItemInfoW(menu, commandId, FALSE, &info)) return;
  info.fState |= MFS_DEFAULT;
  info.dwTypeData = text;
  SetMenuItemInfoW(menu, commandId, FALSE, &info);
}

void SetMenuItemState(HMENU menu, UINT commandId, BOOL enabled, BOOL checked) {
  MENUITEMINFOW info = {sizeof(info), MIIM_STATE};
  info.fState = enabled ? 0 : MFS_DISABLED;   // MFS_DISABLED is grayed and disabled (3)
  if (checked) info.fState |= MFS_CHECKED;
  SetMenuItemInfoW(menu, commandId, FALSE, &info);
}
