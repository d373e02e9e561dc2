// testing/winsupport/OwnDesktop.cpp - runs a test process on a desktop of its own.
//
// Wine hands the foreground to any process that shows its first window, and the
// process that loses it loses its keyboard focus: a label editor or a focused
// control of one test ended whenever another test started beside it. Each
// desktop has its own foreground, so the test binaries that drive windows link
// this file and rerun themselves on a fresh desktop before main, with the same
// command line and standard handles, and end with the rerun's exit code.
// Wine puts only the first thread on the desktop a process was started on; the
// others start on the default one, so each new thread is moved as it starts,
// with a handle of its own (Wine closes a thread's desktop handle as it ends).
#include <windows.h>

namespace {

const wchar_t kMarker[] = L"VKS_OWN_DESKTOP";
wchar_t g_desktop[64];   // the rerun's own desktop

void NTAPI OnThreadStart(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_THREAD_ATTACH || !g_desktop[0]) return;
  if (HDESK desktop = OpenDesktopW(g_desktop, 0, FALSE, GENERIC_ALL)) {
    if (!SetThreadDesktop(desktop)) CloseDesktop(desktop);
  }
}

DWORD RunOnOwnDesktop() {
  wchar_t name[64];
  wsprintfW(name, L"vkstest-%lu", GetCurrentProcessId());
  HDESK desktop = CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!desktop) return 0;   // run here, as before
  SetEnvironmentVariableW(kMarker, name);
  wchar_t fullName[80];
  wsprintfW(fullName, L"WinSta0\\%s", name);
  const wchar_t* line = GetCommandLineW();
  wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (lstrlenW(line) + 1) * sizeof(wchar_t)));
  lstrcpyW(copy, line);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = fullName;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, copy, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    SetEnvironmentVariableW(kMarker, nullptr);
    CloseDesktop(desktop);
    return 0;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  ExitProcess(code);
}

const DWORD g_ran = GetEnvironmentVariableW(kMarker, nullptr, 0) ? 0 : RunOnOwnDesktop();
bool ReadDesktopName() {
  const DWORD length = GetEnvironmentVariableW(kMarker, g_desktop, 64);
  if (length == 0 || length >= 64) g_desktop[0] = 0;
  return g_desktop[0] != 0;
}
const bool g_named = ReadDesktopName();

}  // namespace

// Called by the C runtime for every thread that starts.
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK vks_own_desktop_callback =
    OnThreadStart;
