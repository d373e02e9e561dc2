// search/SearchHistory.h - the last five searched names, kept in the
// registry as "Searched0" (most recent) to "Searched4".
#pragma once
#include <windows.h>

constexpr int kSearchHistorySize = 5;
constexpr int kSearchHistoryChars = 260;   // with the terminator

struct SearchHistory {
  wchar_t entries[kSearchHistorySize][kSearchHistoryChars];
};

// Reads the five values under the suite key of the current user root
// (ShellRegistryRoots); missing, unreadable or non-string values are empty.
void LoadSearchHistory(SearchHistory* history);
// Puts text first (an entry equal to it, ignoring case, moves up; else the
// oldest falls out) and writes all five values; registry failures are silent.
// Empty text changes nothing.
void SaveSearchHistory(SearchHistory* history, const wchar_t* text);
