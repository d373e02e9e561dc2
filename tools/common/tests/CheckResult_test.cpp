// Reporting failed calls: the call's own description, wrapped and in OEM, or the fallback line.
#include <gtest/gtest.h>
#include <string>
#include "ConsoleText.h"
#include "ErrorText.h"
#include "FakeVolume.h"
#include "StdoutCapture.h"

namespace {

using CheckResultTest = ErrorInfoTest;

struct ResultCase {
  const char* name;
  HRESULT result;
  const wchar_t* description;   // error object left by the call, or none
  const char* fallback;
  bool ok;
  std::string printed;
};
void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }

std::vector<ResultCase> ResultCases() {
  // 100 characters of words: the break goes at the last space before column 80.
  static std::string hundred;
  while (hundred.size() < 100) hundred += "word ";
  static const std::wstring hundredWide(hundred.begin(), hundred.end());
  std::string wrapped = hundred;
  wrapped[79] = '\n';
  return {
      {"FalseIsSuccess", S_FALSE, nullptr, kModuleErrorFormat, true, ""},
      {"SuccessPrintsNoDescription", S_OK, L"left over", kModuleErrorFormat, true, ""},
      {"DescriptionOfTheCall", E_FAIL, L"The port is in use.", kModuleErrorFormat, false,
       "The port is in use.\n"},
      {"ModuleFallback", static_cast<HRESULT>(0x8004A001), nullptr, kModuleErrorFormat, false,
       "Unknown error accessing module: 0x8004a001\n"},
      {"PortFallback", E_ACCESSDENIED, nullptr, kPortErrorFormat, false,
       "Unknown error setting module port: 0x80070005\n"},
      {"CloseFallback", static_cast<HRESULT>(0x800704D3), nullptr, kCloseErrorFormat, false,
       "Unknown error closing VKS port: 0x800704d3\n"},
      {"EmptyDescriptionFallsBack", E_FAIL, L"", kModuleErrorFormat, false,
       "Unknown error accessing module: 0x80004005\n"},
      {"LongDescriptionWrapped", E_FAIL, hundredWide.c_str(), kModuleErrorFormat, false, wrapped + "\n"},
  };
}

class CheckResultTable : public CheckResultTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(CheckResultTable, PrintsWhatTheCallLeft) {
  const ResultCase& c = GetParam();
  if (c.description) SetThreadError(c.description);
  CStdoutCapture capture;
  EXPECT_EQ(c.ok, CheckResult(c.result, c.fallback));
  EXPECT_EQ(c.printed, capture.Text());
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckResultTable, ::testing::ValuesIn(ResultCases()),
                         [](const ::testing::TestParamInfo<ResultCase>& info) { return info.param.name; });

TEST_F(CheckResultTest, DescriptionIsInTheOemCodePage) {
  if (GetOEMCP() != 437) GTEST_SKIP() << "OEM code page " << GetOEMCP();
  SetThreadError(L"Gr\u00f6\u00dfe");
  std::string printed;
  EXPECT_FALSE(CheckResult(E_FAIL, kModuleErrorFormat, &printed));
  EXPECT_EQ("Gr\x94\xe1" "e\n", printed);
}

// An error object from a call whose result was not reported must not become
// the text of the next failure, which left none of its own.
TEST_F(CheckResultTest, StaleErrorObjectNeverDescribesALaterFailure) {
  std::string printed;
  SetThreadError(L"from a successful call");
  EXPECT_TRUE(CheckResult(S_OK, kModuleErrorFormat, &printed));
  EXPECT_FALSE(CheckResult(E_FAIL, kModuleErrorFormat, &printed));
  EXPECT_EQ("Unknown error accessing module: 0x80004005\n", printed);

  printed.clear();
  SetThreadError(L"from an ignored delete");
  IgnoreResult(E_FAIL);
  EXPECT_FALSE(CheckResult(E_ACCESSDENIED, kModuleErrorFormat, &printed));
  EXPECT_EQ("Unknown error accessing module: 0x80070005\n", printed);
}

TEST_F(CheckResultTest, ErrorObjectIsUsedOnce) {
  std::string printed;
  SetThreadError(L"first");
  EXPECT_FALSE(CheckResult(E_FAIL, kModuleErrorFormat, &printed));
  EXPECT_FALSE(CheckResult(E_FAIL, kModuleErrorFormat, &printed));
  EXPECT_EQ("first\nUnknown error accessing module: 0x80004005\n", printed);
}

}  // namespace
