// Line side of the simulated module: AT answers, OBEX switch and escape, baud
// rate, CTS against DTR and the control vocabulary, on a fake clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Modem.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

class CFakeSession final : public IObexSession {
public:
  void OnBytes(const uint8_t* data, size_t length) override {
    received.append(reinterpret_cast<const char*>(data), length);
  }
  void Reset() override { ++resets; }
  bool Control(const std::vector<std::string>& words, std::string& reply) override {
    controls.push_back(words);
    if (!words.empty() && words[0] == "obexthing") {
      reply = "OK obex";
      return true;
    }
    if (takesVolumes && words.size() >= 2 && words[0] == "set" && words[1] == "volumes") {
      reply = "OK taken";
      return true;
    }
    return false;
  }
  int VolumeCount() const override { return volumes; }

  std::string received;
  int resets = 0;
  int volumes = 2;
  bool takesVolumes = false;
  std::vector<std::vector<std::string>> controls;
};

class ModemTest : public ::testing::Test {
protected:
  ModemTest()
      : modem(&session, [this](const uint8_t* d, size_t n) { sent.append(reinterpret_cast<const char*>(d), n); },
              [this] { return lineBaud; }) {}

  // Feeds text at t0 + ms and returns what the module sent back for it.
  std::string Line(const std::string& text, int ms = 0) {
    sent.clear();
    modem.OnLine(reinterpret_cast<const uint8_t*>(text.data()), text.size(), At(ms), lineBaud);
    return sent;
  }
  std::string Ctl(const std::string& line, int ms = 0) { return modem.Control(line, At(ms)); }
  TimePoint At(int ms) const { return t0 + milliseconds(ms); }

  CFakeSession session;
  std::string sent;
  int lineBaud = 115200;
  CModem modem;
  TimePoint t0 = Clock::now();
};

struct AtCase {
  const char* name;
  std::vector<const char*> setup;
  const char* input;
  const char* answer;
};
void PrintTo(const AtCase& c, std::ostream* os) { *os << c.name; }

class AtAnswerTest : public ModemTest, public ::testing::WithParamInterface<AtCase> {};

TEST_P(AtAnswerTest, Answers) {
  for (const char* line : GetParam().setup) ASSERT_EQ("OK", Ctl(line)) << line;
  EXPECT_EQ(GetParam().answer, Line(GetParam().input));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, AtAnswerTest,
    ::testing::Values(
        AtCase{"Reset", {}, "AT&F\r", "AT&F\r\r\nOK\r\n"},
        AtCase{"FlowControl", {}, "AT\\Q3\r", "AT\\Q3\r\r\nOK\r\n"},
        AtCase{"ModelWithEchoAndBlankLines", {"set model MODEL"}, "AT+CGMM\r",
               "AT+CGMM\r\r\nMODEL\r\n\r\nOK\r\n"},
        AtCase{"ModelKeepsBlanks", {"set model  A  B"}, "AT+CGMM\r", "AT+CGMM\r\r\nA  B\r\n\r\nOK\r\n"},
        AtCase{"LowerCaseCommand", {"set echo off", "set model M"}, "at+cgmm\r", "\r\nM\r\n\r\nOK\r\n"},
        AtCase{"VolumesFromSession", {"set echo off"}, "AT^SQWE=100\r", "\r\n^SQWE: 2\r\n\r\nOK\r\n"},
        AtCase{"VolumesOverridden", {"set echo off", "set volumes 3"}, "AT^SQWE=100\r",
               "\r\n^SQWE: 3\r\n\r\nOK\r\n"},
        AtCase{"Sqwe100Error", {"set echo off", "set sqwe100 error"}, "AT^SQWE=100\r",
               "\r\nERROR\r\n"},
        AtCase{"Sqwe100BareOk", {"set echo off", "set sqwe100 ok"}, "AT^SQWE=100\r", "\r\nOK\r\n"},
        AtCase{"CmeError", {"set echo off", "set cme at&f 3"}, "AT&F\r", "\r\n+CME ERROR: 3\r\n"},
        AtCase{"CmeOnlyForItsCommand", {"set echo off", "set cme AT&F 3"}, "AT\\Q3\r", "\r\nOK\r\n"},
        AtCase{"RawReply", {"set echo off", "set reply AT+CGMM 0d0a 4f4b"}, "AT+CGMM\r", "\r\nOK"},
        AtCase{"SilentReplyStillEchoes", {"set reply AT&F silent"}, "AT&F\r", "AT&F\r"},
        AtCase{"UnknownCommand", {"set echo off"}, "AT+FOO\r", "\r\nERROR\r\n"},
        AtCase{"NoiseBeforeAtIgnored", {"set echo off"}, "+++AT&F\r", "\r\nOK\r\n"},
        AtCase{"LineWithoutAtUnanswered", {"set echo off"}, "hello\r", ""},
        AtCase{"LfAfterCrIsNoCommand", {"set echo off"}, "AT\r\n", "\r\nOK\r\n"},
        AtCase{"BackspaceEdits", {"set echo off"}, "AT&X\b\b\r", "\r\nOK\r\n"},
        AtCase{"EchoOffByAte0", {}, "ATE0\rAT\r", "ATE0\r\r\nOK\r\n\r\nOK\r\n"}),
    [](const ::testing::TestParamInfo<AtCase>& info) { return std::string(info.param.name); });

TEST_F(ModemTest, AnswersOnlyAtTheConfiguredRate) {
  ASSERT_EQ("OK", Ctl("set baud 115200"));
  for (int rate : {921600, 460800, 230400}) {
    lineBaud = rate;
    EXPECT_EQ("", Line("AT+CGMM\r")) << rate;
  }
  lineBaud = 115200;
  EXPECT_NE("", Line("AT+CGMM\r"));
  lineBaud = 115200;
  Line("AT\r");
  EXPECT_EQ("OK 921600 460800 230400 115200", Ctl("get rates"));
  EXPECT_EQ("OK 1", Ctl("get count at+cgmm"));
  EXPECT_EQ("OK 24", Ctl("get dropped"));
  EXPECT_EQ("OK 115200", Ctl("get baud"));
  ASSERT_EQ("OK", Ctl("set baud 0"));
  lineBaud = 9600;
  EXPECT_NE("", Line("AT\r"));
}

TEST_F(ModemTest, BytesAfterSwitchGoToTheObexService) {
  EXPECT_EQ("AT^SQWE=3\r\r\nOK\r\n", Line(std::string("AT^SQWE=3\r\x80\x00\x07", 13)));
  EXPECT_EQ("OK obex", Ctl("get mode"));
  EXPECT_EQ(std::string("\x80\x00\x07", 3), session.received);
  EXPECT_EQ("", Line("AT&F\r"));  // no AT answers in OBEX mode
  EXPECT_EQ(std::string("\x80\x00\x07" "AT&F\r", 8), session.received);
}

TEST_F(ModemTest, OverriddenSwitchStaysInCommandMode) {
  ASSERT_EQ("OK", Ctl("set reply AT^SQWE=3 0d0a4f4b0d0a"));
  Line("AT^SQWE=3\r");
  EXPECT_EQ("OK at", Ctl("get mode"));
}

// Escape timing: each step is bytes at a time in ms since entering OBEX mode at 0.
struct EscapeStep {
  int ms;
  const char* bytes;
};
struct EscapeCase {
  const char* name;
  std::vector<EscapeStep> steps;
  int checkAt;
  bool escaped;
  const char* toSession;
};
void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class EscapeTest : public ModemTest, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeTest, GuardTimes) {
  Line("AT^SQWE=3\r", 0);
  for (const auto& s : GetParam().steps) Line(s.bytes, s.ms);
  modem.OnTimer(At(GetParam().checkAt));
  EXPECT_EQ(GetParam().escaped ? "OK at" : "OK obex", Ctl("get mode"));
  EXPECT_EQ(GetParam().escaped ? 1 : 0, session.resets);
  EXPECT_EQ(GetParam().toSession, session.received);
}

INSTANTIATE_TEST_SUITE_P(
    Plus, EscapeTest,
    ::testing::Values(
        EscapeCase{"SilenceAround", {{1200, "+++"}}, 2200, true, ""},
        EscapeCase{"NotYetAfterTooShortSilence", {{1200, "+++"}}, 2199, false, ""},
        EscapeCase{"SeparateBytes", {{1200, "+"}, {1300, "+"}, {1400, "+"}}, 2400, true, ""},
        EscapeCase{"NoSilenceBefore", {{1200, "x"}, {1300, "+++"}}, 3000, false, "x+++"},
        EscapeCase{"SameChunkAsData", {{1200, "x+++"}}, 3000, false, "x+++"},
        EscapeCase{"DataWithinGuardAfter", {{1200, "+++"}, {1500, "y"}}, 3000, false, "+++y"},
        EscapeCase{"FourPlusSigns", {{1200, "++++"}}, 3000, false, "++++"},
        EscapeCase{"SlowThirdPlus", {{1200, "++"}, {2300, "+"}}, 4000, false, "++"},
        EscapeCase{"AfterEarlierData", {{100, "\x81!"}, {1200, "+++"}}, 2300, true, "\x81!"}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST_F(ModemTest, EscapeFiresAtItsDeadlineAndIsLogged) {
  Line("AT^SQWE=3\r", 0);
  Line("+++", 1500);
  ASSERT_TRUE(modem.NextDeadline());
  EXPECT_EQ(At(2500), *modem.NextDeadline());
  // Bytes arriving after the guard find the module in AT mode already.
  EXPECT_EQ("AT\r\r\nOK\r\n", Line("AT\r", 2600));
  EXPECT_EQ("OK AT^SQWE=3 +++ AT", Ctl("get log"));
  EXPECT_EQ("OK 1", Ctl("get count +++"));
}

TEST_F(ModemTest, DtrDropLeavesObexMode) {
  modem.OnDtr(true, At(0));
  Line("AT^SQWE=3\r", 10);
  modem.OnDtr(false, At(20));
  EXPECT_EQ("OK at", Ctl("get mode"));
  EXPECT_EQ(1, session.resets);
  EXPECT_EQ("OK 0", Ctl("get dtr"));
}

TEST_F(ModemTest, DroppedLineIsDeafUntilDtrGoesLow) {
  modem.OnDtr(true, At(0));
  Line("AT^SQWE=3\r", 10);
  modem.DropLine(At(20));
  EXPECT_FALSE(modem.Cts());
  EXPECT_EQ("OK dropped", Ctl("get line"));
  EXPECT_EQ("", Line("\x80!", 30));
  EXPECT_EQ("", session.received);
  modem.OnDtr(false, At(40));
  EXPECT_EQ("OK at", Ctl("get mode"));
  EXPECT_EQ("OK up", Ctl("get line"));
  EXPECT_EQ(1, session.resets);
  EXPECT_TRUE(modem.Cts());
  modem.OnDtr(true, At(50));
  EXPECT_EQ("AT\r\r\nOK\r\n", Line("AT\r", 60));
}

TEST_F(ModemTest, RebootIsDeafForItsDownTime) {
  Line("AT^SQWE=3\r", 0);
  modem.Reboot(500, At(100));
  EXPECT_EQ("OK at", Ctl("get mode"));
  EXPECT_EQ(1, session.resets);
  EXPECT_FALSE(modem.Cts());
  ASSERT_TRUE(modem.NextDeadline());
  EXPECT_EQ(At(600), *modem.NextDeadline());
  EXPECT_EQ("", Line("AT\r", 300));
  modem.OnTimer(At(600));
  EXPECT_TRUE(modem.Cts());
  EXPECT_EQ("AT\r\r\nOK\r\n", Line("AT\r", 700));
}

TEST_F(ModemTest, CtsModes) {
  EXPECT_TRUE(modem.Cts()) << "on by default, whatever DTR does";
  ASSERT_EQ("OK", Ctl("set cts never"));
  modem.OnDtr(true, At(0));
  modem.OnTimer(At(60000));
  EXPECT_FALSE(modem.Cts());
  modem.OnDtr(false, At(60001));

  ASSERT_EQ("OK", Ctl("set cts delay 300"));
  modem.OnDtr(true, At(1000));
  ASSERT_TRUE(modem.NextDeadline());
  EXPECT_EQ(At(1300), *modem.NextDeadline());
  modem.OnTimer(At(1299));
  EXPECT_FALSE(modem.Cts());
  modem.OnTimer(At(1300));
  EXPECT_TRUE(modem.Cts());
  EXPECT_EQ("OK 1", Ctl("get cts"));
  modem.OnDtr(false, At(2000));
  EXPECT_FALSE(modem.Cts());
  modem.OnDtr(true, At(3000));  // a new raise waits the full delay again
  modem.OnTimer(At(3200));
  EXPECT_FALSE(modem.Cts());
  modem.OnTimer(At(3300));
  EXPECT_TRUE(modem.Cts());
}

TEST_F(ModemTest, CtsDelaySetWhileDtrHighCountsFromThen) {
  modem.OnDtr(true, At(0));
  ASSERT_EQ("OK", Ctl("set cts delay 100", 500));
  modem.OnTimer(At(599));
  EXPECT_FALSE(modem.Cts());
  modem.OnTimer(At(600));
  EXPECT_TRUE(modem.Cts());
}

TEST_F(ModemTest, ResetRestoresStartupSettings) {
  modem.AddStartupCommand("set model START", At(0));
  ASSERT_EQ("OK", Ctl("set model LATER"));
  ASSERT_EQ("OK", Ctl("set echo off"));
  Line("AT^SQWE=3\r");
  EXPECT_EQ("OK", Ctl("reset"));
  EXPECT_EQ("OK START", Ctl("get model"));
  EXPECT_EQ("OK on", Ctl("get echo"));
  EXPECT_EQ("OK at", Ctl("get mode"));
  EXPECT_EQ("OK", Ctl("get log"));
  EXPECT_EQ(1, session.resets);
  ASSERT_FALSE(session.controls.empty());
  EXPECT_EQ(std::vector<std::string>{"reset"}, session.controls.back());
}

TEST_F(ModemTest, UnknownWordsGoToTheSession) {
  EXPECT_EQ("OK obex", Ctl("obexthing 1 2"));
  EXPECT_EQ((std::vector<std::string>{"obexthing", "1", "2"}), session.controls.back());
  EXPECT_EQ("ERR unknown command: bogus", Ctl("bogus"));
}

TEST_F(ModemTest, SessionMayOwnTheVolumeCount) {
  session.takesVolumes = true;
  EXPECT_EQ("OK taken", Ctl("set volumes 3"));
  session.volumes = 3;
  EXPECT_EQ("OK 3", Ctl("get volumes"));
}

TEST_F(ModemTest, BadControlArgumentsAreRefused) {
  for (const char* line : {"set echo maybe", "set baud fast", "set baud -1", "set cts delay",
                           "set cts delay x", "set cts sometimes", "set cme AT&F", "set cme AT&F x",
                           "set reply AT&F 0", "set reply AT&F zz", "set sqwe100 nope",
                           "set volumes -2", "set model", "set guard"}) {
    EXPECT_EQ(0u, Ctl(line).rfind("ERR", 0)) << line;
  }
  EXPECT_EQ("ERR empty command", Ctl("   "));
}

TEST_F(ModemTest, LogEscapesOddCommands) {
  ASSERT_EQ("OK", Ctl("set echo off"));
  Line("AT X%\x01\r");
  EXPECT_EQ("OK AT%20X%25%01", Ctl("get log"));
}

TEST(HexTest, Parses) {
  std::string out;
  EXPECT_TRUE(ParseHex({"0d0A", "ff"}, 0, out));
  EXPECT_EQ(std::string("\r\n\xff"), out);
  EXPECT_FALSE(ParseHex({"0d0"}, 0, out));
  EXPECT_FALSE(ParseHex({"0g"}, 0, out));
  EXPECT_FALSE(ParseHex({}, 0, out));
}

}  // namespace
}  // namespace sim
