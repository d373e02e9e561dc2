// The engine on a scripted volume: what is listed, read, shown and found.
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>
#include "ScriptedVolume.h"
#include "SearchEngine.h"
#include "SearchTestSupport.h"

namespace {

class CTestSink final : public ISearchSink {
public:
  std::vector<std::wstring> hits;
  std::vector<std::wstring> statuses;
  std::function<bool()> stopWhen = [] { return false; };
  bool stopped = false;

  bool IsStopped() override { return stopped; }
  void PumpMessages() override {
    if (stopWhen()) stopped = true;
  }
  void SetStatusText(const wchar_t* text) override { statuses.push_back(text ? text : L""); }
  void AddHit(const SearchRecord& record) override { hits.push_back(Text(record.name)); }
  HWND GetOwner() override { return nullptr; }
};

using Names = std::vector<std::wstring>;
constexpr LONG kFolder = FILE_ATTRIBUTE_DIRECTORY;

class SearchEngineTest : public ::testing::Test {
protected:
  SearchEngineTest() : criteria(&EnglishTexts()) {}
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }

  // A negative size marks a folder.
  void Listing(const std::wstring& path, std::initializer_list<std::pair<const wchar_t*, LONG>> entries) {
    CTestEntries rows;
    for (const auto& entry : entries) rows.AddEntry(entry.first, entry.second < 0 ? 0 : entry.second,
                                                    entry.second < 0 ? kFolder : 0);
    volume.SetListing(path, rows);
  }
  void File(const std::wstring& path, const std::string& bytes) { volume.SetFile(path, bytes); }
  void Run(const wchar_t* folder) { EXPECT_EQ(S_OK, RunSearch(&sink, folder, &volume, criteria)); }
  Names Opened() const {
    Names opened;
    for (const auto& call : volume.calls)
      if (call.rfind(L"GetFile ", 0) == 0) opened.push_back(call.substr(8));
    return opened;
  }

  CScriptedVolume volume;
  CTestSink sink;
  CRecordingUi ui;
  SearchSettings criteria;
};


TEST_F(SearchEngineTest, FolderModeAddsAFoldersHitsBeforeItsSubfolders) {
  Listing(L"\\*", {{L"A:", -1}});
  Listing(L"\\A:\\*", {{L"match.txt", 5}, {L"matchdir", -1}, {L"other.txt", 7}, {L"later", -1}});
  Listing(L"\\A:\\matchdir\\*", {{L"match2.txt", 1}});
  Listing(L"\\A:\\later\\*", {{L"deep", -1}});
  Listing(L"\\A:\\later\\deep\\*", {{L"match3", 0}});
  Run(L"");
  EXPECT_EQ((Names{L"\\A:\\match.txt", L"\\A:\\matchdir", L"\\A:\\other.txt", L"\\A:\\later",
                   L"\\A:\\matchdir\\match2.txt", L"\\A:\\later\\deep", L"\\A:\\later\\deep\\match3"}),
            sink.hits);
  EXPECT_EQ(L"GetEntries \\*", volume.calls.front());
  EXPECT_EQ(L"Search Module ", sink.statuses.front());
  EXPECT_TRUE(ui.boxes.empty());

  sink.hits.clear();
  criteria.name = L"match";
  criteria.includeSubfolders = FALSE;
  Run(L"\\A:");
  EXPECT_EQ((Names{L"\\A:\\match.txt", L"\\A:\\matchdir"}), sink.hits);
}

TEST_F(SearchEngineTest, AFailingListingShowsOneErrorAndTheWalkGoesOn) {
  Listing(L"\\A:\\*", {{L"bad", -1}, {L"good", -1}});
  Listing(L"\\A:\\good\\*", {{L"found.txt", 3}});
  volume.Fail(L"GetEntries \\A:\\bad\\*", E_ACCESSDENIED, L"No way in.");
  criteria.name = L"found";
  Run(L"\\A:");
  EXPECT_EQ(Names{L"\\A:\\good\\found.txt"}, sink.hits);
  ASSERT_EQ(1u, ui.boxes.size());
  EXPECT_NE(std::wstring::npos, ui.boxes[0].text.find(L"No way in.")) << ui.boxes[0].text;
  EXPECT_EQ(L"Search Module A:\\good", sink.statuses.back());
}

TEST_F(SearchEngineTest, ContentModeReadsCandidatesButNeverJarFilesOrFolders) {
  Listing(L"\\*", {{L"A:", -1}});
  Listing(L"\\A:\\*", {{L"a.txt", 11}, {L"X.JAR", 5}, {L"jar", 5}, {L"sub", -1}, {L"none.txt", 4}});
  Listing(L"\\A:\\sub\\*", {{L"b.txt", 5}});
  File(L"\\A:\\a.txt", "Hello World");
  File(L"\\A:\\X.JAR", "Hello");
  File(L"\\A:\\jar", "hello");
  File(L"\\A:\\sub\\b.txt", "HELLO");
  File(L"\\A:\\none.txt", "Hell");
  const struct {
    const wchar_t* text;
    BOOL caseSensitive;
    Names hits;
  } cases[] = {
      {L"hello", FALSE, {L"\\A:\\a.txt", L"\\A:\\jar", L"\\A:\\sub\\b.txt"}},
      {L"HELLO", FALSE, {L"\\A:\\a.txt", L"\\A:\\jar", L"\\A:\\sub\\b.txt"}},
      {L"Hello", TRUE, {L"\\A:\\a.txt"}},
      {L"d", TRUE, {L"\\A:\\a.txt"}},
      {L"Hello World!", FALSE, {}},
  };
  for (const auto& c : cases) {
    sink.hits.clear();
    volume.calls.clear();
    criteria.text = c.text;
    criteria.caseSensitive = c.caseSensitive;
    Run(L"\\");
    EXPECT_EQ(c.hits, sink.hits) << c.text;
    EXPECT_EQ((Names{L"\\A:\\a.txt", L"\\A:\\jar", L"\\A:\\sub\\b.txt", L"\\A:\\none.txt"}), Opened()) << c.text;
  }
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(L"Search Module A:\\none.txt", sink.statuses.back());
}

TEST_F(SearchEngineTest, TextTheCodePageCannotHoldMatchesNothing) {
  Listing(L"\\A:\\*", {{L"q.txt", 1}, {L"o.txt", 1}});
  File(L"\\A:\\q.txt", "?");
  File(L"\\A:\\o.txt", "O");
  criteria.text = L"\x03A9";
  Run(L"\\A:");
  EXPECT_TRUE(sink.hits.empty());
  EXPECT_EQ(0, volume.reads);
}

TEST_F(SearchEngineTest, LargeContentSearchesAskFirst) {
  Listing(L"\\A:\\*", {{L"big1", 60000}, {L"big2", 60000}, {L"small", 10}});
  File(L"\\A:\\big1", std::string(60000, 'x'));
  File(L"\\A:\\big2", std::string(59990, 'x') + "needle" + "xxxx");
  File(L"\\A:\\small", "needle");
  criteria.text = L"needle";
  ui.answer = IDNO;
  Run(L"\\A:");
  ASSERT_EQ(1u, ui.boxes.size());
  EXPECT_EQ(L"Finding Files by Content", ui.boxes[0].caption);
  EXPECT_NE(std::wstring::npos, ui.boxes[0].text.find(L"\"needle\"")) << ui.boxes[0].text;
  EXPECT_NE(std::wstring::npos, ui.boxes[0].text.find(L"117 KB")) << ui.boxes[0].text;
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), ui.boxes[0].type);
  EXPECT_TRUE(sink.hits.empty());
  EXPECT_TRUE(Opened().empty());

  ui.answer = IDYES;
  Run(L"\\A:");
  EXPECT_EQ((Names{L"\\A:\\big2", L"\\A:\\small"}), sink.hits);
  EXPECT_EQ(2u, ui.boxes.size());

  // Below the limit nobody is asked.
  sink.hits.clear();
  criteria.sizeType = 2;
  criteria.limit = 1;
  Run(L"\\A:");
  EXPECT_EQ(Names{L"\\A:\\small"}, sink.hits);
  EXPECT_EQ(2u, ui.boxes.size());
}

TEST_F(SearchEngineTest, AccessDeniedGoesOnAndOtherReadFailuresEndTheSearch) {
  Listing(L"\\A:\\*", {{L"1.txt", 4}, {L"2.txt", 4}, {L"3.txt", 4}});
  for (const wchar_t* name : {L"\\A:\\1.txt", L"\\A:\\2.txt", L"\\A:\\3.txt"}) File(name, "text");
  criteria.text = L"text";
  volume.Fail(L"GetFile \\A:\\1.txt", E_ACCESSDENIED, nullptr);
  Run(L"\\A:");
  EXPECT_EQ((Names{L"\\A:\\2.txt", L"\\A:\\3.txt"}), sink.hits);
  ASSERT_EQ(1u, ui.boxes.size());
  EXPECT_NE(std::wstring::npos, ui.boxes[0].text.find(L"\\A:\\1.txt")) << ui.boxes[0].text;

  sink.hits.clear();
  volume.calls.clear();
  volume.Fail(L"GetFile \\A:\\2.txt", HRESULT_FROM_WIN32(ERROR_GEN_FAILURE), nullptr);
  Run(L"\\A:");
  EXPECT_TRUE(sink.hits.empty());
  EXPECT_EQ((Names{L"\\A:\\1.txt", L"\\A:\\2.txt"}), Opened());
  EXPECT_EQ(3u, ui.boxes.size());
}

TEST_F(SearchEngineTest, StopEndsTheReadAtTheNextChunkAndOpensNoLaterFile) {
  Listing(L"\\A:\\*", {{L"long", 10000}, {L"next", 6}});
  File(L"\\A:\\long", std::string(10000, 'x'));
  File(L"\\A:\\next", "needle");
  criteria.text = L"needle";
  sink.stopWhen = [this] { return volume.reads >= 2; };
  Run(L"\\A:");
  EXPECT_EQ(2, volume.reads);
  EXPECT_EQ(Names{L"\\A:\\long"}, Opened());
  EXPECT_TRUE(sink.hits.empty());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SearchEngineTest, AStopBeforeTheStartListsNothing) {
  sink.stopped = true;
  Run(L"\\A:");
  EXPECT_TRUE(volume.calls.empty());
  EXPECT_EQ(E_POINTER, RunSearch(&sink, L"\\A:", nullptr, criteria));
}

}  // namespace
