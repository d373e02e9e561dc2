// The paste engine against the scripted volume: module items copied and
// moved within the module, PC files from a temp folder written with PutFile,
// the refusals, the boxes, what is written back into the source and what is
// left behind when a transfer fails or is cancelled midway.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "FakeDataObject.h"
#include "ItemIDList.h"
#include "ModuleItemID.h"
#include "PasteEngine.h"
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "ShellSettingsStub.h"
#include "TestFiles.h"
#include "TransfersIds.h"
#include "XferTestUi.h"

namespace {

const ULONG kDir = FILE_ATTRIBUTE_DIRECTORY;
const ULONG kFile = FILE_ATTRIBUTE_ARCHIVE;
using Calls = std::vector<std::wstring>;

CItemIDList Item(const wchar_t* path, ULONG size, ULONG attributes) {
  CItemIDList item;
  const CBstr name = GetLastNameComponent(path);
  EXPECT_EQ(S_OK, item.CreateItem(path, static_cast<UINT>(wcslen(path)), name.GetBstr(), name.GetLength(), size,
                                  attributes, 0, 0, 0));
  return item;
}

struct Entry {
  const wchar_t* path;   // full module path
  ULONG size;
  ULONG attributes;
};

class PasteEngineTest : public ErrorInfoTest {
protected:
  void SetUp() override {
    ErrorInfoTest::SetUp();
    ASSERT_TRUE(RegisterClipboardFormats());
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForPasteOperations(20000));
    ErrorInfoTest::TearDown();
  }

  // A module source object: "RPL SNE Directory Data" over these items.
  ComPtr<CFakeDataObject> ModuleSource(const wchar_t* folder, const std::vector<Entry>& selection,
                                       DWORD preferred = 0) {
    std::vector<CItemIDList> items;
    for (const Entry& entry : selection) items.push_back(Item(entry.path, entry.size, entry.attributes));
    std::vector<LPCITEMIDLIST> lists;
    for (const CItemIDList& item : items) lists.push_back(item.Get());
    ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
    source->Serve(ids.directoryData, BuildDirectoryData(folder, lists.data(), static_cast<UINT>(lists.size())));
    if (preferred) source->ServeDword(ids.preferredDropEffect, preferred);
    source->setFormats = {ids.pasteSucceeded, ids.performedDropEffect};
    return source;
  }
  // Folder rows as GetEntries gives them for folder + "\*".
  void List(const wchar_t* folder, const std::vector<Entry>& entries) {
    CTestEntries rows;
    for (const Entry& entry : entries)
      rows.AddEntry(GetLastNameComponent(entry.path).GetBstr(), static_cast<LONG>(entry.size),
                    static_cast<LONG>(entry.attributes), 0, MakeDate(0));
    volume.SetListing(std::wstring(folder) + L"\\*", rows);
  }
  // What FindEntryByName finds at path.
  void Exists(const wchar_t* path, ULONG attributes = kFile) {
    CTestEntries rows;
    rows.AddEntry(GetLastNameComponent(path).GetBstr(), 3, static_cast<LONG>(attributes), 0, MakeDate(0));
    volume.SetListing(path, rows);
  }
  HRESULT Paste(IDataObject* source, const wchar_t* target, DWORD effect) {
    succeeded = 7;
    return StartPasteOperation(target, nullptr, source, effect, TRUE, 0, &succeeded);
  }
  // The calls that change something, in order.
  Calls Changes() const {
    Calls changing;
    for (const std::wstring& call : volume.Calls())
      if (call.compare(0, 10, L"GetEntries") != 0) changing.push_back(call);
    return changing;
  }
  std::vector<std::wstring> Boxes() const {
    std::vector<std::wstring> texts;
    for (const auto& shown : ui.shown) texts.push_back(shown.text);
    return texts;
  }

  const ClipboardFormatIds& ids = ClipboardFormats();
  CXferTestUi ui;
  CScriptedVolume volume;
  CVolumeFactoryScope factory{&volume};
  DWORD succeeded = 7;
};

TEST_F(PasteEngineTest, CopyNamesCountUpPastTheTakenOnesInEveryLanguage) {
  const LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
  struct Case {
    LANGID language;
    std::vector<const wchar_t*> taken;
    const wchar_t* expected;
  } cases[] = {
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), {}, L"\\A:\\Copy of f.txt"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), {L"\\A:\\Copy of f.txt"}, L"\\A:\\Copy (2) of f.txt"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK),
       {L"\\A:\\Copy of f.txt", L"\\A:\\Copy (2) of f.txt"},
       L"\\A:\\Copy (3) of f.txt"},
      {german, {}, L"\\A:\\Kopie von f.txt"},
      {german, {L"\\A:\\Kopie von f.txt"}, L"\\A:\\Kopie (2) von f.txt"},
  };
  const LANGID previous = g_resourceModule.GetLanguage();
  for (const Case& c : cases) {
    g_resourceModule.SetLanguage(c.language);
    CScriptedVolume names;
    for (const wchar_t* taken : c.taken) {
      CTestEntries rows;
      rows.AddEntry(GetLastNameComponent(taken).GetBstr(), 1, kFile, 0, MakeDate(0));
      names.SetListing(taken, rows);
    }
    EXPECT_STREQ(c.expected, MakeCopyName(L"\\A:\\f.txt", &names).GetBstr()) << c.language << " " << c.taken.size();
  }
  g_resourceModule.SetLanguage(previous);
}

TEST_F(PasteEngineTest, WriteBackFollowsSourceEffectAndOutcome) {
  struct Case {
    DWORD formats;
    DWORD effect;
    bool complete;
    PasteWriteBack expected;
  } cases[] = {
      {kFormatHdrop, DROPEFFECT_COPY, true, {false, false, 0}},
      {kFormatHdrop, DROPEFFECT_COPY, false, {false, false, 0}},
      {kFormatHdrop, DROPEFFECT_MOVE, true, {true, true, DROPEFFECT_MOVE}},
      {kFormatHdrop, DROPEFFECT_MOVE, false, {true, true, 0}},
      {kFormatDirectoryData, DROPEFFECT_COPY, true, {false, false, 0}},
      {kFormatDirectoryData, DROPEFFECT_MOVE, true, {false, true, DROPEFFECT_MOVE}},
      {kFormatDirectoryData, DROPEFFECT_MOVE, false, {false, true, 0}},
      {kFormatHdrop, DROPEFFECT_COPY | DROPEFFECT_MOVE, true, {true, true, DROPEFFECT_MOVE}},
      {kFormatHdrop, 0, true, {false, false, 0}},
  };
  for (const Case& c : cases) {
    const PasteWriteBack got = DecidePasteWriteBack(c.formats, c.effect, c.complete);
    EXPECT_EQ(c.expected.performedAtStart, got.performedAtStart) << c.formats << " " << c.effect << c.complete;
    EXPECT_EQ(c.expected.pasteSucceededAtEnd, got.pasteSucceededAtEnd) << c.formats << " " << c.effect;
    EXPECT_EQ(c.expected.pasteSucceeded, got.pasteSucceeded) << c.formats << " " << c.effect;
  }
}

TEST_F(PasteEngineTest, EmptyTargetOnlyPlaysTheSound) {
  auto source = ModuleSource(L"\\A:", {{L"\\A:\\f.txt", 3, kFile}});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"", DROPEFFECT_COPY));
  EXPECT_EQ(std::vector<std::wstring>{L".Default"}, ui.sounds);
  EXPECT_TRUE(volume.Calls().empty());
  EXPECT_TRUE(source->sets.empty());
  EXPECT_EQ(0u, succeeded);
}

TEST_F(PasteEngineTest, SourceWithoutFilesOrItemsIsRefused) {
  ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
  source->ServeDword(ids.preferredDropEffect, DROPEFFECT_MOVE);
  EXPECT_EQ(E_FAIL, Paste(source.Get(), L"\\A:", 0));
  EXPECT_TRUE(volume.Calls().empty());
  EXPECT_EQ(0u, succeeded);
}

// Source, effect and target to the module calls, the boxes and "Paste
// Succeeded"; -1 is "not written".
TEST_F(PasteEngineTest, ModuleItemsTable) {
  struct Case {
    const char* name;
    const wchar_t* folder;
    std::vector<Entry> selection;
    const wchar_t* target;
    DWORD effect;
    std::vector<const wchar_t*> taken;   // names FindEntryByName finds
    Calls changes;
    std::vector<std::wstring> boxes;
    int pasteSucceeded;
    DWORD succeeded;
  } cases[] = {
      {"copy into its own folder", L"\\A:", {{L"\\A:\\f.txt", 3, kFile}}, L"\\A:", DROPEFFECT_COPY, {},
       {L"Copy \\A:\\f.txt \\A:\\Copy of f.txt"}, {}, -1, 1},
      {"a second copy", L"\\A:", {{L"\\A:\\f.txt", 3, kFile}}, L"\\A:", DROPEFFECT_COPY, {L"\\A:\\Copy of f.txt"},
       {L"Copy \\A:\\f.txt \\A:\\Copy (2) of f.txt"}, {}, -1, 1},
      {"move elsewhere", L"\\A:\\d", {{L"\\A:\\d\\f.txt", 3, kFile}}, L"\\A:\\e", DROPEFFECT_MOVE, {},
       {L"Copy \\A:\\d\\f.txt \\A:\\e\\f.txt"}, {}, DROPEFFECT_MOVE, 1},
      {"move into its own folder", L"\\A:", {{L"\\A:\\f.txt", 3, kFile}}, L"\\A:", DROPEFFECT_MOVE, {}, {},
       {L"Cannot move 'f.txt': The source and destination filenames are the same."}, 0, 0},
      {"move to its folder named in other case", L"\\A:\\d", {{L"\\A:\\d\\f.txt", 3, kFile}}, L"\\a:\\D",
       DROPEFFECT_MOVE, {}, {}, {L"Cannot move 'f.txt': The source and destination filenames are the same."}, 0, 0},
      {"folder moved into its own folder", L"\\A:", {{L"\\A:\\s", 0, kDir}}, L"\\A:", DROPEFFECT_MOVE, {}, {},
       {L"Cannot move 's': The destination folder is the same as the source folder."}, 0, 0},
      {"folder onto itself", L"\\A:", {{L"\\A:\\s", 0, kDir}}, L"\\a:\\S", DROPEFFECT_COPY, {}, {},
       {L"s cannot be copied: The target and the source folder are identical."}, -1, 0},
      {"folder into its subfolder", L"\\A:", {{L"\\A:\\s", 0, kDir}}, L"\\A:\\s\\t", DROPEFFECT_MOVE, {}, {},
       {L"s cannot be copied: The target folder is a subfolder of the source folder."}, 0, 0},
      {"a name that only begins like the folder", L"\\A:", {{L"\\A:\\s", 0, kDir}}, L"\\A:\\st", DROPEFFECT_COPY,
       {}, {L"CreateDir \\A:\\st\\s", L"SetAttributes \\A:\\st\\s", L"Copy \\A:\\s\\f.txt \\A:\\st\\s\\f.txt"}, {},
       -1, 1},
      {"folder moved elsewhere", L"\\A:", {{L"\\A:\\s", 0, kDir}}, L"\\A:\\e", DROPEFFECT_MOVE, {},
       {L"CreateDir \\A:\\e\\s", L"SetAttributes \\A:\\e\\s", L"Copy \\A:\\s\\f.txt \\A:\\e\\s\\f.txt",
        L"RemoveDir \\A:\\s"},
       {}, DROPEFFECT_MOVE, 1},
      {"folder copied into its own folder", L"\\A:", {{L"\\A:\\s", 0, kDir}}, L"\\A:", DROPEFFECT_COPY, {},
       {L"CreateDir \\A:\\Copy of s", L"SetAttributes \\A:\\Copy of s", L"Copy \\A:\\s\\f.txt \\A:\\Copy of s\\f.txt"},
       {}, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    volume.script.ClearCalls();
    volume.SetListing(L"\\A:\\Copy of f.txt", CTestEntries());
    for (const wchar_t* taken : c.taken) Exists(taken);
    List(L"\\A:\\s", {{L"\\A:\\s\\f.txt", 5, kFile}});
    ui.shown.clear();
    auto source = ModuleSource(c.folder, c.selection);
    const HRESULT hr = Paste(source.Get(), c.target, c.effect);
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(c.changes, Changes());
    EXPECT_EQ(c.boxes, Boxes());
    // The refusals of a folder onto or into itself offer OK only; the others OK and Cancel.
    for (const auto& box : ui.shown) {
      const bool okOnly = box.text.find(L"cannot be copied: The target") != std::wstring::npos;
      EXPECT_EQ(static_cast<UINT>((okOnly ? MB_OK : MB_OKCANCEL) | MB_ICONHAND), box.type) << box.text;
      EXPECT_EQ(okOnly ? L"Error Copying File" : L"Error Moving File", box.caption) << box.text;
    }
    const std::vector<DWORD> written = source->DwordsSet(ids.pasteSucceeded);
    if (c.pasteSucceeded < 0) {
      EXPECT_TRUE(written.empty());
    } else {
      EXPECT_EQ(std::vector<DWORD>{static_cast<DWORD>(c.pasteSucceeded)}, written);
    }
    EXPECT_TRUE(source->DwordsSet(ids.performedDropEffect).empty()) << "module sources delete through their own rule";
    EXPECT_EQ(c.succeeded, succeeded);
  }
}

TEST_F(PasteEngineTest, PreferredEffectIsTakenWhenNoneIsRequested) {
  auto source = ModuleSource(L"\\A:\\d", {{L"\\A:\\d\\f.txt", 3, kFile}}, DROPEFFECT_MOVE);
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:\\e", 0));
  EXPECT_EQ(std::vector<DWORD>{DROPEFFECT_MOVE}, source->DwordsSet(ids.pasteSucceeded));
}

// Three items, the second failing: OK goes on with the third, Cancel stops;
// either way a move is not reported done.
TEST_F(PasteEngineTest, FailedModuleCopyAsksAndCancelStops) {
  struct Case {
    INT_PTR answer;
    Calls copies;
  } cases[] = {
      {IDOK, {L"Copy \\A:\\d\\a \\A:\\e\\a", L"Copy \\A:\\d\\b \\A:\\e\\b", L"Delete \\A:\\e\\b",
              L"Copy \\A:\\d\\c \\A:\\e\\c"}},
      {IDCANCEL, {L"Copy \\A:\\d\\a \\A:\\e\\a", L"Copy \\A:\\d\\b \\A:\\e\\b", L"Delete \\A:\\e\\b"}},
  };
  for (const Case& c : cases) {
    volume.script.ClearCalls();
    volume.script.ClearFailures();
    ui.shown.clear();
    ui.answers = {c.answer};
    volume.Fail(L"Copy \\A:\\d\\b \\A:\\e\\b", E_FAIL, L"The module is full.");
    auto source =
        ModuleSource(L"\\A:\\d", {{L"\\A:\\d\\a", 1, kFile}, {L"\\A:\\d\\b", 1, kFile}, {L"\\A:\\d\\c", 1, kFile}});
    EXPECT_EQ(static_cast<HRESULT>(S_OK), Paste(source.Get(), L"\\A:\\e", DROPEFFECT_MOVE));
    EXPECT_EQ(c.copies, Changes());
    ASSERT_EQ(1u, ui.shown.size());
    EXPECT_EQ(L"b cannot be copied: The module is full.", ui.shown[0].text);
    EXPECT_EQ(L"Error Copying File", ui.shown[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONHAND), ui.shown[0].type);
    EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
    EXPECT_EQ(0u, succeeded);
  }
}

TEST_F(PasteEngineTest, ServerCancelStopsSilently) {
  volume.Fail(L"Copy \\A:\\d\\a \\A:\\e\\a", E_TRANSFER_CANCELLED, nullptr);
  auto source = ModuleSource(L"\\A:\\d", {{L"\\A:\\d\\a", 1, kFile}, {L"\\A:\\d\\b", 1, kFile}});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:\\e", DROPEFFECT_MOVE));
  EXPECT_EQ((Calls{L"Copy \\A:\\d\\a \\A:\\e\\a", L"Delete \\A:\\e\\a"}), Changes());
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
}

// A declined replacement inside a moved folder keeps the folder: removing it
// would take the file that was not copied.
TEST_F(PasteEngineTest, SkippedFileKeepsTheMovedFolder) {
  List(L"\\A:\\s", {{L"\\A:\\s\\f.txt", 5, kFile}, {L"\\A:\\s\\g.txt", 5, kFile}});
  Exists(L"\\A:\\e\\s\\f.txt");
  ui.answers = {IDNO};
  auto source = ModuleSource(L"\\A:", {{L"\\A:\\s", 0, kDir}});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:\\e", DROPEFFECT_MOVE));
  EXPECT_EQ((Calls{L"CreateDir \\A:\\e\\s", L"SetAttributes \\A:\\e\\s", L"Copy \\A:\\s\\g.txt \\A:\\e\\s\\g.txt"}),
            Changes());
  EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
  EXPECT_EQ(0u, succeeded);
}

TEST_F(PasteEngineTest, BadDirectoryBlockIsRefused) {
  ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
  source->Serve(ids.directoryData, {5, 0, 0, 0, 0xFF, 0xFF, 0, 0});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:\\e", DROPEFFECT_MOVE));
  EXPECT_TRUE(Changes().empty());
  EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
  EXPECT_EQ(0u, succeeded);
}

// PC files in a temp folder of their own.
class PastePCTest : public PasteEngineTest {
protected:
  void SetUp() override {
    PasteEngineTest::SetUp();
    root = vkstest::NewTempFolder(L"pst");
    ASSERT_FALSE(root.empty());
  }
  void TearDown() override {
    PasteEngineTest::TearDown();
    if (!root.empty()) vkstest::RemoveTree(root);
  }
  std::wstring Write(const std::wstring& relative, const std::string& bytes) {
    const std::wstring path = root + L"\\" + relative;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
  }
  std::wstring Folder(const std::wstring& relative) {
    const std::wstring path = root + L"\\" + relative;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
  }
  ComPtr<CFakeDataObject> PCSource(const std::vector<std::wstring>& paths) {
    ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
    source->Serve(ids.hdrop, CFakeDataObject::HdropOf(paths));
    source->setFormats = {ids.pasteSucceeded, ids.performedDropEffect};
    return source;
  }
  std::string Stored(const wchar_t* path) const {
    std::string bytes;
    EXPECT_TRUE(volume.GetStoredFile(path, &bytes)) << path;
    return bytes;
  }

  std::wstring root;
};

TEST_F(PastePCTest, FilesAndFoldersArriveByteForByte) {
  std::string big(100 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  const std::wstring top = Folder(L"t");
  Folder(L"t\\u v");
  Write(L"t\\u v\\big.bin", big);
  Write(L"t\\empty.txt", "");
  const std::wstring single = Write(L"f\u00fc.txt", "hello");
  auto source = PCSource({single, top});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:\\d", DROPEFFECT_COPY));
  EXPECT_EQ("hello", Stored(L"\\A:\\d\\f\u00fc.txt"));
  EXPECT_EQ(big, Stored(L"\\A:\\d\\t\\u v\\big.bin"));
  EXPECT_EQ("", Stored(L"\\A:\\d\\t\\empty.txt"));
  const Calls changes = Changes();
  EXPECT_NE(changes.end(), std::find(changes.begin(), changes.end(), L"CreateDir \\A:\\d\\t"));
  EXPECT_NE(changes.end(), std::find(changes.begin(), changes.end(), L"CreateDir \\A:\\d\\t\\u v"));
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(source->sets.empty()) << "a copy writes nothing back";
  EXPECT_EQ(1u, succeeded);
}

TEST_F(PastePCTest, MoveTellsTheSourceAtStartAndAtEnd) {
  auto source = PCSource({Write(L"a.txt", "a")});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_MOVE));
  ASSERT_EQ(2u, source->sets.size());
  EXPECT_EQ(ids.performedDropEffect, source->sets[0].format);
  EXPECT_EQ(std::vector<DWORD>{DROPEFFECT_MOVE}, source->DwordsSet(ids.performedDropEffect));
  EXPECT_EQ(std::vector<DWORD>{DROPEFFECT_MOVE}, source->DwordsSet(ids.pasteSucceeded));
  EXPECT_TRUE(source->sets[1].release);
  EXPECT_EQ(1u, succeeded);
  // The PC source deletes its own files.
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((root + L"\\a.txt").c_str()));
}

// Three files, the second failing: OK sends the third, Cancel stops; the
// failed target is removed, and a move is reported undone.
TEST_F(PastePCTest, SecondOfThreeFailing) {
  const std::vector<std::wstring> paths = {Write(L"a.txt", "a"), Write(L"b.txt", "b"), Write(L"c.txt", "c")};
  struct Case {
    INT_PTR answer;
    bool thirdSent;
  } cases[] = {{IDOK, true}, {IDCANCEL, false}};
  for (const Case& c : cases) {
    CScriptedVolume fresh;
    CVolumeFactoryScope scope(&fresh);
    fresh.Fail(L"PutFile \\A:\\b.txt", E_FAIL, L"The line is gone.");
    ui.shown.clear();
    ui.answers = {c.answer};
    auto source = PCSource(paths);
    EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_MOVE));
    EXPECT_TRUE(fresh.GetStoredFile(L"\\A:\\a.txt", nullptr));
    EXPECT_EQ(c.thirdSent, fresh.GetStoredFile(L"\\A:\\c.txt", nullptr));
    const Calls calls = fresh.Calls();
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), L"Delete \\A:\\b.txt"));
    ASSERT_EQ(1u, ui.shown.size());
    EXPECT_EQ(L"b.txt cannot be copied: The line is gone.", ui.shown[0].text);
    EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
    EXPECT_EQ(0u, succeeded);
    for (const std::wstring& path : paths) EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
  }
}

TEST_F(PastePCTest, CancelMidwayRemovesTheIncompleteTargetSilently) {
  volume.Fail(L"PutFile \\A:\\a.txt", E_TRANSFER_CANCELLED, nullptr);
  auto source = PCSource({Write(L"a.txt", "a"), Write(L"b.txt", "b")});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_MOVE));
  EXPECT_EQ((Calls{L"PutFile \\A:\\a.txt", L"Delete \\A:\\a.txt"}), Changes());
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
}

TEST_F(PastePCTest, TargetThatExistsIsNotDeletedAfterARefusal) {
  volume.Fail(L"PutFile \\A:\\a.txt", HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), nullptr);
  auto source = PCSource({Write(L"a.txt", "a")});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_COPY));
  EXPECT_EQ((Calls{L"PutFile \\A:\\a.txt"}), Changes());
  EXPECT_EQ(1u, ui.shown.size());
}

// Paths the engine cannot use: each one box, no completed move.
TEST_F(PastePCTest, UnusablePathsAreReported) {
  const std::wstring gone = root + L"\\gone.txt";
  const std::wstring tooLong = root + L"\\" + std::wstring(MAX_PATH, L'x');
  struct Case {
    std::wstring path;
    std::wstring box;
  } cases[] = {
      {gone, L"gone.txt cannot be copied: "},
      {tooLong, std::wstring(MAX_PATH, L'x') + L" cannot be copied: "},
  };
  for (const Case& c : cases) {
    volume.script.ClearCalls();
    ui.shown.clear();
    auto source = PCSource({c.path});
    EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_MOVE));
    EXPECT_TRUE(Changes().empty());
    ASSERT_EQ(1u, ui.shown.size());
    EXPECT_EQ(0u, ui.shown[0].text.find(c.box)) << ui.shown[0].text;
    EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
    EXPECT_EQ(0u, succeeded);
  }
}

// Moving system and read-only PC files asks first: Yes and No only for one
// item, Yes to All and Cancel for several; copies are not asked.
TEST_F(PastePCTest, SystemAndReadOnlyFilesAreAskedBeforeAMove) {
  struct Case {
    const char* name;
    std::vector<DWORD> attributes;
    DWORD effect;
    std::vector<INT_PTR> answers;
    std::vector<std::wstring> dialogs;
    std::vector<bool> sent;
    DWORD pasteSucceeded;   // -1: not written
  } cases[] = {
      {"one read-only file, Yes", {FILE_ATTRIBUTE_READONLY}, DROPEFFECT_MOVE, {IDYES}, {L"dialog 28675"}, {true},
       DROPEFFECT_MOVE},
      {"one system file, No", {FILE_ATTRIBUTE_SYSTEM}, DROPEFFECT_MOVE, {IDNO}, {L"dialog 28675"}, {false}, 0},
      {"two read-only files, Yes to All",
       {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
       DROPEFFECT_MOVE,
       {IDC_YES_TO_ALL},
       {L"dialog 28676"},
       {true, true},
       DROPEFFECT_MOVE},
      {"two system files, Cancel",
       {FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
       DROPEFFECT_MOVE,
       {IDCANCEL},
       {L"dialog 28676"},
       {false, false},
       0},
      {"a read-only file copied", {FILE_ATTRIBUTE_READONLY}, DROPEFFECT_COPY, {}, {}, {true}, static_cast<DWORD>(-1)},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedVolume fresh;
    CVolumeFactoryScope scope(&fresh);
    ui.shown.clear();
    ui.answers.assign(c.answers.begin(), c.answers.end());
    std::vector<std::wstring> paths, targets;
    for (size_t i = 0; i < c.attributes.size(); ++i) {
      const std::wstring name = L"r" + std::to_wstring(round) + L"_" + std::to_wstring(i) + L".txt";
      paths.push_back(Write(name, "x"));
      ASSERT_TRUE(SetFileAttributesW(paths.back().c_str(), c.attributes[i]));
      targets.push_back(L"\\A:\\" + name);
    }
    ++round;
    auto source = PCSource(paths);
    EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", c.effect));
    EXPECT_EQ(c.dialogs, Boxes());
    for (size_t i = 0; i < targets.size(); ++i)
      EXPECT_EQ(c.sent[i], fresh.GetStoredFile(targets[i], nullptr)) << i;
    const std::vector<DWORD> written = source->DwordsSet(ids.pasteSucceeded);
    if (c.pasteSucceeded == static_cast<DWORD>(-1))
      EXPECT_TRUE(written.empty());
    else
      EXPECT_EQ(std::vector<DWORD>{c.pasteSucceeded}, written);
  }
}

// File lists from other processes: one that runs past its block, or starts
// inside the header, is refused before any file is touched.
TEST_F(PastePCTest, MalformedFileListsAreRefused) {
  const std::wstring file = Write(L"a.txt", "a");
  std::vector<BYTE> good = CFakeDataObject::HdropOf({file});
  std::vector<BYTE> unended = good;
  unended.resize(unended.size() - 4);   // no empty name, the last name cut
  std::vector<BYTE> outside = good;
  reinterpret_cast<DROPFILES*>(outside.data())->pFiles = 4096;
  std::vector<BYTE> inHeader = good;
  reinterpret_cast<DROPFILES*>(inHeader.data())->pFiles = 4;
  for (const std::vector<BYTE>* block : {&unended, &outside, &inHeader}) {
    ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
    source->Serve(ids.hdrop, *block);
    EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_MOVE));
    EXPECT_TRUE(Changes().empty());
    EXPECT_EQ(std::vector<DWORD>{0}, source->DwordsSet(ids.pasteSucceeded));
    EXPECT_EQ(0u, succeeded);
  }
  auto source = PCSource({file});
  EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_COPY));
  EXPECT_EQ("a", Stored(L"\\A:\\a.txt"));
}

// A paste without a data object takes the clipboard's, and the effect the
// clipboard's object prefers.
TEST_F(PastePCTest, PasteTakesTheClipboardsObject) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  auto source = PCSource({Write(L"a.txt", "from the clipboard")});
  source->ServeDword(ids.preferredDropEffect, DROPEFFECT_COPY);
  ASSERT_EQ(S_OK, OleSetClipboard(source.Get()));
  succeeded = 7;
  EXPECT_EQ(S_OK, StartPasteOperation(L"\\A:", nullptr, nullptr, 0, FALSE, 0, &succeeded));
  EXPECT_TRUE(WaitForPasteOperations(20000));
  EXPECT_EQ("from the clipboard", Stored(L"\\A:\\a.txt"));
  EXPECT_EQ(1u, succeeded);
  EXPECT_EQ(S_OK, OleSetClipboard(nullptr));
  OleUninitialize();
}

// A volume that only looks at what PutFile is handed: the size of the
// stream and its first bytes, so that files of 2 GiB cost nothing.
class CSizeVolume final : public CFakeVolume {
public:
  std::vector<std::pair<std::wstring, ULONGLONG>> puts;
  STDMETHODIMP PutFile(BSTR path, IUnknown* content, LONG) override {
    IStream* stream = nullptr;
    if (FAILED(content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)))) return E_NOINTERFACE;
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    char buffer[16];
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer, sizeof(buffer), &got);
    stream->Release();
    puts.push_back({path ? path : L"", stat.cbSize.QuadPart});
    return hr;
  }
  STDMETHODIMP Delete(BSTR) override { return S_OK; }
};

TEST_F(PastePCTest, TwoGibibytesAreRefusedOneByteLessIsSent) {
  struct Case {
    ULONGLONG size;
    bool sent;
  } cases[] = {{0x80000000ull, false}, {0x7FFFFFFFull, true}};
  for (const Case& c : cases) {
    const std::wstring path = root + L"\\sparse.bin";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(c.size);
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    CSizeVolume sizes;
    CVolumeFactoryScope scope(&sizes);
    ui.shown.clear();
    auto source = PCSource({path});
    EXPECT_EQ(S_OK, Paste(source.Get(), L"\\A:", DROPEFFECT_COPY));
    if (c.sent) {
      ASSERT_EQ(1u, sizes.puts.size());
      EXPECT_EQ(L"\\A:\\sparse.bin", sizes.puts[0].first);
      EXPECT_EQ(c.size, sizes.puts[0].second);
      EXPECT_TRUE(ui.shown.empty());
    } else {
      EXPECT_TRUE(sizes.puts.empty());
      ASSERT_EQ(1u, ui.shown.size());
      EXPECT_EQ(L"sparse.bin cannot be copied: The file size exceeds the maximum allowable.", ui.shown[0].text);
      EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONHAND), ui.shown[0].type);
    }
    DeleteFileW(path.c_str());
  }
}

}  // namespace
