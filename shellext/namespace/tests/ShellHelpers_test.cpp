// Shell values, names, streams, message pumps and the comparison of module items.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <algorithm>
#include <string>
#include <vector>
#include "DisplayText.h"
#include "ItemIDList.h"
#include "ResourceModule.h"
#include "ShellHelpers.h"

namespace {

std::wstring Text(const CBstr& text) { return text.GetBstr() ? std::wstring(text.GetBstr(), text.GetLength()) : L""; }

TEST(NameChars, IllegalOnesAndTheirStandIns) {
  for (wchar_t c : std::wstring(L"\"*/:<>?\\|")) EXPECT_TRUE(IsIllegalNameChar(c)) << c;
  for (wchar_t c : std::wstring(L"a.!@_ ~")) EXPECT_FALSE(IsIllegalNameChar(c)) << c;
  EXPECT_FALSE(IsIllegalNameChar(0));
  struct {
    const wchar_t* in;
    int count;
    const wchar_t* out;
  } cases[] = {
      {L"a?b*c.d", 7, L"a!b@c_d"},
      {L"\"/:<>\\|", 7, L"_______"},
      {L"x.y?z", 2, L"x_y?z"},   // only count characters
      {L"plain", 5, L"plain"},
  };
  for (const auto& c : cases) {
    std::wstring text = c.in;
    ReplaceIllegalNameChars(&text[0], c.count);
    EXPECT_EQ(c.out, text) << c.in;
  }
}

TEST(StrRet, EveryKind) {
  CoInitialize(nullptr);
  STRRET wide = {};
  wide.uType = STRRET_WSTR;
  IMalloc* malloc = nullptr;
  ASSERT_EQ(S_OK, SHGetMalloc(&malloc));
  wide.pOleStr = static_cast<LPWSTR>(malloc->Alloc(sizeof L"wide"));
  lstrcpyW(wide.pOleStr, L"wide");
  EXPECT_EQ(L"wide", Text(StrRetToString(wide, nullptr)));
  EXPECT_EQ(nullptr, wide.pOleStr);   // freed, and not freed again by a second reader
  malloc->Release();

  STRRET narrow = {};
  narrow.uType = STRRET_CSTR;
  lstrcpyA(narrow.cStr, "narrow");
  EXPECT_EQ(L"narrow", Text(StrRetToString(narrow, nullptr)));

  CItemIDList item;
  ASSERT_EQ(S_OK, item.CreateItem(L"\\A:\\x", 5, L"", 0, 0, 0, 0, 0, 0));
  // An offset into the item: its bytes read as narrow text there.
  const char text[] = "in item";
  CItemIDList withText = CItemIDList::Concatenate(item, CItemIDList());
  std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(withText.Get()),
                          reinterpret_cast<const BYTE*>(withText.Get()) + withText.GetByteSize());
  const UINT offset = static_cast<UINT>(bytes.size());
  bytes.insert(bytes.end(), text, text + sizeof text);
  STRRET atOffset = {};
  atOffset.uType = STRRET_OFFSET;
  atOffset.uOffset = offset;
  EXPECT_EQ(L"in item", Text(StrRetToString(atOffset, reinterpret_cast<LPCITEMIDLIST>(bytes.data()))));

  STRRET other = {};
  other.uType = 7;
  EXPECT_EQ(L"", Text(StrRetToString(other, nullptr)));
  CoUninitialize();
}

// A stream whose Stat can fail and whose seeks are recorded.
class CSeekStream : public IStream {
public:
  bool statFails = true;
  HRESULT seekEndResult = S_OK;
  ULONGLONG position = 5, length = 3000000000ULL;
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
    if (origin == STREAM_SEEK_END && FAILED(seekEndResult)) return seekEndResult;
    const ULONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? position : length;
    position = base + move.QuadPart;
    if (now) now->QuadPart = position;
    return S_OK;
  }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
    if (statFails) return E_NOTIMPL;
    stat->cbSize.QuadPart = 42;
    return S_OK;
  }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

TEST(StreamSize, StatFirstElseSeekToTheEndAndBack) {
  CSeekStream stream;
  ULONGLONG size = 0;
  EXPECT_EQ(S_OK, GetStreamSize(&stream, &size));
  EXPECT_EQ(3000000000ULL, size);
  EXPECT_EQ(5u, stream.position);
  stream.seekEndResult = STG_E_INVALIDFUNCTION;
  size = 1;
  EXPECT_EQ(STG_E_INVALIDFUNCTION, GetStreamSize(&stream, &size));
  EXPECT_EQ(1u, size);
  stream.statFails = false;
  EXPECT_EQ(S_OK, GetStreamSize(&stream, &size));
  EXPECT_EQ(42u, size);
}

TEST(WriteLine, Utf16WithCrLfAndTheSystemsFailure) {
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"wl", 0, path);
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(S_OK, WriteLineToFile(file, CBstr(L"\x00e4" L"bc")));
  EXPECT_EQ(S_OK, WriteLineToFile(file, CBstr()));
  wchar_t back[16] = {};
  DWORD read = 0;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  ReadFile(file, back, sizeof back, &read, nullptr);
  CloseHandle(file);
  DeleteFileW(path);
  EXPECT_EQ(14u, read);
  EXPECT_EQ(std::wstring(L"\x00e4" L"bc\r\n\r\n"), std::wstring(back));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), WriteLineToFile(INVALID_HANDLE_VALUE, CBstr(L"x")));
}

// Sort keys: the view's commands over a folder, a small and a big file.
CItemIDList Item(const wchar_t* name, ULONG size, ULONG attributes, DATE written) {
  CItemIDList item;
  EXPECT_EQ(S_OK, item.CreateItem(name, lstrlenW(name), L"", 0, size, attributes, 0, 0, written));
  return item;
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

TEST(CompareItems, EachCommandItsKeyAndDirection) {
  // a.txt in Z: is small and new; b.doc in A: is big and old.
  CItemIDList a = Item(L"\\Z:\\a.txt", 10, 0x20, 200);
  CItemIDList b = Item(L"\\A:\\sub\\b.doc", 5000, 0x20, 100);
  struct {
    UINT command;
    int expected;   // sign of compare(a, b)
  } cases[] = {
      {8197, -1}, {8203, 1},    // name: a.txt < b.doc
      {8199, -1}, {8205, 1},    // not both folders: size
      {8200, 1},  {8206, -1},  {8412, 1}, {8413, -1},   // last write
      {8303, 1},  {8342, -1},   // parent path: \Z: > \A:\sub
      {8350, 1},  {8351, -1},   // raw name: \Z:.. > \A:..
      {8410, -1}, {8411, 1},    // size
      {1, 0},     {8201, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Sign(CompareModuleItems(a.Get(), b.Get(), c.command, false))) << c.command;
    EXPECT_EQ(-c.expected, Sign(CompareModuleItems(b.Get(), a.Get(), c.command, false))) << c.command;
  }
  // Type: a folder and a file differ; the descending command turns it round.
  CItemIDList folder = Item(L"\\A:\\zzz", 0, 0x10, 0);
  const int type = Sign(CompareModuleItems(folder.Get(), a.Get(), 8198, false));
  EXPECT_EQ(-type, Sign(CompareModuleItems(folder.Get(), a.Get(), 8204, false)));
  // Two folders by "size" sort by name.
  CItemIDList other = Item(L"\\A:\\aaa", 99, 0x10, 0);
  EXPECT_EQ(1, Sign(CompareModuleItems(folder.Get(), other.Get(), 8199, false)));
}

TEST(CompareItems, FoldersFirstAndTheDescendingTwinNegatesAll) {
  std::vector<CItemIDList> items;
  items.push_back(Item(L"\\A:\\b.txt", 1, 0x20, 0));
  items.push_back(Item(L"\\A:\\dirB", 0, 0x10, 0));
  items.push_back(Item(L"\\A:\\a.txt", 1, 0x20, 0));
  items.push_back(Item(L"\\A:\\dirA", 0, 0x10, 0));
  auto sorted = [&](UINT command) {
    std::vector<LPCITEMIDLIST> order;
    for (auto& item : items) order.push_back(item.Get());
    std::stable_sort(order.begin(), order.end(), [&](LPCITEMIDLIST x, LPCITEMIDLIST y) {
      return CompareModuleItems(x, y, command, true) < 0;
    });
    std::vector<std::wstring> names;
    for (LPCITEMIDLIST item : order) names.push_back(Text(GetItemNameString(item)));
    return names;
  };
  EXPECT_EQ((std::vector<std::wstring>{L"dirA", L"dirB", L"a.txt", L"b.txt"}), sorted(8197));
  EXPECT_EQ((std::vector<std::wstring>{L"b.txt", L"a.txt", L"dirB", L"dirA"}), sorted(8203));
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Pumps, DispatchWhatWaitsAndPutAQuitBack) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PumpsTestWindow";
  RegisterClassW(&wc);
  struct {
    const char* which;
    void (*pump)(HWND);
  } pumps[] = {
      {"PumpMessages", [](HWND) { PumpMessages(); }},
      {"PumpDialogMessages", [](HWND dialog) { PumpDialogMessages(dialog); }},
  };
  for (const auto& p : pumps) {
    int dispatched = 0;
    HWND window = CreateWindowW(L"PumpsTestWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));
    PostMessageW(window, WM_APP, 0, 0);
    PostMessageW(window, WM_APP, 0, 0);
    PostQuitMessage(7);
    p.pump(window);
    EXPECT_EQ(2, dispatched) << p.which;
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << p.which << ": the quit was lost";
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message) << p.which;
    EXPECT_EQ(7u, msg.wParam) << p.which;
    DestroyWindow(window);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
}

TEST(ExtensionTexts, SizeUnitsAndTheDriveTypeInEveryLanguage) {
  struct {
    LANGID language;
    const wchar_t* oneByte;
    const wchar_t* disk;
  } cases[] = {
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"1 Byte", L"Modul-Datentr\x00e4ger"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"1 byte", L"Module Disk"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), L"1 byte", L"Module Disk"},
  };
  for (const auto& c : cases) {
    CResourceModule texts(c.language);
    EXPECT_EQ(c.oneByte, Text(FormatByteSize(1, &texts))) << c.language;
    EXPECT_EQ(c.disk, Text(texts.LoadResString(8404))) << c.language;
    for (UINT id = 8332; id <= 8337; ++id) EXPECT_NE(L"", Text(texts.LoadResString(id))) << id;
  }
  if (GetUserDefaultLCID() == MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)) {
    CResourceModule english(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ(L"0.98 KB", Text(FormatByteSize(1000, &english)));
    EXPECT_EQ(L"999 bytes", Text(FormatByteSize(999, &english)));
  }
}

}  // namespace
