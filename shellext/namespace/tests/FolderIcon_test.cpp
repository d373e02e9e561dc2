// Icons, info tips and the change sink of the namespace.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ItemIDList.h"
#include "RPLIcon.h"

namespace {

CItemIDList MakeItem(const wchar_t* name, const wchar_t* shortName, ULONG attributes) {
  CItemIDList item;
  item.CreateItem(name, static_cast<UINT>(wcslen(name)), shortName, static_cast<UINT>(wcslen(shortName)), 0,
                  attributes, 0, 0, 0);
  return item;
}

TEST(FolderIcon, LocationOutputsAreAlwaysWritten) {
  CItemIDList drive = MakeItem(L"\\A:", L"A:", FILE_ATTRIBUTE_DIRECTORY);
  CItemIDList folder = MakeItem(L"\\A:\\dir", L"dir", FILE_ATTRIBUTE_DIRECTORY);
  const struct { const CItemIDList* item; UINT flags; int index; } rows[] = {
      {&drive, 0, 0}, {&drive, GIL_OPENICON, 1}, {&folder, 0, 0}, {&folder, GIL_OPENICON, 1},
  };
  for (const auto& row : rows) {
    ComPtr<IExtractIconW> icon;
    ASSERT_EQ(CreateRPLIcon(row.item->Get(), IID_IExtractIconW, reinterpret_cast<void**>(&icon)), S_OK);
    wchar_t file[10] = L"junk";
    int index = 77;
    UINT flags = 77;
    EXPECT_EQ(icon->GetIconLocation(row.flags, file, 10, &index, &flags), S_OK);
    EXPECT_STREQ(file, L"");
    EXPECT_EQ(index, row.index);
    EXPECT_EQ(flags, static_cast<UINT>(GIL_NOTFILENAME | GIL_DONTCACHE));
    EXPECT_EQ(icon->GetIconLocation(row.flags, file, 10, nullptr, &flags), E_INVALIDARG);
  }
  void* none = reinterpret_cast<void*>(1);
  USHORT empty = 0;
  EXPECT_EQ(CreateRPLIcon(reinterpret_cast<LPCITEMIDLIST>(&empty), IID_IExtractIconW, &none), E_INVALIDARG);
  EXPECT_EQ(none, nullptr);
}

TEST(FolderIcon, ExtractGivesIconsAndTheTipTheLastName) {
  CItemIDList folder = MakeItem(L"\\A:\\dir", L"dir", FILE_ATTRIBUTE_DIRECTORY);
  ComPtr<IExtractIconW> icon;
  ASSERT_EQ(CreateRPLIcon(folder.Get(), IID_IExtractIconW, reinterpret_cast<void**>(&icon)), S_OK);
  for (UINT index : {0u, 1u}) {
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(icon->Extract(L"", index, &large, &small, 32), S_OK);
    EXPECT_NE(large, nullptr);
    EXPECT_NE(small, nullptr);
    if (large) DestroyIcon(large);
    if (small) DestroyIcon(small);
  }
  EXPECT_EQ(icon->Extract(L"", 0, nullptr, nullptr, 32), E_INVALIDARG);

  ComPtr<IQueryInfo> tip;
  ASSERT_EQ(CreateRPLQueryInfo(folder.Get(), IID_IQueryInfo, reinterpret_cast<void**>(&tip)), S_OK);
  LPWSTR text = nullptr;
  ASSERT_EQ(tip->GetInfoTip(0, &text), S_OK);
  EXPECT_STREQ(text, L"dir");
  CoTaskMemFree(text);
  DWORD flags = 9;
  EXPECT_EQ(tip->GetInfoFlags(&flags), S_OK);
  EXPECT_EQ(flags, 0u);
}

class CRecordingView final : public IModuleViewCallback {
public:
  int refreshes = 0;
  std::vector<std::wstring> removed;
  void Refresh() override { ++refreshes; }
  void RemoveRowsByName(const wchar_t* path) override { removed.push_back(path); }
};

TEST(FolderSink, ChangesReachTheViewAsItsKindWants) {
  const struct { bool search; const wchar_t* path; int refreshes; std::vector<std::wstring> removed; } rows[] = {
      {false, L"D:\\A:\\f.txt", 1, {}},
      {false, L"\\A:\\dir", 1, {}},
      {true, L"D:\\A:\\f.txt", 0, {L"\\A:\\f.txt"}},
      {true, L"\\A:\\dir", 0, {}},
      {true, L"D", 0, {}},
  };
  for (const auto& row : rows) {
    CRecordingView view;
    ComPtr<IVKSNotifySink> sink;
    ASSERT_EQ(CreateRPLNotifySink(&view, row.search, IID_IVKSNotifySink, reinterpret_cast<void**>(&sink)), S_OK);
    BSTR path = SysAllocString(row.path);
    EXPECT_EQ(sink->OnChange(path), S_OK);
    static_cast<RPLNotifySink*>(sink.Get())->Detach();
    EXPECT_EQ(sink->OnChange(path), S_OK) << "detached: nothing";
    SysFreeString(path);
    EXPECT_EQ(view.refreshes, row.refreshes) << row.path;
    EXPECT_EQ(view.removed, row.removed) << row.path;
  }
}

}  // namespace
