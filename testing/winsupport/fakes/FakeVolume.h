// testing/winsupport/fakes/FakeVolume.h - error objects made by tests, and an in-process IVKSVolume
// whose GetEntries answers what the test set.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>
#include <string>
#include "ErrorText.h"
#include "VKSServer.h"

inline void SetThreadError(const wchar_t* description) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

// COM on the test's thread, with no error object before or after a test.
class ErrorInfoTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    ClearErrorInfo();
  }
  void TearDown() override {
    ClearErrorInfo();
    CoUninitialize();
  }
};

// The counting and the IDispatch stubs every fake of a dual interface shares.
// Fakes live on the test's stack; the count only shows whether users let go.
template <class Interface> class CFakeDual : public Interface {
public:
  LONG references = 1;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

class CFakeVolume : public CFakeDual<IVKSVolume> {
public:
  // GetEntries gives a copy of entries (VT_EMPTY when not set) and result;
  // with a description it also leaves that error object, as the server does.
  VARIANT entries = {};
  HRESULT result = S_OK;
  const wchar_t* description = nullptr;
  int calls = 0;
  std::wstring lastPath;
  VARIANT_BOOL lastLimit = VARIANT_FALSE;

  virtual ~CFakeVolume() { VariantClear(&entries); }

  STDMETHODIMP GetEntries(BSTR path, VARIANT_BOOL limit, VARIANT* out) override {
    ++calls;
    lastPath = path ? path : L"";
    lastLimit = limit;
    VariantInit(out);
    VariantCopy(out, &entries);
    if (description) SetThreadError(description);
    return result;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IVKSVolume)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP AddChangeNotification(BSTR, IUnknown*, LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP BroadcastChangeNotification(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP Copy(BSTR, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP CreateDir(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP CreateStdDirs(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP Delete(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP Format(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetCapacity(BSTR, LONG*, LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP GetFile(BSTR, IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP GetLabel(BSTR, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP HasSubDirs(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP Move(BSTR, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP MoveDir(BSTR, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP PutFile(BSTR, IUnknown*, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP RemoveChangeNotification(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP RemoveDir(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP SetAttributes(BSTR, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP SetLabel(BSTR, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP SetTime(BSTR, DATE, DATE, DATE) override { return E_NOTIMPL; }
  STDMETHODIMP SelectPort(BSTR) override { return E_NOTIMPL; }
};
