// testing/winsupport/fakes/FakeGeneral.h - an in-process IVKSGeneral that
// answers the model the test set.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include "FakeDispatch.h"
#include "VKSServer.h"

class CFakeGeneral : public CFakeDispatch<IVKSGeneral> {
public:
  const wchar_t* model = nullptr;   // null: GetMobileModel gives no text
  HRESULT result = S_OK;
  int calls = 0;

  STDMETHODIMP GetMobileModel(BSTR* out) override {
    ++calls;
    *out = model ? SysAllocString(model) : nullptr;
    return result;
  }
  STDMETHODIMP GetCommPorts(BSTR* ports, LONG) override {
    *ports = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP Shutdown(LONG) override { return E_NOTIMPL; }
};
