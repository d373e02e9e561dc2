// The searched-names history, on a scratch registry root.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "Registry.h"
#include "SearchHistory.h"
#include "Seams.h"
#include "Settings.h"

namespace {

class SearchHistoryTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_scratchPath = L"Software\\VKSTests\\SearchHistory" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(ERROR_SUCCESS, m_scratch.Create(HKEY_CURRENT_USER, m_scratchPath.c_str(), KEY_ALL_ACCESS));
    m_roots = {HKEY_CLASSES_ROOT, m_scratch.Get(), HKEY_LOCAL_MACHINE};
    SetShellRegistryRoots(&m_roots);
  }
  void TearDown() override {
    SetShellRegistryRoots(nullptr);
    m_scratch.Close();
    RegDeleteTreeW(HKEY_CURRENT_USER, m_scratchPath.c_str());
  }
  CRegistryKey SuiteKey() {
    CRegistryKey key;
    EXPECT_EQ(ERROR_SUCCESS, key.Create(m_scratch.Get(), kSuiteKeyPath, KEY_ALL_ACCESS));
    return key;
  }
  void Store(const std::vector<std::wstring>& names) {
    CRegistryKey key = SuiteKey();
    for (size_t i = 0; i < names.size(); ++i)
      key.SetString((L"Searched" + std::to_wstring(i)).c_str(), names[i].c_str());
  }
  std::vector<std::wstring> Loaded() {
    SearchHistory history;
    LoadSearchHistory(&history);
    return Entries(history);
  }
  static std::vector<std::wstring> Entries(const SearchHistory& history) {
    std::vector<std::wstring> entries;
    for (const auto& entry : history.entries) entries.push_back(entry);
    return entries;
  }

  std::wstring m_scratchPath;
  CRegistryKey m_scratch;
  RegistryRoots m_roots = {};
};

using Names = std::vector<std::wstring>;

TEST_F(SearchHistoryTest, SavingMovesTheSearchedNameToTheFront) {
  const struct {
    Names before;
    const wchar_t* searched;
    Names after;
  } cases[] = {
      {{L"ABC", L"x"}, L"abc", {L"abc", L"x", L"", L"", L""}},
      {{L"a", L"b", L"c", L"d", L"e"}, L"f", {L"f", L"a", L"b", L"c", L"d"}},
      {{L"a", L"b", L"c", L"d", L"e"}, L"E", {L"E", L"a", L"b", L"c", L"d"}},
      {{L"a", L"b", L"c"}, L"b", {L"b", L"a", L"c", L"", L""}},
      {{L"a", L"b"}, L"", {L"a", L"b", L"", L"", L""}},
  };
  for (const auto& c : cases) {
    RegDeleteTreeW(m_scratch.Get(), kSuiteKeyPath);
    Store(c.before);
    SearchHistory history;
    LoadSearchHistory(&history);
    SaveSearchHistory(&history, c.searched);
    EXPECT_EQ(c.after, Entries(history)) << c.searched;
    EXPECT_EQ(c.after, Loaded()) << c.searched;
  }
}

TEST_F(SearchHistoryTest, ALongNameIsKeptTo259Characters) {
  SearchHistory history;
  LoadSearchHistory(&history);
  SaveSearchHistory(&history, std::wstring(400, L'q').c_str());
  EXPECT_EQ(std::wstring(259, L'q'), Loaded()[0]);
}

TEST_F(SearchHistoryTest, UnusableValuesGiveEmptyEntries) {
  EXPECT_EQ(Names(5, L""), Loaded());   // no key at all
  CRegistryKey key = SuiteKey();
  const DWORD number = 0x00410041;   // would read as "AA" without its type
  key.SetValue(L"Searched0", REG_DWORD, &number, sizeof(number));
  const std::wstring full(260, L'z');   // 520 bytes, no terminator
  key.SetValue(L"Searched1", REG_SZ, full.data(), 520);
  const std::wstring longer(300, L'y');
  key.SetValue(L"Searched2", REG_SZ, longer.c_str(), static_cast<DWORD>((longer.size() + 1) * 2));
  key.SetValue(L"Searched3", REG_BINARY, L"bin", 8);
  key.SetString(L"Searched4", L"fine");
  const Names loaded = Loaded();
  EXPECT_EQ(L"", loaded[0]);
  EXPECT_EQ(std::wstring(259, L'z'), loaded[1]);
  EXPECT_EQ(L"", loaded[2]);
  EXPECT_EQ(L"", loaded[3]);
  EXPECT_EQ(L"fine", loaded[4]);
}

}  // namespace
