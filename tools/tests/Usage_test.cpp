// Wrong command lines: each tool prints its usage text and ends before it
// reaches the server (none is registered for these tests).
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ChildProcess.h"
#include "UsageTexts.h"

namespace {

using namespace vkstest;

struct UsageCase {
  const char* label;
  const wchar_t* tool;
  std::vector<std::wstring> args;
  const char* usage;
  DWORD exitCode;
};

// After "\A:\" the 270-character buffer has room for 265 characters and the terminator.
const std::wstring kLongPath = L"mod:a:\\" + std::wstring(266, L'x');

const UsageCase kCases[] = {
    {"DirWithoutArgument", L"VKSDir", {}, kDirUsage, 0},
    {"DirWithTwoArguments", L"VKSDir", {L"mod:a:", L"mod:b:"}, kDirUsage, 0},
    {"DelWithoutArgument", L"VKSDel", {}, kDelUsage, 0},
    {"DelWithTwoArguments", L"VKSDel", {L"mod:a:\\x", L"mod:a:\\y"}, kDelUsage, 0},
    {"DelWithoutModPrefix", L"VKSDel", {L"a:\\x.txt"}, kDelUsage, 0},
    {"DelOfVolumeRoot", L"VKSDel", {L"mod:a:"}, kDelUsage, 0},
    {"DelOfBareMod", L"VKSDel", {L"mod:"}, kDelUsage, 0},
    {"DelOfNonLetterDriveOnly", L"VKSDel", {L"mod:1:"}, kDelUsage, 0},
    {"DelOfPathTooLong", L"VKSDel", {kLongPath}, kDelUsage, 0},
    {"MkdirWithoutArgument", L"VKSMkdir", {}, kMkdirUsage, 0},
    {"MkdirOfVolumeRoot", L"VKSMkdir", {L"mod:b:\\"}, kMkdirUsage, 0},
    {"MkdirWithoutModPrefix", L"VKSMkdir", {L"dir"}, kMkdirUsage, 0},
    {"MkdirOfPathTooLong", L"VKSMkdir", {kLongPath}, kMkdirUsage, 0},
    {"RmdirWithoutArgument", L"VKSRmdir", {}, kRmdirUsage, 0},
    {"RmdirOfVolumeRoot", L"VKSRmdir", {L"mod:a:"}, kRmdirUsage, 0},
    {"RmdirOfVolumeRootWithBackslash", L"VKSRmdir", {L"mod:a:\\"}, kRmdirUsage, 0},
    // The second backslash survives parsing; the root is still refused.
    {"RmdirOfVolumeRootWithTwoBackslashes", L"VKSRmdir", {L"mod:a:\\\\"}, kRmdirUsage, 0},
    {"RmdirOfVolumeRootWithSlashes", L"VKSRmdir", {L"mod:a://"}, kRmdirUsage, 0},
    {"FormatWithoutArgument", L"VKSFormat", {}, kFormatUsage, 0},
    {"FormatOfFolder", L"VKSFormat", {L"mod:a:\\java"}, kFormatUsage, 0},
    {"FormatOfFileName", L"VKSFormat", {L"mod:a"}, kFormatUsage, 0},
    {"FormatWithTwoArguments", L"VKSFormat", {L"mod:a:", L"mod:b:"}, kFormatUsage, 0},
    {"PortWithoutArgument", L"VKSPort", {}, kPortUsage, 0},
    {"PortWithTwoArguments", L"VKSPort", {L"COM1", L"COM2"}, kPortUsage, 0},
    {"CloseWithTwoArguments", L"VKSClose", {L"1", L"2"}, kCloseUsage, 0},
    {"CloseWithLetterInTimeout", L"VKSClose", {L"1x"}, kCloseUsage, 2},
    {"CloseWithNegativeTimeout", L"VKSClose", {L"-1"}, kCloseUsage, 2},
    {"CloseWithSpaceInTimeout", L"VKSClose", {L"1 0"}, kCloseUsage, 2},
    // Milliseconds of these do not fit 32 bits: refused like a non-number.
    {"CloseWithTimeoutJustTooLong", L"VKSClose", {L"2147484"}, kCloseUsage, 2},
    {"CloseWithHugeTimeout", L"VKSClose", {L"99999999999999999999"}, kCloseUsage, 2},
};

// Keeps the test names readable in ctest.
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.label; }

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, PrintsUsageAndEnds) {
  const UsageCase& c = GetParam();
  ToolRun run = RunTool(c.tool, c.args);
  EXPECT_EQ(c.usage, run.output);
  EXPECT_EQ(c.exitCode, run.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Tools, UsageTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.label; });

}  // namespace
