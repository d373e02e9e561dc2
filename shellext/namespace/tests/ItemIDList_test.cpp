// Module item records, the list holder, and the text form of saved items.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "CountingMalloc.h"
#include "DisplayText.h"
#include "ItemIDList.h"

namespace {

std::wstring Text(const CBstr& text) { return text.GetBstr() ? std::wstring(text.GetBstr(), text.GetLength()) : L""; }

CItemIDList MakeItem(const std::wstring& name, const std::wstring& shortName, ULONG size = 0, ULONG attributes = 0,
                     DATE created = 0, DATE accessed = 0, DATE written = 0) {
  CItemIDList item;
  EXPECT_EQ(S_OK, item.CreateItem(name.c_str(), static_cast<UINT>(name.size()), shortName.c_str(),
                                  static_cast<UINT>(shortName.size()), size, attributes, created, accessed, written));
  return item;
}

// The three records \A:, \A:\dir, \A:\dir\f.txt in one list.
CItemIDList ThreeRecords() {
  CItemIDList list = CItemIDList::Concatenate(MakeItem(L"\\A:", L"A:"), MakeItem(L"\\A:\\dir", L"dir"));
  return CItemIDList::Concatenate(list, MakeItem(L"\\A:\\dir\\f.txt", L"f.txt"));
}

std::vector<std::wstring> Names(const CItemIDList& list) {
  std::vector<std::wstring> names;
  for (UINT i = 0; i < list.GetCount(); ++i) names.push_back(GetItemName(list.GetItem(static_cast<int>(i))));
  return names;
}

using Bytes = std::vector<BYTE>;
Bytes RecordBytes(const CItemIDList& item) {
  const BYTE* start = reinterpret_cast<const BYTE*>(item.Get());
  return Bytes(start, start + item.GetByteSize());
}
void PutU16(Bytes& b, size_t offset, USHORT value) { memcpy(&b[offset], &value, 2); }
USHORT GetU16(const Bytes& b, size_t offset) {
  USHORT value;
  memcpy(&value, &b[offset], 2);
  return value;
}

struct ValidationCase {
  const char* what;
  std::function<void(Bytes&)> damage;
  bool valid;
};

// Record "\ab" / "xy": cb 52, n 4, t 7; units: \ a b 0 x y 0.
const ValidationCase kValidationCases[] = {
    {"untouched", [](Bytes&) {}, true},
    {"odd cb", [](Bytes& b) { PutU16(b, 0, 51); }, false},
    {"cb below 42", [](Bytes& b) { PutU16(b, 0, 40); }, false},
    {"signature 99", [](Bytes& b) { PutU16(b, 2, 99); }, false},
    {"n 0", [](Bytes& b) { PutU16(b, 36, 0); }, false},
    {"n reaches t", [](Bytes& b) { PutU16(b, 36, 7); }, false},
    {"NUL inside the name", [](Bytes& b) { PutU16(b, 40, 0); }, false},
    {"name not NUL-terminated at n", [](Bytes& b) { PutU16(b, 44, L'z'); }, false},
    {"NUL inside the second string", [](Bytes& b) { PutU16(b, 46, 0); }, false},
    {"no final NUL", [](Bytes& b) { PutU16(b, 50, L'z'); }, false},
    {"shorter cb cuts the second string", [](Bytes& b) { PutU16(b, 0, 48); }, false},
    {"n 1: empty name", [](Bytes& b) { PutU16(b, 36, 1); }, false},
};

TEST(ModuleItemValidation, RefusesEveryDamagedField) {
  CItemIDList item = MakeItem(L"\\ab", L"xy");
  const Bytes good = RecordBytes(item);
  ASSERT_EQ(52, GetU16(good, 0));
  for (const ValidationCase& c : kValidationCases) {
    Bytes b = good;
    c.damage(b);
    EXPECT_EQ(c.valid, IsValidModuleItem(reinterpret_cast<LPCITEMIDLIST>(b.data()))) << c.what;
  }
}

TEST(ModuleItemValidation, SmallestRecordIs44BytesAndEmptySecondStringIsValid) {
  CItemIDList item = MakeItem(L"a", L"");
  EXPECT_EQ(44, GetU16(RecordBytes(item), 0));
  EXPECT_EQ(46u, item.GetByteSize());
  EXPECT_TRUE(IsValidModuleItem(item.Get()));
  EXPECT_EQ(L"", std::wstring(GetItemShortName(item.Get())));
}

TEST(ModuleItemRecord, FieldsAtTheirOffsets) {
  CItemIDList item = MakeItem(L"\\A:\\dir\\f.txt", L"F~1.TXT", 0xFFFFFFF0u, 0x21, 1.25, 2.5, 3.75);
  const Bytes b = RecordBytes(item);
  ASSERT_EQ(42u + 2 * (13 + 7), b.size() - 2);
  EXPECT_EQ(100, GetU16(b, 2));
  EXPECT_EQ(14, GetU16(b, 36));   // 13 units and the NUL
  EXPECT_EQ(0, GetU16(b, b.size() - 2));   // terminator
  DATE written;
  memcpy(&written, &b[28], sizeof written);
  EXPECT_EQ(3.75, written);
  LPCITEMIDLIST r = item.Get();
  EXPECT_EQ(0xFFFFFFF0u, GetItemSize(r));
  EXPECT_EQ(0x21u, GetItemAttributes(r));
  EXPECT_EQ(1.25, GetItemCreationTime(r));
  EXPECT_EQ(2.5, GetItemLastAccessTime(r));
  EXPECT_EQ(3.75, GetItemLastWriteTime(r));
  EXPECT_EQ(L"F~1.TXT", std::wstring(GetItemShortName(r)));
}

TEST(ModuleItemRecord, OversizedRecordsAreRefusedAndCbNeverWraps) {
  struct {
    UINT nameLength, shortLength;
    HRESULT expected;
  } cases[] = {
      {32746, 0, S_OK},           // cb 65534, the largest
      {32745, 1, S_OK},
      {32747, 0, E_INVALIDARG},   // cb 65536 would read as 0
      {32000, 747, E_INVALIDARG},
      {1, 0x7FFFFFFF, E_INVALIDARG},
      {0xFFFFFFFF, 1, E_INVALIDARG},
  };
  // Lengths are checked before any text is read, so huge ones read nothing.
  const std::wstring text(65536, L'n');
  for (const auto& c : cases) {
    CItemIDList item = MakeItem(L"x", L"");
    const HRESULT hr = item.CreateItem(text.c_str(), c.nameLength, text.c_str(), c.shortLength, 0, 0, 0, 0, 0);
    EXPECT_EQ(c.expected, hr) << c.nameLength << "+" << c.shortLength;
    EXPECT_EQ(SUCCEEDED(c.expected), !item.IsEmpty());
    if (SUCCEEDED(hr)) {
      EXPECT_TRUE(IsValidModuleItem(item.Get()));
    }
  }
}

TEST(ModuleItemRecord, DriveRootNames) {
  struct {
    const wchar_t* name;
    bool root;
  } cases[] = {{L"A:", true},     {L"\\Z:", true},   {L"a:", false}, {L"\\A:\\", false}, {L"AB:", false},
               {L"\\\\A:", false}, {L"A", false},     {L"", false},   {nullptr, false},   {L"@:", false},
               {L"[:", false}};
  for (const auto& c : cases) EXPECT_EQ(c.root, IsDriveRootName(c.name)) << (c.name ? c.name : L"(null)");
  EXPECT_TRUE(IsDriveRootItem(MakeItem(L"\\B:", L"B:").Get()));
  EXPECT_FALSE(IsDriveRootItem(MakeItem(L"\\B:\\x", L"x").Get()));
}

TEST(ModuleItemRecord, NameAndFolderTexts) {
  struct {
    const wchar_t* name;
    const wchar_t* last;
    const wchar_t* folder;
  } cases[] = {
      {L"\\A:\\dir\\f.txt", L"f.txt", L"Module\\A:\\dir"},
      {L"\\A:\\f.txt", L"f.txt", L"Module\\A:"},
      {L"\\A:", L"A:", L"Module"},
      {L"A:f.txt", L"f.txt", L"ModuleA:"},
      {L"plain", L"plain", L"Module"},
  };
  for (const auto& c : cases) {
    CItemIDList item = MakeItem(c.name, L"");
    EXPECT_EQ(c.last, Text(GetItemNameString(item.Get()))) << c.name;
    EXPECT_EQ(c.folder, Text(GetItemFolderText(item.Get()))) << c.name;
  }
}

TEST(ModuleItemRecord, TypeNameOfADriveIsOurs) {
  EXPECT_EQ(L"Module Disk", Text(GetItemTypeName(MakeItem(L"\\A:", L"A:", 0, FILE_ATTRIBUTE_DIRECTORY).Get())));
  EXPECT_NE(L"Module Disk", Text(GetItemTypeName(MakeItem(L"\\A:\\dir", L"dir", 0, FILE_ATTRIBUTE_DIRECTORY).Get())));
}

using ItemIDListHolder = CountingMallocTest;

TEST_F(ItemIDListHolder, CopiesAreDeepAndEachListIsFreedOnce) {
  {
    CItemIDList a = ThreeRecords();
    CItemIDList copy(a);
    EXPECT_NE(a.Get(), copy.Get());
    EXPECT_EQ(Names(a), Names(copy));
    CItemIDList assigned;
    EXPECT_EQ(S_OK, assigned.Assign(a));
    EXPECT_EQ(S_OK, assigned.Assign(assigned.Get()));   // its own list: copied before the old one goes
    EXPECT_EQ(3u, assigned.GetCount());
    CItemIDList other = MakeItem(L"\\B:", L"B:");
    EXPECT_EQ(S_OK, other.CopyFrom(a));                   // the old record is not leaked
    EXPECT_EQ(S_OK, other.CopyFrom(CItemIDList()));
    EXPECT_TRUE(other.IsEmpty());
    copy = std::move(assigned);
    EXPECT_TRUE(assigned.IsEmpty());
    EXPECT_EQ(S_OK, CItemIDList().Assign(static_cast<LPCITEMIDLIST>(nullptr)));
  }
  EXPECT_GT(malloc_.allocations, 0);
}

TEST_F(ItemIDListHolder, FreeLeavesTheHolderEmpty) {
  CItemIDList list = ThreeRecords();
  list.Free();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(0u, list.GetCount());
  list.Free();   // and the destructor: nothing is freed twice
}

TEST_F(ItemIDListHolder, CopyWithoutMemoryGivesNullAndOutOfMemory) {
  CItemIDList list = ThreeRecords();
  CItemIDList target = MakeItem(L"\\B:", L"B:");
  malloc_.failAfter = 0;
  EXPECT_EQ(E_OUTOFMEMORY, target.CopyFrom(list));
  EXPECT_TRUE(target.IsEmpty());
  EXPECT_EQ(E_OUTOFMEMORY, target.CreateItem(L"x", 1, L"", 0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(target.IsEmpty());
  EXPECT_EQ(nullptr, CItemIDList::ParseItemText(L"\\A:|A:|0|16|2024/3/5/6/7/8/9|2024/3/5/6/7/8/9|2024/3/5/6/7/8/9"));
  malloc_.failAfter = -1;
}

TEST_F(ItemIDListHolder, CountItemsAndConcatenate) {
  CItemIDList list = ThreeRecords();
  EXPECT_EQ(3u, list.GetCount());
  EXPECT_EQ(0u, CItemIDList().GetCount());
  EXPECT_EQ(L"\\A:", std::wstring(GetItemName(list.GetItem(-1))));
  EXPECT_EQ(L"\\A:\\dir", std::wstring(GetItemName(list.GetItem(1))));
  EXPECT_EQ(L"\\A:\\dir\\f.txt", std::wstring(GetItemName(list.GetLastItem())));
  CItemIDList both = CItemIDList::Concatenate(list, list);
  EXPECT_EQ(6u, both.GetCount());
  EXPECT_EQ(2 * list.GetByteSize() - 2, both.GetByteSize());
  EXPECT_EQ(Names(list), Names(CItemIDList::Concatenate(CItemIDList(), list)));
  EXPECT_EQ(Names(list), Names(CItemIDList::Concatenate(list.Get(), nullptr)));
}

TEST_F(ItemIDListHolder, CopyRangeTable) {
  CItemIDList list = ThreeRecords();
  struct {
    int first, last;
    std::vector<std::wstring> names;   // empty: null
  } cases[] = {
      {2, 1, {}},
      {0, 100, {L"\\A:", L"\\A:\\dir", L"\\A:\\dir\\f.txt"}},
      {1, 1, {L"\\A:\\dir"}},
      {1, 2, {L"\\A:\\dir", L"\\A:\\dir\\f.txt"}},
      {2, 5, {L"\\A:\\dir\\f.txt"}},
      {3, 3, {}},
      {7, 9, {}},
  };
  for (const auto& c : cases) {
    LPITEMIDLIST range = list.CopyRange(c.first, c.last);
    CItemIDList held;
    held.Attach(range);
    EXPECT_EQ(c.names.empty(), range == nullptr) << c.first << ".." << c.last;
    EXPECT_EQ(c.names, Names(held)) << c.first << ".." << c.last;
  }
  EXPECT_EQ(nullptr, CItemIDList().CopyRange(0, 1));
}

// The text form keeps saved search results.
DATE Date(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
  SYSTEMTIME st = {year, month, 0, day, hour, minute, second, ms};
  DATE date = 0;
  EXPECT_TRUE(FieldsToDate(st, &date));
  return date;
}

using ItemText = CountingMallocTest;

TEST_F(ItemText, RoundTripKeepsEveryField) {
  struct {
    const wchar_t* name;
    const wchar_t* shortName;
    ULONG size, attributes;
  } cases[] = {
      {L"\\A:\\dir\\f.txt", L"F~1.TXT", 1536, 0x21},
      {L"\\A:\\big.bin", L"big.bin", 0x80000000u, 0x20},   // above 2^31 is written negative
      {L"\\A:\\huge.bin", L"huge.bin", 0xFFFFFFFFu, 0x27},
      {L"\\A:\\dir", L"", 0, 0x10},
  };
  const DATE created = Date(2024, 3, 5, 6, 7, 8, 9);
  const DATE accessed = Date(1999, 12, 31, 23, 59, 59, 999);
  const DATE written = Date(1980, 1, 1, 0, 0, 0, 0);
  for (const auto& c : cases) {
    CItemIDList item = MakeItem(c.name, c.shortName, c.size, c.attributes, created, accessed, written);
    const CBstr line = FormatItemText(item.Get());
    CItemIDList* back = CItemIDList::ParseItemText(line.GetBstr());
    ASSERT_NE(nullptr, back) << Text(line);
    EXPECT_EQ(item.GetByteSize(), back->GetByteSize());
    EXPECT_EQ(0, memcmp(item.Get(), back->Get(), item.GetByteSize())) << Text(line);
    delete back;
  }
  CItemIDList item = MakeItem(L"\\A:\\f", L"f", 0x80000000u, 1, created, created, created);
  EXPECT_EQ(L"\\A:\\f|f|-2147483648|1|2024/3/5/6/7/8/9|2024/3/5/6/7/8/9|2024/3/5/6/7/8/9",
            Text(FormatItemText(item.Get())));
}

TEST_F(ItemText, AnUnconvertibleTimeIsWrittenAsTimeZero) {
  // A drive row keeps free bytes in the last-write field: no date at all.
  CItemIDList item = MakeItem(L"\\A:", L"A:", 1000, 0x10, 0, 0, 1e12);
  const CBstr line = FormatItemText(item.Get());
  const std::wstring zero = Text(FormatDateFields(0));
  ASSERT_FALSE(zero.empty());
  EXPECT_EQ(L"\\A:|A:|1000|16|" + zero + L"|" + zero + L"|" + zero, Text(line));
  CItemIDList* back = CItemIDList::ParseItemText(line.GetBstr());
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(0.0, GetItemLastWriteTime(back->Get()));
  EXPECT_EQ(1000u, GetItemSize(back->Get()));
  delete back;
}

TEST_F(ItemText, MalformedLinesGiveNull) {
  const wchar_t* kTime = L"2024/3/5/6/7/8/9";
  auto line = [&](const std::wstring& head, const wchar_t* times) {
    return head + L"|" + times + L"|" + times + L"|" + times;
  };
  const std::wstring bad[] = {
      line(L"\\A:\\a|b.txt|a|0|0", kTime),              // "|" in the name: 8 fields
      line(L"\\A:\\a|0|0", kTime),                      // 6 fields
      line(L"\\A:\\a|a|0|0", L"2024/3/5"),              // a time of 3 fields
      line(L"\\A:\\a|a|0|0", L"2024/3/5/6/7/8/9/10"),   // a time of 8 fields
      L"",
      std::wstring(L"\\A:\\") + std::wstring(33000, L'x') + L"|x|0|0|" + kTime + L"|" + kTime + L"|" + kTime,
  };
  for (const std::wstring& text : bad) EXPECT_EQ(nullptr, CItemIDList::ParseItemText(text.c_str())) << text.size();
  EXPECT_EQ(nullptr, CItemIDList::ParseItemText(nullptr));
}

TEST_F(ItemText, NumbersThatAreNoNumbersReadAsZeroAndBadDatesAsTimeZero) {
  CItemIDList* item = CItemIDList::ParseItemText(L"\\A:\\a|a|many|x|2024/13/40/0/0/0/0|0/0/0/0/0/0/0|2024/3/5/6/7/8/9");
  ASSERT_NE(nullptr, item);
  EXPECT_EQ(0u, GetItemSize(item->Get()));
  EXPECT_EQ(0u, GetItemAttributes(item->Get()));
  EXPECT_EQ(0.0, GetItemCreationTime(item->Get()));
  EXPECT_EQ(Date(2024, 3, 5, 6, 7, 8, 9), GetItemLastWriteTime(item->Get()));
  delete item;
}

}  // namespace
