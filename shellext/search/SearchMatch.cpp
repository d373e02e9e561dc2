// search/SearchMatch.cpp - name, type, size and date criteria.
#include "SearchMatch.h"
#include "SuiteUtil.h"

bool MatchesName(const SearchSettings& criteria, const SearchRecord& record) {
  const CBstr& name = criteria.name;
  if (!name.GetLength()) return true;
  CBstr pattern;
  if (wcschr(name.GetBstr(), L'*')) {
    pattern = name;
  } else {
    pattern = L"*";
    pattern.Append(name);
    pattern.Append(L"*");
  }
  return MatchWildcard(record.LastComponent(), pattern, criteria.caseSensitive) != FALSE;
}

bool MatchesType(const SearchSettings& criteria, const SearchRecord& record) {
  const CBstr& types = criteria.typePattern;
  if (!types.GetLength() || CompareText(types.GetBstr(), L"*", TRUE) == 0) return true;
  const CBstr last = record.LastComponent();
  const int pieces = types.CountFields(L'|');
  for (int i = 0; i < pieces; ++i)
    if (MatchWildcard(last, types.GetField(L'|', i), FALSE)) return true;
  return false;
}

bool MatchesSize(const SearchSettings& criteria, const SearchRecord& record) {
  if (criteria.limit < 0) return true;
  const ULONGLONG size = record.size;
  const ULONGLONG bound = static_cast<ULONGLONG>(criteria.limit) * 1024;
  switch (criteria.sizeType) {
    case 1: return criteria.limit == 0 ? size != 0 : size >= bound;
    case 2: return criteria.limit != 0 && size <= bound;
    default: return true;
  }
}

namespace {

DATE RecordDate(const SearchSettings& criteria, const SearchRecord& record) {
  switch (criteria.dateType) {
    case 1: return record.created;
    case 2: return record.accessed;
    default: return record.lastWrite;
  }
}

// Days since a fixed origin of the calendar date in fields.
bool DayNumber(SYSTEMTIME fields, ULONGLONG* day) {
  fields.wHour = fields.wMinute = fields.wSecond = fields.wMilliseconds = 0;
  FILETIME time;
  if (!SystemTimeToFileTime(&fields, &time)) return false;
  *day = ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 864000000000ull;
  return true;
}

}  // namespace

bool MatchesDate(const SearchSettings& criteria, const SearchRecord& record, const SYSTEMTIME& localNow) {
  if (!criteria.considerDates) return true;
  const DATE date = RecordDate(criteria, record);
  switch (criteria.timeType) {
    case 0: {
      DATE lower = 0, higher = 0;
      return SystemTimeToDate(criteria.lowerDate, &lower) && SystemTimeToDate(criteria.higherDate, &higher) &&
             lower <= date && date <= higher;
    }
    case 1:
    case 2: {
      DATE now = 0;
      SYSTEMTIME when;
      if (!SystemTimeToDate(localNow, &now) || date > now || !DateToSystemTime(date, &when)) return false;
      if (criteria.timeType == 1) {
        int months = (localNow.wYear - when.wYear) * 12 + (localNow.wMonth - when.wMonth);
        if (localNow.wDay > when.wDay) ++months;
        return months <= criteria.months;
      }
      ULONGLONG today = 0, day = 0;
      if (!DayNumber(localNow, &today) || !DayNumber(when, &day) || day > today) return false;
      return criteria.days >= 0 && today - day <= static_cast<ULONGLONG>(criteria.days);
    }
    default:
      return true;
  }
}
