// search/SearchMatch.h - the criteria a module entry must meet, as pure
// functions of the criteria and the entry.
#pragma once
#include <windows.h>
#include "SearchSettings.h"

// The name is a part of the last name component unless it has a '*'.
bool MatchesName(const SearchSettings& criteria, const SearchRecord& record);
// Any of the '|'-separated patterns, never case sensitive.
bool MatchesType(const SearchSettings& criteria, const SearchRecord& record);
// Minimum or maximum in KB; sizes compare unsigned.
bool MatchesSize(const SearchSettings& criteria, const SearchRecord& record);
// localNow is the local time of the search; an entry dated after it matches
// neither "previous" form. Days count local calendar days.
bool MatchesDate(const SearchSettings& criteria, const SearchRecord& record, const SYSTEMTIME& localNow);
