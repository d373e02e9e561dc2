// VKSCopy against the registered server and the simulated module: what it
// prints, its exit codes and, byte for byte, what arrives on the other side.
#include "CopyFixture.h"

namespace {

using CopyTest = CopyToolTest;

// Empty, one byte, one whole packet and either side of it, several hundred KB.
const size_t kSizes[] = {0, 1, 16383, 16390, 16391, 300 * 1024 + 7};

TEST_F(CopyTest, SingleFilesGoToTheModuleAndBackByteForByte) {
  MakeFolder(PcPath(L"back"));
  unsigned seed = 10;
  for (size_t size : kSizes) {
    const std::wstring name = L"f" + std::to_wstring(size) + L".bin";
    const std::string bytes = PatternBytes(size, seed++);
    WriteBytes(PcPath(name), bytes);
    ToolRun run = RunTool(L"VKSCopy", {PcPath(name), L"mod:a:\\"});
    EXPECT_EQ(Narrow(name) + "\n\t1 files copied\n\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(ReadBytes(ModuleHostPath(L"A\\" + name)) == bytes) << size;

    run = RunTool(L"VKSCopy", {L"mod:a:\\" + name, PcPath(L"back")});
    EXPECT_EQ(Narrow(name) + "\n\t1 files copied\n\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(ReadBytes(PcPath(L"back\\" + name)) == bytes) << size;
  }
}

}  // namespace
