// tools/ZTRInit/ZTRInit.h - formats module volumes and loads a PC folder tree
// onto each, without the server: the module link is built in.
#pragma once
#include <windows.h>

#include <string>

constexpr int kMaxFileSystems = 3;
constexpr size_t kMaxPortArgument = 259;  // characters of the port argument kept
constexpr WORD kNoDrive = 0xFFFF;

struct DriveInitRecord {
  DWORD format = 0;     // 1: format before copying
  std::wstring source;  // PC folder whose content goes to the volume's root; empty: none
};

// Called once with (user, 0, total) before copying and after every copied file.
using ProgressCallback = void (*)(void* user, DWORD copied, DWORD total);

// What the command line asks for.
struct InitCommand {
  std::wstring port;
  int baud = 0;
  int count = 0;  // highest drive given + 1
  DriveInitRecord drives[kMaxFileSystems];
};

// 0, 1 or 2 for "a:", "b:", "c:" (any case); kNoDrive otherwise.
WORD GetDriveIndex(const wchar_t* argument);
// False when the usage text is due (a wrong command line or nothing to do).
bool ParseCommandLine(int argc, const wchar_t* const* argv, InitCommand* command);
void PrintUsage();

HRESULT InitModuleFileSystems(const wchar_t* port, int baud, int count,
                              const DriveInitRecord* records, ProgressCallback progress,
                              void* user);

// True when port is one whole entry of the PC's physical port list (any case).
bool PortExists(const wchar_t* port);
// Sum of the (32-bit) sizes of the files below folder.
DWORD GetDirectorySize(const std::wstring& folder);
// printf-style into a 1024-character buffer; the result goes to the debugger
// and to standard output as it is (never used as a format again).
void PrintMessage(const wchar_t* format, ...);

int RunZTRInit(int argc, const wchar_t* const* argv);
