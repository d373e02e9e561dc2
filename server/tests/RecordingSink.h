// An IVKSNotifySink that writes down each call and its time.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ComBase.h"
#include "VKSServer.h"

class RecordingSink final : public IVKSNotifySink, public CComObjectBase {
  COM_QI_TABLE(RecordingSink, IVKSNotifySink)

public:
  RecordingSink() : CComObjectBase(Lifetime::Uncounted) {}
  STDMETHODIMP OnChange(BSTR path) override {
    calls.push_back({path ? path : L"", GetTickCount()});
    return result;
  }
  struct Call {
    std::wstring path;
    DWORD at;
  };
  std::vector<Call> calls;
  HRESULT result = S_OK;  // what OnChange answers

private:
  ~RecordingSink() override = default;
};
