// bench/explorer/ExplorerTransferBench.cpp - Explorer's transfers against the
// console tool's. At each paced rate (VKS_BENCH_RATES, default "115200
// 921600"): 1 MiB of random bytes copied to the module and back with VKSCopy,
// then dropped from the PC into a module folder (drop target and paste
// engine) and dragged out of it (the data object read as Explorer reads
// virtual files), each with its ratio on the line and over the whole run.
#include <cstdio>
#include <random>
#include "BenchLine.h"
#include "ChildProcess.h"
#include "ClipboardFormats.h"
#include "DeleteOperation.h"
#include "ExplorerReader.h"
#include "FakeDataObject.h"
#include "ItemIDList.h"
#include "PasteEngine.h"
#include "RPLDataObject.h"
#include "RPLDropTarget.h"
#include "Seams.h"
#include "ServerFixture.h"
#include "TestFiles.h"
#include "XferTestUi.h"

namespace {

using namespace vkstest;
using namespace vksbench;

const size_t kFileSize = 1024 * 1024;

struct Timer {
  LARGE_INTEGER start;
  Timer() { QueryPerformanceCounter(&start); }
  double Elapsed() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return Seconds(start, now);
  }
};

void Print(const char* way, unsigned rate, double seconds, const LineFigures& line) {
  const double capacity = rate / 10.0;
  printf("%-22s %7u %8.2f %8.2f %8.3f %8.3f\n", way, rate, seconds, line.spanSeconds,
         kFileSize / line.spanSeconds / capacity, kFileSize / seconds / capacity);
  fflush(stdout);
}

class ExplorerBench : public ToolServerTest {};

TEST_F(ExplorerBench, DropInAndDragOutBesideTheTool) {
  CSimControl sim;
  ASSERT_TRUE(sim.Available());
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  ASSERT_TRUE(RegisterClipboardFormats());
  CXferTestUi ui;
  const std::wstring pc = CSimControl::DataDirW() + L"\\pc";
  CreateDirectoryW(pc.c_str(), nullptr);
  std::mt19937 random(20261211);
  std::string bytes(kFileSize, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  WriteBytes(pc + L"\\random.bin", bytes);

  printf("\n%-22s %7s %8s %8s %8s %8s\n", "transfer", "baud", "run s", "line s", "on line", "run");
  for (unsigned rate : Numbers("VKS_BENCH_RATES", "115200 921600")) {
    ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
    ASSERT_TRUE(sim.Command("obex pace on"));
    ToolRun run;
    run = RunTool(L"VKSDir", {L"mod:a:\\"}, 60000);   // server and link up before timing
    ASSERT_EQ(0u, run.exitCode) << run.output;
    LineFigures line;

    DeleteFileW((VolumePath(L'A') + L"\\random.bin").c_str());
    ASSERT_TRUE(sim.Command("obex line clear"));
    Timer tool;
    run = RunTool(L"VKSCopy", {pc + L"\\random.bin", L"mod:a:\\"}, 30 * 60 * 1000);
    double seconds = tool.Elapsed();
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadLine(sim, &line));
    Print("VKSCopy to module", rate, seconds, line);

    const std::wstring back = pc + L"\\tool" + std::to_wstring(rate) + L".bin";
    ASSERT_TRUE(sim.Command("obex line clear"));
    Timer toolBack;
    run = RunTool(L"VKSCopy", {L"mod:a:\\random.bin", back}, 30 * 60 * 1000);
    seconds = toolBack.Elapsed();
    ASSERT_EQ(0u, run.exitCode) << run.output;
    ASSERT_TRUE(ReadLine(sim, &line));
    Print("VKSCopy to PC", rate, seconds, line);

    // A drop of the PC file into \A:\in<rate>.
    const std::wstring folder = L"in" + std::to_wstring(rate);
    ASSERT_TRUE(CreateDirectoryW((VolumePath(L'A') + L"\\" + folder).c_str(), nullptr));
    const std::wstring modulePath = L"\\A:\\" + folder;
    ComPtr<RPLDropTarget> target;
    ASSERT_EQ(S_OK, RPLDropTarget::Create(&target));
    ASSERT_EQ(S_OK, target->InitForItem(modulePath.c_str(), nullptr, nullptr));
    auto source = CFakeDataObject::Make();
    source->Serve(ClipboardFormats().hdrop, CFakeDataObject::HdropOf({pc + L"\\random.bin"}));
    ASSERT_TRUE(sim.Command("obex line clear"));
    Timer drop;
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(S_OK, target->DragEnter(source.Get(), MK_LBUTTON, POINTL{}, &effect));
    ASSERT_EQ(S_OK, target->Drop(source.Get(), 0, POINTL{}, &effect));
    seconds = drop.Elapsed();
    ASSERT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    ASSERT_TRUE(ReadLine(sim, &line));
    ASSERT_TRUE(ReadBytes(VolumePath(L'A') + L"\\" + folder + L"\\random.bin") == bytes) << "dropped copy differs";
    Print("drop to module", rate, seconds, line);

    // The same file dragged out: the object asks for it at once; the
    // reader takes its contents as Explorer does.
    ComPtr<IVKSVolume> volume;
    ASSERT_EQ(S_OK, CreateModuleVolume(&volume));
    CItemIDList* found = nullptr;
    ASSERT_EQ(S_OK, FindEntryByName((modulePath + L"\\random.bin").c_str(), volume.Get(), &found));
    LPCITEMIDLIST lists[] = {found->Get()};
    const std::wstring out = pc + L"\\drag" + std::to_wstring(rate);
    CreateDirectoryW(out.c_str(), nullptr);
    ASSERT_TRUE(sim.Command("obex line clear"));
    Timer dragOut;
    {
      ComPtr<IDataObject> data;
      ASSERT_EQ(S_OK, CreateDataObject(modulePath.c_str(), nullptr, lists, 1, DROPEFFECT_COPY, nullptr, false, &data));
      ASSERT_EQ(0, ReadLikeExplorer(data.Get(), out, false));
    }
    seconds = dragOut.Elapsed();
    delete found;
    ASSERT_TRUE(ReadLine(sim, &line));
    ASSERT_TRUE(ReadBytes(out + L"\\random.bin") == bytes) << "dragged copy differs";
    Print("drag out to PC", rate, seconds, line);
    EXPECT_TRUE(ui.shown.empty());
  }
  printf("(on line: payload bytes per second over the transfer's span on the line, against baud / 10;\n"
         " run: the same over the whole transfer, from the tool's start or the drop to the last byte)\n\n");
  fflush(stdout);
  ASSERT_TRUE(sim.Command("obex pace off"));
  OleUninitialize();
}

}  // namespace
