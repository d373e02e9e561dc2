// tools/common/tests/ListEntries_test.cpp - a listing that reports its failure on the console.
#include <gtest/gtest.h>
#include <string>
#include "ConsoleText.h"
#include "EntryList.h"
#include "FakeVolume.h"
#include "StdoutCapture.h"
#include "TestEntries.h"

namespace {

class ListEntriesTest : public ErrorInfoTest {
protected:
  CFakeVolume volume;
  CEntryList list;
};

TEST_F(ListEntriesTest, ListsWhatTheServerReturned) {
  CTestEntries rows;
  rows.AddEntry(L"a.txt", 3, 0x20).AddEntry(L"sub", 0, 0x10);
  volume.entries = rows.Build();
  volume.result = S_OK;
  CStdoutCapture capture;
  ASSERT_TRUE(ListEntries(&volume, L"\\A:\\*", false, &list, kModuleErrorFormat));
  EXPECT_EQ(L"\\A:\\*", volume.lastPath);
  EXPECT_EQ(VARIANT_FALSE, volume.lastLimit);
  EXPECT_EQ(2, list.GetCount());
  EXPECT_EQ("", capture.Text());
}

TEST_F(ListEntriesTest, NoMatchIsAnEmptyListNotAFailure) {
  volume.entries = CTestEntries().Build();
  volume.result = S_FALSE;
  EXPECT_TRUE(ListEntries(&volume, L"\\A:\\*.jar", false, &list, kModuleErrorFormat));
  EXPECT_EQ(0, list.GetCount());
}

TEST_F(ListEntriesTest, FailuresArePrinted) {
  volume.result = static_cast<HRESULT>(0x8004A004);
  volume.description = L"The module does not answer.";
  {
    CStdoutCapture capture;
    EXPECT_FALSE(ListEntries(&volume, L"\\A:\\*", false, &list, kModuleErrorFormat));
    EXPECT_EQ("The module does not answer.\n", capture.Text());
  }
  // A successful call whose result is no array fails like a call.
  volume.result = S_OK;
  volume.description = nullptr;
  V_VT(&volume.entries) = VT_BSTR;
  V_BSTR(&volume.entries) = SysAllocString(L"not an array");
  CStdoutCapture capture;
  EXPECT_FALSE(ListEntries(&volume, L"\\A:\\*", false, &list, kModuleErrorFormat));
  EXPECT_EQ("Unknown error accessing module: 0x80020005\n", capture.Text());
}

TEST_F(ListEntriesTest, ErrorObjectLeftBeforeTheCallIsNotItsText) {
  SetThreadError(L"from an earlier call");
  volume.result = E_FAIL;
  CStdoutCapture capture;
  EXPECT_FALSE(ListEntries(&volume, L"\\A:\\*", false, &list, kModuleErrorFormat));
  EXPECT_EQ("Unknown error accessing module: 0x80004005\n", capture.Text());
}

}  // namespace
