// testing/simulator/Modem.h - the module's line side: AT command mode, the
// switch to OBEX mode and the "+++" escape back, the baud rate it answers at,
// CTS behaviour against DTR, and the control vocabulary for all of it. Free of
// I/O: the simulator's loop feeds it bytes, line changes and the clock.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ObexService.h"

namespace sim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

enum class CtsMode { On, Never, Delay };
enum class Sqwe100Mode { Normal, Error, BareOk };

struct ModemSettings {
  bool echo = true;
  int baud = 0;  // the only rate it answers at; 0: any
  CtsMode cts = CtsMode::On;
  int ctsDelayMs = 0;
  int guardMs = 1000;  // silence before and after "+++"
  std::string model = "VKS-SIM";
  Sqwe100Mode sqwe100 = Sqwe100Mode::Normal;
  int volumes = -1;  // -1: as the OBEX session reports
  std::map<std::string, int> cme;  // command -> "+CME ERROR: n" answer
  // command -> raw answer; no value: no answer at all
  std::map<std::string, std::optional<std::string>> replies;
};

class CModem {
public:
  // session may be null (then one volume and no OBEX service); lineBaud reports
  // the rate the PC side set, for "get baud".
  CModem(IObexSession* session, SendFn send, std::function<int()> lineBaud = {});

  // Bytes the PC sent, received at now while the line ran at lineBaud.
  void OnLine(const uint8_t* data, size_t length, TimePoint now, int lineBaud);
  void OnDtr(bool high, TimePoint now);
  void OnTimer(TimePoint now);
  std::optional<TimePoint> NextDeadline() const;

  // One control line in, one reply line out ("OK ..." or "ERR ...").
  std::string Control(const std::string& line, TimePoint now);
  // Commands run now and again after every "reset".
  void AddStartupCommand(const std::string& line, TimePoint now);

  // What the OBEX session may do to the line (see LineHooks): a dropped line
  // shows CTS off and ignores the PC until DTR goes low; a rebooting module is
  // in command mode and deaf, CTS off, for downMs.
  void DropLine(TimePoint now);
  void Reboot(int downMs, TimePoint now);

  bool Cts() const { return m_cts; }
  bool Dsr() const { return !m_downUntil; }  // the module is powered, except in a reboot
  bool Dtr() const { return m_dtr; }
  bool InObexMode() const { return m_obex; }
  const ModemSettings& Settings() const { return m_settings; }

private:
  size_t AtBytes(const uint8_t* data, size_t length, std::string& out);
  void ObexBytes(const uint8_t* data, size_t length, TimePoint now, TimePoint before);
  void Execute(const std::string& line, std::string& out);
  void CheckEscape(TimePoint now);
  void LeaveObex();
  void UpdateCts(TimePoint now);
  int VolumeCount() const;
  void Log(const std::string& entry);
  std::string Set(const std::vector<std::string>& words, const std::string& line, TimePoint now);
  std::string Get(const std::vector<std::string>& words);
  std::string Reset(TimePoint now);

  IObexSession* m_session;
  SendFn m_send;
  std::function<int()> m_lineBaud;
  ModemSettings m_settings;
  std::vector<std::string> m_startup;

  bool m_obex = false;
  std::string m_command;
  std::optional<TimePoint> m_lastRx;
  int m_pendingPlus = 0;
  TimePoint m_plusTime{};
  bool m_dtr = false;
  bool m_cts = true;
  std::optional<TimePoint> m_ctsAt;
  bool m_lineDropped = false;
  std::optional<TimePoint> m_downUntil;

  std::deque<std::string> m_log;
  std::map<std::string, int> m_counts;
  std::vector<int> m_rates;
  uint64_t m_dropped = 0;
};

// Helpers of the control vocabulary, exposed for their tests.
std::vector<std::string> SplitWords(const std::string& line);
std::string ToUpper(std::string s);
// "0d0a4f4b" or "0d 0a 4f 4b"; false on anything else.
bool ParseHex(const std::vector<std::string>& words, size_t first, std::string& out);
// A log entry as one word: blanks, '%' and control bytes become %XX.
std::string EscapeWord(const std::string& s);

}  // namespace sim
