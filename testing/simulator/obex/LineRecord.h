// testing/simulator/obex/LineRecord.h - what crossed the paced line since it
// was last cleared: bytes each way, requests, the span from the first request
// byte to the last answer byte, and how long the PC left the line idle after
// each answer before its next request.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim::obex {

class CLineRecord {
public:
  using Time = std::chrono::steady_clock::time_point;

  void Clear() { *this = CLineRecord{}; }
  // bytes from the PC occupying the line from start on; startsRequest when
  // the module owed the PC nothing, so the PC had the turn.
  void Received(size_t bytes, Time start, bool startsRequest);
  void Request() { ++m_requests; }
  // Answer bytes whose last bit left the line at end.
  void Sent(size_t bytes, Time end);
  // "rx=.. tx=.. requests=.. span_us=.. waits=.. wait_median_us=.. wait_total_us=.."
  std::string Text() const;

private:
  uint64_t m_rx = 0, m_tx = 0, m_requests = 0;
  std::optional<Time> m_first, m_lastSent;
  std::vector<int64_t> m_waitsUs;
};

}  // namespace sim::obex
