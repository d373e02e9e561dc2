// testing/simulator/obex/tests/session_test.cpp - the OBEX mode as the line
// side drives it: bytes in any cut, answers through SendFn, pacing on a given
// clock, faults and the control words.
#include <gtest/gtest.h>

#include "ObexSession.h"
#include "ObexTestClient.h"

namespace sim::obex {
namespace {

using namespace std::chrono_literals;
using test::ScratchDir;
using test::Text;
using test::Wide;

Bytes ConnectPacket() {
  PacketWriter w(kOpConnect);
  w.Byte(0x10).Byte(0).U16(16390).Sequence(kHdrTarget, kFileTarget, 16);
  return w.Finish();
}

Bytes ListingPacket() {
  PacketWriter w(kOpGet | kFinal);
  w.Sequence(kHdrType, Text(kListingType));
  return w.Finish();
}

class ObexSessionTest : public ::testing::Test {
protected:
  ObexSessionTest() {
    LineHooks hooks;
    hooks.dropLine = [this] { ++drops; };
    hooks.reboot = [this](int ms) { reboots.push_back(ms); };
    hooks.baud = [this] { return lineBaud; };
    session.SetLineHooks(hooks);
  }
  void Feed(const Bytes& b) { session.OnBytes(b.data(), b.size()); }
  std::string Ctl(const std::string& line) {
    std::vector<std::string> words;
    std::string w;
    for (char c : line + " ") {
      if (c == ' ') {
        if (!w.empty()) words.push_back(w);
        w.clear();
      } else {
        w += c;
      }
    }
    std::string reply;
    EXPECT_TRUE(session.Control(words, reply)) << line;
    return reply;
  }
  // Whole answers in what was sent so far (taken out of sent).
  std::vector<Bytes> Answers() {
    std::vector<Bytes> out;
    while (sent.size() >= 3) {
      size_t len = (size_t(sent[1]) << 8) | sent[2];
      if (sent.size() < len) break;
      out.emplace_back(sent.begin(), sent.begin() + long(len));
      sent.erase(sent.begin(), sent.begin() + long(len));
    }
    return out;
  }
  uint8_t Request(const Bytes& packet) {
    Feed(packet);
    auto a = Answers();
    EXPECT_EQ(1u, a.size());
    return a.empty() ? 0 : a[0][0];
  }

  ScratchDir dir;
  Bytes sent;
  CObexSession session{dir.Path(), [this](const uint8_t* d, size_t n) { sent.insert(sent.end(), d, d + n); }};
  int drops = 0;
  std::vector<int> reboots;
  int lineBaud = 0;
};

TEST_F(ObexSessionTest, PacketsMayArriveInAnyCut) {
  Bytes two = ConnectPacket();
  Bytes listing = ListingPacket();
  two.insert(two.end(), listing.begin(), listing.end());
  for (size_t cut : {size_t(1), size_t(2), size_t(5), two.size()}) {
    session.Reset();
    sent.clear();
    for (size_t pos = 0; pos < two.size(); pos += cut)
      session.OnBytes(two.data() + pos, std::min(cut, two.size() - pos));
    auto a = Answers();
    ASSERT_EQ(2u, a.size()) << cut;
    EXPECT_EQ(kRspOk, a[0][0]);
    EXPECT_EQ(kRspOk, a[1][0]);
  }
}

TEST_F(ObexSessionTest, LineNoiseNeverWedgesTheModule) {
  // A line reset sends AT commands in OBEX mode; junk has impossible lengths.
  const std::vector<Bytes> noise = {Text("AT+CGMM\r"), Text("at&f\r"), {0x10, 0xFF, 0xFF}, {0x02, 0x00, 0x01},
                                    Text("+++"), Text("\r\n"), Text("+CME ERROR")};
  for (const Bytes& n : noise) {
    sent.clear();
    Feed(n);
    EXPECT_TRUE(sent.empty()) << "no answer to noise";
    EXPECT_EQ(kRspOk, Request(ConnectPacket())) << HexText(n.data(), n.size());
  }
  std::string log = Ctl("obex log");
  EXPECT_NE(std::string::npos, log.find("AT command in OBEX mode ignored: AT+CGMM")) << log;
  EXPECT_NE(std::string::npos, log.find("junk dropped: 3 bytes 10FFFF")) << log;
  EXPECT_NE(std::string::npos, log.find("junk dropped: 3 bytes 2B2B2B")) << log;

  // A half packet goes after some silence.
  Bytes half = ConnectPacket();
  half.resize(5);
  Feed(half);
  ASSERT_TRUE(session.NextDeadline());
  session.OnTimer(SteadyClock::now() + std::chrono::milliseconds(kPartialTimeoutMs + 100));
  EXPECT_NE(std::string::npos, Ctl("obex log").find("truncated packet dropped: 5 bytes")) << Ctl("obex log");
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
}

TEST_F(ObexSessionTest, InjectedErrorAnswersTheNthMatchingRequest) {
  EXPECT_EQ("OK error C4 at 2 get", Ctl("obex fault error C4 at 2 get"));
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
  EXPECT_EQ(kRspOk, Request(ListingPacket()));
  EXPECT_EQ(kRspNotFound, Request(ListingPacket()));
  EXPECT_EQ(kRspOk, Request(ListingPacket())) << "one shot";
  EXPECT_EQ("OK 0", Ctl("obex fault list"));

  Ctl("obex fault refuse");
  Feed(ConnectPacket());
  auto a = Answers();
  ASSERT_EQ(1u, a.size());
  EXPECT_EQ(kRspServiceUnavailable, a[0][0]);
  EXPECT_EQ(7u, a[0].size());
  Ctl("obex fault refuse off");
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
}

TEST_F(ObexSessionTest, DropsCutTheLineUntilReset) {
  Ctl("obex fault drop tx 5");
  Feed(ConnectPacket());
  EXPECT_EQ(5u, sent.size()) << "the answer stops after 5 bytes";
  EXPECT_EQ(1, drops);
  sent.clear();
  Feed(ConnectPacket());
  EXPECT_TRUE(sent.empty()) << "a dropped line answers nothing";
  session.Reset();  // DTR low: back to command mode
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
  session.Reset();

  Ctl("obex fault drop at 2");
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
  Feed(ListingPacket());
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(2, drops);
  session.Reset();

  Ctl("obex fault drop rx 4");
  Feed(ConnectPacket());
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(3, drops);
  session.Reset();

  Ctl("obex fault reboot 2500 at 1 get");
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
  Feed(ListingPacket());
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(std::vector<int>{2500}, reboots);
  session.Reset();
  EXPECT_EQ(kRspServiceUnavailable, Request(ListingPacket())) << "a reboot ends the OBEX connection";
}

TEST_F(ObexSessionTest, CorruptionFlipsOneByte) {
  Ctl("obex fault corrupt tx 1 0F");
  Feed(ConnectPacket());
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(kRspOk ^ 0x0F, sent[0]);
  sent.clear();
  // A corrupted request byte: the 16th byte sits inside the target, which is then unknown.
  Ctl("obex fault corrupt rx 16");
  EXPECT_EQ(kRspNotFound, Request(ConnectPacket()));
}

TEST_F(ObexSessionTest, StallDelaysTheAnswer) {
  Ctl("obex fault stall 300");
  SteadyTime t0 = SteadyClock::now();
  Feed(ConnectPacket());
  EXPECT_TRUE(sent.empty());
  auto next = session.NextDeadline();
  ASSERT_TRUE(next);
  EXPECT_GE(*next - t0, 300ms);
  session.OnTimer(*next);
  EXPECT_EQ(1u, Answers().size());
}

TEST_F(ObexSessionTest, PacingHoldsBothDirectionsToTheBaudRate) {
  lineBaud = 9600;  // 0.96 bytes a millisecond
  Ctl("obex pace on");
  Ctl("obex pace delay 50");
  SteadyTime t0 = SteadyClock::now();
  Bytes req = ConnectPacket();
  Feed(req);
  EXPECT_TRUE(sent.empty());
  SteadyTime last = t0;
  int writes = 0;
  while (auto next = session.NextDeadline()) {
    session.OnTimer(*next);
    last = *next;
    if (++writes > 100) break;
  }
  auto a = Answers();
  ASSERT_EQ(1u, a.size());
  // Request and answer both cross a 9600 baud line, plus the processing delay.
  // The last slice (9 bytes) leaves at the last deadline.
  auto expected = std::chrono::microseconds((req.size() + a[0].size() - 9) * 10 * 1000000 / 9600) + 50ms;
  EXPECT_GE(last - t0, expected);
  EXPECT_LT(last - t0, expected + 200ms);
  EXPECT_GT(writes, 2) << "sent in slices, not at once";
  EXPECT_NE(std::string::npos, Ctl("obex status").find("pace=on baud=9600 delay=50"));
}

// No answer byte may reach the PC before a real line could have carried it,
// and the line record adds up what crossed.
TEST_F(ObexSessionTest, PacedAnswerBytesArriveNoSoonerThanTheirLineTime) {
  lineBaud = 9600;
  Ctl("obex pace on");
  Ctl("obex line clear");
  auto lineTime = [](size_t bytes) { return std::chrono::nanoseconds(int64_t(bytes) * 10 * 1000000000LL / 9600); };
  Bytes req = ConnectPacket();
  SteadyTime t0 = SteadyClock::now();
  Feed(req);
  ASSERT_TRUE(sent.empty());
  SteadyTime answerStart{}, last{};
  for (int turns = 0; turns < 1000; ++turns) {
    auto next = session.NextDeadline();
    if (!next) break;
    size_t before = sent.size();
    session.OnTimer(*next);
    if (before == 0 && answerStart == SteadyTime{}) answerStart = *next;
    if (sent.size() > before) {
      EXPECT_GE(*next - answerStart, lineTime(sent.size()) - std::chrono::microseconds(1)) << sent.size();
      last = *next;
    }
  }
  EXPECT_GE(answerStart - t0, lineTime(req.size()));
  auto a = Answers();
  ASSERT_EQ(1u, a.size());
  EXPECT_GE(last - answerStart, lineTime(a[0].size()) - std::chrono::microseconds(1));
  EXPECT_LT(last - answerStart, lineTime(a[0].size()) + 5ms);

  const std::string line = Ctl("obex line");
  EXPECT_EQ(0u, line.find("OK rx=" + std::to_string(req.size()) + " tx=" + std::to_string(a[0].size()) +
                          " requests=1 span_us="))
      << line;
  EXPECT_NE(std::string::npos, line.find(" waits=0 ")) << line;
  EXPECT_EQ("OK", Ctl("obex line clear"));
  EXPECT_EQ(0u, Ctl("obex line").find("OK rx=0 tx=0 requests=0 span_us=0 waits=0")) << Ctl("obex line");
}

TEST_F(ObexSessionTest, ControlVocabulary) {
  struct Case {
    const char* line;
    const char* reply;  // expected start of the reply
  } cases[] = {
      {"obex volumes 2", "OK 2"},
      {"set volumes auto", "OK 2"},  // as many as the folders A, B, C made so far
      {"obex volumes 4", "ERR"},
      {"obex capacity B 5000", "OK"},
      {"obex capacity B", "OK 5000"},
      {"obex capacity D 5000", "ERR"},
      {"obex label A NEW LABEL", "OK"},
      {"obex label A", "OK NEW LABEL"},
      {"obex protect A on", "OK"},
      {"obex protect A maybe", "ERR"},
      {"obex free A", "OK 16777216"},
      {"obex used A", "OK 0"},
      {"obex maxpacket 512", "OK"},
      {"obex escape off", "OK"},
      {"obex listing cut", "OK"},
      {"obex listing half", "ERR"},
      {"obex pace baud 57600", "OK"},
      {"obex pace sideways", "ERR"},
      {"obex stddirs Music Photos", "OK"},
      {"obex card B out", "OK"},
      {"obex card B sideways", "ERR"},
      {"obex model X1 Pro", "OK"},
      {"obex fault drop", "OK drop at 1"},
      {"obex fault drop at 3 setpath", "OK drop at 3 setpath"},
      {"obex fault stall 100 at 2", "OK stall 100 at 2"},
      {"obex fault error 3 at 1", "ERR"},
      {"obex fault error C3 at 0", "ERR"},
      {"obex fault error C3 at 1 fly", "ERR"},
      {"obex fault corrupt tx 7", "OK corrupt tx 7 FF"},
      {"obex fault corrupt sideways 7", "ERR"},
      {"obex fault reboot at 2 put", "OK reboot 1000 at 2 put"},
      {"obex fault list", "OK 5 | drop at 1 | drop at 3 setpath"},
      {"obex fault clear", "OK"},
      {"obex fault list", "OK 0"},
      {"obex fly", "ERR"},
      {"obex status", "OK connected=0 volumes=2 folder=A:\\ maxpacket=512"},
  };
  for (const Case& c : cases) EXPECT_EQ(0u, Ctl(c.line).rfind(c.reply, 0)) << c.line << " -> " << Ctl(c.line);
  EXPECT_EQ("NEW LABEL", session.Store().Volume(0).label);
  EXPECT_TRUE(session.Store().Volume(0).writeProtected);
  EXPECT_EQ((std::vector<std::string>{"Music", "Photos"}), session.Store().StdDirs());
  EXPECT_EQ("OK", Ctl("reset"));
  EXPECT_EQ(0u, Ctl("obex status").find("OK connected=0 volumes=2 folder=A:\\ maxpacket=16390 pace=off"));
  std::string reply;
  EXPECT_FALSE(session.Control({"set", "echo", "on"}, reply)) << "not the session's";
}

TEST_F(ObexSessionTest, LogOverTheControlChannel) {
  Ctl("obex clearlog");
  Request(ConnectPacket());
  PacketWriter sp(kOpSetPath);
  sp.Byte(2).Byte(0).Sequence(kHdrName, Wide("none"));
  EXPECT_EQ(kRspNotFound, Request(sp.Finish()));
  std::string log = Ctl("obex log");
  EXPECT_EQ(0u, log.find("OK 2 | 1 CONNECT version=10 flags=00 max=16390 target=6B01CB31"));
  EXPECT_NE(std::string::npos, log.find(" | 2 SETPATH flags=2 constants=0 name=none -> C4")) << log;
  EXPECT_EQ("OK 2 | 2 SETPATH flags=2 constants=0 name=none -> C4", Ctl("obex log 2"));
}

// Random requests of valid framing and random bytes: every one answered or
// dropped, the module alive afterwards. Opcodes and header ids are drawn from
// the ones the service knows so that the parsers get deep.
TEST_F(ObexSessionTest, RandomInputNeverBreaksTheModule) {
  std::srand(4711);
  auto pick = [](std::initializer_list<uint8_t> from) { return *(from.begin() + std::rand() % from.size()); };
  dir.Write("A/f.txt", "some content");
  dir.Write("A/d/g.txt", "more");
  Feed(ConnectPacket());
  for (int round = 0; round < 20000; ++round) {
    if (std::rand() % 100 == 0) {
      Feed(ConnectPacket());  // now and then a fresh connection, else the requests reach the file service
      continue;
    }
    Bytes pkt = {pick({0x02, 0x82, 0x02, 0x82, 0x03, 0x83, 0x83, 0x85, 0x85, 0xFF, 0x04}), 0, 0};
    if (pkt[0] == 0x85) pkt.push_back(uint8_t(std::rand() % 4)), pkt.push_back(0);
    int headers = std::rand() % 4;
    for (int h = 0; h < headers; ++h) {
      uint8_t id = pick({kHdrName, kHdrType, kHdrTime, kHdrTarget, kHdrBody, kHdrEndOfBody, kHdrAppParams,
                         kHdrLength, kHdrConnectionId, 0x97, 0x05});
      pkt.push_back(id);
      if (id >= 0xC0) {
        for (int i = 0; i < 4; ++i) pkt.push_back(uint8_t(std::rand()));
      } else if (id >= 0x80) {
        pkt.push_back(uint8_t(std::rand()));
      } else {
        Bytes value;
        int n = std::rand() % 12;
        for (int i = 0; i < n; ++i)
          value.push_back(id == kHdrAppParams && i % 3 == 0 ? pick({'1', '2', '3', '4', '5', '6', '7', '8', '9'})
                                                           : pick({0, 1, 2, 3, 'a', '/', ':', '"', 'R', 0xFF}));
        size_t len = value.size() + 3 + (std::rand() % 8 == 0 ? std::rand() % 5 : 0);  // sometimes a lie
        pkt.push_back(uint8_t(len >> 8));
        pkt.push_back(uint8_t(len));
        pkt.insert(pkt.end(), value.begin(), value.end());
      }
    }
    pkt[1] = uint8_t(pkt.size() >> 8);
    pkt[2] = uint8_t(pkt.size());
    if (std::rand() % 10 == 0) pkt.resize(std::rand() % (pkt.size() + 1));  // raw noise
    Feed(pkt);
    if (std::rand() % 50 == 0) session.OnTimer(SteadyClock::now() + 10s);  // drops half packets
  }
  session.OnTimer(SteadyClock::now() + 10s);
  sent.clear();
  EXPECT_EQ(kRspOk, Request(ConnectPacket()));
}

}  // namespace
}  // namespace sim::obex
