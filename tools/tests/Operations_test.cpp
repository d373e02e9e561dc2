// The listing, delete and tree-removal operations of VKSDir, VKSDel and
// VKSRmdir against an in-process volume: what they print and what they call.
#include <gtest/gtest.h>
#include "ScriptedVolume.h"
#include "StdoutCapture.h"
#include "VKSDel.h"
#include "VKSDir.h"
#include "VKSRmdir.h"

namespace {

const LONG kDir = 0x10;
const LONG kFile = 0x20;

DATE MakeDate(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME fields = {year, month, 0, day, hour, minute, second, 0};
  DATE date = 0;
  SystemTimeToVariantTime(&fields, &date);
  return date;
}

class OperationsTest : public ErrorInfoTest {
protected:
  CScriptedVolume volume;
  std::vector<std::wstring> Calls() const { return volume.calls; }
};

using DirTest = OperationsTest;

TEST_F(DirTest, FolderListsDirectoriesFirstThenFilesWithTotals) {
  const DATE morning = MakeDate(2024, 3, 5, 6, 7, 8);
  CTestEntries entries;
  entries.AddEntry(L"readme.txt", 1234567, kFile, morning)
      .AddEntry(L"java", 0, kDir, MakeDate(2023, 12, 24, 18, 30, 0))
      .AddEntry(L"empty.bin", 0, kFile)
      .AddEntry(L"audio", 0, kDir | kFile);
  // Not counted at all: its attributes are no 32-bit integer.
  entries.Add({MakeBstr(L"ghost"), MakeBstr(L"ghost"), MakeI4(99), MakeBstr(L"x"), MakeEmpty(), MakeEmpty(),
               MakeEmpty()});
  volume.SetListing(L"\\A:\\java\\*", entries);
  CStdoutCapture capture;
  EXPECT_TRUE(ListModuleFolder(&volume, L"\\A:\\java\\*", L"\\A:\\java"));
  EXPECT_EQ("\n"
            " Module directory of A:\\java\n"
            "\n"
            "12/24/2023 6:30:00 PM  <DIR>               java\n"
            "                     <DIR>               audio\n"
            "3/5/2024 6:07:08 AM           1,234,567  readme.txt\n"
            "                                      0  empty.bin\n"
            "               2 File(s),  1,234,567 Bytes\n"
            "               2 Dir(s)\n",
            capture.Text());
}

TEST_F(DirTest, EmptyFolderShowsZeroTotals) {
  CStdoutCapture capture;
  EXPECT_TRUE(ListModuleFolder(&volume, L"\\B:\\*", L"\\B:\\"));
  EXPECT_EQ("\n Module directory of B:\\\n\n"
            "               0 File(s),  0 Bytes\n"
            "               0 Dir(s)\n",
            capture.Text());
}

TEST_F(DirTest, TotalOfLargeFilesDoesNotWrap) {
  CTestEntries entries;
  entries.AddEntry(L"a.bin", 0x7FFFFFFF, kFile).AddEntry(L"b.bin", 0x7FFFFFFF, kFile).AddEntry(L"c.bin", 2, kFile);
  volume.SetListing(L"\\A:\\*", entries);
  CStdoutCapture capture;
  EXPECT_TRUE(ListModuleFolder(&volume, L"\\A:\\*", L"\\A:\\"));
  EXPECT_NE(std::string::npos, capture.Text().find("               3 File(s),  4,294,967,296 Bytes\n"))
      << capture.Text();
}

TEST_F(DirTest, DriveListShowsCapacityAndFreeSpace) {
  CTestEntries drives;
  drives.AddEntry(L"A:", 16777216, kDir, 0, MakeR8(16000000.75))
      .AddEntry(L"B:", 1024, kDir, 0, MakeR8(0));
  drives.Add({MakeBstr(L"C:"), MakeEmpty(), MakeI4(1), MakeEmpty(), MakeEmpty(), MakeEmpty(), MakeR8(1)});
  volume.SetListing(L"\\*", drives);
  CStdoutCapture capture;
  EXPECT_TRUE(ListModuleDrives(&volume, L"\\*"));
  EXPECT_EQ("\n Module drive list\n\n"
            " A:  (Capacity:  16,777,216, Free:  16,000,000)\n"
            " B:  (Capacity:       1,024, Free:           0)\n"
            "               2 Drive(s)\n",
            capture.Text());
}

// A generic OBEX server gives folders a size; the folder bit alone makes it one.
TEST_F(DirTest, FolderThatReportsASizeIsListedWithItsEntries) {
  volume.SetListing(L"\\A:\\many", CTestEntries().AddEntry(L"many", 4096, kDir));
  volume.SetListing(L"\\A:\\many\\*", CTestEntries().AddEntry(L"one.txt", 3, kFile));
  CStdoutCapture capture;
  EXPECT_TRUE(ListModulePath(&volume, L"\\A:\\many"));
  EXPECT_EQ("\n Module directory of A:\\many\n\n"
            "                                      3  one.txt\n"
            "               1 File(s),  3 Bytes\n"
            "               0 Dir(s)\n",
            capture.Text());
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:\\many", L"GetEntries \\A:\\many\\*"}), Calls());
}

TEST_F(DirTest, FailedListingPrintsTheServersTextAndNoHeading) {
  volume.Fail(L"GetEntries \\A:\\nowhere\\*", E_FAIL, L"The folder does not exist.");
  CStdoutCapture capture;
  EXPECT_FALSE(ListModuleFolder(&volume, L"\\A:\\nowhere\\*", L"\\A:\\nowhere"));
  EXPECT_EQ("The folder does not exist.\n", capture.Text());
}

TEST(GetParentFolder, ClearsTheLastComponent) {
  const struct {
    const wchar_t* path;
    const wchar_t* folder;
  } cases[] = {
      {L"\\A:\\java\\*", L"\\A:\\java"}, {L"\\A:\\*", L"\\A:\\"},     {L"\\A:\\*.jar", L"\\A:\\"},
      {L"\\B:\\x\\y\\z.txt", L"\\B:\\x\\y"}, {L"\\1ab", L"\\"},        {L"", L""},
  };
  for (const auto& c : cases) {
    wchar_t folder[270];
    EXPECT_TRUE(GetParentFolder(c.path, folder, 270));
    EXPECT_STREQ(c.folder, folder) << c.path;
  }
}

using DelTest = OperationsTest;

TEST_F(DelTest, DeletesMatchingFilesOnlyAndGoesOnAfterAFailure) {
  CTestEntries entries;
  entries.AddEntry(L"a.jar", 10, kFile).AddEntry(L"sub", 0, kDir).AddEntry(L"b.jar", 20, kFile)
      .AddEntry(L"c.jar", 30, kFile);
  volume.SetListing(L"\\A:\\java\\*.jar", entries);
  volume.Fail(L"Delete \\A:\\java\\b.jar", 0x80070005, L"Access is denied.");
  CStdoutCapture capture;
  EXPECT_FALSE(DeleteModuleFiles(&volume, L"\\A:\\java\\*.jar"));
  EXPECT_EQ("Access is denied.\n", capture.Text());
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:\\java\\*.jar", L"Delete \\A:\\java\\a.jar",
                                       L"Delete \\A:\\java\\b.jar", L"Delete \\A:\\java\\c.jar"}),
            Calls());
}

TEST_F(DelTest, NoMatchIsSilentSuccess) {
  CStdoutCapture capture;
  EXPECT_TRUE(DeleteModuleFiles(&volume, L"\\A:\\*.none"));
  EXPECT_EQ("", capture.Text());
  EXPECT_EQ(1u, Calls().size());
}

using RmdirTest = OperationsTest;

TEST_F(RmdirTest, RemovesTheTreeDeepestFirst) {
  volume.SetListing(L"\\A:\\t\\*", CTestEntries().AddEntry(L"u", 0, kDir).AddEntry(L"w.txt", 1, kFile));
  volume.SetListing(L"\\A:\\t\\u\\*", CTestEntries().AddEntry(L"v.txt", 5, kFile));
  CStdoutCapture capture;
  EXPECT_TRUE(RemoveModuleTree(&volume, L"\\A:\\t"));
  EXPECT_EQ("Removed directory A:\\t\\u\nRemoved directory A:\\t\n", capture.Text());
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:\\t\\*", L"GetEntries \\A:\\t\\u\\*",
                                       L"Delete \\A:\\t\\u\\v.txt", L"RemoveDir \\A:\\t\\u", L"Delete \\A:\\t\\w.txt",
                                       L"RemoveDir \\A:\\t"}),
            Calls());
}

// The folder of a file that stays cannot go either; both failures are shown,
// each with its own text: the first call's error object never describes the
// second, which left none.
TEST_F(RmdirTest, FileThatStaysKeepsItsFolderAndBothFailuresAreShown) {
  volume.SetListing(L"\\A:\\t\\*", CTestEntries().AddEntry(L"lock.txt", 1, kFile));
  volume.Fail(L"Delete \\A:\\t\\lock.txt", 0x80070005, L"Access is denied.");
  volume.Fail(L"RemoveDir \\A:\\t", 0x80070091, nullptr);
  CStdoutCapture capture;
  EXPECT_FALSE(RemoveModuleTree(&volume, L"\\A:\\t"));
  EXPECT_EQ("Access is denied.\nUnknown error accessing module: 0x80070091\n", capture.Text());
}

TEST_F(RmdirTest, UnlistableSubfolderIsLeftAndTheWalkGoesOn) {
  volume.SetListing(L"\\A:\\t\\*", CTestEntries().AddEntry(L"bad", 0, kDir).AddEntry(L"ok", 0, kDir));
  volume.Fail(L"GetEntries \\A:\\t\\bad\\*", 0x8004B001, L"There is no connection.");
  volume.Fail(L"RemoveDir \\A:\\t", 0x80070091, L"The directory is not empty.");
  CStdoutCapture capture;
  EXPECT_FALSE(RemoveModuleTree(&volume, L"\\A:\\t"));
  EXPECT_EQ("There is no connection.\nRemoved directory A:\\t\\ok\nThe directory is not empty.\n", capture.Text());
  for (const std::wstring& call : Calls()) EXPECT_NE(L"RemoveDir \\A:\\t\\bad", call);
}

// Names that would lead back into the folder or above it are not walked.
TEST_F(RmdirTest, SelfAndParentNamesAreNotWalked) {
  volume.SetListing(L"\\A:\\t\\*",
                    CTestEntries().AddEntry(L".", 0, kDir).AddEntry(L"..", 0, kDir).AddEntry(L"", 0, kFile));
  CStdoutCapture capture;
  EXPECT_TRUE(RemoveModuleTree(&volume, L"\\A:\\t"));
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:\\t\\*", L"RemoveDir \\A:\\t"}), Calls());
}

}  // namespace
