// link/OBEXHelpers.cpp - OBEX packet layer: headers, requests, SETPATH walks, body transfers.
//
// Every length that comes from the module (packet, header, parameter and
// listing lengths) is checked against the packet before it is used.
#include "OBEXHelpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "BackgroundCall.h"
#include "ComCore.h"
#include "OBEXUtility.h"
#include "ResultCodes.h"
#include "SuiteUtil.h"

const BYTE kObexFileTarget[16] = {0x6B, 0x01, 0xCB, 0x31, 0x41, 0x06, 0x11, 0xD4,
                                  0x9A, 0x77, 0x00, 0x50, 0xDA, 0x3F, 0x47, 0x1F};
const char kObexSyncTarget[] = "IRMC-SYNC";

namespace {

constexpr WORD kInitialPacket = 255;
constexpr DWORD kSetPathTimeoutMs = 40000;
constexpr DWORD kConnectTimeoutMs = 20000;
constexpr DWORD kDisconnectTimeoutMs = 3000;
// No module lists a folder this large: a longer listing, announced or sent,
// is a bad answer.
constexpr DWORD kMaxListingBytes = 64u * 1024 * 1024;

WORD ReadBE16(const BYTE* p) { return static_cast<WORD>((p[0] << 8) | p[1]); }
DWORD ReadBE32(const BYTE* p) {
  return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) |
         (static_cast<DWORD>(p[2]) << 8) | p[3];
}
void WriteBE16(BYTE* p, size_t value) {
  p[0] = static_cast<BYTE>(value >> 8);
  p[1] = static_cast<BYTE>(value);
}

// The opcode of the intermediate packets of a split request; 0 for requests
// that OBEX does not let span packets (SETPATH, CONNECT, ...).
BYTE SplitOpcode(BYTE opcode) {
  switch (opcode) {
    case kObexPut: case kObexPutFinal: case 4: return kObexPut;
    case kObexGet: case kObexGetFinal: return kObexGet;
    default: return 0;
  }
}

bool IsKnownHeaderId(BYTE id) {
  static const BYTE kIds[] = {0x01, 0x05, 0x42, 0x44, 0x46, 0x48, 0x49, 0x4A, 0x4C, 0xC0, 0xC3, 0xCB};
  for (BYTE known : kIds) {
    if (known == id) return true;
  }
  return false;
}

// One application parameter, value already in wire order.
struct AppParam {
  BYTE tag;
  std::vector<BYTE> value;
};

std::vector<BYTE> WideBE(const wchar_t* text, bool withNul) {
  std::vector<BYTE> bytes;
  if (!text) return bytes;
  const size_t n = wcslen(text) + (withNul ? 1 : 0);
  bytes.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    bytes.push_back(static_cast<BYTE>(text[i] >> 8));
    bytes.push_back(static_cast<BYTE>(text[i]));
  }
  return bytes;
}

std::vector<BYTE> Narrow(const char* text) {
  if (!text) return {};
  return std::vector<BYTE>(text, text + strlen(text));
}

std::vector<std::wstring> SplitPath(const wchar_t* path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (const wchar_t* p = path;; ++p) {
    if (*p == L'\\' || *p == 0) {
      if (!part.empty()) parts.push_back(part);  // "\\" and trailing "\" name nothing
      part.clear();
      if (*p == 0) break;
    } else {
      part += *p;
    }
  }
  return parts;
}

const char* g_disconnectEventName = kDisconnectEventName;

bool TakeDisconnectSignal() {
  HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, g_disconnectEventName);
  if (!event) return false;
  const bool signalled = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
  if (signalled) ResetEvent(event);
  CloseHandle(event);
  return signalled;
}

class OBEXHelpers final : public IOBEXPhysical {
public:
  OBEXHelpers() = default;
  ~OBEXHelpers() override { free(m_pBuf); }
  OBEXHelpers(const OBEXHelpers&) = delete;
  OBEXHelpers& operator=(const OBEXHelpers&) = delete;

  HRESULT GetModel(char* model, size_t capacity) override {
    return m_transport ? m_transport->GetModel(model, capacity) : E_UNEXPECTED;
  }
  HRESULT GetVolumeCount(WORD* count) override {
    return m_transport ? m_transport->GetVolumeCount(count) : E_UNEXPECTED;
  }
  HRESULT AttachTransport(ITransportLayer* transport) override;
  void BeginPacket() override {
    if (m_pBuf) m_pCursor = m_pBuf + 3;
  }
  HRESULT ReceiveToStream(IObexStream* sink, DWORD timeoutMs) override;
  HRESULT ReceiveFolderListing(FolderEntry** entries) override;
  HRESULT SendFromStream(const ObexSendSource& source, DWORD timeoutMs) override;
  HRESULT GetHeaderValue(BYTE id, BYTE** position, DWORD* value) override;
  HRESULT Abort() override {
    BeginPacket();
    return Transact(kObexAbort, kObexDefaultTimeoutMs);
  }
  int GetPacketSpace() override {
    return m_pBuf ? m_wdMaxPacket - static_cast<int>(m_pCursor - m_pBuf) : 0;
  }
  HRESULT Connect(int* handle, int targetKind) override;
  HRESULT Disconnect(int handle) override;
  HRESULT OpenLink(const char* portName, int baud) override;
  HRESULT CloseLink() override { return m_transport ? m_transport->Disconnect() : E_UNEXPECTED; }
  HRESULT Transact(BYTE opcode, DWORD timeoutMs) override;
  HRESULT NavigateToPath(const wchar_t* path, BYTE opcode, bool enterLast) override;

  HRESULT AddConnectFields() override;
  HRESULT AddNameHeader(const wchar_t* text, BYTE opcode) override {
    const std::vector<BYTE> bytes = WideBE(text, false);
    return WriteCounted(kHdrName, bytes.data(), bytes.size(), 2, opcode);
  }
  HRESULT AddTypeHeader(const char* text, BYTE opcode) override {
    const std::vector<BYTE> bytes = Narrow(text);
    return WriteCounted(kHdrType, bytes.data(), bytes.size(), 1, opcode);
  }
  HRESULT AddUInt32Header(BYTE id, DWORD value) override;
  HRESULT AddTimeHeader(DATE time, BYTE opcode) override {
    char text[16];
    FormatObexTime(time, text);
    return WriteCounted(kHdrTime, reinterpret_cast<const BYTE*>(text), 15, 1, opcode);
  }
  HRESULT AddTargetHeader(const BYTE* bytes, int count, BYTE opcode) override {
    if (count < 0 || (count > 0 && !bytes)) return E_INVALIDARG;
    return WriteCounted(kHdrTarget, bytes, static_cast<size_t>(count), 1, opcode);
  }
  HRESULT AddAppParamByte(BYTE tag, BYTE value, BYTE opcode) override {
    std::vector<AppParam> params{{tag, {value}}};
    return WriteAppParams(params, opcode);
  }
  HRESULT AddAppParamTriple(const ObexAppParamTriple& triple, BYTE opcode) override {
    std::vector<AppParam> params{{'4', Narrow(triple.verb)},
                                 {'5', WideBE(triple.first, false)},
                                 {'6', WideBE(triple.second, false)}};
    return WriteAppParams(params, opcode);
  }
  HRESULT AddAppParamWide(BYTE tag, const wchar_t* text, BYTE opcode) override {
    std::vector<AppParam> params{{tag, WideBE(text, true)}};
    return WriteAppParams(params, opcode);
  }
  HRESULT AddAppParamNarrow(BYTE tag, const char* text, BYTE opcode) override {
    std::vector<AppParam> params{{tag, Narrow(text)}};
    return WriteAppParams(params, opcode);
  }

private:
  size_t Space() const { return static_cast<size_t>(m_pBuf + m_wdMaxPacket - m_pCursor); }
  bool PacketEmpty() const { return m_pCursor == m_pBuf + 3; }
  // Sends what the packet holds as an intermediate packet of a split request.
  HRESULT Flush(BYTE splitOpcode) {
    const HRESULT hr = Transact(splitOpcode, kObexDefaultTimeoutMs);
    return FAILED(hr) ? hr : S_OK;
  }
  // bytes of value in units of unitSize bytes, which are never split.
  HRESULT WriteCounted(BYTE id, const BYTE* data, size_t bytes, int unitSize, BYTE opcode);
  HRESULT WriteAppParams(const std::vector<AppParam>& params, BYTE opcode);
  HRESULT SetPathStep(BYTE flags, const wchar_t* name);
  HRESULT DeliverBodies(IObexStream* sink);
  // count bytes of the stream into into; fewer than that fail.
  static HRESULT ReadBody(IStream* stream, BYTE* into, DWORD count);
  // The packet's Body data onto text; more than limit bytes in all give overflow.
  HRESULT AppendBodies(std::string* text, size_t limit, HRESULT overflow);
  void ResetFolderState() {
    m_currentFolder = L"\\";
    m_currentDrive.clear();
  }

  BYTE* m_pBuf = nullptr;
  BYTE* m_pCursor = nullptr;
  WORD m_wdPacketSize = 0;
  WORD m_wdMaxPacket = kInitialPacket;
  bool m_attached = false;
  ITransportLayer* m_transport = nullptr;
  std::wstring m_currentFolder;
  std::wstring m_currentDrive;
  // Sends a packet while the next one's body is read.
  CBackgroundCall m_onLine;
  std::vector<BYTE> m_nextBody;
};

HRESULT OBEXHelpers::AttachTransport(ITransportLayer* transport) {
  if (!transport) return E_INVALIDARG;
  m_transport = transport;
  if (!m_attached) {
    m_pBuf = static_cast<BYTE*>(malloc(kInitialPacket));
    if (!m_pBuf) return E_OUTOFMEMORY;
    m_wdMaxPacket = kInitialPacket;
    m_pCursor = m_pBuf + 3;
    m_attached = true;
    ResetFolderState();
  }
  return S_OK;
}

HRESULT OBEXHelpers::WriteCounted(BYTE id, const BYTE* data, size_t bytes, int unitSize,
                                  BYTE opcode) {
  if (!m_pBuf) return E_UNEXPECTED;
  const BYTE split = SplitOpcode(opcode);
  const size_t unit = static_cast<size_t>(unitSize);
  const size_t units = bytes / unit;
  // A header starts only where it and its first unit fit, so a split never
  // leaves an empty piece (an empty Name means something else).
  if (Space() < 3 + (units ? unit : 0)) {
    if (!split || PacketEmpty()) return E_OBEX_PATH_TOO_LONG;
    RETURN_IF_FAILED(Flush(split));
  }
  BYTE* header = m_pCursor;
  m_pCursor += 3;
  for (size_t i = 0; i < units; ++i) {
    if (Space() < unit) {
      if (!split) {
        m_pCursor = header;
        return E_OBEX_PATH_TOO_LONG;
      }
      header[0] = id;
      WriteBE16(header + 1, static_cast<size_t>(m_pCursor - header));
      RETURN_IF_FAILED(Flush(split));
      header = m_pCursor;
      m_pCursor += 3;
    }
    memcpy(m_pCursor, data + i * unit, unit);
    m_pCursor += unit;
  }
  header[0] = id;
  WriteBE16(header + 1, static_cast<size_t>(m_pCursor - header));
  return S_OK;
}

HRESULT OBEXHelpers::WriteAppParams(const std::vector<AppParam>& params, BYTE opcode) {
  if (!m_pBuf) return E_UNEXPECTED;
  const BYTE split = SplitOpcode(opcode);
  // A parameter that no packet can carry fails the request instead of being
  // left out; a triple is never split.
  for (const AppParam& param : params) {
    if (param.value.size() > 255 || param.value.size() + 2 > m_wdMaxPacket - 6u) {
      return E_OBEX_PATH_TOO_LONG;
    }
  }
  BYTE* header = nullptr;
  for (const AppParam& param : params) {
    const size_t size = 2 + param.value.size();
    if (header && Space() < size) {
      if (!split) return E_OBEX_PATH_TOO_LONG;
      WriteBE16(header + 1, static_cast<size_t>(m_pCursor - header));
      header = nullptr;
      RETURN_IF_FAILED(Flush(split));
    }
    if (!header) {
      if (Space() < 3 + size) {
        if (!split || PacketEmpty()) return E_OBEX_PATH_TOO_LONG;
        RETURN_IF_FAILED(Flush(split));
      }
      header = m_pCursor;
      header[0] = kHdrAppParams;
      m_pCursor += 3;
    }
    *m_pCursor++ = param.tag;
    *m_pCursor++ = static_cast<BYTE>(param.value.size());
    if (!param.value.empty()) memcpy(m_pCursor, param.value.data(), param.value.size());
    m_pCursor += param.value.size();
  }
  if (header) WriteBE16(header + 1, static_cast<size_t>(m_pCursor - header));
  return S_OK;
}

HRESULT OBEXHelpers::AddConnectFields() {
  if (!m_pBuf) return E_UNEXPECTED;
  if (Space() < 4) return E_OBEX_PATH_TOO_LONG;
  static const BYTE kFields[4] = {0x10, 0x00, 0x40, 0x06};  // OBEX 1.0, flags 0, 16390
  memcpy(m_pCursor, kFields, 4);
  m_pCursor += 4;
  return S_OK;
}

HRESULT OBEXHelpers::AddUInt32Header(BYTE id, DWORD value) {
  if (!m_pBuf) return E_UNEXPECTED;
  if (Space() < 5) return E_OBEX_PATH_TOO_LONG;
  *m_pCursor++ = id;
  for (int shift = 24; shift >= 0; shift -= 8) *m_pCursor++ = static_cast<BYTE>(value >> shift);
  return S_OK;
}

HRESULT OBEXHelpers::Transact(BYTE opcode, DWORD timeoutMs) {
  if (!m_transport || !m_pBuf) return E_UNEXPECTED;
  if (opcode != kObexDisconnect && TakeDisconnectSignal()) {
    Abort();
    return E_TRANSFER_CANCELLED;
  }
  m_pBuf[0] = opcode == 4 ? kObexPutFinal : opcode;
  WORD length = static_cast<WORD>(m_pCursor - m_pBuf);
  WriteBE16(m_pBuf + 1, length);
  m_wdPacketSize = length;
  HRESULT hr = m_transport->Transact(m_pBuf, &length, timeoutMs, m_wdMaxPacket);
  if (FAILED(hr)) {
    m_wdPacketSize = 0;
  } else if (length < 3 || length > m_wdMaxPacket || ReadBE16(m_pBuf + 1) != length) {
    m_wdPacketSize = 0;
    hr = E_CONNECTION_LOST;
  } else {
    m_wdPacketSize = length;
    hr = ObexResponseToHResult(m_pBuf[0]);
  }
  BeginPacket();
  return hr;
}

HRESULT OBEXHelpers::GetHeaderValue(BYTE id, BYTE** position, DWORD* value) {
  if (!m_pBuf || !value) return E_INVALIDARG;
  BYTE* p = m_pBuf + 3;
  if (position && *position && *position != m_pBuf) {
    if (*position < m_pBuf || !IsKnownHeaderId(id)) return E_INVALIDARG;
    p = *position;
  }
  BYTE* const end = m_pBuf + m_wdPacketSize;
  while (p < end) {
    const BYTE hid = *p;
    const int kind = hid >> 6;
    size_t size;
    if (kind <= 1) {
      if (end - p < 3) return E_FAIL;
      size = ReadBE16(p + 1);
      if (size < 3 || size > static_cast<size_t>(end - p)) return E_FAIL;
    } else {
      size = kind == 2 ? 2 : 5;
      if (static_cast<size_t>(end - p) < size) return E_FAIL;
    }
    if (hid == id) {
      if (kind <= 1) {
        *value = static_cast<DWORD>(size - 3);
        if (position) *position = p + 3;
      } else {
        *value = kind == 2 ? p[1] : ReadBE32(p + 1);
        if (position) *position = p + size;
      }
      return S_OK;
    }
    p += size;
  }
  return E_FAIL;
}

HRESULT OBEXHelpers::Connect(int* handle, int targetKind) {
  if (!handle) return E_INVALIDARG;
  if (!m_pBuf) return E_UNEXPECTED;
  BeginPacket();
  HRESULT hr = AddConnectFields();
  if (SUCCEEDED(hr)) {
    hr = targetKind ? AddTargetHeader(reinterpret_cast<const BYTE*>(kObexSyncTarget), 9, kObexConnect)
                    : AddTargetHeader(kObexFileTarget, 16, kObexConnect);
  }
  if (FAILED(hr)) {
    BeginPacket();
    return hr;
  }
  hr = Transact(kObexConnect, kConnectTimeoutMs);
  // Code, length, version, flags and the 2-byte maximum packet length.
  if (FAILED(hr) || m_wdPacketSize < 7) return E_CONNECTION_LOST;
  const WORD peerMax = ReadBE16(m_pBuf + 5);

  BYTE* who = m_pBuf + 7;
  DWORD whoLength = 0;
  if (FAILED(GetHeaderValue(kHdrWho, &who, &whoLength)) || whoLength <= 3) {
    return E_CONNECTION_LOST;
  }
  const size_t compared = whoLength - 3;
  const bool matches =
      (compared <= 9 && memcmp(who, kObexSyncTarget, compared) == 0) ||
      (compared <= sizeof(kObexFileTarget) && memcmp(who, kObexFileTarget, compared) == 0);
  if (!matches) return E_CONNECTION_LOST;

  if (peerMax < kInitialPacket) {
    Disconnect(targetKind + 1);
    return E_CONNECTION_LOST;
  }
  BYTE* grown = static_cast<BYTE*>(realloc(m_pBuf, peerMax));
  if (!grown) {
    Disconnect(targetKind + 1);
    return E_OUTOFMEMORY;
  }
  m_pBuf = grown;
  m_wdMaxPacket = peerMax;
  m_wdPacketSize = 0;
  *handle = targetKind + 1;
  ResetFolderState();
  BeginPacket();
  return S_OK;
}

HRESULT OBEXHelpers::Disconnect(int /*handle*/) {
  BeginPacket();
  Transact(kObexDisconnect, kDisconnectTimeoutMs);
  ResetFolderState();
  return S_OK;
}

HRESULT OBEXHelpers::OpenLink(const char* portName, int baud) {
  if (!m_transport) return E_UNEXPECTED;
  wchar_t wide[20] = {};
  if (portName) {
    for (int i = 0; i < 19 && portName[i]; ++i) {
      MultiByteToWideChar(CP_ACP, 0, portName + i, 1, wide + i, 1);
    }
  }
  return m_transport->Connect(wide, baud);
}

HRESULT OBEXHelpers::SetPathStep(BYTE flags, const wchar_t* name) {
  BeginPacket();
  m_pCursor[0] = flags;
  m_pCursor[1] = 0;
  m_pCursor += 2;
  if (name) {
    const HRESULT hr = AddNameHeader(name, kObexSetPath);
    if (FAILED(hr)) {
      BeginPacket();
      return hr;
    }
  }
  const HRESULT hr = Transact(kObexSetPath, kSetPathTimeoutMs);
  if (FAILED(hr)) return hr;
  if (name && !*name) {
    m_currentFolder = L"\\";
    return hr;
  }
  if (flags & 1) {  // backed up one level first
    const size_t cut = m_currentFolder.find_last_of(L'\\', m_currentFolder.size() - 2);
    m_currentFolder.resize(cut == std::wstring::npos ? 1 : cut + 1);
  }
  if (name) {
    m_currentFolder += name;
    m_currentFolder += L'\\';
  }
  return hr;
}

HRESULT OBEXHelpers::NavigateToPath(const wchar_t* path, BYTE opcode, bool enterLast) {
  if (!m_transport || !m_pBuf) return E_UNEXPECTED;
  WORD volumes = 0;
  RETURN_IF_FAILED(m_transport->GetVolumeCount(&volumes));
  if (!IsValidObexPath(path)) return E_OBEX_PATH_TOO_LONG;

  const wchar_t* rest = path;
  if (volumes >= 2 && path[0] >= L'A' && path[0] <= L'Z' && path[1] == L':') {
    const std::wstring drive(path, 2);
    if (drive != m_currentDrive) {
      m_currentDrive.clear();
      RETURN_IF_FAILED(SetPathStep(0, drive.c_str()));
      RETURN_IF_FAILED(SetPathStep(0, L""));
      m_currentFolder = L"\\";
      m_currentDrive = drive;
    } else if (path[2] == 0 && m_currentFolder != L"\\") {
      RETURN_IF_FAILED(SetPathStep(0, L""));
    }
    rest = path + 2;
  }

  const std::vector<std::wstring> parts = SplitPath(rest);
  const std::vector<std::wstring> current = SplitPath(m_currentFolder.c_str());
  const size_t folderParts = parts.empty() ? 0 : parts.size() - 1;
  size_t common = 0;
  size_t commonChars = 0;
  while (common < current.size() && common < folderParts && current[common] == parts[common]) {
    commonChars += current[common].size() + 1;
    ++common;
  }
  const size_t up = current.size() - common;

  size_t from = 0;
  bool pendingUp = false;
  if (!current.empty()) {
    bool toRoot = false;
    if (common == 0) {
      toRoot = true;
    } else if (up == 0) {
      from = common;
    } else if (151000.0 * static_cast<double>(up - 1) <
               151400.0 * static_cast<double>(common + 1) + 200.0 * static_cast<double>(commonChars)) {
      for (size_t i = 0; i + 1 < up; ++i) {
        RETURN_IF_FAILED(SetPathStep(3, nullptr));
      }
      pendingUp = true;
      from = common;
    } else {
      toRoot = true;
    }
    if (toRoot) {
      RETURN_IF_FAILED(SetPathStep(0, L""));
      from = 0;
    }
  }

  const size_t walkEnd = enterLast ? parts.size() : folderParts;
  HRESULT created = S_OK;
  for (size_t i = from; i < walkEnd; ++i) {
    BYTE flags = pendingUp ? 3 : 2;
    const bool creates = enterLast && i + 1 == parts.size();
    if (creates) flags &= static_cast<BYTE>(~2);
    const HRESULT hr = SetPathStep(flags, parts[i].c_str());
    if (FAILED(hr)) return hr;
    if (creates) created = hr;  // the module's answer tells whether it was there
    pendingUp = false;
  }
  if (pendingUp) RETURN_IF_FAILED(SetPathStep(3, nullptr));

  BeginPacket();
  if (enterLast) return created;  // nothing is named after entering the folder
  const wchar_t* last = parts.empty() ? L"" : parts.back().c_str();
  if (last[0] == L'*') return S_OK;
  return AddNameHeader(last, opcode);
}

HRESULT OBEXHelpers::SendFromStream(const ObexSendSource& source, DWORD timeoutMs) {
  if (!m_pBuf) return E_UNEXPECTED;
  if (!source.stream) {
    BeginPacket();
    return E_INVALIDARG;
  }
  DWORD remaining = source.count;
  bool sentAny = false;
  DWORD chunk;
  const int space = GetPacketSpace() - 3;
  if (space < 0) {
    // The caller's headers left no room for a Body header: send them alone.
    RETURN_IF_FAILED(Transact(kObexPut, timeoutMs));
    sentAny = true;
    chunk = m_wdMaxPacket - 6u;
  } else {
    chunk = static_cast<DWORD>(space);
    if (m_wdMaxPacket >= 512) chunk -= chunk % 512;
  }

  // The first body is read straight into the packet; every later one while
  // the packet before it is on the line, so that it leaves as soon as the
  // module has answered.
  DWORD count = remaining > chunk ? chunk : remaining;
  HRESULT read = ReadBody(source.stream, m_pCursor + 3, count);
  for (;;) {
    const bool final = remaining <= chunk;
    if (FAILED(read)) {
      BeginPacket();
      if (!final || sentAny) Abort();
      return read;  // a stream shorter than announced is no success
    }
    m_pCursor[0] = final ? kHdrEndOfBody : kHdrBody;
    WriteBE16(m_pCursor + 1, count + 3);
    m_pCursor += 3 + count;
    remaining -= count;
    if (final) return Transact(kObexPutFinal, timeoutMs);

    chunk = m_wdMaxPacket - 6u;
    const DWORD nextCount = remaining > chunk ? chunk : remaining;
    if (m_nextBody.size() < nextCount) m_nextBody.resize(m_wdMaxPacket);
    m_onLine.Start([this, timeoutMs] { return Transact(kObexPut, timeoutMs); });
    read = ReadBody(source.stream, m_nextBody.data(), nextCount);
    RETURN_IF_FAILED(m_onLine.Wait());
    sentAny = true;
    count = nextCount;
    if (SUCCEEDED(read) && count) memcpy(m_pCursor + 3, m_nextBody.data(), count);
  }
}

HRESULT OBEXHelpers::ReadBody(IStream* stream, BYTE* into, DWORD count) {
  if (count == 0) return S_OK;
  ULONG got = 0;
  const HRESULT hr = stream->Read(into, count, &got);
  Sleep(0);
  if (FAILED(hr)) return hr;
  return got == count ? S_OK : E_FAIL;
}

HRESULT OBEXHelpers::DeliverBodies(IObexStream* sink) {
  BYTE* p = m_pBuf + 3;
  BYTE* const end = m_pBuf + m_wdPacketSize;
  while (p < end) {
    const int kind = *p >> 6;
    size_t size;
    if (kind <= 1) {
      if (end - p < 3) return E_CONNECTION_LOST;
      size = ReadBE16(p + 1);
      if (size < 3 || size > static_cast<size_t>(end - p)) return E_CONNECTION_LOST;
    } else {
      size = kind == 2 ? 2 : 5;
      if (static_cast<size_t>(end - p) < size) return E_CONNECTION_LOST;
    }
    if ((*p == kHdrBody || *p == kHdrEndOfBody) && size > 3) {
      const HRESULT hr = sink->Write(p + 3, static_cast<DWORD>(size - 3));
      if (hr != S_OK) return hr;
    }
    p += size;
  }
  return S_OK;
}

HRESULT OBEXHelpers::ReceiveToStream(IObexStream* sink, DWORD timeoutMs) {
  if (!sink) {
    BeginPacket();
    return E_INVALIDARG;
  }
  HRESULT hr = Transact(kObexGetFinal, timeoutMs);
  if (FAILED(hr)) return hr;
  while (m_pBuf[0] == kObexContinue) {
    hr = DeliverBodies(sink);
    Sleep(0);
    if (hr != S_OK) {
      Abort();
      return hr;
    }
    hr = Transact(kObexGetFinal, timeoutMs);
    if (FAILED(hr)) return hr;
  }
  if (m_pBuf[0] != kObexOk) return hr;
  return DeliverBodies(sink);
}

HRESULT OBEXHelpers::AppendBodies(std::string* text, size_t limit, HRESULT overflow) {
  struct Appender final : IObexStream {
    std::string* text;
    size_t limit;
    HRESULT overflow;
    HRESULT Write(const BYTE* data, DWORD length) override {
      if (length > limit - text->size()) return overflow;
      try {
        text->append(reinterpret_cast<const char*>(data), length);
      } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
      }
      return S_OK;
    }
  } appender;
  appender.text = text;
  appender.limit = limit;
  appender.overflow = overflow;
  return DeliverBodies(&appender);
}

HRESULT OBEXHelpers::ReceiveFolderListing(FolderEntry** entries) {
  if (!entries) return E_POINTER;
  *entries = nullptr;
  HRESULT hr = Transact(kObexGetFinal, kObexDefaultTimeoutMs);
  if (FAILED(hr)) return hr;
  // OBEX lets a server leave Length out: the body is then taken as it comes.
  DWORD announced = 0;
  const bool counted = SUCCEEDED(GetHeaderValue(kHdrLength, nullptr, &announced));
  if (counted && announced > kMaxListingBytes) {
    if (m_pBuf[0] == kObexContinue) Abort();
    return E_FAIL;
  }
  const size_t limit = counted ? announced : kMaxListingBytes;
  const HRESULT overflow = counted ? E_CONNECTION_LOST : E_FAIL;
  std::string text;
  try {
    text.reserve(counted ? announced : 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  while (m_pBuf[0] == kObexContinue) {
    hr = AppendBodies(&text, limit, overflow);
    // Past the limit the module would go on sending.
    if (hr == E_FAIL) Abort();
    if (SUCCEEDED(hr)) hr = Transact(kObexGetFinal, kObexDefaultTimeoutMs);
    if (FAILED(hr)) return hr;
  }
  if (m_pBuf[0] != kObexOk) return hr;
  hr = AppendBodies(&text, limit, overflow);
  if (FAILED(hr)) return hr;
  BOOL first = TRUE;
  const int parsed = ParseFolderListing(entries, text.data(), text.size(), &first);
  // A listing with only the parent folder is an empty folder.
  if (parsed == kListingParsed) return *entries ? S_OK : S_FALSE;
  if (parsed == kListingNoEntries) return S_FALSE;
  if (parsed == kListingEmptyText) return E_OBEX_EMPTY_LISTING;
  // Part of a folder must not pass for all of it.
  FreeEntryList(*entries);
  *entries = nullptr;
  return parsed == kListingOutOfMemory ? E_OUTOFMEMORY : E_FAIL;
}

}  // namespace

void SetDisconnectEventNameForTesting(const char* name) {
  g_disconnectEventName = name ? name : kDisconnectEventName;
}

HRESULT CreateObexPacketLayer(IOBEXPhysical** layer) {
  if (!layer) return E_POINTER;
  *layer = new (std::nothrow) OBEXHelpers();
  return *layer ? S_OK : E_OUTOFMEMORY;
}

HRESULT ObexResponseToHResult(BYTE code) {
  switch (code) {
    case 0x90: case 0xA0: return static_cast<HRESULT>(0x01048000L + code);
    case 0xA2: return S_FALSE;
    case 0xB1: case 0xC4: return STG_E_FILENOTFOUND;
    case 0xB2: return static_cast<HRESULT>(0x80070022L);
    case 0xC0: case 0xC6: return E_OBEX_BAD_REQUEST;
    case 0xC1: return E_OBEX_UNAUTHORIZED;
    case 0xC3: return E_ACCESSDENIED;
    case 0xC9: return static_cast<HRESULT>(0x800700B7L);
    case 0xCA: return static_cast<HRESULT>(0x8007000FL);
    case 0xD3: return E_OBEX_SERVICE_UNAVAILABLE;
    case 0xE0: return STG_E_MEDIUMFULL;
    case 0xE1: return E_OBEX_DATABASE_LOCKED;
    default: return E_FAIL;
  }
}

void FormatObexTime(DATE time, char text[16]) {
  SYSTEMTIME st = {};
  if (time == 0 || !DateToSystemTime(time, &st) || st.wYear > 9999) st = SYSTEMTIME{};
  snprintf(text, 16, "%04u%02u%02uT%02u%02u%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
           st.wMinute, st.wSecond);
}

bool FindAppParam(const BYTE* params, DWORD paramsLength, BYTE tag, const BYTE** data,
                  DWORD* length) {
  DWORD i = 0;
  while (i + 2 <= paramsLength) {
    const DWORD size = params[i + 1];
    if (size > paramsLength - i - 2) return false;  // a triple past its header
    if (params[i] == tag) {
      *data = params + i + 2;
      *length = size;
      return true;
    }
    i += 2 + size;
  }
  return false;
}
