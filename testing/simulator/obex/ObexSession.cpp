// testing/simulator/obex/ObexSession.cpp - framing, pacing, faults and the
// "obex ..." control vocabulary of the module's OBEX mode.
#include "ObexSession.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

std::unique_ptr<IObexSession> CreateObexSession(const std::string& dataDir, SendFn send) {
  return std::make_unique<obex::CObexSession>(dataDir, std::move(send));
}

}  // namespace sim

namespace sim::obex {

namespace {

struct OpName {
  const char* name;
  int opClass;
};
const OpName kOpNames[] = {{"connect", 0x00}, {"disconnect", 0x01}, {"put", 0x02},
                           {"get", 0x03},     {"setpath", 0x05},    {"abort", 0x7F}};

// Request opcodes OBEX defines or leaves to users; any other byte cannot start
// a packet ("+++" passed on as data, CR, LF, text).
bool PlausibleOpcode(uint8_t b) {
  uint8_t low = b & 0x7F;
  return low <= 0x07 || (low >= 0x10 && low <= 0x1F) || low == 0x7F;
}

bool ParseNumber(const std::string& text, int base, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = strtol(text.c_str(), &end, base);
  return *end == '\0' && out >= 0;
}

bool ParseVolume(const std::string& text, int& v) {
  if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':')) return false;
  v = toupper(static_cast<unsigned char>(text[0])) - 'A';
  return v >= 0 && v < kMaxVolumes;
}

bool ParseOnOff(const std::string& text, bool& out) {
  if (text == "on" || text == "1") return out = true, true;
  if (text == "off" || text == "0") return out = false, true;
  return false;
}

// "at N [op]" from index i on.
std::string ParseTrigger(const std::vector<std::string>& w, size_t i, Fault& f) {
  if (i >= w.size()) return {};
  if (w[i] != "at" || i + 1 >= w.size() || !ParseNumber(w[i + 1], 10, f.count) || f.count < 1)
    return "expected: at N [connect|disconnect|put|get|setpath|abort]";
  if (i + 2 < w.size()) {
    for (const OpName& op : kOpNames)
      if (w[i + 2] == op.name) f.opClass = op.opClass;
    if (f.opClass < 0 || i + 3 < w.size()) return "unknown request kind " + w[i + 2];
  }
  return {};
}

}  // namespace

std::string Fault::Text() const {
  static const char* kNames[] = {"drop", "stall", "error", "reboot", "drop tx", "drop rx", "corrupt tx", "corrupt rx"};
  std::string t = kNames[kind];
  char buf[32];
  switch (kind) {
    case Stall: t += " " + std::to_string(arg); break;
    case Error: snprintf(buf, sizeof buf, " %02X", arg); t += buf; break;
    case Reboot: t += " " + std::to_string(arg); break;
    case CorruptTx:
    case CorruptRx: snprintf(buf, sizeof buf, " %ld %02X", count, arg); return t + buf;
    case DropTx:
    case DropRx: return t + " " + std::to_string(count);
    default: break;
  }
  t += " at " + std::to_string(count);
  for (const OpName& op : kOpNames)
    if (op.opClass == opClass) t += std::string(" ") + op.name;
  return t;
}

std::string ParseFault(const std::vector<std::string>& w, Fault& f) {
  f = Fault{};
  if (w.size() < 3) return "missing fault kind";
  const std::string& kind = w[2];
  long n = 0;
  if (kind == "drop" || kind == "corrupt") {
    if (w.size() >= 4 && (w[3] == "tx" || w[3] == "rx")) {
      bool tx = w[3] == "tx";
      f.kind = kind == "drop" ? (tx ? Fault::DropTx : Fault::DropRx) : (tx ? Fault::CorruptTx : Fault::CorruptRx);
      if (w.size() < 5 || !ParseNumber(w[4], 10, f.count) || (f.count < 1 && kind == "corrupt"))
        return "expected a byte count";
      f.arg = 0xFF;
      if (kind == "corrupt" && w.size() == 6) {
        if (!ParseNumber(w[5], 16, n) || n < 1 || n > 255) return "bad xor mask";
        f.arg = int(n);
      } else if (w.size() > 5) {
        return "too many words";
      }
      return {};
    }
    if (kind == "corrupt") return "expected: corrupt tx|rx N [MASK]";
    f.kind = Fault::Drop;
    return ParseTrigger(w, 3, f);
  }
  if (kind == "stall" || kind == "error") {
    f.kind = kind == "stall" ? Fault::Stall : Fault::Error;
    if (w.size() < 4 || !ParseNumber(w[3], kind == "stall" ? 10 : 16, n) || (kind == "error" && (n < 0x80 || n > 0xFF)))
      return kind == "stall" ? "expected milliseconds" : "expected a response code in hex (80..FF)";
    f.arg = int(n);
    return ParseTrigger(w, 4, f);
  }
  if (kind == "reboot") {
    f.kind = Fault::Reboot;
    f.arg = 1000;
    size_t i = 3;
    if (i < w.size() && w[i] != "at") {
      if (!ParseNumber(w[i], 10, n)) return "expected milliseconds";
      f.arg = int(n);
      ++i;
    }
    return ParseTrigger(w, i, f);
  }
  return "unknown fault " + kind;
}

CObexSession::CObexSession(const std::string& dataDir, SendFn send)
    : m_store(dataDir), m_server(m_store), m_send(std::move(send)) {}

int CObexSession::Baud() const {
  if (m_paceBaud > 0) return m_paceBaud;
  int b = m_hooks.baud ? m_hooks.baud() : 0;
  return b > 0 ? b : kDefaultPaceBaud;
}

SteadyTime::duration CObexSession::ByteTime(size_t bytes) const {
  // Ten bit times a byte: start bit, eight data bits, stop bit.
  return std::chrono::duration_cast<SteadyTime::duration>(std::chrono::nanoseconds(
      int64_t(bytes) * 10 * 1000000000LL / Baud()));
}

void CObexSession::OnBytes(const uint8_t* data, size_t length) {
  SteadyTime now = SteadyClock::now();
  if (m_dead || length == 0) return;
  Bytes chunk(data, data + length);
  size_t keep = chunk.size();
  bool drop = ApplyByteFaults(chunk, Fault::CorruptRx, Fault::DropRx, keep);
  chunk.resize(keep);
  SteadyTime lineStart = m_pace ? std::max(now, m_rxFree) : now;
  bool pcHadTurn = m_in.empty() && m_requests.empty() && m_outPos == m_out.size();
  m_line.Received(chunk.size(), lineStart, pcHadTurn);
  if (m_pace) m_rxFree = lineStart + ByteTime(chunk.size());
  m_in.insert(m_in.end(), chunk.begin(), chunk.end());
  m_lastRx = now;
  if (drop) {
    DropLine("fault: line dropped after the received byte count");
    return;
  }
  Frame(now);
  Pump(now);
}

void CObexSession::Frame(SteadyTime now) {
  while (!m_in.empty()) {
    if (m_skipAt) {
      auto cr = std::find(m_in.begin(), m_in.end(), '\r');
      if (cr == m_in.end() && m_in.size() < 256) return;
      std::string line(m_in.begin(), cr);
      m_server.Note("AT command in OBEX mode ignored: " + EscapeLogText(line));
      m_in.erase(m_in.begin(), cr == m_in.end() ? cr : cr + 1);
      m_skipAt = false;
      continue;
    }
    // No OBEX opcode is 'A' or 'a': a line reset's AT command in OBEX mode.
    if ((m_in[0] | 0x20) == 'a') {
      if (m_in.size() < 2) return;
      if ((m_in[1] | 0x20) == 't') {
        m_skipAt = true;
        continue;
      }
    }
    if (!PlausibleOpcode(m_in[0])) {
      size_t n = 1;
      while (n < m_in.size() && !PlausibleOpcode(m_in[n]) && (m_in[n] | 0x20) != 'a') ++n;
      m_server.Note("junk dropped: " + std::to_string(n) + " bytes " + HexText(m_in.data(), std::min<size_t>(n, 16)));
      m_in.erase(m_in.begin(), m_in.begin() + long(n));
      continue;
    }
    if (m_in.size() < 3) return;
    size_t len = (size_t(m_in[1]) << 8) | m_in[2];
    size_t hardLimit = std::max<size_t>(m_server.ReceiveLimit(), kDefaultMaxPacket);
    if (len < 3 || len > hardLimit) {
      m_server.Note("junk dropped: " + std::to_string(m_in.size()) + " bytes " +
                    HexText(m_in.data(), std::min<size_t>(m_in.size(), 16)));
      m_in.clear();
      return;
    }
    if (m_in.size() < len) return;
    Pending p;
    p.packet.assign(m_in.begin(), m_in.begin() + long(len));
    m_in.erase(m_in.begin(), m_in.begin() + long(len));
    p.readyAt = (m_pace ? std::max(now, m_rxFree) : now) + std::chrono::milliseconds(m_delayMs);
    m_line.Request();
    FireRequestFaults(p, now);
    m_requests.push_back(std::move(p));
  }
}

void CObexSession::FireRequestFaults(Pending& p, SteadyTime now) {
  int opClass = p.packet[0] & 0x7F;
  for (auto it = m_faults.begin(); it != m_faults.end();) {
    bool requestFault = it->kind == Fault::Drop || it->kind == Fault::Stall || it->kind == Fault::Error ||
                        it->kind == Fault::Reboot;
    if (!requestFault || (it->opClass >= 0 && it->opClass != opClass) || --it->count > 0) {
      ++it;
      continue;
    }
    switch (it->kind) {
      case Fault::Drop: p.drop = true; break;
      case Fault::Reboot: p.reboot = it->arg; break;
      case Fault::Error: p.error = uint8_t(it->arg); break;
      default:
        p.readyAt = std::max(p.readyAt, now) + std::chrono::milliseconds(it->arg);
        m_server.Note("fault: " + it->Text() + " (answer delayed)");
        break;
    }
    it = m_faults.erase(it);
  }
}

void CObexSession::Pump(SteadyTime now) {
  while (!m_dead && !m_requests.empty() && m_requests.front().readyAt <= now) {
    Pending p = std::move(m_requests.front());
    m_requests.pop_front();
    if (p.drop) {
      Request req;
      ParseRequest(p.packet.data(), p.packet.size(), req);
      DropLine("fault: line dropped at " + ObexServer::Describe(req));
      return;
    }
    if (p.reboot) {
      Reboot(*p.reboot, "fault: module reboot at " + OpcodeName(p.packet[0]));
      return;
    }
    Bytes rsp = p.error ? m_server.Refuse(p.packet.data(), p.packet.size(), *p.error)
                        : m_server.Handle(p.packet.data(), p.packet.size());
    if (m_outPos == m_out.size()) {
      m_out.clear();
      m_outPos = 0;
      // An idle line starts on the answer now, not when it last went quiet.
      m_txFree = std::max(m_txFree, now);
    }
    m_out.insert(m_out.end(), rsp.begin(), rsp.end());
  }
  if (!m_pace) {
    if (m_outPos < m_out.size()) {
      size_t n = m_out.size() - m_outPos;
      size_t from = m_outPos;
      m_outPos = m_out.size();
      m_line.Sent(n, now);
      Emit(m_out.data() + from, n);
    }
    return;
  }
  // A byte reaches the PC only once its last bit is on the line: whatever has
  // been fully sent by now goes out, the rest waits for its own time.
  while (!m_dead && m_outPos < m_out.size()) {
    size_t n = std::min(SentBy(now), m_out.size() - m_outPos);
    if (n == 0) break;
    size_t from = m_outPos;
    m_outPos += n;
    m_txFree += ByteTime(n);
    m_line.Sent(n, m_txFree);
    Emit(m_out.data() + from, n);
  }
}

size_t CObexSession::SentBy(SteadyTime now) const {
  if (now <= m_txFree) return 0;
  int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_txFree).count();
  return size_t(ns * Baud() / (10 * 1000000000LL));
}

SteadyTime CObexSession::NextByteDue() const {
  // About a millisecond of line time per write, the last piece when it ends.
  size_t slice = std::max<size_t>(1, size_t(Baud()) / 10000);
  // Rounded up, so that SentBy counts the piece whole at that time.
  int64_t bits = int64_t(std::min(slice, m_out.size() - m_outPos)) * 10 * 1000000000LL;
  return m_txFree + std::chrono::duration_cast<SteadyTime::duration>(
                        std::chrono::nanoseconds((bits + Baud() - 1) / Baud()));
}

bool CObexSession::ApplyByteFaults(Bytes& chunk, Fault::Kind corrupt, Fault::Kind drop, size_t& keep) {
  bool dropped = false;
  for (auto it = m_faults.begin(); it != m_faults.end();) {
    if (it->kind != corrupt && it->kind != drop) {
      ++it;
      continue;
    }
    if (size_t(it->count) > chunk.size()) {
      it->count -= long(chunk.size());
      ++it;
      continue;
    }
    if (it->kind == corrupt) {
      chunk[size_t(it->count) - 1] ^= uint8_t(it->arg);
      m_server.Note(std::string("fault: corrupted a ") + (corrupt == Fault::CorruptTx ? "sent" : "received") + " byte");
    } else {
      keep = std::min(keep, size_t(it->count));
      dropped = true;
    }
    it = m_faults.erase(it);
  }
  return dropped;
}

void CObexSession::Emit(const uint8_t* data, size_t length) {
  Bytes chunk(data, data + length);
  size_t send = chunk.size();
  bool drop = ApplyByteFaults(chunk, Fault::CorruptTx, Fault::DropTx, send);
  if (send && m_send) m_send(chunk.data(), send);
  if (drop) DropLine("fault: line dropped after the sent byte count");
}

void CObexSession::ClearLine() {
  m_in.clear();
  m_skipAt = false;
  m_requests.clear();
  m_out.clear();
  m_outPos = 0;
}

void CObexSession::DropLine(const std::string& why) {
  m_server.Note(why);
  m_dead = true;
  ClearLine();
  m_server.Reset(false);
  if (m_hooks.dropLine) m_hooks.dropLine();
}

void CObexSession::Reboot(int downMs, const std::string& why) {
  m_server.Note(why);
  ClearLine();
  m_server.Reset(true);
  // Without a line side to take the module back to command mode, carry on.
  m_dead = bool(m_hooks.reboot);
  if (m_hooks.reboot) m_hooks.reboot(downMs);
}

void CObexSession::Reset() {
  ClearLine();
  m_rxFree = m_txFree = SteadyTime{};
  m_server.Reset(false);
  m_dead = false;
}

std::optional<SteadyTime> CObexSession::NextDeadline() const {
  std::optional<SteadyTime> next;
  auto consider = [&next](SteadyTime t) {
    if (!next || t < *next) next = t;
  };
  if (!m_requests.empty()) consider(m_requests.front().readyAt);
  if (m_pace && m_outPos < m_out.size()) consider(NextByteDue());
  if (!m_in.empty()) consider(m_lastRx + std::chrono::milliseconds(kPartialTimeoutMs));
  return next;
}

void CObexSession::OnTimer(SteadyTime now) {
  if (!m_in.empty() && now - m_lastRx >= std::chrono::milliseconds(kPartialTimeoutMs)) {
    m_server.Note("truncated packet dropped: " + std::to_string(m_in.size()) + " bytes " +
                  HexText(m_in.data(), std::min<size_t>(m_in.size(), 16)));
    m_in.clear();
    m_skipAt = false;
  }
  Pump(now);
}

std::string CObexSession::Status() const {
  std::string s = "OK connected=" + std::to_string(m_server.Connected()) +
                  " volumes=" + std::to_string(m_store.VolumeCount()) +
                  " folder=" + EscapeLogText(m_server.CurrentFolder()) +
                  " maxpacket=" + std::to_string(m_server.Options().maxPacket) +
                  " pace=" + (m_pace ? "on" : "off") + " baud=" + std::to_string(Baud()) +
                  " delay=" + std::to_string(m_delayMs) + " dead=" + std::to_string(m_dead) +
                  " faults=" + std::to_string(m_faults.size()) + " log=" + std::to_string(m_server.LogCount());
  return s;
}

bool CObexSession::Control(const std::vector<std::string>& words, std::string& reply) {
  // The line side's "reset": back to the start-up settings (the volumes' data stays).
  if (words.size() == 1 && words[0] == "reset") {
    Reset();
    m_faults.clear();
    m_server.Options() = ServerOptions{};
    m_server.ClearLog();
    m_line.Clear();
    m_pace = false;
    m_paceBaud = m_delayMs = 0;
    reply = "OK";
    return true;
  }
  // The line side's "set volumes n|auto" comes here first.
  if (words.size() == 3 && words[0] == "set" && words[1] == "volumes") {
    reply = ControlObex({"obex", "volumes", words[2] == "auto" ? "0" : words[2]});
    return true;
  }
  if (words.empty() || words[0] != "obex") return false;
  reply = ControlObex(words);
  return true;
}

std::string CObexSession::ControlObex(const std::vector<std::string>& w) {
  const std::string sub = w.size() > 1 ? w[1] : "status";
  auto arg = [&w](size_t i) { return i < w.size() ? w[i] : std::string(); };
  long n = 0;
  int v = 0;
  bool on = false;
  ServerOptions& opt = m_server.Options();

  if (sub == "status") return Status();
  if (sub == "log") {
    size_t from = 1;
    if (w.size() > 2) {
      if (!ParseNumber(w[2], 10, n) || n < 1) return "ERR expected: obex log [FROM]";
      from = size_t(n);
    }
    std::string r = "OK " + std::to_string(m_server.LogCount());
    for (const std::string& e : m_server.LogEntries(from)) r += " | " + e;
    return r;
  }
  if (sub == "clearlog") {
    m_server.ClearLog();
    return "OK";
  }
  if (sub == "reset") {
    Reset();
    return "OK";
  }
  if (sub == "reboot") {
    if (w.size() > 2 && !ParseNumber(w[2], 10, n)) return "ERR expected: obex reboot [MS]";
    Reboot(w.size() > 2 ? int(n) : 1000, "control: module reboot");
    return "OK";
  }
  if (sub == "volumes") {
    if (!ParseNumber(arg(2), 10, n) || n > kMaxVolumes) return "ERR expected: obex volumes 0..3";
    m_store.SetVolumeCount(int(n));
    return "OK " + std::to_string(m_store.VolumeCount());
  }
  if (sub == "capacity" || sub == "label" || sub == "protect" || sub == "free" || sub == "used") {
    if (!ParseVolume(arg(2), v)) return "ERR expected a volume letter A..C";
    VolumeConfig vc = m_store.Volume(v);
    if (sub == "free") return "OK " + std::to_string(m_store.Free(v));
    if (sub == "used") return "OK " + std::to_string(m_store.Used(v));
    if (sub == "capacity") {
      if (w.size() == 3) return "OK " + std::to_string(vc.capacity);
      const std::string bytes = arg(3);
      char* end = nullptr;
      unsigned long long c = strtoull(bytes.c_str(), &end, 10);
      if (bytes.empty() || *end) return "ERR expected: obex capacity X BYTES";
      vc.capacity = c;
    } else if (sub == "label") {
      if (w.size() == 3) return "OK " + vc.label;
      std::string label;
      for (size_t i = 3; i < w.size(); ++i) label += (i > 3 ? " " : "") + w[i];
      vc.label = label;
    } else {
      if (!ParseOnOff(arg(3), on)) return "ERR expected: obex protect X on|off";
      vc.writeProtected = on;
    }
    m_store.SetVolume(v, vc);
    return "OK";
  }
  if (sub == "card") {
    if (!ParseVolume(arg(2), v) || (arg(3) != "in" && arg(3) != "out")) return "ERR expected: obex card X in|out";
    opt.cardsOut = arg(3) == "out" ? opt.cardsOut | (1u << v) : opt.cardsOut & ~(1u << v);
    return "OK";
  }
  if (sub == "stddirs") {
    std::vector<std::string> names;
    for (size_t i = 2; i < w.size(); ++i) names.push_back(w[i]);
    m_store.SetStdDirs(names);
    return "OK";
  }
  if (sub == "model") {
    if (w.size() < 3) return "ERR expected: obex model TEXT";
    std::string model;
    for (size_t i = 2; i < w.size(); ++i) model += (i > 2 ? " " : "") + w[i];
    m_store.WriteDeviceInfo(model);
    return "OK";
  }
  if (sub == "maxpacket") {
    if (!ParseNumber(arg(2), 10, n) || n > 65535) return "ERR expected: obex maxpacket 0..65535";
    opt.maxPacket = uint16_t(n);
    return "OK";
  }
  if (sub == "escape") {
    if (!ParseOnOff(arg(2), on)) return "ERR expected: obex escape on|off";
    opt.escapeNames = on;
    return "OK";
  }
  if (sub == "listing") {
    if (!ParseListingShape(arg(2), opt.listing)) return "ERR expected: obex listing whole|cut|quote|open|nul";
    return "OK";
  }
  if (sub == "pace") {
    if (arg(2) == "baud") {
      if (!ParseNumber(arg(3), 10, n) || n > 10000000) return "ERR expected: obex pace baud N";
      m_paceBaud = int(n);
      return "OK";
    }
    if (arg(2) == "delay") {
      if (!ParseNumber(arg(3), 10, n) || n > 600000) return "ERR expected: obex pace delay MS";
      m_delayMs = int(n);
      return "OK";
    }
    if (!ParseOnOff(arg(2), on)) return "ERR expected: obex pace on|off|baud N|delay MS";
    m_pace = on;
    return "OK";
  }
  if (sub == "line") {
    if (arg(2) == "clear") {
      m_line.Clear();
      return "OK";
    }
    if (w.size() > 2) return "ERR expected: obex line [clear]";
    return "OK " + m_line.Text();
  }
  if (sub == "fault") {
    if (arg(2) == "clear") {
      m_faults.clear();
      opt.refuseConnect.reset();
      return "OK";
    }
    if (arg(2) == "list") {
      std::string r = "OK " + std::to_string(m_faults.size() + (opt.refuseConnect ? 1 : 0));
      for (const Fault& f : m_faults) r += " | " + f.Text();
      if (opt.refuseConnect) {
        char buf[16];
        snprintf(buf, sizeof buf, "%02X", *opt.refuseConnect);
        r += std::string(" | refuse ") + buf;
      }
      return r;
    }
    if (arg(2) == "refuse") {
      if (arg(3) == "off") {
        opt.refuseConnect.reset();
        return "OK";
      }
      n = kRspServiceUnavailable;
      if (w.size() > 3 && (!ParseNumber(arg(3), 16, n) || n < 0x80 || n > 0xFF))
        return "ERR expected: obex fault refuse [CODE|off]";
      opt.refuseConnect = uint8_t(n);
      return "OK";
    }
    Fault f;
    std::string err = ParseFault(w, f);
    if (!err.empty()) return "ERR " + err;
    m_faults.push_back(f);
    return "OK " + f.Text();
  }
  return "ERR unknown obex command " + sub;
}

}  // namespace sim::obex
