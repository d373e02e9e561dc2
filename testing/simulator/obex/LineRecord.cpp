// testing/simulator/obex/LineRecord.cpp - the paced line's record.
#include "LineRecord.h"

#include <algorithm>

namespace sim::obex {

void CLineRecord::Received(size_t bytes, Time start, bool startsRequest) {
  if (bytes == 0) return;
  if (!m_first) m_first = start;
  if (startsRequest && m_lastSent && start >= *m_lastSent)
    m_waitsUs.push_back(std::chrono::duration_cast<std::chrono::microseconds>(start - *m_lastSent).count());
  m_rx += bytes;
}

void CLineRecord::Sent(size_t bytes, Time end) {
  m_tx += bytes;
  m_lastSent = end;
}

std::string CLineRecord::Text() const {
  int64_t span = 0;
  if (m_first && m_lastSent && *m_lastSent > *m_first)
    span = std::chrono::duration_cast<std::chrono::microseconds>(*m_lastSent - *m_first).count();
  std::vector<int64_t> waits = m_waitsUs;
  int64_t total = 0;
  for (int64_t w : waits) total += w;
  int64_t median = 0;
  if (!waits.empty()) {
    std::nth_element(waits.begin(), waits.begin() + long(waits.size() / 2), waits.end());
    median = waits[waits.size() / 2];
  }
  return "rx=" + std::to_string(m_rx) + " tx=" + std::to_string(m_tx) + " requests=" + std::to_string(m_requests) +
         " span_us=" + std::to_string(span) + " waits=" + std::to_string(waits.size()) +
         " wait_median_us=" + std::to_string(median) + " wait_total_us=" + std::to_string(total);
}

}  // namespace sim::obex
