// bench/paste/PasteBench.cpp - how close a drop of PC files into a module
// folder through the extension's paste engine comes to the line's capacity,
// beside VKSCopy in the same run. At each paced rate (VKS_BENCH_RATES, default
// "115200 921600"): 1 MiB of random bytes to the module with VKSCopy, then
// the same file dropped through StartPasteOperation as a drop target hands
// it over (the effect given, waiting for the end), each with its ratio on the
// line and over the whole call.
#include <gtest/gtest.h>
#include <cstdio>
#include <random>
#include "BenchLine.h"
#include "ClipboardFormats.h"
#include "FakeDataObject.h"
#include "PasteEngine.h"
#include "Seams.h"
#include "ServerFixture.h"
#include "TestFiles.h"
#include "XferTestUi.h"

namespace {

using namespace vkstest;
using namespace vksbench;

const size_t kFileSize = 1024 * 1024;

class PasteBench : public ToolServerTest {
protected:
  void SetUp() override {
    ToolServerTest::SetUp();
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    ToolServerTest::TearDown();
  }
};

TEST_F(PasteBench, APCFileDroppedIntoAModuleFolder) {
  CSimControl sim;
  ASSERT_TRUE(sim.Available());
  ASSERT_TRUE(RegisterClipboardFormats());
  // Held for the whole run, so that the tools and the drops meet one server
  // with its link up.
  ComPtr<IVKSVolume> server;
  ASSERT_EQ(S_OK, CreateModuleVolume(&server));
  CXferTestUi ui;   // a box would mean a failed run: it is answered and counted, never waited for
  const std::wstring pc = CSimControl::DataDirW() + L"\\pc";
  CreateDirectoryW(pc.c_str(), nullptr);
  std::mt19937 random(20261211);
  std::string bytes(kFileSize, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  const std::wstring file = pc + L"\\random.bin";
  WriteBytes(file, bytes);

  printf("\n%-10s %7s %8s %8s %8s %8s %8s %8s\n", "how", "baud", "bytes", "run s", "line s", "on line", "run",
         "wait ms");
  for (unsigned rate : Numbers("VKS_BENCH_RATES", "115200 921600")) {
    ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
    ASSERT_TRUE(sim.Command("obex pace on"));
    ToolRun run;
    TimedRun(L"VKSDir", {L"mod:a:\\"}, &run);   // server and link up before anything is timed
    ASSERT_EQ(0u, run.exitCode) << run.output;

    const std::wstring tool = L"tool" + std::to_wstring(rate);
    ASSERT_TRUE(CreateDirectoryW((VolumePath(L'A') + L"\\" + tool).c_str(), nullptr));
    LineFigures line;
    ASSERT_TRUE(sim.Command("obex line clear"));
    double seconds = TimedRun(L"VKSCopy", {file, L"mod:a:\\" + tool + L"\\"}, &run);
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadLine(sim, &line));
    ASSERT_TRUE(ReadBytes(VolumePath(L'A') + L"\\" + tool + L"\\random.bin") == bytes) << "tool copy differs";
    PrintTransferRow("VKSCopy", rate, kFileSize, seconds, line);

    const std::wstring drop = L"drop" + std::to_wstring(rate);
    ASSERT_TRUE(CreateDirectoryW((VolumePath(L'A') + L"\\" + drop).c_str(), nullptr));
    ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
    source->Serve(ClipboardFormats().hdrop, CFakeDataObject::HdropOf({file}));
    DWORD done = 0;
    ASSERT_TRUE(sim.Command("obex line clear"));
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const HRESULT hr =
        StartPasteOperation((L"\\A:\\" + drop).c_str(), nullptr, source.Get(), DROPEFFECT_COPY, TRUE, 0, &done);
    QueryPerformanceCounter(&end);
    seconds = Seconds(start, end);
    ASSERT_EQ(S_OK, hr);
    ASSERT_EQ(1u, done);
    ASSERT_TRUE(ui.shown.empty()) << "a box was shown: " << ui.shown.size();
    ASSERT_TRUE(ReadLine(sim, &line));
    ASSERT_TRUE(ReadBytes(VolumePath(L'A') + L"\\" + drop + L"\\random.bin") == bytes) << "dropped copy differs";
    PrintTransferRow("drop", rate, kFileSize, seconds, line);
  }
  printf("(on line: payload bytes per second over the transfer's span on the line, against baud / 10;\n"
         " run: the same over the whole tool run or drop; wait: the PC's median wait from an answer to its next\n"
         " request)\n\n");
  fflush(stdout);
  ASSERT_TRUE(sim.Command("obex pace off"));
  server.Reset();
}

}  // namespace
