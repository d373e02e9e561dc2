// com/ComBase.cpp - module lock count and the object base.
#include "ComBase.h"

namespace {
CComModuleBase g_defaultModule;
CComModuleBase* g_module = &g_defaultModule;
}  // namespace

CComModuleBase& GetComModule() { return *g_module; }
void SetComModule(CComModuleBase* module) { g_module = module ? module : &g_defaultModule; }

CComObjectBase::CComObjectBase(Lifetime lifetime) : m_lifetime(lifetime) {
  if (m_lifetime == Lifetime::Counted) GetComModule().Lock();
}

CComObjectBase::~CComObjectBase() {
  if (m_lifetime == Lifetime::Counted) GetComModule().Unlock();
}

ULONG CComObjectBase::InternalAddRef() {
  ULONG count = InterlockedIncrement(&m_refCount);
  if (m_lifetime == Lifetime::Global) GetComModule().Lock();
  return count;
}

ULONG CComObjectBase::InternalRelease() {
  ULONG count = InterlockedDecrement(&m_refCount);
  if (count == 0) {
    delete this;
    return 0;
  }
  if (m_lifetime == Lifetime::Global) GetComModule().Unlock();
  return count;
}
