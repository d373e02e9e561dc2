// testing/simulator/obex/tests/server_test.cpp - the file service, request by
// request, against a scratch data folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FlashStore.h"
#include "ObexServer.h"
#include "ObexTestClient.h"

namespace sim::obex {
namespace {

using test::AppParams;
using test::Client;
using test::Response;
using test::ScratchDir;
using test::Text;
using test::Wide;

class ObexServerTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(kRspOk, client.Connect().code); }

  // Reconnects with a small packet size so that transfers take many packets.
  void SmallPackets(uint16_t size = 255) {
    server.Options().maxPacket = size;
    client.maxPacket = size;
    ASSERT_EQ(kRspOk, client.Connect().code);
  }
  std::string Listing() {
    std::string xml;
    EXPECT_EQ(kRspOk, client.GetListing(xml).code);
    return xml;
  }
  uint32_t Capacity(uint8_t which) {
    PacketWriter w(kOpGet | kFinal);
    w.Sequence(kHdrAppParams, AppParams({{'2', {which}}}));
    std::string body;
    Response r = client.Get(w, body);
    EXPECT_EQ(kRspOk, r.code);
    auto ps = r.AppParams();
    if (ps.size() != 1 || ps[0].tag != '2' || ps[0].value.size() != 4) {
      ADD_FAILURE() << "no capacity answer";
      return 0;
    }
    return uint32_t((ps[0].value[0] << 24) | (ps[0].value[1] << 16) | (ps[0].value[2] << 8) | ps[0].value[3]);
  }
  Response SetAttributes(const std::string& name, const std::string& perm) {
    PacketWriter w(kOpPut | kFinal);
    w.Sequence(kHdrName, Wide(name)).Sequence(kHdrAppParams, AppParams({{'8', Text(perm)}}));
    return client.Run(w);
  }
  Response CopyOrMove(const char* verb, const std::string& from, const std::string& to) {
    PacketWriter w(kOpPut | kFinal);
    w.Sequence(kHdrAppParams, AppParams({{'4', Text(verb)}, {'5', Wide(from)}, {'6', Wide(to)}}));
    return client.Run(w);
  }
  std::string LastLog() {
    auto entries = server.LogEntries(server.LogCount());
    return entries.empty() ? std::string() : entries.back();
  }

  ScratchDir dir;
  FlashStore store{dir.Path()};
  ObexServer server{store};
  Client client{[this](const Bytes& p) { return server.Handle(p.data(), p.size()); }};
};

TEST_F(ObexServerTest, ConnectAnswersWithConnectionIdThenWho) {
  PacketWriter w(kOpConnect);
  w.Byte(0x10).Byte(0).U16(16390).Sequence(kHdrTarget, kFileTarget, 16);
  Response r = client.Run(w, true);
  ASSERT_EQ(kRspOk, r.code);
  EXPECT_EQ(0x10, r.raw[3]);
  EXPECT_EQ(16390, r.maxPacket);
  ASSERT_EQ(2u, r.headers.size());
  EXPECT_EQ(kHdrConnectionId, r.headers[0].id);
  EXPECT_EQ(kHdrWho, r.headers[1].id);
  EXPECT_EQ(Bytes(kFileTarget, kFileTarget + 16), r.headers[1].data);

  r = client.Connect(reinterpret_cast<const uint8_t*>(kSyncTarget), 9);
  ASSERT_EQ(kRspOk, r.code);
  EXPECT_EQ(Text("IRMC-SYNC"), r.Find(kHdrWho)->data);
  r = client.Connect(kFolderBrowsingTarget, 16);
  ASSERT_EQ(kRspOk, r.code);
  EXPECT_EQ(Bytes(kFolderBrowsingTarget, kFolderBrowsingTarget + 16), r.Find(kHdrWho)->data);
}

TEST_F(ObexServerTest, ConnectRefusals) {
  EXPECT_EQ(kRspNotFound, client.Connect(reinterpret_cast<const uint8_t*>("OTHER"), 5).code);
  EXPECT_FALSE(server.Connected());
  EXPECT_EQ(kRspServiceUnavailable, client.SetPath(0, "").code) << "no file service before CONNECT";
  client.maxPacket = 254;
  EXPECT_EQ(kRspBadRequest, client.Connect().code);
  client.maxPacket = 16390;
  server.Options().refuseConnect = kRspServiceUnavailable;
  Response r = client.Connect();
  EXPECT_EQ(kRspServiceUnavailable, r.code);
  EXPECT_EQ(7u, r.raw.size()) << "a refused CONNECT still carries its fields";
  server.Options().refuseConnect.reset();
  server.Options().maxPacket = 512;
  EXPECT_EQ(512, client.Connect().maxPacket);
}

TEST_F(ObexServerTest, PutAndGetRoundTripOverManyPackets) {
  SmallPackets();
  for (size_t size : {size_t(0), size_t(1), size_t(240), size_t(249), size_t(5000)}) {
    std::string data;
    for (size_t i = 0; i < size; ++i) data += char('a' + i % 26);
    std::string name = "f" + std::to_string(size) + ".bin";
    ASSERT_EQ(kRspOk, client.Put(name, data, "20240102T030405").code) << size;
    EXPECT_EQ(data, dir.Read("A/" + name));
    std::string back;
    Response first;
    int packets = 0;
    PacketWriter w(kOpGet | kFinal);
    w.Sequence(kHdrName, Wide(name));
    ASSERT_EQ(kRspOk, client.Get(w, back, &first, &packets).code);
    EXPECT_EQ(data, back);
    ASSERT_TRUE(first.Find(kHdrLength));
    EXPECT_EQ(size, first.Find(kHdrLength)->value);
    // 244 bytes fit beside Length in the first answer, 249 in each later one.
    EXPECT_EQ(size <= 244 ? 1 : 1 + int((size - 244 + 248) / 249), packets) << size;
    EXPECT_LE(first.raw.size(), 255u);
  }
  struct stat st {};
  ASSERT_EQ(0, stat((dir.Path() + "/A/f1.bin").c_str(), &st));
  EXPECT_EQ(*ParseTimeText("20240102T030405"), st.st_mtime);
}

TEST_F(ObexServerTest, ListingCarriesLengthFirstAndMatchesTheFolder) {
  SmallPackets();
  dir.Write("A/docs/report.txt", std::string(1234, 'x'));
  dir.Write("A/b.txt", "12");
  dir.Write("A/docs/sub/x", "");
  std::string xml;
  Response first;
  PacketWriter w(kOpGet | kFinal);
  w.Sequence(kHdrType, Text(kListingType));
  ASSERT_EQ(kRspOk, client.Get(w, xml, &first).code);
  ASSERT_TRUE(first.Find(kHdrLength));
  EXPECT_EQ(xml.size(), first.Find(kHdrLength)->value);
  EXPECT_EQ(std::string::npos, xml.find("parent-folder")) << "the root has no parent";
  size_t docs = xml.find("<folder name=\"docs\""), tel = xml.find("<folder name=\"telecom\""),
         b = xml.find("<file name=\"b.txt\" size=\"2\"");
  ASSERT_NE(std::string::npos, docs) << xml;
  ASSERT_NE(std::string::npos, tel) << xml;
  ASSERT_NE(std::string::npos, b) << xml;
  EXPECT_LT(tel, b) << "folders first";

  client.Enter("docs");
  xml = Listing();
  EXPECT_NE(std::string::npos, xml.find("<parent-folder/>"));
  EXPECT_NE(std::string::npos, xml.find("<file name=\"report.txt\" size=\"1234\""));
  EXPECT_NE(std::string::npos, xml.find("<folder name=\"sub\""));

  // A listing of a named subfolder from its parent.
  ASSERT_EQ(kRspOk, client.SetPath(0, "").code);
  PacketWriter named(kOpGet | kFinal);
  named.Sequence(kHdrName, Wide("docs")).Sequence(kHdrType, Text(kListingType));
  std::string sub;
  ASSERT_EQ(kRspOk, client.Get(named, sub).code);
  EXPECT_EQ(xml, sub);
}

TEST_F(ObexServerTest, SetPathWalksCreatesAndRefuses) {
  dir.Write("A/a/b/f.txt", "x");
  struct Step {
    uint8_t flags;
    const char* name;
    uint8_t code;
    const char* folder;
  } steps[] = {
      {1, nullptr, kRspNotFound, "A:\\"},       // no parent above the root
      {2, "a", kRspOk, "A:\\a\\"},
      {2, "B", kRspOk, "A:\\a\\b\\"},           // names match without case
      {2, "f.txt", kRspNotFound, "A:\\a\\b\\"}, // a file is no folder
      {0, "f.txt", kRspConflict, "A:\\a\\b\\"}, // nor can one be made there
      {3, "c", kRspNotFound, "A:\\a\\b\\"},     // a failed step changes nothing
      {1, "new", kRspOk, "A:\\a\\new\\"},       // back up, then create
      {3, nullptr, kRspOk, "A:\\a\\"},
      {0, "new", kRspAccepted, "A:\\a\\new\\"}, // create what is there
      {0, "", kRspOk, "A:\\"},
      {2, "..", kRspBadRequest, "A:\\"},
      {2, "x/y", kRspBadRequest, "A:\\"},
      {0, "B:", kRspPreconditionFailed, "A:\\"}, // one volume only
      {2, "telecom", kRspOk, "A:\\telecom\\"},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.code, client.SetPath(s.flags, s.name).code) << int(s.flags) << " " << (s.name ? s.name : "-");
    EXPECT_EQ(s.folder, server.CurrentFolder());
  }
  EXPECT_TRUE(dir.Exists("A/a/new"));
}

TEST_F(ObexServerTest, VolumesAreSelectedByName) {
  store.SetVolumeCount(2);
  dir.Write("B/only-on-b.txt", "b");
  ASSERT_EQ(kRspOk, client.SetPath(0, "B:").code);
  ASSERT_EQ(kRspOk, client.SetPath(0, "").code);
  EXPECT_NE(std::string::npos, Listing().find("only-on-b.txt"));
  ASSERT_EQ(kRspOk, client.Put("new.txt", "on b").code);
  EXPECT_EQ("on b", dir.Read("B/new.txt"));
  ASSERT_EQ(kRspOk, client.SetPath(0, "a:").code);
  EXPECT_EQ(std::string::npos, Listing().find("only-on-b.txt"));
  EXPECT_EQ(kRspPreconditionFailed, client.SetPath(0, "C:").code);

  // A card taken out: its volume answers "wrong disk", the other one works.
  server.Options().cardsOut = 1u << 1;
  EXPECT_EQ(kRspMovedTemporarily, client.SetPath(0, "B:").code);
  EXPECT_EQ(kRspMovedTemporarily, CopyOrMove("copy", "B:/new.txt", "A:/new.txt").code);
  EXPECT_EQ(kRspOk, client.Put("on-a.txt", "a").code);
  server.Options().cardsOut = 1u << 0;
  std::string xml;
  EXPECT_EQ(kRspMovedTemporarily, client.GetListing(xml).code);
  EXPECT_EQ(kRspOk, client.SetPath(0, "B:").code);
}

TEST_F(ObexServerTest, DeleteFilesAndEmptyFoldersOnly) {
  dir.Write("A/f.txt", "x");
  dir.Write("A/full/g.txt", "y");
  std::filesystem::create_directories(dir.Path() + "/A/empty");
  EXPECT_EQ(kRspOk, client.Delete("F.TXT").code);
  EXPECT_FALSE(dir.Exists("A/f.txt"));
  EXPECT_EQ(kRspNotFound, client.Delete("f.txt").code);
  EXPECT_EQ(kRspOk, client.Delete("empty").code);
  EXPECT_FALSE(dir.Exists("A/empty"));
  EXPECT_EQ(kRspForbidden, client.Delete("full").code);
  EXPECT_EQ(kRspForbidden, client.Delete("telecom").code);
  EXPECT_EQ(kRspBadRequest, client.Delete("..").code);
  EXPECT_TRUE(dir.Exists("A/full/g.txt"));
  client.Enter("full");
  ASSERT_EQ(kRspOk, SetAttributes("g.txt", "\"RD\"\"R\"").code);
  EXPECT_EQ(kRspForbidden, client.Delete("g.txt").code) << "read-only";
  EXPECT_EQ(kRspForbidden, client.Put("g.txt", "over").code) << "read-only";
  ASSERT_EQ(kRspOk, SetAttributes("g.txt", "\"RWD\"").code);
  EXPECT_EQ(kRspOk, client.Delete("g.txt").code);
}

TEST_F(ObexServerTest, CapacityAndAFullVolume) {
  store.SetVolume(0, VolumeConfig{10000, "", false});
  dir.Write("A/seed.bin", std::string(3000, 's'));
  EXPECT_EQ(10000u, Capacity(1));
  EXPECT_EQ(7000u, Capacity(2));
  EXPECT_EQ(3000u, Capacity(4));
  dir.Write("telecom/big.bin", std::string(5000, 't'));
  EXPECT_EQ(7000u, Capacity(2)) << "the system folder is not on the card";

  SmallPackets();
  // Announced too large: refused at the first packet, before its data.
  PacketWriter w(kOpPut);
  w.Sequence(kHdrName, Wide("big.bin")).U32(kHdrLength, 7001).Sequence(kHdrBody, Text("abc"));
  EXPECT_EQ(kRspDatabaseFull, client.Run(w).code);
  // No Length: refused once the data passes the free space; nothing is left.
  PacketWriter nolength(kOpPut);
  nolength.Sequence(kHdrName, Wide("big.bin"));
  EXPECT_EQ(kRspDatabaseFull, client.SendBody(nolength, Bytes(7001, 'x')).code);
  EXPECT_FALSE(dir.Exists("A/big.bin"));
  // Replacing a file counts only the growth.
  EXPECT_EQ(kRspOk, client.Put("seed.bin", std::string(10000, 'r')).code);
  EXPECT_EQ(0u, Capacity(2));
  EXPECT_EQ(kRspDatabaseFull, client.Put("one.bin", "1").code);
  EXPECT_EQ(kRspOk, client.Put("empty.bin", "").code);
}

TEST_F(ObexServerTest, LabelTravelsAsANestedName) {
  PacketWriter set(kOpPut | kFinal);
  set.Sequence(kHdrAppParams, AppParams({{'2', {3}}})).Sequence(kHdrName, Wide("MY CARD"));
  ASSERT_EQ(kRspOk, client.Run(set).code);
  EXPECT_EQ("MY CARD", FlashStore(dir.Path()).Volume(0).label) << "kept beside the data";

  PacketWriter get(kOpGet | kFinal);
  get.Sequence(kHdrAppParams, AppParams({{'2', {3}}}));
  std::string body;
  Response r = client.Get(get, body);
  ASSERT_EQ(kRspOk, r.code);
  const Header* name = r.Find(kHdrName);
  ASSERT_TRUE(name);
  Bytes expected = {0x01, 0x00, 19};
  Bytes text = Utf8ToUtf16Be("MY CARD", true);
  expected.insert(expected.end(), text.begin(), text.end());
  EXPECT_EQ(expected, name->data);

  PacketWriter tooLong(kOpPut | kFinal);
  tooLong.Sequence(kHdrAppParams, AppParams({{'2', {3}}})).Sequence(kHdrName, Wide("TWELVE CHARS"));
  EXPECT_EQ(kRspBadRequest, client.Run(tooLong).code);
  store.SetVolume(0, VolumeConfig{kDefaultCapacity, "X", true});
  EXPECT_EQ(kRspDatabaseLocked, client.Run(set).code);
}

TEST_F(ObexServerTest, CopyAndMoveKeepAttributes) {
  store.SetVolumeCount(2);
  dir.Write("A/a/b.txt", "bee");
  dir.Write("A/a/deep/c.txt", "sea");
  client.Enter("a");
  ASSERT_EQ(kRspOk, SetAttributes("b.txt", "\"RD\"\"R\"").code);
  std::filesystem::create_directories(dir.Path() + "/A/c");

  EXPECT_EQ(kRspOk, CopyOrMove("copy", "/a/b.txt", "/c/b.txt").code);
  EXPECT_EQ("bee", dir.Read("A/c/b.txt"));
  EXPECT_EQ(kRspConflict, CopyOrMove("copy", "/a/b.txt", "/c/B.TXT").code);
  EXPECT_EQ(kRspNotFound, CopyOrMove("copy", "/a/none.txt", "/c/none.txt").code);
  EXPECT_EQ(kRspNotFound, CopyOrMove("copy", "/a/b.txt", "/missing/b.txt").code);
  EXPECT_EQ(kRspBadRequest, CopyOrMove("copy", "\\a\\b.txt", "/c/x.txt").code) << "separators are slashes";
  EXPECT_EQ(kRspBadRequest, CopyOrMove("link", "/a/b.txt", "/c/x.txt").code);
  EXPECT_EQ(kRspForbidden, CopyOrMove("move", "/a", "/a/deep/a").code);
  EXPECT_EQ(kRspOk, CopyOrMove("move", "A:/a", "B:/moved").code);
  EXPECT_FALSE(dir.Exists("A/a"));
  EXPECT_EQ("sea", dir.Read("B/moved/deep/c.txt"));
  EXPECT_EQ(kRspOk, CopyOrMove("move", "B:/moved/b.txt", "B:/moved/B.txt").code) << "a rename of case only";

  ASSERT_EQ(kRspOk, client.SetPath(0, "B:").code);
  client.Enter("moved");
  std::string xml = Listing();
  EXPECT_NE(std::string::npos, xml.find("<file name=\"B.txt\" size=\"3\"")) << xml;
  EXPECT_NE(std::string::npos, xml.find("user-perm=\"RD\" group-perm=\"R\"/>")) << xml;
  ASSERT_EQ(kRspOk, client.SetPath(0, "A:").code);
  client.Enter("c");
  EXPECT_NE(std::string::npos, Listing().find("user-perm=\"RD\" group-perm=\"R\"/>")) << "copied too";
}

TEST_F(ObexServerTest, AttributesAndTimes) {
  dir.Write("A/f.txt", "x");
  struct Case {
    const char* text;
    uint8_t code;
    const char* shown;
  } cases[] = {
      {"\"RD\"\"R\"", kRspOk, "user-perm=\"RD\" group-perm=\"R\"/>"},
      {"\"RWD\"", kRspOk, "user-perm=\"RWD\"/>"},
      {"\"\"\"RW\"", kRspOk, "user-perm=\"\" group-perm=\"RW\"/>"},
      {"RWD", kRspBadRequest, nullptr},
      {"\"WR\"", kRspBadRequest, nullptr},
      {"\"RWX\"", kRspBadRequest, nullptr},
      {"\"RW\"\"D\"", kRspBadRequest, nullptr},
      {"\"RW\"\"R", kRspBadRequest, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.code, SetAttributes("f.txt", c.text).code) << c.text;
    if (c.shown) {
      EXPECT_NE(std::string::npos, Listing().find(c.shown)) << c.text;
    }
  }
  EXPECT_EQ(kRspNotFound, SetAttributes("none.txt", "\"RWD\"").code);

  // SetTime: created, last write, last access, in this order.
  PacketWriter w(kOpPut | kFinal);
  w.Sequence(kHdrName, Wide("f.txt"))
      .Sequence(kHdrAppParams, AppParams({{'8', {}}}))
      .Sequence(kHdrTime, Text("20200101T010101"))
      .Sequence(kHdrTime, Text("20210202T020202"))
      .Sequence(kHdrTime, Text("20220303T030303"));
  ASSERT_EQ(kRspOk, client.Run(w).code);
  EXPECT_NE(std::string::npos, Listing().find("modified=\"20210202T020202\" created=\"20200101T010101\" "
                                              "accessed=\"20220303T030303\""));
  PacketWriter some(kOpPut | kFinal);
  some.Sequence(kHdrName, Wide("f.txt"))
      .Sequence(kHdrAppParams, AppParams({{'8', {}}}))
      .Sequence(kHdrTime, Text("00000000T000000"))
      .Sequence(kHdrTime, Text("20230404T040404"))
      .Sequence(kHdrTime, Text("00000000T000000"));
  ASSERT_EQ(kRspOk, client.Run(some).code);
  EXPECT_NE(std::string::npos, Listing().find("modified=\"20230404T040404\" created=\"20200101T010101\" "
                                              "accessed=\"20220303T030303\""))
      << "zero times are left as they were";
}

TEST_F(ObexServerTest, ResumeAndChecksumReadTheLowByteAgainstWhereTheReadStopped) {
  SmallPackets();
  std::string data;
  for (int i = 0; i < 3000; ++i) data += char(i * 7);
  dir.Write("A/big.bin", data);
  // Read two packets, then abort as a paused download does.
  PacketWriter w(kOpGet | kFinal);
  w.Sequence(kHdrName, Wide("big.bin"));
  Response r = client.Run(w);
  ASSERT_EQ(kRspContinue, r.code);
  size_t got = r.Find(kHdrBody)->data.size();
  PacketWriter more(kOpGet | kFinal);
  r = client.Run(more);
  ASSERT_EQ(kRspContinue, r.code);
  got += r.Find(kHdrBody)->data.size();
  ASSERT_GT(got, 256u);
  PacketWriter abort(kOpAbort);
  ASSERT_EQ(kRspOk, client.Run(abort).code);

  PacketWriter sum(kOpGet | kFinal);
  sum.Sequence(kHdrName, Wide("big.bin")).Sequence(kHdrAppParams, AppParams({{'9', {uint8_t(got)}}}));
  std::string none;
  r = client.Get(sum, none);
  ASSERT_EQ(kRspOk, r.code);
  auto ps = r.AppParams();
  ASSERT_EQ(1u, ps.size());
  uint16_t crc = Crc16X25(reinterpret_cast<const uint8_t*>(data.data()), got);
  EXPECT_EQ((Bytes{uint8_t(crc >> 8), uint8_t(crc)}), ps[0].value);

  PacketWriter resume(kOpGet | kFinal);
  resume.Sequence(kHdrName, Wide("big.bin")).Sequence(kHdrAppParams, AppParams({{'7', {uint8_t(got)}}}));
  std::string rest;
  Response first;
  ASSERT_EQ(kRspOk, client.Get(resume, rest, &first).code);
  EXPECT_EQ(data.substr(got), rest);
  EXPECT_EQ(data.size() - got, first.Find(kHdrLength)->value);

  // A file never read before: the byte is the count itself.
  dir.Write("A/other.bin", data);
  PacketWriter fresh(kOpGet | kFinal);
  fresh.Sequence(kHdrName, Wide("other.bin")).Sequence(kHdrAppParams, AppParams({{'7', {100}}}));
  rest.clear();
  ASSERT_EQ(kRspOk, client.Get(fresh, rest).code);
  EXPECT_EQ(data.substr(100), rest);
}

TEST_F(ObexServerTest, DeviceInfoInTheTelecomFolder) {
  client.Enter("telecom");
  std::string info;
  ASSERT_EQ(kRspOk, client.GetFile("devinfo.txt", info).code);
  EXPECT_NE(std::string::npos, info.find("MOD:VKS-SIM\r\n")) << info;
  ASSERT_EQ(kRspOk, client.SetPath(0, "").code);
  info.clear();
  ASSERT_EQ(kRspOk, client.GetFile("telecom/devinfo.txt", info).code) << "the path form of other clients";
  store.WriteDeviceInfo("OTHER 2");
  info.clear();
  ASSERT_EQ(kRspOk, client.GetFile("telecom/devinfo.txt", info).code);
  EXPECT_NE(std::string::npos, info.find("MOD:OTHER 2\r\n"));
}

TEST_F(ObexServerTest, FormatAndStandardFolders) {
  dir.Write("A/x/y.txt", "y");
  dir.Write("telecom/keep.txt", "k");
  PacketWriter std1(kOpPut | kFinal);
  std1.Sequence(kHdrAppParams, AppParams({{'3', {}}}));
  ASSERT_EQ(kRspOk, client.Run(std1).code);
  for (const char* d : {"Audio", "Pictures", "Video", "Documents"}) EXPECT_TRUE(dir.Exists(std::string("A/") + d));
  PacketWriter again(kOpPut | kFinal);
  again.Sequence(kHdrAppParams, AppParams({{'3', {}}}));
  EXPECT_EQ(kRspOk, client.Run(again).code) << "existing standard folders are fine";

  PacketWriter format(kOpPut | kFinal);
  format.Sequence(kHdrName, Wide("")).Sequence(kHdrAppParams, AppParams({{'1', {}}}));
  ASSERT_EQ(kRspOk, client.Run(format).code);
  EXPECT_FALSE(dir.Exists("A/x"));
  EXPECT_FALSE(dir.Exists("A/Audio"));
  EXPECT_TRUE(dir.Exists("telecom/keep.txt"));
  store.SetVolume(0, VolumeConfig{kDefaultCapacity, "", true});
  PacketWriter locked(kOpPut | kFinal);
  locked.Sequence(kHdrAppParams, AppParams({{'1', {}}}));
  EXPECT_EQ(kRspDatabaseLocked, client.Run(locked).code);
  EXPECT_EQ(kRspDatabaseLocked, client.Put("n.txt", "n").code);
}

TEST_F(ObexServerTest, BadRequestsGetAnswersAndAreLogged) {
  struct Case {
    Bytes packet;
    uint8_t code;
    const char* logged;
  } cases[] = {
      {{0x84, 0x00, 0x03}, kRspNotImplemented, "OP-84"},
      {{0x06, 0x00, 0x03}, kRspNotImplemented, "OP-06"},
      {{0x82, 0x00, 0x06, 0x01, 0x00, 0x09}, kRspBadRequest, "BAD PUT-FINAL"},
      {{0x82, 0x00, 0x08, 0x01, 0x00, 0x05, 0x00, 'a', 0x4C}, kRspBadRequest, "BAD"},
      {{0x82, 0x00, 0x08, 0x4C, 0x00, 0x05, '7', 0x00}, kRspBadRequest, "ap7="},
      {{0x83, 0x00, 0x08, 0x4C, 0x00, 0x05, '2', 0x05}, kRspBadRequest, "ap-bad="},
      {{0x83, 0x00, 0x03}, kRspBadRequest, "GET-FINAL -> C0"},
      {{0x82, 0x00, 0x06, 0x01, 0x00, 0x03}, kRspBadRequest, "PUT-FINAL name= -> C0"},
  };
  for (Case& c : cases) {
    c.packet[2] = uint8_t(c.packet.size());
    Bytes rsp = server.Handle(c.packet.data(), c.packet.size());
    ASSERT_EQ(3u, rsp.size());
    EXPECT_EQ(c.code, rsp[0]) << HexText(c.packet.data(), c.packet.size());
    EXPECT_NE(std::string::npos, LastLog().find(c.logged)) << LastLog();
  }
  SmallPackets(300);
  PacketWriter big(kOpPut | kFinal);
  big.Sequence(kHdrName, Wide("x")).Sequence(kHdrEndOfBody, Bytes(400, 'x'));
  EXPECT_EQ(kRspBadRequest, client.Run(big).code) << "longer than the module announced";
}

TEST_F(ObexServerTest, LogShowsHeadersAndAppParams) {
  server.ClearLog();
  ASSERT_EQ(kRspOk, client.Put("a b.txt", "12", "20240102T030405").code);
  PacketWriter w(kOpPut | kFinal);
  w.Sequence(kHdrAppParams, AppParams({{'4', Text("copy")}, {'5', Wide("/a b.txt")}, {'6', Wide("/c.txt")}}));
  ASSERT_EQ(kRspOk, client.Run(w).code);
  auto log = server.LogEntries(1);
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("1 PUT-FINAL name=a%20b.txt length=2 time=20240102T030405 eob=2 -> A0", log[0]);
  EXPECT_EQ("2 PUT-FINAL ap4=copy ap5=/a%20b.txt ap6=/c.txt -> A0", log[1]);
}

}  // namespace
}  // namespace sim::obex
