// link/ShellEvents.h - the shell change events (SHCNE values) that requests report.
#pragma once
#include <windows.h>

constexpr LONG kShcneRmdir = 0x10;
constexpr LONG kShcneUpdateItem = 0x800;
constexpr LONG kShcneUpdateDir = 0x1000;
constexpr LONG kShcneRenameFolder = 0x20000;
