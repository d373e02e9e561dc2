// testsupport/ShellSettingsStub.h - Explorer's settings as the test sets them; installed for its lifetime.
#pragma once
#include "Seams.h"

class CShellSettingsStub final : public IShellSettings {
public:
  int platformClass = 4;
  bool webView = false;
  bool singleClick = false;
  SHELLSTATEW state = {};
  DWORD lastMask = 0;

  CShellSettingsStub() : m_previous(SetShellSettings(this)) {}
  ~CShellSettingsStub() { SetShellSettings(m_previous); }
  CShellSettingsStub(const CShellSettingsStub&) = delete;
  CShellSettingsStub& operator=(const CShellSettingsStub&) = delete;

  int PlatformClass() override { return platformClass; }
  bool WebViewEnabled() override { return webView; }
  bool SingleClickOpens() override { return singleClick; }
  void GetShellState(SHELLSTATEW* out, DWORD mask) override {
    lastMask = mask;
    if (out) *out = state;
  }

private:
  IShellSettings* m_previous;
};

// Hands out the test's fakes through the volume seam for its lifetime, to
// every thread (the fakes count references but are never deleted).
class CVolumeFactoryScope {
public:
  explicit CVolumeFactoryScope(IVKSVolume* volume, IVKSGeneral* general = nullptr);
  ~CVolumeFactoryScope();
  CVolumeFactoryScope(const CVolumeFactoryScope&) = delete;
  CVolumeFactoryScope& operator=(const CVolumeFactoryScope&) = delete;
  // What the factory returns while no volume is given (default E_FAIL).
  static void SetFailure(HRESULT failure);

private:
  VolumeFactoryFn m_previousVolume;
  GeneralFactoryFn m_previousGeneral;
};
