// search/tests/SearchServerFixture.h - the search against the real server on
// the simulator: a sink that keeps the hits' names, and a fixture with one
// volume that shuts the server down after its clients.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ModuleItemID.h"
#include "SearchEngine.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "SuiteSettings.h"
#include "VKSServer.h"

class CHitSink final : public ISearchSink {
public:
  std::vector<std::wstring> hits;
  bool IsStopped() override { return false; }
  void PumpMessages() override {}
  void SetStatusText(const wchar_t*) override {}
  void AddHit(LPCITEMIDLIST item) override { hits.push_back(GetItemName(item)); }
  HWND GetOwner() override { return nullptr; }
};

// The server's port is the simulator's, with one volume; volume is the
// test's own server object.
class SearchServerTest : public vkstest::SimTestOf<vkstest::ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(1);
    ASSERT_TRUE(vkstest::WriteSuitePort(vkstest::CSimControl::TestPortW()));
    volume.Attach(vkstest::Create<IVKSVolume>(CLSID_VKSModule).Detach());
    ASSERT_TRUE(volume);
  }
  void StopServer() override {
    volume.Reset();
    if (ComStarted()) {
      ComPtr<IVKSGeneral> general = vkstest::Create<IVKSGeneral>(CLSID_VKSGeneral);
      if (general) EXPECT_EQ(S_OK, general->Shutdown(10000));
    }
    SimTestOf<ServerClientTest>::StopServer();
  }

  ComPtr<IVKSVolume> volume;
};
