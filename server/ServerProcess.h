// server/ServerProcess.h - VKSServer's entry: registration switches, single instance, serving.
#pragma once
#include <windows.h>

enum class ServerSwitch { None, RegServer, UnregServer };

// The first '-' or '/' whose whole rest of the line is "UnregServer" or
// "RegServer" (any case) decides; anything else means serving.
ServerSwitch ParseServerSwitch(const wchar_t* commandLine);

extern const wchar_t kServerMutexName[];   // VKSServerGlobalLockMutex
constexpr DWORD kServerMutexWaitMs = 30000;

HRESULT RegisterServer();
HRESULT UnregisterServer();
HRESULT RunServer();

// Process exit code: 0, or 1 when registration or removal failed.
int ServerMain();
