// core/ErrorText.cpp - error objects and system messages as texts.
#include "ErrorText.h"
#include <oleauto.h>

void ClearErrorInfo() { SetErrorInfo(0, nullptr); }

bool TakeErrorDescription(CBstr* description) {
  if (description) description->Empty();
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return false;
  BSTR text = nullptr;
  if (SUCCEEDED(info->GetDescription(&text)) && description) description->Attach(text);
  else SysFreeString(text);
  info->Release();
  return true;
}

CBstr GetErrorText(HRESULT result) {
  CBstr text;
  if (SUCCEEDED(result)) return text;
  if (TakeErrorDescription(&text) && text.GetLength()) return text;
  BSTR message = nullptr;
  GetSystemMessage(result, &message);
  text.Attach(message);
  return text;
}

HRESULT GetSystemMessage(HRESULT code, BSTR* text) {
  *text = nullptr;
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
  HRESULT hr = S_OK;
  if (length && message) {
    *text = SysAllocStringLen(message, length);
    if (!*text) hr = E_OUTOFMEMORY;
  }
  if (message) LocalFree(message);
  return hr;
}
