// transfers/tests/sim/TransferTree.h - the tree the end-to-end transfer
// tests carry (three levels, an empty file, one over 100 kB, names with
// blanks and umlauts), seeded and checked on the PC and in the simulator's
// volume folders.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "SimFixture.h"
#include "TestFiles.h"

namespace transfertree {

inline std::vector<BYTE> Pattern(size_t size, unsigned seed) {
  std::vector<BYTE> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>((i * 7 + i / 251 + seed) & 0xFF);
  return data;
}

struct TreeFile {
  const wchar_t* relative;
  size_t size;
};
const TreeFile kTree[] = {
    {L"top.txt", 10},
    {L"empty.txt", 0},
    {L"s\u00fc b\\big file.bin", 140 * 1024 + 3},
    {L"s\u00fc b\\third level\\\u00e4 x.txt", 777},
};
const wchar_t* const kTreeFolders[] = {L"s\u00fc b", L"s\u00fc b\\third level"};
// File i of the tree holds Pattern(size, i + 1).
inline std::vector<BYTE> TreeBytes(size_t index) {
  return Pattern(kTree[index].size, static_cast<unsigned>(index + 1));
}

inline bool ReadPCFile(const std::wstring& path, size_t limit, std::vector<BYTE>* data) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  data->assign(limit + 1, 0);
  DWORD got = 0;
  ReadFile(handle, data->data(), static_cast<DWORD>(data->size()), &got, nullptr);
  CloseHandle(handle);
  data->resize(got);
  return true;
}

inline void SeedPCTree(const std::wstring& top) {
  CreateDirectoryW(top.c_str(), nullptr);
  for (const wchar_t* folder : kTreeFolders) CreateDirectoryW((top + L"\\" + folder).c_str(), nullptr);
  for (size_t i = 0; i < ARRAYSIZE(kTree); ++i) {
    const std::vector<BYTE> data = TreeBytes(i);
    HANDLE handle = CreateFileW((top + L"\\" + kTree[i].relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle) << kTree[i].relative;
    DWORD written = 0;
    if (!data.empty()) WriteFile(handle, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(handle);
  }
}

inline void ExpectPCTree(const std::wstring& top) {
  for (size_t i = 0; i < ARRAYSIZE(kTree); ++i) {
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadPCFile(top + L"\\" + kTree[i].relative, kTree[i].size, &data)) << kTree[i].relative;
    EXPECT_TRUE(data == TreeBytes(i)) << kTree[i].relative << ": " << data.size() << " bytes";
  }
}

// hostTop is below the simulator's volume folders: L"A\\tree".
inline void SeedModuleTree(const std::wstring& hostTop) {
  vkstest::MakeHostDir(hostTop);
  for (const wchar_t* folder : kTreeFolders) vkstest::MakeHostDir(hostTop + L"\\" + folder);
  for (size_t i = 0; i < ARRAYSIZE(kTree); ++i)
    ASSERT_TRUE(vkstest::WriteHostFile(hostTop + L"\\" + kTree[i].relative, TreeBytes(i))) << kTree[i].relative;
}

inline void ExpectModuleTree(const std::wstring& hostTop) {
  for (size_t i = 0; i < ARRAYSIZE(kTree); ++i) {
    std::vector<BYTE> data;
    ASSERT_TRUE(vkstest::ReadHostFile(hostTop + L"\\" + kTree[i].relative, &data)) << kTree[i].relative;
    EXPECT_TRUE(data == TreeBytes(i)) << kTree[i].relative << ": " << data.size() << " bytes";
  }
}

}  // namespace transfertree
