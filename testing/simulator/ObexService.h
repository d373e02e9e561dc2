// testing/simulator/ObexService.h - seam between the simulator's line/AT side and
// its OBEX file service. The line side owns the pty, the AT command mode and the
// "+++" escape; in OBEX mode it hands every other received byte to the session.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using SendFn = std::function<void(const uint8_t* data, size_t length)>;

// What the session may ask of the line side; every member is optional. All
// calls of this seam, both ways, happen on the line side's one thread.
struct LineHooks {
  // Fault "drop": CTS off and no answers until DTR goes low, which brings the
  // module back to command mode (and calls Reset()).
  std::function<void()> dropLine;
  // Module reboot: back to command mode, CTS off for downMs, then on again.
  std::function<void(int downMs)> reboot;
  // The line speed the PC side set (baud); 0 when unknown. Used for pacing.
  std::function<int()> baud;
};

class IObexSession {
public:
  virtual ~IObexSession() = default;
  // Bytes from the line while the module is in OBEX mode.
  virtual void OnBytes(const uint8_t* data, size_t length) = 0;
  // The module left OBEX mode ("+++") or the line was reset: drop any half
  // packet and the OBEX connection.
  virtual void Reset() = 0;
  // A control command the line side does not know (words split at blanks).
  // Returns false when the session does not know it either; reply is sent back.
  virtual bool Control(const std::vector<std::string>& words, std::string& reply) = 0;
  // Number of volumes the module reports to AT^SQWE=100.
  virtual int VolumeCount() const = 0;
  // Called once after creation by a line side that offers the hooks.
  virtual void SetLineHooks(LineHooks hooks) { (void)hooks; }
  // Paced answers and delays: the line side's loop calls OnTimer once the
  // deadline has come (and may call it early; the session checks the clock).
  virtual std::optional<std::chrono::steady_clock::time_point> NextDeadline() const {
    return std::nullopt;
  }
  virtual void OnTimer(std::chrono::steady_clock::time_point now) { (void)now; }
};

// dataDir: host folder under which the session keeps the flash volumes.
std::unique_ptr<IObexSession> CreateObexSession(const std::string& dataDir, SendFn send);

}  // namespace sim
