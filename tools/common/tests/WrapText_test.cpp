// Wrapping of server descriptions at the console width.
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include "ConsoleText.h"

namespace {

std::string Wrapped(std::string text, int width = 80) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  WrapText(buffer.data(), width);
  return buffer.data();
}

// Words of wordLength letters separated by single spaces, total characters
// long, never ending in a space.
std::string Words(size_t total, size_t wordLength) {
  std::string text(total, 'w');
  for (size_t i = wordLength; i + 1 < total; i += wordLength + 1) text[i] = ' ';
  return text;
}

struct WrapCase {
  const char* name;
  std::string text;
  std::string expected;
};
void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

std::vector<WrapCase> WrapCases() {
  std::string seventyNine = Words(79, 9);
  std::string hundred = Words(100, 4);   // spaces at 4, 9, ... 79, 84 ...
  std::string hundredWrapped = hundred;
  hundredWrapped[79] = '\n';             // the last space before column 80
  std::string longWord(120, 'x');
  std::string eighty = Words(80, 9);     // a line of exactly 80 is broken too
  std::string eightyWrapped = eighty;
  eightyWrapped[eighty.rfind(' ')] = '\n';
  return {
      {"ShortTextUnchanged", seventyNine, seventyNine},
      {"BreaksAtLastSpaceBeforeColumn80", hundred, hundredWrapped},
      {"LongWordStaysWhole", longWord, longWord},
      {"LongWordGetsItsOwnLine", "ab " + longWord, "ab\n" + longWord},
      {"LineOfWidthIsBroken", eighty, eightyWrapped},
      {"ExistingLineFeedsStartLines", seventyNine + "\n" + seventyNine, seventyNine + "\n" + seventyNine},
      {"LongLineBeforeLineFeed", hundred + "\r\n", hundredWrapped + "\r\n"},
      {"LongLineBeforeLineFeedTail", Words(78, 8) + " abcdefghij\r\n",
       Words(78, 8) + "\nabcdefghij\r\n"},
      {"EmptyText", "", ""},
  };
}

class WrapTextTable : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTextTable, Wraps) { EXPECT_EQ(GetParam().expected, Wrapped(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(Cases, WrapTextTable, ::testing::ValuesIn(WrapCases()),
                         [](const ::testing::TestParamInfo<WrapCase>& info) { return info.param.name; });

// For any text of words shorter than the width: only spaces change, and every
// line is shorter than the width.
TEST(WrapText, RandomWordsFitAndOnlySpacesChange) {
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int words = 1 + static_cast<int>(random() % 60);
    for (int w = 0; w < words; ++w) {
      if (w) text += (random() % 25 == 0) ? '\n' : ' ';
      text += std::string(1 + random() % 20, static_cast<char>('a' + random() % 26));
    }
    const std::string wrapped = Wrapped(text);
    ASSERT_EQ(text.size(), wrapped.size());
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] != wrapped[i]) {
        ASSERT_TRUE(text[i] == ' ' && wrapped[i] == '\n') << text;
      }
    std::istringstream lines(wrapped);
    for (std::string line; std::getline(lines, line);) ASSERT_LT(line.size(), 80u) << wrapped;
  }
}

}  // namespace
