// core/Settings.cpp - reading "Port" and choosing the texts' language.
#include "Settings.h"
#include "Registry.h"
#include "ResourceModule.h"

const wchar_t kSuiteKeyPath[] = L"Software\\Halvorten\\Tarvaq Suite";

namespace {

const wchar_t kPortValue[] = L"Port";
const wchar_t kDefaultPort[] = L"COM1";
const HRESULT E_UNKNOWN_PORT_SETTING = HRESULT_FROM_WIN32(ERROR_UNKNOWN_PORT);
constexpr LANGID kGerman = 1031, kEnglishUS = 1033, kEnglishUK = 2057;

// Every write of "Port" goes through here.
LONG SetPortValue(const CRegistryKey& key, const wchar_t* port) { return key.SetString(kPortValue, port); }

HRESULT WriteDefaultPort(const CRegistryKey& key, wchar_t* buffer) {
  if (SetPortValue(key, kDefaultPort) != ERROR_SUCCESS) return E_UNKNOWN_PORT_SETTING;
  lstrcpynW(buffer, kDefaultPort, ARRAYSIZE(kDefaultPort));
  return S_OK;
}

bool ReadLanguage(HKEY root, const wchar_t* keyPath, DWORD* language) {
  CRegistryKey key;
  if (key.Open(root, keyPath, KEY_READ) != ERROR_SUCCESS) return false;
  return key.QueryDword(L"Language", language) == ERROR_SUCCESS;
}

// Only a fallback module was handed over with its load reference; the
// already loaded extension was found without taking one.
HMODULE g_takenModule = nullptr;
bool g_ownsTakenModule = false;

}  // namespace

HRESULT ReadPortSettingFrom(HKEY root, const wchar_t* keyPath, wchar_t* buffer, DWORD capacity) {
  if (!buffer || capacity < ARRAYSIZE(kDefaultPort)) return E_INVALIDARG;
  buffer[0] = 0;
  CRegistryKey key;
  if (key.Open(root, keyPath, KEY_READ) != ERROR_SUCCESS) {
    if (key.Create(root, keyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return E_UNKNOWN_PORT_SETTING;
    return WriteDefaultPort(key, buffer);
  }
  DWORD type = 0;
  DWORD bytes = capacity * sizeof(wchar_t);
  LONG error = key.QueryValue(kPortValue, &type, buffer, &bytes);
  key.Close();
  bool usable = error == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
  if (usable && bytes == 0) {
    buffer[0] = 0;
    return S_OK;
  }
  if (usable && bytes % sizeof(wchar_t) == 0 && buffer[bytes / sizeof(wchar_t) - 1] == 0) return S_OK;
  buffer[0] = 0;
  if (key.Open(root, keyPath, KEY_WRITE) != ERROR_SUCCESS) return E_UNKNOWN_PORT_SETTING;
  return WriteDefaultPort(key, buffer);
}

HRESULT ReadPortSetting(wchar_t* buffer, DWORD capacity) {
  return ReadPortSettingFrom(HKEY_CURRENT_USER, kSuiteKeyPath, buffer, capacity);
}

LONG WritePortSetting(const wchar_t* port) {
  CRegistryKey key;
  LONG error = key.Create(HKEY_CURRENT_USER, kSuiteKeyPath, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE);
  if (error == ERROR_SUCCESS) error = SetPortValue(key, port);
  return error;
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
