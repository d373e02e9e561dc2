// Numbers, sizes and dates in the user's locale (English (US) under the test runner).
#include <gtest/gtest.h>
#include <string>
#include "DisplayText.h"
#include "ErrorText.h"
#include "FakeVolume.h"

namespace {

bool IsEnglishUs() { return GetUserDefaultLCID() == MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT); }

std::wstring Text(const CBstr& text) { return text.GetBstr() ? std::wstring(text.GetBstr(), text.GetLength()) : L""; }

DATE MakeDate(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0) {
  SYSTEMTIME st = {year, month, 0, day, hour, minute, second, ms};
  DATE date = 0;
  EXPECT_TRUE(FieldsToDate(st, &date));
  return date;
}

TEST(FormatGroupedNumber, GroupsInThrees) {
  if (!IsEnglishUs()) GTEST_SKIP() << "locale " << GetUserDefaultLCID();
  EXPECT_EQ(L"-1,234,567", Text(FormatGroupedNumber(-1234567)));
  EXPECT_EQ(L"0", Text(FormatGroupedNumber(0)));
  EXPECT_EQ(L"999", Text(FormatGroupedNumber(999)));
  EXPECT_EQ(L"6,442,450,941", Text(FormatGroupedNumber(3LL * 0x7FFFFFFF)));
  EXPECT_EQ(L"-9,223,372,036,854,775,808", Text(FormatGroupedNumber(-9223372036854775807LL - 1)));
}

struct SizeCase {
  ULONGLONG size;
  const wchar_t* expected;
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.size; }

const SizeCase kSizeCases[] = {
    {0, L"0 bytes"},
    {1, L"1 byte"},
    {2, L"2 bytes"},
    {500, L"500 bytes"},
    {999, L"999 bytes"},
    {1000, L"0.98 KB"},
    {1536, L"1.5 KB"},
    {2048, L"2 KB"},
    {10752, L"10.5 KB"},
    {11254, L"10.9 KB"},               // 10.99: cut, not rounded
    {1023999, L"1,000 KB"},
    {1024000, L"0.98 MB"},
    {1048576, L"1 MB"},
    {1073741824ULL, L"1 GB"},
    {1099511627776ULL, L"1 TB"},
    {1125899906842624ULL, L"1 PB"},
    {~0ULL, L"16,384 PB"},              // the hundredths must not overflow
};

class FormatByteSizeTable : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatByteSizeTable, ShowsUnitAndDecimals) {
  if (!IsEnglishUs()) GTEST_SKIP() << "locale " << GetUserDefaultLCID();
  EXPECT_EQ(std::wstring(GetParam().expected), Text(FormatByteSize(GetParam().size)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FormatByteSizeTable, ::testing::ValuesIn(kSizeCases),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           return "Bytes" + std::to_string(info.param.size);
                         });

TEST(FormatDateTime, ZeroMidnightAndForms) {
  EXPECT_EQ(L"", Text(FormatDateTime(0, TRUE, FALSE, FALSE)));
  if (!IsEnglishUs()) GTEST_SKIP() << "locale " << GetUserDefaultLCID();
  const DATE midnight = MakeDate(2024, 3, 5);
  const DATE morning = MakeDate(2024, 3, 5, 6, 7, 8);
  EXPECT_EQ(L"Tuesday, March 5, 2024", Text(FormatDateTime(midnight, FALSE, FALSE, FALSE)));
  EXPECT_EQ(L"3/5/2024 12:00:00 AM", Text(FormatDateTime(midnight, TRUE, FALSE, FALSE)));
  EXPECT_EQ(L"3/5/2024 6:07:08 AM", Text(FormatDateTime(morning, TRUE, FALSE, FALSE)));
  EXPECT_EQ(L"3/5/2024 6:07 AM", Text(FormatDateTime(morning, TRUE, TRUE, FALSE)));
  EXPECT_EQ(L"3/5/2024", Text(FormatDateTime(morning, TRUE, FALSE, TRUE)));
  EXPECT_EQ(L"Tuesday, March 5, 2024, 6:07:08 AM", Text(FormatDateTime(morning, FALSE, FALSE, FALSE)));
  // One millisecond after midnight is no longer midnight.
  EXPECT_NE(Text(FormatDateTime(midnight, FALSE, FALSE, FALSE)),
            Text(FormatDateTime(MakeDate(2024, 3, 5, 0, 0, 0, 1), FALSE, FALSE, FALSE)));
}

TEST(DateFields, RoundTripWithMilliseconds) {
  const DATE date = MakeDate(2024, 3, 5, 6, 7, 8, 9);
  EXPECT_EQ(L"2024/3/5/6/7/8/9", Text(FormatDateFields(date)));
  DATE back = 0;
  ASSERT_EQ(S_OK, ParseDateFields(L"2024/3/5/6/7/8/9", &back));
  EXPECT_EQ(L"2024/3/5/6/7/8/9", Text(FormatDateFields(back)));
  EXPECT_NEAR(date, back, 1e-9);
}

TEST(DateFields, DatesBeforeTheEpochKeepTheirTime) {
  // -1.25 is 1899-12-29 06:00, not 1899-12-28 18:00.
  EXPECT_EQ(L"1899/12/29/6/0/0/0", Text(FormatDateFields(-1.25)));
  DATE back = 0;
  ASSERT_EQ(S_OK, ParseDateFields(L"1899/12/29/6/0/0/0", &back));
  EXPECT_DOUBLE_EQ(-1.25, back);
}

TEST(DateFields, Refusals) {
  DATE date = 1;
  EXPECT_EQ(E_INVALIDARG, ParseDateFields(L"2024/3/5", &date));
  EXPECT_EQ(E_INVALIDARG, ParseDateFields(L"2024/3/5/6/7/8/9/10", &date));
  EXPECT_EQ(E_INVALIDARG, ParseDateFields(nullptr, &date));
  EXPECT_EQ(E_POINTER, ParseDateFields(L"2024/3/5/6/7/8/9", nullptr));
  EXPECT_EQ(S_OK, ParseDateFields(L"2024/13/5/6/7/8/9", &date));
  EXPECT_EQ(0, date);
  date = 1;
  EXPECT_EQ(S_OK, ParseDateFields(L"2024/65537/5/0/0/0/0", &date));   // month 1 once cut to a WORD
  EXPECT_EQ(0, date);
  EXPECT_EQ(L"", Text(FormatDateFields(1e12)));
}

TEST(SlashDate, FormatAndParse) {
  SYSTEMTIME st = {};
  st.wYear = 2024;
  st.wMonth = 3;
  st.wDay = 5;
  EXPECT_EQ(L"2024/03/05", Text(FormatSlashDate(st)));
  SYSTEMTIME parsed;
  memset(&parsed, 0xFF, sizeof(parsed));
  ASSERT_EQ(1, ParseSlashDate(L"2024/03/05", &parsed));
  EXPECT_EQ(2024, parsed.wYear);
  EXPECT_EQ(3, parsed.wMonth);
  EXPECT_EQ(5, parsed.wDay);
  EXPECT_EQ(0, parsed.wHour);
  EXPECT_EQ(0, ParseSlashDate(L"2024/13/01", &parsed));
  EXPECT_EQ(0, ParseSlashDate(L"2024/00/01", &parsed));
  EXPECT_EQ(0, ParseSlashDate(L"2024/01/32", &parsed));
  EXPECT_EQ(0, ParseSlashDate(L"2024-01-01", &parsed));
  EXPECT_EQ(0, ParseSlashDate(L"2024/1/1", &parsed));
}

TEST(Integers, FormatAndParse) {
  EXPECT_EQ(L"-42", Text(FormatInteger(-42)));
  EXPECT_EQ(17, ParseInteger(L"17abc"));
  EXPECT_EQ(0, ParseInteger(nullptr));
}

using GetErrorTextTest = ErrorInfoTest;

TEST_F(GetErrorTextTest, ErrorObjectFirstThenSystemText) {
  SetThreadError(L"Der Port ist belegt.");
  EXPECT_EQ(L"Der Port ist belegt.", Text(GetErrorText(E_FAIL)));
  // The object was taken: the next text is the system's.
  std::wstring system = Text(GetErrorText(E_ACCESSDENIED));
  EXPECT_NE(std::wstring::npos, system.find(L"denied")) << system;
  EXPECT_EQ(L"", Text(GetErrorText(static_cast<HRESULT>(0x8004A001))));
  EXPECT_EQ(L"", Text(GetErrorText(S_FALSE)));
}

}  // namespace
