// bench/transfer/TransferBench.cpp - how close file transfers through the server come to the
// line's capacity. At each paced rate (VKS_BENCH_RATES, default "115200 460800 921600"): 1 MiB of
// random bytes to the module and back with VKSCopy, each with its ratio on the line (the
// simulator's record of the transfer's span there) and over the whole tool run, and a VKSDir of
// 500 entries. At VKS_BENCH_SMALL_RATE (default 921600, 0 = skip): VKSXCopy of 1,000 files of
// 1 KiB each way, the time per file against the floor its packets allow.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include "BenchLine.h"
#include "ChildProcess.h"
#include "ServerFixture.h"
#include "TestFiles.h"

namespace {

using namespace vkstest;
using namespace vksbench;

const size_t kFileSize = 1024 * 1024;
const int kListingEntries = 500;
const int kSmallFiles = 1000;
const size_t kSmallFileSize = 1024;

void PrintTransfer(const char* direction, unsigned rate, double seconds, const LineFigures& line) {
  PrintTransferRow(direction, rate, kFileSize, seconds, line);
}

struct SmallResult {
  const char* direction;
  double perFileMs, floorMs, requestsPerFile;
};

class TransferBench : public ToolServerTest {};

TEST_F(TransferBench, FilesBothWaysAndAListing) {
  CSimControl sim;
  ASSERT_TRUE(sim.Available());
  // The PC side lives beside the volumes, so the run's data folder takes it away.
  const std::wstring pc = CSimControl::DataDirW() + L"\\pc";
  CreateDirectoryW(pc.c_str(), nullptr);
  std::mt19937 random(20261210);
  std::string bytes(kFileSize, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  WriteBytes(pc + L"\\random.bin", bytes);

  const std::vector<unsigned> rates = Numbers("VKS_BENCH_RATES", "115200 460800 921600");
  for (unsigned rate : rates) {
    const std::wstring folder = VolumePath(L'A') + L"\\many" + std::to_wstring(rate);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (int i = 0; i < kListingEntries; ++i) WriteBytes(folder + L"\\entry" + std::to_wstring(1000 + i) + L".txt", "");
  }

  printf("\n%-10s %7s %8s %8s %8s %8s %8s %8s\n", "direction", "baud", "bytes", "run s", "line s", "on line",
         "run", "wait ms");
  std::vector<std::pair<unsigned, double>> listings;
  // The PC's median wait between an answer and its next request, per direction at each rate.
  std::vector<std::pair<unsigned, std::pair<double, double>>> waits;
  for (unsigned rate : rates) {
    ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
    ASSERT_TRUE(sim.Command("obex pace on"));
    // Server started and the link up before anything is timed.
    ToolRun run;
    TimedRun(L"VKSDir", {L"mod:a:\\"}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;

    DeleteFileW((VolumePath(L'A') + L"\\random.bin").c_str());
    LineFigures toModule, toPc;
    ASSERT_TRUE(sim.Command("obex line clear"));
    double seconds = TimedRun(L"VKSCopy", {pc + L"\\random.bin", L"mod:a:\\"}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadLine(sim, &toModule));
    ASSERT_TRUE(ReadBytes(VolumePath(L'A') + L"\\random.bin") == bytes) << "module copy differs";
    PrintTransfer("to module", rate, seconds, toModule);

    const std::wstring back = pc + L"\\back" + std::to_wstring(rate) + L".bin";
    ASSERT_TRUE(sim.Command("obex line clear"));
    seconds = TimedRun(L"VKSCopy", {L"mod:a:\\random.bin", back}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadLine(sim, &toPc));
    ASSERT_TRUE(ReadBytes(back) == bytes) << "PC copy differs";
    PrintTransfer("to PC", rate, seconds, toPc);
    waits.push_back({rate, {toModule.waitMedianMs, toPc.waitMedianMs}});

    seconds = TimedRun(L"VKSDir", {L"mod:a:\\many" + std::to_wstring(rate)}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_NE(std::string::npos, run.output.find(std::to_string(kListingEntries) + " File(s)")) << run.output;
    listings.emplace_back(rate, seconds);
  }
  for (const auto& [rate, seconds] : listings)
    printf("VKSDir of %d entries at %u baud: %.2f s\n", kListingEntries, rate, seconds);
  printf("(on line: payload bytes per second over the transfer's span on the line, against baud / 10;\n"
         " run: the same over the whole tool run; wait: the PC's median wait from an answer to its next request)\n");

  const std::vector<unsigned> smallRate = Numbers("VKS_BENCH_SMALL_RATE", "921600");
  if (!smallRate.empty() && smallRate[0] > 0) {
    const unsigned rate = smallRate[0];
    ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
    ASSERT_TRUE(sim.Command("obex pace on"));
    const std::wstring tree = pc + L"\\small";
    CreateDirectoryW(tree.c_str(), nullptr);
    for (int i = 0; i < kSmallFiles; ++i)
      WriteBytes(tree + L"\\f" + std::to_wstring(1000 + i) + L".bin", bytes.substr(i * 7, kSmallFileSize));
    // A turnaround is the PC's own, as the 1 MiB transfers at this rate measured it (the last
    // figure for that rate), or 1 ms where none was measured.
    std::pair<double, double> turn{1.0, 1.0};
    for (const auto& [r, w] : waits)
      if (r == rate) turn = w;
    const std::string count = std::to_string(kSmallFiles) + " file(s) copied";
    std::vector<SmallResult> results;
    for (int way = 0; way < 2; ++way) {
      ToolRun run;
      LineFigures line;
      ASSERT_TRUE(sim.Command("obex line clear"));
      double seconds = way == 0 ? TimedRun(L"VKSXCopy", {tree, L"mod:a:\\small"}, &run)
                                : TimedRun(L"VKSXCopy", {L"mod:a:\\small", pc + L"\\smallback"}, &run);
      ASSERT_EQ(0u, run.exitCode) << run.output;
      ASSERT_NE(std::string::npos, run.output.find(count)) << run.output.substr(run.output.size() - 200);
      ASSERT_TRUE(ReadLine(sim, &line));
      const double turnMs = way == 0 ? turn.first : turn.second;
      const double floorSeconds = (line.rx + line.tx) * 10.0 / rate + line.requests * turnMs / 1e3;
      results.push_back({way == 0 ? "to module" : "to PC", seconds * 1e3 / kSmallFiles,
                         floorSeconds * 1e3 / kSmallFiles, line.requests / kSmallFiles});
    }
    ASSERT_TRUE(ReadBytes(pc + L"\\smallback\\f1999.bin") == bytes.substr(999 * 7, kSmallFileSize));
    printf("\nVKSXCopy of %d files of %u bytes at %u baud\n", kSmallFiles, static_cast<unsigned>(kSmallFileSize), rate);
    printf("%-10s %10s %10s %8s %10s\n", "direction", "ms/file", "floor ms", "x floor", "req/file");
    for (const SmallResult& r : results)
      printf("%-10s %10.2f %10.2f %8.2f %10.1f\n", r.direction, r.perFileMs, r.floorMs, r.perFileMs / r.floorMs,
             r.requestsPerFile);
    printf("(floor: the line time of every packet both ways plus one PC turnaround per request)\n");
  }
  printf("\n");
  fflush(stdout);
  ASSERT_TRUE(sim.Command("obex pace off"));
}

}  // namespace
