// testing/winsupport/ChildProcess.h - runs a console tool as a child process and
// collects what it prints.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace vkstest {

struct ToolRun {
  DWORD exitCode = 0xFFFFFFFF;
  DWORD processId = 0;
  std::string output;
};

// A host path of the build as Wine sees it (the host's root is Z:).
std::wstring HostToWindowsPath(const char* host);

// tools/<name>/<name>.exe below the build's tools folder.
std::wstring ToolPath(const std::wstring& name);

std::wstring QuoteArgument(const std::wstring& argument);
// A tool's command line, every argument quoted where it needs it.
std::wstring ToolCommandLine(const std::wstring& tool, const std::vector<std::wstring>& args);
// Starts line with its standard output on output (an inheritable handle).
bool StartWithOutput(const std::wstring& line, HANDLE output, PROCESS_INFORMATION* process);

// Reads the pipe while the tool runs and stops once it has ended, so a
// process that inherited the pipe (a server started meanwhile) cannot hold it
// open. Output lines end with "\n" (the tools' CR LF is folded).
ToolRun RunTool(const std::wstring& tool, const std::vector<std::wstring>& args, DWORD timeoutMs = 120000);

}  // namespace vkstest
