// namespace/PlatformProbe.cpp - library versions and platform level.
#include "PlatformProbe.h"
#include <shlwapi.h>

HRESULT GetDllVersion(DWORD* major, DWORD* minor, const wchar_t* file) {
  if (!major || !minor) return E_POINTER;
  *major = 4;
  *minor = 0;
  HMODULE library = LoadLibraryW(file);
  if (!library) return E_FAIL;
  HRESULT hr = E_FAIL;
  auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetVersion")));
  if (getVersion) {
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);   // 20 bytes
    hr = getVersion(&info);
    if (SUCCEEDED(hr)) {
      *major = info.dwMajorVersion;
      *minor = info.dwMinorVersion;
    }
  }
  FreeLibrary(library);
  return hr;
}

int PlatformLevelFromVersion(DWORD platformId, DWORD major, DWORD minor) {
  if (platformId == VER_PLATFORM_WIN32_WINDOWS) return (major > 4 || (major == 4 && minor > 0)) ? 1 : 0;
  if (platformId == VER_PLATFORM_WIN32_NT) {
    if (major < 5) return 2;
    return (major == 5 && minor == 0) ? 3 : 4;
  }
  return 0;
}

int GetPlatformLevelWith(GetVersionFn getVersion) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  OSVERSIONINFOW* plain = reinterpret_cast<OSVERSIONINFOW*>(&info);
  if (!getVersion(plain)) {
    info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!getVersion(plain)) return 0;
  }
  return PlatformLevelFromVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

int GetPlatformLevel() { return GetPlatformLevelWith(GetVersionExW); }

bool IsExtendedListViewVersion(DWORD major, DWORD minor) { return major >= 5 || (major >= 4 && minor >= 70); }
