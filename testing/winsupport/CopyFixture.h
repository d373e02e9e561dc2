// testing/winsupport/CopyFixture.h - files on both sides for the copy tools: a PC work
// folder next to the simulator's volumes, seeded contents and byte-for-byte checks.
#pragma once
#include <windows.h>
#include <algorithm>
#include <map>
#include <string>
#include <vector>
#include "ChildProcess.h"
#include "ServerFixture.h"
#include "TestData.h"
#include "TestFiles.h"

// Lines of a tool's output, without their "\n".
inline std::vector<std::string> Lines(const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(output.substr(start, end - start));
  if (start < output.size()) lines.push_back(output.substr(start));
  return lines;
}

class CopyToolTest : public vkstest::ToolServerTest {
protected:
  void SetUp() override {
    ToolServerTest::SetUp();
    CreateDirectoryW(PcPath(L"").c_str(), nullptr);
  }

  // The PC side lives beside the volumes, so the run's data folder takes it away.
  static std::wstring PcPath(const std::wstring& relative) {
    const std::wstring root = vkstest::CSimControl::DataDirW() + L"\\pc";
    return relative.empty() ? root : root + L"\\" + relative;
  }
  // "A\java\x.txt" as the host path behind the module file.
  static std::wstring ModuleHostPath(const std::wstring& relative) {
    return vkstest::CSimControl::DataDirW() + L"\\" + relative;
  }

  static void MakeFolder(const std::wstring& path) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path);
  }
  static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  // Everything below root: relative path -> contents, folders as "<dir>".
  static std::map<std::wstring, std::string> Tree(const std::wstring& root) {
    std::map<std::wstring, std::string> tree;
    AddTree(root, L"", &tree);
    return tree;
  }

  // A tree three levels deep with empty folders, seeded under root.
  void SeedTree(const std::wstring& root) {
    MakeFolder(root);
    for (const wchar_t* folder : {L"d1", L"d1\\d2", L"d1\\d2\\d3", L"e"}) MakeFolder(root + L"\\" + folder);
    unsigned seed = 1;
    for (const wchar_t* file : {L"top.bin", L"top.jar", L"d1\\one.jar", L"d1\\d2\\two.bin", L"d1\\d2\\two.jar"}) {
      vkstest::WriteBytes(root + L"\\" + file, vkstest::PatternBytes(1000 * seed, seed));
      ++seed;
    }
  }

private:
  static void AddTree(const std::wstring& root, const std::wstring& relative,
                      std::map<std::wstring, std::string>* tree) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        (*tree)[path] = "<dir>";
        AddTree(root, path, tree);
      } else {
        (*tree)[path] = vkstest::ReadBytes(root + L"\\" + path);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
};
