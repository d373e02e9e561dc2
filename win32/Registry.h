// win32/Registry.h - a registry key that closes itself.
#pragma once
#include <windows.h>

// The Win32 error codes of the registry functions are passed through.
class CRegistryKey {
public:
  CRegistryKey() = default;
  ~CRegistryKey() { Close(); }
  CRegistryKey(CRegistryKey&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
  CRegistryKey& operator=(CRegistryKey&& other) noexcept;
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  LONG Open(HKEY parent, const wchar_t* path, REGSAM access);
  // Opens the key, making it and its parents when missing.
  LONG Create(HKEY parent, const wchar_t* path, REGSAM access);
  void Close();
  bool IsOpen() const { return m_key != nullptr; }
  HKEY Get() const { return m_key; }

  // RegQueryValueExW: data may be null to learn type and size.
  LONG QueryValue(const wchar_t* name, DWORD* type, void* data, DWORD* bytes) const;
  // ERROR_INVALID_DATA when the value is not a REG_DWORD of four bytes.
  LONG QueryDword(const wchar_t* name, DWORD* value) const;
  LONG SetValue(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const;
  // REG_SZ with its terminator.
  LONG SetString(const wchar_t* name, const wchar_t* text) const;
  LONG DeleteValue(const wchar_t* name) const;

private:
  HKEY m_key = nullptr;
};
