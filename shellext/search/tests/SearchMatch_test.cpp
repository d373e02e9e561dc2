// Name, type, size and date criteria against single entries.
#include <gtest/gtest.h>
#include "SearchMatch.h"
#include "SearchTestSupport.h"
#include "SuiteUtil.h"

namespace {

SearchRecord Named(const wchar_t* name, DWORD size = 10) {
  SearchRecord record;
  record.name = name;
  record.size = size;
  return record;
}

TEST(MatchesName, TheNameIsAPartUnlessItHasAStar) {
  const struct {
    const wchar_t* pattern;
    const wchar_t* name;
    BOOL caseSensitive;
    bool match;
  } cases[] = {
      {L"", L"\\A:\\anything", FALSE, true},
      {L"abc", L"\\A:\\dir\\xabcx.txt", FALSE, true},
      {L"abc*", L"\\A:\\xabc", FALSE, false},
      {L"abc*", L"\\A:\\abcd", FALSE, true},
      {L"a?c", L"\\A:\\xabcx", FALSE, true},
      {L"ABC", L"\\A:\\xabcx", FALSE, true},
      {L"ABC", L"\\A:\\xabcx", TRUE, false},
      {L"dir", L"\\A:\\dir\\file", FALSE, false},   // only the last component
  };
  for (const auto& c : cases) {
    SearchSettings criteria(&EnglishTexts());
    criteria.name = c.pattern;
    criteria.caseSensitive = c.caseSensitive;
    EXPECT_EQ(c.match, MatchesName(criteria, Named(c.name))) << c.pattern << L" " << c.name;
  }
}

TEST(MatchesType, AnyPatternMatchesAndCaseNeverCounts) {
  const struct {
    const wchar_t* patterns;
    const wchar_t* name;
    bool match;
  } cases[] = {
      {L"*.txt|*.log", L"\\A:\\a.LOG", true},
      {L"*.txt|*.log", L"\\A:\\a.TXT", true},
      {L"*.txt|*.log", L"\\A:\\a.jar", false},
      {L"*", L"\\A:\\a.jar", true},
      {L"", L"\\A:\\a.jar", true},
      {L"*.jar", L"\\A:\\jar\\x.jad", false},
  };
  for (const auto& c : cases) {
    SearchSettings criteria(&EnglishTexts());
    criteria.typePattern = c.patterns;
    criteria.caseSensitive = TRUE;
    EXPECT_EQ(c.match, MatchesType(criteria, Named(c.name))) << c.patterns << L" " << c.name;
  }
}

TEST(MatchesSize, LimitsInKilobytesCompareUnsigned) {
  const struct {
    int sizeType;
    int limit;
    DWORD size;
    bool match;
  } cases[] = {
      {1, 0, 1, true},      {1, 0, 0, false},        {2, 0, 0, false},    {2, 0, 1, false},
      {2, 1, 1024, true},   {2, 1, 1025, false},     {1, 1, 1024, true},  {1, 1, 1023, false},
      {1, 1, 3000000000u, true},                      {2, 999999, 3000000000u, false},
      {0, 5, 0, true},      {1, -1, 0, true},        {2, 4194304, 0xFFFFFFFFu, true}, {2, 4194303, 0xFFFFFFFFu, false},
  };
  for (const auto& c : cases) {
    SearchSettings criteria(&EnglishTexts());
    criteria.sizeType = c.sizeType;
    criteria.limit = c.limit;
    EXPECT_EQ(c.match, MatchesSize(criteria, Named(L"\\A:\\f", c.size)))
        << c.sizeType << " " << c.limit << " " << c.size;
  }
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour = 12, WORD minute = 0, WORD ms = 0) {
  SYSTEMTIME time = {};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wMilliseconds = ms;
  return time;
}

DATE Date(const SYSTEMTIME& time) {
  DATE date = 0;
  EXPECT_TRUE(SystemTimeToDate(time, &date));
  return date;
}

TEST(MatchesDate, PreviousMonthsDaysAndBetween) {
  const SYSTEMTIME march15 = At(2024, 3, 15, 12);
  const SYSTEMTIME justAfterMidnight = At(2024, 3, 15, 0, 30);
  const struct {
    const char* what;
    int timeType;
    int count;
    SYSTEMTIME now;
    SYSTEMTIME file;
    bool match;
  } cases[] = {
      {"a month back to the day", 1, 1, march15, At(2024, 2, 15, 23), true},
      {"a month and a day back", 1, 1, march15, At(2024, 2, 14), false},
      {"months over a year end", 1, 3, march15, At(2023, 12, 20), true},
      {"months: tomorrow", 1, 999, march15, At(2024, 3, 16), false},
      {"months: later today", 1, 999, march15, At(2024, 3, 15, 13), false},
      {"days: same local day just after midnight", 2, 0, justAfterMidnight, At(2024, 3, 15, 0, 10), true},
      {"days: yesterday late", 2, 0, justAfterMidnight, At(2024, 3, 14, 23, 50), false},
      {"days: yesterday within one", 2, 1, justAfterMidnight, At(2024, 3, 14, 1), true},
      {"days: over a leap day", 2, 15, march15, At(2024, 2, 29), true},
      {"days: tomorrow", 2, 999, march15, At(2024, 3, 16), false},
  };
  for (const auto& c : cases) {
    SearchSettings criteria(&EnglishTexts());
    criteria.considerDates = TRUE;
    criteria.timeType = c.timeType;
    criteria.months = c.count;
    criteria.days = c.count;
    SearchRecord record = Named(L"\\A:\\f");
    record.lastWrite = Date(c.file);
    EXPECT_EQ(c.match, MatchesDate(criteria, record, c.now)) << c.what;
  }
}

TEST(MatchesDate, EqualBoundsCoverTheWholeDayOfTheChosenDate) {
  SearchSettings criteria(&EnglishTexts());
  criteria.considerDates = TRUE;
  criteria.timeType = 0;
  criteria.dateType = 1;   // created
  criteria.lowerDate = At(2024, 3, 5, 0, 0);
  criteria.higherDate = At(2024, 3, 5, 23, 59);
  criteria.higherDate.wSecond = 59;
  criteria.higherDate.wMilliseconds = 999;
  const SYSTEMTIME now = At(2030, 1, 1);
  const struct { SYSTEMTIME created; bool match; } cases[] = {
      {At(2024, 3, 5, 0, 0), true}, {At(2024, 3, 5, 23, 59), true}, {At(2024, 3, 4, 23, 59), false},
      {At(2024, 3, 6, 0, 0), false}};
  for (const auto& c : cases) {
    SearchRecord record = Named(L"\\A:\\f");
    record.created = Date(c.created);
    record.lastWrite = Date(At(2024, 3, 5));   // not the chosen date
    EXPECT_EQ(c.match, MatchesDate(criteria, record, now)) << c.created.wDay << " " << c.created.wHour;
  }
  criteria.considerDates = FALSE;
  EXPECT_TRUE(MatchesDate(criteria, Named(L"\\A:\\f"), now));
}

}  // namespace
