// testing/simulator/obex/ObexCodec.cpp - OBEX packet and header encoding.
#include "ObexCodec.h"

#include <cstdio>
#include <cstring>

namespace sim::obex {

const Header* Request::Find(uint8_t id) const {
  for (const Header& h : headers)
    if (h.id == id) return &h;
  return nullptr;
}

std::string ParseHeaders(const uint8_t* data, size_t length, std::vector<Header>& out) {
  size_t pos = 0;
  while (pos < length) {
    Header h;
    h.id = data[pos];
    switch (h.id >> 6) {
      case 0:
      case 1: {
        if (length - pos < 3) return "truncated header length";
        size_t hl = (size_t(data[pos + 1]) << 8) | data[pos + 2];
        if (hl < 3) return "header length below 3";
        if (hl > length - pos) return "header passes the packet end";
        h.data.assign(data + pos + 3, data + pos + hl);
        pos += hl;
        break;
      }
      case 2:
        if (length - pos < 2) return "truncated one-byte header";
        h.value = data[pos + 1];
        pos += 2;
        break;
      default:
        if (length - pos < 5) return "truncated four-byte header";
        h.value = (uint32_t(data[pos + 1]) << 24) | (uint32_t(data[pos + 2]) << 16) |
                  (uint32_t(data[pos + 3]) << 8) | data[pos + 4];
        pos += 5;
        break;
    }
    out.push_back(std::move(h));
  }
  return {};
}

std::string ParseRequest(const uint8_t* data, size_t length, Request& out) {
  out = Request{};
  if (length < 3) return "packet shorter than 3 bytes";
  size_t announced = (size_t(data[1]) << 8) | data[2];
  if (announced != length) return "length field differs from the packet";
  out.opcode = data[0];
  size_t pos = 3;
  if (out.opcode == kOpConnect) {
    if (length < 7) return "CONNECT without its fields";
    out.version = data[3];
    out.connectFlags = data[4];
    out.maxPacket = uint16_t((data[5] << 8) | data[6]);
    pos = 7;
  } else if (out.opcode == kOpSetPath) {
    if (length < 5) return "SETPATH without flags and constants";
    out.setpathFlags = data[3];
    out.constants = data[4];
    pos = 5;
  }
  return ParseHeaders(data + pos, length - pos, out.headers);
}

PacketWriter::PacketWriter(uint8_t code) : m_buf{code, 0, 0} {}

PacketWriter& PacketWriter::Raw(const uint8_t* data, size_t length) {
  m_buf.insert(m_buf.end(), data, data + length);
  return *this;
}

PacketWriter& PacketWriter::Byte(uint8_t b) {
  m_buf.push_back(b);
  return *this;
}

PacketWriter& PacketWriter::U16(uint16_t v) {
  m_buf.push_back(uint8_t(v >> 8));
  m_buf.push_back(uint8_t(v));
  return *this;
}

PacketWriter& PacketWriter::Sequence(uint8_t id, const uint8_t* data, size_t length) {
  Byte(id);
  U16(uint16_t(length + 3));
  return Raw(data, length);
}

PacketWriter& PacketWriter::U32(uint8_t id, uint32_t value) {
  Byte(id);
  for (int shift = 24; shift >= 0; shift -= 8) m_buf.push_back(uint8_t(value >> shift));
  return *this;
}

Bytes PacketWriter::Finish() {
  m_buf[1] = uint8_t(m_buf.size() >> 8);
  m_buf[2] = uint8_t(m_buf.size());
  return m_buf;
}

static void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

std::string EncodeUtf8(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) AppendUtf8(out, c);
  return out;
}

std::optional<std::string> Utf16BeToUtf8(const uint8_t* data, size_t length) {
  if (length % 2) return std::nullopt;
  size_t units = length / 2;
  if (units && data[length - 2] == 0 && data[length - 1] == 0) --units;
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    char32_t u = char32_t((data[2 * i] << 8) | data[2 * i + 1]);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units) {
      char32_t low = char32_t((data[2 * i + 2] << 8) | data[2 * i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
  }
  return out;
}

std::u32string DecodeUtf8Lenient(const std::string& text) {
  std::u32string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char b = s[i];
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && len > 1 && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) ok = false;
    if (!ok) {
      out += char32_t(b);  // Latin-1 reading of a stray byte
      ++i;
    } else {
      out += c;
      i += len;
    }
  }
  return out;
}

Bytes Utf8ToUtf16Be(const std::string& text, bool withNul) {
  Bytes out;
  auto unit = [&out](char32_t u) {
    out.push_back(uint8_t(u >> 8));
    out.push_back(uint8_t(u));
  };
  for (char32_t c : DecodeUtf8Lenient(text)) {
    if (c >= 0x10000) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  if (withNul) unit(0);
  return out;
}

std::optional<time_t> ParseTimeText(const std::string& text) {
  if (text.size() != 15 && !(text.size() == 16 && text[15] == 'Z')) return std::nullopt;
  for (size_t i = 0; i < 15; ++i)
    if (i == 8 ? text[i] != 'T' : (text[i] < '0' || text[i] > '9')) return std::nullopt;
  auto num = [&text](size_t pos, size_t n) { return std::stoi(text.substr(pos, n)); };
  std::tm tm{};
  tm.tm_year = num(0, 4) - 1900;
  tm.tm_mon = num(4, 2) - 1;
  tm.tm_mday = num(6, 2);
  tm.tm_hour = num(9, 2);
  tm.tm_min = num(11, 2);
  tm.tm_sec = num(13, 2);
  if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
      tm.tm_min > 59 || tm.tm_sec > 60)
    return std::nullopt;
  tm.tm_isdst = -1;
  time_t t = text.size() == 16 ? timegm(&tm) : mktime(&tm);
  if (t == time_t(-1)) return std::nullopt;
  return t;
}

std::string FormatTimeText(time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
           tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string ParseAppParams(const Bytes& data, std::vector<AppParam>& out) {
  size_t pos = 0;
  while (pos < data.size()) {
    if (data.size() - pos < 2) return "truncated application parameter";
    size_t len = data[pos + 1];
    if (data.size() - pos - 2 < len) return "application parameter passes the header end";
    out.push_back({data[pos], Bytes(data.begin() + pos + 2, data.begin() + pos + 2 + len)});
    pos += 2 + len;
  }
  return {};
}

void AppendAppParam(Bytes& out, uint8_t tag, const Bytes& value) {
  out.push_back(tag);
  out.push_back(uint8_t(value.size()));
  out.insert(out.end(), value.begin(), value.end());
}

uint16_t Crc16X25(const uint8_t* data, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
  }
  return uint16_t(~crc);
}

std::string EscapeLogText(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c <= 0x20 || c >= 0x7F || c == '%' || c == '|') {
      char buf[4];
      snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string HexText(const uint8_t* data, size_t length) {
  std::string out;
  char buf[3];
  for (size_t i = 0; i < length; ++i) {
    snprintf(buf, sizeof buf, "%02X", data[i]);
    out += buf;
  }
  return out;
}

std::string OpcodeName(uint8_t opcode) {
  switch (opcode) {
    case kOpConnect: return "CONNECT";
    case kOpDisconnect: return "DISCONNECT";
    case kOpPut: return "PUT";
    case kOpPut | kFinal: return "PUT-FINAL";
    case kOpGet: return "GET";
    case kOpGet | kFinal: return "GET-FINAL";
    case kOpSetPath: return "SETPATH";
    case kOpAbort: return "ABORT";
    default: {
      char buf[8];
      snprintf(buf, sizeof buf, "OP-%02X", opcode);
      return buf;
    }
  }
}

}  // namespace sim::obex
