// testing/simulator/obex/ObexServer.cpp - the module's OBEX file service.
#include "ObexServer.h"

#include <algorithm>
#include <cstring>

#include "Listing.h"

namespace sim::obex {

const uint8_t kFileTarget[16] = {0x6B, 0x01, 0xCB, 0x31, 0x41, 0x06, 0x11, 0xD4,
                                 0x9A, 0x77, 0x00, 0x50, 0xDA, 0x3F, 0x47, 0x1F};
const char kSyncTarget[9] = {'I', 'R', 'M', 'C', '-', 'S', 'Y', 'N', 'C'};
const uint8_t kFolderBrowsingTarget[16] = {0xF9, 0xEC, 0x7B, 0xC4, 0x95, 0x3C, 0x11, 0xD2,
                                           0x98, 0x4E, 0x52, 0x54, 0x00, 0xDC, 0x9E, 0x09};

namespace {

constexpr size_t kLogLimit = 20000;

Bytes Reply(uint8_t code) { return PacketWriter(code).Finish(); }

// "X:" (a volume name), else -1.
int VolumeName(const std::string& name) {
  if (name.size() != 2 || name[1] != ':') return -1;
  char c = char(toupper(static_cast<unsigned char>(name[0])));
  return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
}

std::string Utf8OfName(const Bytes& data, bool& ok) {
  auto text = Utf16BeToUtf8(data.data(), data.size());
  ok = text.has_value();
  return text.value_or(std::string());
}

uint64_t BigEndian(const Bytes& v) {
  uint64_t n = 0;
  for (uint8_t b : v) n = (n << 8) | b;
  return n;
}

// The permission text of SetAttributes: "RWD" or "RD""R" (user letters in
// quotes, then optionally the group letters in quotes).
bool ParsePermissionText(const std::string& text, std::string& user, std::string& group) {
  if (text.size() < 2 || text[0] != '"') return false;
  size_t end = text.find('"', 1);
  if (end == std::string::npos) return false;
  user = text.substr(1, end - 1);
  group.clear();
  if (end + 1 == text.size()) return true;
  if (text[end + 1] != '"') return false;
  size_t gEnd = text.find('"', end + 2);
  if (gEnd == std::string::npos || gEnd + 1 != text.size()) return false;
  group = text.substr(end + 2, gEnd - end - 2);
  return true;
}

std::string AppParamText(const AppParam& p) {
  std::string tag = p.tag > 0x20 && p.tag < 0x7F ? std::string(1, char(p.tag)) : "x" + HexText(&p.tag, 1);
  std::string value;
  if (p.tag == '5' || p.tag == '6') {
    auto t = Utf16BeToUtf8(p.value.data(), p.value.size());
    value = t ? EscapeLogText(*t) : "hex:" + HexText(p.value.data(), p.value.size());
  } else if ((p.tag == '2' || p.tag == '7' || p.tag == '9') && !p.value.empty() && p.value.size() <= 4) {
    value = std::to_string(BigEndian(p.value));
  } else {
    value = EscapeLogText(std::string(p.value.begin(), p.value.end()));
  }
  return " ap" + tag + "=" + value;
}

}  // namespace

ObexServer::ObexServer(FlashStore& store) : m_store(store) {}

uint16_t ObexServer::ReceiveLimit() const { return std::max<uint16_t>(m_options.maxPacket, 255); }

uint16_t ObexServer::SendLimit() const {
  return m_connected ? std::min(ReceiveLimit(), m_clientMax) : uint16_t(255);
}

std::string ObexServer::CurrentFolder() const {
  std::string s = std::string(1, char('A' + m_cur.volume)) + ":\\";
  for (auto& p : m_cur.parts) s += p + "\\";
  return s;
}

void ObexServer::Note(const std::string& entry) {
  m_log.push_back(entry);
  if (m_log.size() > kLogLimit) {
    m_log.pop_front();
    ++m_logBase;
  }
}

std::vector<std::string> ObexServer::LogEntries(size_t from) const {
  std::vector<std::string> out;
  for (size_t i = std::max(from, m_logBase + 1); i <= LogCount(); ++i)
    out.push_back(std::to_string(i) + " " + m_log[i - 1 - m_logBase]);
  return out;
}

void ObexServer::ClearLog() {
  m_logBase = 0;
  m_log.clear();
}

void ObexServer::EndOperation() {
  m_op = Op::None;
  m_names.clear();
  m_type.clear();
  m_times.clear();
  m_length.reset();
  m_appParams.clear();
  m_body.clear();
  m_bodySeen = m_prepared = m_getBuilt = m_getHasBody = false;
  m_putRoom = 0;
  m_getHeaders.clear();
  m_getData.clear();
  m_getPos = 0;
  m_getKey.clear();
  m_getBase = 0;
}

void ObexServer::Reset(bool reboot) {
  EndOperation();
  m_connected = false;
  m_clientMax = 255;
  m_cur = Location{};
  if (reboot) m_stops.clear();
}

std::string ObexServer::Describe(const Request& req) {
  std::string d = OpcodeName(req.opcode);
  char buf[64];
  if (req.opcode == kOpConnect) {
    snprintf(buf, sizeof buf, " version=%02X flags=%02X max=%u", req.version, req.connectFlags, req.maxPacket);
    d += buf;
  } else if (req.opcode == kOpSetPath) {
    snprintf(buf, sizeof buf, " flags=%u constants=%u", req.setpathFlags, req.constants);
    d += buf;
  }
  for (const Header& h : req.headers) {
    switch (h.id) {
      case kHdrName: {
        auto t = Utf16BeToUtf8(h.data.data(), h.data.size());
        d += " name=" + (t ? EscapeLogText(*t) : "hex:" + HexText(h.data.data(), h.data.size()));
        break;
      }
      case kHdrType: d += " type=" + EscapeLogText(std::string(h.data.begin(), h.data.end())); break;
      case kHdrTime: d += " time=" + EscapeLogText(std::string(h.data.begin(), h.data.end())); break;
      case kHdrTarget: d += " target=" + HexText(h.data.data(), h.data.size()); break;
      case kHdrWho: d += " who=" + HexText(h.data.data(), h.data.size()); break;
      case kHdrBody: d += " body=" + std::to_string(h.data.size()); break;
      case kHdrEndOfBody: d += " eob=" + std::to_string(h.data.size()); break;
      case kHdrLength: d += " length=" + std::to_string(h.value); break;
      case kHdrConnectionId: d += " connid=" + std::to_string(h.value); break;
      case kHdrAppParams: {
        std::vector<AppParam> ps;
        if (!ParseAppParams(h.data, ps).empty()) {
          d += " ap-bad=" + HexText(h.data.data(), h.data.size());
        } else {
          for (auto& p : ps) d += AppParamText(p);
        }
        break;
      }
      default:
        snprintf(buf, sizeof buf, " h%02X=", h.id);
        d += buf + ((h.id >> 6) >= 2 ? std::to_string(h.value) : HexText(h.data.data(), h.data.size()));
    }
  }
  return d;
}

Bytes ObexServer::Handle(const uint8_t* data, size_t length) {
  Request req;
  std::string err = ParseRequest(data, length, req);
  Bytes rsp;
  if (!err.empty()) {
    EndOperation();
    rsp = Reply(kRspBadRequest);
    Note("BAD " + OpcodeName(length ? data[0] : 0) + " " + EscapeLogText(err) + " len=" +
         std::to_string(length) + " -> C0");
    return rsp;
  }
  std::string d = Describe(req);
  if (m_connected && length > ReceiveLimit()) {
    EndOperation();
    rsp = Reply(kRspBadRequest);
    d += " (packet over the announced maximum)";
  } else {
    try {
      rsp = Dispatch(req);
    } catch (const std::exception& e) {
      // A host file-system surprise must not take the module down.
      EndOperation();
      rsp = Reply(kRspInternalError);
      d += " (" + EscapeLogText(e.what()) + ")";
    }
  }
  Note(d + " -> " + HexText(rsp.data(), 1));
  return rsp;
}

Bytes ObexServer::Refuse(const uint8_t* data, size_t length, uint8_t code) {
  EndOperation();
  Bytes rsp = length && data[0] == kOpConnect ? ConnectReply(code, {}) : Reply(code);
  Request req;
  std::string d = ParseRequest(data, length, req).empty() ? Describe(req) : "BAD";
  Note(d + " -> " + HexText(&code, 1) + " (injected)");
  return rsp;
}

Bytes ObexServer::Dispatch(const Request& req) {
  if (const Header* id = req.Find(kHdrConnectionId); id && m_connected && id->value != m_connectionId) {
    EndOperation();
    return Reply(kRspServiceUnavailable);
  }
  switch (req.opcode) {
    case kOpConnect: return Connect(req);
    case kOpDisconnect:
      Reset(false);
      return Reply(kRspOk);
    case kOpAbort:
      EndOperation();
      return Reply(kRspOk);
    default: break;
  }
  bool known = req.opcode == kOpSetPath || (req.opcode & 0x7F) == kOpPut || (req.opcode & 0x7F) == kOpGet;
  if (!known) {
    EndOperation();
    return Reply(kRspNotImplemented);
  }
  if (!m_connected) {
    EndOperation();
    return Reply(kRspServiceUnavailable);
  }
  if (req.opcode == kOpSetPath) {
    EndOperation();
    return SetPath(req);
  }
  // A removed card: everything on that volume answers "wrong disk".
  if (CardOut(m_cur.volume)) {
    EndOperation();
    return Reply(kRspMovedTemporarily);
  }
  return (req.opcode & 0x7F) == kOpPut ? Put(req) : Get(req);
}

Bytes ObexServer::ConnectReply(uint8_t code, const Bytes& who) const {
  PacketWriter w(code);
  w.Byte(0x10).Byte(0).U16(m_options.maxPacket);
  if (code == kRspOk && m_connected) {
    w.U32(kHdrConnectionId, m_connectionId);
    if (!who.empty()) w.Sequence(kHdrWho, who);
  }
  return w.Finish();
}

Bytes ObexServer::Connect(const Request& req) {
  Reset(false);
  if (m_options.refuseConnect) return ConnectReply(*m_options.refuseConnect, {});
  if (req.maxPacket < 255) return ConnectReply(kRspBadRequest, {});
  Bytes who;
  if (const Header* t = req.Find(kHdrTarget)) {
    auto is = [t](const void* target, size_t n) { return t->data.size() == n && memcmp(t->data.data(), target, n) == 0; };
    if (!is(kFileTarget, sizeof kFileTarget) && !is(kSyncTarget, sizeof kSyncTarget) &&
        !is(kFolderBrowsingTarget, sizeof kFolderBrowsingTarget))
      return ConnectReply(kRspNotFound, {});
    who = t->data;
  }
  m_connected = true;
  m_clientMax = req.maxPacket;
  ++m_connectionId;
  return ConnectReply(kRspOk, who);
}

Bytes ObexServer::SetPath(const Request& req) {
  Location next = m_cur;
  if (req.setpathFlags & 1) {
    if (next.parts.empty()) return Reply(kRspNotFound);
    next.parts.pop_back();
  }
  const Header* nameHdr = req.Find(kHdrName);
  uint8_t code = kRspOk;
  if (nameHdr) {
    bool ok = false;
    std::string name = Utf8OfName(nameHdr->data, ok);
    if (!ok) return Reply(kRspBadRequest);
    int volume = VolumeName(name);
    if (name.empty()) {
      next.parts.clear();
    } else if (volume >= 0) {
      if (volume >= m_store.VolumeCount()) return Reply(kRspPreconditionFailed);
      if (CardOut(volume)) return Reply(kRspMovedTemporarily);
      next = Location{volume, {}};
    } else if (CardOut(next.volume)) {
      return Reply(kRspMovedTemporarily);
    } else {
      if (FlashStore::CheckName(name) != kRspOk) return Reply(kRspBadRequest);
      bool isFolder = false;
      auto host = m_store.FindChild(next, name, &isFolder);
      bool mayCreate = !(req.setpathFlags & 2);
      if (host && !isFolder) return Reply(mayCreate ? kRspConflict : kRspNotFound);
      if (host) {
        // Asked to create what is there: "accepted", which the client reads as "nothing to do".
        code = mayCreate ? kRspAccepted : kRspOk;
        next.parts.push_back(*host);
      } else {
        if (!mayCreate) return Reply(kRspNotFound);
        code = m_store.CreateFolder(next, name);
        if (code != kRspOk) return Reply(code);
        next.parts.push_back(name);
      }
    }
  }
  if (!m_store.FolderExists(next)) return Reply(kRspNotFound);
  m_cur = next;
  return Reply(code);
}

// Collects the headers of one packet of the operation under way.
static void Collect(const Request& req, std::vector<std::string>& names, std::string& type,
                    std::vector<std::string>& times, std::optional<uint32_t>& length, Bytes& appParams, Bytes& body,
                    bool& bodySeen, bool& bad) {
  for (const Header& h : req.headers) {
    switch (h.id) {
      case kHdrName: {
        bool ok = false;
        names.push_back(Utf8OfName(h.data, ok));
        if (!ok) bad = true;
        break;
      }
      case kHdrType:
        type.assign(h.data.begin(), h.data.end());
        while (!type.empty() && type.back() == '\0') type.pop_back();
        break;
      case kHdrTime: times.emplace_back(h.data.begin(), h.data.end()); break;
      case kHdrLength: length = h.value; break;
      case kHdrAppParams: appParams.insert(appParams.end(), h.data.begin(), h.data.end()); break;
      case kHdrBody:
      case kHdrEndOfBody:
        body.insert(body.end(), h.data.begin(), h.data.end());
        bodySeen = true;
        break;
      default: break;
    }
  }
}

int ObexServer::VolumeOfNames(size_t skipLast) const {
  for (size_t i = 0; i + skipLast < m_names.size(); ++i) {
    int v = VolumeName(m_names[i]);
    if (v >= 0) return v;
  }
  return m_cur.volume;
}

uint8_t ObexServer::ResolvePath(const std::string& path, Location& folder, std::string& name) const {
  std::string rest = path;
  folder = m_cur;
  if (rest.size() >= 2 && VolumeName(rest.substr(0, 2)) >= 0) {
    int v = VolumeName(rest.substr(0, 2));
    if (v >= m_store.VolumeCount()) return kRspPreconditionFailed;
    folder = Location{v, {}};
    rest = rest.substr(2);
  }
  if (!rest.empty() && rest[0] == '/') {
    folder.parts.clear();
    rest = rest.substr(1);
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t slash = rest.find('/', start);
    parts.push_back(rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    if (FlashStore::CheckName(parts[i]) != kRspOk) return kRspBadRequest;
    if (i + 1 == parts.size()) break;
    bool isFolder = false;
    auto host = m_store.FindChild(folder, parts[i], &isFolder);
    if (!host || !isFolder) return kRspNotFound;
    folder.parts.push_back(*host);
  }
  name = parts.back();
  return kRspOk;
}

Bytes ObexServer::Put(const Request& req) {
  if (m_op != Op::Put) {
    EndOperation();
    m_op = Op::Put;
  }
  bool bad = false;
  Collect(req, m_names, m_type, m_times, m_length, m_appParams, m_body, m_bodySeen, bad);
  if (bad) {
    EndOperation();
    return Reply(kRspBadRequest);
  }
  // Refuse a file that cannot be stored as soon as its data starts, as a
  // module with a full card would, rather than after the whole body.
  if (m_bodySeen && m_appParams.empty() && !m_prepared) {
    uint8_t code = PreparePut();
    if (code != kRspOk) {
      EndOperation();
      return Reply(code);
    }
  }
  if (m_prepared && m_body.size() > m_putRoom) {
    EndOperation();
    return Reply(kRspDatabaseFull);
  }
  if (!req.IsFinal()) return Reply(kRspContinue);
  uint8_t code = FinishPut();
  EndOperation();
  return Reply(code);
}

uint8_t ObexServer::PreparePut() {
  m_prepared = true;
  if (m_names.empty() || m_names.back().empty()) return kRspBadRequest;
  const std::string& name = m_names.back();
  uint64_t announced = m_length.value_or(0);
  uint8_t code = m_store.CheckWrite(m_cur, name, announced);
  if (code != kRspOk) return code;
  // Room for the body: what the file may grow to before the card is full.
  Entry old;
  uint64_t oldSize = m_store.Stat(m_cur, name, old) == kRspOk ? old.size : 0;
  bool telecom = !m_cur.parts.empty() && FlashStore::SameName(m_cur.parts[0], kTelecom);
  m_putRoom = telecom ? UINT64_MAX : m_store.Free(m_cur.volume) + oldSize;
  return kRspOk;
}

uint8_t ObexServer::FinishPut() {
  std::vector<AppParam> params;
  if (!ParseAppParams(m_appParams, params).empty()) return kRspBadRequest;
  auto find = [&params](uint8_t tag) -> const AppParam* {
    for (auto& p : params)
      if (p.tag == tag) return &p;
    return nullptr;
  };
  for (auto& p : params)
    if (!strchr("1234568", p.tag) || p.tag == 0) return kRspBadRequest;
  if (m_bodySeen && !params.empty()) return kRspBadRequest;

  if (const AppParam* verb = find('4')) {
    const AppParam *src = find('5'), *dst = find('6');
    std::string v(verb->value.begin(), verb->value.end());
    if (!src || !dst || (v != "copy" && v != "move")) return kRspBadRequest;
    auto s = Utf16BeToUtf8(src->value.data(), src->value.size());
    auto t = Utf16BeToUtf8(dst->value.data(), dst->value.size());
    if (!s || !t) return kRspBadRequest;
    Location sf, df;
    std::string sn, dn;
    if (uint8_t c = ResolvePath(*s, sf, sn); c != kRspOk) return c;
    if (uint8_t c = ResolvePath(*t, df, dn); c != kRspOk) return c;
    if (CardOut(sf.volume) || CardOut(df.volume)) return kRspMovedTemporarily;
    return m_store.CopyOrMove(sf, sn, df, dn, v == "move");
  }
  if (find('1') || find('3')) {
    int v = VolumeOfNames(0);
    for (auto& n : m_names)
      if (!n.empty() && VolumeName(n) < 0) return kRspBadRequest;
    return find('1') ? m_store.Format(v) : m_store.MakeStdDirs(v);
  }
  if (const AppParam* attr = find('2')) {
    if (attr->value.size() != 1 || attr->value[0] != 3 || m_names.empty()) return kRspBadRequest;
    const std::string& label = m_names.back();
    if (DecodeUtf8Lenient(label).size() > kMaxLabelChars) return kRspBadRequest;
    for (char32_t c : DecodeUtf8Lenient(label))
      if (c < 0x20 || std::u32string(U"\\/:*?\"<>|").find(c) != std::u32string::npos) return kRspBadRequest;
    int v = VolumeOfNames(1);
    VolumeConfig vc = m_store.Volume(v);
    if (vc.writeProtected) return kRspDatabaseLocked;
    vc.label = label;
    m_store.SetVolume(v, vc);
    return kRspOk;
  }
  if (const AppParam* perm = find('8')) {
    if (m_names.empty() || m_names.back().empty()) return kRspBadRequest;
    const std::string& name = m_names.back();
    if (!perm->value.empty()) {
      std::string user, group;
      if (!ParsePermissionText(std::string(perm->value.begin(), perm->value.end()), user, group))
        return kRspBadRequest;
      if (uint8_t c = m_store.SetPermissions(m_cur, name, user, group); c != kRspOk) return c;
    }
    // SetTime sends created, last write and last access, in this order.
    Times times;
    std::optional<time_t>* slots[3] = {&times.created, &times.modified, &times.accessed};
    if (m_times.size() == 1) slots[0] = &times.modified;
    for (size_t i = 0; i < m_times.size() && i < 3; ++i) {
      if (m_times[i] == "00000000T000000") continue;  // a time left unset
      auto t = ParseTimeText(m_times[i]);
      if (!t) return kRspBadRequest;
      *slots[i] = *t;
    }
    if (m_times.empty()) {
      Entry e;
      return m_store.Stat(m_cur, name, e);
    }
    return m_store.SetTimes(m_cur, name, times);
  }
  if (m_names.empty() || m_names.back().empty()) return kRspBadRequest;
  if (!m_bodySeen) return m_store.Delete(m_cur, m_names.back());
  Times times;
  if (!m_times.empty() && m_times[0] != "00000000T000000") {
    auto t = ParseTimeText(m_times[0]);
    if (!t) return kRspBadRequest;
    times.modified = *t;
  }
  if (m_length && *m_length != m_body.size())
    Note("note: PUT Length " + std::to_string(*m_length) + " but " + std::to_string(m_body.size()) + " body bytes");
  return m_store.WriteFile(m_cur, m_names.back(), m_body, times);
}

uint64_t ObexServer::ResumeCount(const std::string& key, uint8_t low) const {
  auto it = m_stops.find(key);
  if (it == m_stops.end() || it->second < low) return low;
  return it->second - ((it->second - low) % 256);
}

Bytes ObexServer::Get(const Request& req) {
  if (m_op != Op::Get) {
    EndOperation();
    m_op = Op::Get;
  }
  if (!m_getBuilt) {
    bool bad = false;
    bool bodySeen = false;
    Bytes body;
    Collect(req, m_names, m_type, m_times, m_length, m_appParams, body, bodySeen, bad);
    if (bad) {
      EndOperation();
      return Reply(kRspBadRequest);
    }
    if (!req.IsFinal()) return Reply(kRspContinue);  // more request headers to come
    uint8_t code = BuildGet();
    if (code != kRspOk) {
      EndOperation();
      return Reply(code);
    }
    m_getBuilt = true;
  }
  return NextGetPacket();
}

uint8_t ObexServer::BuildGet() {
  std::vector<AppParam> params;
  if (!ParseAppParams(m_appParams, params).empty()) return kRspBadRequest;
  for (auto& p : params)
    if (p.tag != '2' && p.tag != '7' && p.tag != '9') return kRspBadRequest;
  auto find = [&params](uint8_t tag) -> const AppParam* {
    for (auto& p : params)
      if (p.tag == tag) return &p;
    return nullptr;
  };
  std::string name;
  for (auto& n : m_names)
    if (!n.empty() && VolumeName(n) < 0) name = n;

  if (const AppParam* cap = find('2')) {
    if (cap->value.size() != 1) return kRspBadRequest;
    int v = VolumeOfNames(0);
    PacketWriter w(0);
    if (cap->value[0] == 3) {
      Bytes text = Utf8ToUtf16Be(m_store.Volume(v).label, true);
      // The label travels as a Name header nested in the Name header's value.
      Bytes inner{kHdrName, uint8_t((text.size() + 3) >> 8), uint8_t(text.size() + 3)};
      inner.insert(inner.end(), text.begin(), text.end());
      w.Sequence(kHdrName, inner);
    } else {
      uint64_t n;
      switch (cap->value[0]) {
        case 1: n = m_store.Volume(v).capacity; break;
        case 2: n = m_store.Free(v); break;
        case 4: n = m_store.Used(v); break;
        default: return kRspBadRequest;
      }
      uint32_t n32 = uint32_t(std::min<uint64_t>(n, UINT32_MAX));
      Bytes ap;
      AppendAppParam(ap, '2', {uint8_t(n32 >> 24), uint8_t(n32 >> 16), uint8_t(n32 >> 8), uint8_t(n32)});
      w.Sequence(kHdrAppParams, ap);
    }
    Bytes pkt = w.Finish();
    m_getHeaders.assign(pkt.begin() + 3, pkt.end());
    return kRspOk;
  }

  if (m_type == kListingType) {
    Location folder = m_cur;
    if (!name.empty()) {
      bool isFolder = false;
      auto host = m_store.FindChild(folder, name, &isFolder);
      if (!host || !isFolder) return kRspNotFound;
      folder.parts.push_back(*host);
    }
    std::vector<Entry> entries;
    if (uint8_t c = m_store.List(folder, entries); c != kRspOk) return c;
    std::string xml = BuildFolderListing(entries, !folder.parts.empty(), m_options.escapeNames);
    BreakListing(xml, m_options.listing);
    m_getData.assign(xml.begin(), xml.end());
  } else {
    if (name.empty()) return m_type.empty() ? kRspBadRequest : kRspNotFound;
    Location folder;
    std::string leaf;
    if (uint8_t c = ResolvePath(name, folder, leaf); c != kRspOk) return c;  // "telecom/devinfo.txt" too
    Bytes content;
    if (uint8_t c = m_store.ReadFile(folder, leaf, content); c != kRspOk) return c;
    m_getKey = m_store.HostPath(folder, *m_store.FindChild(folder, leaf, nullptr));
    const AppParam* resume = find('7');
    const AppParam* sum = find('9');
    if ((resume && resume->value.size() != 1) || (sum && sum->value.size() != 1)) return kRspBadRequest;
    if (sum) {
      uint64_t n = std::min<uint64_t>(ResumeCount(m_getKey, sum->value[0]), content.size());
      uint16_t crc = Crc16X25(content.data(), n);
      Bytes ap;
      AppendAppParam(ap, '9', {uint8_t(crc >> 8), uint8_t(crc)});
      PacketWriter w(0);
      w.Sequence(kHdrAppParams, ap);
      Bytes pkt = w.Finish();
      m_getHeaders.assign(pkt.begin() + 3, pkt.end());
      m_getKey.clear();
      return kRspOk;
    }
    m_getBase = resume ? std::min<uint64_t>(ResumeCount(m_getKey, resume->value[0]), content.size()) : 0;
    m_getData.assign(content.begin() + long(m_getBase), content.end());
  }
  m_getHasBody = true;
  PacketWriter w(0);
  w.U32(kHdrLength, uint32_t(m_getData.size()));
  Bytes pkt = w.Finish();
  m_getHeaders.assign(pkt.begin() + 3, pkt.end());
  return kRspOk;
}

Bytes ObexServer::NextGetPacket() {
  size_t limit = SendLimit();
  size_t remaining = m_getData.size() - m_getPos;
  size_t room = limit - 3 - m_getHeaders.size() - 3;
  bool last = !m_getHasBody || remaining <= room;
  PacketWriter w(last ? kRspOk : kRspContinue);
  w.Raw(m_getHeaders.data(), m_getHeaders.size());
  m_getHeaders.clear();
  if (m_getHasBody) {
    size_t n = last ? remaining : room;
    // Data goes in Body while more follows, End of Body in the final packet.
    w.Sequence(last ? kHdrEndOfBody : kHdrBody, m_getData.data() + m_getPos, n);
    m_getPos += n;
    if (!m_getKey.empty()) m_stops[m_getKey] = m_getBase + m_getPos;
  }
  Bytes pkt = w.Finish();
  if (last) EndOperation();
  return pkt;
}

}  // namespace sim::obex
