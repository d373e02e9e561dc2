// testing/simulator/obex/ObexCodec.h - OBEX 1.0 packets and headers as bytes:
// parsing requests, building responses, the text encodings the headers use.
// Free of I/O so that it can be tested alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace sim::obex {

using Bytes = std::vector<uint8_t>;

// Request opcodes (final bit 0x80 where OBEX has it).
enum : uint8_t {
  kOpConnect = 0x80,
  kOpDisconnect = 0x81,
  kOpPut = 0x02,
  kOpGet = 0x03,
  kOpSetPath = 0x85,
  kOpAbort = 0xFF,
  kFinal = 0x80,
};

// Response codes (always with the final bit).
enum : uint8_t {
  kRspContinue = 0x90,
  kRspOk = 0xA0,
  kRspAccepted = 0xA2,
  kRspMovedPermanently = 0xB1,
  kRspMovedTemporarily = 0xB2,
  kRspBadRequest = 0xC0,
  kRspUnauthorized = 0xC1,
  kRspForbidden = 0xC3,
  kRspNotFound = 0xC4,
  kRspNotAcceptable = 0xC6,
  kRspConflict = 0xC9,
  kRspPreconditionFailed = 0xCA,
  kRspInternalError = 0xD0,
  kRspNotImplemented = 0xD1,
  kRspServiceUnavailable = 0xD3,
  kRspDatabaseFull = 0xE0,
  kRspDatabaseLocked = 0xE1,
};

// Header identifiers; the two top bits give the encoding.
enum : uint8_t {
  kHdrName = 0x01,
  kHdrType = 0x42,
  kHdrTime = 0x44,
  kHdrTarget = 0x46,
  kHdrBody = 0x48,
  kHdrEndOfBody = 0x49,
  kHdrWho = 0x4A,
  kHdrAppParams = 0x4C,
  kHdrLength = 0xC3,
  kHdrConnectionId = 0xCB,
};

struct Header {
  uint8_t id = 0;
  Bytes data;          // classes 0 and 1 (text and byte sequences)
  uint32_t value = 0;  // classes 2 (one byte) and 3 (four bytes)
};

struct Request {
  uint8_t opcode = 0;
  // CONNECT: version, flags, the client's maximum packet length.
  uint8_t version = 0, connectFlags = 0;
  uint16_t maxPacket = 0;
  // SETPATH: flags (bit 0 back up, bit 1 do not create) and constants.
  uint8_t setpathFlags = 0, constants = 0;
  std::vector<Header> headers;

  const Header* Find(uint8_t id) const;
  bool IsFinal() const { return (opcode & kFinal) != 0; }
};

// Whole packet (opcode, 2-byte length, rest). Returns an empty text on success,
// else why the packet is malformed.
std::string ParseRequest(const uint8_t* data, size_t length, Request& out);
// The headers of data[0..length); empty text on success.
std::string ParseHeaders(const uint8_t* data, size_t length, std::vector<Header>& out);

// Builds one packet; the length field is written by Finish.
class PacketWriter {
public:
  explicit PacketWriter(uint8_t code);
  PacketWriter& Raw(const uint8_t* data, size_t length);
  PacketWriter& Byte(uint8_t b);
  PacketWriter& U16(uint16_t v);
  PacketWriter& Sequence(uint8_t id, const uint8_t* data, size_t length);
  PacketWriter& Sequence(uint8_t id, const Bytes& data) { return Sequence(id, data.data(), data.size()); }
  PacketWriter& U32(uint8_t id, uint32_t value);
  size_t Size() const { return m_buf.size(); }
  Bytes Finish();

private:
  Bytes m_buf;
};

// UTF-16 big-endian (one trailing NUL unit dropped) to UTF-8; nullopt for an
// odd byte count. Unpaired surrogates become U+FFFD.
std::optional<std::string> Utf16BeToUtf8(const uint8_t* data, size_t length);
Bytes Utf8ToUtf16Be(const std::string& text, bool withNul);
// Code points of UTF-8 text; bytes that start no valid sequence count as
// Latin-1 characters, so any host name has a reading.
std::u32string DecodeUtf8Lenient(const std::string& text);
std::string EncodeUtf8(const std::u32string& text);

// OBEX time text "YYYYMMDDTHHMMSS" (a trailing "Z" means UTC, else local time).
std::optional<time_t> ParseTimeText(const std::string& text);
std::string FormatTimeText(time_t t);  // local time, no zone letter

// Application parameters: tag, length, value triples.
struct AppParam {
  uint8_t tag = 0;
  Bytes value;
};
// Empty text on success, else why the triples are malformed.
std::string ParseAppParams(const Bytes& data, std::vector<AppParam>& out);
void AppendAppParam(Bytes& out, uint8_t tag, const Bytes& value);

// CRC-16/X-25 (reflected 0x1021, initial and final complement): "123456789" -> 0x906E.
uint16_t Crc16X25(const uint8_t* data, size_t length);

// For the request log: "%XX" for blanks, '%', '|' and bytes outside printable ASCII.
std::string EscapeLogText(const std::string& s);
std::string HexText(const uint8_t* data, size_t length);
std::string OpcodeName(uint8_t opcode);

}  // namespace sim::obex
