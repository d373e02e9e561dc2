// Both sides of the error-information hook driven by hand, as the channel would.
#include "ComBase.h"
#include "ErrorInfoChannel.h"
#include <oleauto.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

class ErrorInfoHookTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_EQ(S_OK, CreateErrorInfoChannelHook(&m_hook));
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    m_hook.Reset();
    CoUninitialize();
  }

  static void SetThreadError(const wchar_t* description) {
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<LPOLESTR>(description));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, create.As(&info));
    SetErrorInfo(0, info.Get());
  }
  static std::wstring ThreadError() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK) return L"<none>";
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    SetErrorInfo(0, info.Get());
    return result;
  }

  // The server side's reply data for the error information on this thread.
  std::vector<BYTE> ServerReply() {
    ULONG size = 0;
    m_hook->ServerGetSize(kErrorInfoExtension, IID_IUnknown, S_OK, &size);
    std::vector<BYTE> data(size);
    if (size) m_hook->ServerFillBuffer(kErrorInfoExtension, IID_IUnknown, &size, data.data(), S_OK);
    data.resize(size);
    return data;
  }
  void ClientReceives(std::vector<BYTE>& data) {
    m_hook->ClientNotify(kErrorInfoExtension, IID_IUnknown, static_cast<ULONG>(data.size()),
                         data.empty() ? nullptr : data.data(), NDR_LOCAL_DATA_REPRESENTATION, S_OK);
  }
  void ServerReceivesCall() {
    ULONG size = 0;
    m_hook->ClientGetSize(kErrorInfoExtension, IID_IUnknown, &size);
    std::vector<BYTE> request(size);
    m_hook->ClientFillBuffer(kErrorInfoExtension, IID_IUnknown, &size, request.data());
    ASSERT_GT(size, 0u);   // each call is marked, or the server never hears of it
    m_hook->ServerNotify(kErrorInfoExtension, IID_IUnknown, size, request.data(), NDR_LOCAL_DATA_REPRESENTATION);
  }

  ComPtr<IChannelHook> m_hook;
};

TEST_F(ErrorInfoHookTest, ServerTextReachesAClientThatHasNone) {
  ServerReceivesCall();
  SetThreadError(L"Die Verbindung ist unterbrochen.");
  std::vector<BYTE> reply = ServerReply();
  ASSERT_FALSE(reply.empty());
  // The server thread keeps its information for the platform's own carrier.
  EXPECT_EQ(L"Die Verbindung ist unterbrochen.", ThreadError());
  SetErrorInfo(0, nullptr);
  ClientReceives(reply);
  EXPECT_EQ(L"Die Verbindung ist unterbrochen.", ThreadError());
}

TEST_F(ErrorInfoHookTest, InformationThePlatformDeliveredIsLeftAlone) {
  SetThreadError(L"from the server");
  std::vector<BYTE> reply = ServerReply();
  SetThreadError(L"delivered by the platform");
  ClientReceives(reply);
  EXPECT_EQ(L"delivered by the platform", ThreadError());
}

TEST_F(ErrorInfoHookTest, ACallStartsCleanSoNoEarlierInformationIsSent) {
  SetThreadError(L"left over from the call before");
  ServerReceivesCall();
  EXPECT_TRUE(ServerReply().empty());
  EXPECT_EQ(L"<none>", ThreadError());
}

TEST_F(ErrorInfoHookTest, ForeignOrDamagedDataChangesNothing) {
  SetThreadError(L"x");
  std::vector<BYTE> reply = ServerReply();
  SetErrorInfo(0, nullptr);
  reply.resize(reply.size() / 2);
  ClientReceives(reply);
  EXPECT_EQ(L"<none>", ThreadError());
  std::vector<BYTE> none;
  ClientReceives(none);
  EXPECT_EQ(L"<none>", ThreadError());
}

}  // namespace
