// com/Registrar.h - runs the modules' REGISTRY scripts (register and remove).
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Script grammar, one or more roots:
//   HKCR|HKCU|HKLM|HKU (or the HKEY_ names) { key ... }
//   key   := [ForceRemove|NoRemove|Delete] name [= type 'data'] [{ (key | val)... }]
//   val   := val name = type 'data'
//   type  := s (REG_SZ) | e (REG_EXPAND_SZ) | d (REG_DWORD) | b (hex REG_BINARY)
//            | m (REG_MULTI_SZ, parts split by \0)
// Names and data may be quoted with '' (a doubled quote inside is one quote).
// %NAME% is replaced before parsing, %% is a percent sign.
// Removal: ForceRemove keys go with all they hold, NoRemove keys stay (their
// contents are still removed), other keys go when nothing else is left in them;
// missing keys and values are not errors. Delete keys are removed on register.
class CRegistrar {
public:
  void AddReplacement(const wchar_t* name, const wchar_t* value);
  HRESULT RunScript(const wchar_t* script, bool registering);
  // The script resource (type "REGISTRY", ANSI or UTF-8) of module.
  HRESULT RunResourceScript(HMODULE module, UINT id, bool registering);

private:
  HRESULT Expand(const wchar_t* script, std::wstring* out) const;
  std::vector<std::pair<std::wstring, std::wstring>> m_replacements;
};

// "C:\a b\x.exe" with quotes when the path holds a space, as LocalServer32 needs.
std::wstring QuoteModulePath(const wchar_t* path);
