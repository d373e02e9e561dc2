// testing/winsupport/fakes/ScriptedVolume.h - an in-process IVKSVolume with a listing per path and
// failures where the test puts them; it records every call in order.
#pragma once
#include <objidl.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "FakeVolume.h"
#include "TestEntries.h"

// A read-only stream over shared bytes; every Read adds one to *reads.
class CBytesStream final : public IStream {
public:
  CBytesStream(std::shared_ptr<const std::string> bytes, int* reads) : m_bytes(std::move(bytes)), m_reads(reads) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) ||
        IsEqualIID(riid, IID_ISequentialStream)) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override {
    ++*m_reads;
    const size_t left = m_bytes->size() - m_position;
    const ULONG n = static_cast<ULONG>(count < left ? count : left);
    memcpy(buffer, m_bytes->data() + m_position, n);
    m_position += n;
    if (read) *read = n;
    return S_OK;
  }
  STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
    ZeroMemory(stat, sizeof(*stat));
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = m_bytes->size();
    return S_OK;
  }
  STDMETHODIMP Clone(IStream** clone) override {
    auto* copy = new CBytesStream(m_bytes, m_reads);
    copy->m_position = m_position;
    *clone = copy;
    return S_OK;
  }
  STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }

private:
  ~CBytesStream() = default;
  std::shared_ptr<const std::string> m_bytes;
  int* m_reads;
  size_t m_position = 0;
  LONG m_references = 1;
};

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
  // What GetFile gives for path: a stream over bytes (a path without them
  // gives an empty stream). Reads of all its streams are counted in reads.
  void SetFile(const std::wstring& path, const std::string& bytes) {
    m_files[path] = std::make_shared<const std::string>(bytes);
  }
  int reads = 0;
  // "GetEntries <path>", "GetFile <path>", "Delete <path>" or "RemoveDir <path>" fails.
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
  STDMETHODIMP GetFile(BSTR path, IUnknown** content) override {
    *content = nullptr;
    HRESULT hr = Record(L"GetFile", path);
    if (FAILED(hr)) return hr;
    auto file = m_files.find(path ? path : L"");
    auto bytes = file != m_files.end() ? file->second : std::make_shared<const std::string>();
    *content = new CBytesStream(bytes, &reads);
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
  std::map<std::wstring, std::shared_ptr<const std::string>> m_files;
};
