// tests/ViewTestSupport.h - the view tests' scratch user root: Explorer's
// settings as each case writes them.
#pragma once
#include <windows.h>
#include <string>
#include "Seams.h"

// The current user's root of the seams points at an empty scratch key meanwhile.
// Each test runs in its own process, many at once: the key is the process's own.
class CScratchUserRoot {
public:
  explicit CScratchUserRoot(const wchar_t* scratch)
      : m_scratch(std::wstring(scratch) + std::to_wstring(GetCurrentProcessId())) {
    RegDeleteTreeW(HKEY_CURRENT_USER, m_scratch.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, m_scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_user, nullptr);
    m_roots = {HKEY_CLASSES_ROOT, m_user, HKEY_LOCAL_MACHINE};
    SetShellRegistryRoots(&m_roots);
  }
  ~CScratchUserRoot() {
    SetShellRegistryRoots(nullptr);
    RegCloseKey(m_user);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_scratch.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, m_scratch.c_str());
  }
  CScratchUserRoot(const CScratchUserRoot&) = delete;
  CScratchUserRoot& operator=(const CScratchUserRoot&) = delete;

  void Clear() { RegDeleteTreeW(m_user, L"Software"); }
  // A key, and a value in it when name is given.
  bool Set(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(m_user, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    bool ok = !name || RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
  }
  bool SetDword(const wchar_t* path, const wchar_t* name, DWORD value) {
    return Set(path, name, REG_DWORD, &value, sizeof value);
  }
  bool SetText(const wchar_t* path, const wchar_t* name, const wchar_t* text) {
    return Set(path, name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  }

private:
  std::wstring m_scratch;
  HKEY m_user = nullptr;
  RegistryRoots m_roots = {};
};

const wchar_t kExplorerKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const wchar_t kAdvancedKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const wchar_t kInternetMainKeyPath[] = L"Software\\Microsoft\\Internet Explorer\\Main";
