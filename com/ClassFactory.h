// com/ClassFactory.h - the per-module class table and its factories.
#pragma once
#include "ComBase.h"

using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);
// For classes that can be aggregated: outer is the controlling unknown.
using CreateAggregateFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

enum : DWORD {
  kClassSingleton = 1,   // one object for every client, made on first request
  kClassOptionalRegistration = 2,   // a failing script fails neither registration nor removal
};

struct CClassEntry {
  const CLSID* clsid;
  CreateInstanceFn create;
  DWORD flags;
  UINT registryScript;   // REGISTRY resource of the class, 0 for none
  CreateAggregateFn createAggregate = nullptr;   // null: not aggregatable
};

// Owns one factory per entry. An EXE registers them with COM; a DLL hands
// them out from DllGetClassObject.
class CClassTable {
public:
  CClassTable(const CClassEntry* entries, size_t count);
  ~CClassTable();
  CClassTable(const CClassTable&) = delete;
  CClassTable& operator=(const CClassTable&) = delete;

  size_t GetCount() const { return m_count; }
  const CClassEntry& GetEntry(size_t index) const { return m_entries[index]; }

  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
  // All or nothing: on a failure the classes registered so far are revoked.
  HRESULT RegisterClassObjects(DWORD context, DWORD flags);
  void RevokeClassObjects();
  // Drops the factories and with them any singleton.
  void Term();

private:
  HRESULT GetFactory(size_t index, IClassFactory** factory);

  const CClassEntry* m_entries;
  size_t m_count;
  IClassFactory** m_factories;
  DWORD* m_cookies;
  CRITICAL_SECTION m_lock;
};
