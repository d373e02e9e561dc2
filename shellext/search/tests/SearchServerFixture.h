// search/tests/SearchServerFixture.h - the search against the real server on
// the simulator: a sink that keeps the hits' names, and the server fixture
// with the test's own server object.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ModuleItemID.h"
#include "ModuleServerTest.h"
#include "SearchEngine.h"

class CHitSink final : public ISearchSink {
public:
  std::vector<std::wstring> hits;
  bool IsStopped() override { return false; }
  void PumpMessages() override {}
  void SetStatusText(const wchar_t*) override {}
  void AddHit(LPCITEMIDLIST item) override { hits.push_back(GetItemName(item)); }
  HWND GetOwner() override { return nullptr; }
};

class SearchServerTest : public CModuleServerTest {
protected:
  void SetUp() override {
    CModuleServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    volume.Attach(vkstest::Create<IVKSVolume>(CLSID_VKSModule).Detach());
    ASSERT_TRUE(volume);
  }
  void ReleaseClients() override { volume.Reset(); }

  ComPtr<IVKSVolume> volume;
};
