// testing/winsupport/OwnDesktop.cpp - runs a test process on a desktop of its own.
//
// When the active window of one process closes, Wine activates the next window
// on the desktop, whatever process it belongs to; a test's frame activated that
// way took the keyboard focus, and a label editor or a focused control of that
// test ended. Each desktop has its own foreground, so the test binaries that
// drive windows link this file and rerun themselves on a fresh desktop before
// main, with the same command line and standard handles, and end with the
// rerun's exit code.
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

void RerunOnOwnDesktop() {
  wchar_t name[64];
  wsprintfW(name, L"vkstest-%lu", GetCurrentProcessId());
  HDESK desktop = CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!desktop) return;   // run here, as before
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
    return;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  ExitProcess(code);
}

// Before main: the first run reruns itself and ends there; the rerun notes
// its desktop for the threads to come.
const bool g_onOwnDesktop = [] {
  if (!GetEnvironmentVariableW(kMarker, nullptr, 0)) RerunOnOwnDesktop();
  const DWORD length = GetEnvironmentVariableW(kMarker, g_desktop, 64);
  if (length == 0 || length >= 64) g_desktop[0] = 0;
  return g_desktop[0] != 0;
}();

}  // namespace

// Called by the C runtime for every thread that starts.
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK vks_own_desktop_callback =
    OnThreadStart;
