// ZTRInit.exe run as a child process against the module simulator: its lines,
// exit codes and what the simulated volumes hold afterwards.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <string>
#include <vector>

#include "ZTRInitFixture.h"
#include "ChildProcess.h"

namespace {

using namespace ztrtest;

const char kSuccessLine[] = "\nSuccess initializing module file system\n\n";
const char kFailureLine[] = "\nFailure initializing module file system\n\n";

ToolRun RunTool(const std::vector<std::wstring>& args) { return vkstest::RunTool(L"ZTRInit", args); }

// Collects what processes send to the debugger output while no debugger is
// attached: the system-wide buffer that debug-output viewers read.
class CDebugOutputMonitor {
public:
  CDebugOutputMonitor() {
    m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    m_bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    m_dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    m_view = m_mapping ? MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 4096) : nullptr;
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_view && m_bufferReady && m_dataReady && m_stop)
      m_thread = CreateThread(nullptr, 0, &CDebugOutputMonitor::Run, this, 0, nullptr);
  }
  ~CDebugOutputMonitor() {
    Stop();
    if (m_view) UnmapViewOfFile(m_view);
    for (HANDLE h : {m_mapping, m_bufferReady, m_dataReady, m_stop})
      if (h) CloseHandle(h);
  }
  bool Ok() const { return m_thread != nullptr; }
  void Stop() {
    if (!m_thread) return;
    SetEvent(m_stop);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  // Everything process sent, in order.
  std::string TextOf(DWORD process) const {
    std::string text;
    for (const auto& [pid, message] : m_messages)
      if (pid == process) text += message;
    return text;
  }

private:
  static DWORD WINAPI Run(void* self) {
    auto* monitor = static_cast<CDebugOutputMonitor*>(self);
    const HANDLE waits[2] = {monitor->m_dataReady, monitor->m_stop};
    SetEvent(monitor->m_bufferReady);
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
      const auto* buffer = static_cast<const char*>(monitor->m_view);
      DWORD pid;
      memcpy(&pid, buffer, sizeof pid);
      const char* text = buffer + sizeof pid;
      monitor->m_messages.emplace_back(pid, std::string(text, strnlen(text, 4096 - sizeof pid)));
      SetEvent(monitor->m_bufferReady);
    }
    return 0;
  }

  HANDLE m_mapping = nullptr, m_bufferReady = nullptr, m_dataReady = nullptr, m_stop = nullptr;
  HANDLE m_thread = nullptr;
  void* m_view = nullptr;
  std::vector<std::pair<DWORD, std::string>> m_messages;
};

bool ProcessRuns(const wchar_t* exeName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry))
    found = _wcsicmp(entry.szExeFile, exeName) == 0;
  CloseHandle(snapshot);
  return found;
}


TEST_F(ZTRInitSim, TwoVolumesOneFormattedGetTheirTreesByteForByte) {
  UseVolumes(2);
  const Tree treeA = {{"java", "<dir>"},
                      {"java\\app.jar", PatternBytes(70000, 1)},
                      {"java\\lib", "<dir>"},
                      {"java\\lib\\deep", "<dir>"},
                      {"java\\lib\\deep\\x.bin", PatternBytes(300, 2)},
                      {"rate 100%s %d.txt", "percent"},
                      {"readme.txt", "new readme"},
                      {"empty.txt", ""}};
  const Tree treeB = {{"docs", "<dir>"},
                      {"docs\\en", "<dir>"},
                      {"docs\\en\\chapter", "<dir>"},
                      {"docs\\en\\chapter\\one.txt", PatternBytes(20000, 3)},
                      {"b.txt", "bee"}};
  WriteTree(sources + L"\\A", treeA);
  WriteTree(sources + L"\\B", treeB);
  // A is not formatted: a file of the same name is overwritten. B is: its old file goes.
  WriteBytes(Volume(L'A') + L"\\readme.txt", "old readme, longer than the new one");
  WriteBytes(Volume(L'B') + L"\\stale.txt", "stale");

  const ToolRun run = RunTool({port, L"115200", L"a:", sources + L"\\A", L"b:", sources + L"\\B", L"-f"});

  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(std::string("Formating B:\n"
                        "Copying file \"A:\\empty.txt\"\n"
                        "Creating directory \"A:\\java\"\n"
                        "Copying file \"A:\\java\\app.jar\"\n"
                        "Creating directory \"A:\\java\\lib\"\n"
                        "Creating directory \"A:\\java\\lib\\deep\"\n"
                        "Copying file \"A:\\java\\lib\\deep\\x.bin\"\n"
                        "Copying file \"A:\\rate 100%s %d.txt\"\n"
                        "Copying file \"A:\\readme.txt\"\n"
                        "Copying file \"B:\\b.txt\"\n"
                        "Creating directory \"B:\\docs\"\n"
                        "Creating directory \"B:\\docs\\en\"\n"
                        "Creating directory \"B:\\docs\\en\\chapter\"\n"
                        "Copying file \"B:\\docs\\en\\chapter\\one.txt\"\n") +
                kSuccessLine,
            run.output);
  EXPECT_EQ(treeA, ReadTree(Volume(L'A')));
  EXPECT_EQ(treeB, ReadTree(Volume(L'B')));
  // No server was started for it.
  EXPECT_FALSE(ProcessRuns(L"VKSServer.exe"));
}

TEST_F(ZTRInitSim, FormatAloneEmptiesTheVolumeAndCopiesNothing) {
  UseVolumes(1);
  WriteTree(Volume(L'A'), {{"old", "<dir>"}, {"old\\x.txt", "x"}, {"y.txt", "y"}});
  // The port list is searched without case.
  std::wstring lower = port;
  CharLowerW(&lower[0]);
  const ToolRun run = RunTool({lower, L"115200", L"A:", L"-F"});
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(std::string("Formating A:\n") + kSuccessLine, run.output);
  EXPECT_EQ(Tree{}, ReadTree(Volume(L'A')));
}

TEST_F(ZTRInitSim, OneVolumeModuleTakesATreeWithFolders) {
  UseVolumes(1);
  const Tree tree = {{"a", "<dir>"}, {"a\\b", "<dir>"}, {"a\\b\\c.txt", PatternBytes(40000, 4)},
                     {"top.txt", "top"}};
  WriteTree(sources + L"\\A", tree);
  const ToolRun run = RunTool({port, L"115200", L"a:", sources + L"\\A"});
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(std::string("Creating directory \"A:\\a\"\n"
                        "Creating directory \"A:\\a\\b\"\n"
                        "Copying file \"A:\\a\\b\\c.txt\"\n"
                        "Copying file \"A:\\top.txt\"\n") +
                kSuccessLine,
            run.output);
  EXPECT_EQ(tree, ReadTree(Volume(L'A')));
}

// Only the second volume named: the first is neither formatted nor filled.
TEST_F(ZTRInitSim, SecondVolumeAloneLeavesTheFirstAsItWas) {
  UseVolumes(2);
  const Tree untouched = {{"keep.txt", "keep"}};
  WriteTree(Volume(L'A'), untouched);
  WriteTree(Volume(L'B'), {{"old.txt", "old"}});
  WriteTree(sources + L"\\B", {{"new.txt", "new"}});
  const ToolRun run = RunTool({port, L"115200", L"b:", sources + L"\\B", L"-f"});
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(std::string("Formating B:\nCopying file \"B:\\new.txt\"\n") + kSuccessLine, run.output);
  EXPECT_EQ(untouched, ReadTree(Volume(L'A')));
  EXPECT_EQ((Tree{{"new.txt", "new"}}), ReadTree(Volume(L'B')));
}

// The rate on the command line is the first one the line is tried at.
TEST_F(ZTRInitSim, TheBaudRateGivenIsTriedFirst) {
  UseVolumes(1);
  ASSERT_TRUE(sim.Command("set baud 57600"));
  const ToolRun run = RunTool({port, L"57600", L"a:", L"-f"});
  EXPECT_EQ(0u, run.exitCode) << run.output;
  EXPECT_EQ("57600", sim.Get("rates"));
}

// Every message goes to the debugger as well, as it is ("%" included); the
// closing line goes to standard output only.
TEST_F(ZTRInitSim, DebuggerSeesTheSameMessages) {
  UseVolumes(1);
  WriteTree(sources + L"\\A", {{"100% %s.txt", "p"}, {"sub", "<dir>"}});
  CDebugOutputMonitor monitor;
  ASSERT_TRUE(monitor.Ok());
  const ToolRun run = RunTool({port, L"115200", L"a:", sources + L"\\A", L"-f"});
  monitor.Stop();
  EXPECT_EQ(0u, run.exitCode);
  const std::string messages = "Formating A:\nCopying file \"A:\\100% %s.txt\"\nCreating directory \"A:\\sub\"\n";
  EXPECT_EQ(messages + kSuccessLine, run.output);
  EXPECT_EQ(messages, monitor.TextOf(run.processId));
}

// Placeholders in the arguments: $PORT the simulated port, $TAIL the port
// without its first letter, $DIR a source folder, $FILE a file, $MISSING nothing.
struct ArgumentCase {
  const char* name;
  std::vector<std::wstring> args;
  const char* errorLine;  // null: the usage text
};
void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.name; }

class ZTRInitArguments : public ZTRInitSim, public ::testing::WithParamInterface<ArgumentCase> {
protected:
  std::wstring Expand(const std::wstring& arg) {
    if (arg == L"$PORT") return port;
    if (arg == L"$TAIL") return port.substr(1);
    if (arg == L"$DIR") return sources;
    if (arg == L"$FILE") return sources + L"\\file.txt";
    if (arg == L"$MISSING") return sources + L"\\missing";
    return arg;
  }
  std::string ExpandLine(std::string line) {
    const std::pair<const char*, std::wstring> keys[] = {
        {"$PORT", port}, {"$TAIL", port.substr(1)}, {"$FILE", sources + L"\\file.txt"},
        {"$MISSING", sources + L"\\missing"}, {"$DIR", sources}};
    for (const auto& [key, value] : keys)
      for (size_t at; (at = line.find(key)) != std::string::npos;)
        line.replace(at, strlen(key), std::string(value.begin(), value.end()));
    return line;
  }
};

TEST_P(ZTRInitArguments, PrintsTheUsageOrTheErrorAndEndsWith1) {
  WriteBytes(sources + L"\\file.txt", "not a folder");
  std::vector<std::wstring> args;
  for (const std::wstring& a : GetParam().args) args.push_back(Expand(a));
  const ToolRun run = RunTool(args);
  EXPECT_EQ(1u, run.exitCode);
  if (!GetParam().errorLine) {
    EXPECT_EQ(0u, run.output.find("\nThis tool provides the possibilty to initialize")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Currently there are max. 3 file\nsystems supported."));
    EXPECT_NE(std::string::npos, run.output.find("\nVersion of tool: 2.12.0.0\n"));
  } else {
    EXPECT_EQ(ExpandLine(GetParam().errorLine) + kFailureLine, run.output);
  }
  // The checks come before any module contact: nothing reached the module.
  EXPECT_EQ("0", sim.Get("count AT^SQWE=3"));
}

const ArgumentCase kArgumentCases[] = {
    {"NoArguments", {}, nullptr},
    {"PortOnly", {L"$PORT"}, nullptr},
    {"NoDrive", {L"$PORT", L"115200"}, nullptr},
    {"DriveLast", {L"$PORT", L"115200", L"a:"}, nullptr},
    {"PathAfterFormatFlag", {L"$PORT", L"115200", L"a:", L"-f", L"$DIR"}, nullptr},
    {"DriveD", {L"$PORT", L"115200", L"d:", L"$DIR"}, nullptr},
    {"NoDriveBeforeArgument", {L"$PORT", L"115200", L"a:", L"$DIR", L"x"}, nullptr},
    {"FormatFlagTwice", {L"$PORT", L"115200", L"a:", L"$DIR", L"-f", L"-f"}, nullptr},
    {"MissingSource", {L"$PORT", L"115200", L"a:", L"$MISSING"},
     "Error: Invalid source directory \"$MISSING\"\n"},
    {"SourceIsAFile", {L"$PORT", L"115200", L"a:", L"$FILE"}, "Error: \"$FILE\" is no directory\n"},
    // A drive right after a drive is taken for its source folder.
    {"DriveAsSource", {L"$PORT", L"115200", L"a:", L"b:"}, "Error: Invalid source directory \"b:\"\n"},
    // A later mention of a drive replaces the earlier one.
    {"LaterDriveWins", {L"$PORT", L"115200", L"a:", L"$DIR", L"a:", L"$MISSING"},
     "Error: Invalid source directory \"$MISSING\"\n"},
    {"UnknownPort", {L"NOPORT7", L"115200", L"a:", L"$DIR"},
     "Error: The given port NOPORT7 does not exist\n"},
    // Part of an entry of the port list is not that port.
    {"PartOfAPortName", {L"$TAIL", L"115200", L"a:", L"$DIR"},
     "Error: The given port $TAIL does not exist\n"},
    {"EmptyPort", {L"", L"115200", L"a:", L"$DIR"}, "Error: Invalid parameter\n"},
    // Longer than the connection keeps: refused, not cut into another name.
    {"PortNameTooLong", {L"COM123456789", L"115200", L"a:", L"$DIR"}, "Error: Invalid parameter\n"},
};
INSTANTIATE_TEST_SUITE_P(Table, ZTRInitArguments, ::testing::ValuesIn(kArgumentCases),
                         [](const ::testing::TestParamInfo<ArgumentCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ZTRInitSim, MoreSourcesThanModuleDisks) {
  UseVolumes(1);
  const ToolRun run = RunTool({port, L"115200", L"b:", sources});
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ(std::string("Error: More source directories than module disks given\n") + kFailureLine,
            run.output);
}

// The module fails the put of b.txt: each file is a delete, the put and its
// attributes, so that is the fifth PUT.
struct ModuleFault {
  const char* name;
  const char* command;
};
void PrintTo(const ModuleFault& f, std::ostream* os) { *os << f.command; }

class ZTRInitModuleFault : public ZTRInitSim, public ::testing::WithParamInterface<ModuleFault> {};

TEST_P(ZTRInitModuleFault, StopsAtTheFailingFileWithTheFailureLine) {
  UseVolumes(1);
  WriteTree(sources + L"\\A", {{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
  ASSERT_TRUE(sim.Command(GetParam().command));
  const ToolRun run = RunTool({port, L"115200", L"a:", sources + L"\\A"});
  EXPECT_EQ(1u, run.exitCode);
  const std::string head = "Copying file \"A:\\a.txt\"\nCopying file \"A:\\b.txt\"\nError: Module access 0x8";
  EXPECT_EQ(0u, run.output.find(head)) << run.output;
  // Nothing after the first failure, as the usage text promises.
  const size_t lineEnd = run.output.find('\n', head.size());
  ASSERT_NE(std::string::npos, lineEnd) << run.output;
  EXPECT_EQ(kFailureLine, run.output.substr(lineEnd + 1)) << run.output;
  const Tree onModule = ReadTree(Volume(L'A'));
  EXPECT_EQ(1u, onModule.count("a.txt"));
  EXPECT_EQ(0u, onModule.count("c.txt"));
}

const ModuleFault kModuleFaults[] = {
    {"ErrorAnswer", "obex fault error D0 at 5 put"},
    {"LineDropped", "obex fault drop at 5 put"},
};
INSTANTIATE_TEST_SUITE_P(Faults, ZTRInitModuleFault, ::testing::ValuesIn(kModuleFaults),
                         [](const ::testing::TestParamInfo<ModuleFault>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

namespace {

// Failures of the module before the copy pass end the run with the module's
// code: no later drive is formatted and nothing is copied.
struct EarlyFault {
  const char* name;
  const char* command;
  const char* head;  // the lines before the error line
};
void PrintTo(const EarlyFault& f, std::ostream* os) { *os << f.command; }

class ZTRInitEarlyFault : public ZTRInitSim, public ::testing::WithParamInterface<EarlyFault> {};

TEST_P(ZTRInitEarlyFault, EndsWithTheModuleCodeAndTouchesNoVolume) {
  UseVolumes(2);
  WriteTree(sources + L"\\A", {{"x.txt", "x"}});
  WriteBytes(Volume(L'A') + L"\\keep.txt", "keep");
  WriteBytes(Volume(L'B') + L"\\keep.txt", "keep");
  ASSERT_TRUE(sim.Command(GetParam().command));
  const ToolRun run = RunTool({port, L"115200", L"a:", sources + L"\\A", L"-f", L"b:",
                               sources + L"\\A", L"-f"});
  EXPECT_EQ(1u, run.exitCode);
  const std::string head = std::string(GetParam().head) + "Error: Module access 0x8";
  EXPECT_EQ(0u, run.output.find(head)) << run.output;
  const size_t lineEnd = run.output.find('\n', head.size());
  ASSERT_NE(std::string::npos, lineEnd) << run.output;
  EXPECT_EQ(kFailureLine, run.output.substr(lineEnd + 1)) << run.output;
  const Tree untouched = {{"keep.txt", "keep"}};
  EXPECT_EQ(untouched, ReadTree(Volume(L'A')));
  EXPECT_EQ(untouched, ReadTree(Volume(L'B')));
}

const EarlyFault kEarlyFaults[] = {
    {"ConnectRefused", "obex fault refuse", ""},
    {"FormatRefused", "obex fault error E1 at 1 put", "Formating A:\n"},
};
INSTANTIATE_TEST_SUITE_P(Faults, ZTRInitEarlyFault, ::testing::ValuesIn(kEarlyFaults),
                         [](const ::testing::TestParamInfo<EarlyFault>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
