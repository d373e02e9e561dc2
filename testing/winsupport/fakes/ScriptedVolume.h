// testing/winsupport/fakes/ScriptedVolume.h - an in-process IVKSVolume with a listing per path and
// failures where the test puts them; it records every call in order.
#pragma once
#include <map>
#include <string>
#include <vector>
#include "FakeVolume.h"
#include "TestEntries.h"

class CScriptedVolume final : public CFakeVolume {
public:
  struct Failure {
    HRESULT code;
    const wchar_t* description;   // null: the call leaves no error object
  };

  ~CScriptedVolume() override {
    for (auto& listing : m_listings) VariantClear(&listing.second);
  }
  // What GetEntries answers for path; a path without a listing gives no entries.
  void SetListing(const std::wstring& path, const CTestEntries& entries) {
    VariantClear(&m_listings[path]);
    m_listings[path] = entries.Build();
  }
  // "GetEntries <path>", "Delete <path>" or "RemoveDir <path>" fails.
  void Fail(const std::wstring& call, HRESULT code, const wchar_t* description) {
    m_failures[call] = {code, description};
  }
  std::vector<std::wstring> calls;

  STDMETHODIMP GetEntries(BSTR path, VARIANT_BOOL, VARIANT* out) override {
    VariantInit(out);
    HRESULT hr = Record(L"GetEntries", path);
    if (FAILED(hr)) return hr;
    auto listing = m_listings.find(path ? path : L"");
    if (listing != m_listings.end()) return VariantCopy(out, &listing->second);
    VARIANT none = CTestEntries().Build();
    *out = none;
    return S_OK;
  }
  STDMETHODIMP Delete(BSTR path) override { return Record(L"Delete", path); }
  STDMETHODIMP RemoveDir(BSTR path) override { return Record(L"RemoveDir", path); }

private:
  HRESULT Record(const wchar_t* method, BSTR path) {
    std::wstring call = std::wstring(method) + L" " + (path ? path : L"");
    calls.push_back(call);
    auto failure = m_failures.find(call);
    if (failure == m_failures.end()) return S_OK;
    if (failure->second.description) SetThreadError(failure->second.description);
    return failure->second.code;
  }

  std::map<std::wstring, VARIANT> m_listings;
  std::map<std::wstring, Failure> m_failures;
};
