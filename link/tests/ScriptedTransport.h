// link/tests/ScriptedTransport.h - in-process ITransportLayer for byte-exact OBEX tests:
// records every request and answers with scripted responses.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "IObexStream.h"
#include "ITransportLayer.h"
#include "SuiteUtil.h"

using Bytes = std::vector<BYTE>;

namespace obexwire {

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
inline Bytes BE16(size_t v) { return {static_cast<BYTE>(v >> 8), static_cast<BYTE>(v)}; }
inline Bytes BE32(DWORD v) {
  return {static_cast<BYTE>(v >> 24), static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8),
          static_cast<BYTE>(v)};
}
inline Bytes Utf16BE(const std::wstring& text) {
  Bytes out;
  for (wchar_t c : text) {
    out.push_back(static_cast<BYTE>(c >> 8));
    out.push_back(static_cast<BYTE>(c));
  }
  return out;
}
inline Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }
// A counted header (classes 0 and 1).
inline Bytes Header(BYTE id, const Bytes& value) {
  return Cat({{id}, BE16(value.size() + 3), value});
}
inline Bytes Name(const std::wstring& text) { return Header(0x01, Utf16BE(text)); }
inline Bytes U32Header(BYTE id, DWORD v) { return Cat({{id}, BE32(v)}); }
inline Bytes Triple(BYTE tag, const Bytes& value) {
  return Cat({{tag, static_cast<BYTE>(value.size())}, value});
}
inline Bytes AppParams(std::initializer_list<Bytes> triples) { return Header(0x4C, Cat(triples)); }
// A whole packet: code or opcode, 2-byte total length, the rest.
inline Bytes Packet(BYTE code, const Bytes& rest) { return Cat({{code}, BE16(rest.size() + 3), rest}); }
inline Bytes SetPath(BYTE flags, const Bytes& headers = {}) {
  return Packet(0x85, Cat({{flags, 0x00}, headers}));
}
inline Bytes Ok(const Bytes& headers = {}) { return Packet(0xA0, headers); }
inline Bytes Continue(const Bytes& headers = {}) { return Packet(0x90, headers); }

inline const Bytes kFileTarget = {0x6B, 0x01, 0xCB, 0x31, 0x41, 0x06, 0x11, 0xD4,
                                  0x9A, 0x77, 0x00, 0x50, 0xDA, 0x3F, 0x47, 0x1F};

// The module's answer to CONNECT.
inline Bytes ConnectResponse(WORD maxPacket, const Bytes& who = kFileTarget) {
  return Ok(Cat({{0x10, 0x00}, BE16(maxPacket), U32Header(0xCB, 1), Header(0x4A, who)}));
}

}  // namespace obexwire

// A local wall-clock DATE.
inline DATE LocalDate(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME st = {};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = hour;
  st.wMinute = minute;
  st.wSecond = second;
  DATE date = 0;
  SystemTimeToDate(st, &date);
  return date;
}

// Collects received body blocks; answers with result.
struct RecordingSink final : IObexStream {
  Bytes data;
  HRESULT result = S_OK;
  HRESULT Write(const BYTE* bytes, DWORD length) override {
    data.insert(data.end(), bytes, bytes + length);
    return result;
  }
};

// A stream over a copy of data, positioned at its start.
inline IStream* MemoryStream(const Bytes& data) {
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
  if (!data.empty()) stream->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

class ScriptedTransport final : public ITransportLayer {
public:
  struct Reply {
    HRESULT result;
    Bytes bytes;
  };
  struct Request {
    Bytes bytes;
    DWORD timeoutMs;
  };

  HRESULT Connect(const wchar_t* portName, int baud) override {
    connectedPort = portName ? portName : L"";
    connectedBaud = baud;
    return connectResult;
  }
  HRESULT Disconnect() override {
    ++disconnects;
    return S_OK;
  }
  HRESULT LeaveObexMode() override { return S_OK; }
  HRESULT Transact(BYTE* buffer, WORD* length, DWORD timeoutMs, WORD capacity) override {
    requests.push_back({Bytes(buffer, buffer + *length), timeoutMs});
    Reply reply;
    if (!replies.empty()) {
      reply = replies.front();
      replies.pop_front();
    } else if (responder) {
      reply = {S_OK, responder(requests.back().bytes)};
    } else {
      reply = {S_OK, obexwire::Ok()};
    }
    if (FAILED(reply.result)) return reply.result;
    if (reply.bytes.size() > capacity || reply.bytes.size() < 3) return E_INVALIDARG;
    memcpy(buffer, reply.bytes.data(), reply.bytes.size());
    *length = static_cast<WORD>(reply.bytes.size());
    return S_OK;
  }
  HRESULT GetModel(char* model, size_t capacity) override {
    if (!model || model_.empty()) return E_NOTIMPL;
    strncpy(model, model_.c_str(), capacity - 1);
    model[capacity - 1] = 0;
    return S_OK;
  }
  HRESULT GetVolumeCount(WORD* count) override {
    *count = volumeCount;
    return volumeResult;
  }

  void Queue(const Bytes& bytes) { replies.push_back({S_OK, bytes}); }
  void QueueFailure(HRESULT result) { replies.push_back({result, {}}); }
  // The requests after the first `skip` ones.
  std::vector<Bytes> Sent(size_t skip = 0) const {
    std::vector<Bytes> out;
    for (size_t i = skip; i < requests.size(); ++i) out.push_back(requests[i].bytes);
    return out;
  }
  void Clear() {
    requests.clear();
    replies.clear();
  }

  std::deque<Reply> replies;
  std::function<Bytes(const Bytes& request)> responder;  // when no reply is queued
  std::vector<Request> requests;
  WORD volumeCount = 1;
  HRESULT volumeResult = S_OK;
  HRESULT connectResult = S_OK;
  std::string model_;
  std::wstring connectedPort;
  int connectedBaud = 0;
  int disconnects = 0;
};
