// tools/VKSSearchApp/VKSSearchApp.cpp - finds the registered extension, loads
// it and calls its StartSearch with this program's command line, which
// returns once every search window is closed. Shows nothing, ends with 0.
#include <windows.h>
#include <ole2.h>

namespace {

const wchar_t kServerKey[] = L"CLSID\\{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}\\InProcServer32";

using StartSearchProc = void(WINAPI*)(const wchar_t* commandLine);

// The library's path: a whole string value, else false.
bool ReadServerPath(HKEY key, wchar_t (&path)[260]) {
  DWORD type = 0;
  DWORD bytes = sizeof(path);
  if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (bytes % sizeof(wchar_t)) return false;
  if (bytes == 0) {
    path[0] = 0;
    return true;
  }
  return path[bytes / sizeof(wchar_t) - 1] == 0;
}

void RunSearch(const wchar_t* commandLine) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  wchar_t path[260] = {};
  if (ReadServerPath(key, path) && path[0]) {
    if (HMODULE library = LoadLibraryW(path)) {
      auto start = reinterpret_cast<StartSearchProc>(reinterpret_cast<void*>(GetProcAddress(library, "StartSearch")));
      // The wide command line as given: names outside the ANSI code page
      // stay whole.
      if (start) start(commandLine && commandLine[0] ? commandLine : nullptr);
      FreeLibrary(library);
    }
  }
  RegCloseKey(key);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  if (FAILED(OleInitialize(nullptr))) return 0;
  RunSearch(commandLine);
  OleUninitialize();
  return 0;
}
