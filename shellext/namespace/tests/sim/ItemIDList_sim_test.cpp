// Records and path lists read from a running VKSServer on the simulator.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "ItemIDList.h"
#include "ModuleSimTest.h"

namespace {

using namespace vkstest;

class ItemIDListSim : public CModuleSimTest {
protected:
  void SetUp() override {
    CModuleSimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    MakeHostDir(L"A\\dir");
    ASSERT_TRUE(WriteHostFile(L"A\\dir\\f.txt", std::vector<BYTE>(1234, 'x')));
    ASSERT_TRUE(WriteHostFile(L"A\\top.bin", std::vector<BYTE>(5, 'y')));
  }
};

struct Rows {
  LPITEMIDLIST* array = nullptr;
  int capacity = 0;
  int count = 0;
  ~Rows() { FreeEntryRows(&array, &capacity, &count); }
};

TEST_F(ItemIDListSim, DrivesCarryCapacityAndFreeBytes) {
  Rows rows;
  ASSERT_TRUE(SUCCEEDED(ParseEntryRows(L"", L"*", &rows.array, &rows.capacity, &rows.count, volume.Get(), false,
                                       false)));
  ASSERT_EQ(2, rows.count);
  const wchar_t* drives[] = {L"A:", L"B:"};
  for (int i = 0; i < 2; ++i) {
    LPCITEMIDLIST drive = rows.array[i];
    EXPECT_TRUE(IsValidModuleItem(drive));
    EXPECT_EQ(std::wstring(L"\\") + drives[i], GetItemName(drive));
    EXPECT_EQ(drives[i], std::wstring(GetItemShortName(drive)));
    EXPECT_TRUE(IsDriveRootItem(drive));
    LONG total = 0, free = 0;
    ASSERT_EQ(S_OK, volume->GetCapacity(Text(drives[i]), &total, &free));
    EXPECT_EQ(static_cast<ULONG>(total), GetItemSize(drive));
    EXPECT_EQ(static_cast<double>(static_cast<ULONG>(free)), GetItemLastWriteTime(drive));
  }
}

TEST_F(ItemIDListSim, AFolderAndItsFilesAndTheWholeTree) {
  CItemIDList* items = nullptr;
  int count = 0;
  ASSERT_TRUE(SUCCEEDED(ListFolderEntries(L"\\A:\\dir", &items, &count, volume.Get(), false)));
  ASSERT_EQ(1, count);
  EXPECT_EQ(L"\\A:\\dir\\f.txt", std::wstring(GetItemName(items[0].Get())));
  EXPECT_EQ(1234u, GetItemSize(items[0].Get()));
  EXPECT_FALSE(IsFolderItem(items[0].Get()));
  EXPECT_NE(0.0, GetItemLastWriteTime(items[0].Get()));
  delete[] items;

  ASSERT_TRUE(SUCCEEDED(ReadFolderEntries(L"\\A:", L"*", &items, &count, volume.Get(), false, true)));
  std::vector<std::wstring> names;
  for (int i = 0; i < count; ++i) names.push_back(GetItemName(items[i].Get()));
  delete[] items;
  // Depth first: the folder, then what it holds, then the rest.
  ASSERT_EQ(3u, names.size());
  const auto dir = std::find(names.begin(), names.end(), L"\\A:\\dir");
  ASSERT_NE(names.end(), dir);
  EXPECT_EQ(L"\\A:\\dir\\f.txt", *(dir + 1));
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"\\A:\\top.bin"));
}

TEST_F(ItemIDListSim, PathRecordsComeFromTheServer) {
  CItemIDList list;
  ASSERT_EQ(S_OK, AppendPathItems(L"\\A:\\dir\\f.txt", &list, volume.Get()));
  ASSERT_EQ(3u, list.GetCount());
  EXPECT_EQ(L"\\A:", std::wstring(GetItemName(list.GetItem(0))));
  EXPECT_EQ(L"\\A:\\dir", std::wstring(GetItemName(list.GetItem(1))));
  EXPECT_TRUE(IsFolderItem(list.GetItem(1)));
  EXPECT_EQ(L"\\A:\\dir\\f.txt", std::wstring(GetItemName(list.GetItem(2))));
  EXPECT_EQ(1234u, GetItemSize(list.GetItem(2)));
  CItemIDList* missing = nullptr;
  EXPECT_EQ(S_OK, FindEntryByName(L"\\A:\\dir\\none.txt", volume.Get(), &missing));
  EXPECT_EQ(nullptr, missing);
  // Without our namespace under My Computer there is no root to start from.
  CItemIDList absolute;
  EXPECT_EQ(E_FAIL, GetModuleAbsoluteIDList(L"\\A:\\dir", &absolute, volume.Get()));
  EXPECT_TRUE(absolute.IsEmpty());
}

}  // namespace
