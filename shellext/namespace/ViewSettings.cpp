// namespace/ViewSettings.cpp - reading Explorer's settings for the view.
#include "ViewSettings.h"
#include <commctrl.h>
#include "ModuleEntry.h"
#include "Seams.h"

namespace {

const wchar_t kExplorerKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const wchar_t kAdvancedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const wchar_t kInternetMainKey[] = L"Software\\Microsoft\\Internet Explorer\\Main";

HKEY OpenUserKey(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(ShellRegistryRoots().currentUser, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

enum class Dword { Missing, Present };

// A REG_DWORD value; any other type counts as missing.
Dword QueryDword(HKEY key, const wchar_t* name, DWORD* value) {
  DWORD type = 0, bytes = sizeof(*value);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD || bytes != sizeof(*value))
    return Dword::Missing;
  return Dword::Present;
}

// An Advanced DWORD that is on unless present and 0.
bool AdvancedFlagOn(const wchar_t* name) {
  HKEY key = OpenUserKey(kAdvancedKey);
  if (!key) return true;
  DWORD value = 0;
  bool on = QueryDword(key, name, &value) == Dword::Missing || value != 0;
  RegCloseKey(key);
  return on;
}

// The shell's show-all-objects flag: bit 0 of the word at byte 4.
bool ShellStateShowsAll() {
  HKEY key = OpenUserKey(kExplorerKey);
  if (!key) return true;
  BYTE state[256] = {};
  DWORD type = 0, bytes = sizeof(state);
  LONG status = RegQueryValueExW(key, L"ShellState", nullptr, &type, state, &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_BINARY || bytes < 8) return true;
  return (state[4] & 1) != 0;
}

}  // namespace

bool ReadShowHidden() {
  HKEY key = OpenUserKey(kAdvancedKey);
  if (!key) return ShellStateShowsAll();
  DWORD value = 0;
  bool show = QueryDword(key, L"Hidden", &value) == Dword::Missing || value == 1;
  RegCloseKey(key);
  return show;
}

bool ReadShowSystem() { return AdvancedFlagOn(L"Hidden"); }
bool ReadShowSuperHidden() { return AdvancedFlagOn(L"ShowSuperHidden"); }

ListingSettings ReadListingSettings() { return {ReadShowHidden(), ReadShowSystem(), ReadShowSuperHidden()}; }

bool IsEntryShown(ULONG attributes, const ListingSettings& settings) {
  bool hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  bool system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
  if (hidden && !settings.showHidden) return false;
  if (system && !settings.showSystem) return false;
  if (hidden && system && !settings.showSuperHidden) return false;
  return true;
}

DWORD GetListViewExStyle() {
  if (!HasExtendedListView()) return 0;
  if (!ShellSettings().SingleClickOpens()) return LVS_EX_HEADERDRAGDROP;
  const DWORD singleClick = LVS_EX_ONECLICKACTIVATE | LVS_EX_TRACKSELECT | LVS_EX_HEADERDRAGDROP;
  HKEY key = OpenUserKey(kExplorerKey);
  if (!key) return singleClick;
  DWORD underline = 0, bytes = sizeof(underline);
  LONG status = RegQueryValueExW(key, L"IconUnderline", nullptr, nullptr, reinterpret_cast<BYTE*>(&underline), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || bytes != sizeof(underline)) return singleClick;
  if (underline == 2) return singleClick | LVS_EX_UNDERLINEHOT;
  key = OpenUserKey(kInternetMainKey);
  if (!key) return singleClick;
  wchar_t anchor[17] = {};
  bytes = 32;
  status = RegQueryValueExW(key, L"Anchor Underline", nullptr, nullptr, reinterpret_cast<BYTE*>(anchor), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return singleClick;
  anchor[16] = 0;
  if (lstrcmpiW(anchor, L"hover") == 0) return singleClick | LVS_EX_UNDERLINEHOT;
  if (lstrcmpiW(anchor, L"yes") == 0) return singleClick | LVS_EX_UNDERLINECOLD;
  return singleClick;
}
