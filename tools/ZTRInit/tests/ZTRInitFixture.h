// tools/ZTRInit/tests/ZTRInitFixture.h - a simulated module with its port in the
// port list, source trees beside its volumes, and trees read back as maps.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "SimControl.h"
#include "SimFixture.h"
#include "TestData.h"
#include "TestFiles.h"

namespace ztrtest {

using namespace vkstest;

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

class ZTRInitSim : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(portEntry.Ok());
    data = CSimControl::DataDirW();
    sources = data + L"\\src";
    CreateDirectoryW(sources.c_str(), nullptr);
  }
  // The volume's folder in the simulator (A, B or C).
  std::wstring Volume(wchar_t letter) { return data + L"\\" + letter; }

  CSerialCommEntry portEntry{CSimControl::TestPortW()};
  std::wstring port = CSimControl::TestPortW();
  std::wstring data, sources;
};

}  // namespace ztrtest
