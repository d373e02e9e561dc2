// The extension's own format layouts byte for byte, the refusal of bad
// blocks from other processes, descriptor records and the one-value helpers.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "FakeDataObject.h"
#include "ItemIDList.h"

namespace {

CItemIDList Item(const wchar_t* name, ULONG size, ULONG attributes, DATE written = 0) {
  CItemIDList item;
  item.CreateItem(name, static_cast<UINT>(wcslen(name)), L"", 0, size, attributes, written, written, written);
  return item;
}

void PutU32(std::vector<BYTE>& bytes, DWORD value) {
  const BYTE* at = reinterpret_cast<const BYTE*>(&value);
  bytes.insert(bytes.end(), at, at + 4);
}
void PutText(std::vector<BYTE>& bytes, const wchar_t* text) {
  const BYTE* at = reinterpret_cast<const BYTE*>(text);
  bytes.insert(bytes.end(), at, at + (wcslen(text) + 1) * 2);
}
void PutList(std::vector<BYTE>& bytes, const CItemIDList& list) {
  const BYTE* at = reinterpret_cast<const BYTE*>(list.Get());
  bytes.insert(bytes.end(), at, at + list.GetByteSize());
}
void SetU32(std::vector<BYTE>& bytes, size_t offset, DWORD value) { memcpy(bytes.data() + offset, &value, 4); }

class DataObjectFormatsTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(RegisterClipboardFormats()); }
  const ClipboardFormatIds& ids = ClipboardFormats();
};

TEST_F(DataObjectFormatsTest, DirectoryDataIsLaidOutByteForByte) {
  const CItemIDList d = Item(L"\\A:\\d", 0, FILE_ATTRIBUTE_DIRECTORY);
  const CItemIDList f = Item(L"\\A:\\f.txt", 12, FILE_ATTRIBUTE_ARCHIVE);
  struct Case {
    const wchar_t* folder;
    std::vector<const CItemIDList*> items;
  } cases[] = {
      {L"\\A:", {&d}},
      {L"\\A:", {&d, &f}},
      {L"", {&f}},                 // the module root: L = 0
      {L"\\A:\\longer folder", {&f, &d, &f}},
  };
  for (const auto& c : cases) {
    const DWORD n = static_cast<DWORD>(c.items.size());
    const DWORD l = static_cast<DWORD>(wcslen(c.folder));
    std::vector<BYTE> expected;
    PutU32(expected, n);
    DWORD offset = 10 + 4 * n + 2 * l;
    for (const CItemIDList* item : c.items) {
      PutU32(expected, offset);
      offset += item->GetByteSize();
    }
    PutU32(expected, l + 1);
    PutText(expected, c.folder);
    ASSERT_EQ(10 + 4 * n + 2 * l, expected.size());
    for (const CItemIDList* item : c.items) PutList(expected, *item);

    std::vector<LPCITEMIDLIST> lists;
    for (const CItemIDList* item : c.items) lists.push_back(item->Get());
    EXPECT_EQ(expected, BuildDirectoryData(c.folder, lists.data(), n)) << c.folder << " " << n;

    DirectoryData parsed;
    ASSERT_TRUE(ParseDirectoryData(expected.data(), expected.size(), &parsed));
    EXPECT_STREQ(c.folder, parsed.folderPath.GetBstr() ? parsed.folderPath.GetBstr() : L"");
    ASSERT_EQ(n, parsed.items.size());
    for (DWORD i = 0; i < n; ++i)
      EXPECT_EQ(0, memcmp(c.items[i]->Get(), parsed.items[i], c.items[i]->GetByteSize())) << i;
  }
}

TEST_F(DataObjectFormatsTest, BadOrShortDirectoryBlocksAreRefused) {
  const CItemIDList d = Item(L"\\A:\\d", 0, FILE_ATTRIBUTE_DIRECTORY);
  const CItemIDList f = Item(L"\\A:\\f.txt", 12, 0);
  LPCITEMIDLIST lists[] = {d.Get(), f.Get()};
  const std::vector<BYTE> good = BuildDirectoryData(L"\\A:", lists, 2);
  // 0: N, 4 and 8: offsets, 12: L + 1, 16: path, 24: first list.
  const DWORD firstList = 24;
  const DWORD secondList = firstList + d.GetByteSize();
  struct Case {
    const char* what;
    size_t offset;
    DWORD value;
    size_t width;
  } cases[] = {
      {"count beyond the block", 0, 0x40000000, 4},
      {"count one more", 0, 3, 4},
      {"path length zero", 12, 0, 4},
      {"path longer than the block", 12, 0x7FFFFFFF, 4},
      {"path without its NUL", 12, 3, 4},
      {"offset into the header", 4, 8, 4},
      {"offset past the end", 8, static_cast<DWORD>(good.size()), 4},
      {"offset far past the end", 8, 0xFFFFFFF0, 4},
      {"odd offset", 4, firstList + 1, 4},
      {"offset on the terminator", 8, static_cast<DWORD>(good.size() - 2), 4},
      {"record cb past the end", secondList, 0xFFF0, 2},
      {"record cb too small", firstList, 0x0004, 2},
      {"record with a wrong signature", firstList + 2, 0, 2},
  };
  DirectoryData parsed;
  for (const auto& c : cases) {
    std::vector<BYTE> bad = good;
    memcpy(bad.data() + c.offset, &c.value, c.width);
    EXPECT_FALSE(ParseDirectoryData(bad.data(), bad.size(), &parsed)) << c.what;
    EXPECT_TRUE(parsed.items.empty()) << c.what;
  }
  // Every cut of a good block, and a NUL inside the path.
  for (size_t size = 0; size < good.size(); ++size)
    EXPECT_FALSE(ParseDirectoryData(good.data(), size, &parsed)) << size;
  std::vector<BYTE> nulInPath = good;
  nulInPath[18] = nulInPath[19] = 0;
  EXPECT_FALSE(ParseDirectoryData(nulInPath.data(), nulInPath.size(), &parsed));
  // A block rounded up by its allocator still reads.
  std::vector<BYTE> padded = good;
  padded.resize(good.size() + 14, 0);
  EXPECT_TRUE(ParseDirectoryData(padded.data(), padded.size(), &parsed));
  EXPECT_EQ(2u, parsed.items.size());
  EXPECT_FALSE(ParseDirectoryData(nullptr, 100, &parsed));
}

TEST_F(DataObjectFormatsTest, ViewAddressIsSixteenBytesWithZeroTail) {
  BYTE bytes[kViewAddressSize];
  memset(bytes, 0xCC, sizeof(bytes));
  BuildViewAddress(0x1122334455667788ull, 0xA1B2C3D4, bytes);
  const BYTE expected[kViewAddressSize] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,
                                           0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0, 0};
  EXPECT_EQ(0, memcmp(expected, bytes, sizeof(bytes)));
  ViewAddress parsed = {};
  ASSERT_TRUE(ParseViewAddress(bytes, sizeof(bytes), &parsed));
  EXPECT_EQ(0x1122334455667788ull, parsed.view);
  EXPECT_EQ(0xA1B2C3D4u, parsed.processId);
  EXPECT_FALSE(ParseViewAddress(bytes, 15, &parsed));
}

TEST_F(DataObjectFormatsTest, FileDescriptorRecords) {
  SYSTEMTIME local = {2024, 5, 1, 6, 7, 8, 9, 0};
  DATE written = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&local, &written));
  // Independent of our own conversion: the platform's local-to-UTC.
  SYSTEMTIME utc;
  ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
  FILETIME expectedTime;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &expectedTime));

  const std::wstring longest(259, L'n'), tooLong(260, L'n');
  struct Case {
    const char* what;
    std::wstring name;
    ULONG size, attributes;
    DATE time;
    bool folder;
    HRESULT result;
    DWORD sizeLow;
  } cases[] = {
      {"file", L"d\\s\\f.txt", 1234, FILE_ATTRIBUTE_ARCHIVE, written, false, S_OK, 1234},
      {"folder has size 0", L"d", 99, FILE_ATTRIBUTE_DIRECTORY, written, true, S_OK, 0},
      {"time 0 stays 0", L"z.bin", 5, 0, 0, false, S_OK, 5},
      {"259 units fit", longest, 1, 0, 0, false, S_OK, 1},
      {"260 units are refused", tooLong, 1, 0, 0, false, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), 0},
  };
  for (const auto& c : cases) {
    const CItemIDList item = Item(L"\\A:\\x", c.size, c.attributes, c.time);
    FILEDESCRIPTORW record;
    memset(&record, 0xCC, sizeof(record));
    ASSERT_EQ(c.result, FillFileDescriptor(&record, c.name.c_str(), item.Get(), c.folder)) << c.what;
    if (FAILED(c.result)) continue;
    EXPECT_EQ(592u, sizeof(record));
    EXPECT_EQ(0x7Cu, record.dwFlags) << c.what;
    EXPECT_EQ(c.attributes, record.dwFileAttributes) << c.what;
    EXPECT_EQ(c.sizeLow, record.nFileSizeLow) << c.what;
    EXPECT_EQ(0u, record.nFileSizeHigh) << c.what;
    const FILETIME zero = {0, 0};
    const FILETIME& want = c.time ? expectedTime : zero;
    for (const FILETIME* time : {&record.ftCreationTime, &record.ftLastAccessTime, &record.ftLastWriteTime}) {
      EXPECT_EQ(want.dwLowDateTime, time->dwLowDateTime) << c.what;
      EXPECT_EQ(want.dwHighDateTime, time->dwHighDateTime) << c.what;
    }
    EXPECT_EQ(c.name, record.cFileName) << c.what;
    EXPECT_EQ(0, record.clsid.Data1);
  }
}

TEST_F(DataObjectFormatsTest, InspectReportsGetAndSetFormatsInTheirSlots) {
  auto data = CFakeDataObject::Make();
  data->getFormats = {ids.hdrop, ids.directoryData, ids.viewAddress, ids.pasteSucceeded, 0xC1FF};
  data->setFormats = {ids.performedDropEffect, ids.converted, ids.fileContents};
  FORMATETC table[kInspectedFormatCount] = {};
  DWORD get = 0xFFFF, set = 0xFFFF;
  InspectDataObjectFormats(data.Get(), table, &get, &set);
  // A set format listed for getting, a get format listed for setting and an
  // unknown one are skipped.
  EXPECT_EQ(kFormatHdrop | kFormatDirectoryData | kFormatViewAddress, get);
  EXPECT_EQ(kFormatPerformedDropEffect | kFormatConverted, set);
  EXPECT_EQ(ids.hdrop, table[6].cfFormat);
  EXPECT_EQ(ids.directoryData, table[7].cfFormat);
  EXPECT_EQ(ids.viewAddress, table[10].cfFormat);
  EXPECT_EQ(ids.performedDropEffect, table[4].cfFormat);
  EXPECT_EQ(0, table[0].cfFormat);

  data->enumResult = E_FAIL;
  InspectDataObjectFormats(data.Get(), nullptr, &get, &set);
  EXPECT_EQ(0u, get);
  EXPECT_EQ(0u, set);
}

TEST_F(DataObjectFormatsTest, OneValueHelpers) {
  auto data = CFakeDataObject::Make();
  EXPECT_EQ(0u, ReadPreferredDropEffect(data.Get()));
  data->ServeDword(ids.preferredDropEffect, 2);
  EXPECT_EQ(2u, ReadPreferredDropEffect(data.Get()));
  data->Serve(ids.preferredDropEffect, {5, 0});   // shorter than a u32
  EXPECT_EQ(0u, ReadPreferredDropEffect(data.Get()));

  data->Serve(ids.viewAddress, std::vector<BYTE>(16, 7));
  BYTE first[8] = {};
  EXPECT_EQ(S_OK, ReadDataObjectBytes(data.Get(), ids.viewAddress, first, sizeof(first)));
  EXPECT_EQ(7, first[7]);
  BYTE tooMany[17];
  EXPECT_EQ(E_UNEXPECTED, ReadDataObjectBytes(data.Get(), ids.viewAddress, tooMany, sizeof(tooMany)));
  EXPECT_EQ(DV_E_FORMATETC, ReadDataObjectBytes(data.Get(), ids.converted, first, 4));

  EXPECT_EQ(S_OK, SetDataObjectDword(data.Get(), ids.converted, 0x01020304));
  ASSERT_EQ(1u, data->sets.size());
  EXPECT_EQ(ids.converted, data->sets[0].format);
  EXPECT_TRUE(data->sets[0].release);
  ASSERT_LE(4u, data->sets[0].bytes.size());
  EXPECT_EQ(std::vector<BYTE>({4, 3, 2, 1}), std::vector<BYTE>(data->sets[0].bytes.begin(),
                                                              data->sets[0].bytes.begin() + 4));
  data->setDataResult = E_NOTIMPL;
  EXPECT_EQ(E_NOTIMPL, SetDataObjectDword(data.Get(), ids.converted, 1));
  EXPECT_EQ(E_INVALIDARG, SetDataObjectDword(nullptr, ids.converted, 1));
}

TEST_F(DataObjectFormatsTest, TargetAmongDraggedFolders) {
  const CItemIDList d = Item(L"\\A:\\Dir", 0, FILE_ATTRIBUTE_DIRECTORY);
  const CItemIDList f = Item(L"\\A:\\f.txt", 3, 0);
  const CItemIDList drive = Item(L"\\B:", 0, 0);
  LPCITEMIDLIST lists[] = {f.Get(), d.Get(), drive.Get()};
  auto data = CFakeDataObject::Make();
  EXPECT_FALSE(IsTargetAmongDraggedFolders(L"\\A:\\Dir", data.Get()));   // not offered
  data->Serve(ids.directoryData, BuildDirectoryData(L"\\A:", lists, 3));
  struct Case {
    const wchar_t* target;
    bool among;
  } cases[] = {
      {L"\\A:\\Dir", true}, {L"\\a:\\dIR", true}, {L"\\B:", true},
      {L"\\A:\\f.txt", false},   // a file is no folder
      {L"\\A:", false}, {L"\\A:\\Dir\\x", false}, {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.among, IsTargetAmongDraggedFolders(c.target, data.Get())) << c.target;
  std::vector<BYTE> bad = BuildDirectoryData(L"\\A:", lists, 3);
  SetU32(bad, 8, 0xFFFFFF00);
  data->Serve(ids.directoryData, bad);
  EXPECT_FALSE(IsTargetAmongDraggedFolders(L"\\A:\\Dir", data.Get()));
}

}  // namespace
