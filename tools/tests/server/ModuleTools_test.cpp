// The path tools against the registered server and the simulated module: what
// they print, their exit codes and what the module's volumes hold afterwards.
#include <set>
#include "ChildProcess.h"
#include "ServerFixture.h"

namespace {

using namespace vkstest;

// 2024-03-05 06:07:08 (the tests run with TZ=UTC, so local is UTC).
const SYSTEMTIME kSeedTime = {2024, 3, 2, 5, 6, 7, 8, 0};

class ModuleToolsTest : public ToolServerTest {
protected:
  static std::wstring HostPath(const std::wstring& modulePath) {   // "A\java\x.txt"
    return vkstest::CSimControl::DataDirW() + L"\\" + modulePath;
  }
  static void MakeFolder(const std::wstring& modulePath) {
    ASSERT_TRUE(CreateDirectoryW(HostPath(modulePath).c_str(), nullptr)) << Narrow(modulePath);
  }
  static void MakeFile(const std::wstring& modulePath, size_t size) {
    HANDLE file = CreateFileW(HostPath(modulePath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << Narrow(modulePath);
    std::string bytes(size, 'x');
    DWORD written = 0;
    if (size) WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(size, written);
  }
  // The module reports a host entry's modification time as its times.
  static void SetSeedTime(const std::wstring& modulePath) {
    HANDLE entry = CreateFileW(HostPath(modulePath).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, entry) << Narrow(modulePath);
    FILETIME time;
    SystemTimeToFileTime(&kSeedTime, &time);
    EXPECT_TRUE(SetFileTime(entry, &time, &time, &time));
    CloseHandle(entry);
  }
  static bool Exists(const std::wstring& modulePath) {
    return GetFileAttributesW(HostPath(modulePath).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // Names in a host folder, "\" after folders.
  static std::set<std::wstring> Names(const std::wstring& modulePath) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((HostPath(modulePath) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      names.insert(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? name + L"\\" : name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }
  // A\java with a subfolder and three files, all with the seed time.
  void SeedJava() {
    MakeFolder(L"A\\java");
    MakeFolder(L"A\\java\\lib");
    MakeFile(L"A\\java\\lib\\inner.jar", 10);
    MakeFile(L"A\\java\\app.jar", 1234567);
    MakeFile(L"A\\java\\readme.txt", 0);
    MakeFile(L"A\\java\\notes.txt", 999);
    for (const wchar_t* entry : {L"A\\java\\lib", L"A\\java\\app.jar", L"A\\java\\readme.txt", L"A\\java\\notes.txt"})
      SetSeedTime(entry);
  }
};

const char kJavaListing[] =
    "\n"
    " Module directory of A:\\java\n"
    "\n"
    "3/5/2024 6:07:08 AM  <DIR>               lib\n"
    "3/5/2024 6:07:08 AM           1,234,567  app.jar\n"
    "3/5/2024 6:07:08 AM                 999  notes.txt\n"
    "3/5/2024 6:07:08 AM                   0  readme.txt\n"
    "               3 File(s),  1,235,566 Bytes\n"
    "               1 Dir(s)\n";

TEST_F(ModuleToolsTest, DirWithBareModListsTheDrives) {
  MakeFile(L"A\\data.bin", 1000);
  MakeFolder(L"B");
  for (const wchar_t* argument : {L"mod:", L"MOD:\\*", L"mod:*", L"mod:/"}) {
    ToolRun run = RunTool(L"VKSDir", {argument});
    EXPECT_EQ("\n Module drive list\n\n"
              " A:  (Capacity:  16,777,216, Free:  16,776,216)\n"
              " B:  (Capacity:  16,777,216, Free:  16,777,216)\n"
              "               2 Drive(s)\n",
              run.output)
        << Narrow(argument);
    EXPECT_EQ(0u, run.exitCode);
  }
}

// However the folder is named, it is listed with its directories first and
// the totals, in the locale the tests pin (en-US, UTC).
TEST_F(ModuleToolsTest, DirListsAFolderDirectoriesFirst) {
  SeedJava();
  for (const wchar_t* argument : {L"mod:a:/java", L"mod:\\a:\\java", L"MOD:A:\\java\\", L"mod:java", L"mod:a:java\\*"}) {
    ToolRun run = RunTool(L"VKSDir", {argument});
    EXPECT_EQ(kJavaListing, run.output) << Narrow(argument);
    EXPECT_EQ(0u, run.exitCode);
  }
}

// A pattern or a file name is listed as it stands, under the heading of its folder.
TEST_F(ModuleToolsTest, DirWithWildcardOrFileNameListsTheMatchesOnly) {
  SeedJava();
  for (const wchar_t* argument : {L"mod:a:\\java\\*.jar", L"mod:a:\\java\\app.jar", L"mod:a:/java/?pp.*"}) {
    ToolRun run = RunTool(L"VKSDir", {argument});
    EXPECT_EQ("\n Module directory of A:\\java\n\n"
              "3/5/2024 6:07:08 AM           1,234,567  app.jar\n"
              "               1 File(s),  1,234,567 Bytes\n"
              "               0 Dir(s)\n",
              run.output)
        << Narrow(argument);
    EXPECT_EQ(0u, run.exitCode);
  }
}

// The root's heading keeps its backslash.
TEST_F(ModuleToolsTest, DirOfAVolumeRoot) {
  MakeFile(L"A\\top.txt", 12345);
  SetSeedTime(L"A\\top.txt");
  ToolRun run = RunTool(L"VKSDir", {L"mod:a:"});
  EXPECT_EQ("\n Module directory of A:\\\n\n"
            "3/5/2024 6:07:08 AM              12,345  top.txt\n"
            "               1 File(s),  12,345 Bytes\n"
            "               0 Dir(s)\n",
            run.output);
  EXPECT_EQ(0u, run.exitCode);
}

TEST_F(ModuleToolsTest, DirOfAnEmptyFolderShowsZeroTotals) {
  MakeFolder(L"A\\empty");
  ToolRun run = RunTool(L"VKSDir", {L"mod:a:\\empty"});
  EXPECT_EQ("\n Module directory of A:\\empty\n\n"
            "               0 File(s),  0 Bytes\n"
            "               0 Dir(s)\n",
            run.output);
  EXPECT_EQ(0u, run.exitCode);
}

// Names reach the console in its OEM code page (437 here).
TEST_F(ModuleToolsTest, DirPrintsNamesInTheOemCodePage) {
  MakeFolder(L"A\\names");
  MakeFile(L"A\\names\\gr\u00F6\u00DFe.txt", 3);
  SetSeedTime(L"A\\names\\gr\u00F6\u00DFe.txt");
  ToolRun run = RunTool(L"VKSDir", {L"mod:a:\\names"});
  EXPECT_NE(std::string::npos, run.output.find("                   3  gr\x94\xE1" "e.txt\n")) << run.output;
  EXPECT_EQ(0u, run.exitCode);
}

// The server's own text, not the tool's fallback line.
TEST_F(ModuleToolsTest, ServerErrorsReachTheOutputAsTheServersText) {
  for (const wchar_t* tool : {L"VKSDir", L"VKSFormat"}) {
    ToolRun run = RunTool(tool, {L"mod:c:"});
    EXPECT_EQ("Invalid parameter.\n\n", run.output) << Narrow(tool);
    EXPECT_EQ(1u, run.exitCode);
  }
}

TEST_F(ModuleToolsTest, PortThatCannotBeOpenedIsReportedWrappedAt80Columns) {
  ASSERT_TRUE(WriteSuitePort(L"COM256"));
  ToolRun run = RunTool(L"VKSMkdir", {L"mod:a:\\x"});
  // Lines stay below 80 columns, so a full console line never adds a blank one.
  EXPECT_EQ("The port could not be opened. Check whether the COM port is available and\n"
            "select an available COM port from the Orlenti Software properties.\n",
            run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_FALSE(Exists(L"A\\x"));
}

TEST_F(ModuleToolsTest, DelWithWildcardDeletesTheMatchingFilesOnly) {
  SeedJava();
  ToolRun run = RunTool(L"VKSDel", {L"mod:a:\\java\\*.txt"});
  EXPECT_EQ("", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ((std::set<std::wstring>{L"lib\\", L"app.jar"}), Names(L"A\\java"));
  // Everything, but folders are never deleted or entered.
  run = RunTool(L"VKSDel", {L"mod:a:/java/*"});
  EXPECT_EQ("", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ((std::set<std::wstring>{L"lib\\"}), Names(L"A\\java"));
  EXPECT_EQ((std::set<std::wstring>{L"inner.jar"}), Names(L"A\\java\\lib"));
}

TEST_F(ModuleToolsTest, DelWithoutMatchIsSilent) {
  SeedJava();
  ToolRun run = RunTool(L"VKSDel", {L"mod:a:\\java\\*.none"});
  EXPECT_EQ("", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(4u, Names(L"A\\java").size());
}

// The server has no text for a missing folder here, so the tools' own line names the code.
TEST_F(ModuleToolsTest, ListingAMissingFolderFails) {
  const std::pair<const wchar_t*, const wchar_t*> runs[] = {{L"VKSDel", L"mod:a:\\nowhere\\*"},
                                                            {L"VKSRmdir", L"mod:a:\\nowhere"}};
  for (const auto& [tool, argument] : runs) {
    ToolRun run = RunTool(tool, {argument});
    EXPECT_EQ("Unknown error accessing module: 0x80030002\n", run.output) << Narrow(tool);
    EXPECT_EQ(1u, run.exitCode);
  }
}

TEST_F(ModuleToolsTest, MkdirCreatesANestedPath) {
  ToolRun run = RunTool(L"VKSMkdir", {L"mod:a:/new/deep/er"});
  EXPECT_EQ("", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(Exists(L"A\\new\\deep\\er"));
  EXPECT_EQ((std::set<std::wstring>{L"er\\"}), Names(L"A\\new\\deep"));
}

TEST_F(ModuleToolsTest, RmdirRemovesTheTreeDeepestFirst) {
  MakeFolder(L"A\\t");
  MakeFolder(L"A\\t\\u");
  MakeFile(L"A\\t\\u\\v.txt", 5);
  MakeFile(L"A\\t\\w.txt", 6);
  MakeFile(L"A\\keep.txt", 1);
  ToolRun run = RunTool(L"VKSRmdir", {L"mod:a:\\t"});
  EXPECT_EQ("Removed directory A:\\t\\u\nRemoved directory A:\\t\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_FALSE(Exists(L"A\\t"));
  EXPECT_EQ((std::set<std::wstring>{L"keep.txt"}), Names(L"A"));
}

// A read-only file stays, so its folder stays too: both failures are printed,
// and the rest of the tree goes on being removed.
TEST_F(ModuleToolsTest, RmdirLeavesTheFolderOfAFileThatCannotBeDeleted) {
  MakeFolder(L"A\\t");
  MakeFile(L"A\\t\\lock.txt", 1);
  MakeFile(L"A\\t\\loose.txt", 2);
  MakeFolder(L"A\\t\\sub");
  CreateDirectoryW(HostPath(L".meta").c_str(), nullptr);
  HANDLE meta = CreateFileW(HostPath(L".meta\\A.attr").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, meta);
  const char line[] = "R\t\t0\t0\tt/lock.txt\n";   // user may read, not write or delete
  DWORD written = 0;
  WriteFile(meta, line, sizeof line - 1, &written, nullptr);
  CloseHandle(meta);
  ToolRun run = RunTool(L"VKSRmdir", {L"mod:a:\\t"});
  // The module lists folders first; the system's texts end in a line break of their own.
  EXPECT_EQ("Removed directory A:\\t\\sub\n"
            "Access denied.\n\n"    // Delete of lock.txt
            "Access denied.\n\n",   // RemoveDir of t, which is not empty
            run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ((std::set<std::wstring>{L"lock.txt"}), Names(L"A\\t"));
}

// Without a drive letter it is A: that is formatted.
TEST_F(ModuleToolsTest, FormatEmptiesTheVolume) {
  MakeFolder(L"B");
  MakeFile(L"B\\stays.txt", 4);
  for (const wchar_t* argument : {L"mod:a:", L"mod:"}) {
    SeedJava();
    ToolRun run = RunTool(L"VKSFormat", {argument});
    EXPECT_EQ("", run.output) << Narrow(argument);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(Names(L"A").empty());
    EXPECT_EQ((std::set<std::wstring>{L"stays.txt"}), Names(L"B"));
  }
}

// After VKSClose another program can open the port at once.
TEST_F(ModuleToolsTest, CloseReleasesThePortForOthers) {
  ASSERT_EQ(0u, RunTool(L"VKSDir", {L"mod:"}).exitCode);
  ToolRun run = RunTool(L"VKSClose", {L"10"});
  EXPECT_EQ("VKS port successfully closed\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(WaitForNoServer(5000));
  HANDLE port = CreateFileW((L"\\\\.\\" + m_port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, port) << GetLastError();
  if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
}

}  // namespace
