// The engine against the real server and the module simulator.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ModuleItemID.h"
#include "SearchEngine.h"
#include "../SearchServerFixture.h"
#include "../SearchTestSupport.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;

class SearchSimTest : public SearchServerTest {
protected:
  static std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

  CRecordingUi ui;
};

TEST_F(SearchSimTest, ContentAndNameSearchesFromTheRoot) {
  MakeHostDir(L"A\\apps");
  MakeHostDir(L"A\\apps\\deep");
  ASSERT_TRUE(WriteHostFile(L"A\\notes.txt", Bytes("nothing here")));
  ASSERT_TRUE(WriteHostFile(L"A\\apps\\deep\\readme.txt", Bytes("this Midlet starts")));
  ASSERT_TRUE(WriteHostFile(L"A\\apps\\game.jar", Bytes("a Midlet inside")));
  SearchSettings criteria(&EnglishTexts());
  criteria.text = L"midlet";
  CHitSink sink;
  EXPECT_EQ(S_OK, RunSearch(&sink, L"\\", volume.Get(), criteria));
  EXPECT_EQ(std::vector<std::wstring>{L"\\A:\\apps\\deep\\readme.txt"}, sink.hits);

  sink.hits.clear();
  criteria.text = L"";
  criteria.name = L"*.txt";
  EXPECT_EQ(S_OK, RunSearch(&sink, L"\\", volume.Get(), criteria));
  EXPECT_EQ((std::vector<std::wstring>{L"\\A:\\notes.txt", L"\\A:\\apps\\deep\\readme.txt"}), sink.hits);
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
