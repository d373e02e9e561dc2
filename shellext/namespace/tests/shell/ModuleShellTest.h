// shell/ModuleShellTest.h - tests through Wine's own shell: the extension's
// DLL registered (the registry put back afterwards), alone or with the real
// server on the simulator.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include "ModuleServerTest.h"
#include "SavedRegistration.h"
#include "ShellExtTestSupport.h"

namespace shelltest {

// The DLL loaded and registered for the holder's lifetime.
class CRegisteredExtension {
public:
  CRegisteredExtension() = default;
  ~CRegisteredExtension() {
    if (m_dll) FreeLibrary(m_dll);
  }
  CRegisteredExtension(const CRegisteredExtension&) = delete;
  CRegisteredExtension& operator=(const CRegisteredExtension&) = delete;

  HRESULT Register() {
    if (!m_dll) m_dll = LoadLibraryW(ShellExtDllPath());
    if (!m_dll) return HRESULT_FROM_WIN32(GetLastError());
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(m_dll, "DllRegisterServer")));
    return reg ? reg() : E_NOINTERFACE;
  }

private:
  CSavedRegistration m_saved;
  HMODULE m_dll = nullptr;
};

class CModuleShellTest : public CModuleServerTest {
protected:
  void SetUp() override {
    CModuleServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(m_extension.Register(), S_OK);
  }

private:
  CRegisteredExtension m_extension;
};

}  // namespace shelltest
