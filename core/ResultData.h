// core/ResultData.h - an HRESULT with its text in the chosen language, published as error information.
#pragma once
#include <windows.h>
#include <oleauto.h>

class CResourceModule;

// The insert of text 8375 ("... with a %1 module ...").
extern const wchar_t kModuleMakerName[];

// What a client is told of code: a cancelled transfer (E_TRANSFER_CANCELLED)
// as the platform's code for a cancelled operation, 0x800704D3; any other
// code as it is.
HRESULT ClientResultCode(HRESULT code);

class ResultData {
public:
  ResultData() = default;
  ~ResultData();
  ResultData(const ResultData&) = delete;
  ResultData& operator=(const ResultData&) = delete;

  HRESULT GetResult() const { return m_result; }
  BSTR GetDescription() const { return m_description; }
  // Stores code (a cancel as the system's "cancelled") and its text, from
  // module or else the selected resource module. E_OUTOFMEMORY when the text
  // could not be copied (the code is stored all the same).
  HRESULT SetResult(HRESULT code, const CResourceModule* module = nullptr);
  // GetLastError() as an HRESULT.
  HRESULT SetLastErrorResult();
  // Failures only: the thread's error information for class clsid, interface iid.
  void SetErrorInfo(REFCLSID clsid, REFIID iid) const;

private:
  void ReplaceDescription(BSTR text);

  HRESULT m_result = S_OK;
  BSTR m_description = nullptr;
};

// The one call an object's error reporter makes: stores code, publishes it
// for clsid/iid and returns the stored code (or E_OUTOFMEMORY when even that
// failed).
HRESULT ReportResult(HRESULT code, REFCLSID clsid, REFIID iid);
