// Reading GetEntries arrays: layout, cell types and malformed results.
#include <gtest/gtest.h>
#include <string>
#include "EntryList.h"
#include "TestEntries.h"

namespace {

TEST(EntryList, ReadsEntryMajorLayout) {
  CTestEntries rows;
  rows.AddEntry(L"java", 0, 0x10, 45000.5)
      .AddEntry(L"app.jar", 1234, 0x20, 45001.25, MakeDate(45002.0))
      .AddEntry(L"readme.txt", 7, 0x01, 0);
  VARIANT result = rows.Build();
  CEntryList list;
  ASSERT_EQ(S_OK, list.Attach(&result));
  EXPECT_EQ(VT_EMPTY, V_VT(&result));
  ASSERT_EQ(3, list.GetCount());
  EXPECT_STREQ(L"java", list.GetName(0));
  EXPECT_STREQ(L"app.jar", list.GetName(1));
  EXPECT_STREQ(L"readme.txt", list.GetName(2));
  EXPECT_TRUE(list.IsDirectory(0));
  EXPECT_FALSE(list.IsDirectory(1));
  EXPECT_EQ(1234, list.GetInt(1, geSize));
  EXPECT_EQ(0x01, list.GetInt(2, geAttributes));
  EXPECT_EQ(45000.5, list.GetDate(0, geCreationTime));
  EXPECT_EQ(45001.25, list.GetDate(1, geLastAccessTime));
  EXPECT_EQ(45002.0, list.GetDate(1, geLastWriteTime));
  EXPECT_EQ(nullptr, list.GetCell(3, geName));
  EXPECT_EQ(nullptr, list.GetCell(-1, geName));
}

TEST(EntryList, OnlyI4AttributesMakeAnEntry) {
  CTestEntries rows;
  rows.AddEntry(L"a", 1, 0)
      .Add({MakeBstr(L"b"), MakeBstr(L"b"), MakeI4(2), MakeBstr(L"16"), MakeEmpty(), MakeEmpty(), MakeEmpty()})
      .Add({MakeI4(3), MakeEmpty(), MakeR8(3.0), MakeI4(0x10), MakeEmpty(), MakeEmpty(), MakeEmpty()});
  VARIANT result = rows.Build();
  CEntryList list;
  ASSERT_EQ(S_OK, list.Attach(&result));
  EXPECT_TRUE(list.IsEntry(0));
  EXPECT_FALSE(list.IsEntry(1));
  EXPECT_FALSE(list.IsDirectory(1));
  EXPECT_TRUE(list.IsDirectory(2));
  EXPECT_EQ(nullptr, list.GetName(2));    // a name that is no BSTR
  EXPECT_FALSE(list.IsInt(2, geSize));
  EXPECT_EQ(0, list.GetInt(2, geSize));
  LONG files = -1;
  EXPECT_EQ(1, list.SumFileSizes(&files));
  EXPECT_EQ(1, files);
}

TEST(EntryList, EmptyResultHasNoEntries) {
  VARIANT result = CTestEntries().Build();
  CEntryList list;
  ASSERT_EQ(S_OK, list.Attach(&result));
  EXPECT_EQ(0, list.GetCount());
  LONG files = -1;
  EXPECT_EQ(0, list.SumFileSizes(&files));
  EXPECT_EQ(0, files);
}

TEST(EntryList, FileTotalDoesNotWrap) {
  CTestEntries rows;
  for (int i = 0; i < 3; ++i) rows.AddEntry(L"big", 0x7FFFFFFF, 0x20);
  rows.AddEntry(L"dir", 5, 0x10);
  VARIANT result = rows.Build();
  CEntryList list;
  ASSERT_EQ(S_OK, list.Attach(&result));
  LONG files = 0;
  EXPECT_EQ(3LL * 0x7FFFFFFF, list.SumFileSizes(&files));
  EXPECT_EQ(3, files);
}

TEST(EntryList, DriveRowFreeSpaceIsADouble) {
  CTestEntries rows;
  rows.AddEntry(L"A:", 4000000, 0x10, 0, MakeR8(1234567.9))
      .AddEntry(L"B:", 1, 0x10, 0, MakeR8(1e300))
      .AddEntry(L"C:", 1, 0x10, 0, MakeR8(-1e300))
      .AddEntry(L"D:", 1, 0x10, 0, MakeBstr(L"12"));
  VARIANT result = rows.Build();
  CEntryList list;
  ASSERT_EQ(S_OK, list.Attach(&result));
  EXPECT_EQ(1234567, list.GetWholeNumber(0, geLastWriteTime));
  EXPECT_EQ(9223372036854775807LL, list.GetWholeNumber(1, geLastWriteTime));
  EXPECT_EQ(-9223372036854775807LL - 1, list.GetWholeNumber(2, geLastWriteTime));
  EXPECT_EQ(0, list.GetWholeNumber(3, geLastWriteTime));
}

TEST(EntryList, NonZeroLowerBoundCountsTheSame) {
  CTestEntries rows;
  rows.AddEntry(L"x", 1, 0).AddEntry(L"y", 2, 0);
  VARIANT result = rows.Build(7, 5);
  CEntryList list;
  ASSERT_EQ(S_OK, list.Attach(&result));
  ASSERT_EQ(2, list.GetCount());
  EXPECT_STREQ(L"y", list.GetName(1));
  EXPECT_EQ(2, list.GetInt(1, geSize));
}

TEST(EntryList, MalformedResultsAreRefused) {
  CEntryList list;
  EXPECT_EQ(E_POINTER, list.Attach(nullptr));

  VARIANT notArray = MakeI4(3);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, list.Attach(&notArray));
  VARIANT empty = MakeEmpty();
  EXPECT_EQ(DISP_E_TYPEMISMATCH, list.Attach(&empty));

  CTestEntries rows;
  rows.AddEntry(L"x", 1, 0);
  VARIANT sixColumns = rows.Build(6);   // reading geLastWriteTime would leave the array
  EXPECT_EQ(DISP_E_BADINDEX, list.Attach(&sixColumns));
  EXPECT_EQ(0, list.GetCount());

  SAFEARRAYBOUND line = {7, 0};
  VARIANT oneDimension = MakeEmpty();
  V_VT(&oneDimension) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&oneDimension) = SafeArrayCreate(VT_VARIANT, 1, &line);
  EXPECT_EQ(DISP_E_BADINDEX, list.Attach(&oneDimension));

  // Claims variants but holds 32-bit integers: cells would be read past the end.
  SAFEARRAYBOUND grid[2] = {{1, 0}, {7, 0}};
  VARIANT wrongElements = MakeEmpty();
  V_VT(&wrongElements) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&wrongElements) = SafeArrayCreate(VT_I4, 2, grid);
  EXPECT_EQ(DISP_E_BADINDEX, list.Attach(&wrongElements));
}

}  // namespace
