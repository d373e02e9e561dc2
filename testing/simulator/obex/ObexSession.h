// testing/simulator/obex/ObexSession.h - the OBEX mode of the simulated module:
// frames the line's bytes into packets, paces the answers like a serial line,
// injects faults and answers the "obex ..." control commands.
#pragma once
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "../ObexService.h"
#include "FlashStore.h"
#include "LineRecord.h"
#include "ObexServer.h"

namespace sim::obex {

using SteadyClock = std::chrono::steady_clock;
using SteadyTime = SteadyClock::time_point;

// A half packet is dropped after this much silence.
constexpr int kPartialTimeoutMs = 3000;
constexpr int kDefaultPaceBaud = 115200;

// One armed fault. Request faults count matching requests (1 = the next one);
// byte faults count bytes from the time they were armed.
struct Fault {
  enum Kind { Drop, Stall, Error, Reboot, DropTx, DropRx, CorruptTx, CorruptRx } kind = Drop;
  long count = 1;
  int opClass = -1;  // opcode without the final bit; -1 any request
  int arg = 0;       // Stall: ms; Error: response code; Reboot: ms down; Corrupt: xor mask
  std::string Text() const;
};

// Reads "obex fault ..." words (from index 2 on) into a fault; error text on failure.
std::string ParseFault(const std::vector<std::string>& words, Fault& out);

class CObexSession : public IObexSession {
public:
  CObexSession(const std::string& dataDir, SendFn send);

  void OnBytes(const uint8_t* data, size_t length) override;
  void Reset() override;
  bool Control(const std::vector<std::string>& words, std::string& reply) override;
  int VolumeCount() const override { return m_store.VolumeCount(); }
  void SetLineHooks(LineHooks hooks) override { m_hooks = std::move(hooks); }
  std::optional<SteadyTime> NextDeadline() const override;
  void OnTimer(SteadyTime now) override;

  ObexServer& Server() { return m_server; }
  FlashStore& Store() { return m_store; }

private:
  struct Pending {
    Bytes packet;
    SteadyTime readyAt;
    std::optional<uint8_t> error;
    bool drop = false;
    std::optional<int> reboot;
  };

  void Frame(SteadyTime now);
  void Pump(SteadyTime now);
  void Emit(const uint8_t* data, size_t length);
  // Corrupts or cuts chunk where an armed byte fault says so; keep is lowered
  // to the bytes before a drop. True when the line drops after them.
  bool ApplyByteFaults(Bytes& chunk, Fault::Kind corrupt, Fault::Kind drop, size_t& keep);
  void ClearLine();
  void Queue(Bytes bytes, SteadyTime now);
  void FireRequestFaults(Pending& p, SteadyTime now);
  void DropLine(const std::string& why);
  void Reboot(int downMs, const std::string& why);
  int Baud() const;
  SteadyTime::duration ByteTime(size_t bytes) const;
  // Answer bytes whose line time has passed by now; when the next ones have.
  size_t SentBy(SteadyTime now) const;
  SteadyTime NextByteDue() const;
  std::string ControlObex(const std::vector<std::string>& words);
  std::string Status() const;

  FlashStore m_store;
  ObexServer m_server;
  SendFn m_send;
  LineHooks m_hooks;

  Bytes m_in;  // received, not yet a whole packet
  SteadyTime m_lastRx{};
  bool m_skipAt = false;  // inside an AT command line sent in OBEX mode
  std::deque<Pending> m_requests;
  Bytes m_out;  // answers not yet on the line (paced)
  size_t m_outPos = 0;
  SteadyTime m_rxFree{};
  SteadyTime m_txFree{};  // paced: when the next answer byte starts on the line
  bool m_dead = false;

  bool m_pace = false;
  int m_paceBaud = 0;  // 0: the line's rate
  int m_delayMs = 0;
  std::vector<Fault> m_faults;
  CLineRecord m_line;
};

}  // namespace sim::obex
