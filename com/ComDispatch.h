// com/ComDispatch.h - IDispatch from the module's own type library, and ISupportErrorInfo.
#pragma once
#include "ComBase.h"
#include <oleauto.h>

// The ITypeInfo of iid in the type library embedded in the module that holds
// this code (TYPELIB 1). Loaded once per process and kept.
HRESULT GetModuleTypeInfo(REFIID iid, ITypeInfo** info);
// Full path of the module that holds this code (the EXE or the DLL).
HRESULT GetThisModulePath(wchar_t* path, DWORD capacity);
HMODULE GetThisModule();

// Implements the IDispatch part of a dual interface I through its type info.
template <class I> class CDispatchImpl : public I {
public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return GetModuleTypeInfo(__uuidof(I), info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                             DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(GetModuleTypeInfo(__uuidof(I), &info));
    return info->GetIDsOfNames(names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argError) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(GetModuleTypeInfo(__uuidof(I), &info));
    // ITypeInfo::Invoke turns the thread's error information into EXCEPINFO.
    return info->Invoke(static_cast<I*>(this), id, flags, params, result, excep, argError);
  }
};

// ISupportErrorInfo answering S_OK for the one interface that reports errors.
template <const IID* piid> class CSupportErrorInfoImpl : public ISupportErrorInfo {
public:
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, *piid) ? S_OK : S_FALSE;
  }
};
