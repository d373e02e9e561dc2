// win32/Registry.cpp - the registry key.
#include "Registry.h"

CRegistryKey& CRegistryKey::operator=(CRegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    m_key = other.m_key;
    other.m_key = nullptr;
  }
  return *this;
}

LONG CRegistryKey::Open(HKEY parent, const wchar_t* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  const LONG error = RegOpenKeyExW(parent, path, 0, access, &key);
  if (error == ERROR_SUCCESS) m_key = key;
  return error;
}

LONG CRegistryKey::Create(HKEY parent, const wchar_t* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  const LONG error = RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr);
  if (error == ERROR_SUCCESS) m_key = key;
  return error;
}

void CRegistryKey::Close() {
  if (m_key) RegCloseKey(m_key);
  m_key = nullptr;
}

LONG CRegistryKey::QueryValue(const wchar_t* name, DWORD* type, void* data, DWORD* bytes) const {
  return RegQueryValueExW(m_key, name, nullptr, type, static_cast<BYTE*>(data), bytes);
}

LONG CRegistryKey::QueryDword(const wchar_t* name, DWORD* value) const {
  DWORD type = 0, read = 0, size = sizeof(read);
  const LONG error = QueryValue(name, &type, &read, &size);
  if (error == ERROR_MORE_DATA) return ERROR_INVALID_DATA;  // larger than a DWORD
  if (error != ERROR_SUCCESS) return error;
  if (type != REG_DWORD || size != sizeof(read)) return ERROR_INVALID_DATA;
  *value = read;
  return ERROR_SUCCESS;
}

LONG CRegistryKey::SetValue(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const {
  return RegSetValueExW(m_key, name, 0, type, static_cast<const BYTE*>(data), bytes);
}

LONG CRegistryKey::SetString(const wchar_t* name, const wchar_t* text) const {
  return SetValue(name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

LONG CRegistryKey::DeleteValue(const wchar_t* name) const { return RegDeleteValueW(m_key, name); }
