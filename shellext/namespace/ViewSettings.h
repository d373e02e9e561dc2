// namespace/ViewSettings.h - Explorer's settings the view follows: which
// hidden and system entries it lists and the list's click and underline style.
// Read from the current user's root of ShellRegistryRoots().
#pragma once
#include <windows.h>

bool ReadShowHidden();
bool ReadShowSystem();
bool ReadShowSuperHidden();

struct ListingSettings {
  bool showHidden;
  bool showSystem;
  bool showSuperHidden;
};
ListingSettings ReadListingSettings();
// Whether an entry with these attributes is listed under the settings.
bool IsEntryShown(ULONG attributes, const ListingSettings& settings);

// Extended list-view style bits for the lists (0 on an old comctl32).
DWORD GetListViewExStyle();
