// A client in another process: activation, vtable and IDispatch calls, error texts.
#include "ComBase.h"
#include "ResultCodes.h"
#include "ServerFixture.h"
#include "VKSServer.h"
#include <oleauto.h>
#include <string>

namespace {

using namespace vkstest;

class ActivationTest : public ServerClientTest {};

// No device stands behind it (the simulators take COM10 and up): opening it fails at once.
const wchar_t kMissingPort[] = L"COM9";

HRESULT SelectMissingPort(IVKSVolume* volume) {
  BSTR port = SysAllocString(kMissingPort);
  const HRESULT hr = volume->SelectPort(port);
  SysFreeString(port);
  return hr;
}

template <class I> ComPtr<IUnknown> Identity(const ComPtr<I>& object) {
  ComPtr<IUnknown> unknown;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
  return unknown;
}

// Ends the server at once instead of waiting for its idle exit.
void ShutdownServer() {
  ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
  ASSERT_TRUE(general);
  EXPECT_EQ(S_OK, general->Shutdown(5000));
}

DISPID IdOf(IDispatch* dispatch, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
  return id;
}

TEST_F(ActivationTest, ModuleIsSharedAndGeneralIsPerClient) {
  {
    ComPtr<IVKSVolume> a = Create<IVKSVolume>(CLSID_VKSModule);
    ComPtr<IVKSVolume> b = Create<IVKSVolume>(CLSID_VKSModule);
    ComPtr<IVKSGeneral> c = Create<IVKSGeneral>(CLSID_VKSGeneral);
    ComPtr<IVKSGeneral> d = Create<IVKSGeneral>(CLSID_VKSGeneral);
    ASSERT_TRUE(a && b && c && d);
    EXPECT_EQ(Identity(a).Get(), Identity(b).Get());
    EXPECT_NE(Identity(c).Get(), Identity(d).Get());
    EXPECT_EQ(S_OK, a->SelectPort(SysAllocString(L"com3")));

    BSTR ports = nullptr;
    EXPECT_EQ(S_OK, c->GetCommPorts(&ports, ALL_PORTS));
    SysFreeString(ports);
    // Vtable and ISupportErrorInfo answer for their own interface only.
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, a.As(&support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IVKSVolume));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IVKSGeneral));
    ASSERT_EQ(S_OK, c.As(&support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IVKSGeneral));
  }
  ShutdownServer();
}

TEST_F(ActivationTest, CallsThroughIDispatch) {
  {
    ComPtr<IVKSVolume> volume = Create<IVKSVolume>(CLSID_VKSModule);
    ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
    ASSERT_TRUE(volume && general);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, volume.As(&dispatch));
    EXPECT_EQ(23, IdOf(dispatch.Get(), L"SelectPort"));
    EXPECT_EQ(9, IdOf(dispatch.Get(), L"GetEntries"));

    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocString(kMissingPort);
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(S_OK, dispatch->Invoke(23, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                     nullptr, nullptr));
    VariantClear(&arg);

    // A failing method arrives as an exception with its code and text.
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[0]) = VT_BOOL;   // limittodirectories (arguments go last first)
    V_BOOL(&args[0]) = VARIANT_FALSE;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = SysAllocString(L"A:\\*");
    DISPPARAMS listParams = {args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep = {};
    HRESULT hr = dispatch->Invoke(9, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &listParams, &result,
                                  &excep, nullptr);
    EXPECT_TRUE(hr == DISP_E_EXCEPTION || hr == E_PORT_OPEN_FAILED) << std::hex << hr;
    if (hr == DISP_E_EXCEPTION) {
      EXPECT_EQ(E_PORT_OPEN_FAILED, excep.scode);
      EXPECT_NE(0u, SysStringLen(excep.bstrDescription));
    }
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    VariantClear(&args[1]);

    ComPtr<IDispatch> generalDispatch;
    ASSERT_EQ(S_OK, general.As(&generalDispatch));
    EXPECT_EQ(22, IdOf(generalDispatch.Get(), L"GetCommPorts"));
    EXPECT_EQ(24, IdOf(generalDispatch.Get(), L"Shutdown"));
    UINT count = 0;
    EXPECT_EQ(S_OK, generalDispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
  }
  ShutdownServer();
}

// The server's text of a failure, as the client sees it, in each language.
class ErrorTextTest : public ServerClientTest, public ::testing::WithParamInterface<DWORD> {
protected:
  void SetUp() override {
    ServerClientTest::SetUp();
    ASSERT_TRUE(WriteSuiteLanguage(GetParam()));
  }

  CSavedSetting m_savedLanguage{L"Language"};
};

const wchar_t* ExpectedPortOpenFailedText(DWORD language) {
  switch (language) {
    case 1031:
      return L"Der Anschluss konnte nicht ge\u00f6ffnet werden. \u00dcberpruefen Sie ob der COM-Port verf\u00fcgbar "
             L"ist und w\u00e4hlen Sie einen verf\u00fcgbaren COM-Port in den Eigenschaften der Orlenti Software aus.";
    case 2057:
      return L"The port could not be opened. Check whether the COM port is available and select an available COM "
             L"port from the Orlenti software properties.";
    default:
      return L"The port could not be opened. Check whether the COM port is available and select an available COM "
             L"port from the Orlenti Software properties.";
  }
}

TEST_P(ErrorTextTest, FailingCallCarriesCodeSourceGuidAndText) {
  {
    ComPtr<IVKSVolume> volume = Create<IVKSVolume>(CLSID_VKSModule);
    ASSERT_TRUE(volume);
    EXPECT_EQ(S_OK, SelectMissingPort(volume.Get()));
    BSTR path = SysAllocString(L"A:\\*");
    VARIANT entries;
    VariantInit(&entries);
    EXPECT_EQ(E_PORT_OPEN_FAILED, volume->GetEntries(path, VARIANT_FALSE, &entries));
    SysFreeString(path);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    BSTR text = nullptr;
    info->GetDescription(&text);
    EXPECT_STREQ(ExpectedPortOpenFailedText(GetParam()), text);
    SysFreeString(text);
    info->GetSource(&text);
    EXPECT_STREQ(L"VKSServer.VKSModule.1", text);
    SysFreeString(text);
    GUID guid;
    info->GetGUID(&guid);
    EXPECT_TRUE(IsEqualGUID(IID_IVKSVolume, guid));

    // A failure of a general facility carries no interface.
    EXPECT_EQ(E_POINTER, volume->SelectPort(nullptr));
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    info->GetGUID(&guid);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, guid));

    // A successful call leaves no stale information behind on its way back.
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(S_OK, SelectMissingPort(volume.Get()));
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &info));
  }
  ShutdownServer();
}

INSTANTIATE_TEST_SUITE_P(Languages, ErrorTextTest, ::testing::Values(1031u, 1033u, 2057u));

// Console tools may call from the multithreaded apartment.
DWORD WINAPI FailingCallFromMta(void* description) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    ComPtr<IVKSVolume> volume;
    if (SUCCEEDED(CoCreateInstance(CLSID_VKSModule, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSVolume,
                                   reinterpret_cast<void**>(&volume)))) {
      VARIANT entries;
      VariantInit(&entries);
      BSTR path = SysAllocString(L"A:\\*");
      ComPtr<IErrorInfo> info;
      SelectMissingPort(volume.Get());
      if (volume->GetEntries(path, VARIANT_FALSE, &entries) == E_PORT_OPEN_FAILED && GetErrorInfo(0, &info) == S_OK)
        info->GetDescription(static_cast<BSTR*>(description));
      SysFreeString(path);
    }
  }
  CoUninitialize();
  return 0;
}

TEST_F(ActivationTest, MultithreadedClientGetsTheTextToo) {
  BSTR description = nullptr;
  HANDLE thread = CreateThread(nullptr, 0, FailingCallFromMta, &description, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  WaitForSingleObject(thread, 30000);
  CloseHandle(thread);
  EXPECT_NE(0u, SysStringLen(description));
  SysFreeString(description);
  ShutdownServer();
}

}  // namespace
