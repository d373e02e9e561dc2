// server/VKSGeneral.cpp - IVKSGeneral.
#include "VKSGeneral.h"
#include "CommPorts.h"
#include "ExeModule.h"
#include "ResultData.h"
#include "Settings.h"
#include "VKSAccess.h"
#include <vector>

HRESULT CVKSGeneral::Create(REFIID riid, void** ppv) { return CreateComObject<CVKSGeneral>(riid, ppv); }

HRESULT CVKSGeneral::Report(HRESULT hr) { return ReportResult(hr, CLSID_VKSGeneral, IID_IVKSGeneral); }

STDMETHODIMP CVKSGeneral::GetMobileModel(BSTR* pbstrModel) {
  COM_TRY
  if (!pbstrModel) return Report(E_POINTER);
  *pbstrModel = nullptr;
  wchar_t port[32];
  HRESULT hr = ReadPortSetting(port, ARRAYSIZE(port));
  if (FAILED(hr)) return hr;
  CBstr model;
  hr = CVKSAccess::QueryModel(port, 0, &model);
  if (FAILED(hr)) return Report(hr);
  *pbstrModel = SysAllocString(model.GetBstr() ? model.GetBstr() : L"");
  return *pbstrModel ? hr : Report(E_OUTOFMEMORY);
  COM_CATCH
}

STDMETHODIMP CVKSGeneral::GetCommPorts(BSTR* pbstrPorts, LONG lflags) {
  COM_TRY
  if (!pbstrPorts) return Report(E_POINTER);
  *pbstrPorts = nullptr;
  std::vector<wchar_t> ports(1024);
  if (ListCommPorts(ports.data(), static_cast<DWORD>(ports.size()), lflags) < 0) return Report(E_FAIL);
  *pbstrPorts = SysAllocString(ports.data());
  return *pbstrPorts ? S_OK : Report(E_OUTOFMEMORY);
  COM_CATCH
}

STDMETHODIMP CVKSGeneral::Shutdown(LONG timeout) {
  COM_TRY
  // A negative time-out would be an endless wait.
  if (timeout < 0) return Report(E_INVALIDARG);
  return Report(g_exeModule.WaitForShutdown(static_cast<DWORD>(timeout)) ? S_OK : E_ABORT);
  COM_CATCH
}
