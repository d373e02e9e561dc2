// The access layer's module paths and the progress callback, in this process,
// against the module simulator.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ModuleAccess.h"
#include "SimFixture.h"
#include "ZTRInit.h"

namespace {

using namespace ztrtest;

class AccessSim : public ZTRInitSim {
protected:
  // What NormalizePath makes of in, or "refused" when IsValidPath rejects the result.
  std::wstring Normal(CVKSAccess& access, const wchar_t* in) {
    CBstr out;
    if (FAILED(access.NormalizePath(in, &out))) return L"failed";
    if (!access.IsValidPath(out, false)) return L"refused";
    return out.GetBstr() ? out.GetBstr() : L"";
  }
};

TEST_F(AccessSim, PathsOnATwoVolumeModule) {
  UseVolumes(2);
  CVKSAccess access(port.c_str(), 115200);
  short volumes = 0;
  ASSERT_EQ(S_OK, access.GetVolumeCount(&volumes));
  EXPECT_EQ(2, volumes);
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"\\a:\\x", L"A:\\x"}, {L"a:\\x", L"A:\\x"}, {L"A:x", L"A:\\x"}, {L"b:\\java\\app.jar", L"B:\\java\\app.jar"},
      {L"A:\\", L"A:"},       {L"\\C:\\x", L"refused"}, {L"A:\\x\\", L"refused"}, {L"A:\\x\\\\y", L"refused"},
      {L"A:\\a|b", L"refused"}, {L"A:\\a*", L"refused"}, {L"A:\\<x>", L"refused"}};
  for (const auto& [in, expected] : cases) EXPECT_EQ(expected, Normal(access, in)) << in;
  CBstr drive;
  EXPECT_EQ(S_OK, access.ValidateVolumeName(L"b:", &drive));
  EXPECT_STREQ(L"b:", drive.GetBstr());
  EXPECT_EQ(E_INVALIDARG, access.ValidateVolumeName(L"C:", &drive));
  access.ReleaseConnection();
}

TEST_F(AccessSim, PathsOnAOneVolumeModule) {
  UseVolumes(1);
  CVKSAccess access(port.c_str(), 115200);
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"A:\\dir", L"\\dir"}, {L"\\a:\\dir\\f.txt", L"\\dir\\f.txt"}, {L"a:dir", L"\\dir"}, {L"B:\\dir", L"refused"}};
  for (const auto& [in, expected] : cases) EXPECT_EQ(expected, Normal(access, in)) << in;
  CBstr root;
  ASSERT_EQ(S_OK, access.NormalizePath(L"A:", &root));
  EXPECT_EQ(0u, root.GetLength());
  access.ReleaseConnection();
}

// Each file's size is added after it is copied; the total covers every source.
TEST_F(AccessSim, ProgressCountsTheCopiedBytesOfAllSources) {
  UseVolumes(2);
  WriteTree(sources + L"\\A", {{"d", "<dir>"}, {"d\\one.bin", Pattern(1000, 1)}, {"two.bin", Pattern(30, 2)}});
  WriteTree(sources + L"\\B", {{"three.bin", Pattern(5, 3)}});
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
