// link/tests/obexpacket_test.cpp - the OBEX packet layer against a scripted transport:
// CONNECT, header writing and splitting, SETPATH walks, PUT and GET exchanges, cancel.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "OBEXHelpers.h"
#include "ResultCodes.h"
#include "ScriptedTransport.h"
#include "SuiteUtil.h"

using namespace obexwire;

namespace {

struct Layer {
  ScriptedTransport transport;
  IOBEXPhysical* obex = nullptr;

  explicit Layer(WORD maxPacket = 1024, WORD volumes = 1) {
    EXPECT_EQ(S_OK, CreateObexPacketLayer(&obex));
    EXPECT_EQ(S_OK, obex->AttachTransport(&transport));
    transport.volumeCount = volumes;
    transport.Queue(ConnectResponse(maxPacket));
    int handle = 0;
    EXPECT_EQ(S_OK, obex->Connect(&handle, 0));
    transport.Clear();
  }
  ~Layer() { delete obex; }
};

// Walks the headers of a packet; false when one passes the packet's end.
bool SplitHeaders(const Bytes& packet, size_t offset, std::vector<Bytes>* headers) {
  size_t p = offset;
  while (p < packet.size()) {
    const BYTE kind = packet[p] >> 6;
    size_t size = kind == 2 ? 2 : kind == 3 ? 5 : 0;
    if (kind <= 1) {
      if (packet.size() - p < 3) return false;
      size = (packet[p + 1] << 8) | packet[p + 2];
      if (size < 3) return false;
    }
    if (size > packet.size() - p) return false;
    headers->push_back(Bytes(packet.begin() + p, packet.begin() + p + size));
    p += size;
  }
  return true;
}

// A memory stream over count bytes 0, 1, 2, ...; shortBy makes it end early.
IStream* CountingStream(size_t count, size_t shortBy = 0) {
  Bytes data(count - shortBy);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i);
  return MemoryStream(data);
}

}  // namespace

TEST(ObexConnectTest, SendsTheFileTargetAndAdoptsTheModulesPacketSize) {
  ScriptedTransport transport;
  IOBEXPhysical* obex = nullptr;
  ASSERT_EQ(S_OK, CreateObexPacketLayer(&obex));
  ASSERT_EQ(S_OK, obex->AttachTransport(&transport));
  EXPECT_EQ(255 - 3, obex->GetPacketSpace());
  transport.Queue(ConnectResponse(16390));
  int handle = 0;
  ASSERT_EQ(S_OK, obex->Connect(&handle, 0));
  EXPECT_EQ(1, handle);
  ASSERT_EQ(1u, transport.requests.size());
  EXPECT_EQ(Packet(0x80, Cat({{0x10, 0x00, 0x40, 0x06}, Header(0x46, kFileTarget)})),
            transport.requests[0].bytes);
  EXPECT_EQ(20000u, transport.requests[0].timeoutMs);
  EXPECT_EQ(16390 - 3, obex->GetPacketSpace());

  // A response of the full negotiated size fits the grown buffer.
  transport.Queue(Ok(Header(0x48, Bytes(16390 - 6, 0x55))));
  EXPECT_EQ(S_OBEX_OK, obex->Transact(kObexGetFinal, 1000));
  delete obex;
}

TEST(ObexConnectTest, RefusesBadAnswers) {
  const struct {
    const char* what;
    Bytes response;
    size_t requests;  // CONNECT, and DISCONNECT where the link was made
  } cases[] = {
      {"small packet size", ConnectResponse(200), 2},
      {"too short for the packet size", Packet(0xA0, {0x10, 0x00, 0x40}), 1},
      {"no Who", Ok({0x10, 0x00, 0x40, 0x06}), 1},
      {"wrong Who", ConnectResponse(1024, Ascii("SOMETHING-ELSE")), 1},
      {"Who of 3 bytes", ConnectResponse(1024, {0x6B, 0x01, 0xCB}), 1},
      {"Who header past the packet", Ok({0x10, 0x00, 0x40, 0x06, 0x4A, 0x00, 0x40, 0x6B}), 1},
      {"module refuses", Packet(0xC3, {}), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedTransport transport;
    IOBEXPhysical* obex = nullptr;
    ASSERT_EQ(S_OK, CreateObexPacketLayer(&obex));
    ASSERT_EQ(S_OK, obex->AttachTransport(&transport));
    transport.Queue(c.response);
    int handle = 0;
    EXPECT_EQ(E_CONNECTION_LOST, obex->Connect(&handle, 0));
    ASSERT_EQ(c.requests, transport.requests.size());
    if (c.requests == 2) { EXPECT_EQ(Packet(0x81, {}), transport.requests[1].bytes); }
    EXPECT_EQ(255 - 3, obex->GetPacketSpace());
    delete obex;
  }
}

TEST(ObexConnectTest, SyncTargetGivesHandleTwo) {
  ScriptedTransport transport;
  IOBEXPhysical* obex = nullptr;
  ASSERT_EQ(S_OK, CreateObexPacketLayer(&obex));
  ASSERT_EQ(S_OK, obex->AttachTransport(&transport));
  transport.Queue(ConnectResponse(1024, Ascii("IRMC-SYNC")));
  int handle = 0;
  ASSERT_EQ(S_OK, obex->Connect(&handle, 1));
  EXPECT_EQ(2, handle);
  EXPECT_EQ(Packet(0x80, Cat({{0x10, 0x00, 0x40, 0x06}, Header(0x46, Ascii("IRMC-SYNC"))})),
            transport.requests[0].bytes);
  delete obex;
}

TEST(ObexTransactTest, MapsResponseCodes) {
  const struct {
    BYTE code;
    HRESULT result;
  } table[] = {
      {0x90, 0x01048090}, {0xA0, 0x010480A0}, {0xA2, S_FALSE},    {0xB1, STG_E_FILENOTFOUND},
      {0xC4, STG_E_FILENOTFOUND}, {0xB2, static_cast<HRESULT>(0x80070022)},
      {0xC0, static_cast<HRESULT>(0x80043004)}, {0xC6, static_cast<HRESULT>(0x80043004)},
      {0xC1, static_cast<HRESULT>(0x8004300B)}, {0xC3, E_ACCESSDENIED},
      {0xC9, static_cast<HRESULT>(0x800700B7)}, {0xCA, static_cast<HRESULT>(0x8007000F)},
      {0xD3, static_cast<HRESULT>(0x80043008)}, {0xE0, STG_E_MEDIUMFULL},
      {0xE1, static_cast<HRESULT>(0x8004300D)}, {0xC5, E_FAIL},   {0x00, E_FAIL},
  };
  Layer link;
  for (const auto& row : table) {
    EXPECT_EQ(row.result, ObexResponseToHResult(row.code)) << std::hex << int(row.code);
    link.transport.Queue(Packet(row.code, {}));
    EXPECT_EQ(row.result, link.obex->Transact(kObexGetFinal, 100)) << std::hex << int(row.code);
  }
}

TEST(ObexTransactTest, ResponseWhoseLengthLiesIsALostConnection) {
  Layer link;
  Bytes lying = Ok(Name(L"abc"));
  lying[2] += 4;  // announces more than arrived
  link.transport.Queue(lying);
  EXPECT_EQ(E_CONNECTION_LOST, link.obex->Transact(kObexGetFinal, 100));
  DWORD value = 0;
  EXPECT_EQ(E_FAIL, link.obex->GetHeaderValue(kHdrName, nullptr, &value));

  link.transport.QueueFailure(E_CONNECTION_LOST);
  EXPECT_EQ(E_CONNECTION_LOST, link.obex->Transact(kObexGetFinal, 100));
  // Every request starts empty again.
  EXPECT_EQ(1024 - 3, link.obex->GetPacketSpace());
}

TEST(ObexTransactTest, OpcodeFourGoesOutAsPutFinal) {
  Layer link;
  link.obex->Transact(4, 100);
  EXPECT_EQ(Packet(0x82, {}), link.transport.requests[0].bytes);
}

TEST(ObexHeaderTest, GetHeaderValueReadsEachClassAndStaysInsideThePacket) {
  Layer link;
  link.transport.Queue(
      Ok(Cat({U32Header(0xCB, 7), Name(L"ab"), {0x97, 0x05}, U32Header(0xC3, 0x01020304)})));
  link.obex->Transact(kObexGetFinal, 100);
  DWORD value = 0;
  BYTE* position = nullptr;
  ASSERT_EQ(S_OK, link.obex->GetHeaderValue(kHdrName, &position, &value));
  EXPECT_EQ(4u, value);
  EXPECT_EQ(0, memcmp(position, "\0a\0b", 4));
  ASSERT_EQ(S_OK, link.obex->GetHeaderValue(0x97, nullptr, &value));
  EXPECT_EQ(5u, value);
  ASSERT_EQ(S_OK, link.obex->GetHeaderValue(kHdrLength, nullptr, &value));
  EXPECT_EQ(0x01020304u, value);
  EXPECT_EQ(E_FAIL, link.obex->GetHeaderValue(kHdrBody, nullptr, &value));
  // A start position before the buffer, or an unknown id from a position, is refused.
  BYTE* before = position - 4096;
  EXPECT_EQ(E_INVALIDARG, link.obex->GetHeaderValue(kHdrName, &before, &value));
  BYTE* inside = position;
  EXPECT_EQ(E_INVALIDARG, link.obex->GetHeaderValue(0x97, &inside, &value));

  const Bytes malformed[] = {
      Ok({0x01, 0x00, 0x02}),              // length below its own header
      Ok({0x01, 0x00, 0x09, 0x00, 0x61}),  // length past the packet
      Ok({0xC3, 0x00, 0x00}),              // four-byte value cut off
      Ok({0x01}),                          // header cut in its length
  };
  for (const Bytes& response : malformed) {
    link.transport.Queue(Cat({response}));
    link.obex->Transact(kObexGetFinal, 100);
    EXPECT_EQ(E_FAIL, link.obex->GetHeaderValue(kHdrLength, nullptr, &value));
  }
}

TEST(ObexHeaderTest, NameHeaderTooLongForThePacketIsSplitIntoWholeHeaders) {
  Layer link(255);
  const std::wstring name(300, L'n');  // 600 bytes of UTF-16: three packets
  ASSERT_EQ(S_OK, link.obex->AddTypeHeader("x-type", kObexPut));
  ASSERT_EQ(S_OK, link.obex->AddNameHeader(name.c_str(), kObexPutFinal));
  link.obex->Transact(kObexPutFinal, 100);
  ASSERT_EQ(3u, link.transport.requests.size());
  std::wstring joined;
  for (size_t i = 0; i < 3; ++i) {
    const Bytes& packet = link.transport.requests[i].bytes;
    SCOPED_TRACE(i);
    EXPECT_EQ(i < 2 ? 0x02 : 0x82, packet[0]);  // only the last packet is final
    EXPECT_LE(packet.size(), 255u);
    std::vector<Bytes> headers;
    ASSERT_TRUE(SplitHeaders(packet, 3, &headers));
    for (const Bytes& h : headers) {
      if (h[0] != kHdrName) continue;
      ASSERT_EQ(0u, (h.size() - 3) % 2);  // whole UTF-16 units
      ASSERT_GT(h.size(), 3u);            // no empty Name piece
      for (size_t j = 3; j + 1 < h.size(); j += 2) joined += static_cast<wchar_t>((h[j] << 8) | h[j + 1]);
    }
  }
  EXPECT_EQ(name, joined);
}

TEST(ObexHeaderTest, HeaderThatWouldNotFitStartsInTheNextPacket) {
  Layer link(255);
  // Leaves 4 bytes: room for a header but not for a header and one UTF-16 unit.
  ASSERT_EQ(S_OK, link.obex->AddTypeHeader(std::string(245, 't').c_str(), kObexPut));
  ASSERT_EQ(4, link.obex->GetPacketSpace());
  ASSERT_EQ(S_OK, link.obex->AddNameHeader(L"ab", kObexPut));
  ASSERT_EQ(1u, link.transport.requests.size());
  EXPECT_EQ(Packet(0x02, Header(0x42, Ascii(std::string(245, 't')))), link.transport.requests[0].bytes);
  link.obex->Transact(kObexPutFinal, 100);
  EXPECT_EQ(Packet(0x82, Name(L"ab")), link.transport.requests[1].bytes);
}

TEST(ObexHeaderTest, SetPathNameThatDoesNotFitFailsInsteadOfSplitting) {
  Layer link(255);
  link.transport.volumeCount = 1;
  // A valid path whose 124-character component makes a 256-byte SETPATH.
  const std::wstring path = L"\\" + std::wstring(124, L'x');
  EXPECT_EQ(E_OBEX_PATH_TOO_LONG, link.obex->NavigateToPath(path.c_str(), 0x05, true));
  EXPECT_TRUE(link.transport.requests.empty());
}

TEST(ObexHeaderTest, AppParamsSplitOnlyBetweenTriples) {
  Layer link(255);
  const std::wstring first(100, L'a');
  const std::wstring second(100, L'b');
  ASSERT_EQ(S_OK, link.obex->AddAppParamTriple({"copy", first.c_str(), second.c_str()}, kObexPut));
  link.obex->Transact(kObexPutFinal, 100);
  ASSERT_EQ(2u, link.transport.requests.size());
  EXPECT_EQ(Packet(0x02, AppParams({Triple('4', Ascii("copy")), Triple('5', Utf16BE(first))})),
            link.transport.requests[0].bytes);
  EXPECT_EQ(Packet(0x82, AppParams({Triple('6', Utf16BE(second))})),
            link.transport.requests[1].bytes);
}

TEST(ObexHeaderTest, AppParamNoPacketCanCarryFailsTheRequest) {
  Layer link(255);
  // 125 UTF-16 units are 250 bytes: a triple of 252 bytes does not fit 255-byte packets.
  const std::wstring longText(125, L'a');
  EXPECT_EQ(E_OBEX_PATH_TOO_LONG,
            link.obex->AddAppParamTriple({"copy", L"x", longText.c_str()}, kObexPut));
  // With the terminating NUL a 128-character text has no one-byte length.
  Layer big(4096);
  EXPECT_EQ(E_OBEX_PATH_TOO_LONG,
            big.obex->AddAppParamWide('5', std::wstring(128, L'a').c_str(), kObexPut));
  EXPECT_EQ(S_OK, big.obex->AddAppParamWide('5', std::wstring(126, L'a').c_str(), kObexPut));
  EXPECT_TRUE(link.transport.requests.empty());
  EXPECT_TRUE(big.transport.requests.empty());
}

TEST(ObexHeaderTest, WritersEncodeAsTheModuleExpects) {
  Layer link;
  ASSERT_EQ(S_OK, link.obex->AddTimeHeader(LocalDate(2024, 1, 2, 3, 4, 5), kObexPut));
  ASSERT_EQ(S_OK, link.obex->AddTimeHeader(0, kObexPut));
  ASSERT_EQ(S_OK, link.obex->AddUInt32Header(kHdrLength, 600));
  ASSERT_EQ(S_OK, link.obex->AddAppParamByte('2', 3, kObexPut));
  ASSERT_EQ(S_OK, link.obex->AddAppParamNarrow('8', nullptr, kObexPut));
  ASSERT_EQ(S_OK, link.obex->AddAppParamWide('5', L"ab", kObexPut));
  ASSERT_EQ(S_OK, link.obex->AddNameHeader(L"", kObexPut));
  link.obex->Transact(kObexPutFinal, 100);
  EXPECT_EQ(Packet(0x82, Cat({Header(0x44, Ascii("20240102T030405")),
                              Header(0x44, Ascii("00000000T000000")), U32Header(0xC3, 600),
                              AppParams({Triple('2', {3})}), AppParams({Triple('8', {})}),
                              AppParams({Triple('5', {0, 'a', 0, 'b', 0, 0})}), Name(L"")})),
            link.transport.requests[0].bytes);
}

// SETPATH walks: each row starts at a folder reached through `from` and
// checks the requests that reach `to`, then the Name the caller's request gets.
TEST(ObexNavigateTest, TakesTheShortestWay) {
  const Bytes none;
  const struct {
    const char* what;
    WORD volumes;
    const wchar_t* from;
    const wchar_t* to;
    bool enterLast;
    std::vector<Bytes> setpaths;
    Bytes nameHeader;  // in the request that follows; empty: none
  } cases[] = {
      {"back up two, one merged into the step down", 1, L"\\a\\b\\c\\x", L"\\a\\x\\f", false,
       {SetPath(3), SetPath(3, Name(L"x"))}, Name(L"f")},
      {"same folder", 1, L"\\a\\x", L"\\a\\f", false, {}, Name(L"f")},
      {"listing pattern names nothing", 1, L"\\x", L"\\a\\*", false,
       {SetPath(2, Name(L"a"))}, none},
      {"nothing in common goes by the root", 1, L"\\a\\b\\x", L"\\c\\d\\f", false,
       {SetPath(0, Name(L"")), SetPath(2, Name(L"c")), SetPath(2, Name(L"d"))}, Name(L"f")},
      {"from \\a\\b\\ to a sibling folder", 1, L"\\a\\b\\x", L"\\a\\c\\f", false,
       {SetPath(3, Name(L"c"))}, Name(L"f")},
      {"from \\a\\b\\ to another tree", 1, L"\\a\\b\\x", L"\\x\\f", false,
       {SetPath(0, Name(L"")), SetPath(2, Name(L"x"))}, Name(L"f")},
      {"three up is still shorter than the root", 1, L"\\a\\b\\c\\d\\x", L"\\a\\f", false,
       {SetPath(3), SetPath(3), SetPath(3)}, Name(L"f")},
      {"far below: the root is shorter", 1, L"\\a\\b\\c\\d\\e\\x", L"\\a\\f", false,
       {SetPath(0, Name(L"")), SetPath(2, Name(L"a"))}, Name(L"f")},
      {"up only: the backing-up is sent alone", 1, L"\\a\\b\\c\\x", L"\\a\\b", false,
       {SetPath(3), SetPath(3)}, Name(L"b")},
      {"down from the root", 1, L"\\x", L"\\a\\b\\c", false,
       {SetPath(2, Name(L"a")), SetPath(2, Name(L"b"))}, Name(L"c")},
      {"create enters the last one with creation allowed", 1, L"\\x", L"\\a\\b", true,
       {SetPath(2, Name(L"a")), SetPath(0, Name(L"b"))}, none},
      {"create one level up merges into the create", 1, L"\\a\\b\\x", L"\\a\\c", true,
       {SetPath(1, Name(L"c"))}, none},
      {"double and trailing backslashes name nothing", 1, L"\\x", L"\\a\\\\b\\", false,
       {SetPath(2, Name(L"a"))}, Name(L"b")},
      {"first use of a drive", 2, nullptr, L"A:\\x\\y", false,
       {SetPath(0, Name(L"A:")), SetPath(0, Name(L"")), SetPath(2, Name(L"x"))}, Name(L"y")},
      {"other drive", 2, L"A:\\x\\y", L"B:\\x\\y", false,
       {SetPath(0, Name(L"B:")), SetPath(0, Name(L"")), SetPath(2, Name(L"x"))}, Name(L"y")},
      {"same drive, own folder", 2, L"A:\\x\\y", L"A:\\x\\z", false, {}, Name(L"z")},
      {"volume itself from a folder", 2, L"A:\\x\\y", L"A:", false, {SetPath(0, Name(L""))},
       Name(L"")},
      {"one volume ignores drive letters", 1, L"\\x", L"A:\\y", false, {SetPath(2, Name(L"A:"))},
       Name(L"y")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Layer link(1024, c.volumes);
    if (c.from) { ASSERT_EQ(S_OK, link.obex->NavigateToPath(c.from, kObexGet, false)); }
    link.transport.Clear();
    ASSERT_TRUE(SUCCEEDED(link.obex->NavigateToPath(c.to, kObexGet, c.enterLast)));
    link.obex->Transact(kObexGetFinal, 100);
    std::vector<Bytes> expected = c.setpaths;
    expected.push_back(Packet(0x83, c.nameHeader));
    EXPECT_EQ(expected, link.transport.Sent());
    for (const auto& request : link.transport.requests) {
      if (request.bytes[0] == 0x85) { EXPECT_EQ(40000u, request.timeoutMs); }
    }
  }
}

TEST(ObexNavigateTest, FolderStateFollowsTheWalk) {
  Layer link;
  ASSERT_EQ(S_OK, link.obex->NavigateToPath(L"\\a\\b\\c\\x", kObexGet, false));
  ASSERT_EQ(S_OK, link.obex->NavigateToPath(L"\\a\\x\\f", kObexGet, false));
  link.transport.Clear();
  // Now in \a\x\: a file there needs no SETPATH, its parent one backing-up.
  ASSERT_EQ(S_OK, link.obex->NavigateToPath(L"\\a\\x\\g", kObexGet, false));
  ASSERT_EQ(S_OK, link.obex->NavigateToPath(L"\\a\\g", kObexGet, false));
  link.obex->BeginPacket();
  EXPECT_EQ(std::vector<Bytes>{SetPath(3)}, link.transport.Sent());

  // A failed step leaves the state where the module stayed.
  link.transport.Clear();
  link.transport.Queue(Packet(0xC4, {}));
  EXPECT_EQ(STG_E_FILENOTFOUND, link.obex->NavigateToPath(L"\\a\\n\\f", kObexGet, false));
  link.transport.Clear();
  ASSERT_EQ(S_OK, link.obex->NavigateToPath(L"\\a\\f", kObexGet, false));
  EXPECT_TRUE(link.transport.requests.empty());

  // Disconnect forgets the folder: the next walk starts at the root.
  link.obex->Disconnect(1);
  link.transport.Clear();
  link.transport.Queue(ConnectResponse(1024));
  int handle = 0;
  ASSERT_EQ(S_OK, link.obex->Connect(&handle, 0));
  ASSERT_EQ(S_OK, link.obex->NavigateToPath(L"\\a\\f", kObexGet, false));
  EXPECT_EQ(SetPath(2, Name(L"a")), link.transport.requests.back().bytes);
}

TEST(ObexNavigateTest, RefusesPathsThatCannotBeSent) {
  Layer link;
  const std::wstring longPath = L"\\" + std::wstring(125, L'a');
  EXPECT_EQ(E_OBEX_PATH_TOO_LONG, link.obex->NavigateToPath(longPath.c_str(), kObexGet, false));
  EXPECT_EQ(E_OBEX_PATH_TOO_LONG, link.obex->NavigateToPath(L"\\a/b", kObexGet, false));
  EXPECT_EQ(E_OBEX_PATH_TOO_LONG, link.obex->NavigateToPath(nullptr, kObexGet, false));
  EXPECT_TRUE(link.transport.requests.empty());
  link.transport.volumeResult = E_NOTIMPL;
  EXPECT_EQ(E_NOTIMPL, link.obex->NavigateToPath(L"\\a", kObexGet, false));
}

TEST(ObexSendTest, PutOf600BytesOverSmallPackets) {
  Layer link(255);
  link.transport.responder = [](const Bytes& request) {
    return request[0] == 0x02 ? Continue() : Ok();
  };
  ASSERT_EQ(S_OK, link.obex->AddNameHeader(L"f", kObexPut));
  const int space = link.obex->GetPacketSpace();
  IStream* stream = CountingStream(600);
  EXPECT_EQ(S_OBEX_OK, link.obex->SendFromStream({600, stream}, 5000));
  stream->Release();
  const auto sent = link.transport.Sent();
  ASSERT_EQ(3u, sent.size());
  const size_t first = static_cast<size_t>(space - 3);
  Bytes data(600);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i);
  EXPECT_EQ(Packet(0x02, Cat({Name(L"f"), Header(0x48, Bytes(data.begin(), data.begin() + first))})),
            sent[0]);
  EXPECT_EQ(Packet(0x02, Header(0x48, Bytes(data.begin() + first, data.begin() + first + 249))),
            sent[1]);
  EXPECT_EQ(Packet(0x82, Header(0x49, Bytes(data.begin() + first + 249, data.end()))), sent[2]);
  EXPECT_EQ(5000u, link.transport.requests[2].timeoutMs);
}

TEST(ObexSendTest, FirstBodyOfLargePacketsIsWholeBlocks) {
  Layer link(2048);
  link.transport.responder = [](const Bytes& request) {
    return request[0] == 0x02 ? Continue() : Ok();
  };
  ASSERT_EQ(S_OK, link.obex->AddNameHeader(L"f", kObexPut));
  IStream* stream = CountingStream(5000);
  EXPECT_EQ(S_OBEX_OK, link.obex->SendFromStream({5000, stream}, 5000));
  stream->Release();
  const auto sent = link.transport.Sent();
  ASSERT_EQ(3u, sent.size());
  // 2048 - 8 - 3 = 2037 rounded down to 1536; then 2042 per packet; 1422 at the end.
  EXPECT_EQ(3u + 5 + 3 + 1536, sent[0].size());
  EXPECT_EQ(3u + 3 + 2042, sent[1].size());
  EXPECT_EQ(3u + 3 + 1422, sent[2].size());
  EXPECT_EQ(0x82, sent[2][0]);
}

TEST(ObexSendTest, HeadersThatFillThePacketGoAheadAlone) {
  Layer link(255);
  link.transport.responder = [](const Bytes& request) {
    return request[0] == 0x02 ? Continue() : Ok();
  };
  ASSERT_EQ(S_OK, link.obex->AddTypeHeader(std::string(247, 't').c_str(), kObexPut));
  ASSERT_EQ(2, link.obex->GetPacketSpace());
  IStream* stream = CountingStream(10);
  EXPECT_EQ(S_OBEX_OK, link.obex->SendFromStream({10, stream}, 5000));
  stream->Release();
  const auto sent = link.transport.Sent();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(Packet(0x02, Header(0x42, Ascii(std::string(247, 't')))), sent[0]);
  EXPECT_EQ(Packet(0x82, Header(0x49, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9})), sent[1]);
}

TEST(ObexSendTest, StreamShorterThanAnnouncedFailsAndAborts) {
  Layer link(255);
  link.transport.responder = [](const Bytes& request) {
    return request[0] == 0x02 ? Continue() : Ok();
  };
  IStream* stream = CountingStream(600, 100);
  EXPECT_EQ(E_FAIL, link.obex->SendFromStream({600, stream}, 5000));
  stream->Release();
  const auto sent = link.transport.Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(Packet(0xFF, {}), sent.back());
  for (const Bytes& packet : sent) EXPECT_NE(0x82, packet[0]);
}

TEST(ObexReceiveTest, PassesEveryBodyToTheSink) {
  Layer link;
  link.transport.Queue(Continue(Header(0x48, Ascii("abc"))));
  link.transport.Queue(Continue());  // no Body at all
  link.transport.Queue(Continue(Header(0x48, Ascii("de"))));
  link.transport.Queue(Ok(Header(0x49, Ascii("f"))));
  RecordingSink sink;
  EXPECT_EQ(S_OK, link.obex->ReceiveToStream(&sink, 7000));
  EXPECT_EQ(Ascii("abcdef"), sink.data);
  ASSERT_EQ(4u, link.transport.requests.size());
  for (const auto& r : link.transport.requests) {
    EXPECT_EQ(Packet(0x83, {}), r.bytes);
    EXPECT_EQ(7000u, r.timeoutMs);
  }
}

TEST(ObexReceiveTest, SinkRefusalAbortsAndModuleErrorsPassThrough) {
  Layer link;
  link.transport.Queue(Continue(Header(0x48, Ascii("abc"))));
  RecordingSink sink;
  sink.result = E_TRANSFER_PAUSE;
  EXPECT_EQ(E_TRANSFER_PAUSE, link.obex->ReceiveToStream(&sink, 100));
  EXPECT_EQ(Packet(0xFF, {}), link.transport.requests.back().bytes);

  link.transport.Clear();
  link.transport.Queue(Packet(0xC4, {}));
  RecordingSink other;
  EXPECT_EQ(STG_E_FILENOTFOUND, link.obex->ReceiveToStream(&other, 100));

  // A Body that claims more than the packet holds ends the transfer.
  link.transport.Queue(Continue({0x48, 0x00, 0x50, 'a'}));
  EXPECT_EQ(E_CONNECTION_LOST, link.obex->ReceiveToStream(&other, 100));
  EXPECT_TRUE(other.data.empty());
}

namespace {

const char kListing[] =
    "<?xml version=\"1.0\"?>\n<!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">\n"
    "<folder-listing version=\"1.0\"><parent-folder/>\n"
    "<file name=\"a.txt\" size=\"12\" modified=\"20240102T030405\"/>\n"
    "<folder name=\"Pictures\" user-perm=\"RW\"/>\n</folder-listing>\n";

int Count(const FolderEntry* e) {
  int n = 0;
  for (; e; e = e->next) ++n;
  return n;
}

}  // namespace

TEST(ObexListingReceiveTest, JoinsTheBodiesAndParses) {
  Layer link;
  const std::string text = kListing;
  const size_t half = text.size() / 2;
  link.transport.Queue(Continue(Cat({U32Header(0xC3, static_cast<DWORD>(text.size())),
                                     Header(0x48, Ascii(text.substr(0, half)))})));
  link.transport.Queue(Ok(Header(0x49, Ascii(text.substr(half)))));
  FolderEntry* entries = nullptr;
  EXPECT_EQ(S_OK, link.obex->ReceiveFolderListing(&entries));
  ASSERT_EQ(2, Count(entries));
  EXPECT_STREQ(L"a.txt", entries->name);
  EXPECT_STREQ(L"Pictures", entries->next->name);
  FreeEntryList(entries);
}

TEST(ObexListingReceiveTest, LengthsFromTheModuleAreChecked) {
  const std::string text = kListing;
  const std::string parentOnly =
      "<?xml version=\"1.0\"?><!DOCTYPE folder-listing SYSTEM \"x.dtd\">"
      "<folder-listing version=\"1.0\"><parent-folder/></folder-listing>";
  const struct {
    const char* what;
    std::vector<Bytes> responses;
    HRESULT result;
  } cases[] = {
      {"Body past Length",
       {Continue(Cat({U32Header(0xC3, 10), Header(0x48, Ascii(text.substr(0, 8)))})),
        Ok(Header(0x49, Ascii(text.substr(8, 8))))},
       E_CONNECTION_LOST},
      {"absurd Length", {Ok(Cat({U32Header(0xC3, 0xFFFFFFFF), Header(0x49, Ascii(text))}))}, E_FAIL},
      {"empty text", {Ok(U32Header(0xC3, 0))}, static_cast<HRESULT>(0x8007001A)},
      {"only a parent folder",
       {Ok(Cat({U32Header(0xC3, static_cast<DWORD>(parentOnly.size())), Header(0x49, Ascii(parentOnly))}))},
       S_FALSE},
      {"module error", {Packet(0xC3, {})}, E_ACCESSDENIED},
      {"not a listing", {Ok(Cat({U32Header(0xC3, 5), Header(0x49, Ascii("hello"))}))}, E_FAIL},
      {"cut listing", {Ok(Cat({U32Header(0xC3, 40), Header(0x49, Ascii(text.substr(0, 40)))}))}, E_FAIL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Layer link;
    for (const Bytes& r : c.responses) link.transport.Queue(r);
    FolderEntry* entries = reinterpret_cast<FolderEntry*>(1);
    EXPECT_EQ(c.result, link.obex->ReceiveFolderListing(&entries));
    EXPECT_EQ(nullptr, entries);
  }
}

// OBEX lets a server leave Length out: the body is read as it comes.
TEST(ObexListingReceiveTest, ListingWithoutLengthIsReadAsItComes) {
  Layer link;
  const std::string text = kListing;
  const size_t third = text.size() / 3;
  link.transport.Queue(Continue(Header(0x48, Ascii(text.substr(0, third)))));
  link.transport.Queue(Continue(Header(0x48, Ascii(text.substr(third, third)))));
  link.transport.Queue(Ok(Header(0x49, Ascii(text.substr(2 * third)))));
  FolderEntry* entries = nullptr;
  EXPECT_EQ(S_OK, link.obex->ReceiveFolderListing(&entries));
  ASSERT_EQ(2, Count(entries));
  EXPECT_STREQ(L"Pictures", entries->next->name);
  FreeEntryList(entries);

  // One that never ends is given up at 64 MiB, and the GET is aborted.
  Layer endless(65535);
  const Bytes body = Header(0x48, Bytes(65535 - 6, 'x'));
  endless.transport.responder = [&](const Bytes& request) { return request[0] == 0xFF ? Ok() : Continue(body); };
  entries = nullptr;
  EXPECT_EQ(E_FAIL, endless.obex->ReceiveFolderListing(&entries));
  EXPECT_EQ(nullptr, entries);
  EXPECT_EQ(Packet(0xFF, {}), endless.transport.requests.back().bytes);
  EXPECT_EQ(64u * 1024 * 1024 / (65535 - 6) + 2, endless.transport.requests.size());
}

TEST(ObexCancelTest, DisconnectEventCancelsExactlyOneRequest) {
  char name[64];
  wsprintfA(name, "VksTestDisconnect-%lu", GetCurrentProcessId());
  SetDisconnectEventNameForTesting(name);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name);
  ASSERT_NE(nullptr, event);
  {
    Layer link;
    SetEvent(event);
    ASSERT_EQ(S_OK, link.obex->AddTypeHeader("x-obex/folder-listing", kObexGet));
    EXPECT_EQ(E_TRANSFER_CANCELLED, link.obex->Transact(kObexGetFinal, 100));
    EXPECT_EQ(std::vector<Bytes>{Packet(0xFF, {})}, link.transport.Sent());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    EXPECT_EQ(S_OBEX_OK, link.obex->Transact(kObexGetFinal, 100));
    EXPECT_EQ(Packet(0x83, {}), link.transport.requests.back().bytes);

    // DISCONNECT is never cancelled and leaves the signal for the next request.
    SetEvent(event);
    link.obex->Disconnect(1);
    EXPECT_EQ(Packet(0x81, {}), link.transport.requests.back().bytes);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    EXPECT_EQ(E_TRANSFER_CANCELLED, link.obex->Transact(kObexGetFinal, 100));
  }
  CloseHandle(event);
  SetDisconnectEventNameForTesting(nullptr);
}
