// testing/winsupport/SuiteSettings.h - the suite's registry settings as a test
// sets them, and the guard that puts a value back as it was.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace vkstest {

// The suite's key under HKEY_CURRENT_USER, spelled here on its own so that a
// test notices when the product writes elsewhere.
extern const wchar_t kSuiteKey[];

// A value under the suite's key as it was before the test, put back (or
// removed again) when the guard goes.
class CSavedSetting {
public:
  explicit CSavedSetting(const wchar_t* name);
  ~CSavedSetting();
  CSavedSetting(const CSavedSetting&) = delete;
  CSavedSetting& operator=(const CSavedSetting&) = delete;

private:
  std::wstring m_name;
  bool m_present = false;
  DWORD m_type = 0;
  std::vector<BYTE> m_data;
};

bool WriteSetting(const wchar_t* name, DWORD type, const void* data, DWORD size);
bool WriteSuitePort(const std::wstring& port);       // "Port" as REG_SZ
bool WriteSuiteLanguage(DWORD language);             // "Language" as REG_DWORD
std::wstring ReadSuitePort();                        // empty when missing or not REG_SZ

}  // namespace vkstest
