// testing/winsupport/ChildProcess.cpp - console tools as child processes.
#include "ChildProcess.h"

#include <gtest/gtest.h>

namespace vkstest {

std::wstring HostToWindowsPath(const char* host) {
  std::wstring path;
  for (const char* p = host; *p; ++p) path += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
  return !path.empty() && path[0] == L'\\' ? L"Z:" + path : path;
}

std::wstring ToolPath(const std::wstring& name) {
  return HostToWindowsPath(VKS_TOOLS_BINARY_DIR) + L"\\" + name + L"\\" + name + L".exe";
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (wchar_t c : argument) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

// A tool's command line, every argument quoted where it needs it.
std::wstring ToolCommandLine(const std::wstring& tool, const std::vector<std::wstring>& args) {
  std::wstring line = QuoteArgument(ToolPath(tool));
  for (const std::wstring& a : args) line += L" " + QuoteArgument(a);
  return line;
}

// Starts line with its standard output on output (an inheritable handle).
bool StartWithOutput(const std::wstring& line, HANDLE output, PROCESS_INFORMATION* process) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::vector<wchar_t> command(line.begin(), line.end());
  command.push_back(0);
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        process) != FALSE;
}

ToolRun RunTool(const std::wstring& tool, const std::vector<std::wstring>& args, DWORD timeoutMs) {
  ToolRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  PROCESS_INFORMATION process{};
  const bool started = StartWithOutput(ToolCommandLine(tool, args), writeEnd, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    ADD_FAILURE() << "cannot start " << std::string(tool.begin(), tool.end()) << ": " << GetLastError();
    return run;
  }
  run.processId = process.dwProcessId;
  const DWORD start = GetTickCount();
  for (;;) {
    const bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;   // every writer gone
    if (available) {
      std::vector<char> block(available);
      DWORD got = 0;
      if (!ReadFile(readEnd, block.data(), available, &got, nullptr)) break;
      run.output.append(block.data(), got);
      continue;
    }
    if (ended) break;
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(process.hProcess, 99);
      ADD_FAILURE() << "the tool did not end";
    }
    Sleep(5);
  }
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, 10000);
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Text-mode standard output ends lines with CR LF; the texts are compared with LF.
  for (size_t at; (at = run.output.find("\r\n")) != std::string::npos;) run.output.erase(at, 1);
  return run;
}

}  // namespace vkstest
