// shell/ModuleShellTest.h - tests through Wine's own shell: the real server on
// the simulator and the extension's DLL registered (the registry put back
// afterwards).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include "ModuleServerTest.h"
#include "SavedRegistration.h"
#include "ShellExtTestSupport.h"

namespace shelltest {

class CModuleShellTest : public CModuleServerTest {
protected:
  void SetUp() override {
    CModuleServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_dll = LoadLibraryW(ShellExtDllPath());
    ASSERT_NE(m_dll, nullptr);
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(m_dll, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
  }
  void TearDown() override {
    CModuleServerTest::TearDown();
    if (m_dll) FreeLibrary(m_dll);
  }

private:
  HMODULE m_dll = nullptr;
  CSavedRegistration m_saved;
};

}  // namespace shelltest
