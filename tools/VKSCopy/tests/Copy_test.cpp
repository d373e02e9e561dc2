// VKSCopy against the registered server and the simulated module: what it
// prints, its exit codes and, byte for byte, what arrives on the other side.
#include "CopyFixture.h"

namespace {

using namespace vkstest;

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

// Sorted, so that the order in which the PC's search finds files does not matter.
std::vector<std::string> SortedLines(const std::string& output) {
  std::vector<std::string> lines = Lines(output);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST_F(CopyTest, WildcardsToTheModuleCopyEveryMatchingFileAndSkipFolders) {
  MakeFolder(PcPath(L"w"));
  MakeFolder(PcPath(L"w\\sub.txt"));   // a folder that matches is skipped silently
  for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.dat"}) WriteBytes(PcPath(L"w\\") + name, Narrow(name));
  MakeFolder(ModuleHostPath(L"A\\dst"));
  ToolRun run = RunTool(L"VKSCopy", {PcPath(L"w\\*.txt"), L"mod:a:/dst"});
  EXPECT_EQ((std::vector<std::string>{"", "\t2 files copied", "a.txt", "b.txt"}), SortedLines(run.output));
  ASSERT_GE(run.output.size(), 17u);
  EXPECT_EQ("\t2 files copied\n\n", run.output.substr(run.output.size() - 17));
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("a.txt", ReadBytes(ModuleHostPath(L"A\\dst\\a.txt")));
  EXPECT_EQ("b.txt", ReadBytes(ModuleHostPath(L"A\\dst\\b.txt")));
  EXPECT_FALSE(Exists(ModuleHostPath(L"A\\dst\\c.dat")));
  EXPECT_FALSE(Exists(ModuleHostPath(L"A\\dst\\sub.txt")));

  // A destination that is no folder takes every file in turn.
  run = RunTool(L"VKSCopy", {PcPath(L"w\\?.txt"), L"mod:a:\\one"});
  EXPECT_EQ(0u, run.exitCode) << run.output;
  const std::string last = ReadBytes(ModuleHostPath(L"A\\one"));
  EXPECT_TRUE(last == "a.txt" || last == "b.txt") << last;

  run = RunTool(L"VKSCopy", {PcPath(L"w\\*.none"), L"mod:a:\\dst"});
  EXPECT_EQ("", run.output);
  EXPECT_EQ(0u, run.exitCode);
}

TEST_F(CopyTest, AMissingOrFolderSourceIsNotFound) {
  MakeFolder(PcPath(L"w"));
  for (const std::wstring& source : {PcPath(L"w\\missing.txt"), PcPath(L"w"), PcPath(L"nowhere\\x.txt")}) {
    ToolRun run = RunTool(L"VKSCopy", {source, L"mod:a:\\"});
    EXPECT_EQ("File not found\n", run.output) << Narrow(source);
    EXPECT_EQ(1u, run.exitCode);
  }
  MakeFolder(ModuleHostPath(L"A\\m"));
  for (const wchar_t* source : {L"mod:a:\\m\\missing.txt", L"mod:a:\\missing.txt"}) {
    ToolRun run = RunTool(L"VKSCopy", {source, PcPath(L"w")});
    EXPECT_EQ("File not found\n", run.output) << Narrow(source);
    EXPECT_EQ(1u, run.exitCode);
    run = RunTool(L"VKSCopy", {source, L"mod:a:\\m\\copy.txt"});
    EXPECT_EQ("File not found\n", run.output) << Narrow(source);
    EXPECT_EQ(1u, run.exitCode);
  }
  EXPECT_EQ((std::map<std::wstring, std::string>{}), Tree(PcPath(L"w")));
  EXPECT_EQ((std::map<std::wstring, std::string>{}), Tree(ModuleHostPath(L"A\\m")));
}

// Module files are listed sorted, so these lines come in a fixed order.
TEST_F(CopyTest, WildcardsFromTheModuleCopyEveryMatchingFile) {
  MakeFolder(ModuleHostPath(L"A\\m"));
  MakeFolder(ModuleHostPath(L"A\\m\\sub"));
  WriteBytes(ModuleHostPath(L"A\\m\\sub\\inner.txt"), "inner");
  const std::string big = PatternBytes(200000, 7);
  WriteBytes(ModuleHostPath(L"A\\m\\a.txt"), big);
  WriteBytes(ModuleHostPath(L"A\\m\\b.txt"), "");
  WriteBytes(ModuleHostPath(L"A\\m\\c.dat"), "c");
  MakeFolder(PcPath(L"out"));
  ToolRun run = RunTool(L"VKSCopy", {L"mod:a:\\m\\*.txt", PcPath(L"out")});
  EXPECT_EQ("a.txt\nb.txt\n\t2 files copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ((std::map<std::wstring, std::string>{{L"a.txt", big}, {L"b.txt", ""}}), Tree(PcPath(L"out")));

  // A folder as the source stands for its files, not its subfolders.
  MakeFolder(PcPath(L"all"));
  run = RunTool(L"VKSCopy", {L"mod:a:/m", PcPath(L"all\\")});
  EXPECT_EQ("a.txt\nb.txt\nc.dat\n\t3 files copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ((std::map<std::wstring, std::string>{{L"a.txt", big}, {L"b.txt", ""}, {L"c.dat", "c"}}),
            Tree(PcPath(L"all")));

  // To a PC path that is no folder: that file, written in turn.
  run = RunTool(L"VKSCopy", {L"mod:a:\\m\\c.dat", PcPath(L"single.bin")});
  EXPECT_EQ("c.dat\n\t1 files copied\n\n", run.output);
  EXPECT_EQ("c", ReadBytes(PcPath(L"single.bin")));

  run = RunTool(L"VKSCopy", {L"mod:a:\\m\\*.none", PcPath(L"out")});
  EXPECT_EQ("\t0 files copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
}

TEST_F(CopyTest, WithinTheModuleFilesAreCopiedAndNeverOntoThemselves) {
  MakeFolder(ModuleHostPath(L"A\\m"));
  MakeFolder(ModuleHostPath(L"A\\n"));
  const std::string big = PatternBytes(70000, 3);
  WriteBytes(ModuleHostPath(L"A\\m\\a.txt"), big);
  WriteBytes(ModuleHostPath(L"A\\m\\b.txt"), "b");
  ToolRun run = RunTool(L"VKSCopy", {L"mod:a:\\m\\*.txt", L"mod:a:\\n"});
  EXPECT_EQ("a.txt\nb.txt\n\t2 files copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ((std::map<std::wstring, std::string>{{L"a.txt", big}, {L"b.txt", "b"}}), Tree(ModuleHostPath(L"A\\n")));

  run = RunTool(L"VKSCopy", {L"mod:a:\\m\\b.txt", L"mod:a:\\m\\c.txt"});
  EXPECT_EQ("b.txt\n\t1 files copied\n\n", run.output);
  EXPECT_EQ("b", ReadBytes(ModuleHostPath(L"A\\m\\c.txt")));

  // The file itself, however it is written, and a folder onto itself: refused, nothing lost.
  for (const wchar_t* source : {L"mod:a:\\m\\a.txt", L"MOD:/a:/m/a.txt", L"mod:m\\a.txt"}) {
    run = RunTool(L"VKSCopy", {source, L"mod:a:\\m\\a.txt"});
    EXPECT_EQ("Error copying a.txt\n\t0 files copied\n\n", run.output) << Narrow(source);
    EXPECT_EQ(1u, run.exitCode);
  }
  run = RunTool(L"VKSCopy", {L"mod:a:\\m", L"mod:a:\\m\\"});
  EXPECT_EQ("Error copying a.txt\nError copying b.txt\nError copying c.txt\n\t0 files copied\n\n", run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ((std::map<std::wstring, std::string>{{L"a.txt", big}, {L"b.txt", "b"}, {L"c.txt", "b"}}),
            Tree(ModuleHostPath(L"A\\m")));
}

// A folder where a file should go makes exactly that file fail in every
// direction: it can neither be deleted nor written over.
TEST_F(CopyTest, AFailingFileAmongGoodOnesFailsTheRunAndTheOthersAreCopied) {
  MakeFolder(PcPath(L"src"));
  MakeFolder(ModuleHostPath(L"A\\src"));
  for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
    WriteBytes(PcPath(L"src\\") + name, Narrow(name));
    WriteBytes(ModuleHostPath(L"A\\src\\") + name, Narrow(name));
  }
  MakeFolder(PcPath(L"dst"));
  MakeFolder(PcPath(L"dst\\b.txt"));
  for (const wchar_t* folder : {L"A\\dst", L"A\\dst\\b.txt"}) MakeFolder(ModuleHostPath(folder));
  WriteBytes(ModuleHostPath(L"A\\dst\\b.txt\\keep"), "keep");

  struct Case {
    std::wstring source, destination, copied;
  };
  const Case cases[] = {{PcPath(L"src\\*.txt"), L"mod:a:\\dst", ModuleHostPath(L"A\\dst")},
                        {L"mod:a:\\src\\*.txt", PcPath(L"dst"), PcPath(L"dst")},
                        {L"mod:a:\\src\\*.txt", L"mod:a:\\dst", ModuleHostPath(L"A\\dst")}};
  for (const Case& c : cases) {
    ToolRun run = RunTool(L"VKSCopy", {c.source, c.destination});
    EXPECT_NE(std::string::npos, run.output.find("a.txt\n")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Error copying b.txt\n")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("c.txt\n")) << run.output;
    ASSERT_GE(run.output.size(), 17u);
    EXPECT_EQ("\t2 files copied\n\n", run.output.substr(run.output.size() - 17)) << run.output;
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("a.txt", ReadBytes(c.copied + L"\\a.txt"));
    EXPECT_EQ("c.txt", ReadBytes(c.copied + L"\\c.txt"));
    DeleteFileW((c.copied + L"\\a.txt").c_str());
    DeleteFileW((c.copied + L"\\c.txt").c_str());
  }
  EXPECT_EQ("keep", ReadBytes(ModuleHostPath(L"A\\dst\\b.txt\\keep")));
}

// The stream over a PC file shares it for reading only, and says why it cannot open one.
TEST_F(CopyTest, APCFileOpenForWritingElsewhereIsReportedWithTheSystemsText) {
  WriteBytes(PcPath(L"busy.txt"), "busy");
  HANDLE writer = CreateFileW(PcPath(L"busy.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  ToolRun run = RunTool(L"VKSCopy", {PcPath(L"busy.txt"), L"mod:a:\\"});
  CloseHandle(writer);
  // Wine's text for the sharing violation.
  EXPECT_EQ("Sharing violation.\n\n"
            "Error copying busy.txt\n\t0 files copied\n\n",
            run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_FALSE(Exists(ModuleHostPath(L"A\\busy.txt")));
}

TEST_F(CopyTest, OnThePCTheCommandInterpretersCopyRunsWithQuotedPaths) {
  const std::string bytes = PatternBytes(5000, 5);
  WriteBytes(PcPath(L"with blank.bin"), bytes);
  ToolRun run = RunTool(L"VKSCopy", {PcPath(L"with blank.bin"), PcPath(L"other blank.bin")});
  EXPECT_EQ(std::string::npos, run.output.find("Error copying")) << run.output;
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(ReadBytes(PcPath(L"other blank.bin")) == bytes);

  // The child's failure is the tool's failure.
  run = RunTool(L"VKSCopy", {PcPath(L"no such.bin"), PcPath(L"x.bin")});
  const std::string line = "Error copying " + Narrow(PcPath(L"no such.bin")) + "\n";
  ASSERT_GE(run.output.size(), line.size());
  EXPECT_EQ(line, run.output.substr(run.output.size() - line.size()));
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_FALSE(Exists(PcPath(L"x.bin")));
}

// The simulator drops the line in the middle of the file (the server takes a
// while to give up on the module).
TEST_F(CopyTest, AnInterruptedTransferFailsAndLeavesNoBrokenFile) {
  const std::string earlier = "the earlier copy";
  const std::string big = PatternBytes(300000, 9);
  WriteBytes(ModuleHostPath(L"A\\big.bin"), big);
  WriteBytes(PcPath(L"big.bin"), earlier);
  vkstest::CSimControl sim;
  ASSERT_TRUE(sim.Command("obex fault drop tx 150000"));
  ToolRun run = RunTool(L"VKSCopy", {L"mod:a:\\big.bin", PcPath(L"")});
  EXPECT_NE(std::string::npos, run.output.find("Error copying big.bin\n\t0 files copied\n\n")) << run.output;
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_TRUE(ReadBytes(PcPath(L"big.bin")) == earlier);

  WriteBytes(PcPath(L"up.bin"), big);
  ASSERT_TRUE(sim.Command("obex fault drop rx 150000"));
  run = RunTool(L"VKSCopy", {PcPath(L"up.bin"), L"mod:a:\\"});
  EXPECT_NE(std::string::npos, run.output.find("Error copying up.bin\n\t0 files copied\n\n")) << run.output;
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_FALSE(Exists(ModuleHostPath(L"A\\up.bin")));
}

}  // namespace
