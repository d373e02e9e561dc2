// The simulated module as a Windows program sees it: a COM port whose modem
// lines and AT answers the control channel steers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "SimControl.h"

namespace {

using vkstest::CSimControl;

class SimPortTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_sim.Available()) << "run with VKS_WITH_SIM=1";
    std::string reply;
    ASSERT_TRUE(m_sim.Command("reset", &reply)) << reply;
    std::wstring name = L"\\\\.\\" + CSimControl::TestPortW();
    m_port = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, m_port) << "CreateFileW error " << GetLastError();
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;  // reads return at once with what is there
    t.WriteTotalTimeoutConstant = 1000;
    ASSERT_TRUE(SetCommTimeouts(m_port, &t));
  }
  void TearDown() override {
    if (m_port != INVALID_HANDLE_VALUE) CloseHandle(m_port);
  }

  void SetBaud(DWORD baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(m_port, &dcb));
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    ASSERT_TRUE(SetCommState(m_port, &dcb)) << GetLastError();
    PurgeComm(m_port, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
  }

  bool Cts() {
    DWORD status = 0;
    EXPECT_TRUE(GetCommModemStatus(m_port, &status)) << GetLastError();
    return (status & MS_CTS_ON) != 0;
  }

  // Sends text and collects the answer until it holds want or waitMs pass.
  std::string Exchange(const std::string& text, const std::string& want, DWORD waitMs = 2000) {
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(m_port, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    EXPECT_EQ(text.size(), written);
    std::string answer;
    DWORD start = GetTickCount();
    while (answer.find(want) == std::string::npos && GetTickCount() - start < waitMs) {
      char buf[256];
      DWORD got = 0;
      if (ReadFile(m_port, buf, sizeof buf, &got, nullptr) && got > 0) answer.append(buf, got);
      else Sleep(5);
    }
    return answer;
  }

  CSimControl m_sim;
  HANDLE m_port = INVALID_HANDLE_VALUE;
};

TEST_F(SimPortTest, DtrRaisesCtsAfterTheConfiguredDelay) {
  ASSERT_TRUE(m_sim.Command("set cts delay 200"));
  SetBaud(115200);
  ASSERT_TRUE(EscapeCommFunction(m_port, CLRDTR)) << GetLastError();
  ASSERT_TRUE(m_sim.WaitFor("dtr", "0", 2000));
  EXPECT_FALSE(Cts());
  ASSERT_TRUE(EscapeCommFunction(m_port, SETDTR)) << GetLastError();
  EXPECT_TRUE(m_sim.WaitFor("dtr", "1", 2000));
  DWORD raised = GetTickCount();
  while (!Cts() && GetTickCount() - raised < 5000) Sleep(10);
  EXPECT_TRUE(Cts());
  EXPECT_GE(GetTickCount() - raised, 150u);  // generous: the delay is 200 ms
  ASSERT_TRUE(EscapeCommFunction(m_port, CLRDTR));
  DWORD dropped = GetTickCount();
  while (Cts() && GetTickCount() - dropped < 2000) Sleep(10);
  EXPECT_FALSE(Cts()) << "CTS follows DTR down";
}

TEST_F(SimPortTest, CtsNeverComesWhenConfiguredSo) {
  ASSERT_TRUE(m_sim.Command("set cts never"));
  SetBaud(19200);
  ASSERT_TRUE(EscapeCommFunction(m_port, SETDTR));
  Sleep(300);
  EXPECT_FALSE(Cts());
}

TEST_F(SimPortTest, ModelAnswersOnlyAtTheConfiguredBaudRate) {
  ASSERT_TRUE(m_sim.Command("set baud 115200"));
  ASSERT_TRUE(m_sim.Command("set model TEST MODEL 7"));
  SetBaud(57600);
  EXPECT_EQ("", Exchange("AT+CGMM\r", "OK\r\n", 300)) << "no answer at the wrong rate";
  EXPECT_EQ("0", m_sim.Get("count AT+CGMM"));
  EXPECT_EQ("57600", m_sim.Get("baud"));

  SetBaud(115200);
  std::string answer = Exchange("AT+CGMM\r", "OK\r\n");
  EXPECT_EQ("AT+CGMM\r\r\nTEST MODEL 7\r\n\r\nOK\r\n", answer);
  EXPECT_EQ("1", m_sim.Get("count AT+CGMM"));
  EXPECT_EQ("57600 115200", m_sim.Get("rates"));
}

// Wine's SetCommState sets DTR through TIOCMGET/TIOCMSET, the path that
// EscapeCommFunction does not take.
TEST_F(SimPortTest, SetCommStateWithDtrDisabledLowersDtr) {
  SetBaud(115200);
  ASSERT_TRUE(EscapeCommFunction(m_port, SETDTR));
  ASSERT_TRUE(m_sim.WaitFor("dtr", "1", 2000));
  SetBaud(57600);
  EXPECT_TRUE(m_sim.WaitFor("dtr", "0", 2000));
}

TEST_F(SimPortTest, CommandsAreOneLineEach) {
  std::string reply;
  EXPECT_FALSE(m_sim.Command("ping\nping", &reply));
  EXPECT_EQ(0u, reply.rfind("ERR", 0));
  EXPECT_TRUE(m_sim.Command("ping", &reply)) << reply;
  EXPECT_EQ("OK", reply);
}

TEST_F(SimPortTest, SerialCommEntryNamesThePortWhileItLives) {
  std::wstring port = CSimControl::TestPortW();
  std::wstring name = L"\\Device\\VksSim" + port;
  auto query = [&name](std::wstring* data) {
    HKEY key = nullptr;
    LONG r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (r != ERROR_SUCCESS) return r;
    wchar_t buf[32] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    DWORD type = 0;
    r = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (r == ERROR_SUCCESS && type != REG_SZ) r = ERROR_INVALID_DATA;
    *data = buf;
    return r;
  };
  std::wstring data;
  {
    vkstest::CSerialCommEntry entry(port);
    ASSERT_TRUE(entry.Ok());
    EXPECT_EQ(ERROR_SUCCESS, query(&data));
    EXPECT_EQ(port, data);
  }
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, query(&data));
}

}  // namespace
