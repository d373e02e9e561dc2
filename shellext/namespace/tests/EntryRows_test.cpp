// Records made from the server's listings, and lists of module paths.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "CountingMalloc.h"
#include "ItemIDList.h"
#include "ScriptedVolume.h"

namespace {

CTestEntries::Row MakeRow(const wchar_t* name, const wchar_t* shortName, LONG size, LONG attributes, DATE created,
                          DATE accessed, VARIANT written) {
  return {MakeBstr(name), MakeBstr(shortName), MakeI4(size), MakeI4(attributes), MakeDate(created),
          MakeDate(accessed), written};
}
CTestEntries::Row FileRow(const wchar_t* name, LONG size = 10) {
  return MakeRow(name, name, size, FILE_ATTRIBUTE_ARCHIVE, 1, 2, MakeDate(3));
}
CTestEntries::Row FolderRow(const wchar_t* name) {
  return MakeRow(name, name, 0, FILE_ATTRIBUTE_DIRECTORY, 1, 2, MakeDate(3));
}
CTestEntries::Row DriveRow(const wchar_t* name, LONG capacity, double free) {
  return MakeRow(name, name, capacity, FILE_ATTRIBUTE_DIRECTORY, 4, 4, MakeR8(free));
}

// What ParseEntryRows fills, freed through the allocator at the end.
struct Rows {
  LPITEMIDLIST* array = nullptr;
  int capacity = 0;
  int count = 0;
  ~Rows() { FreeEntryRows(&array, &capacity, &count); }
  HRESULT Parse(const wchar_t* folder, IVKSVolume* volume, bool recursive = false, bool directoriesOnly = false,
                const wchar_t* pattern = L"*") {
    return ParseEntryRows(folder, pattern, &array, &capacity, &count, volume, directoriesOnly, recursive);
  }
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) names.push_back(GetItemName(array[i]));
    return names;
  }
};

using EntryRows = CountingMallocTest;

TEST_F(EntryRows, RootListsTheDrivesWithCapacityAndFreeBytes) {
  CScriptedVolume volume;
  volume.SetListing(L"\\*", CTestEntries().Add(DriveRow(L"A:", 1000000, 250000.0)).Add(DriveRow(L"B:", 7, 3e9)));
  Rows rows;
  EXPECT_EQ(S_OK, rows.Parse(L"", &volume));
  ASSERT_EQ((std::vector<std::wstring>{L"\\A:", L"\\B:"}), rows.Names());
  EXPECT_EQ(L"A:", std::wstring(GetItemShortName(rows.array[0])));
  EXPECT_EQ(1000000u, GetItemSize(rows.array[0]));
  EXPECT_EQ(250000.0, GetItemLastWriteTime(rows.array[0]));
  EXPECT_EQ(3e9, GetItemLastWriteTime(rows.array[1]));
  EXPECT_TRUE(IsDriveRootItem(rows.array[1]));
  for (int i = 0; i < rows.count; ++i) EXPECT_TRUE(IsValidModuleItem(rows.array[i]));
}

TEST_F(EntryRows, EachRowReadsItsOwnCells) {
  CScriptedVolume volume;
  CTestEntries entries;
  for (int i = 0; i < 3; ++i) {
    const std::wstring name = L"f" + std::to_wstring(i);
    const std::wstring shortName = L"S" + std::to_wstring(i);
    entries.Add(MakeRow(name.c_str(), shortName.c_str(), 100 + i, 0x20 + i, 10 + i, 20 + i, MakeDate(30 + i)));
  }
  volume.SetListing(L"\\A:\\dir\\*", entries);
  for (const wchar_t* folder : {L"\\A:\\dir", L"\\A:\\dir\\"}) {
    Rows rows;
    ASSERT_EQ(S_OK, rows.Parse(folder, &volume));
    ASSERT_EQ(3, rows.count) << folder;
    for (int i = 0; i < 3; ++i) {
      LPCITEMIDLIST r = rows.array[i];
      EXPECT_EQ(L"\\A:\\dir\\f" + std::to_wstring(i), GetItemName(r));
      EXPECT_EQ(L"S" + std::to_wstring(i), GetItemShortName(r));
      EXPECT_EQ(100u + i, GetItemSize(r));
      EXPECT_EQ(0x20u + i, GetItemAttributes(r));
      EXPECT_EQ(10.0 + i, GetItemCreationTime(r));
      EXPECT_EQ(20.0 + i, GetItemLastAccessTime(r));
      EXPECT_EQ(30.0 + i, GetItemLastWriteTime(r));
    }
  }
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:\\dir\\*", L"GetEntries \\A:\\dir\\*"}), volume.calls);
}

TEST_F(EntryRows, TheArrayGrowsInStepsOf32) {
  CScriptedVolume volume;
  CTestEntries entries;
  std::vector<std::wstring> expected;
  for (int i = 0; i < 70; ++i) {
    const std::wstring name = L"n" + std::to_wstring(i);
    entries.Add(FileRow(name.c_str()));
    expected.push_back(L"\\A:\\" + name);
  }
  volume.SetListing(L"\\A:\\*", entries);
  Rows rows;
  EXPECT_EQ(S_OK, rows.Parse(L"\\A:", &volume));
  EXPECT_EQ(expected, rows.Names());
  EXPECT_EQ(96, rows.capacity);
}

// \ -> A: -> (dir -> f2), f1; B: empty.
void ScriptTree(CScriptedVolume& volume) {
  volume.SetListing(L"\\*", CTestEntries().Add(DriveRow(L"A:", 10, 5)).Add(DriveRow(L"B:", 10, 5)));
  volume.SetListing(L"\\A:\\*", CTestEntries().Add(FolderRow(L"dir")).Add(FileRow(L"f1")));
  volume.SetListing(L"\\A:\\dir\\*", CTestEntries().Add(FileRow(L"f2")));
}

TEST_F(EntryRows, RecursionGoesDepthFirstThroughDrivesAndFolders) {
  CScriptedVolume volume;
  ScriptTree(volume);
  Rows rows;
  EXPECT_TRUE(SUCCEEDED(rows.Parse(L"\\", &volume, true)));
  EXPECT_EQ((std::vector<std::wstring>{L"\\A:", L"\\A:\\dir", L"\\A:\\dir\\f2", L"\\A:\\f1", L"\\B:"}), rows.Names());
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\*", L"GetEntries \\A:\\*", L"GetEntries \\A:\\dir\\*",
                                       L"GetEntries \\B:\\*"}),
            volume.calls);
}

TEST_F(EntryRows, AFailedListingFreesEverythingAlreadyGathered) {
  CScriptedVolume volume;
  ScriptTree(volume);
  Rows rows;
  ASSERT_EQ(S_OK, rows.Parse(L"\\A:\\dir", &volume));
  ASSERT_EQ(1, rows.count);
  volume.Fail(L"GetEntries \\A:\\*", E_ACCESSDENIED, L"no");
  EXPECT_EQ(E_ACCESSDENIED, rows.Parse(L"\\A:", &volume));
  EXPECT_EQ(nullptr, rows.array);
  EXPECT_EQ(0, rows.count);
  EXPECT_EQ(0, rows.capacity);
  EXPECT_TRUE(malloc_.live.empty());
}

TEST_F(EntryRows, AFailedNestedListingKeepsTheRestAndStops) {
  CScriptedVolume volume;
  ScriptTree(volume);
  volume.Fail(L"GetEntries \\A:\\dir\\*", E_ACCESSDENIED, nullptr);
  Rows rows;
  EXPECT_EQ(E_ACCESSDENIED, rows.Parse(L"\\A:", &volume, true));
  EXPECT_EQ((std::vector<std::wstring>{L"\\A:\\dir"}), rows.Names());
}

TEST_F(EntryRows, AnswersThatAreNoArrayAddNothingAndEmptyFoldersPassTheirResult) {
  CFakeVolume volume;   // answers VT_EMPTY
  Rows rows;
  EXPECT_EQ(S_OK, rows.Parse(L"\\A:", &volume, false, true));
  EXPECT_EQ(0, rows.count);
  EXPECT_EQ(VARIANT_TRUE, volume.lastLimit);
  EXPECT_EQ(L"\\A:\\*", volume.lastPath);
  volume.entries = CTestEntries().Build();
  volume.result = S_FALSE;   // what the server says for an empty folder
  EXPECT_EQ(S_FALSE, rows.Parse(L"\\A:", &volume, false, false, L"*.txt"));
  EXPECT_EQ(0, rows.count);
  EXPECT_EQ(VARIANT_FALSE, volume.lastLimit);
  EXPECT_EQ(L"\\A:\\*.txt", volume.lastPath);
}

TEST_F(EntryRows, MalformedAnswersAreFailuresAndNothingIsReadOutsideThem) {
  struct {
    const char* what;
    CTestEntries::Row row;
    ULONG columns;
  } cases[] = {
      {"six columns", FileRow(L"a"), 6},
      {"size as text", MakeRow(L"a", L"a", 0, 0, 0, 0, MakeDate(0)), 7},
      {"name as number", {MakeI4(1), MakeBstr(L"a"), MakeI4(0), MakeI4(0), MakeDate(0), MakeDate(0), MakeDate(0)}, 7},
      {"empty last write", MakeRow(L"a", L"a", 0, 0, 0, 0, MakeEmpty()), 7},
      {"text creation time", {MakeBstr(L"a"), MakeBstr(L"a"), MakeI4(0), MakeI4(0), MakeBstr(L"x"), MakeDate(0),
                              MakeDate(0)}, 7},
  };
  VariantClear(&cases[1].row[2]);
  cases[1].row[2] = MakeBstr(L"10");
  for (auto& c : cases) {
    CTestEntries entries;   // takes the row's cells over
    entries.Add(FileRow(L"ok")).Add(c.row);
    CFakeVolume volume;
    volume.entries = entries.Build(c.columns);
    // An array that already holds a record: the failure takes it too.
    CScriptedVolume good;
    good.SetListing(L"\\A:\\*", CTestEntries().Add(FileRow(L"x")));
    Rows rows;
    ASSERT_EQ(S_OK, rows.Parse(L"\\A:", &good));
    EXPECT_TRUE(FAILED(rows.Parse(L"\\A:\\d", &volume))) << c.what;
    EXPECT_EQ(0, rows.count) << c.what;
    EXPECT_EQ(nullptr, rows.array) << c.what;
  }
}

TEST_F(EntryRows, OutOfMemoryFreesEverything) {
  CScriptedVolume volume;
  ScriptTree(volume);
  // Every point where an allocation can fail while reading the tree.
  for (int allowed = 0; allowed < 12; ++allowed) {
    Rows rows;
    malloc_.failAfter = allowed;
    const HRESULT hr = rows.Parse(L"\\", &volume, true);
    malloc_.failAfter = -1;
    if (hr == E_OUTOFMEMORY) {
      EXPECT_EQ(nullptr, rows.array) << allowed;
      EXPECT_EQ(0, rows.count) << allowed;
      EXPECT_TRUE(malloc_.live.empty()) << allowed;
    } else {
      EXPECT_EQ(5, rows.count) << allowed;
    }
  }
}

TEST_F(EntryRows, AServerNameTooLongForARecordIsRefused) {
  CScriptedVolume volume;
  const std::wstring name(33000, L'n');
  volume.SetListing(L"\\A:\\*", CTestEntries().Add(FileRow(L"fine")).Add(FileRow(name.c_str())));
  Rows rows;
  EXPECT_TRUE(FAILED(rows.Parse(L"\\A:", &volume)));
  EXPECT_EQ(0, rows.count);
  EXPECT_TRUE(malloc_.live.empty());
}

TEST_F(EntryRows, ArgumentsAreChecked) {
  CScriptedVolume volume;
  LPITEMIDLIST* array = nullptr;
  int capacity = 0, count = 0;
  EXPECT_EQ(E_INVALIDARG, ParseEntryRows(L"\\", L"*", nullptr, &capacity, &count, &volume, false, false));
  EXPECT_EQ(E_INVALIDARG, ParseEntryRows(L"\\", L"*", &array, nullptr, &count, &volume, false, false));
  EXPECT_EQ(E_INVALIDARG, ParseEntryRows(L"\\", L"*", &array, &capacity, nullptr, &volume, false, false));
  CItemIDList* items = nullptr;
  EXPECT_EQ(E_POINTER, ListFolderEntries(L"\\A:", &items, &count, nullptr, false));
  EXPECT_EQ(E_POINTER, ListFolderEntries(L"\\A:", nullptr, &count, &volume, false));
  EXPECT_EQ(E_INVALIDARG, ReadFolderEntries(L"\\A:", L"*", &items, nullptr, &volume, false, false));
}

TEST_F(EntryRows, FolderEntriesComeAsHolders) {
  CScriptedVolume volume;
  ScriptTree(volume);
  CItemIDList* items = nullptr;
  int count = 0;
  ASSERT_EQ(S_OK, ListFolderEntries(L"\\A:", &items, &count, &volume, false));
  ASSERT_EQ(2, count);
  EXPECT_EQ(L"\\A:\\dir", std::wstring(GetItemName(items[0].Get())));
  EXPECT_EQ(L"\\A:\\f1", std::wstring(GetItemName(items[1].Get())));
  delete[] items;
  // The last folder read, \B:, is empty: its S_FALSE is the result.
  ASSERT_EQ(S_FALSE, ReadFolderEntries(L"\\", L"*", &items, &count, &volume, false, true));
  EXPECT_EQ(5, count);
  delete[] items;
  volume.Fail(L"GetEntries \\A:\\dir\\*", E_FAIL, nullptr);
  EXPECT_EQ(E_FAIL, ReadFolderEntries(L"\\", L"*", &items, &count, &volume, false, true));
  EXPECT_EQ(nullptr, items);
  EXPECT_EQ(0, count);
}

TEST_F(EntryRows, FindEntryByName) {
  CScriptedVolume volume;
  volume.SetListing(L"\\A:\\dir\\f.txt", CTestEntries().Add(FileRow(L"f.txt", 77)));
  volume.SetListing(L"\\A:", CTestEntries().Add(DriveRow(L"A:", 9, 4)));
  CItemIDList* item = nullptr;
  ASSERT_EQ(S_OK, FindEntryByName(L"\\A:\\dir\\f.txt", &volume, &item));
  ASSERT_NE(nullptr, item);
  EXPECT_EQ(L"\\A:\\dir\\f.txt", std::wstring(GetItemName(item->Get())));
  EXPECT_EQ(77u, GetItemSize(item->Get()));
  delete item;
  ASSERT_EQ(S_OK, FindEntryByName(L"\\A:", &volume, &item));
  ASSERT_NE(nullptr, item);
  EXPECT_EQ(L"\\A:", std::wstring(GetItemName(item->Get())));
  delete item;
  EXPECT_EQ(S_OK, FindEntryByName(L"\\A:\\gone", &volume, &item));   // no rows: it does not exist
  EXPECT_EQ(nullptr, item);
  CFakeVolume nothing;
  EXPECT_EQ(E_FAIL, FindEntryByName(L"\\A:\\x", &nothing, &item));
  volume.Fail(L"GetEntries \\A:\\bad", E_ACCESSDENIED, nullptr);
  EXPECT_EQ(E_ACCESSDENIED, FindEntryByName(L"\\A:\\bad", &volume, &item));
  EXPECT_EQ(E_INVALIDARG, FindEntryByName(L"\\A:", &volume, nullptr));
}

TEST_F(EntryRows, AppendPathItemsFetchesEachComponentOnce) {
  CScriptedVolume volume;
  volume.SetListing(L"\\A:", CTestEntries().Add(DriveRow(L"A:", 9, 4)));
  volume.SetListing(L"\\A:\\dir", CTestEntries().Add(FolderRow(L"dir")));
  volume.SetListing(L"\\A:\\dir\\f.txt", CTestEntries().Add(FileRow(L"f.txt")));
  CItemIDList list;
  ASSERT_EQ(S_OK, AppendPathItems(L"\\A:\\dir\\f.txt", &list, &volume));
  ASSERT_EQ(3u, list.GetCount());
  EXPECT_EQ(L"\\A:", std::wstring(GetItemName(list.GetItem(0))));
  EXPECT_EQ(L"\\A:\\dir", std::wstring(GetItemName(list.GetItem(1))));
  EXPECT_EQ(L"\\A:\\dir\\f.txt", std::wstring(GetItemName(list.GetItem(2))));
  EXPECT_EQ(L"dir", std::wstring(GetItemShortName(list.GetItem(1))));
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:", L"GetEntries \\A:\\dir", L"GetEntries \\A:\\dir\\f.txt"}),
            volume.calls);
  EXPECT_EQ(S_OK, AppendPathItems(L"", &list, &volume));
  EXPECT_EQ(3u, list.GetCount());
  volume.Fail(L"GetEntries \\A:\\dir", E_ACCESSDENIED, nullptr);
  volume.calls.clear();
  CItemIDList failed;
  EXPECT_EQ(E_ACCESSDENIED, AppendPathItems(L"\\A:\\dir\\f.txt", &failed, &volume));
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:", L"GetEntries \\A:\\dir"}), volume.calls);
}

TEST_F(EntryRows, NoRootWithoutOurNamespaceRegistered) {
  CScriptedVolume volume;
  CItemIDList root = CItemIDList::Concatenate(nullptr, nullptr);
  EXPECT_EQ(E_FAIL, GetModuleRootIDList(&root));
  EXPECT_TRUE(root.IsEmpty());
  EXPECT_EQ(E_FAIL, GetModuleAbsoluteIDList(L"\\A:", &root, &volume));
  EXPECT_EQ(E_POINTER, GetModuleAbsoluteIDList(L"\\A:", &root, nullptr));
  EXPECT_TRUE(volume.calls.empty());
}

}  // namespace
