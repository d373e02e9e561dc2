// testing/winsupport/DesktopKeeper.cpp - starts Wine's desktop quietly and holds it for a test run.
//
// Wine 8 starts its desktop process (explorer.exe /desktop) on demand, from the first process
// that needs a window (an STA's first CoInitialize is enough), and that process hands it its
// Unix stderr. The desktop then lives as long as any other process uses it, so a test that
// happened to start it left ctest waiting on the test's output pipe long after the test had
// ended. Run from the test scripts before any test, with quiet output: the desktop starts here,
// and the copy left behind keeps it from closing until the wineserver is stopped.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  if (!GetDesktopWindow()) return 1;
  if (lstrcmpW(commandLine, L"hold") == 0) {
    Sleep(INFINITE);
    return 0;
  }
  // A second copy holds the desktop, so that the caller's wait ends once the desktop is up.
  wchar_t path[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return 1;
  wchar_t line[MAX_PATH + 8];
  wsprintfW(line, L"\"%s\" hold", path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                      &startup, &process))
    return 1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
