// search/SearchHistory.cpp - the searched-names history.
#include "SearchHistory.h"
#include <cwchar>
#include "Registry.h"
#include "Seams.h"
#include "Settings.h"

namespace {

void ValueName(int index, wchar_t* name, size_t capacity) { swprintf(name, capacity, L"%ls%d", L"Searched", index); }

}  // namespace

void LoadSearchHistory(SearchHistory* history) {
  ZeroMemory(history->entries, sizeof(history->entries));
  CRegistryKey key;
  if (key.Open(ShellRegistryRoots().currentUser, kSuiteKeyPath, KEY_READ) != ERROR_SUCCESS) return;
  for (int i = 0; i < kSearchHistorySize; ++i) {
    wchar_t name[16];
    ValueName(i, name, ARRAYSIZE(name));
    // One unit of room past the 520 bytes, so that a value of exactly that
    // size without its terminator still reads; the entry is cut to 259.
    wchar_t value[kSearchHistoryChars + 1] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(value);
    wchar_t* entry = history->entries[i];
    entry[0] = 0;
    if (key.QueryValue(name, &type, value, &bytes) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
      continue;
    value[bytes / sizeof(wchar_t) < kSearchHistoryChars ? bytes / sizeof(wchar_t) : kSearchHistoryChars - 1] = 0;
    lstrcpynW(entry, value, kSearchHistoryChars);
  }
}

void SaveSearchHistory(SearchHistory* history, const wchar_t* text) {
  if (!text || !text[0]) return;
  wchar_t searched[kSearchHistoryChars];
  lstrcpynW(searched, text, kSearchHistoryChars);
  int k = kSearchHistorySize;
  for (int i = 0; i < kSearchHistorySize; ++i)
    if (lstrcmpiW(history->entries[i], searched) == 0) {
      k = i + 1;
      break;
    }
  for (int i = k - 1; i > 0; --i) lstrcpynW(history->entries[i], history->entries[i - 1], kSearchHistoryChars);
  lstrcpynW(history->entries[0], searched, kSearchHistoryChars);

  CRegistryKey key;
  if (key.Create(ShellRegistryRoots().currentUser, kSuiteKeyPath, KEY_WRITE) != ERROR_SUCCESS) return;
  for (int i = 0; i < kSearchHistorySize; ++i) {
    wchar_t name[16];
    ValueName(i, name, ARRAYSIZE(name));
    key.SetString(name, history->entries[i]);
  }
}
