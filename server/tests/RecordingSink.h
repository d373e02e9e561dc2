// An IVKSNotifySink that writes down each call and its time on clock.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Clock.h"
#include "ComBase.h"
#include "VKSServer.h"

class RecordingSink final : public IVKSNotifySink, public CComObjectBase {
  COM_QI_TABLE(RecordingSink, IVKSNotifySink)

public:
  explicit RecordingSink(IClock& clock = SystemClock()) : CComObjectBase(Lifetime::Uncounted), m_clock(clock) {}
  STDMETHODIMP OnChange(BSTR path) override {
    calls.push_back({path ? path : L"", m_clock.Now()});
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
  IClock& m_clock;
};
