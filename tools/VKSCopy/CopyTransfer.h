// tools/VKSCopy/CopyTransfer.h - what VKSCopy and VKSXCopy share: the command line, the
// single-file transfers, the child process of PC-to-PC copies and path pieces.
#pragma once
#include <windows.h>
#include <string>
#include "ConsoleText.h"
#include "EntryList.h"
#include "ModulePath.h"
#include "ToolFrame.h"
#include "VKSServer.h"

// The argument lines and the closing lines of both usage texts; the "%s"
// takes kToolVersion.
#define VKS_COPY_USAGE_ARGUMENTS                                                       \
  "  source:\n"                                                                        \
  "    Name of source file(s) to copy, for module files use path format\n"             \
  "    describend below.\n"                                                            \
  "  destination:\n"                                                                   \
  "    Name of destination file or folder, for module files use path format\n"         \
  "    describend below.\n"                                                            \
  "    In the destination path there are no wildcards allowed!\n"                      \
  "\n"                                                                                 \
  "A module path has always the format 'mod:<drv>:<path>'. 'mod:' is used to\n"        \
  "identify a path in the module, <drv> is the drive letter of the volume inside\n"    \
  "the module (e.g. 'A') and <path> is the absolute path inside the module. If\n"      \
  "there is no module drive letter given it is automatically the module volume\n"      \
  "'A:' accessed!\n"                                                                   \
  "\n"                                                                                 \
  "Version of tool: %s\n"

// Longest argument the copy tools take.
const size_t kMaxCopyArgument = 265;

struct CopyArguments {
  bool sourceOnModule = false;
  bool destinationOnModule = false;
  std::wstring source;        // server path ("\A:\x") or the PC path as given ('/' made '\')
  std::wstring destination;
};

// Exactly two arguments, none longer than kMaxCopyArgument, no "?" or "*" in the
// destination, every "mod:" argument a module path that parses. False: print
// the usage text and end with 0.
bool ParseCopyArguments(int argc, wchar_t** argv, CopyArguments* arguments);

// The frame of both copy tools: the usage text for a wrong command line, else
// the server object (made for every direction, PC to PC too) and the
// direction's operation, each called with (volume, source, destination).
template <class WithinModule, class ModuleToPC, class PCToModule, class OnPC>
int RunCopyTool(int argc, wchar_t** argv, const char* usage, WithinModule&& withinModule, ModuleToPC&& moduleToPC,
                PCToModule&& pcToModule, OnPC&& onPC) {
  CopyArguments arguments;
  if (!ParseCopyArguments(argc, argv, &arguments)) {
    PrintUsage(usage);
    return kExitSuccess;
  }
  const std::wstring& source = arguments.source;
  const std::wstring& destination = arguments.destination;
  return RunWithVolume([&](IVKSVolume* volume) -> bool {
    if (arguments.sourceOnModule && arguments.destinationOnModule) return withinModule(volume, source, destination);
    if (arguments.sourceOnModule) return moduleToPC(volume, source, destination);
    if (arguments.destinationOnModule) return pcToModule(volume, source, destination);
    return onPC(volume, source, destination);
  });
}

// Lists pattern (failures printed by CheckResult) and calls
// visit(name, attributes) for every file entry with a name; false when the
// listing failed. Folders are left to the caller.
template <class Visit> bool VisitModuleFiles(IVKSVolume* volume, const std::wstring& pattern, Visit&& visit) {
  CEntryList entries;
  if (!ListEntries(volume, pattern.c_str(), false, &entries, kModuleErrorFormat)) return false;
  for (LONG e = 0; e < entries.GetCount(); ++e) {
    const wchar_t* name = entries.GetName(e);
    if (entries.IsEntry(e) && !entries.IsDirectory(e) && name) visit(name, entries.GetInt(e, geAttributes));
  }
  return true;
}

// Sends a PC file to the module; the module file is deleted first. Failures
// are printed through CheckResult.
bool PutFileToModule(IVKSVolume* volume, const wchar_t* pcFile, const wchar_t* moduleFile);
// Fetches a module file whole before the PC file is touched, so a transfer
// that breaks off leaves an earlier PC file as it was; a PC file that cannot
// be written completely is removed again.
bool GetModuleFileToPC(IVKSVolume* volume, const wchar_t* moduleFile, const wchar_t* pcFile, LONG attributes);

// Runs "cmd /C <command> "source" "destination"" hidden, without handles,
// and waits for it. False (with "Error executing copy command\n" when it
// cannot start) unless the child ends with 0.
bool RunCopyCommand(const wchar_t* command, const std::wstring& source, const std::wstring& destination);

// A name from a module listing that may be appended to a PC folder: not
// empty, not "." or "..", no separator, drive colon or wildcard, no device.
bool IsPlainEntryName(const wchar_t* name);
// A PC name that Windows opens as a device (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, any case): the part before the first dot decides, trailing dots
// and blanks left out. What is written there reaches the device, no file.
bool IsDeviceName(const wchar_t* name);
// Some component of a PC path is a device name.
bool HasDeviceName(const std::wstring& path);

bool HasWildcard(const std::wstring& path);
bool EndsWithBackslash(const std::wstring& path);
void AddBackslash(std::wstring* path);       // when missing
// Everything up to and with the last "\" ("" when there is none).
std::wstring GetFolderPart(const std::wstring& path);
// A PC path split into its drive and folder ("C:\x\") and its name and extension.
void SplitPCPath(const std::wstring& path, std::wstring* folder, std::wstring* name);
// Path texts compared the way the module and the PC compare names (ignoring case).
bool SamePathText(const std::wstring& a, const std::wstring& b);
bool StartsWithPathText(const std::wstring& text, const std::wstring& prefix);

// printf(format, path in the console's code page); format has one "%s".
void PrintPath(const char* format, const std::wstring& path);
