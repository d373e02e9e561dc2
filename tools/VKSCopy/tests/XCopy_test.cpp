// VKSXCopy against the registered server and the simulated module: trees in
// every direction, byte for byte, empty folders included.
#include "CopyFixture.h"

namespace {

using namespace vkstest;

using XCopyTest = CopyToolTest;

std::map<std::wstring, std::string> Folders(std::initializer_list<const wchar_t*> names) {
  std::map<std::wstring, std::string> folders;
  for (const wchar_t* name : names) folders[name] = "<dir>";
  return folders;
}

TEST_F(XCopyTest, ATreeGoesToTheModuleBackAndWithinItWhole) {
  SeedTree(PcPath(L"tree"));
  const std::map<std::wstring, std::string> tree = Tree(PcPath(L"tree"));
  ASSERT_EQ(9u, tree.size());

  // The PC's search order is its own; each level's subfolders come before its files.
  ToolRun run = RunTool(L"VKSXCopy", {PcPath(L"tree"), L"mod:a:\\dst"});
  EXPECT_EQ(0u, run.exitCode);
  std::vector<std::string> lines = Lines(run.output);
  ASSERT_EQ(7u, lines.size()) << run.output;
  EXPECT_EQ("5 file(s) copied", lines[5]);
  EXPECT_EQ("", lines[6]);
  const std::string root = Narrow(PcPath(L"tree")) + "\\";
  auto at = [&](const std::string& file) {
    return std::find(lines.begin(), lines.end(), root + file) - lines.begin();
  };
  EXPECT_LT(at("d1\\d2\\two.bin"), at("d1\\one.jar"));
  EXPECT_LT(at("d1\\d2\\two.jar"), at("d1\\one.jar"));
  EXPECT_LT(at("d1\\one.jar"), at("top.bin"));
  EXPECT_LT(at("d1\\one.jar"), at("top.jar"));
  EXPECT_LT(at("top.jar"), 5);
  EXPECT_TRUE(Tree(ModuleHostPath(L"A\\dst")) == tree);

  // The module lists folders first and sorted, so this order is fixed.
  const char kBackLines[] =
      "MOD:\\A:\\dst\\d1\\d2\\two.bin\n"
      "MOD:\\A:\\dst\\d1\\d2\\two.jar\n"
      "MOD:\\A:\\dst\\d1\\one.jar\n"
      "MOD:\\A:\\dst\\top.bin\n"
      "MOD:\\A:\\dst\\top.jar\n"
      "5 file(s) copied\n\n";
  run = RunTool(L"VKSXCopy", {L"mod:a:/dst", PcPath(L"back")});
  EXPECT_EQ(kBackLines, run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(Tree(PcPath(L"back")) == tree);

  run = RunTool(L"VKSXCopy", {L"mod:a:\\dst", L"mod:a:\\copy"});
  EXPECT_EQ(kBackLines, run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(Tree(ModuleHostPath(L"A\\copy")) == tree);
}

// Every folder of every level is made, also where no file matches.
TEST_F(XCopyTest, AWildcardCopiesMatchingFilesOfEveryLevel) {
  SeedTree(PcPath(L"tree"));
  std::map<std::wstring, std::string> jars = Folders({L"d1", L"d1\\d2", L"d1\\d2\\d3", L"e"});
  for (const wchar_t* jar : {L"top.jar", L"d1\\one.jar", L"d1\\d2\\two.jar"})
    jars[jar] = ReadBytes(PcPath(L"tree\\") + jar);

  ToolRun run = RunTool(L"VKSXCopy", {PcPath(L"tree\\*.jar"), L"mod:a:\\jars"});
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("\n3 file(s) copied\n\n")) << run.output;
  EXPECT_TRUE(Tree(ModuleHostPath(L"A\\jars")) == jars);

  run = RunTool(L"VKSXCopy", {L"mod:a:\\jars\\*one.jar", PcPath(L"one")});
  EXPECT_EQ("MOD:\\A:\\jars\\d1\\one.jar\n1 file(s) copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  std::map<std::wstring, std::string> one = Folders({L"d1", L"d1\\d2", L"d1\\d2\\d3", L"e"});
  one[L"d1\\one.jar"] = jars[L"d1\\one.jar"];
  EXPECT_TRUE(Tree(PcPath(L"one")) == one);
}

TEST_F(XCopyTest, ACopyIntoItselfIsRefusedBeforeAnythingIsMade) {
  MakeFolder(ModuleHostPath(L"A\\java"));
  MakeFolder(ModuleHostPath(L"A\\java\\lib"));
  WriteBytes(ModuleHostPath(L"A\\java\\app.jar"), "app");
  WriteBytes(ModuleHostPath(L"A\\java\\lib\\inner.jar"), "inner");
  const std::map<std::wstring, std::string> java = Tree(ModuleHostPath(L"A\\java"));
  const std::pair<const wchar_t*, const wchar_t*> cycles[] = {
      {L"mod:a:\\java", L"mod:a:\\java\\backup"},   {L"mod:a:\\java\\*.jar", L"mod:a:\\java"},
      {L"mod:a:\\java", L"mod:a:\\java"},           {L"mod:a:\\java", L"mod:a:\\JAVA\\new\\deeper"},
      {L"mod:a:\\java\\app.jar", L"mod:a:\\java\\app.jar"}, {L"mod:a:", L"mod:a:\\elsewhere"},
  };
  for (const auto& [source, destination] : cycles) {
    ToolRun run = RunTool(L"VKSXCopy", {source, destination});
    EXPECT_EQ("Cannot perform a cyclic copy\n0 file(s) copied\n\n", run.output) << Narrow(destination);
    EXPECT_EQ(1u, run.exitCode);
  }
  EXPECT_TRUE(Tree(ModuleHostPath(L"A\\java")) == java);
  EXPECT_FALSE(Exists(ModuleHostPath(L"A\\elsewhere")));

  // A name that only begins like the source is no cycle.
  ToolRun run = RunTool(L"VKSXCopy", {L"mod:a:\\java", L"mod:a:\\javanew"});
  EXPECT_EQ("MOD:\\A:\\java\\lib\\inner.jar\nMOD:\\A:\\java\\app.jar\n2 file(s) copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(Tree(ModuleHostPath(L"A\\javanew")) == java);
}

// The PC destination is made with its missing parents, an existing file
// stands for its folder, and a subfolder that exists already stops the copy.
TEST_F(XCopyTest, PCDestinationsFollowTheSubfolderRules) {
  MakeFolder(ModuleHostPath(L"A\\t"));
  MakeFolder(ModuleHostPath(L"A\\t\\sub"));
  WriteBytes(ModuleHostPath(L"A\\t\\sub\\s.txt"), "s");
  WriteBytes(ModuleHostPath(L"A\\t\\f.txt"), "f");
  const std::map<std::wstring, std::string> t = Tree(ModuleHostPath(L"A\\t"));

  ToolRun run = RunTool(L"VKSXCopy", {L"mod:a:\\t", PcPath(L"new\\deep\\er")});
  EXPECT_EQ("MOD:\\A:\\t\\sub\\s.txt\nMOD:\\A:\\t\\f.txt\n2 file(s) copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(Tree(PcPath(L"new\\deep\\er")) == t);

  MakeFolder(PcPath(L"byfile"));
  WriteBytes(PcPath(L"byfile\\existing.txt"), "x");
  run = RunTool(L"VKSXCopy", {L"mod:a:\\t", PcPath(L"byfile\\existing.txt")});
  EXPECT_EQ(0u, run.exitCode) << run.output;
  std::map<std::wstring, std::string> byFile = t;
  byFile[L"existing.txt"] = "x";
  EXPECT_TRUE(Tree(PcPath(L"byfile")) == byFile);

  run = RunTool(L"VKSXCopy", {L"mod:a:\\t", PcPath(L"new\\deep\\er")});
  EXPECT_EQ("Failed to create destination directory " + Narrow(PcPath(L"new\\deep\\er")) + "\\\n", run.output);
  EXPECT_EQ(1u, run.exitCode);

  // A destination that cannot be made at all (its parent is a file).
  run = RunTool(L"VKSXCopy", {L"mod:a:\\t", PcPath(L"byfile\\existing.txt\\x\\y")});
  EXPECT_EQ("Failed to create destination directory " + Narrow(PcPath(L"byfile\\existing.txt\\x\\y")) +
                "\n0 file(s) copied\n\n",
            run.output);
  EXPECT_EQ(1u, run.exitCode);
}

// An existing module file stands for its folder; a missing folder is made with its parents.
TEST_F(XCopyTest, ModuleDestinationsAreFoldersFilesOrMade) {
  MakeFolder(PcPath(L"small"));
  WriteBytes(PcPath(L"small\\a.txt"), "a");
  MakeFolder(ModuleHostPath(L"A\\dst"));
  WriteBytes(ModuleHostPath(L"A\\dst\\existing.txt"), "existing");
  ToolRun run = RunTool(L"VKSXCopy", {PcPath(L"small"), L"mod:a:\\dst\\existing.txt"});
  EXPECT_EQ(Narrow(PcPath(L"small\\a.txt")) + "\n1 file(s) copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE((Tree(ModuleHostPath(L"A\\dst")) ==
               std::map<std::wstring, std::string>{{L"a.txt", "a"}, {L"existing.txt", "existing"}}));

  run = RunTool(L"VKSXCopy", {L"mod:a:\\dst\\a.txt", L"mod:a:\\other\\deep"});
  EXPECT_EQ("MOD:\\A:\\dst\\a.txt\n1 file(s) copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE((Tree(ModuleHostPath(L"A\\other")) ==
               std::map<std::wstring, std::string>{{L"deep", "<dir>"}, {L"deep\\a.txt", "a"}}));
}

TEST_F(XCopyTest, AMissingPCSourceFolderCopiesNothing) {
  ToolRun run = RunTool(L"VKSXCopy", {PcPath(L"nothing"), L"mod:a:\\d"});
  EXPECT_EQ("0 file(s) copied\n\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
}

TEST_F(XCopyTest, AFailingFileAmongGoodOnesFailsTheRunAndTheOthersAreCopied) {
  MakeFolder(ModuleHostPath(L"A\\t"));
  for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) WriteBytes(ModuleHostPath(L"A\\t\\") + name, Narrow(name));
  MakeFolder(PcPath(L"out"));
  MakeFolder(PcPath(L"out\\b.txt"));
  ToolRun run = RunTool(L"VKSXCopy", {L"mod:a:\\t", PcPath(L"out")});
  EXPECT_EQ("MOD:\\A:\\t\\a.txt\nError copying MOD:\\A:\\t\\b.txt\nMOD:\\A:\\t\\c.txt\n2 file(s) copied\n\n",
            run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ("a.txt", ReadBytes(PcPath(L"out\\a.txt")));
  EXPECT_EQ("c.txt", ReadBytes(PcPath(L"out\\c.txt")));
}

// What the server says for a bad answer from the module (the system's text,
// line end included), as the tools print it.
std::string BadAnswerText() {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                 static_cast<DWORD>(E_FAIL), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string line = text ? text : "";
  if (text) LocalFree(text);
  for (size_t at; (at = line.find("\r\n")) != std::string::npos;) line.erase(at, 1);
  return line + "\n";
}

// A listing the module breaks off fails the request: no part of a folder is
// copied or shown as if it were all of it.
TEST_F(XCopyTest, ABrokenListingFailsTheCopyAndTheListing) {
  MakeFolder(ModuleHostPath(L"A\\t"));
  for (const wchar_t* name : {L"a.txt", L"b.txt"}) WriteBytes(ModuleHostPath(L"A\\t\\") + name, Narrow(name));
  vkstest::CSimControl sim;
  ASSERT_TRUE(sim.Command("obex listing cut"));
  ToolRun run = RunTool(L"VKSXCopy", {L"mod:a:\\t", PcPath(L"out")});
  EXPECT_EQ(BadAnswerText() + BadAnswerText() + "0 file(s) copied\n\n", run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_TRUE(Tree(PcPath(L"out")).empty());

  ASSERT_TRUE(sim.Command("obex listing nul"));
  run = RunTool(L"VKSDir", {L"mod:a:\\t\\"});
  EXPECT_EQ(BadAnswerText(), run.output);
  EXPECT_EQ(1u, run.exitCode);
}

// What xcopy itself prints may reach the same output (under Wine it does);
// the tool adds a line only for a failure.
TEST_F(XCopyTest, OnThePCTheSystemsXcopyRunsWithQuotedPaths) {
  SeedTree(PcPath(L"my tree"));
  ToolRun run = RunTool(L"VKSXCopy", {PcPath(L"my tree"), PcPath(L"your tree")});
  EXPECT_EQ(std::string::npos, run.output.find("Error copying")) << run.output;
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(Tree(PcPath(L"your tree")) == Tree(PcPath(L"my tree")));

  run = RunTool(L"VKSXCopy", {PcPath(L"no tree"), PcPath(L"other tree")});
  const std::string line = "Error copying " + Narrow(PcPath(L"no tree")) + "\n";
  ASSERT_GE(run.output.size(), line.size());
  EXPECT_EQ(line, run.output.substr(run.output.size() - line.size()));
  EXPECT_EQ(1u, run.exitCode);
}

}  // namespace
