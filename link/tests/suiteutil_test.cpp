// link/tests/suiteutil_test.cpp - dates, CRC-16, folder entries, receive buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "SuiteUtil.h"

namespace {

ULONGLONG Ticks(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME LocalOf(const FILETIME& utc) {
  FILETIME local{};
  EXPECT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  return local;
}

constexpr double kOneMs = 1.0 / 86400000.0;

// True when date lies within a few seconds of the local clock now.
::testing::AssertionResult IsAboutNow(DATE date) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  DATE reference = 0;
  SystemTimeToDate(now, &reference);
  if (std::fabs(date - reference) < 10.0 / 86400.0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << date << " is not near now (" << reference << ")";
}

}  // namespace

TEST(DateConversionTest, NoonOfMillenniumDay) {
  FILETIME utc{};
  ASSERT_TRUE(DateToFileTime(36526.5, &utc));
  EXPECT_EQ(125912016000000000ULL, Ticks(LocalOf(utc)));  // 2000-01-01 12:00 local
  DATE back = 0;
  ASSERT_TRUE(FileTimeToDate(utc, &back));
  EXPECT_EQ(36526.5, back);

  SYSTEMTIME st{};
  ASSERT_TRUE(DateToSystemTime(36526.5, &st));
  EXPECT_EQ(2000, st.wYear);
  EXPECT_EQ(1, st.wMonth);
  EXPECT_EQ(1, st.wDay);
  EXPECT_EQ(12, st.wHour);
  EXPECT_EQ(0, st.wMinute);
  EXPECT_EQ(0, st.wSecond);
  EXPECT_EQ(0, st.wMilliseconds);
  DATE fromSystem = 0;
  ASSERT_TRUE(SystemTimeToDate(st, &fromSystem));
  EXPECT_EQ(36526.5, fromSystem);
}

TEST(DateConversionTest, ZeroMeansNoTimeBothWays) {
  FILETIME ft{123, 456};
  ASSERT_TRUE(DateToFileTime(0, &ft));
  EXPECT_EQ(0u, Ticks(ft));
  DATE date = 1;
  ASSERT_TRUE(FileTimeToDate(FILETIME{0, 0}, &date));
  EXPECT_EQ(0, date);

  SYSTEMTIME st;
  memset(&st, 0xAB, sizeof(st));
  ASSERT_TRUE(DateToSystemTime(0, &st));
  SYSTEMTIME zero{};
  EXPECT_EQ(0, memcmp(&zero, &st, sizeof(st)));
}

TEST(DateConversionTest, RoundTripsKeepMilliseconds) {
  const DATE dates[] = {
      1.0,                      // 1899-12-31
      2.25,                     // 1900-01-01 06:00
      36526.5,
      40000.0 + 1234 * kOneMs,  // 2009-07-06 00:00:01.234
      45291.999988426,          // 2023-12-31 23:59:59 (and a bit)
      47482.75,                 // 2029-12-31 18:00
      2958465.0,                // 9999-12-31
  };
  for (DATE d : dates) {
    SCOPED_TRACE(d);
    FILETIME utc{};
    ASSERT_TRUE(DateToFileTime(d, &utc));
    DATE back = 0;
    ASSERT_TRUE(FileTimeToDate(utc, &back));
    EXPECT_NEAR(d, back, kOneMs / 2);

    SYSTEMTIME st{};
    ASSERT_TRUE(DateToSystemTime(d, &st));
    DATE fromSystem = 0;
    ASSERT_TRUE(SystemTimeToDate(st, &fromSystem));
    EXPECT_NEAR(d, fromSystem, kOneMs / 2);
  }
}

TEST(DateConversionTest, RoundsToTheNearestMillisecond) {
  const struct { double offsetMs; ULONGLONG extraTicks; } cases[] = {
      {0.4, 0}, {0.6, 10000}, {1.49, 10000}, {1.51, 20000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offsetMs);
    FILETIME utc{};
    ASSERT_TRUE(DateToFileTime(36526.5 + c.offsetMs * kOneMs, &utc));
    EXPECT_EQ(125912016000000000ULL + c.extraTicks, Ticks(LocalOf(utc)));
  }
}

TEST(DateConversionTest, DatesNoFileTimeCanHoldAreRefused) {
  FILETIME ft{};
  EXPECT_FALSE(DateToFileTime(-200000.0, &ft));  // before 1601
  EXPECT_FALSE(DateToFileTime(1e300, &ft));
  EXPECT_FALSE(DateToFileTime(std::nan(""), &ft));
  SYSTEMTIME st{};
  EXPECT_FALSE(DateToSystemTime(-200000.0, &st));
}

TEST(DateConversionTest, CurrentLocalDateIsTheLocalClock) {
  EXPECT_TRUE(IsAboutNow(CurrentLocalDate()));
}

TEST(Crc16Test, X25CheckValuesAndChaining) {
  const auto* digits = reinterpret_cast<const BYTE*>("123456789");
  EXPECT_EQ(0x906E, Crc16Update(digits, 9, 0));
  EXPECT_EQ(0x9E25, Crc16Update(reinterpret_cast<const BYTE*>("abc"), 3, 0));
  EXPECT_EQ(0x906E, Crc16Update(digits + 3, 6, Crc16Update(digits, 3, 0)));
  // Any split point continues the same CRC, as a resumed download needs.
  for (DWORD split = 0; split <= 9; ++split) {
    SCOPED_TRACE(split);
    EXPECT_EQ(0x906E, Crc16Update(digits + split, 9 - split, Crc16Update(digits, split, 0)));
  }
  EXPECT_EQ(0x1234, Crc16Update(digits, 0, 0x1234));
  EXPECT_EQ(0, Crc16Update(nullptr, 0, 0));
}

TEST(FolderEntryTest, NewEntryCopiesNameTwice) {
  FolderEntry* e = NewFolderEntry(L"file.txt", 1234, FILE_ATTRIBUTE_READONLY, 1.5, 2.5, 3.5);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(nullptr, e->next);
  EXPECT_STREQ(L"file.txt", e->name);
  EXPECT_STREQ(L"file.txt", e->shortName);
  EXPECT_NE(e->name, e->shortName);
  EXPECT_EQ(1234u, e->size);
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), e->attributes);
  EXPECT_EQ(1.5, e->created);
  EXPECT_EQ(2.5, e->accessed);
  EXPECT_EQ(3.5, e->modified);
  FreeEntryList(e);
}

TEST(FolderEntryTest, MissingDatesDefaultToNow) {
  FolderEntry* none = NewFolderEntry(L"x", 0, 0, 0, 0, 0);
  ASSERT_NE(nullptr, none);
  EXPECT_TRUE(IsAboutNow(none->created));
  EXPECT_TRUE(IsAboutNow(none->accessed));
  EXPECT_EQ(0, none->modified);  // all three missing: no write time is made up
  FreeEntryList(none);

  FolderEntry* created = NewFolderEntry(L"x", 0, 0, 40000, 0, 0);
  ASSERT_NE(nullptr, created);
  EXPECT_EQ(40000, created->created);
  EXPECT_TRUE(IsAboutNow(created->accessed));
  EXPECT_TRUE(IsAboutNow(created->modified));
  FreeEntryList(created);

  FolderEntry* written = NewFolderEntry(L"x", 0, 0, 0, 0, 41000);
  ASSERT_NE(nullptr, written);
  EXPECT_TRUE(IsAboutNow(written->created));
  EXPECT_TRUE(IsAboutNow(written->accessed));
  EXPECT_EQ(41000, written->modified);
  FreeEntryList(written);

  FolderEntry* unnamed = NewFolderEntry(nullptr, 0, 0, 1, 1, 1);
  ASSERT_NE(nullptr, unnamed);
  EXPECT_STREQ(L"", unnamed->name);
  FreeEntryList(unnamed);
}

TEST(FolderEntryTest, CopyIsDeepAndKeepsOrder) {
  FolderEntry* a = NewFolderEntry(L"a", 1, FILE_ATTRIBUTE_DIRECTORY, 1, 2, 3);
  FolderEntry* b = NewFolderEntry(L"bb", 2, 0, 4, 5, 6);
  FolderEntry* c = NewFolderEntry(L"ccc", 3, 0, 7, 8, 9);
  ASSERT_TRUE(a && b && c);
  CoTaskMemFree(b->shortName);
  b->shortName = nullptr;  // parsed entries often have none
  a->next = b;
  b->next = c;

  FolderEntry* copy = reinterpret_cast<FolderEntry*>(1);
  ASSERT_EQ(S_OK, CopyFolderEntries(a, &copy));
  const FolderEntry* from = a;
  const FolderEntry* to = copy;
  for (; from && to; from = from->next, to = to->next) {
    SCOPED_TRACE(from->name);
    EXPECT_NE(from, to);
    EXPECT_NE(from->name, to->name);
    EXPECT_STREQ(from->name, to->name);
    if (from->shortName) {
      EXPECT_NE(from->shortName, to->shortName);
      EXPECT_STREQ(from->shortName, to->shortName);
    } else {
      EXPECT_EQ(nullptr, to->shortName);
    }
    EXPECT_EQ(from->size, to->size);
    EXPECT_EQ(from->attributes, to->attributes);
    EXPECT_EQ(from->created, to->created);
    EXPECT_EQ(from->accessed, to->accessed);
    EXPECT_EQ(from->modified, to->modified);
  }
  EXPECT_EQ(nullptr, from);
  EXPECT_EQ(nullptr, to);
  FreeEntryList(a);
  FreeEntryList(copy);

  FolderEntry* empty = reinterpret_cast<FolderEntry*>(1);
  EXPECT_EQ(S_OK, CopyFolderEntries(nullptr, &empty));
  EXPECT_EQ(nullptr, empty);
  EXPECT_EQ(E_POINTER, CopyFolderEntries(nullptr, nullptr));
  FreeEntryList(nullptr);
}

TEST(IDListTest, SizeCountsItemsAndTerminator) {
  EXPECT_EQ(0u, GetIDListSize(nullptr));
  // Items of 10 and 6 bytes, then the 2-byte terminator, placed at an odd
  // address as item IDs inside other records can be.
  std::vector<BYTE> storage(1 + 10 + 6 + 2, 0);
  BYTE* list = storage.data() + 1;
  list[0] = 10;
  list[10] = 6;
  EXPECT_EQ(18u, GetIDListSize(reinterpret_cast<const ITEMIDLIST*>(list)));
  const BYTE terminator[2] = {0, 0};
  EXPECT_EQ(2u, GetIDListSize(reinterpret_cast<const ITEMIDLIST*>(terminator)));
}

TEST(CGetFileBufferTest, AcceptsUpToCapacityInPieces) {
  CGetFileBuffer buffer(400);
  std::vector<BYTE> data(400);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 7);
  EXPECT_EQ(S_OK, buffer.Write(data.data(), 100));
  EXPECT_EQ(S_OK, buffer.Write(data.data() + 100, 0));
  EXPECT_EQ(S_OK, buffer.Write(data.data() + 100, 150));
  EXPECT_EQ(S_OK, buffer.Write(data.data() + 250, 150));
  EXPECT_EQ(400u, buffer.GetUsed());
  const BYTE one = 1;
  EXPECT_EQ(E_INVALIDARG, buffer.Write(&one, 1));
  EXPECT_EQ(400u, buffer.GetUsed());

  std::vector<BYTE> out(400);
  EXPECT_EQ(400u, buffer.CopyOut(out.data()));
  EXPECT_EQ(data, out);
}

TEST(CGetFileBufferTest, RefusesWritesThatWouldWrapTheCount) {
  CGetFileBuffer buffer(400);
  std::vector<BYTE> data(10, 0x5A);
  ASSERT_EQ(S_OK, buffer.Write(data.data(), 10));
  // used + length wraps to 4 in 32 bits: must be refused, not copied.
  EXPECT_EQ(E_INVALIDARG, buffer.Write(data.data(), 0xFFFFFFFAu));
  EXPECT_EQ(E_INVALIDARG, buffer.Write(data.data(), 391));
  EXPECT_EQ(10u, buffer.GetUsed());

  CGetFileBuffer none(0);
  EXPECT_EQ(S_OK, none.Write(data.data(), 0));
  EXPECT_EQ(E_INVALIDARG, none.Write(data.data(), 1));
  EXPECT_EQ(0u, none.CopyOut(nullptr));
}
