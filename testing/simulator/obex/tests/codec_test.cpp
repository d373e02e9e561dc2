// testing/simulator/obex/tests/codec_test.cpp - packet, header and text encodings.
#include <gtest/gtest.h>

#include "Listing.h"
#include "ObexCodec.h"

namespace sim::obex {
namespace {

TEST(ObexCodec, ParsesEveryHeaderClass) {
  // PUT with Name "ab", Body 01 02, a one-byte header 0x97 and Length 0x00010203.
  Bytes pkt = {0x02, 0x00, 0x17, 0x01, 0x00, 0x07, 0x00, 'a', 0x00, 'b', 0x48, 0x00, 0x05, 0x01, 0x02,
               0x97, 0x42, 0xC3, 0x00, 0x01, 0x02, 0x03};
  pkt[2] = uint8_t(pkt.size());
  Request req;
  ASSERT_EQ("", ParseRequest(pkt.data(), pkt.size(), req));
  ASSERT_EQ(4u, req.headers.size());
  EXPECT_EQ(*Utf16BeToUtf8(req.headers[0].data.data(), req.headers[0].data.size()), "ab");
  EXPECT_EQ((Bytes{1, 2}), req.Find(kHdrBody)->data);
  EXPECT_EQ(0x42u, req.headers[2].value);
  EXPECT_EQ(0x00010203u, req.Find(kHdrLength)->value);
}

TEST(ObexCodec, ConnectAndSetPathFieldsComeBeforeTheHeaders) {
  Bytes connect = {0x80, 0x00, 0x07, 0x10, 0x00, 0x40, 0x06};
  Request req;
  ASSERT_EQ("", ParseRequest(connect.data(), connect.size(), req));
  EXPECT_EQ(16390, req.maxPacket);
  EXPECT_EQ(0x10, req.version);
  Bytes setpath = {0x85, 0x00, 0x08, 0x03, 0x00, 0x01, 0x00, 0x03};
  ASSERT_EQ("", ParseRequest(setpath.data(), setpath.size(), req));
  EXPECT_EQ(3, req.setpathFlags);
  ASSERT_EQ(1u, req.headers.size());
  EXPECT_TRUE(req.headers[0].data.empty());  // an empty Name: to the root
}

TEST(ObexCodec, MalformedPacketsAreReportedNotRead) {
  const std::vector<Bytes> bad = {
      {0x82, 0x00},                                // shorter than 3
      {0x82, 0x00, 0x09, 0x01, 0x00, 0x05, 0x00},  // length field too large
      {0x82, 0x00, 0x06, 0x01, 0x00, 0x02},        // header length below 3
      {0x82, 0x00, 0x06, 0x01, 0x00, 0x09},        // header past the end
      {0x82, 0x00, 0x05, 0x01, 0x00},              // header length cut off
      {0x82, 0x00, 0x04, 0x97},                    // one-byte header without its byte
      {0x82, 0x00, 0x06, 0xC3, 0x00, 0x01},        // four-byte header cut off
      {0x80, 0x00, 0x05, 0x10, 0x00},              // CONNECT without its fields
      {0x85, 0x00, 0x04, 0x02},                    // SETPATH without constants
  };
  for (const Bytes& pkt : bad) {
    Request req;
    EXPECT_NE("", ParseRequest(pkt.data(), pkt.size(), req)) << HexText(pkt.data(), pkt.size());
  }
}

TEST(ObexCodec, WriterFillsTheLengthField) {
  PacketWriter w(kRspOk);
  w.Sequence(kHdrName, Bytes{0, 'x'}).U32(kHdrLength, 7);
  Bytes p = w.Finish();
  EXPECT_EQ((Bytes{0xA0, 0x00, 0x0D, 0x01, 0x00, 0x05, 0x00, 'x', 0xC3, 0, 0, 0, 7}), p);
}

TEST(ObexCodec, Utf16BigEndianRoundTrip) {
  struct Case {
    std::string utf8;
    Bytes wide;
  } cases[] = {
      {"a", {0x00, 'a'}},
      {"\xC3\xBC\xC3\x9F", {0x00, 0xFC, 0x00, 0xDF}},       // u-umlaut, sharp s
      {"\xE2\x82\xAC", {0x20, 0xAC}},                       // euro sign
      {"\xF0\x9F\x98\x80", {0xD8, 0x3D, 0xDE, 0x00}},       // beyond the BMP: a surrogate pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.wide, Utf8ToUtf16Be(c.utf8, false)) << c.utf8;
    EXPECT_EQ(c.utf8, *Utf16BeToUtf8(c.wide.data(), c.wide.size()));
    Bytes withNul = Utf8ToUtf16Be(c.utf8, true);
    EXPECT_EQ(c.utf8, *Utf16BeToUtf8(withNul.data(), withNul.size())) << "one NUL unit is dropped";
  }
  Bytes odd = {0x00, 'a', 0x00};
  EXPECT_FALSE(Utf16BeToUtf8(odd.data(), odd.size()));
  Bytes lone = {0xD8, 0x00};
  EXPECT_EQ("\xEF\xBF\xBD", *Utf16BeToUtf8(lone.data(), lone.size()));
}

TEST(ObexCodec, HostNamesThatAreNotUtf8ReadAsLatin1) {
  EXPECT_EQ(U"a\u00E9b", DecodeUtf8Lenient("a\xE9" "b"));
  EXPECT_EQ(U"\u00C0\u0080", DecodeUtf8Lenient("\xC0\x80"));  // overlong NUL: two stray bytes
  EXPECT_EQ(U"\u00FC", DecodeUtf8Lenient("\xC3\xBC"));
}

TEST(ObexCodec, TimeTextIsLocalUnlessMarkedUtc) {
  auto t = ParseTimeText("20240102T030405");
  ASSERT_TRUE(t);
  EXPECT_EQ("20240102T030405", FormatTimeText(*t));
  auto utc = ParseTimeText("20240102T030405Z");
  ASSERT_TRUE(utc);
  EXPECT_EQ(1704164645, *utc);
  for (const char* bad : {"", "2024010T030405", "20240102X030405", "20241302T030405", "00000000T000000",
                          "20240102T030405+"})
    EXPECT_FALSE(ParseTimeText(bad)) << bad;
}

TEST(ObexCodec, AppParamTriples) {
  std::vector<AppParam> ps;
  ASSERT_EQ("", ParseAppParams(Bytes{'2', 1, 3, '1', 0, '9', 2, 0xAB, 0xCD}, ps));
  ASSERT_EQ(3u, ps.size());
  EXPECT_EQ('2', ps[0].tag);
  EXPECT_EQ(Bytes{3}, ps[0].value);
  EXPECT_TRUE(ps[1].value.empty());
  EXPECT_EQ((Bytes{0xAB, 0xCD}), ps[2].value);
  ps.clear();
  EXPECT_NE("", ParseAppParams(Bytes{'2'}, ps));
  EXPECT_NE("", ParseAppParams(Bytes{'2', 3, 1}, ps));
}

TEST(ObexCodec, Crc16X25) {
  const std::string check = "123456789";
  EXPECT_EQ(0x906E, Crc16X25(reinterpret_cast<const uint8_t*>(check.data()), check.size()));
  EXPECT_EQ(0x9E25, Crc16X25(reinterpret_cast<const uint8_t*>("abc"), 3));
  EXPECT_EQ(0x0000, Crc16X25(nullptr, 0));
}

TEST(FolderListing, NamesAreEscapedAndAttributesKeepTheirOrder) {
  Entry file;
  file.name = "a&b<c>\"d\".txt";
  file.size = 12;
  file.modified = *ParseTimeText("20240102T030405");
  file.created = *ParseTimeText("20230101T000000");
  file.accessed = file.modified;
  file.user = "RD";
  file.group = "R";
  Entry folder;
  folder.name = "Pictures";
  folder.folder = true;
  folder.modified = folder.created = folder.accessed = file.modified;
  std::string x = BuildFolderListing({folder, file}, true, true);
  EXPECT_NE(std::string::npos,
            x.find("<folder name=\"Pictures\" modified=\"20240102T030405\" created=\"20240102T030405\" "
                   "accessed=\"20240102T030405\" user-perm=\"RWD\"/>"))
      << x;
  EXPECT_NE(std::string::npos,
            x.find("<file name=\"a&amp;b&lt;c&gt;&quot;d&quot;.txt\" size=\"12\" modified=\"20240102T030405\" "
                   "created=\"20230101T000000\" accessed=\"20240102T030405\" user-perm=\"RD\" group-perm=\"R\"/>"))
      << x;
  // Three '>' before the first entry: declaration, document type, opening tag.
  size_t third = x.find('>', x.find('>', x.find('>') + 1) + 1);
  EXPECT_EQ("<parent-folder/>", x.substr(third + 2, 16));
  EXPECT_EQ("</folder-listing>\n", x.substr(x.size() - 18));
  EXPECT_NE(std::string::npos, BuildFolderListing({file}, false, false).find("name=\"a&b<c>\"d\".txt\""));
}

TEST(FolderListing, EmptyFolder) {
  std::string x = BuildFolderListing({}, false, true);
  EXPECT_EQ(std::string::npos, x.find("parent-folder"));
  EXPECT_NE(std::string::npos, x.find("<folder-listing version=\"1.0\">\n</folder-listing>"));
}

// The broken shapes the reader's tests ask for, and nothing else changed.
TEST(FolderListing, BrokenShapes) {
  Entry file;
  file.name = "a.txt";
  file.size = 3;
  const std::string whole = BuildFolderListing({file}, false, true);
  const std::string empty = BuildFolderListing({}, false, true);
  auto broken = [](std::string x, ListingShape shape) {
    BreakListing(x, shape);
    return x;
  };
  EXPECT_EQ(whole, broken(whole, ListingShape::Whole));
  const std::string cut = broken(whole, ListingShape::Cut);
  EXPECT_EQ(whole.substr(0, whole.find("<file") + 10), cut);
  EXPECT_EQ(empty.substr(0, empty.find("</folder-listing>") + 8), broken(empty, ListingShape::Cut));
  const std::string quote = broken(whole, ListingShape::Quote);
  EXPECT_NE(std::string::npos, quote.find("name=\"a.txt size=")) << quote;
  EXPECT_EQ(whole.size() - 1, quote.size());
  EXPECT_EQ(whole.substr(0, whole.find("</folder-listing>")), broken(whole, ListingShape::Open));
  const std::string nul = broken(whole, ListingShape::Nul);
  const size_t at = whole.find("version=\"1.0\">") + 14;
  EXPECT_EQ(whole.substr(0, at) + std::string(1, '\0') + whole.substr(at), nul);
  ListingShape shape = ListingShape::Whole;
  EXPECT_TRUE(ParseListingShape("nul", shape));
  EXPECT_EQ(ListingShape::Nul, shape);
  EXPECT_FALSE(ParseListingShape("half", shape));
}

}  // namespace
}  // namespace sim::obex
