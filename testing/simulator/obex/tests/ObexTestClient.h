// testing/simulator/obex/tests/ObexTestClient.h - a small OBEX client for the
// service's tests: builds requests, reads answers, keeps a scratch data folder.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "ObexCodec.h"
#include "ObexServer.h"

namespace sim::obex::test {

struct Response {
  uint8_t code = 0;
  uint16_t maxPacket = 0;  // CONNECT answers
  std::vector<Header> headers;
  Bytes raw;

  const Header* Find(uint8_t id) const {
    for (auto& h : headers)
      if (h.id == id) return &h;
    return nullptr;
  }
  std::vector<AppParam> AppParams() const {
    std::vector<AppParam> out;
    if (const Header* h = Find(kHdrAppParams)) ParseAppParams(h->data, out);
    return out;
  }
};

inline Response ParseResponse(const Bytes& raw, bool connect) {
  Response r;
  r.raw = raw;
  if (raw.size() < 3) return r;
  r.code = raw[0];
  EXPECT_EQ(raw.size(), size_t((raw[1] << 8) | raw[2])) << "length field";
  size_t pos = 3;
  if (connect && raw.size() >= 7) {
    r.maxPacket = uint16_t((raw[5] << 8) | raw[6]);
    pos = 7;
  }
  EXPECT_EQ("", ParseHeaders(raw.data() + pos, raw.size() - pos, r.headers));
  return r;
}

inline Bytes Wide(const std::string& utf8) { return Utf8ToUtf16Be(utf8, false); }

inline Bytes AppParams(std::initializer_list<std::pair<uint8_t, Bytes>> triples) {
  Bytes out;
  for (auto& [tag, value] : triples) AppendAppParam(out, tag, value);
  return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A scratch data folder, removed again at the end of the test.
class ScratchDir {
public:
  ScratchDir() {
    char tmpl[] = "/tmp/vks-obex-test-XXXXXX";
    m_path = mkdtemp(tmpl);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::string& Path() const { return m_path; }
  void Write(const std::string& rel, const std::string& content) const {
    std::filesystem::create_directories(std::filesystem::path(m_path + "/" + rel).parent_path());
    std::ofstream(m_path + "/" + rel, std::ios::binary) << content;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream f(m_path + "/" + rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& rel) const { return std::filesystem::exists(m_path + "/" + rel); }

private:
  std::string m_path;
};

// Requests in the shape a client sends them; transact runs one packet.
class Client {
public:
  using Transact = std::function<Bytes(const Bytes&)>;
  explicit Client(Transact transact) : m_transact(std::move(transact)) {}

  uint16_t maxPacket = 16390;  // what the client announces
  uint16_t serverMax = 255;    // learnt from the CONNECT answer

  Response Run(PacketWriter& w, bool connect = false) { return ParseResponse(m_transact(w.Finish()), connect); }

  Response Connect(const uint8_t* target = kFileTarget, size_t targetLen = 16) {
    PacketWriter w(kOpConnect);
    w.Byte(0x10).Byte(0).U16(maxPacket);
    if (target) w.Sequence(kHdrTarget, target, targetLen);
    Response r = Run(w, true);
    if (r.code == kRspOk) serverMax = r.maxPacket;
    return r;
  }
  Response SetPath(uint8_t flags, const char* name) {
    PacketWriter w(kOpSetPath);
    w.Byte(flags).Byte(0);
    if (name) w.Sequence(kHdrName, Wide(name));
    return Run(w);
  }
  // Walks from the root into each folder of "a/b" without creating.
  void Enter(const std::string& path) {
    ASSERT_EQ(kRspOk, SetPath(0, "").code);
    size_t start = 0;
    while (start < path.size()) {
      size_t slash = path.find('/', start);
      std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
      ASSERT_EQ(kRspOk, SetPath(2, part.c_str()).code) << part;
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
  }
  // A whole PUT: first packet with the headers, Body while more follows, End of Body last.
  Response Put(const std::string& name, const std::string& data, const char* time = nullptr) {
    PacketWriter first(kOpPut);
    first.Sequence(kHdrName, Wide(name)).U32(kHdrLength, uint32_t(data.size()));
    if (time) first.Sequence(kHdrTime, Text(time));
    return SendBody(first, Text(data));
  }
  Response SendBody(PacketWriter& first, const Bytes& data) {
    size_t pos = 0;
    PacketWriter* w = &first;
    PacketWriter next(kOpPut);
    while (true) {
      size_t room = serverMax - w->Size() - 3;
      if (data.size() - pos <= room) {
        Bytes pkt = w->Sequence(kHdrEndOfBody, data.data() + pos, data.size() - pos).Finish();
        pkt[0] = kOpPut | kFinal;
        return ParseResponse(m_transact(pkt), false);
      }
      w->Sequence(kHdrBody, data.data() + pos, room);
      pos += room;
      Response r = Run(*w);
      if (r.code != kRspContinue) return r;
      next = PacketWriter(kOpPut);
      w = &next;
    }
  }
  Response PutFinal(PacketWriter& w) {
    Bytes pkt = w.Finish();
    pkt[0] = kOpPut | kFinal;
    return ParseResponse(m_transact(pkt), false);
  }
  // A whole GET: repeats GET final while the answer is Continue. body collects
  // Body and End of Body values; first is the first answer.
  Response Get(PacketWriter& w, std::string& body, Response* first = nullptr, int* packets = nullptr) {
    Bytes pkt = w.Finish();
    pkt[0] = kOpGet | kFinal;
    Response r = ParseResponse(m_transact(pkt), false);
    if (first) *first = r;
    int n = 1;
    while (true) {
      for (auto& h : r.headers)
        if (h.id == kHdrBody || h.id == kHdrEndOfBody) body.append(h.data.begin(), h.data.end());
      if (r.code != kRspContinue) break;
      EXPECT_TRUE(r.Find(kHdrBody)) << "Continue without Body";
      EXPECT_FALSE(r.Find(kHdrEndOfBody)) << "End of Body in a Continue answer";
      PacketWriter more(kOpGet | kFinal);
      r = ParseResponse(m_transact(more.Finish()), false);
      ++n;
    }
    if (packets) *packets = n;
    return r;
  }
  Response GetFile(const std::string& name, std::string& body) {
    PacketWriter w(kOpGet | kFinal);
    w.Sequence(kHdrName, Wide(name));
    return Get(w, body);
  }
  Response GetListing(std::string& xml) {
    PacketWriter w(kOpGet | kFinal);
    w.Sequence(kHdrType, Text(kListingType));
    return Get(w, xml);
  }
  Response Delete(const std::string& name) {
    PacketWriter w(kOpPut | kFinal);
    w.Sequence(kHdrName, Wide(name));
    return Run(w);
  }

private:
  Transact m_transact;
};

}  // namespace sim::obex::test
