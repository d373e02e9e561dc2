// core/Settings.cpp - reading "Port" and choosing the texts' language.
#include "Settings.h"
#include "ResourceModule.h"

const wchar_t kSuiteKeyPath[] = L"Software\\Halvorten\\Tarvaq Suite";

namespace {

const wchar_t kDefaultPort[] = L"COM1";
const HRESULT E_UNKNOWN_PORT_SETTING = HRESULT_FROM_WIN32(ERROR_UNKNOWN_PORT);
constexpr LANGID kGerman = 1031, kEnglishUS = 1033, kEnglishUK = 2057;

HRESULT WriteDefaultPort(HKEY key, wchar_t* buffer) {
  LONG error = RegSetValueExW(key, L"Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(kDefaultPort),
                              sizeof(kDefaultPort));
  if (error != ERROR_SUCCESS) return E_UNKNOWN_PORT_SETTING;
  lstrcpynW(buffer, kDefaultPort, ARRAYSIZE(kDefaultPort));
  return S_OK;
}

bool ReadLanguage(HKEY root, const wchar_t* keyPath, DWORD* language) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, value = 0, size = sizeof(value);
  LONG error = RegQueryValueExW(key, L"Language", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return false;
  *language = value;
  return true;
}

// Only a fallback module was handed over with its load reference; the
// already loaded extension was found without taking one.
HMODULE g_takenModule = nullptr;
bool g_ownsTakenModule = false;

}  // namespace

HRESULT ReadPortSettingFrom(HKEY root, const wchar_t* keyPath, wchar_t* buffer, DWORD capacity) {
  if (!buffer || capacity < ARRAYSIZE(kDefaultPort)) return E_INVALIDARG;
  buffer[0] = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return E_UNKNOWN_PORT_SETTING;
    HRESULT hr = WriteDefaultPort(key, buffer);
    RegCloseKey(key);
    return hr;
  }
  DWORD type = 0;
  DWORD bytes = capacity * sizeof(wchar_t);
  LONG error = RegQueryValueExW(key, L"Port", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  RegCloseKey(key);
  bool usable = error == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
  if (usable && bytes == 0) {
    buffer[0] = 0;
    return S_OK;
  }
  if (usable && bytes % sizeof(wchar_t) == 0 && buffer[bytes / sizeof(wchar_t) - 1] == 0) return S_OK;
  buffer[0] = 0;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return E_UNKNOWN_PORT_SETTING;
  HRESULT hr = WriteDefaultPort(key, buffer);
  RegCloseKey(key);
  return hr;
}

HRESULT ReadPortSetting(wchar_t* buffer, DWORD capacity) {
  return ReadPortSettingFrom(HKEY_CURRENT_USER, kSuiteKeyPath, buffer, capacity);
}

LANGID LanguageFromUILanguage(LANGID uiLanguage) {
  if (PRIMARYLANGID(uiLanguage) == LANG_GERMAN) return kGerman;
  if (uiLanguage == kEnglishUK) return kEnglishUK;
  return kEnglishUS;
}

LANGID ChooseResourceLanguage(HKEY user, HKEY machine, const wchar_t* keyPath, LANGID uiLanguage) {
  DWORD language = 0;
  // A value in the user's key decides even when it is unusable.
  if (!ReadLanguage(user, keyPath, &language)) ReadLanguage(machine, keyPath, &language);
  if (language == kGerman || language == kEnglishUS || language == kEnglishUK)
    return static_cast<LANGID>(language);
  return LanguageFromUILanguage(uiLanguage);
}

void SelectResourceLanguage(BOOL takeModule, HMODULE fallback) {
  if (takeModule) {
    HMODULE module = GetModuleHandleW(L"VKSShellExt.dll");
    g_takenModule = module ? module : fallback;
    g_ownsTakenModule = !module && fallback;
    if (g_takenModule) g_resourceModule.SetModule(g_takenModule);
  }
  g_resourceModule.SetLanguage(
      ChooseResourceLanguage(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, kSuiteKeyPath, GetUserDefaultUILanguage()));
}

void FreeResourceModule(BOOL freeModule) {
  if (freeModule && g_takenModule) {
    if (g_ownsTakenModule) FreeLibrary(g_takenModule);
    g_takenModule = nullptr;
    g_ownsTakenModule = false;
    g_resourceModule.SetModule(GetModuleHandleW(nullptr));
  }
}
