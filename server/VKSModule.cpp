// server/VKSModule.cpp - IVKSVolume. Until the module access layer is joined
// to it, every module operation finds no connection.
#include "VKSModule.h"
#include "ResultCodes.h"
#include "ResultData.h"
#include "Settings.h"

VKSModule::VKSModule() : CComObjectBase(Lifetime::Global) { InitializeCriticalSection(&m_lock); }

VKSModule::~VKSModule() { DeleteCriticalSection(&m_lock); }

HRESULT VKSModule::Create(REFIID riid, void** ppv) { return CreateComObject<VKSModule>(riid, ppv); }

HRESULT VKSModule::FinalConstruct() {
  wchar_t port[32];
  HRESULT hr = ReadPortSetting(port, ARRAYSIZE(port));
  if (SUCCEEDED(hr)) hr = SelectPortName(port);
  if (hr == E_NO_COMMUNICATION) hr = S_OK;
  if (FAILED(hr)) OutputDebugStringW(L"VKSModule::FinalConstruct() really failed\n");
  return hr;
}

HRESULT VKSModule::Report(HRESULT hr) { return ReportResult(hr, CLSID_VKSModule, IID_IVKSVolume); }

HRESULT VKSModule::SelectPortName(const wchar_t* port) {
  if (!port) return E_POINTER;
  if (!*port) return E_INVALIDARG;
  EnterCriticalSection(&m_lock);
  lstrcpynW(m_portName, port, ARRAYSIZE(m_portName));
  CharUpperW(m_portName);
  LeaveCriticalSection(&m_lock);
  return S_OK;
}

HRESULT VKSModule::GetVolumeCount(short* count) {
  *count = 0;
  return E_CONNECTION_LOST;
}

HRESULT VKSModule::ModuleOperation() {
  short count = 0;
  RETURN_IF_FAILED(GetVolumeCount(&count));
  return E_NOTIMPL;
}

STDMETHODIMP VKSModule::AddChangeNotification(BSTR, IUnknown*, LONG* token) {
  COM_TRY
  if (!token) return Report(E_POINTER);
  *token = 0;
  return Report(E_NOTIMPL);
  COM_CATCH
}

STDMETHODIMP VKSModule::BroadcastChangeNotification(BSTR) {
  COM_TRY
  return Report(E_NOTIMPL);
  COM_CATCH
}

STDMETHODIMP VKSModule::Copy(BSTR, BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::CreateDir(BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::CreateStdDirs(BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::Delete(BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::Format(BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::GetCapacity(BSTR, LONG* total, LONG* free) {
  COM_TRY
  if (total) *total = 0;
  if (free) *free = 0;
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::GetEntries(BSTR, VARIANT_BOOL, VARIANT* entries) {
  COM_TRY
  if (!entries) return Report(E_POINTER);
  VariantInit(entries);
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::GetFile(BSTR path, IUnknown** content) {
  COM_TRY
  if (!path) return Report(E_INVALIDARG);
  if (!content) return Report(E_POINTER);
  *content = nullptr;
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::GetLabel(BSTR, BSTR* label) {
  COM_TRY
  if (!label) return Report(E_POINTER);
  *label = nullptr;
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::HasSubDirs(BSTR, VARIANT_BOOL* subdirs) {
  COM_TRY
  if (!subdirs) return Report(E_POINTER);
  *subdirs = VARIANT_FALSE;
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::Move(BSTR, BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::MoveDir(BSTR, BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::PutFile(BSTR, IUnknown*, LONG) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::RemoveChangeNotification(LONG) {
  COM_TRY
  return Report(E_NOTIMPL);
  COM_CATCH
}

STDMETHODIMP VKSModule::RemoveDir(BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::SetAttributes(BSTR, LONG) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::SetLabel(BSTR, BSTR) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::SetTime(BSTR, DATE, DATE, DATE) {
  COM_TRY
  return Report(ModuleOperation());
  COM_CATCH
}

STDMETHODIMP VKSModule::SelectPort(BSTR bstrPort) {
  COM_TRY
  return Report(SelectPortName(bstrPort));
  COM_CATCH
}
