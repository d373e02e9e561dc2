// IsModuleDir against an in-process volume whose listings the test builds.
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "ConsoleText.h"
#include "ErrorText.h"
#include "FakeVolume.h"
#include "ModuleDir.h"
#include "StdoutCapture.h"
#include "TestEntries.h"

namespace {

struct DirCase {
  const char* name;
  const wchar_t* path;
  std::function<void(CTestEntries&)> rows;   // the listing with limittodirectories
  bool expected;
};
void PrintTo(const DirCase& c, std::ostream* os) { *os << c.name; }

std::vector<DirCase> DirCases() {
  auto folder = [](const wchar_t* name) {
    return [name](CTestEntries& rows) { rows.AddEntry(name, 0, 0x10); };
  };
  return {
      {"OneFolderOfThatName", L"\\A:\\java", folder(L"java"), true},
      {"NameComparedIgnoringCase", L"\\A:\\sub\\JAVA", folder(L"Java"), true},
      {"FolderWithOtherAttributes", L"\\A:\\java", [](CTestEntries& r) { r.AddEntry(L"java", 0, 0x11); }, true},
      {"FileIsNoFolder", L"\\A:\\java", [](CTestEntries& r) { r.AddEntry(L"java", 0, 0x20); }, false},
      {"FolderWithASizeOfItsOwn", L"\\A:\\java", [](CTestEntries& r) { r.AddEntry(L"java", 4096, 0x10); }, true},
      {"EmptyListing", L"\\A:\\java", [](CTestEntries&) {}, false},
      {"TwoEntries", L"\\A:\\j*", [](CTestEntries& r) { r.AddEntry(L"ja", 0, 0x10).AddEntry(L"jb", 0, 0x10); },
       false},
      {"OtherName", L"\\A:\\java", folder(L"jav"), false},
      {"NameLongerThanPath", L"\\A:\\a", folder(L"\\A:\\a"), false},
      // The pattern "*java" lists the folder java, but is no folder itself.
      {"PatternEndingInTheName", L"\\A:\\*java", folder(L"java"), false},
      {"NameIsNoString", L"\\A:\\java",
       [](CTestEntries& r) {
         r.Add({MakeI4(1), MakeEmpty(), MakeI4(0), MakeI4(0x10), MakeEmpty(), MakeEmpty(), MakeEmpty()});
       },
       false},
      {"SizeThatIsNoInteger", L"\\A:\\java",
       [](CTestEntries& r) {
         r.Add({MakeBstr(L"java"), MakeBstr(L"java"), MakeR8(0), MakeI4(0x10), MakeEmpty(), MakeEmpty(),
                MakeEmpty()});
       },
       true},
      {"AttributesAreNoInteger", L"\\A:\\java",
       [](CTestEntries& r) {
         r.Add({MakeBstr(L"java"), MakeBstr(L"java"), MakeI4(0), MakeBstr(L"16"), MakeEmpty(), MakeEmpty(),
                MakeEmpty()});
       },
       false},
  };
}

class ModuleDirTest : public ErrorInfoTest {
protected:
  CFakeVolume volume;
};

class ModuleDirTable : public ModuleDirTest, public ::testing::WithParamInterface<DirCase> {};

TEST_P(ModuleDirTable, DecidesFromTheListing) {
  const DirCase& c = GetParam();
  CTestEntries rows;
  c.rows(rows);
  volume.entries = rows.Build();
  EXPECT_EQ(c.expected, IsModuleDir(&volume, c.path, kModuleErrorFormat));
  EXPECT_EQ(1, volume.calls);
  EXPECT_EQ(std::wstring(c.path), volume.lastPath);
  EXPECT_EQ(VARIANT_TRUE, volume.lastLimit);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModuleDirTable, ::testing::ValuesIn(DirCases()),
                         [](const ::testing::TestParamInfo<DirCase>& info) { return info.param.name; });

TEST_F(ModuleDirTest, TrailingBackslashAsksNothing) {
  EXPECT_TRUE(IsModuleDir(&volume, L"\\A:\\java\\", kModuleErrorFormat));
  EXPECT_TRUE(IsModuleDir(&volume, L"\\A:\\", nullptr));
  EXPECT_EQ(0, volume.calls);
}

TEST_F(ModuleDirTest, ResultThatIsNoArrayIsNoFolder) {
  V_VT(&volume.entries) = VT_I4;
  V_I4(&volume.entries) = 0x10;
  CStdoutCapture capture;
  EXPECT_FALSE(IsModuleDir(&volume, L"\\A:\\java", kModuleErrorFormat));
  EXPECT_EQ("", capture.Text());
}

TEST_F(ModuleDirTest, FailedCallIsPrintedWithTheFallback) {
  volume.result = static_cast<HRESULT>(0x8004B001);
  volume.description = L"The connection to the module was lost.";
  {
    CStdoutCapture capture;
    EXPECT_FALSE(IsModuleDir(&volume, L"\\A:\\java", kModuleErrorFormat));
    EXPECT_EQ("The connection to the module was lost.\n", capture.Text());
  }
  volume.description = nullptr;
  CStdoutCapture capture;
  EXPECT_FALSE(IsModuleDir(&volume, L"\\A:\\java", kModuleErrorFormat));
  EXPECT_EQ("Unknown error accessing module: 0x8004b001\n", capture.Text());
}

TEST_F(ModuleDirTest, FailedCallIsSilentWithoutFallback) {
  volume.result = E_FAIL;
  volume.description = L"not to be printed";
  CStdoutCapture capture;
  EXPECT_FALSE(IsModuleDir(&volume, L"\\A:\\java", nullptr));
  EXPECT_EQ("", capture.Text());
  // Nor does its error object survive to describe the next failure.
  std::string printed;
  CheckResult(E_FAIL, kModuleErrorFormat, &printed);
  EXPECT_EQ("Unknown error accessing module: 0x80004005\n", printed);
}

TEST_F(ModuleDirTest, StaleErrorObjectIsNotTheCallsText) {
  SetThreadError(L"left by an earlier call");
  volume.result = E_FAIL;
  CStdoutCapture capture;
  EXPECT_FALSE(IsModuleDir(&volume, L"\\A:\\java", kModuleErrorFormat));
  EXPECT_EQ("Unknown error accessing module: 0x80004005\n", capture.Text());
}

}  // namespace
