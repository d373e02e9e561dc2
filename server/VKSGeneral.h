// server/VKSGeneral.h - IVKSGeneral: module model, serial ports, shutdown; one per client.
#pragma once
#include "ComDispatch.h"
#include "VKSServer.h"

class CVKSGeneral final : public CDispatchImpl<IVKSGeneral>,
                          public CSupportErrorInfoImpl<&IID_IVKSGeneral>,
                          public CComObjectBase {
  COM_QI_TABLE(CVKSGeneral, IVKSGeneral, NComKit::QIAs<IDispatch, IVKSGeneral>, ISupportErrorInfo)

public:
  static HRESULT Create(REFIID riid, void** ppv);

  STDMETHODIMP GetMobileModel(BSTR* pbstrModel) override;
  STDMETHODIMP GetCommPorts(BSTR* pbstrPorts, LONG lflags) override;
  STDMETHODIMP Shutdown(LONG timeout) override;

private:
  ~CVKSGeneral() override = default;
  static HRESULT Report(HRESULT hr);
};
