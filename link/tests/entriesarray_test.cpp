// The rows of a GetEntries result as the request layer builds them.
#include <gtest/gtest.h>

#include "Request.h"

namespace {

TEST(EntriesArray, SizesBeyondTheSignedCellAreClampedNotNegative) {
  FolderEntry* big = NewFolderEntry(L"big.bin", 3000000000u, 0, 0, 0, 0);
  FolderEntry* small = NewFolderEntry(L"small.bin", 12, FILE_ATTRIBUTE_READONLY, 0, 0, 0);
  ASSERT_TRUE(big && small);
  big->next = small;
  Request request(nullptr, kRequestGetEntries, 1, 0);
  SAFEARRAY* rows = BuildEntriesArray(&request, big);
  FreeEntryList(big);
  ASSERT_NE(nullptr, rows);
  EXPECT_EQ(S_OK, request.GetResult());
  VARIANT cell;
  VariantInit(&cell);
  LONG index[2] = {0, 2};
  ASSERT_EQ(S_OK, SafeArrayGetElement(rows, index, &cell));
  EXPECT_EQ(VT_I4, cell.vt);
  EXPECT_EQ(0x7fffffff, cell.lVal);
  index[0] = 1;
  ASSERT_EQ(S_OK, SafeArrayGetElement(rows, index, &cell));
  EXPECT_EQ(12, cell.lVal);
  SafeArrayDestroy(rows);
}

}  // namespace
