// The command wrappers' boxes, the copy error box and the PC tree sums.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include "ModuleCommands.h"
#include "ResultCodes.h"
#include "TestFiles.h"
#include "XferTestUi.h"

namespace {
using Wrapper = std::function<HRESULT(IVKSVolume*, HWND)>;
struct WrapperCase {
  const char* name;
  Wrapper call;
  const wchar_t* expectedCall;
  const wchar_t* caption;
  const wchar_t* text;       // with the error "Link down"
};
const HWND kOwner = reinterpret_cast<HWND>(0x1234);
}  // namespace

class CommandWrappers : public ErrorInfoTest {};

TEST_F(CommandWrappers, FailuresShowTheirBoxAndEverythingElseIsSilent) {
  const WrapperCase wrappers[] = {
      {"label", [](IVKSVolume* v, HWND o) { return SetLabelWithMessage(L"A:", L"RADIO", v, o); },
       L"SetLabel A: RADIO", L"General", L"The data carrier label (RADIO) could not be determined.\r\n\r\nLink down"},
      {"attributes", [](IVKSVolume* v, HWND o) { return SetAttributesWithMessage(L"\\A:\\dir\\f.txt", 1, v, o); },
       L"SetAttributes \\A:\\dir\\f.txt 1", L"Properties of f.txt",
       L"The attributes for f.txt could not be determined. Link down"},
      {"std dirs", [](IVKSVolume* v, HWND o) { return CreateStdDirsWithMessage(L"B:", v, o); },
       L"CreateStdDirs B:", L"Error Creating Standard Folders", L"The standard folders cannot be created: Link down"},
      {"format", [](IVKSVolume* v, HWND o) { return FormatWithMessage(L"A:", v, o); }, L"Format A:",
       L"Format module file system", L"Flash memory on module could not be formatted. Link down"},
  };
  const HRESULT silent[] = {S_OK, S_FALSE, E_TRANSFER_CANCELLED, static_cast<HRESULT>(0x800704C7), static_cast<HRESULT>(0x800704D3)};
  for (const auto& w : wrappers) {
    for (HRESULT result : silent) {
      CXferTestUi ui;
      CCommandVolume volume;
      volume.answer = result;
      volume.error = L"Link down";
      EXPECT_EQ(result, w.call(&volume, kOwner)) << w.name;
      EXPECT_TRUE(ui.shown.empty()) << w.name << " " << std::hex << result;
      ASSERT_EQ(1u, volume.calls.size());
      EXPECT_EQ(w.expectedCall, volume.calls[0]);
    }
    CXferTestUi ui;
    CCommandVolume volume;
    volume.answer = E_ACCESSDENIED;
    volume.error = L"Link down";
    EXPECT_EQ(E_ACCESSDENIED, w.call(&volume, kOwner)) << w.name;
    ASSERT_EQ(1u, ui.shown.size()) << w.name;
    EXPECT_EQ(w.caption, ui.shown[0].caption);
    EXPECT_EQ(w.text, ui.shown[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), ui.shown[0].type);
    EXPECT_EQ(kOwner, ui.shown[0].owner);
  }
}

TEST_F(CommandWrappers, AnOldErrorObjectIsNotMistakenForTheCallsOwn) {
  CXferTestUi ui;
  CCommandVolume volume;
  volume.answer = E_ACCESSDENIED;
  SetThreadError(L"stale text");
  FormatWithMessage(L"A:", &volume, nullptr);
  ASSERT_EQ(1u, ui.shown.size());
  EXPECT_EQ(std::wstring::npos, ui.shown[0].text.find(L"stale text"));
}

TEST_F(CommandWrappers, TheCopyErrorBoxTakesTheThreadsFirstWindowOrNone) {
  struct {
    const wchar_t* path;
    bool withWindow;
    const wchar_t* caption;
    const wchar_t* text;
  } cases[] = {
      {L"\\A:\\dir\\photo.jpg", false, L"Error Copying File", L"photo.jpg cannot be copied: Link down"},
      {L"", true, L"General", L"Link down"},
      {nullptr, false, L"General", L"Link down"},
  };
  for (const auto& c : cases) {
    CXferTestUi ui;
    HWND window = c.withWindow ? CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                 nullptr, nullptr)
                               : nullptr;
    SetThreadError(L"Link down");
    ShowCopyError(E_ACCESSDENIED, c.path);
    ASSERT_EQ(1u, ui.shown.size());
    EXPECT_EQ(c.caption, ui.shown[0].caption);
    EXPECT_EQ(c.text, ui.shown[0].text);
    EXPECT_EQ(window, ui.shown[0].owner);
    if (window) DestroyWindow(window);
  }
}

namespace {
// A scratch folder tree on the PC, removed at the end.
class PCTree {
public:
  PCTree() {
    root = vkstest::NewTempFolder(L"xsm");
    m_folders.push_back(root);
  }
  ~PCTree() {
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) DeleteFileW(it->c_str());
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  void Folder(const std::wstring& relative) {
    m_folders.push_back(root + relative);
    CreateDirectoryW(m_folders.back().c_str(), nullptr);
  }
  void File(const std::wstring& relative, LONGLONG size) {
    m_files.push_back(root + relative);
    HANDLE file = CreateFileW(m_files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  std::wstring root;

private:
  std::vector<std::wstring> m_folders, m_files;
};
}  // namespace

TEST(PCTreeSize, AddsTheFilesOfEveryDepthIncludingFilesAbove4GiB) {
  PCTree tree;
  tree.File(L"\\top.bin", 10);
  tree.Folder(L"\\empty");
  tree.Folder(L"\\a");
  tree.File(L"\\a\\one.bin", 200);
  tree.Folder(L"\\a\\b");
  tree.File(L"\\a\\b\\big.bin", 0x100000005LL);
  ULONGLONG total = 7;  // added to, not replaced
  SumPCTreeSize(tree.root.c_str(), &total, TRUE);
  EXPECT_EQ(7ull + 10 + 200 + 0x100000005ull, total);
  ULONGLONG missing = 3;
  SumPCTreeSize((tree.root + L"\\nothing").c_str(), &missing, FALSE);
  EXPECT_EQ(3ull, missing);
}

TEST(ModuleTreeSize, AddsTheFilesOfEveryDepthAndSkipsFailedListings) {
  CScriptedVolume volume;
  auto list = [&volume](const wchar_t* folder, std::function<void(CTestEntries&)> fill) {
    CTestEntries rows;
    fill(rows);
    volume.SetListing(std::wstring(folder) + L"\\*", rows);
  };
  const ULONG dir = FILE_ATTRIBUTE_DIRECTORY;
  list(L"\\A:\\t", [&](CTestEntries& rows) {
    rows.AddEntry(L"top.bin", 10, 0, 0, MakeDate(0))
        .AddEntry(L"empty", 0, dir, 0, MakeDate(0))
        .AddEntry(L"a", 0, dir, 0, MakeDate(0))
        .AddEntry(L"broken", 0, dir, 0, MakeDate(0));
  });
  list(L"\\A:\\t\\a", [&](CTestEntries& rows) {
    rows.AddEntry(L"one.bin", 200, 0, 0, MakeDate(0)).AddEntry(L"b", 0, dir, 0, MakeDate(0));
  });
  // The size field is unsigned: the largest one adds 4 GiB - 1.
  list(L"\\A:\\t\\a\\b", [&](CTestEntries& rows) { rows.AddEntry(L"big.bin", -1, 0, 0, MakeDate(0)); });
  volume.Fail(L"GetEntries \\A:\\t\\broken\\*", E_FAIL, nullptr);
  ULONGLONG total = 7;  // added to, not replaced
  SumModuleTreeSize(L"\\A:\\t", &total, TRUE, &volume);
  EXPECT_EQ(7ull + 10 + 200 + 0xFFFFFFFFull, total);
  ULONGLONG failed = 3;
  volume.Fail(L"GetEntries \\A:\\t\\*", E_FAIL, nullptr);
  SumModuleTreeSize(L"\\A:\\t", &failed, FALSE, &volume);
  EXPECT_EQ(3ull, failed);
}

TEST(NewFolder, TakesTheFirstFreeNumberedName) {
  CXferTestUi ui;
  CScriptedVolume volume;
  // "New folder" and "New folder (2)" are there.
  for (const wchar_t* taken : {L"\\A:\\New folder", L"\\A:\\New folder (2)"}) {
    CTestEntries row;
    row.AddEntry(GetNamePart(CBstr(taken)).GetBstr(), 0, FILE_ATTRIBUTE_DIRECTORY, 0, MakeDate(0));
    volume.SetListing(taken, row);
  }
  EXPECT_EQ(std::wstring(L"\\A:\\New folder (3)"), CreateNewFolder(L"\\A:", &volume, nullptr).GetBstr());
  EXPECT_EQ(std::vector<std::wstring>{L"CreateDir \\A:\\New folder (3)"}, ChangingCalls(volume));
  volume.Fail(L"CreateDir", E_TRANSFER_CANCELLED, nullptr);
  EXPECT_EQ(0u, CreateNewFolder(L"\\A:", &volume, nullptr).GetLength());
  EXPECT_TRUE(ui.shown.empty());
  volume.Fail(L"CreateDir", E_ACCESSDENIED, L"Write protected");
  EXPECT_EQ(0u, CreateNewFolder(L"\\A:", &volume, nullptr).GetLength());
  ASSERT_EQ(1u, ui.shown.size());
  EXPECT_EQ(L"Error Creating Object", ui.shown[0].caption);
  EXPECT_EQ(L"Write protected", ui.shown[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), ui.shown[0].type);
}
