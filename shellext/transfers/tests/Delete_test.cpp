// The delete operation against the scripted volume: what it asks for which
// selection, read-only files, the answers to failures, the paths reported to
// the sink, the server's cancel and the progress it shows.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "DeleteOperation.h"
#include "ModuleCommands.h"
#include "ResultCodes.h"
#include "ResultData.h"
#include "ShellSettingsStub.h"
#include "TransfersIds.h"
#include "XferTestUi.h"

namespace {

struct Entry {
  const wchar_t* path;
  ULONG attributes;
};
const ULONG kDir = FILE_ATTRIBUTE_DIRECTORY;
const ULONG kReadOnly = FILE_ATTRIBUTE_READONLY;

CItemIDList MakeItem(const Entry& entry) {
  CItemIDList item;
  const CBstr name = GetLastNameComponent(entry.path);
  const UINT length = static_cast<UINT>(wcslen(entry.path));
  EXPECT_EQ(S_OK, item.CreateItem(entry.path, length, name.GetBstr(), name.GetLength(), 10, entry.attributes, 0,
                                  0, 0));
  return item;
}

// The array the operation takes over.
CItemIDList* MakeItems(const std::vector<Entry>& entries) {
  auto* items = new CItemIDList[entries.size()];
  for (size_t i = 0; i < entries.size(); ++i) items[i] = MakeItem(entries[i]);
  return items;
}

struct Asked {
  UINT id;
  DWORD kind;
  std::wstring name;
};

class DeleteOperationTest : public ErrorInfoTest {
protected:
  void SetUp() override {
    ErrorInfoTest::SetUp();
    ui.onDialog = [this](UINT id, LPARAM param) {
      const auto* confirmation = reinterpret_cast<const DeleteConfirmation*>(param);
      asked.push_back({id, confirmation->kind, confirmation->name.GetBstr() ? confirmation->name.GetBstr() : L""});
    };
  }
  void TearDown() override {
    EXPECT_EQ(1, sink.references) << "the sink was not let go";
    for (const std::wstring& call : volume.Calls())
      if (call.compare(0, 14, L"SetAttributes ") == 0)
        EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, volume.AttributesOf(call.substr(14))) << call;
    ErrorInfoTest::TearDown();
  }

  void Run(const std::vector<Entry>& selection, DWORD noConfirmation = 0, const wchar_t* folder = L"\\A:") {
    ASSERT_EQ(S_OK, StartDeleteOperation(folder, MakeItems(selection), static_cast<int>(selection.size()),
                                         noConfirmation, nullptr, &sink));
    ASSERT_TRUE(WaitForDeleteOperations(20000));
  }
  // The attributes given are always normal ones: TearDown checks them.
  std::vector<std::wstring> Changes() const { return ChangingCalls(volume); }
  void List(const wchar_t* folder, const std::vector<Entry>& entries) {
    CTestEntries rows;
    for (const Entry& entry : entries) rows.AddEntry(GetLastNameComponent(entry.path).GetBstr(), 10, entry.attributes, 0, MakeDate(0));
    volume.SetListing(std::wstring(folder) + L"\\*", rows);
  }

  CXferTestUi ui;
  CScriptedVolume volume;
  CVolumeFactoryScope factory{&volume};
  CRecordingNotifySink sink;
  std::vector<Asked> asked;
};

using Calls = std::vector<std::wstring>;

}  // namespace

TEST_F(DeleteOperationTest, TheSelectionIsConfirmedByItsClassAndReadOnlyBit) {
  const struct {
    const char* name;
    std::vector<Entry> selection;
    INT_PTR answer;
    UINT id;
    DWORD kind;
    const wchar_t* itemName;
    Calls calls;
  } cases[] = {
      {"one file", {{L"\\A:\\f.txt", 0}}, IDOK, IDD_DELETE_CONFIRM, 1, L"f.txt", {L"Delete \\A:\\f.txt"}},
      {"one file, answer 6", {{L"\\A:\\f.txt", 0}}, IDYES, IDD_DELETE_CONFIRM, 1, L"f.txt", {L"Delete \\A:\\f.txt"}},
      {"one file, No", {{L"\\A:\\f.txt", 0}}, IDNO, IDD_DELETE_CONFIRM, 1, L"f.txt", {}},
      {"one read-only file, asked once",
       {{L"\\A:\\r.txt", kReadOnly}},
       IDOK,
       IDD_DELETE_CONFIRM,
       4,
       L"r.txt",
       {L"SetAttributes \\A:\\r.txt", L"Delete \\A:\\r.txt"}},
      {"one folder", {{L"\\A:\\d", kDir}}, IDOK, IDD_DELETE_CONFIRM, 2, L"d", {L"RemoveDir \\A:\\d"}},
      {"one read-only folder",
       {{L"\\A:\\d", kDir | kReadOnly}},
       IDOK,
       IDD_DELETE_CONFIRM,
       5,
       L"d",
       {L"SetAttributes \\A:\\d", L"RemoveDir \\A:\\d"}},
      {"two files",
       {{L"\\A:\\a", 0}, {L"\\A:\\b", 0}},
       IDOK,
       IDD_DELETE_SEVERAL,
       3,
       L"",
       {L"Delete \\A:\\a", L"Delete \\A:\\b"}},
      {"a file and a folder, Cancel",
       {{L"\\A:\\a", 0}, {L"\\A:\\d", kDir}},
       IDCANCEL,
       IDD_DELETE_SEVERAL,
       3,
       L"",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    asked.clear();
    volume.script.ClearCalls();
    ui.shown.clear();
    sink.changes.clear();
    ui.answers = {c.answer};
    Run(c.selection);
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(c.id, asked[0].id);
    EXPECT_EQ(c.kind, asked[0].kind);
    EXPECT_EQ(c.itemName, asked[0].name);
    EXPECT_EQ(c.calls, Changes());
    Calls reported;
    for (const std::wstring& call : c.calls)
      if (call.compare(0, 13, L"SetAttributes") != 0) reported.push_back(L"D:" + call.substr(call.find(L' ') + 1));
    EXPECT_EQ(reported, sink.changes);
  }
}

TEST_F(DeleteOperationTest, OnePlainFileShowsNoProgressButAFolderDoes) {
  // A failure's box is owned by the progress dialog once there is one.
  volume.Fail(L"Delete", E_ACCESSDENIED, L"Locked");
  ui.answers = {IDOK, IDIGNORE};
  Run({{L"\\A:\\f.txt", 0}});
  ASSERT_EQ(2u, ui.shown.size());
  EXPECT_EQ(nullptr, ui.shown[1].owner);

  ui.shown.clear();
  List(L"\\A:\\d", {{L"\\A:\\d\\f.txt", 0}});
  ui.answers = {IDOK, IDIGNORE, IDIGNORE};
  volume.Fail(L"RemoveDir", E_ACCESSDENIED, L"Locked");
  Run({{L"\\A:\\d", kDir}});
  ASSERT_EQ(3u, ui.shown.size());
  EXPECT_NE(nullptr, ui.shown[1].owner);
  EXPECT_EQ(ui.shown[1].owner, ui.shown[2].owner);
}

TEST_F(DeleteOperationTest, ReadOnlyFilesInAFolderAreAskedForUntilDeleteAll) {
  List(L"\\A:\\d", {{L"\\A:\\d\\r1", kReadOnly}, {L"\\A:\\d\\r2", kReadOnly}, {L"\\A:\\d\\r3", kReadOnly},
                    {L"\\A:\\d\\f", 0}});
  ui.answers = {IDOK, IDOK, IDC_REPLACE_ALL};
  Run({{L"\\A:\\d", kDir}});
  ASSERT_EQ(3u, asked.size());
  EXPECT_EQ(IDD_DELETE_CONFIRM, asked[0].id);
  EXPECT_EQ(IDD_DELETE_READONLY, asked[1].id);
  EXPECT_EQ(4u, asked[1].kind);
  EXPECT_EQ(L"r1", asked[1].name);
  EXPECT_EQ(L"r2", asked[2].name);
  EXPECT_EQ((Calls{L"SetAttributes \\A:\\d\\r1", L"Delete \\A:\\d\\r1", L"SetAttributes \\A:\\d\\r2",
                   L"Delete \\A:\\d\\r2", L"SetAttributes \\A:\\d\\r3", L"Delete \\A:\\d\\r3",
                   L"Delete \\A:\\d\\f", L"RemoveDir \\A:\\d"}),
            Changes());
}

TEST_F(DeleteOperationTest, AnswersToTheReadOnlyQuestion) {
  const struct {
    const char* name;
    INT_PTR answer;
    Calls calls;
    bool removeDirBox;
  } cases[] = {
      // No keeps the file, so the folder cannot go: its box says so.
      {"No", IDNO, {L"Delete \\A:\\d\\f", L"RemoveDir \\A:\\d"}, true},
      {"Cancel", IDCANCEL, {}, false},
      {"Yes", IDYES,
       {L"SetAttributes \\A:\\d\\r", L"Delete \\A:\\d\\r", L"Delete \\A:\\d\\f", L"RemoveDir \\A:\\d"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    volume.script.ClearCalls();
    volume.script.ClearFailures();
    ui.shown.clear();
    sink.changes.clear();
    List(L"\\A:\\d", {{L"\\A:\\d\\r", kReadOnly}, {L"\\A:\\d\\f", 0}});
    if (c.removeDirBox) volume.Fail(L"RemoveDir \\A:\\d", E_FAIL, L"The folder is not empty.");
    ui.answers = {IDOK, c.answer, IDIGNORE};
    Run({{L"\\A:\\d", kDir}});
    EXPECT_EQ(c.calls, Changes());
    if (c.removeDirBox) {
      ASSERT_EQ(3u, ui.shown.size());
      EXPECT_EQ(L"Error Deleting Folder", ui.shown[2].caption);
      EXPECT_EQ(L"The folder 'd' could not be deleted.\r\n\r\nThe folder is not empty.", ui.shown[2].text);
      EXPECT_EQ(static_cast<UINT>(MB_ABORTRETRYIGNORE | MB_ICONHAND), ui.shown[2].type);
      EXPECT_EQ(Calls{L"D:\\A:\\d\\f"}, sink.changes);
    } else {
      EXPECT_EQ(2u, ui.shown.size());
    }
  }
}

TEST_F(DeleteOperationTest, RetryRepeatsTheCallAbortStopsIgnoreGoesOn) {
  const struct {
    const char* name;
    INT_PTR answer;
    Calls calls;
    Calls reported;
  } cases[] = {
      {"Retry", IDRETRY,
       {L"Delete \\A:\\d\\a", L"Delete \\A:\\d\\a", L"Delete \\A:\\d\\b", L"RemoveDir \\A:\\d"},
       {L"D:\\A:\\d\\a", L"D:\\A:\\d\\b", L"D:\\A:\\d"}},
      {"Ignore", IDIGNORE,
       {L"Delete \\A:\\d\\a", L"Delete \\A:\\d\\b", L"RemoveDir \\A:\\d"},
       {L"D:\\A:\\d\\b", L"D:\\A:\\d"}},
      {"Abort", IDABORT, {L"Delete \\A:\\d\\a"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    volume.script.ClearCalls();
    ui.shown.clear();
    sink.changes.clear();
    List(L"\\A:\\d", {{L"\\A:\\d\\a", 0}, {L"\\A:\\d\\b", 0}});
    volume.Fail(L"Delete \\A:\\d\\a", E_ACCESSDENIED, L"The file is open.", 1);
    ui.answers = {IDOK, c.answer};
    Run({{L"\\A:\\d", kDir}});
    EXPECT_EQ(c.calls, Changes());
    EXPECT_EQ(c.reported, sink.changes);
    ASSERT_EQ(2u, ui.shown.size());
    EXPECT_EQ(L"Error Deleting File", ui.shown[1].caption);
    EXPECT_EQ(L"The file 'a' could not be deleted.\r\n\r\nThe file is open.", ui.shown[1].text);
  }
}

TEST_F(DeleteOperationTest, WithoutConfirmationNothingIsAskedAndReadOnlyIsClearedDepthFirst) {
  List(L"\\A:\\d", {{L"\\A:\\d\\r", kReadOnly}, {L"\\A:\\d\\s", kDir | kReadOnly}});
  List(L"\\A:\\d\\s", {{L"\\A:\\d\\s\\x", kReadOnly}});
  Run({{L"\\A:\\d", kDir}, {L"\\A:\\g", kReadOnly}}, 1);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(ui.sounds.empty());
  EXPECT_EQ((Calls{L"SetAttributes \\A:\\d\\r", L"Delete \\A:\\d\\r", L"SetAttributes \\A:\\d\\s\\x",
                   L"Delete \\A:\\d\\s\\x", L"SetAttributes \\A:\\d\\s", L"RemoveDir \\A:\\d\\s",
                   L"RemoveDir \\A:\\d", L"SetAttributes \\A:\\g", L"Delete \\A:\\g"}),
            Changes());
  EXPECT_EQ((Calls{L"D:\\A:\\d\\r", L"D:\\A:\\d\\s\\x", L"D:\\A:\\d\\s", L"D:\\A:\\d", L"D:\\A:\\g"}),
            sink.changes);
}

TEST_F(DeleteOperationTest, ItemsOfTheModuleRootOnlyPlayTheSound) {
  Run({{L"\\A:", kDir}}, 0, L"");
  EXPECT_EQ(std::vector<std::wstring>{L".Default"}, ui.sounds);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(volume.Calls().empty());
}

TEST_F(DeleteOperationTest, TheServersCancelStopsWithoutABox) {
  const HRESULT cancels[] = {E_TRANSFER_CANCELLED, ClientResultCode(E_TRANSFER_CANCELLED),
                             static_cast<HRESULT>(0x800704D3)};
  for (HRESULT cancel : cancels) {
    SCOPED_TRACE(cancel);
    volume.script.ClearCalls();
    ui.shown.clear();
    List(L"\\A:\\d", {{L"\\A:\\d\\a", 0}, {L"\\A:\\d\\b", 0}});
    volume.Fail(L"Delete \\A:\\d\\a", cancel, nullptr, 1);
    ui.answers = {IDOK};
    Run({{L"\\A:\\d", kDir}, {L"\\A:\\e", 0}});
    EXPECT_EQ(Calls{L"Delete \\A:\\d\\a"}, Changes());
    EXPECT_EQ(1u, ui.shown.size());
  }
}

TEST_F(DeleteOperationTest, AnUnreachableServerEndsSilently) {
  CVolumeFactoryScope none(nullptr);
  Run({{L"\\A:\\f.txt", 0}});
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(volume.Calls().empty());
}

TEST_F(DeleteOperationTest, ProgressCountsEveryItemAndNamesTheLastOne) {
  List(L"\\A:\\d", {{L"\\A:\\d\\f", 0}, {L"\\A:\\d\\s", kDir}});
  List(L"\\A:\\d\\s", {{L"\\A:\\d\\s\\x", 0}});
  DeleteJob job;
  job.folderPath = CBstr(L"\\A:");
  job.items = MakeItems({{L"\\A:\\d", kDir}, {L"\\A:\\e", 0}});
  job.count = 2;
  ui.answers = {IDOK};
  DeleteItems(&job);
  ASSERT_NE(nullptr, job.progress);
  ASSERT_NE(nullptr, job.progress->GetWindow());
  EXPECT_EQ(job.progress->GetWindow(), job.owner);
  EXPECT_EQ(5u, job.progress->GetTotal());   // d, f, s, x, e
  EXPECT_EQ(5u, job.progress->GetDone());
  wchar_t text[256] = L"";
  GetWindowTextW(job.progress->GetWindow(), text, 256);
  EXPECT_STREQ(L"Deleting...", text);
  GetDlgItemTextW(job.progress->GetWindow(), IDC_PROGRESS_ITEM, text, 256);
  EXPECT_STREQ(L"e", text);
  GetDlgItemTextW(job.progress->GetWindow(), IDC_PROGRESS_DETAIL, text, 256);
  EXPECT_STREQ(L"from 'Module\\A:'", text);
}

TEST_F(DeleteOperationTest, CountingSkipsAFolderWhoseListingFails) {
  List(L"\\A:\\d", {{L"\\A:\\d\\f", 0}, {L"\\A:\\d\\s", kDir}});
  volume.Fail(L"GetEntries \\A:\\d\\s\\*", E_FAIL, nullptr);
  DeleteJob job;
  CItemIDList* items = MakeItems({{L"\\A:\\d", kDir}, {L"\\A:\\e", 0}});
  ULONGLONG counter = 0;
  EXPECT_EQ(0, CountDeleteItems(&job, items, 2, &counter, &volume, true, false));
  EXPECT_EQ(4u, counter);
  counter = 0;
  volume.script.ClearFailures();
  EXPECT_EQ(1, CountDeleteItems(&job, items, 2, &counter, &volume, false, false));
  EXPECT_EQ(2u, counter);   // files only
  delete[] items;
}

TEST(DeleteConfirmDialog, KindsSetCaptionAndText) {
  const struct {
    DWORD kind;
    const wchar_t* caption;
    const wchar_t* text;
  } cases[] = {
      {1, L"Confirm File Delete",
       L"The file 'n.txt' will be permanently deleted.  Are you sure that you want to do this?"},
      {2, L"Confirm Folder Delete",
       L"The folder 'n.txt' will be permanently deleted.  Are you sure that you want to do this?"},
      {3, L"template caption", L"template text"},
      {4, L"Confirm File Delete", L"The file 'n.txt' is read-only.  Are you sure that you want to do this?"},
      {5, L"Confirm Folder Delete", L"The folder 'n.txt' is read-only. Do you still want to continue?"},
      {9, L"", L""},
  };
  for (const auto& c : cases) {
    HWND dialog = CreateWindowExW(0, L"STATIC", L"template caption", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND text = CreateWindowExW(0, L"STATIC", L"template text", WS_CHILD, 0, 0, 10, 10, dialog,
                                reinterpret_cast<HMENU>(IDC_DELETE_TEXT), nullptr, nullptr);
    ASSERT_TRUE(text);
    DeleteConfirmation confirmation{c.kind, CBstr(L"n.txt")};
    EXPECT_EQ(TRUE, DeleteConfirmDialogProc(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&confirmation)));
    wchar_t read[256] = L"";
    GetWindowTextW(dialog, read, 256);
    EXPECT_STREQ(c.caption, read) << c.kind;
    GetWindowTextW(text, read, 256);
    EXPECT_STREQ(c.text, read) << c.kind;
    DestroyWindow(dialog);
  }
}
