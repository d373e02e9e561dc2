// The progress callback and the drive arguments, in this process.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ZTRInitFixture.h"
#include "ZTRInit.h"

namespace {

using namespace ztrtest;

// Each file's size is added after it is copied; the total covers every source.
TEST_F(ZTRInitSim, ProgressCountsTheCopiedBytesOfAllSources) {
  UseVolumes(2);
  WriteTree(sources + L"\\A", {{"d", "<dir>"}, {"d\\one.bin", PatternBytes(1000, 1)}, {"two.bin", PatternBytes(30, 2)}});
  WriteTree(sources + L"\\B", {{"three.bin", PatternBytes(5, 3)}});
  EXPECT_EQ(1030u, GetDirectorySize(sources + L"\\A"));
  DriveInitRecord records[2];
  records[0].source = sources + L"\\A";
  records[1].source = sources + L"\\B";
  records[1].format = 1;
  std::vector<std::pair<DWORD, DWORD>> calls;
  const ProgressCallback progress = [](void* user, DWORD copied, DWORD total) {
    static_cast<std::vector<std::pair<DWORD, DWORD>>*>(user)->emplace_back(copied, total);
  };
  ASSERT_EQ(S_OK, InitModuleFileSystems(port.c_str(), 115200, 2, records, progress, &calls));
  const std::vector<std::pair<DWORD, DWORD>> expected = {{0, 1035}, {1000, 1035}, {1030, 1035}, {1035, 1035}};
  EXPECT_EQ(expected, calls);
}

TEST(DriveIndex, OnlyTheFirstThreeDrivesInAnyCase) {
  EXPECT_EQ(0, GetDriveIndex(L"a:"));
  EXPECT_EQ(1, GetDriveIndex(L"B:"));
  EXPECT_EQ(2, GetDriveIndex(L"c:"));
  for (const wchar_t* other : {L"d:", L"a", L"a:\\", L"", L"-f"}) EXPECT_EQ(kNoDrive, GetDriveIndex(other)) << other;
}

}  // namespace
