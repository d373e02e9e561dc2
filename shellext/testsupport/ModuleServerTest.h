// testsupport/ModuleServerTest.h - tests against the real server on the
// simulator with volume A as the extension's clients see it: the suite's port
// is the simulator's, English texts; the server is shut down at the end.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include "ComBase.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "SuiteSettings.h"
#include "VKSServer.h"

class CModuleServerTest : public vkstest::SimTestOf<vkstest::ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(1);
    ASSERT_TRUE(vkstest::WriteSuitePort(vkstest::CSimControl::TestPortW()));
    ASSERT_TRUE(vkstest::WriteSuiteLanguage(1033));
  }
  // What the test holds of the server (or of a shell holding our objects)
  // goes first; then libraries no longer used may go before the server does.
  virtual void ReleaseClients() {}
  void StopServer() override {
    ReleaseClients();
    CoFreeUnusedLibraries();
    ShutDownServer();
    SimTestOf::StopServer();
  }

private:
  vkstest::CSavedSetting m_savedPort{L"Port"};
  vkstest::CSavedSetting m_savedLanguage{L"Language"};
};
