// core/ResultData.cpp - result texts and error information.
#include "ResultData.h"
#include "ComBase.h"
#include "ErrorText.h"
#include "ResourceModule.h"
#include "ResultCodes.h"

const wchar_t kModuleMakerName[] = L"Halvorten";

namespace {

struct CodeText {
  HRESULT code;
  UINT textId;
};
const CodeText kOwnTexts[] = {
    {E_PORT_IN_USE, 8374},
    {E_NO_COMMUNICATION, 8375},
    {E_PORT_OPEN_FAILED, 8376},
    {E_CONNECTION_LOST, 8377},
};

}  // namespace

HRESULT ClientResultCode(HRESULT code) {
  return code == E_TRANSFER_CANCELLED ? HRESULT_FROM_WIN32(ERROR_CANCELLED) : code;
}

ResultData::~ResultData() { SysFreeString(m_description); }

void ResultData::ReplaceDescription(BSTR text) {
  SysFreeString(m_description);
  m_description = text;
}

HRESULT ResultData::SetResult(HRESULT code, const CResourceModule* module) {
  code = ClientResultCode(code);
  m_result = code;
  ReplaceDescription(nullptr);
  if (SUCCEEDED(code)) return S_OK;
  for (const CodeText& own : kOwnTexts) {
    if (own.code != code) continue;
    const CResourceModule& texts = module ? *module : g_resourceModule;
    CBstr text = texts.FormatResMessage(own.textId, kModuleMakerName);
    ReplaceDescription(text.Detach());
    return S_OK;
  }
  BSTR system = nullptr;
  const HRESULT hr = GetSystemMessage(code, &system);
  ReplaceDescription(system);
  return hr;
}

HRESULT ResultData::SetLastErrorResult() {
  DWORD error = GetLastError();
  HRESULT code = static_cast<HRESULT>(error);
  if (code > 0) code = static_cast<HRESULT>(0x80070000u | (error & 0xffffu));
  return SetResult(code);
}

void ResultData::SetErrorInfo(REFCLSID clsid, REFIID iid) const {
  if (SUCCEEDED(m_result)) return;
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(&create))) return;
  switch (HRESULT_FACILITY(m_result)) {
    case FACILITY_NULL:
    case FACILITY_RPC:
    case FACILITY_DISPATCH:
    case FACILITY_WIN32:
      create->SetGUID(GUID_NULL);
      break;
    default:
      create->SetGUID(iid);
  }
  LPOLESTR progId = nullptr;
  if (!IsEqualCLSID(clsid, GUID_NULL) && SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId) {
    create->SetSource(progId);
    CoTaskMemFree(progId);
  }
  create->SetDescription(m_description ? m_description : const_cast<LPOLESTR>(L""));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(&info))) ::SetErrorInfo(0, info.Get());
}

HRESULT ReportResult(HRESULT code, REFCLSID clsid, REFIID iid) {
  ResultData result;
  HRESULT stored = result.SetResult(code);
  result.SetErrorInfo(clsid, iid);
  return FAILED(stored) ? stored : result.GetResult();
}
