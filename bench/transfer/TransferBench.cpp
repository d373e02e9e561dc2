// bench/transfer/TransferBench.cpp - how close file transfers through the server come to the
// line's capacity: 1 MiB of random bytes to the module and back with VKSCopy at each paced
// rate (VKS_BENCH_RATES, default "115200 460800"), and the time of a VKSDir of 500 entries.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include "ChildProcess.h"
#include "ServerFixture.h"
#include "TestFiles.h"

namespace {

using namespace vkstest;

const size_t kFileSize = 1024 * 1024;
const int kListingEntries = 500;

std::vector<unsigned> Rates() {
  const char* text = getenv("VKS_BENCH_RATES");
  std::istringstream words(text && *text ? text : "115200 460800");
  std::vector<unsigned> rates;
  for (unsigned rate; words >> rate;) rates.push_back(rate);
  return rates;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Wall time of one tool run; the run itself must succeed.
double TimedRun(const std::wstring& tool, const std::vector<std::wstring>& args, ToolRun* run) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  *run = RunTool(tool, args, 30 * 60 * 1000);
  QueryPerformanceCounter(&end);
  return Seconds(start, end);
}

void PrintTransfer(const char* direction, unsigned rate, double seconds) {
  const double bytesPerSecond = static_cast<double>(kFileSize) / seconds;
  printf("%-10s %7u %9u %9.2f %10.0f %7.3f\n", direction, rate, static_cast<unsigned>(kFileSize), seconds,
         bytesPerSecond, bytesPerSecond / (rate / 10.0));
  fflush(stdout);
}

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

  const std::vector<unsigned> rates = Rates();
  for (unsigned rate : rates) {
    const std::wstring folder = VolumePath(L'A') + L"\\many" + std::to_wstring(rate);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (int i = 0; i < kListingEntries; ++i) WriteBytes(folder + L"\\entry" + std::to_wstring(1000 + i) + L".txt", "");
  }

  printf("\n%-10s %7s %9s %9s %10s %7s\n", "direction", "baud", "bytes", "seconds", "bytes/s", "ratio");
  std::vector<std::pair<unsigned, double>> listings;
  for (unsigned rate : rates) {
    ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
    ASSERT_TRUE(sim.Command("obex pace on"));
    // Server started and the link up before anything is timed.
    ToolRun run;
    TimedRun(L"VKSDir", {L"mod:a:\\"}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;

    DeleteFileW((VolumePath(L'A') + L"\\random.bin").c_str());
    double seconds = TimedRun(L"VKSCopy", {pc + L"\\random.bin", L"mod:a:\\"}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadBytes(VolumePath(L'A') + L"\\random.bin") == bytes) << "module copy differs";
    PrintTransfer("to module", rate, seconds);

    const std::wstring back = pc + L"\\back" + std::to_wstring(rate) + L".bin";
    seconds = TimedRun(L"VKSCopy", {L"mod:a:\\random.bin", back}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadBytes(back) == bytes) << "PC copy differs";
    PrintTransfer("to PC", rate, seconds);

    seconds = TimedRun(L"VKSDir", {L"mod:a:\\many" + std::to_wstring(rate)}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_NE(std::string::npos, run.output.find(std::to_string(kListingEntries) + " File(s)")) << run.output;
    listings.emplace_back(rate, seconds);
  }
  for (const auto& [rate, seconds] : listings)
    printf("VKSDir of %d entries at %u baud: %.2f s\n", kListingEntries, rate, seconds);
  printf("(ratio: payload bytes per second over the line's baud / 10)\n\n");
  fflush(stdout);
  ASSERT_TRUE(sim.Command("obex pace off"));
}

}  // namespace
