// tools/ZTRInit/tests/SimFixture.h - a simulated module with its port in the
// port list, source trees beside its volumes, and trees read back as maps.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "SimControl.h"

namespace ztrtest {

using vkstest::CSimControl;

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f) << "cannot write a test file";
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  ASSERT_EQ(bytes.size(), written);
}

inline std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<unreadable>";
  char block[4096];
  DWORD got = 0;
  while (ReadFile(f, block, sizeof block, &got, nullptr) && got) bytes.append(block, got);
  CloseHandle(f);
  return bytes;
}

// Relative path -> content ("<dir>" for folders), narrow for readable failures.
using Tree = std::map<std::string, std::string>;

inline void ReadTree(const std::wstring& root, const std::string& prefix, Tree* tree) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::string narrow(name.begin(), name.end());
    const std::string relative = prefix + narrow;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*tree)[relative] = "<dir>";
      ReadTree(root + L"\\" + name, relative + "\\", tree);
    } else {
      (*tree)[relative] = ReadBytes(root + L"\\" + name);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

inline Tree ReadTree(const std::wstring& root) {
  Tree tree;
  ReadTree(root, "", &tree);
  return tree;
}

// Lays a tree out below root: names ending in "\" are folders.
inline void WriteTree(const std::wstring& root, const Tree& tree) {
  CreateDirectoryW(root.c_str(), nullptr);
  for (const auto& [name, content] : tree) {
    const std::wstring path = root + L"\\" + std::wstring(name.begin(), name.end());
    if (content == "<dir>")
      CreateDirectoryW(path.c_str(), nullptr);
    else
      WriteBytes(path, content);
  }
}

inline std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919u + seed) >> 3);
  return bytes;
}

class ZTRInitSim : public ::testing::Test {
protected:
  void SetUp() override {
    if (!sim.Available()) GTEST_SKIP() << "no simulator (run with VKS_WITH_SIM=1)";
    ASSERT_TRUE(sim.Command("reset"));
    ASSERT_TRUE(portEntry.Ok());
    data = CSimControl::DataDirW();
    sources = data + L"\\src";
    CreateDirectoryW(sources.c_str(), nullptr);
  }
  // The volume's folder in the simulator (A, B or C).
  std::wstring Volume(wchar_t letter) { return data + L"\\" + letter; }
  void UseVolumes(int count) {
    for (int i = 0; i < count; ++i) CreateDirectoryW(Volume(static_cast<wchar_t>(L'A' + i)).c_str(), nullptr);
    ASSERT_TRUE(sim.Command("obex volumes " + std::to_string(count)));
  }

  CSimControl sim;
  vkstest::CSerialCommEntry portEntry{CSimControl::TestPortW()};
  std::wstring port = CSimControl::TestPortW();
  std::wstring data, sources;
};

}  // namespace ztrtest
