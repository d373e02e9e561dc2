// testing/simulator/obex/tests/modem_obex_test.cpp - the OBEX service behind the
// line side: AT^SQWE, OBEX mode, a dropped line and a reboot as the PC sees them.
#include <gtest/gtest.h>

#include "Modem.h"
#include "ObexSession.h"
#include "ObexTestClient.h"

namespace sim::obex {
namespace {

using namespace std::chrono_literals;

class ModemObexTest : public ::testing::Test {
protected:
  ModemObexTest() {
    LineHooks hooks;
    hooks.dropLine = [this] { modem.DropLine(Clock::now()); };
    hooks.reboot = [this](int ms) { modem.Reboot(ms, Clock::now()); };
    hooks.baud = [] { return 115200; };
    session.SetLineHooks(hooks);
    modem.OnDtr(true, Clock::now());
  }
  std::string At(const std::string& cmd) {
    out.clear();
    Line(test::Text(cmd + "\r"));
    return std::string(out.begin(), out.end());
  }
  void Line(const Bytes& b) { modem.OnLine(b.data(), b.size(), Clock::now(), 115200); }
  Bytes ObexRequest(const Bytes& packet) {
    out.clear();
    Line(packet);
    return out;
  }
  static Bytes Connect() {
    PacketWriter w(kOpConnect);
    w.Byte(0x10).Byte(0).U16(16390).Sequence(kHdrTarget, kFileTarget, 16);
    return w.Finish();
  }
  std::string Ctl(const std::string& line) { return modem.Control(line, Clock::now()); }

  test::ScratchDir dir;
  Bytes out;
  SendFn send = [this](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); };
  CObexSession session{dir.Path(), send};
  CModem modem{&session, send, [] { return 115200; }};
};

TEST_F(ModemObexTest, VolumeCountAndObexModeGoThroughTheSession) {
  EXPECT_EQ("OK 3", Ctl("obex volumes 3"));
  EXPECT_NE(std::string::npos, At("AT^SQWE=100").find("^SQWE: 3\r\n"));
  EXPECT_NE(std::string::npos, At("AT^SQWE=3").find("OK"));
  Bytes answer = ObexRequest(Connect());
  ASSERT_GE(answer.size(), 7u);
  EXPECT_EQ(kRspOk, answer[0]);
  EXPECT_NE(std::string::npos, Ctl("obex log").find("CONNECT version=10"));
}

TEST_F(ModemObexTest, DroppedLineComesBackWithDtr) {
  At("AT^SQWE=3");
  Ctl("obex fault drop at 1");
  EXPECT_TRUE(ObexRequest(Connect()).empty());
  EXPECT_EQ("OK 0", Ctl("get cts"));
  EXPECT_EQ("OK dropped", Ctl("get line"));
  modem.OnDtr(false, Clock::now());
  modem.OnDtr(true, Clock::now());
  EXPECT_EQ("OK at", Ctl("get mode"));
  EXPECT_NE(std::string::npos, At("AT+CGMM").find("OK"));
  At("AT^SQWE=3");
  Bytes answer = ObexRequest(Connect());
  ASSERT_FALSE(answer.empty());
  EXPECT_EQ(kRspOk, answer[0]);
}

TEST_F(ModemObexTest, RebootReturnsToCommandModeAfterTheDownTime) {
  At("AT^SQWE=3");
  ASSERT_FALSE(ObexRequest(Connect()).empty());
  EXPECT_EQ("OK", Ctl("obex reboot 200"));
  EXPECT_EQ("OK rebooting", Ctl("get line"));
  EXPECT_EQ("OK at", Ctl("get mode"));
  EXPECT_EQ("OK 0", Ctl("get cts"));
  modem.OnTimer(Clock::now() + 300ms);
  EXPECT_EQ("OK 1", Ctl("get cts"));
  EXPECT_EQ("OK up", Ctl("get line"));
  EXPECT_NE(std::string::npos, Ctl("obex status").find("connected=0"));
}

}  // namespace
}  // namespace sim::obex
