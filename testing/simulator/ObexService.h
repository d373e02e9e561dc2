// testing/simulator/ObexService.h - seam between the simulator's line/AT side and
// its OBEX file service. The line side owns the pty, the AT command mode and the
// "+++" escape; in OBEX mode it hands every other received byte to the session.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

using SendFn = std::function<void(const uint8_t* data, size_t length)>;

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
};

// dataDir: host folder under which the session keeps the flash volumes.
std::unique_ptr<IObexSession> CreateObexSession(const std::string& dataDir, SendFn send);

}  // namespace sim
