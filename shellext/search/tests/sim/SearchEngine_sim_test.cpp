// The engine against the real server and the module simulator.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "SearchEngine.h"
#include "../SearchTestSupport.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;

class CHitSink final : public ISearchSink {
public:
  std::vector<std::wstring> hits;
  bool IsStopped() override { return false; }
  void PumpMessages() override {}
  void SetStatusText(const wchar_t*) override {}
  void AddHit(const SearchRecord& record) override { hits.push_back(::Text(record.name)); }
  HWND GetOwner() override { return nullptr; }
};

class SearchSimTest : public SimTestOf<ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(1);
    ASSERT_TRUE(WriteSuitePort(CSimControl::TestPortW()));
    volume.Attach(Create<IVKSVolume>(CLSID_VKSModule).Detach());
    ASSERT_TRUE(volume);
  }
  void StopServer() override {
    volume.Reset();
    if (ComStarted()) {
      ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
      if (general) EXPECT_EQ(S_OK, general->Shutdown(10000));
    }
    SimTestOf<ServerClientTest>::StopServer();
  }
  static std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

  ComPtr<IVKSVolume> volume;
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
