// testsupport/RegistryGuard.h - saves a registry key tree and puts it back as it was (or removes
// it when it did not exist) when the guard goes.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>

class CRegistryGuard {
public:
  // view: 0 or KEY_WOW64_64KEY / KEY_WOW64_32KEY.
  CRegistryGuard(HKEY root, const std::wstring& path, REGSAM view = 0);
  ~CRegistryGuard();
  CRegistryGuard(const CRegistryGuard&) = delete;
  CRegistryGuard& operator=(const CRegistryGuard&) = delete;
  // Restores now (the destructor then does it again).
  void Restore();
  bool Existed() const { return m_saved != nullptr; }

  struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  struct Tree {
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, std::unique_ptr<Tree>>> keys;
  };

private:
  HKEY m_root;
  std::wstring m_path;
  REGSAM m_view;
  std::unique_ptr<Tree> m_saved;
};

// Whether the key exists.
bool RegistryKeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
