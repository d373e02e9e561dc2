// testsupport/ModuleSimTest.h - the fixture of extension tests against the
// real server on the simulator: two volumes, the suite's port set to the
// simulator's, this thread's own server object through the extension's
// factory, and the server shut down afterwards.
#pragma once
#include <gtest/gtest.h>
#include "ComBase.h"
#include "Seams.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "SuiteSettings.h"

class CModuleSimTest : public vkstest::SimTestOf<vkstest::ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf<ServerClientTest>::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(2);
    ASSERT_TRUE(vkstest::WriteSuitePort(vkstest::CSimControl::TestPortW()));
    ASSERT_EQ(S_OK, CreateModuleVolume(&volume));
  }
  void StopServer() override {
    volume.Reset();
    ShutDownServer();
    SimTestOf<ServerClientTest>::StopServer();
  }

  ComPtr<IVKSVolume> volume;
};
