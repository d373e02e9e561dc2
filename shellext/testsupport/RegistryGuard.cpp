// testsupport/RegistryGuard.cpp
#include "RegistryGuard.h"

namespace {

using Tree = CRegistryGuard::Tree;

std::unique_ptr<Tree> Save(HKEY key, REGSAM view) {
  auto tree = std::make_unique<Tree>();
  DWORD subKeys = 0, maxKey = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxKey, nullptr, &values, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return tree;
  for (DWORD i = 0; i < values; ++i) {
    std::wstring name(maxName + 1, L'\0');
    std::vector<BYTE> data(maxData + 2);
    DWORD nameLength = maxName + 1, type = 0, bytes = static_cast<DWORD>(data.size());
    if (RegEnumValueW(key, i, &name[0], &nameLength, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
      continue;
    name.resize(nameLength);
    data.resize(bytes);
    tree->values.push_back({name, type, data});
  }
  for (DWORD i = 0; i < subKeys; ++i) {
    std::wstring name(maxKey + 1, L'\0');
    DWORD length = maxKey + 1;
    if (RegEnumKeyExW(key, i, &name[0], &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    name.resize(length);
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ | view, &child) != ERROR_SUCCESS) continue;
    tree->keys.emplace_back(name, Save(child, view));
    RegCloseKey(child);
  }
  return tree;
}

void Write(HKEY key, const Tree& tree, REGSAM view) {
  for (const auto& value : tree.values)
    RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.empty() ? nullptr : value.data.data(),
                   static_cast<DWORD>(value.data.size()));
  for (const auto& sub : tree.keys) {
    HKEY child = nullptr;
    if (RegCreateKeyExW(key, sub.first.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &child,
                        nullptr) != ERROR_SUCCESS)
      continue;
    Write(child, *sub.second, view);
    RegCloseKey(child);
  }
}

// Whole tree, the key itself included.
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

}  // namespace

bool RegistryKeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

CRegistryGuard::CRegistryGuard(HKEY root, const std::wstring& path, REGSAM view)
    : m_root(root), m_path(path), m_view(view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  m_saved = Save(key, view);
  RegCloseKey(key);
}

CRegistryGuard::~CRegistryGuard() { Restore(); }

void CRegistryGuard::Restore() {
  DeleteTree(m_root, m_path, m_view);
  if (!m_saved) return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  Write(key, *m_saved, m_view);
  RegCloseKey(key);
}
