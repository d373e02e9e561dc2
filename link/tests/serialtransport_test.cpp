// The AT and packet transport over a scripted port: write splitting, the AT
// transaction, the volume query, Transact and the model hand-over.
#include <gtest/gtest.h>

#include "ObexSerialAdapter.h"
#include "ResultCodes.h"
#include "serial_script.h"

namespace {

// An adapter over a scripted port it owns.
struct ScriptedLink {
  ScriptedLink() : adapter(INVALID_HANDLE_VALUE), port(new CScriptedPort) { adapter.AttachPort(port); }
  CObexSerialAdapter adapter;
  CScriptedPort* port;
};

struct SplitCase {
  DWORD length;
  DWORD maxPiece;
  std::vector<DWORD> writes;
};

class PacketWrite : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PacketWrite, NeverHandsThePortAMultipleOf64) {
  const SplitCase& c = GetParam();
  ScriptedLink link;
  link.port->maxPiece = c.maxPiece;
  std::string packet(c.length, '\0');
  for (DWORD i = 0; i < c.length; ++i) packet[i] = static_cast<char>(i);
  DWORD length = c.length;
  EXPECT_EQ(S_OK, link.adapter.WritePacket(reinterpret_cast<const BYTE*>(packet.data()), &length));
  EXPECT_EQ(c.length, length);
  EXPECT_EQ(packet, link.port->written);
  EXPECT_EQ(c.writes, link.port->writeSizes);
}

INSTANTIATE_TEST_SUITE_P(Cases, PacketWrite,
                         ::testing::Values(SplitCase{128, 0, {4, 124}}, SplitCase{130, 0, {130}},
                                           SplitCase{68, 0, {68}}, SplitCase{64, 0, {4, 60}},
                                           SplitCase{3, 0, {3}}, SplitCase{0, 0, {}},
                                           // Short writes: a remainder of 128 is split again.
                                           SplitCase{200, 72, {200, 4, 124, 52}}));

TEST(PacketWrite, FailedWriteEndsAtOnce) {
  ScriptedLink link;
  link.port->failWith = ERROR_GEN_FAILURE;
  BYTE packet[10] = {};
  DWORD length = sizeof(packet);
  EXPECT_EQ(E_CONNECTION_LOST, link.adapter.WritePacket(packet, &length));
  EXPECT_EQ(0u, length);
  EXPECT_EQ(1u, link.port->writeSizes.size());
}

TEST(PacketWrite, HeldLineIsWaitedFor) {
  ScriptedLink link;
  link.port->stallMs = 300;
  BYTE packet[10] = {1, 2, 3};
  DWORD length = sizeof(packet);
  EXPECT_EQ(S_OK, link.adapter.WritePacket(packet, &length));
  EXPECT_EQ(10u, length);
  EXPECT_GT(link.port->writeSizes.size(), 1u);
}

// CTS held low under hardware flow control: every write takes nothing and
// reports no error.
TEST(PacketWrite, LineHeldForeverIsLostAfterABoundedTime) {
  ScriptedLink link;
  link.port->stallForever = true;
  BYTE packet[10] = {};
  DWORD length = sizeof(packet);
  HRESULT hr = S_OK;
  DWORD took = TimeMs([&] { hr = link.adapter.WritePacket(packet, &length); });
  EXPECT_EQ(E_CONNECTION_LOST, hr);
  EXPECT_EQ(0u, length);
  EXPECT_GE(took + 20, kWriteStallLimitMs);
  EXPECT_LT(took, kWriteStallLimitMs + 5000);
}

TEST(AtTransaction, OkEndsTheCommand) {
  ScriptedLink link;
  link.port->Answer("AT&F\r", "AT&F\r\r\nOK\r\n");
  char reply[64];
  EXPECT_EQ(S_OK, link.adapter.AtTransaction("AT&F\r", 1000, reply, sizeof(reply)));
  EXPECT_STREQ("AT&F\r\r\nOK\r\n", reply);
  EXPECT_EQ(1u, link.port->writeSizes.size());
}

TEST(AtTransaction, ErrorAnswersAreNotRetried) {
  for (const char* answer : {"\r\n+CME ERROR: 3\r\n", "\r\nERROR\r\n"}) {
    ScriptedLink link;
    link.port->Answer("AT&F\r", answer);
    EXPECT_EQ(E_NO_COMMUNICATION, link.adapter.AtTransaction("AT&F\r", 1000, nullptr, 0)) << answer;
    EXPECT_EQ(1u, link.port->writeSizes.size()) << answer;
  }
}

TEST(AtTransaction, SilenceIsTriedThreeTimes) {
  ScriptedLink link;
  HRESULT hr = S_OK;
  DWORD took = TimeMs([&] { hr = link.adapter.AtTransaction("AT\\Q3\r", 200, nullptr, 0); });
  EXPECT_EQ(E_CONNECTION_LOST, hr);
  EXPECT_EQ(3u, link.port->writeSizes.size());
  EXPECT_EQ("AT\\Q3\rAT\\Q3\rAT\\Q3\r", link.port->written);
  EXPECT_GE(took, 3 * 200u);
}

TEST(AtTransaction, SlowAnswerKeepsTheSilenceClockRunning) {
  ScriptedLink link;
  // Bytes keep coming for longer than the silence limit, never more than
  // 150 ms apart.
  for (DWORD t = 0; t <= 600; t += 100) link.port->Arrive(t, ".");
  link.port->Arrive(700, "\r\nOK\r\n");
  link.port->Restart();
  EXPECT_EQ(S_OK, link.adapter.AtTransaction("AT\r", 250, nullptr, 0));
  EXPECT_EQ(1u, link.port->writeSizes.size());
}

TEST(AtTransaction, OverlongAnswerStaysTerminated) {
  ScriptedLink link;
  link.port->Answer("AT\r", std::string(300, 'x'));
  char reply[16];
  memset(reply, 'z', sizeof(reply));
  EXPECT_EQ(E_CONNECTION_LOST, link.adapter.AtTransaction("AT\r", 100, reply, sizeof(reply)));
  EXPECT_EQ(15u, strlen(reply));
}

struct VolumeCase {
  const char* name;
  const char* answer;
  HRESULT query;
  HRESULT get;
  WORD count;
};

class VolumeQuery : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeQuery, CountsTheModulesVolumes) {
  const VolumeCase& c = GetParam();
  ScriptedLink link;
  if (*c.answer) link.port->Answer("AT^SQWE=100\r", c.answer);
  EXPECT_EQ(c.query, link.adapter.QueryObexCapabilities());
  WORD count = 0xBEEF;
  EXPECT_EQ(c.get, link.adapter.GetVolumeCount(&count));
  EXPECT_EQ(c.count, count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VolumeQuery,
    ::testing::Values(
        VolumeCase{"Three", "\r\n^SQWE: 3\r\n\r\nOK\r\n", S_OK, S_OK, 3},
        VolumeCase{"ExtraSpaces", "\r\n^SQWE:    12\r\n\r\nOK\r\n", S_OK, S_OK, 12},
        VolumeCase{"BareOk", "\r\nOK\r\n", S_OK, S_OK, 1},
        VolumeCase{"ErrorMeansOne", "\r\nERROR\r\n", S_OK, S_OK, 1},
        VolumeCase{"Zero", "\r\n^SQWE: 0\r\n\r\nOK\r\n", S_OK, S_OK, 1},
        VolumeCase{"TwentySix", "\r\n^SQWE: 26\r\n\r\nOK\r\n", S_OK, S_OK, 26},
        VolumeCase{"TwentySeven", "\r\n^SQWE: 27\r\n\r\nOK\r\n", S_OK, E_NOTIMPL, 0xBEEF},
        VolumeCase{"Silence", "", E_CONNECTION_LOST, E_NOTIMPL, 0xBEEF}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return std::string(info.param.name); });

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(Transact, RequestOutResponseIn) {
  ScriptedLink link;
  std::string request = Bytes({0x83, 0x00, 0x05, 0xCB, 0x01});
  link.port->Answer(request, Bytes({0xA0, 0x00, 0x07, 0xC3, 0x00, 0x00, 0x10}));
  BYTE buffer[64] = {};
  memcpy(buffer, request.data(), request.size());
  WORD length = static_cast<WORD>(request.size());
  EXPECT_EQ(S_OK, link.adapter.Transact(buffer, &length, 500, sizeof(buffer)));
  EXPECT_EQ(7, length);
  EXPECT_EQ(0xA0, buffer[0]);
  EXPECT_EQ(0x10, buffer[6]);
  EXPECT_EQ(request, link.port->written);
}

TEST(Transact, HeaderOnlyResponse) {
  ScriptedLink link;
  link.port->Answer("\x81", Bytes({0xA0, 0x00, 0x03}));
  BYTE buffer[8] = {0x81};
  WORD length = 1;
  EXPECT_EQ(S_OK, link.adapter.Transact(buffer, &length, 500, sizeof(buffer)));
  EXPECT_EQ(3, length);
}

TEST(Transact, ResponseStallingAfterItsHeaderIsALostConnection) {
  ScriptedLink link;
  link.port->Answer("\x83", Bytes({0xA0, 0x00, 0x20}));
  BYTE buffer[64] = {0x83};
  WORD length = 1;
  HRESULT hr = S_OK;
  DWORD took = TimeMs([&] { hr = link.adapter.Transact(buffer, &length, 300, sizeof(buffer)); });
  EXPECT_EQ(E_CONNECTION_LOST, hr);
  EXPECT_GE(took + 2, 300u);
  EXPECT_LT(took, 3000u);
}

TEST(Transact, SilentModuleIsALostConnection) {
  ScriptedLink link;
  BYTE buffer[64] = {0x83};
  WORD length = 1;
  EXPECT_EQ(E_CONNECTION_LOST, link.adapter.Transact(buffer, &length, 200, sizeof(buffer)));
}

TEST(Transact, AnnouncedLengthMustFit) {
  for (const std::string& header : {Bytes({0xA0, 0x00, 0x02}), Bytes({0xA0, 0x00, 0x41})}) {
    ScriptedLink link;
    link.port->Answer("\x83", header);
    BYTE buffer[64] = {0x83};
    WORD length = 1;
    EXPECT_EQ(E_INVALIDARG, link.adapter.Transact(buffer, &length, 200, sizeof(buffer)));
  }
}

TEST(Transact, RoomForTheHeaderIsCheckedBeforeSending) {
  ScriptedLink link;
  BYTE buffer[2] = {0x83, 0};
  WORD length = 1;
  EXPECT_EQ(E_INVALIDARG, link.adapter.Transact(buffer, &length, 200, 2));
  EXPECT_TRUE(link.port->written.empty());
}

TEST(TransportModel, IsCutToTheCallersRoom) {
  ScriptedLink link;
  link.port->SetModelText(std::string(100, 'M'));
  char model[20];
  memset(model, 'z', sizeof(model));
  EXPECT_EQ(S_OK, link.adapter.GetModel(model, sizeof(model)));
  EXPECT_EQ(std::string(19, 'M'), model);
  char big[128];
  EXPECT_EQ(S_OK, link.adapter.GetModel(big, sizeof(big)));
  EXPECT_EQ(std::string(100, 'M'), big);
  EXPECT_EQ(E_NOTIMPL, link.adapter.GetModel(nullptr, 20));
}

TEST(TransportModel, NoneWithoutPortOrModel) {
  char model[20];
  CObexSerialAdapter none(INVALID_HANDLE_VALUE);
  EXPECT_EQ(E_NOTIMPL, none.GetModel(model, sizeof(model)));
  ScriptedLink link;
  EXPECT_EQ(E_NOTIMPL, link.adapter.GetModel(model, sizeof(model)));
  WORD count = 0;
  EXPECT_EQ(E_NOTIMPL, none.GetVolumeCount(&count));
}

TEST(TransportFactory, MakesAnAdapterWithoutLink) {
  ITransportLayer* transport = nullptr;
  ASSERT_EQ(S_OK, CreateSerialTransport(&transport, INVALID_HANDLE_VALUE));
  ASSERT_NE(nullptr, transport);
  EXPECT_EQ(S_OK, transport->Disconnect());
  delete transport;
}

struct OpenCase {
  const char* name;
  std::wstring port;
  HRESULT expected;
};

class TransportOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(TransportOpen, MapsTheOpenFailure) {
  CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetParam().expected, adapter.Connect(GetParam().port.c_str(), 0));
  EXPECT_EQ(nullptr, adapter.GetPort());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransportOpen,
    ::testing::Values(OpenCase{"Missing", L"COM249", E_PORT_OPEN_FAILED},
                      OpenCase{"TooLong", L"COM1" + std::wstring(400, L'1'), E_PORT_OPEN_FAILED},
                      OpenCase{"Empty", L"", E_PORT_OPEN_FAILED}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

TEST(TransportOpen, OpenErrorMapping) {
  struct {
    DWORD error;
    HRESULT expected;
  } cases[] = {{0, S_OK},
               {ERROR_IO_PENDING, S_OK},
               {ERROR_ACCESS_DENIED, E_PORT_IN_USE},
               {ERROR_FILE_NOT_FOUND, E_PORT_OPEN_FAILED},
               {ERROR_INVALID_NAME, E_PORT_OPEN_FAILED},
               {ERROR_GEN_FAILURE, E_PORT_OPEN_FAILED}};
  for (const auto& c : cases) EXPECT_EQ(c.expected, MapPortOpenError(c.error)) << c.error;
}

// A device path that exists but refuses the open (a directory) counts as a
// port in use, like a port another program holds.
TEST(TransportOpen, AccessDeniedIsPortInUse) {
  wchar_t windows[MAX_PATH];
  ASSERT_NE(0u, GetWindowsDirectoryW(windows, MAX_PATH));
  HANDLE probe = CreateFileW((std::wstring(L"\\\\.\\") + windows).c_str(),
                             GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD error = GetLastError();
  if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
  if (probe != INVALID_HANDLE_VALUE || error != ERROR_ACCESS_DENIED)
    GTEST_SKIP() << "this system opens directories here (" << error << ")";
  CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
  EXPECT_EQ(E_PORT_IN_USE, adapter.Connect(windows, 0));
}

}  // namespace
