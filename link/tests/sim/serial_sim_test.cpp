// The serial port and the AT transport against the module simulator on a pty
// that Wine sees as a COM port (each test process has a simulator of its own).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "CommPorts.h"
#include "ObexSerialAdapter.h"
#include "ResultCodes.h"
#include "SerialPort.h"
#include "SimControl.h"
#include "../serial_script.h"

namespace {

using vkstest::CSimControl;

class SerialSim : public ::testing::Test {
protected:
  void SetUp() override {
    if (!sim.Available()) GTEST_SKIP() << "no simulator (run with VKS_WITH_SIM=1)";
    port = CSimControl::TestPortW();
    ASSERT_TRUE(sim.Command("reset"));
  }
  void Sim(const std::string& command) {
    std::string reply;
    ASSERT_TRUE(sim.Command(command, &reply)) << command << ": " << reply;
  }

  CSimControl sim;
  std::wstring port;
};

std::string Rounds(const char* round, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += (i ? " " : "") + std::string(round);
  return s;
}

TEST_F(SerialSim, SearchFindsTheModuleOnTheFourthCandidate) {
  Sim("set baud 115200");
  Sim("set model RM-7 rev2");
  CSerialPort serial(port.c_str(), 0, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(serial.IsOpen());
  EXPECT_EQ(S_OK, serial.ResetLine());
  EXPECT_EQ("921600 460800 230400 115200", sim.Get("rates"));
  EXPECT_EQ(115200, serial.GetCurrentBaud());
  EXPECT_EQ("RM-7 rev2", serial.GetModel());
  EXPECT_EQ("1", sim.Get("dtr"));
  EXPECT_EQ("1", sim.Get("count AT+CGMM"));
}

TEST_F(SerialSim, KnownRateIsTriedFirst) {
  Sim("set baud 115200");
  CSerialPort serial(port.c_str(), 115200, INVALID_HANDLE_VALUE);
  EXPECT_EQ(S_OK, serial.ResetLine());
  EXPECT_EQ("115200", sim.Get("rates"));
}

TEST_F(SerialSim, KnownRateIsNotTriedTwiceInARound) {
  Sim("set baud 9600");  // no candidate reaches it
  CSerialPort serial(port.c_str(), 115200, INVALID_HANDLE_VALUE);
  EXPECT_EQ(E_CONNECTION_LOST, serial.ResetLine());
  EXPECT_EQ(Rounds("115200 921600 460800 230400 57600 38400 19200", 3), sim.Get("rates"));
  EXPECT_EQ("", serial.GetModel());
}

TEST_F(SerialSim, CtsRaisedLateAfterTheWakeUp) {
  Sim("set cts delay 1500");
  CSerialPort serial(port.c_str(), 0, INVALID_HANDLE_VALUE);
  HRESULT hr = E_FAIL;
  DWORD took = TimeMs([&] { hr = serial.ResetLine(); });
  EXPECT_EQ(S_OK, hr);
  EXPECT_GE(took, 1500u);
  EXPECT_EQ("1", sim.Get("dtr"));
  EXPECT_EQ("VKS-SIM", serial.GetModel());
}

TEST_F(SerialSim, ModuleWithoutCtsEndsTheSearchWithDtrLow) {
  Sim("set cts never");
  CSerialPort serial(port.c_str(), 0, INVALID_HANDLE_VALUE);
  HRESULT hr = S_OK;
  DWORD took = TimeMs([&] { hr = serial.ResetLine(); });
  EXPECT_EQ(E_CONNECTION_LOST, hr);
  // 8 s of waiting for CTS, counted from the raise of DTR.
  EXPECT_GE(took, 7900u);
  EXPECT_LT(took, 20000u);
  EXPECT_EQ("0", sim.Get("dtr"));
  EXPECT_EQ("0", sim.Get("count AT+CGMM")) << "one wake-up, then no further candidate";
}

TEST_F(SerialSim, ModelWithAndWithoutEcho) {
  for (const char* echo : {"on", "off"}) {
    Sim(std::string("set echo ") + echo);
    CSerialPort serial(port.c_str(), 0, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(serial.ReadModel()) << echo;
    EXPECT_EQ("VKS-SIM", serial.GetModel()) << echo;
  }
}

TEST_F(SerialSim, StopEventEndsTheSearchItWasMeantFor) {
  PrivateEvents names;
  for (const wchar_t* name : {names.disconnect, names.cancel}) {
    ASSERT_TRUE(sim.Command("reset"));
    Sim("set baud 9600");  // a search that would run for seconds
    CSerialPort serial(port.c_str(), 0, INVALID_HANDLE_VALUE, names.Names());
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
    ASSERT_NE(nullptr, event);
    std::thread stopper([event] {
      Sleep(600);
      SetEvent(event);
    });
    HRESULT hr = S_OK;
    DWORD took = TimeMs([&] { hr = serial.ResetLine(); });
    stopper.join();
    EXPECT_EQ(E_CONNECTION_LOST, hr);
    EXPECT_LT(took, 3000u) << "stopped, not run to its end";
    // The next search is not stopped by the same signal.
    Sim("set baud 115200");
    EXPECT_EQ(S_OK, serial.ResetLine());
    CloseHandle(event);
  }
}

TEST_F(SerialSim, ClearErrorsAfterSuccessLeavesNoStaleCode) {
  CSerialPort serial(port.c_str(), 0, INVALID_HANDLE_VALUE);
  ASSERT_EQ(0u, serial.GetLastErrorCode());
  SetLastError(ERROR_GEN_FAILURE);
  EXPECT_TRUE(serial.ClearErrors());
  EXPECT_EQ(0u, serial.GetLastErrorCode());
}

TEST_F(SerialSim, ConnectWalksTheHandshakeIntoObexMode) {
  Sim("set volumes 3");
  CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
  ASSERT_EQ(S_OK, adapter.Connect(port.c_str(), 0));
  EXPECT_EQ("obex", sim.Get("mode"));
  WORD volumes = 0;
  EXPECT_EQ(S_OK, adapter.GetVolumeCount(&volumes));
  EXPECT_EQ(3, volumes);
  char model[20];
  EXPECT_EQ(S_OK, adapter.GetModel(model, sizeof(model)));
  EXPECT_STREQ("VKS-SIM", model);
  for (const char* command : {"AT&F", "AT\\Q3", "AT^SQWE=100", "AT^SQWE=3"})
    EXPECT_EQ("1", sim.Get(std::string("count ") + command)) << command;

  EXPECT_EQ(S_OK, adapter.Disconnect());
  EXPECT_EQ(nullptr, adapter.GetPort());
  EXPECT_TRUE(sim.WaitFor("mode", "at", 3000)) << "\"+++\" brings the module back";
  EXPECT_EQ(E_NOTIMPL, adapter.GetVolumeCount(&volumes));
}

TEST_F(SerialSim, VolumeQueryAnswers) {
  struct {
    const char* setup;
    WORD volumes;
  } cases[] = {{"set sqwe100 normal", 3}, {"set sqwe100 ok", 1}, {"set sqwe100 error", 1}};
  for (const auto& c : cases) {
    ASSERT_TRUE(sim.Command("reset"));
    Sim("set volumes 3");
    Sim(c.setup);
    CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
    ASSERT_EQ(S_OK, adapter.Connect(port.c_str(), 0)) << c.setup;
    WORD volumes = 0;
    EXPECT_EQ(S_OK, adapter.GetVolumeCount(&volumes));
    EXPECT_EQ(c.volumes, volumes) << c.setup;
    EXPECT_EQ("obex", sim.Get("mode")) << c.setup;
  }
}

TEST_F(SerialSim, ErrorAnswerFailsConnectAfterOneTry) {
  Sim("set cme AT&F 3");
  CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
  EXPECT_EQ(E_NO_COMMUNICATION, adapter.Connect(port.c_str(), 0));
  EXPECT_EQ("1", sim.Get("count AT&F"));
  EXPECT_EQ("0", sim.Get("count AT\\Q3"));
  EXPECT_EQ(nullptr, adapter.GetPort());
}

TEST_F(SerialSim, SilentCommandIsTriedThreeTimes) {
  Sim("set reply AT\\Q3 silent");
  CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
  EXPECT_EQ(E_CONNECTION_LOST, adapter.Connect(port.c_str(), 0));
  EXPECT_EQ("3", sim.Get("count AT\\Q3"));
  EXPECT_EQ("0", sim.Get("count AT^SQWE=100"));
}

// The events exist already in every process but the first; that is success.
TEST_F(SerialSim, EventsMadeByOthersDoNotFailConnect) {
  HANDLE disconnect = CreateEventW(nullptr, TRUE, FALSE, kDisconnectEventNameW);
  HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, kCancelDiscoverEventNameW);
  ASSERT_NE(nullptr, disconnect);
  ASSERT_NE(nullptr, cancel);
  CObexSerialAdapter adapter(INVALID_HANDLE_VALUE);
  EXPECT_EQ(S_OK, adapter.Connect(port.c_str(), 0));
  EXPECT_EQ(0u, adapter.GetPort() ? adapter.GetPort()->GetLastErrorCode() : 1u);
  CloseHandle(disconnect);
  CloseHandle(cancel);
}

TEST_F(SerialSim, GivenHandleIsUsedAndLeftOpen) {
  std::wstring device = L"\\\\.\\" + port;
  HANDLE h = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  {
    CObexSerialAdapter adapter(h);
    ASSERT_EQ(S_OK, adapter.Connect(L"COM1", 0));  // the name is not opened again
    EXPECT_EQ(h, adapter.GetPort()->GetHandle());
    EXPECT_EQ(S_OK, adapter.Disconnect());
  }
  DCB dcb = {};
  dcb.DCBlength = sizeof(dcb);
  EXPECT_TRUE(GetCommState(h, &dcb)) << "the owner's handle stays open";
  CloseHandle(h);
}

// Raw answers stand in for OBEX responses: the transport reads what comes
// back without regard to the mode the module is in.
class SerialSimTransact : public SerialSim {
protected:
  void SetUp() override {
    SerialSim::SetUp();
    if (IsSkipped()) return;
    Sim("set echo off");
    serial = new CSerialPort(port.c_str(), 0, INVALID_HANDLE_VALUE);
    adapter.AttachPort(serial);
    ASSERT_EQ(S_OK, serial->ResetLine());
  }
  HRESULT Send(const char* request, WORD* length, DWORD timeoutMs) {
    memset(buffer, 0, sizeof(buffer));
    *length = static_cast<WORD>(strlen(request));
    memcpy(buffer, request, *length);
    return adapter.Transact(buffer, length, timeoutMs, sizeof(buffer));
  }

  CObexSerialAdapter adapter{INVALID_HANDLE_VALUE};
  CSerialPort* serial = nullptr;
  BYTE buffer[64];
};

TEST_F(SerialSimTransact, WholeResponseComesBack) {
  Sim("set reply ATY a0 00 06 48 49 21");
  WORD length = 0;
  EXPECT_EQ(S_OK, Send("ATY\r", &length, 1000));
  EXPECT_EQ(6, length);
  EXPECT_EQ(0, memcmp(buffer, "\xa0\x00\x06HI!", 6));
}

TEST_F(SerialSimTransact, ResponseStallingAfterThreeBytesIsALostConnection) {
  Sim("set reply ATY a0 00 10");
  WORD length = 0;
  HRESULT hr = S_OK;
  DWORD took = TimeMs([&] { hr = Send("ATY\r", &length, 500); });
  EXPECT_EQ(E_CONNECTION_LOST, hr);
  EXPECT_GE(took, 450u);
  EXPECT_LT(took, 5000u);
  EXPECT_EQ("1", sim.Get("count AT+CGMM")) << "the line is not searched again";
}

// An answer that makes no sense puts the line through a new search.
TEST_F(SerialSimTransact, GarbledResponseSearchesTheLineAgain) {
  Sim("set reply ATY a0 00 02");
  WORD length = 0;
  EXPECT_EQ(E_INVALIDARG, Send("ATY\r", &length, 500));
  EXPECT_EQ("2", sim.Get("count AT+CGMM"));
}

TEST_F(SerialSim, PortListShowsTheSimulatedPort) {
  ASSERT_TRUE(vkstest::RegisterSerialCommPort(port));
  wchar_t list[1024];
  int count = ListCommPorts(list, 1024, kPhysicalPorts);
  vkstest::UnregisterSerialCommPort(port);
  ASSERT_GE(count, 1);
  std::wstring text = L";" + std::wstring(list) + L";";
  EXPECT_NE(std::wstring::npos, text.find(L";" + port + L";")) << "list: " << list;
}

}  // namespace
