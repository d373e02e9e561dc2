// Module paths of the command line as server paths.
#include <gtest/gtest.h>
#include <string>
#include "ModulePath.h"

namespace {

struct ParseCase {
  const wchar_t* argument;
  const wchar_t* expected;   // null: does not parse
};
// Short printable names for the test list: '\\' shown as '|'.
void PrintTo(const ParseCase& c, std::ostream* os) {
  for (const wchar_t* p = c.argument; *p; ++p) *os << (*p == L'\\' ? '|' : static_cast<char>(*p));
}

const ParseCase kParseCases[] = {
    {L"mod:", L"\\A:\\"},
    {L"mod:\\", L"\\A:\\"},
    {L"MOD:", L"\\A:\\"},
    {L"mod:a", L"\\A:\\a"},                  // a name without colon is a file on A:
    {L"mod:a:", L"\\A:\\"},
    {L"mod:b:", L"\\B:\\"},
    {L"mod:\\c:\\java\\x.jar", L"\\C:\\java\\x.jar"},
    {L"MOD:a:/dir", L"\\A:\\dir"},            // '/' after the frame's ReplaceChar
    {L"mod:a:\\\\dir", L"\\A:\\\\dir"},        // only one backslash is skipped
    {L"mod:\\\\a:", L"\\A:\\a:"},             // no drive: "\a:" is the path, its "\" skipped
    {L"mod:java\\app.jar", L"\\A:\\java\\app.jar"},
    {L"mod:1:ab", L"\\1ab"},                  // no ":\" after a drive that is no letter
    {L"mod:1:", nullptr},                     // shorter than four characters
    {L"mod:1:a", nullptr},
    {L"dir", nullptr},
    {L"mo", nullptr},
    {L"", nullptr},
    {L"c:\\mod:", nullptr},
};

class ParseModulePathTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseModulePathTable, GivesTheServerPath) {
  const ParseCase& c = GetParam();
  std::wstring argument = c.argument;
  wchar_t buffer[kModulePathSize] = L"";
  const bool parsed = PrepareModulePath(&argument[0], buffer);
  if (!c.expected) {
    EXPECT_FALSE(parsed);
    return;
  }
  ASSERT_TRUE(parsed);
  EXPECT_EQ(std::wstring(c.expected), buffer);
}

INSTANTIATE_TEST_SUITE_P(Examples, ParseModulePathTable, ::testing::ValuesIn(kParseCases));

TEST(ParseModulePath, RestMustFitTheBuffer) {
  wchar_t buffer[kModulePathSize];
  // "\A:\" and 265 characters fill 269 of the 270 with the terminator.
  std::wstring fits = L"mod:a:\\" + std::wstring(265, L'x');
  ASSERT_TRUE(ParseModulePath(fits.c_str(), buffer, kModulePathSize));
  EXPECT_EQ(269u, std::wstring(buffer).size());
  EXPECT_FALSE(ParseModulePath((fits + L"x").c_str(), buffer, kModulePathSize));
  // Without a drive the same room is left after "\A:\".
  EXPECT_TRUE(ParseModulePath((L"mod:" + std::wstring(265, L'y')).c_str(), buffer, kModulePathSize));
  EXPECT_FALSE(ParseModulePath((L"mod:" + std::wstring(266, L'y')).c_str(), buffer, kModulePathSize));
  // A drive that is no letter takes only one character of the room.
  EXPECT_TRUE(ParseModulePath((L"mod:1:" + std::wstring(267, L'z')).c_str(), buffer, kModulePathSize));
  EXPECT_FALSE(ParseModulePath((L"mod:1:" + std::wstring(268, L'z')).c_str(), buffer, kModulePathSize));
}

TEST(ParseModulePath, SmallBuffersAndMissingArguments) {
  wchar_t buffer[8];
  EXPECT_FALSE(ParseModulePath(nullptr, buffer, 8));
  EXPECT_FALSE(ParseModulePath(L"mod:", nullptr, 8));
  EXPECT_FALSE(ParseModulePath(L"mod:", buffer, 0));
  EXPECT_FALSE(ParseModulePath(L"mod:", buffer, 1));
  EXPECT_FALSE(ParseModulePath(L"mod:", buffer, 4));   // "\A:\" needs its terminator
  EXPECT_FALSE(ParseModulePath(L"mod:b:", buffer, 4));
  ASSERT_TRUE(ParseModulePath(L"mod:b:", buffer, 5));
  EXPECT_STREQ(L"\\B:\\", buffer);
  EXPECT_FALSE(ParseModulePath(L"mod:ab", buffer, 6));
  EXPECT_TRUE(ParseModulePath(L"mod:ab", buffer, 7));
}

TEST(ReplaceChar, ReplacesEveryOccurrenceAndCounts) {
  wchar_t text[] = L"mod:a:/java/sub/x.jar";
  EXPECT_EQ(3, ReplaceChar(text, L'/', L'\\'));
  EXPECT_STREQ(L"mod:a:\\java\\sub\\x.jar", text);
  EXPECT_EQ(0, ReplaceChar(text, L'/', L'\\'));
  EXPECT_EQ(0, ReplaceChar(nullptr, L'/', L'\\'));
}

}  // namespace
