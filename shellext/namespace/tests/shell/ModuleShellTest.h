// shell/ModuleShellTest.h - tests through Wine's own shell: the real server on
// the simulator with volume A, English texts, and the extension's DLL
// registered (the registry put back afterwards).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include "ComBase.h"
#include "SavedRegistration.h"
#include "ServerFixture.h"
#include "ShellExtTestSupport.h"
#include "SimFixture.h"
#include "SuiteSettings.h"
#include "VKSServer.h"

namespace shelltest {

class CModuleShellTest : public vkstest::SimTestOf<vkstest::ServerClientTest> {
protected:
  void SetUp() override {
    SimTestOf::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UseVolumes(1);
    ASSERT_TRUE(vkstest::WriteSuitePort(vkstest::CSimControl::TestPortW()));
    ASSERT_TRUE(vkstest::WriteSuiteLanguage(1033));
    m_dll = LoadLibraryW(ShellExtDllPath());
    ASSERT_NE(m_dll, nullptr);
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(m_dll, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
  }
  // Whatever the test holds of the shell goes first (ReleaseShell), then the
  // DLL may go before the server does.
  virtual void ReleaseShell() {}
  void StopServer() override {
    ReleaseShell();
    CoFreeUnusedLibraries();
    if (ComStarted()) {
      ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
      if (general) EXPECT_EQ(S_OK, general->Shutdown(10000));
    }
    SimTestOf::StopServer();
  }
  void TearDown() override {
    SimTestOf::TearDown();
    if (m_dll) FreeLibrary(m_dll);
  }

private:
  HMODULE m_dll = nullptr;
  CSavedRegistration m_saved;
  vkstest::CSavedSetting m_savedPort{L"Port"};
  vkstest::CSavedSetting m_savedLanguage{L"Language"};
};

}  // namespace shelltest
