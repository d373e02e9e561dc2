// Result codes, their texts in the chosen language and the error information they leave.
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "ResultData.h"
#include "ServerFixture.h"
#include "VKSServer.h"
#include <gtest/gtest.h>
#include <string>

namespace {

using vkstest::ServerExePath;

class ResultDataTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    s_server = LoadLibraryExW(ServerExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (s_server) FreeLibrary(s_server);
  }
  void SetUp() override {
    ASSERT_NE(nullptr, s_server) << "VKSServer.exe not found";
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  }
  void TearDown() override { CoUninitialize(); }

  static std::wstring TextOf(HRESULT code, LANGID language) {
    CResourceModule texts(language);
    texts.SetModule(s_server);
    ResultData result;
    EXPECT_EQ(S_OK, result.SetResult(code, &texts));
    return result.GetDescription() ? result.GetDescription() : L"<null>";
  }

  static HMODULE s_server;
};
HMODULE ResultDataTest::s_server = nullptr;

TEST_F(ResultDataTest, OwnCodesGetTheirTextInTheChosenLanguage) {
  const struct {
    HRESULT code;
    LANGID language;
    const wchar_t* expected;
  } kCases[] = {
      {E_CONNECTION_LOST, 1031,
       L"Die Verbindung ist unterbrochen. Stellen Sie die Verbindung zum Modul wieder her und wiederholen Sie den "
       L"Vorgang."},
      {E_CONNECTION_LOST, 1033,
       L"There is no connection. Please make sure that the module and the PC are correctly connected to one "
       L"another."},
      {E_CONNECTION_LOST, 2057,
       L"The connection has been interrupted. Restore the connection to the module and repeat the procedure."},
      {E_PORT_IN_USE, 1033,
       L"The port could not be opened. Another application is using the serial interface. Close the relevant "
       L"application and try again."},
      {E_PORT_IN_USE, 1031,
       L"Der Anschluss konnte nicht geöffnet werden. Eine andere Anwendung greift auf die serielle Schnittstelle "
       L"zu. Beenden Sie die entsprechende Anwendung und wiederholen Sie den Vorgang."},
      {E_PORT_OPEN_FAILED, 2057,
       L"The port could not be opened. Check whether the COM port is available and select an available COM port "
       L"from the Orlenti software properties."},
      {E_NO_COMMUNICATION, 1033,
       L"Communication not possible. Possible causes:\r\n1. You have not connected a module to the COM port that "
       L"was set.\r\n2. This software only operates with a Halvorten module with activated flash memory.\r\n3. Some "
       L"module types require an activated SIM card for FFS access."},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.expected, TextOf(c.code, c.language)) << std::hex << c.code << " " << std::dec << c.language;
}

TEST_F(ResultDataTest, GermanCommunicationTextKeepsItsUmlauts) {
  std::wstring text = TextOf(E_NO_COMMUNICATION, 1031);
  EXPECT_EQ(0u, text.find(L"Kommunikation nicht möglich. Mögliche Ursachen:"));
  EXPECT_NE(std::wstring::npos, text.find(L"mit einem Halvorten Modul"));
  EXPECT_NE(std::wstring::npos, text.find(L"SIM-Karte für VKS-Zugriff."));
}

TEST_F(ResultDataTest, CancelIsStoredAsTheSystemsCancelWithItsText) {
  ResultData result;
  result.SetResult(E_TRANSFER_CANCELLED);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANCELLED), result.GetResult());
  wchar_t system[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 HRESULT_FROM_WIN32(ERROR_CANCELLED), 0, system, 256, nullptr);
  ASSERT_NE(L'\0', system[0]);
  ASSERT_NE(nullptr, result.GetDescription());
  EXPECT_STREQ(system, result.GetDescription());
}

TEST_F(ResultDataTest, SuccessHasNoTextAndLeavesEarlierErrorInformationAlone) {
  ResultData failure;
  failure.SetResult(E_INVALIDARG);
  failure.SetErrorInfo(CLSID_VKSModule, IID_IVKSVolume);
  ResultData success;
  success.SetResult(S_FALSE);
  EXPECT_EQ(nullptr, success.GetDescription());
  success.SetErrorInfo(CLSID_VKSModule, IID_IVKSVolume);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
  BSTR text = nullptr;
  info->GetDescription(&text);
  EXPECT_STREQ(failure.GetDescription(), text);
  SysFreeString(text);
  info->Release();
}

TEST_F(ResultDataTest, ErrorInfoGuidFollowsTheFacility) {
  const struct {
    HRESULT code;
    bool interfaceGuid;
  } kCases[] = {
      {E_CONNECTION_LOST, true},                          // FACILITY_ITF
      {HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), false},   // FACILITY_WIN32
      {E_INVALIDARG, false},                              // FACILITY_WIN32 as well
      {E_NOTIMPL, false},                                 // FACILITY_NULL
      {DISP_E_EXCEPTION, false},                          // FACILITY_DISPATCH
      {RPC_E_DISCONNECTED, false},                        // FACILITY_RPC
      {STG_E_FILENOTFOUND, true},                         // FACILITY_STORAGE
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.code, ReportResult(c.code, GUID_NULL, IID_IVKSVolume));
    IErrorInfo* info = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info)) << std::hex << c.code;
    GUID guid;
    info->GetGUID(&guid);
    EXPECT_EQ(c.interfaceGuid, IsEqualGUID(guid, IID_IVKSVolume) != 0) << std::hex << c.code;
    if (!c.interfaceGuid) {
      EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL)) << std::hex << c.code;
    }
    BSTR source = nullptr;
    info->GetSource(&source);
    EXPECT_EQ(0u, SysStringLen(source));   // no class, no ProgID
    SysFreeString(source);
    info->Release();
  }
}

TEST_F(ResultDataTest, LastErrorBecomesAWin32Result) {
  ResultData result;
  SetLastError(ERROR_FILE_NOT_FOUND);
  result.SetLastErrorResult();
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), result.GetResult());
  EXPECT_NE(nullptr, result.GetDescription());
  SetLastError(0);
  result.SetLastErrorResult();
  EXPECT_EQ(S_OK, result.GetResult());
  EXPECT_EQ(nullptr, result.GetDescription());
}

}  // namespace
