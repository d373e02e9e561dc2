// Serial port logic against a scripted port: the read's silence rule, the
// model answer, and the named stop events.
#include <gtest/gtest.h>

#include "ResultCodes.h"
#include "SerialPort.h"
#include "serial_script.h"

namespace {

struct ReadCase {
  const char* name;
  std::vector<std::pair<DWORD, std::string>> script;
  WORD room;
  DWORD timeoutMs;
  BOOL full;
  HRESULT expected;
  WORD expectedLength;
  DWORD minMs;  // the read may not end earlier
};

class SerialRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SerialRead, FollowsTheSilenceRule) {
  const ReadCase& c = GetParam();
  CScriptedPort port;
  for (auto& chunk : c.script) port.Arrive(chunk.first, chunk.second);
  port.Restart();
  BYTE buffer[256] = {};
  WORD length = c.room;
  HRESULT hr = S_OK;
  DWORD took = TimeMs([&] { hr = port.Read(buffer, &length, c.timeoutMs, c.full); });
  EXPECT_EQ(c.expected, hr);
  EXPECT_EQ(c.expectedLength, length);
  EXPECT_GE(took + 2, c.minMs);  // tick granularity
  EXPECT_LT(took, c.minMs + 2000);
}

const std::string k10(10, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialRead,
    ::testing::Values(
        // A pause of over 50 ms ends a partial answer...
        ReadCase{"PartialEndsOnPause", {{0, k10}}, 100, 50, FALSE, S_OK, 10, 50},
        // ...unless the whole length is wanted: then the timeout runs from the last byte.
        ReadCase{"FullTimesOut", {{0, k10}}, 100, 50, TRUE, E_READ_TIMEOUT, 10, 50},
        ReadCase{"NothingTimesOut", {}, 100, 200, FALSE, E_READ_TIMEOUT, 0, 200},
        ReadCase{"TimeoutCountsFromLastByte",
                 {{0, k10}, {100, k10}, {200, k10}}, 100, 150, TRUE, E_READ_TIMEOUT, 30, 350},
        ReadCase{"FullLengthEndsAtOnce", {{0, k10}, {30, k10}}, 20, 1000, TRUE, S_OK, 20, 30},
        ReadCase{"GapsUnder50msJoin", {{0, k10}, {20, k10}, {40, k10}}, 100, 500, FALSE, S_OK, 30,
                 90}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(SerialRead, FailedReadReportsWhatCameBefore) {
  CScriptedPort port;
  port.Arrive(0, k10);
  BYTE buffer[64];
  WORD length = 5;
  ASSERT_EQ(S_OK, port.Read(buffer, &length, 100, TRUE));
  port.failReads = true;
  length = 20;
  EXPECT_EQ(E_FAIL, port.Read(buffer, &length, 100, TRUE));
  EXPECT_EQ(0, length);
  EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), port.GetLastErrorCode());
}

struct ModelCase {
  const char* name;
  std::string answer;
  std::string model;  // empty: no model
};

class SerialModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(SerialModel, TakesTheFirstLineAfterTheEcho) {
  const ModelCase& c = GetParam();
  CScriptedPort port;
  port.Answer("AT+CGMM\r", c.answer);
  BOOL found = port.ReadModel();
  EXPECT_EQ("AT+CGMM\r", port.written);
  EXPECT_EQ(!c.model.empty(), found != FALSE);
  EXPECT_EQ(c.model, port.GetModel());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialModel,
    ::testing::Values(
        ModelCase{"EchoAndBlankLines", "AT+CGMM\r\r\nMODEL\r\n\r\nOK\r\n", "MODEL"},
        ModelCase{"NoEcho", "\r\nRM42\r\n\r\nOK\r\n", "RM42"},
        ModelCase{"LongestThatFits", "\r\n" + std::string(119, 'M') + "\r\n\r\nOK\r\n",
                  std::string(119, 'M')},
        // The OK falls beyond the 127 bytes read.
        ModelCase{"AnswerTooLong", "\r\n" + std::string(130, 'M') + "\r\n\r\nOK\r\n", ""},
        ModelCase{"OkWithoutLineBreak", "OK", ""},
        ModelCase{"NothingAfterTheLineBreak", "OK\r\n", ""},
        ModelCase{"BareOk", "\r\nOK\r\n", ""},
        ModelCase{"Error", "\r\nERROR\r\n", ""},
        ModelCase{"Silence", "", ""}),
    [](const ::testing::TestParamInfo<ModelCase>& info) { return std::string(info.param.name); });

TEST(SerialModel, ShortWriteGivesNoModel) {
  CScriptedPort port;
  port.maxPiece = 4;
  port.Answer("AT+C", "\r\nMODEL\r\n\r\nOK\r\n");
  EXPECT_FALSE(port.ReadModel());
}

TEST(SerialStopEvents, EachSignalStopsOneSearchAndIsConsumed) {
  PrivateEvents names;
  HANDLE dummy = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CSerialPort port(L"COM1", 0, dummy, names.Names());
  for (const wchar_t* name : {names.disconnect, names.cancel}) {
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
    ASSERT_NE(nullptr, event) << "the port creates its named events";
    EXPECT_FALSE(port.IsStopRequested());
    SetEvent(event);
    EXPECT_TRUE(port.IsStopRequested());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(event, 0));
    EXPECT_FALSE(port.IsStopRequested()) << "a later search is not stopped";
    SetEvent(event);
    EXPECT_EQ(E_CONNECTION_LOST, port.ResetLine());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(event, 0));
    CloseHandle(event);
  }
  CloseHandle(dummy);
}

// The server and ZTRInit share the events: finding them made already is no
// failure of the port.
TEST(SerialStopEvents, EventsMadeElsewhereAreNoError) {
  PrivateEvents names;
  HANDLE made[] = {CreateEventW(nullptr, TRUE, FALSE, names.disconnect),
                   CreateEventW(nullptr, TRUE, FALSE, names.cancel)};
  HANDLE dummy = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    CSerialPort port(L"COM1", 0, dummy, names.Names());
    EXPECT_EQ(0u, port.GetLastErrorCode());
    SetEvent(made[1]);
    EXPECT_TRUE(port.IsStopRequested());
  }
  for (HANDLE h : made) CloseHandle(h);
  CloseHandle(dummy);
}

TEST(SerialStopEvents, PortsOpenTheSystemWideEvents) {
  HANDLE dummy = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    CSerialPort port(L"COM1", 0, dummy);
    for (const wchar_t* name : {kDisconnectEventNameW, kCancelDiscoverEventNameW}) {
      HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name);
      EXPECT_NE(nullptr, event);
      if (event) CloseHandle(event);
    }
  }
  CloseHandle(dummy);
}

struct NameCase {
  const char* name;
  std::wstring port;
};

class SerialPortName : public ::testing::TestWithParam<NameCase> {};

// Refused before any open: a name cut to fit could name another port.
TEST_P(SerialPortName, UnfitNamesAreRefused) {
  CSerialPort port(GetParam().port.c_str(), 0, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), port.GetLastErrorCode());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPortName,
    ::testing::Values(NameCase{"Empty", L""},
                      NameCase{"OneTooLong", L"COM1" + std::wstring(kMaxPortNameChars - 3, L'0')},
                      NameCase{"FarTooLong", L"COM1" + std::wstring(5000, L' ')}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

TEST(SerialPortName, NullNameIsRefused) {
  CSerialPort port(nullptr, 0, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), port.GetLastErrorCode());
}

TEST(SerialPortName, MissingPortReportsTheOpenError) {
  CSerialPort port(L"COM249", 0, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_NE(0u, port.GetLastErrorCode());
  BYTE b = 0;
  EXPECT_EQ(0u, port.Write(&b, 1));
}

}  // namespace
