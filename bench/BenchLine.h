// bench/BenchLine.h - what the benchmarks share: rates from the environment,
// wall time, and the simulator's record of the line.
#pragma once
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>
#include "ChildProcess.h"
#include "SimControl.h"

namespace vksbench {

inline std::vector<unsigned> Numbers(const char* name, const char* fallback) {
  const char* text = getenv(name);
  std::istringstream words(text && *text ? text : fallback);
  std::vector<unsigned> numbers;
  for (unsigned n; words >> n;) numbers.push_back(n);
  return numbers;
}

inline double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The simulator's record of the line since the last "obex line clear".
struct LineFigures {
  double rx = 0, tx = 0, requests = 0, spanSeconds = 0, waitMedianMs = 0, waitTotalSeconds = 0;
};

inline double Field(const std::string& reply, const std::string& key) {
  size_t at = reply.find(" " + key + "=");
  return at == std::string::npos ? -1 : atof(reply.c_str() + at + key.size() + 2);
}

inline bool ReadLine(vkstest::CSimControl& sim, LineFigures* out) {
  std::string reply;
  if (!sim.Command("obex line", &reply) || reply.compare(0, 3, "OK ") != 0) return false;
  out->rx = Field(reply, "rx");
  out->tx = Field(reply, "tx");
  out->requests = Field(reply, "requests");
  out->spanSeconds = Field(reply, "span_us") / 1e6;
  out->waitMedianMs = Field(reply, "wait_median_us") / 1e3;
  out->waitTotalSeconds = Field(reply, "wait_total_us") / 1e6;
  return out->spanSeconds > 0;
}

// Wall time of one tool run; the run itself must succeed.
inline double TimedRun(const std::wstring& tool, const std::vector<std::wstring>& args, vkstest::ToolRun* run) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  *run = vkstest::RunTool(tool, args, 30 * 60 * 1000);
  QueryPerformanceCounter(&end);
  return Seconds(start, end);
}

// One row: bytes per second on the line and over the run, against baud / 10.
inline void PrintTransferRow(const char* direction, unsigned rate, size_t bytes, double seconds,
                             const LineFigures& line) {
  const double capacity = rate / 10.0;
  printf("%-10s %7u %8u %8.2f %8.2f %8.3f %8.3f %8.2f\n", direction, rate, static_cast<unsigned>(bytes), seconds,
         line.spanSeconds, bytes / line.spanSeconds / capacity, bytes / seconds / capacity, line.waitMedianMs);
  fflush(stdout);
}

}  // namespace vksbench
