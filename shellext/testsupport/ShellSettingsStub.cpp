// testsupport/ShellSettingsStub.cpp
#include "ShellSettingsStub.h"
#include <atomic>

namespace {

std::atomic<IVKSVolume*> g_volume{nullptr};
std::atomic<IVKSGeneral*> g_general{nullptr};
std::atomic<HRESULT> g_failure{E_FAIL};

HRESULT HandOutVolume(IVKSVolume** volume) {
  IVKSVolume* fake = g_volume.load();
  if (!fake) return g_failure.load();
  fake->AddRef();
  *volume = fake;
  return S_OK;
}

HRESULT HandOutGeneral(IVKSGeneral** general) {
  IVKSGeneral* fake = g_general.load();
  if (!fake) return g_failure.load();
  fake->AddRef();
  *general = fake;
  return S_OK;
}

}  // namespace

CVolumeFactoryScope::CVolumeFactoryScope(IVKSVolume* volume, IVKSGeneral* general)
    : m_previousVolume(SetVolumeFactory(HandOutVolume)), m_previousGeneral(SetGeneralFactory(HandOutGeneral)) {
  g_volume = volume;
  g_general = general;
}

CVolumeFactoryScope::~CVolumeFactoryScope() {
  g_volume = nullptr;
  g_general = nullptr;
  g_failure = E_FAIL;
  SetVolumeFactory(m_previousVolume);
  SetGeneralFactory(m_previousGeneral);
}

void CVolumeFactoryScope::SetFailure(HRESULT failure) { g_failure = failure; }
