// testing/simulator/Modem.cpp - AT command mode, escape and line behaviour.
#include "Modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace sim {
namespace {

constexpr size_t kMaxCommand = 512;  // a longer line is cut, as a modem's buffer would
constexpr size_t kMaxLog = 512;
constexpr size_t kMaxRates = 256;

const char kOk[] = "\r\nOK\r\n";
const char kError[] = "\r\nERROR\r\n";

bool ParseInt(const std::string& s, int& value, int lo, int hi) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseOnOff(const std::string& s, bool& value) {
  if (s == "on") value = true;
  else if (s == "off") value = false;
  else return false;
  return true;
}

// The rest of the line after the first n words, blanks kept.
std::string RestAfterWords(const std::string& line, size_t n) {
  size_t i = 0;
  for (size_t w = 0; w < n; ++w) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  }
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  return line.substr(i);
}

std::string Join(const std::vector<std::string>& words, const char* sep) {
  std::string s;
  for (const auto& w : words) {
    if (!s.empty()) s += sep;
    s += w;
  }
  return s;
}

}  // namespace

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

std::string ToUpper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool ParseHex(const std::vector<std::string>& words, size_t first, std::string& out) {
  std::string digits;
  for (size_t i = first; i < words.size(); ++i) digits += words[i];
  if (digits.empty() || digits.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(digits[i])) ||
        !std::isxdigit(static_cast<unsigned char>(digits[i + 1])))
      return false;
    out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }
  return true;
}

std::string EscapeWord(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c <= ' ' || c == '%' || c >= 0x7f) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

CModem::CModem(IObexSession* session, SendFn send, std::function<int()> lineBaud)
    : m_session(session), m_send(std::move(send)), m_lineBaud(std::move(lineBaud)) {}

void CModem::OnLine(const uint8_t* data, size_t length, TimePoint now, int lineBaud) {
  if (length == 0) return;
  CheckEscape(now);
  if ((m_rates.empty() || m_rates.back() != lineBaud) && m_rates.size() < kMaxRates)
    m_rates.push_back(lineBaud);
  // Silence since start-up counts as a long pause.
  TimePoint before = m_lastRx.value_or(now - std::chrono::hours(1));
  m_lastRx = now;
  if (m_lineDropped || m_downUntil) return;  // nobody listening
  if (m_settings.baud != 0 && lineBaud != m_settings.baud) {
    // At another rate the module sees only noise.
    m_dropped += length;
    return;
  }
  size_t done = 0;
  while (done < length) {
    if (!m_obex) {
      std::string out;
      done += AtBytes(data + done, length - done, out);
      if (!out.empty() && m_send) m_send(reinterpret_cast<const uint8_t*>(out.data()), out.size());
    } else {
      ObexBytes(data + done, length - done, now, done == 0 ? before : now);
      done = length;
    }
  }
}

size_t CModem::AtBytes(const uint8_t* data, size_t length, std::string& out) {
  for (size_t k = 0; k < length; ++k) {
    char c = static_cast<char>(data[k]);
    if (m_settings.echo) out += c;
    if (c == '\r') {
      std::string line;
      line.swap(m_command);
      Execute(line, out);
      if (m_obex) return k + 1;  // the rest is for the OBEX service
    } else if (c == '\b' || c == 0x7f) {
      if (!m_command.empty()) m_command.pop_back();
    } else if (c != '\n' && m_command.size() < kMaxCommand) {
      m_command += c;
    }
  }
  return length;
}

void CModem::ObexBytes(const uint8_t* data, size_t length, TimePoint now, TimePoint before) {
  const auto guard = std::chrono::milliseconds(m_settings.guardMs);
  std::vector<uint8_t> batch;
  batch.reserve(length + 3);
  for (size_t k = 0; k < length; ++k) {
    TimePoint previous = k == 0 ? before : now;
    if (data[k] == '+') {
      if (m_pendingPlus > 0 && m_pendingPlus < 3 && now - m_plusTime < guard) {
        ++m_pendingPlus;
        m_plusTime = now;
        continue;
      }
      bool silentBefore = m_pendingPlus == 0 ? now - previous >= guard : now - m_plusTime >= guard;
      if (silentBefore) {
        batch.insert(batch.end(), m_pendingPlus, '+');
        m_pendingPlus = 1;
        m_plusTime = now;
        continue;
      }
    }
    // Held-back plus signs were data after all.
    batch.insert(batch.end(), m_pendingPlus, '+');
    m_pendingPlus = 0;
    batch.push_back(data[k]);
  }
  if (!batch.empty() && m_session) m_session->OnBytes(batch.data(), batch.size());
}

void CModem::CheckEscape(TimePoint now) {
  if (m_obex && m_pendingPlus == 3 &&
      now - m_plusTime >= std::chrono::milliseconds(m_settings.guardMs)) {
    Log("+++");
    ++m_counts["+++"];
    LeaveObex();
  }
}

void CModem::LeaveObex() {
  m_obex = false;
  m_pendingPlus = 0;
  m_command.clear();
  if (m_session) m_session->Reset();
}

int CModem::VolumeCount() const {
  if (m_settings.volumes >= 0) return m_settings.volumes;
  return m_session ? m_session->VolumeCount() : 1;
}

void CModem::Log(const std::string& entry) {
  m_log.push_back(entry);
  if (m_log.size() > kMaxLog) m_log.pop_front();
}

void CModem::Execute(const std::string& line, std::string& out) {
  // Anything before "AT" is line noise (a "+++" sent in command mode, say).
  std::string upper = ToUpper(line);
  size_t at = upper.find("AT");
  if (at == std::string::npos) return;
  std::string cmd = upper.substr(at);
  while (!cmd.empty() && std::isspace(static_cast<unsigned char>(cmd.back()))) cmd.pop_back();
  ++m_counts[cmd];
  Log(cmd);

  auto reply = m_settings.replies.find(cmd);
  if (reply != m_settings.replies.end()) {
    if (reply->second) out += *reply->second;
    return;
  }
  auto cme = m_settings.cme.find(cmd);
  if (cme != m_settings.cme.end()) {
    out += "\r\n+CME ERROR: " + std::to_string(cme->second) + "\r\n";
    return;
  }

  if (cmd == "AT" || cmd == "AT&F" || cmd == "ATZ" || cmd == "AT\\Q0" || cmd == "AT\\Q1" ||
      cmd == "AT\\Q2" || cmd == "AT\\Q3") {
    out += kOk;
  } else if (cmd == "ATE0" || cmd == "ATE1") {
    m_settings.echo = cmd == "ATE1";
    out += kOk;
  } else if (cmd == "AT+CGMM" || cmd == "AT+GMM") {
    out += "\r\n" + m_settings.model + "\r\n" + kOk;
  } else if (cmd == "AT^SQWE=100") {
    switch (m_settings.sqwe100) {
      case Sqwe100Mode::Normal:
        out += "\r\n^SQWE: " + std::to_string(VolumeCount()) + "\r\n" + kOk;
        break;
      case Sqwe100Mode::Error: out += kError; break;
      case Sqwe100Mode::BareOk: out += kOk; break;
    }
  } else if (cmd == "AT^SQWE=3") {
    out += kOk;
    m_obex = true;
    m_pendingPlus = 0;
  } else {
    out += kError;
  }
}

void CModem::OnDtr(bool high, TimePoint now) {
  if (high == m_dtr) return;
  m_dtr = high;
  if (high) {
    if (m_settings.cts == CtsMode::Delay)
      m_ctsAt = now + std::chrono::milliseconds(m_settings.ctsDelayMs);
  } else {
    m_ctsAt.reset();
    // DTR low ends the data call, as with AT&D2, and revives a dropped line.
    if (m_obex || m_lineDropped) {
      m_lineDropped = false;
      LeaveObex();
    }
  }
  UpdateCts(now);
}

void CModem::DropLine(TimePoint now) {
  m_lineDropped = true;
  m_pendingPlus = 0;
  UpdateCts(now);
}

void CModem::Reboot(int downMs, TimePoint now) {
  m_lineDropped = false;
  LeaveObex();
  m_downUntil = now + std::chrono::milliseconds(std::max(0, downMs));
  UpdateCts(now);
}

void CModem::UpdateCts(TimePoint now) {
  if (m_downUntil && now >= *m_downUntil) m_downUntil.reset();
  if (m_lineDropped || m_downUntil) {
    m_cts = false;
    return;
  }
  switch (m_settings.cts) {
    case CtsMode::On: m_cts = true; break;
    case CtsMode::Never: m_cts = false; break;
    case CtsMode::Delay: m_cts = m_dtr && m_ctsAt && now >= *m_ctsAt; break;
  }
}

void CModem::OnTimer(TimePoint now) {
  CheckEscape(now);
  UpdateCts(now);
}

std::optional<TimePoint> CModem::NextDeadline() const {
  std::optional<TimePoint> next;
  if (m_obex && m_pendingPlus == 3)
    next = m_plusTime + std::chrono::milliseconds(m_settings.guardMs);
  if (!m_cts && m_ctsAt && (!next || *m_ctsAt < *next)) next = m_ctsAt;
  if (m_downUntil && (!next || *m_downUntil < *next)) next = m_downUntil;
  return next;
}

void CModem::AddStartupCommand(const std::string& line, TimePoint now) {
  m_startup.push_back(line);
  Control(line, now);
}

std::string CModem::Reset(TimePoint now) {
  m_settings = ModemSettings{};
  m_obex = false;
  m_command.clear();
  m_pendingPlus = 0;
  m_log.clear();
  m_counts.clear();
  m_rates.clear();
  m_dropped = 0;
  m_ctsAt.reset();
  m_lineDropped = false;
  m_downUntil.reset();
  std::string reply = "OK";
  if (m_session) {
    m_session->Reset();
    std::string sessionReply;
    m_session->Control({"reset"}, sessionReply);
  }
  for (const auto& line : m_startup) {
    std::string r = Control(line, now);
    if (r.rfind("OK", 0) != 0) reply = "ERR start-up command failed: " + line;
  }
  UpdateCts(now);
  return reply;
}

std::string CModem::Control(const std::string& line, TimePoint now) {
  std::vector<std::string> words = SplitWords(line);
  if (words.empty()) return "ERR empty command";
  const std::string& verb = words[0];
  if (verb == "ping") return "OK";
  if (verb == "reset" && words.size() == 1) return Reset(now);
  if (verb == "clear" && words.size() == 2 && words[1] == "log") {
    m_log.clear();
    m_counts.clear();
    m_rates.clear();
    m_dropped = 0;
    return "OK";
  }
  if (verb == "set" && words.size() >= 2) {
    std::string r = Set(words, line, now);
    if (!r.empty()) return r;
  }
  if (verb == "get" && words.size() >= 2) {
    std::string r = Get(words);
    if (!r.empty()) return r;
  }
  if (m_session) {
    std::string reply;
    if (m_session->Control(words, reply)) return reply.empty() ? "OK" : reply;
  }
  return "ERR unknown command: " + line;
}

// Returns "" for a word it does not know, so the session may have it.
std::string CModem::Set(const std::vector<std::string>& words, const std::string& line,
                        TimePoint now) {
  const std::string& what = words[1];
  const size_t n = words.size();
  if (what == "echo") {
    if (n == 3 && ParseOnOff(words[2], m_settings.echo)) return "OK";
    return "ERR usage: set echo on|off";
  }
  if (what == "baud") {
    if (n == 3 && ParseInt(words[2], m_settings.baud, 0, 10000000)) return "OK";
    return "ERR usage: set baud <rate> (0: any)";
  }
  if (what == "cts") {
    if (n == 3 && words[2] == "on") {
      m_settings.cts = CtsMode::On;
    } else if (n == 3 && words[2] == "never") {
      m_settings.cts = CtsMode::Never;
    } else if (n == 4 && words[2] == "delay" &&
               ParseInt(words[3], m_settings.ctsDelayMs, 0, 3600000)) {
      m_settings.cts = CtsMode::Delay;
      m_ctsAt.reset();
      if (m_dtr) m_ctsAt = now + std::chrono::milliseconds(m_settings.ctsDelayMs);
    } else {
      return "ERR usage: set cts on|never|delay <ms>";
    }
    UpdateCts(now);
    return "OK";
  }
  if (what == "guard") {
    if (n == 3 && ParseInt(words[2], m_settings.guardMs, 0, 60000)) return "OK";
    return "ERR usage: set guard <ms>";
  }
  if (what == "model") {
    if (n < 3) return "ERR usage: set model <text>";
    m_settings.model = RestAfterWords(line, 2);
    return "OK";
  }
  if (what == "sqwe100") {
    if (n == 3 && words[2] == "error") m_settings.sqwe100 = Sqwe100Mode::Error;
    else if (n == 3 && words[2] == "ok") m_settings.sqwe100 = Sqwe100Mode::BareOk;
    else if (n == 3 && words[2] == "normal") m_settings.sqwe100 = Sqwe100Mode::Normal;
    else return "ERR usage: set sqwe100 error|ok|normal";
    return "OK";
  }
  if (what == "volumes") {
    // The OBEX session may own the volumes; it gets the first say.
    std::string reply;
    if (m_session && m_session->Control(words, reply)) {
      m_settings.volumes = -1;
      return reply.empty() ? "OK" : reply;
    }
    if (n == 3 && words[2] == "auto") m_settings.volumes = -1;
    else if (!(n == 3 && ParseInt(words[2], m_settings.volumes, 0, 65535)))
      return "ERR usage: set volumes <n>|auto";
    return "OK";
  }
  if (what == "cme") {
    if (n == 4 && words[3] == "off") {
      m_settings.cme.erase(ToUpper(words[2]));
      return "OK";
    }
    int code = 0;
    if (n == 4 && ParseInt(words[3], code, 0, 65535)) {
      m_settings.cme[ToUpper(words[2])] = code;
      return "OK";
    }
    return "ERR usage: set cme <command> <n>|off";
  }
  if (what == "reply") {
    if (n == 4 && words[3] == "off") {
      m_settings.replies.erase(ToUpper(words[2]));
      return "OK";
    }
    if (n == 4 && words[3] == "silent") {
      m_settings.replies[ToUpper(words[2])] = std::nullopt;
      return "OK";
    }
    std::string bytes;
    if (n >= 4 && ParseHex(words, 3, bytes)) {
      m_settings.replies[ToUpper(words[2])] = bytes;
      return "OK";
    }
    return "ERR usage: set reply <command> <hex bytes>|silent|off";
  }
  return "";
}

std::string CModem::Get(const std::vector<std::string>& words) {
  const std::string& what = words[1];
  const size_t n = words.size();
  if (n == 2) {
    if (what == "dtr") return m_dtr ? "OK 1" : "OK 0";
    if (what == "cts") return m_cts ? "OK 1" : "OK 0";
    if (what == "mode") return m_obex ? "OK obex" : "OK at";
    if (what == "line") return m_lineDropped ? "OK dropped" : m_downUntil ? "OK rebooting" : "OK up";
    if (what == "baud") return "OK " + std::to_string(m_lineBaud ? m_lineBaud() : 0);
    if (what == "model") return "OK " + m_settings.model;
    if (what == "echo") return m_settings.echo ? "OK on" : "OK off";
    if (what == "volumes") return "OK " + std::to_string(VolumeCount());
    if (what == "dropped") return "OK " + std::to_string(m_dropped);
    if (what == "log") {
      std::vector<std::string> entries;
      for (const auto& e : m_log) entries.push_back(EscapeWord(e));
      return entries.empty() ? "OK" : "OK " + Join(entries, " ");
    }
    if (what == "rates") {
      std::vector<std::string> rates;
      for (int r : m_rates) rates.push_back(std::to_string(r));
      return rates.empty() ? "OK" : "OK " + Join(rates, " ");
    }
  }
  if (what == "count" && n == 3) {
    auto it = m_counts.find(ToUpper(words[2]));
    return "OK " + std::to_string(it == m_counts.end() ? 0 : it->second);
  }
  return "";
}

}  // namespace sim
