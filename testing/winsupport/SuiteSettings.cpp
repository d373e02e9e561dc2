// testing/winsupport/SuiteSettings.cpp - the suite's settings for tests.
#include "SuiteSettings.h"

#include "Registry.h"

namespace vkstest {

const wchar_t kSuiteKey[] = L"Software\\Halvorten\\Tarvaq Suite";

CSavedSetting::CSavedSetting(const wchar_t* name) : m_name(name) {
  CRegistryKey key;
  if (key.Open(HKEY_CURRENT_USER, kSuiteKey, KEY_READ) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (key.QueryValue(name, &m_type, nullptr, &size) == ERROR_SUCCESS) {
    m_data.resize(size);
    m_present = key.QueryValue(name, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
  }
}

CSavedSetting::~CSavedSetting() {
  CRegistryKey key;
  if (key.Create(HKEY_CURRENT_USER, kSuiteKey, KEY_SET_VALUE) != ERROR_SUCCESS) return;
  if (m_present)
    key.SetValue(m_name.c_str(), m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
  else
    key.DeleteValue(m_name.c_str());
}

bool WriteSetting(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  CRegistryKey key;
  return key.Create(HKEY_CURRENT_USER, kSuiteKey, KEY_SET_VALUE) == ERROR_SUCCESS &&
         key.SetValue(name, type, data, size) == ERROR_SUCCESS;
}

bool WriteSuitePort(const std::wstring& port) {
  return WriteSetting(L"Port", REG_SZ, port.c_str(), static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
}

bool WriteSuiteLanguage(DWORD language) {
  return WriteSetting(L"Language", REG_DWORD, &language, sizeof language);
}

std::wstring ReadSuitePort() {
  wchar_t text[64] = L"";
  DWORD size = sizeof(text) - sizeof(wchar_t);
  CRegistryKey key;
  if (key.Open(HKEY_CURRENT_USER, kSuiteKey, KEY_READ) != ERROR_SUCCESS) return L"";
  DWORD type = 0;
  if (key.QueryValue(L"Port", &type, text, &size) != ERROR_SUCCESS || type != REG_SZ) text[0] = 0;
  return text;
}

}  // namespace vkstest
