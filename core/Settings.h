// core/Settings.h - the suite's "Port" and "Language" settings.
#pragma once
#include <windows.h>

extern const wchar_t kSuiteKeyPath[];   // Software\Halvorten\Tarvaq Suite

// "Port" of HKEY_CURRENT_USER; "COM1" is written when it is missing or
// unusable. capacity in characters, at least 5. 0x80070704 when the default
// cannot be stored.
HRESULT ReadPortSetting(wchar_t* buffer, DWORD capacity);
HRESULT ReadPortSettingFrom(HKEY root, const wchar_t* keyPath, wchar_t* buffer, DWORD capacity);
// Stores port as "Port" of HKEY_CURRENT_USER (the key is made when missing);
// the registry's error code.
LONG WritePortSetting(const wchar_t* port);

// Chooses the module and language of g_resourceModule. With takeModule the
// texts come from the loaded VKSShellExt.dll, else from fallback if given.
void SelectResourceLanguage(BOOL takeModule, HMODULE fallback);
void FreeResourceModule(BOOL freeModule);

// "Language" of user, else of machine, else from uiLanguage.
LANGID ChooseResourceLanguage(HKEY user, HKEY machine, const wchar_t* keyPath, LANGID uiLanguage);
LANGID LanguageFromUILanguage(LANGID uiLanguage);
