// Saved searches: what the writer puts into a file, what the reader accepts,
// and how a search is described.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "SearchConfiguration.h"
#include "SearchTestSupport.h"
#include "TestFiles.h"

namespace {

std::string Utf16Bytes(const std::wstring& text, bool mark = true) {
  std::wstring units = mark ? L"\xFEFF" + text : text;
  return std::string(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(wchar_t));
}

const std::wstring kVersion = L"RPL_SEARCH_CONFIG_VERSION=1-0\r\n";

struct ReadResult {
  HRESULT hr;
  std::vector<std::wstring> items;
  std::vector<ULONG> sizes;
};

class SavedSearchTest : public ::testing::Test {
protected:
  SavedSearchTest() : criteria(&EnglishTexts()) {}

  ReadResult ReadBytes(const std::string& bytes) {
    const std::wstring path = folder.File(L"read.ssc");
    vkstest::WriteBytes(path, bytes);
    return Read(path);
  }
  ReadResult Read(const std::wstring& path) {
    CItemIDList** items = nullptr;
    UINT capacity = 0, count = 0;
    ReadResult result;
    result.hr = ReadSearchConfiguration(&criteria, path.c_str(), &items, &capacity, &count);
    for (UINT i = 0; i < count; ++i) {
      result.items.push_back(GetItemName(items[i]->Get()));
      result.sizes.push_back(GetItemSize(items[i]->Get()));
    }
    capacity_ = capacity;
    FreeSavedItems(items, count);
    return result;
  }

  CScratchFolder folder;
  SearchSettings criteria;
  UINT capacity_ = 0;
};

// Rows made from text lines; fails from the given row on.
class CLineSource final : public ISearchItemSource {
public:
  std::vector<std::wstring> lines;
  int failAt = -1;
  int GetItemCount() override { return static_cast<int>(lines.size()); }
  HRESULT GetItem(int index, LPCITEMIDLIST* item) override {
    if (failAt >= 0 && index >= failAt) return E_FAIL;
    made.emplace_back(CItemIDList::ParseItemText(lines[index].c_str()));
    if (!made.back()) return E_FAIL;
    *item = made.back()->Get();
    return S_OK;
  }

private:
  std::vector<std::unique_ptr<CItemIDList>> made;
};

const std::wstring kTime = L"2024/3/5/6/7/8/0";
std::wstring ItemLine(const std::wstring& name) { return name + L"|SHORT|12|32|" + kTime + L"|" + kTime + L"|" + kTime; }

void ExpectSameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  EXPECT_EQ(a.wYear, b.wYear);
  EXPECT_EQ(a.wMonth, b.wMonth);
  EXPECT_EQ(a.wDay, b.wDay);
}

TEST_F(SavedSearchTest, DefaultCriteriaReadBackWithTheirDaysBounded) {
  const SearchSettings written(&EnglishTexts());
  const std::wstring path = folder.File(L"defaults.ssc");
  ASSERT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, nullptr));

  SearchSettings read(&EnglishTexts());
  read.includeSubfolders = FALSE;
  read.timeType = 0;
  read.months = 7;
  read.typeName = L"other";
  GetSystemTime(&read.lowerDate);
  read.lowerDate.wYear = 1999;
  read.higherDate = read.lowerDate;
  criteria = read;
  ASSERT_EQ(S_OK, Read(path).hr);
  EXPECT_EQ(Text(written.typeName), Text(criteria.typeName));
  EXPECT_EQ(L"All files and folders", Text(criteria.typeName));
  EXPECT_TRUE(criteria.includeSubfolders);
  EXPECT_EQ(2, criteria.timeType);
  EXPECT_EQ(1, criteria.months);
  ExpectSameDay(written.lowerDate, criteria.lowerDate);
  ExpectSameDay(written.higherDate, criteria.higherDate);
  const SYSTEMTIME& low = criteria.lowerDate;
  const SYSTEMTIME& high = criteria.higherDate;
  EXPECT_EQ(0, low.wHour + low.wMinute + low.wSecond + low.wMilliseconds);
  EXPECT_EQ(23, high.wHour);
  EXPECT_EQ(59, high.wMinute);
  EXPECT_EQ(59, high.wSecond);
  EXPECT_EQ(999, high.wMilliseconds);
}

TEST_F(SavedSearchTest, EveryStoredFieldSurvivesTheRoundTrip) {
  SearchSettings written(&EnglishTexts());
  written.name = L"*.jar";
  written.text = L"Midlet=x";   // a value may hold "="
  written.path = L"\\A:\\java";
  written.includeSubfolders = FALSE;
  written.considerDates = TRUE;
  written.dateType = 2;
  written.timeType = 1;
  written.months = 999;
  written.days = 0;
  written.typeName = L"JAR file";
  written.sizeType = 2;
  written.limit = 999999;
  written.caseSensitive = TRUE;
  const std::wstring path = folder.File(L"all.ssc");
  ASSERT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, nullptr));
  ASSERT_EQ(S_OK, Read(path).hr);
  EXPECT_EQ(L"*.jar", Text(criteria.name));
  EXPECT_EQ(L"Midlet=x", Text(criteria.text));
  EXPECT_EQ(L"\\A:\\java", Text(criteria.path));
  EXPECT_FALSE(criteria.includeSubfolders);
  EXPECT_TRUE(criteria.considerDates);
  EXPECT_EQ(2, criteria.dateType);
  EXPECT_EQ(1, criteria.timeType);
  EXPECT_EQ(999, criteria.months);
  EXPECT_EQ(0, criteria.days);
  EXPECT_EQ(L"JAR file", Text(criteria.typeName));
  EXPECT_EQ(2, criteria.sizeType);
  EXPECT_EQ(999999, criteria.limit);
  EXPECT_TRUE(criteria.caseSensitive);
  EXPECT_FALSE(criteria.saveResult);
}

struct LineCase {
  const char* what;
  std::wstring body;      // after the version line
  HRESULT hr;
  int SearchSettings::*field;
  int value;
};

TEST_F(SavedSearchTest, ValuesAreCheckedLineByLine) {
  const LineCase cases[] = {
      {"months in range", L"MONTHS=999\r\n", S_OK, &SearchSettings::months, 999},
      {"months over 999", L"MONTHS=1000\r\n", E_INVALIDARG, &SearchSettings::months, 1},
      {"negative limit", L"LIMIT=-1\r\n", E_INVALIDARG, &SearchSettings::limit, 0},
      {"limit past 32 bits", L"LIMIT=4294967297\r\n", E_INVALIDARG, &SearchSettings::limit, 0},
      {"limit in range", L"limit=999999\r\n", S_OK, &SearchSettings::limit, 999999},
      {"date type not a number", L"SEARCH_DATE_TYPE=abc\r\n", S_OK, &SearchSettings::dateType, 0},
      {"time type 3", L"SEARCH_TIME_TYPE=3\r\n", E_INVALIDARG, &SearchSettings::timeType, 2},
      {"short date", L"LOWER_DATE=2009/2/3\r\nDAYS=5\r\n", E_INVALIDARG, &SearchSettings::days, 1},
      {"letter in the year", L"LOWER_DATE=20x9/02/03\r\nDAYS=5\r\n", E_INVALIDARG, &SearchSettings::days, 1},
      {"unknown key", L"DAYS=5\r\nCOLOUR=red\r\nMONTHS=4\r\n", E_INVALIDARG, &SearchSettings::days, 5},
      {"line without =", L"DAYS\r\nMONTHS=4\r\n", E_INVALIDARG, &SearchSettings::months, 1},
      {"flag neither true nor false", L"CASESENSITIVE=yes\r\n", E_INVALIDARG, &SearchSettings::months, 1},
      {"empty lines skipped", L"\r\n\r\n\nDAYS=7\r\n\r\n", S_OK, &SearchSettings::days, 7},
      {"no final line break", L"DAYS=123", S_OK, &SearchSettings::days, 123},
      {"lone LF and CR end lines", L"DAYS=4\nMONTHS=6\rLIMIT=8", S_OK, &SearchSettings::limit, 8},
  };
  for (const LineCase& c : cases) {
    criteria = SearchSettings(&EnglishTexts());
    criteria.dateType = 2;
    EXPECT_EQ(c.hr, ReadBytes(Utf16Bytes(kVersion + c.body)).hr) << c.what;
    EXPECT_EQ(c.value, criteria.*c.field) << c.what;
  }
}

TEST_F(SavedSearchTest, TheVersionLineIsComparedWithoutCase) {
  EXPECT_EQ(S_OK, ReadBytes(Utf16Bytes(L"\r\nrpl_search_config_version=1-0\r\nNAME=abc\r\n")).hr);
  EXPECT_EQ(L"abc", Text(criteria.name));
  EXPECT_EQ(E_INVALIDARG, ReadBytes(Utf16Bytes(L"RPL_SEARCH_CONFIG_VERSION=1-1\r\nNAME=xyz\r\n")).hr);
  EXPECT_EQ(L"abc", Text(criteria.name));
}

TEST_F(SavedSearchTest, FilesThatAreNoSavedSearchFail) {
  const std::wstring padded = kVersion + L"NAME=abc\r\n";
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"no byte-order mark", Utf16Bytes(padded, false)},
      {"60 bytes", Utf16Bytes(std::wstring(L"RPL_SEARCH_CONFIG_VERSION=1-0") )},
      {"empty", std::string()},
      {"narrow text", "RPL_SEARCH_CONFIG_VERSION=1-0\r\nNAME=abc\r\nTEXT=some more text here\r\n"},
  };
  for (const auto& c : cases) {
    criteria.name = L"kept";
    EXPECT_EQ(E_FAIL, ReadBytes(c.bytes).hr) << c.what;
    EXPECT_EQ(L"kept", Text(criteria.name)) << c.what;
  }
  EXPECT_EQ(E_FAIL, Read(folder.File(L"missing.ssc")).hr);
}

TEST_F(SavedSearchTest, AnOddTrailingByteIsIgnoredAndTheLastValueKeptWhole) {
  ASSERT_EQ(S_OK, ReadBytes(Utf16Bytes(kVersion + L"NAME=abcdef") + "x").hr);
  EXPECT_EQ(L"abcdef", Text(criteria.name));
}

TEST_F(SavedSearchTest, ABadItemLineFailsButLaterLinesAreRead) {
  const std::wstring body = kVersion + L"ITEM=" + ItemLine(L"\\A:\\one") + L"\r\n" +
                            L"ITEM=\\A:\\untimed|S|1|0|||\r\n" +   // times need their fields
                            L"ITEM=\\A:\\bad|S|1|0|" + kTime + L"|" + kTime + L"\r\n" +
                            L"ITEM=" + ItemLine(L"") + L"\r\n" +
                            L"ITEM=" + ItemLine(std::wstring(33000, L'n')) + L"\r\n" +
                            L"ITEM=\\A:\\big|S|4294967296|0|" + kTime + L"|" + kTime + L"|" + kTime + L"\r\n" +
                            L"ITEM=\\A:\\low|S|-2147483649|0|" + kTime + L"|" + kTime + L"|" + kTime + L"\r\n" +
                            L"ITEM=\\A:\\lax|S|12a|x|" + kTime + L"|" + kTime + L"|" + kTime + L"\r\n" +
                            L"ITEM=\\A:\\max|S|4294967295|-1|" + kTime + L"|" + kTime + L"|" + kTime + L"\r\n" +
                            L"ITEM=" + ItemLine(L"\\A:\\two") + L"\r\n" + L"NAME=after\r\n";
  const ReadResult result = ReadBytes(Utf16Bytes(body));
  EXPECT_EQ(E_INVALIDARG, result.hr);
  // Numbers are read leniently as far as they go, but one past 32 bits is a bad line.
  EXPECT_EQ((std::vector<std::wstring>{L"\\A:\\one", L"\\A:\\lax", L"\\A:\\max", L"\\A:\\two"}), result.items);
  EXPECT_EQ(12u, result.sizes[1]);
  EXPECT_EQ(0xFFFFFFFFu, result.sizes[2]);
  EXPECT_EQ(L"after", Text(criteria.name));
}

TEST_F(SavedSearchTest, ResultsAreSavedOnlyWhenAskedForAndGrowTheArray) {
  CLineSource source;
  for (int i = 0; i < 40; ++i) source.lines.push_back(ItemLine(L"\\A:\\f" + std::to_wstring(i)));
  SearchSettings written(&EnglishTexts());
  const std::wstring path = folder.File(L"items.ssc");

  ASSERT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, &source));
  EXPECT_TRUE(Read(path).items.empty());
  written.saveResult = TRUE;
  ASSERT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, nullptr));
  EXPECT_TRUE(Read(path).items.empty());

  ASSERT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, &source));
  const ReadResult result = Read(path);
  ASSERT_EQ(S_OK, result.hr);
  ASSERT_EQ(40u, result.items.size());
  EXPECT_EQ(64u, capacity_);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(L"\\A:\\f" + std::to_wstring(i), result.items[i]);
}

TEST_F(SavedSearchTest, TheWrittenFileIsUtf16WithItsLinesInOrder) {
  CLineSource source;
  source.lines = {ItemLine(L"\\A:\\a")};
  SearchSettings written(&EnglishTexts());
  written.saveResult = TRUE;
  written.name = L"n";
  written.lowerDate = {2009, 2, 0, 3, 4, 5, 6, 7};
  const std::wstring path = folder.File(L"layout.ssc");
  ASSERT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, &source));
  const std::string bytes = vkstest::ReadBytes(path);
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  const std::wstring start = L"\xFEFFRPL_SEARCH_CONFIG_VERSION=1-0\r\nNAME=n\r\nTEXT=\r\nPATH=\r\n"
                             L"INCLUDE_SUBFOLDERS=TRUE\r\nCONSIDER_FILEDATES=FALSE\r\nSEARCH_DATE_TYPE=0\r\n"
                             L"SEARCH_TIME_TYPE=2\r\nLOWER_DATE=2009/02/03\r\n";
  EXPECT_EQ(start, text.substr(0, start.size()));
  const std::wstring end = L"CASESENSITIVE=FALSE\r\nSAVE_RESULT=TRUE\r\nITEM=" + ItemLine(L"\\A:\\a") + L"\r\n";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(end, text.substr(text.size() - end.size()));
}

TEST_F(SavedSearchTest, AFailingSaveLeavesTheOldFile) {
  const std::wstring path = folder.File(L"old.ssc");
  vkstest::WriteBytes(path, "old contents");
  CLineSource source;
  source.lines = {ItemLine(L"\\A:\\a"), ItemLine(L"\\A:\\b"), ItemLine(L"\\A:\\c"), ItemLine(L"\\A:\\d")};
  source.failAt = 2;
  SearchSettings written(&EnglishTexts());
  written.saveResult = TRUE;
  EXPECT_EQ(E_FAIL, WriteSearchConfiguration(path.c_str(), written, &source));
  EXPECT_EQ("old contents", vkstest::ReadBytes(path));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((path + L".saving").c_str()));
  source.failAt = -1;
  EXPECT_EQ(S_OK, WriteSearchConfiguration(path.c_str(), written, &source));
  EXPECT_EQ(4u, Read(path).items.size());
}

TEST_F(SavedSearchTest, MissingOutputsAreRefused) {
  CItemIDList** items = reinterpret_cast<CItemIDList**>(1);
  UINT capacity = 5, count = 5;
  const std::wstring path = folder.File(L"x.ssc");
  EXPECT_EQ(E_INVALIDARG, ReadSearchConfiguration(&criteria, path.c_str(), nullptr, &capacity, &count));
  EXPECT_EQ(E_INVALIDARG, ReadSearchConfiguration(&criteria, path.c_str(), &items, nullptr, &count));
  EXPECT_EQ(E_INVALIDARG, ReadSearchConfiguration(&criteria, path.c_str(), &items, &capacity, nullptr));
}

TEST(DescribeSearch, ShortAndLongTextsInBothLanguages) {
  const struct {
    const CResourceModule* texts;
    const wchar_t* name;
    const wchar_t* typeName;   // null: the language's default
    const wchar_t* text;
    const wchar_t* longText;
    const wchar_t* shortText;
  } cases[] = {
      {&EnglishTexts(), L"*.jar", nullptr, L"Midlet", L"Files with names *.jar with the text Midlet",
       L"Files with names @_jar with the text Midlet"},
      {&EnglishTexts(), L"", nullptr, L"", L"All files", L"All files"},
      {&EnglishTexts(), L"", L"ALL FILES AND FOLDERS", L"", L"All files", L"All files"},
      {&EnglishTexts(), L"a?b", L"JAR/File", L"", L"Files of type JAR/File with names a?b",
       L"Files of type JAR_File with names a!b"},
      {&EnglishTexts(), L"", nullptr, L"\"<x:y>\\|\"", L"All files with the text \"<x:y>\\|\"",
       L"All files with the text __x_y____"},
      {&GermanTexts(), L"*.jar", nullptr, L"Midlet", L"Dateien mit Namen *.jar mit dem Text Midlet",
       L"Dateien mit Namen @_jar mit dem Text Midlet"},
      {&GermanTexts(), L"", nullptr, L"", L"Alle Dateien", L"Alle Dateien"},
      {&GermanTexts(), L"", L"Textdokument", L"", L"Dateien vom Typ Textdokument", L"Dateien vom Typ Textdokument"},
  };
  for (const auto& c : cases) {
    SearchSettings criteria(c.texts);
    criteria.name = c.name;
    criteria.text = c.text;
    if (c.typeName) criteria.typeName = c.typeName;
    CBstr longText;
    EXPECT_EQ(c.shortText, Text(DescribeSearch(criteria, &longText, c.texts))) << c.longText;
    EXPECT_EQ(c.longText, Text(longText));
  }
}

TEST(FileTypeEntry, ExtensionsBecomePatterns) {
  const struct { const wchar_t* extension; const wchar_t* pattern; } cases[] = {
      {L".jar", L"*.jar"}, {L"*.txt", L"*.txt"}, {L"", L""}, {L"jad", L"*jad"}};
  for (const auto& c : cases) EXPECT_EQ(c.pattern, Text(FileTypeEntry(L"d", c.extension).pattern)) << c.extension;
}

}  // namespace
