// Command lines both copy tools refuse before any server is reached: the
// usage text, exit code 0.
#include <gtest/gtest.h>
#include <string>
#include "ChildProcess.h"

namespace {

using namespace vkstest;

const char kArguments[] =
    "  source:\n"
    "    Name of source file(s) to copy, for module files use path format\n"
    "    describend below.\n"
    "  destination:\n"
    "    Name of destination file or folder, for module files use path format\n"
    "    describend below.\n"
    "    In the destination path there are no wildcards allowed!\n"
    "\n"
    "A module path has always the format 'mod:<drv>:<path>'. 'mod:' is used to\n"
    "identify a path in the module, <drv> is the drive letter of the volume inside\n"
    "the module (e.g. 'A') and <path> is the absolute path inside the module. If\n"
    "there is no module drive letter given it is automatically the module volume\n"
    "'A:' accessed!\n"
    "\n"
    "Version of tool: 2.12.0.0\n";

const std::string kCopyUsage = std::string("\n"
                                           "Copy file(s) inside module, inside PC or from PC to module or vice versa.\n"
                                           "\n"
                                           "Usage: VKSCopy source destination\n") +
                               kArguments;
const std::string kXCopyUsage = std::string("\n"
                                            "Copy file(s) and directory trees inside module, inside PC or from PC to\n"
                                            "module or vice versa.\n"
                                            "\n"
                                            "Usage: VKSXCopy source destination\n") +
                                kArguments;

TEST(CopyUsageTest, WrongCommandLinesPrintTheUsageAndEndWithZero) {
  const std::wstring longest(265, L'x');
  const std::vector<std::vector<std::wstring>> lines = {
      {},
      {L"C:\\x.txt"},
      {L"C:\\x.txt", L"mod:a:\\", L"extra"},
      {L"C:\\x.txt", L"mod:a:\\*"},
      {L"C:\\x.txt", L"mod:a:\\x?.txt"},
      {L"mod:a:\\x", L"C:\\out\\*"},
      {L"C:\\" + longest, L"mod:a:\\"},
      {L"mod:a:\\x", L"C:\\" + longest},
      {L"mod:1:", L"C:\\out"},   // parses to fewer than four characters
      {L"C:\\x.txt", L"mod:" + std::wstring(266, L'y')},
  };
  for (const auto& [tool, usage] : {std::pair<const wchar_t*, std::string>{L"VKSCopy", kCopyUsage},
                                    std::pair<const wchar_t*, std::string>{L"VKSXCopy", kXCopyUsage}}) {
    for (size_t i = 0; i < lines.size(); ++i) {
      ToolRun run = RunTool(tool, lines[i]);
      EXPECT_EQ(usage, run.output) << "command line " << i;
      EXPECT_EQ(0u, run.exitCode) << "command line " << i;
    }
  }
}

}  // namespace
