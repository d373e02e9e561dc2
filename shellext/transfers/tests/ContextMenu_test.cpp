// The context menu of module items, drives and the module root: the items it
// inserts, its verbs, and where each command goes.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <mmsystem.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "ComBase.h"
#include "IdListData.h"
#include "DeleteOperation.h"
#include "FolderObjects.h"
#include "ItemIDList.h"
#include "NamespaceIds.h"
#include "RPLContextMenu.h"
#include "RPLFolder.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellExtClasses.h"
#include "ShellExtTestSupport.h"
#include "ShellSettingsStub.h"

namespace {

CItemIDList MakeItem(const wchar_t* name, const wchar_t* shortName, ULONG size, ULONG attributes, DATE write = 0) {
  CItemIDList item;
  item.CreateItem(name, static_cast<UINT>(wcslen(name)), shortName, static_cast<UINT>(wcslen(shortName)), size,
                  attributes, 0, 0, write);
  return item;
}

// What the menu handed to the commands, one line per call.
std::vector<std::wstring> g_actions;
bool g_pastable = false;
HRESULT g_answer = S_OK;

std::wstring Str(const wchar_t* text) { return text ? text : L""; }
std::wstring Names(const CItemIDList* items, int count) {
  std::wstring names;
  for (int i = 0; i < count; ++i) names += L" " + Str(GetItemName(items[i].Get()));
  return names;
}
HRESULT RecordSheet(const wchar_t* path, CItemIDList* items, int count) {
  g_actions.push_back(L"sheet [" + Str(path) + L"]" + Names(items, count));
  delete[] items;
  return g_answer;
}
HRESULT RecordDelete(const wchar_t* folder, CItemIDList* items, int count, BOOL noConfirmation, HWND owner) {
  g_actions.push_back(L"delete [" + Str(folder) + L"]" + Names(items, count) + L" quiet=" +
                      std::to_wstring(noConfirmation) + L" owner=" +
                      std::to_wstring(reinterpret_cast<UINT_PTR>(owner)));
  delete[] items;
  return g_answer;
}
HRESULT RecordClipboard(const wchar_t* folder, const CItemIDList* items, int count, DWORD effect) {
  g_actions.push_back(L"clipboard [" + Str(folder) + L"]" + Names(items, count) + L" effect=" +
                      std::to_wstring(effect));
  return g_answer;
}
bool Pastable() { return g_pastable; }
HRESULT RecordPaste(const wchar_t* target, HWND owner) {
  g_actions.push_back(L"paste [" + Str(target) + L"] owner=" + std::to_wstring(reinterpret_cast<UINT_PTR>(owner)));
  return g_answer;
}
HRESULT RecordFormat(const wchar_t* volume, ULONGLONG capacity) {
  g_actions.push_back(L"format [" + Str(volume) + L"] " + std::to_wstring(capacity));
  return g_answer;
}
HRESULT RecordSearch(const wchar_t* folder) {
  g_actions.push_back(L"search [" + Str(folder) + L"]");
  return g_answer;
}
const ContextMenuActions kRecorders = {RecordSheet, RecordDelete,   RecordClipboard, Pastable,
                                       RecordPaste, RecordFormat, RecordSearch};

std::vector<BYTE> IdListArrayHeader(UINT count) {
  std::vector<BYTE> bytes(12, 0);
  memcpy(bytes.data(), &count, sizeof(count));
  return bytes;
}

enum class Selection { File, Folder, Files, Drive, Drives, Root };

class ContextMenuTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    RegisterClipboardFormats();
    g_actions.clear();
    g_pastable = false;
    g_answer = S_OK;
    m_previous = SetContextMenuActions(&kRecorders);
    volume.SetDrives({{L"A:", 1000000, 250000, L"Card"}, {L"B:", 4096, 1024, L""}});
    drive = MakeItem(L"\\A:", L"A:", 1000000, FILE_ATTRIBUTE_DIRECTORY, 250000.0);
    driveB = MakeItem(L"\\B:", L"B:", 4096, FILE_ATTRIBUTE_DIRECTORY, 1024.0);
    folderItem = MakeItem(L"\\A:\\dir", L"dir", 0, FILE_ATTRIBUTE_DIRECTORY);
    file = MakeItem(L"\\A:\\dir\\f.txt", L"f.txt", 1234, FILE_ATTRIBUTE_ARCHIVE);
    file2 = MakeItem(L"\\A:\\dir\\g.txt", L"g.txt", 5, 0);
    sub = MakeItem(L"\\A:\\dir\\sub", L"sub", 0, FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  }
  void TearDown() override {
    SetContextMenuActions(m_previous);
    ILFree(computer);
    CoUninitialize();
  }

  // My Computer followed by these module records.
  ComPtr<IShellFolder> Folder(std::vector<const CItemIDList*> records) {
    CItemIDList list(computer);
    for (const CItemIDList* record : records) list = CItemIDList::Concatenate(list, *record);
    ComPtr<IShellFolder> folder;
    EXPECT_EQ(CreateRPLFolder(IID_IShellFolder, reinterpret_cast<void**>(&folder)), S_OK);
    ComPtr<IPersistFolder> persist;
    folder.As(&persist);
    EXPECT_EQ(persist->Initialize(list.Get()), S_OK);
    return folder;
  }

  // The menu the folder hands out for a selection (the root's through IShellExtInit).
  ComPtr<IContextMenu> Menu(Selection selection) {
    ComPtr<IContextMenu> menu;
    if (selection == Selection::Root) {
      EXPECT_EQ(S_OK, CreateRPLContextMenu(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
      ComPtr<IShellExtInit> init;
      menu.As(&init);
      CIdListData data(IdListArrayHeader(1));
      EXPECT_EQ(S_OK, init->Initialize(nullptr, &data, nullptr));
      return menu;
    }
    std::vector<LPCITEMIDLIST> items;
    ComPtr<IShellFolder> folder;
    switch (selection) {
      case Selection::File: items = {file.Get()}; break;
      case Selection::Folder: items = {sub.Get()}; break;
      case Selection::Files: items = {file.Get(), file2.Get()}; break;
      case Selection::Drive: items = {drive.Get()}; break;
      default: items = {drive.Get(), driveB.Get()}; break;
    }
    const bool drives = selection == Selection::Drive || selection == Selection::Drives;
    folder = drives ? Folder({}) : Folder({&drive, &folderItem});
    // Drive menus from a folder that has listed keep the records as given.
    if (drives) {
      ComPtr<IEnumIDList> list;
      folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &list);
    }
    void* object = nullptr;
    EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()),
                                          reinterpret_cast<PCUITEMID_CHILD_ARRAY>(items.data()), IID_IContextMenu,
                                          nullptr, &object));
    menu.Attach(static_cast<IContextMenu*>(object));
    return menu;
  }

  // Inserted into an empty menu at ids from 100.
  HMENU Built(IContextMenu* menu, HRESULT* result = nullptr) {
    HMENU host = CreatePopupMenu();
    HRESULT hr = menu->QueryContextMenu(host, 0, 100, 0x7FFF, CMF_NORMAL);
    if (result) *result = hr;
    return host;
  }

  std::string Verb(IContextMenu* menu, UINT offset) {
    char text[64] = "";
    menu->GetCommandString(offset, GCS_VERBA, nullptr, text, sizeof(text));
    return text;
  }

  HRESULT Invoke(IContextMenu* menu, const char* verb, HWND owner = reinterpret_cast<HWND>(0x42)) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpVerb = verb;
    return menu->InvokeCommand(&info);
  }
  HRESULT InvokeOffset(IContextMenu* menu, UINT offset) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.hwnd = reinterpret_cast<HWND>(0x42);
    info.lpVerb = MAKEINTRESOURCEA(offset);
    return menu->InvokeCommand(&info);
  }

  CScriptedVolume volume;
  CVolumeFactoryScope factory{&volume};
  CItemIDList drive, driveB, folderItem, file, file2, sub;
  LPITEMIDLIST computer = nullptr;
  const ContextMenuActions* m_previous = nullptr;
};

// Verb per position ("-" for a separator), which position is the default.
TEST_F(ContextMenuTest, EachSelectionGetsItsPopupWithVerbsIdsAndDefault) {
  const struct {
    Selection selection;
    std::vector<std::string> verbs;
    int defaultPosition;
  } rows[] = {
      {Selection::File, {"cut", "copy", "-", "delete", "rename", "-", "properties"}, -1},
      {Selection::Files, {"cut", "copy", "-", "delete", "rename", "-", "properties"}, -1},
      {Selection::Folder,
       {"explore", "open", "search", "-", "cut", "copy", "paste", "-", "delete", "rename", "-", "properties"}, 0},
      {Selection::Drive,
       {"explore", "open", "search", "-", "format", "stddirs", "-", "paste", "-", "properties"}, 0},
      {Selection::Root, {"search", "-"}, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.selection));
    ComPtr<IContextMenu> menu = Menu(row.selection);
    HRESULT hr = E_FAIL;
    HMENU host = Built(menu.Get(), &hr);
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, row.verbs.size()), hr);
    ASSERT_EQ(static_cast<int>(row.verbs.size()), GetMenuItemCount(host));
    for (UINT i = 0; i < row.verbs.size(); ++i) {
      MENUITEMINFOW info = {};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
      ASSERT_TRUE(GetMenuItemInfoW(host, i, TRUE, &info));
      if (row.verbs[i] == "-") {
        EXPECT_TRUE(info.fType & MFT_SEPARATOR) << i;
        continue;
      }
      EXPECT_EQ(100 + i, info.wID) << i;
      EXPECT_EQ(row.verbs[i], Verb(menu.Get(), i));
      EXPECT_EQ(static_cast<int>(i) == row.defaultPosition, (info.fState & MFS_DEFAULT) != 0) << i;
    }
    DestroyMenu(host);
  }
}

TEST_F(ContextMenuTest, PasteIsGreyedUnlessTheClipboardHoldsSomethingPastable) {
  for (bool pastable : {false, true, false}) {
    g_pastable = pastable;
    for (Selection selection : {Selection::Folder, Selection::Drive}) {
      ComPtr<IContextMenu> menu = Menu(selection);
      HMENU host = Built(menu.Get());
      const UINT pastePosition = selection == Selection::Folder ? 6 : 7;
      const UINT state = GetMenuState(host, pastePosition, MF_BYPOSITION);
      EXPECT_EQ(!pastable, (state & MF_GRAYED) != 0) << pastable << " " << static_cast<int>(selection);
      DestroyMenu(host);
    }
  }
}

TEST_F(ContextMenuTest, ItemsGoAtTheHostsPositionAndOnlyWithinItsIdRange) {
  ComPtr<IContextMenu> menu = Menu(Selection::File);
  HMENU host = CreatePopupMenu();
  AppendMenuW(host, MF_STRING, 1, L"first");
  AppendMenuW(host, MF_STRING, 2, L"last");
  // Room for ids 10..13: cut, copy, separator, delete.
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), menu->QueryContextMenu(host, 1, 10, 13, CMF_NORMAL));
  ASSERT_EQ(6, GetMenuItemCount(host));
  EXPECT_EQ(1u, GetMenuItemID(host, 0));
  EXPECT_EQ(10u, GetMenuItemID(host, 1));
  EXPECT_EQ(13u, GetMenuItemID(host, 4));
  EXPECT_EQ(2u, GetMenuItemID(host, 5));
  EXPECT_EQ("delete", Verb(menu.Get(), 3));
  CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
  info.lpVerb = MAKEINTRESOURCEA(4);   // "rename" was not inserted
  CScriptedShellUi ui;
  EXPECT_EQ(E_UNEXPECTED, menu->InvokeCommand(&info));
  DestroyMenu(host);
}

TEST_F(ContextMenuTest, MenusThatCannotBeBuiltInsertNothing) {
  ComPtr<IContextMenu> fresh;
  ASSERT_EQ(S_OK, CreateRPLContextMenu(IID_IContextMenu, reinterpret_cast<void**>(&fresh)));
  HRESULT hr = S_OK;
  HMENU host = Built(fresh.Get(), &hr);
  EXPECT_EQ(E_UNEXPECTED, hr);
  EXPECT_EQ(0, GetMenuItemCount(host));
  DestroyMenu(host);
  char text[16] = "x";
  EXPECT_EQ(E_UNEXPECTED, fresh->GetCommandString(0, GCS_VERBA, nullptr, text, sizeof(text)));

  // Kind 0 without items.
  ComPtr<IShellFolder> folder = Folder({&drive});
  ComPtr<IContextMenu> empty;
  ASSERT_EQ(S_OK, CreateRPLContextMenu(IID_IContextMenu, reinterpret_cast<void**>(&empty)));
  LPCITEMIDLIST none[1] = {nullptr};
  ASSERT_EQ(S_OK, static_cast<RPLContextMenu*>(empty.Get())->Init(static_cast<RPLFolder*>(folder.Get()), none, 0));
  host = Built(empty.Get(), &hr);
  EXPECT_EQ(E_UNEXPECTED, hr);
  DestroyMenu(host);
  EXPECT_EQ(E_POINTER, static_cast<RPLContextMenu*>(empty.Get())->Init(nullptr, none, 0));
  EXPECT_EQ(E_POINTER, static_cast<RPLContextMenu*>(empty.Get())->Init(static_cast<RPLFolder*>(folder.Get()),
                                                                       nullptr, 0));
}

TEST_F(ContextMenuTest, CommandStringsGiveVerbsCutToSizeAndValidate) {
  ComPtr<IContextMenu> menu = Menu(Selection::File);   // cut, copy, -, delete, rename, -, properties
  DestroyMenu(Built(menu.Get()));
  const struct {
    UINT offset;
    UINT flags;
    UINT size;
    HRESULT result;
    const char* text;   // what the buffer holds afterwards (narrow or wide); "#": untouched
  } rows[] = {
      {0, GCS_VERBA, 16, S_OK, "cut"},
      {6, GCS_HELPTEXTA, 16, S_OK, "properties"},
      {6, GCS_VERBA, 5, S_OK, "prop"},
      {6, GCS_VERBW, 16, S_OK, "properties"},
      {4, GCS_HELPTEXTW, 4, S_OK, "ren"},
      {2, GCS_VERBA, 16, E_FAIL, ""},
      {5, GCS_VERBW, 16, E_FAIL, ""},
      {2, GCS_VALIDATEA, 16, S_FALSE, "#"},
      {2, GCS_VALIDATEW, 16, S_FALSE, "#"},
      {3, GCS_VALIDATEA, 16, S_OK, "#"},
      {3, GCS_VALIDATEW, 16, S_OK, "#"},
      {0, 3, 16, E_INVALIDARG, "#"},
      {0, 7, 16, E_INVALIDARG, "#"},
      {0, GCS_VERBA, 0, E_INVALIDARG, "#"},
      {0, GCS_VERBW, 0, E_INVALIDARG, "#"},
      {7, GCS_VERBA, 16, E_UNEXPECTED, "#"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.offset << " flags " << row.flags << " size " << row.size);
    wchar_t buffer[32];
    for (wchar_t& c : buffer) c = L'#';
    buffer[31] = 0;
    auto* narrow = reinterpret_cast<char*>(buffer);
    narrow[1] = 0;   // "#" as a narrow text for the untouched rows
    EXPECT_EQ(row.result, menu->GetCommandString(row.offset, row.flags, nullptr, narrow, row.size));
    if (row.flags & GCS_UNICODE && strcmp(row.text, "#") != 0) {
      EXPECT_EQ(std::wstring(row.text, row.text + strlen(row.text)), std::wstring(buffer));
    } else {
      EXPECT_STREQ(row.text, narrow);
    }
  }
  EXPECT_EQ(E_POINTER, menu->GetCommandString(0, GCS_VALIDATEA, nullptr, nullptr, 0));
}

TEST_F(ContextMenuTest, CommandsByVerbGoWhereTheirSelectionSays) {
  const std::wstring owner = L"owner=66";
  const struct {
    Selection selection;
    const char* verb;
    HRESULT result;
    std::wstring action;   // empty: no command was called
  } rows[] = {
      {Selection::Files, "properties", S_OK, L"sheet [\\A:\\dir] \\A:\\dir\\f.txt \\A:\\dir\\g.txt"},
      {Selection::Files, "delete", S_OK, L"delete [\\A:\\dir] \\A:\\dir\\f.txt \\A:\\dir\\g.txt quiet=0 owner=66"},
      {Selection::File, "cut", S_OK, L"clipboard [\\A:\\dir] \\A:\\dir\\f.txt effect=2"},
      {Selection::File, "copy", S_OK, L"clipboard [\\A:\\dir] \\A:\\dir\\f.txt effect=1"},
      {Selection::File, "paste", S_OK, L"paste [\\A:\\dir] " + owner},
      {Selection::File, "search", S_OK, L"search [\\A:\\dir]"},
      {Selection::Folder, "paste", S_OK, L"paste [\\A:\\dir\\sub] " + owner},
      {Selection::Folder, "search", S_OK, L"search [\\A:\\dir\\sub]"},
      {Selection::File, "rename", E_FAIL, L""},
      {Selection::File, "Copy", E_FAIL, L""},
      {Selection::File, "format", E_FAIL, L""},
      {Selection::File, "copy ", E_FAIL, L""},
      {Selection::Drives, "properties", S_OK, L"sheet [] \\A: \\B:"},
      {Selection::Drives, "format", S_OK, L"format [A:] 1000000|format [B:] 4096"},
      {Selection::Drive, "paste", S_OK, L"paste [\\A:] " + owner},
      {Selection::Drive, "search", S_OK, L"search [\\A:]"},
      {Selection::Drive, "cut", E_FAIL, L""},
      {Selection::Drive, "delete", E_FAIL, L""},
      {Selection::Root, "search", S_OK, L"search [\\]"},
      {Selection::Root, "properties", E_FAIL, L""},
      {Selection::Root, "open", E_FAIL, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(row.selection) << " " << row.verb);
    CScriptedShellUi ui;
    g_actions.clear();
    ComPtr<IContextMenu> menu = Menu(row.selection);
    EXPECT_EQ(row.result, Invoke(menu.Get(), row.verb));
    std::wstring actions;
    for (const std::wstring& action : g_actions) actions += (actions.empty() ? L"" : L"|") + action;
    EXPECT_EQ(row.action, actions);
    EXPECT_EQ(FAILED(row.result) ? 1u : 0u, ui.Calls(UiCall::Sound).size());
    if (FAILED(row.result)) {
      EXPECT_EQ(L".Default", ui.Calls(UiCall::Sound)[0].text);
      EXPECT_EQ(static_cast<UINT>(SND_ASYNC), ui.Calls(UiCall::Sound)[0].flags);
    }
  }
}

TEST_F(ContextMenuTest, OffsetsSelectTheirCommandAndAFailingCommandSounds) {
  ComPtr<IContextMenu> menu = Menu(Selection::Root);
  CScriptedShellUi ui;
  EXPECT_EQ(E_UNEXPECTED, InvokeOffset(menu.Get(), 0)) << "no menu was built yet";
  DestroyMenu(Built(menu.Get()));
  EXPECT_EQ(S_OK, InvokeOffset(menu.Get(), 0));
  EXPECT_EQ(E_FAIL, InvokeOffset(menu.Get(), 1));   // the separator
  EXPECT_EQ(E_UNEXPECTED, InvokeOffset(menu.Get(), 2));
  ASSERT_EQ(1u, g_actions.size());
  EXPECT_EQ(L"search [\\]", g_actions[0]);
  EXPECT_EQ(3u, ui.Calls(UiCall::Sound).size());

  g_actions.clear();
  g_answer = E_ACCESSDENIED;
  ComPtr<IContextMenu> files = Menu(Selection::File);
  DestroyMenu(Built(files.Get()));
  EXPECT_EQ(E_ACCESSDENIED, InvokeOffset(files.Get(), 6));   // properties
  ASSERT_EQ(1u, g_actions.size());
  EXPECT_EQ(L"sheet [\\A:\\dir] \\A:\\dir\\f.txt", g_actions[0]);
  EXPECT_EQ(4u, ui.Calls(UiCall::Sound).size());
}

TEST_F(ContextMenuTest, ExploreAndOpenGoToTheShellAndFilesGetOneBox) {
  const struct {
    Selection selection;
    const char* verb;
    std::vector<std::wstring> shellVerbs;
    size_t boxes;
  } rows[] = {
      {Selection::Folder, "explore", {L"explore"}, 0},
      {Selection::Drives, "open", {L"open", L"open"}, 0},
      {Selection::Files, "open", {}, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.verb);
    CScriptedShellUi ui;
    ui.SetDefault(UiCall::Shell, TRUE);
    ComPtr<IContextMenu> menu = Menu(row.selection);
    EXPECT_EQ(S_OK, Invoke(menu.Get(), row.verb));
    std::vector<UiCallRecord> shell = ui.Calls(UiCall::Shell);
    ASSERT_EQ(row.shellVerbs.size(), shell.size());
    for (size_t i = 0; i < shell.size(); ++i) EXPECT_EQ(0u, shell[i].text.find(row.shellVerbs[i] + L"|"));
    EXPECT_EQ(row.boxes, ui.Calls(UiCall::MessageBox).size());
    EXPECT_TRUE(ui.Calls(UiCall::Sound).empty());
  }
}

TEST_F(ContextMenuTest, StandardFoldersAreMadeOnEachDriveThroughItsOwnVolume) {
  CScriptedShellUi ui;
  ComPtr<IContextMenu> menu = Menu(Selection::Drives);
  volume.script.ClearCalls();
  volume.Fail(L"CreateStdDirs A:", E_ACCESSDENIED, L"Card locked");
  EXPECT_EQ(S_OK, Invoke(menu.Get(), "stddirs")) << "the last drive's result counts";
  const std::vector<std::wstring> expected = {L"CreateStdDirs A:", L"CreateStdDirs B:"};
  EXPECT_EQ(expected, volume.Calls());
  ASSERT_EQ(1u, ui.Calls(UiCall::MessageBox).size());
  EXPECT_NE(std::wstring::npos, ui.Calls(UiCall::MessageBox)[0].text.find(L"Card locked"));

  CVolumeFactoryScope::SetFailure(E_ACCESSDENIED);
  {
    CVolumeFactoryScope none(nullptr);
    EXPECT_EQ(E_ACCESSDENIED, Invoke(menu.Get(), "stddirs"));
  }
  CVolumeFactoryScope::SetFailure(E_FAIL);
  EXPECT_EQ(1u, ui.Calls(UiCall::Sound).size());
}

TEST_F(ContextMenuTest, TheRootIsInitialisedFromAOneItemIdListArray) {
  const struct {
    std::vector<BYTE> bytes;
    bool offered;
    HRESULT result;
  } rows[] = {
      {IdListArrayHeader(1), true, S_OK},
      {IdListArrayHeader(2), true, E_INVALIDARG},
      {IdListArrayHeader(0), true, E_INVALIDARG},
      {{1, 0, 0, 0, 12, 0, 0}, true, E_UNEXPECTED},
      {{1, 0, 0, 0, 12, 0, 0, 0}, true, S_OK},
      {{}, false, DV_E_FORMATETC},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bytes.size());
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, CreateRPLContextMenu(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    CIdListData data(row.bytes, row.offered);
    EXPECT_EQ(row.result, init->Initialize(nullptr, &data, nullptr));
    ComPtr<IContextMenu> menu;
    init.As(&menu);
    HRESULT hr = S_OK;
    HMENU host = Built(menu.Get(), &hr);
    EXPECT_EQ(SUCCEEDED(row.result) ? MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2) : E_UNEXPECTED, hr);
    DestroyMenu(host);
  }
  ComPtr<IShellExtInit> init;
  ASSERT_EQ(S_OK, CreateRPLContextMenu(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
  EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, nullptr, nullptr));

  // A drive menu whose later initialisation fails has no items left to act on.
  ComPtr<IContextMenu> drives = Menu(Selection::Drive);
  ComPtr<IShellExtInit> again;
  drives.As(&again);
  CIdListData two(IdListArrayHeader(2));
  EXPECT_EQ(E_INVALIDARG, again->Initialize(nullptr, &two, nullptr));
  CScriptedShellUi ui;
  EXPECT_EQ(E_FAIL, Invoke(drives.Get(), "paste"));
  EXPECT_TRUE(g_actions.empty());
}

TEST_F(ContextMenuTest, TheMenuHoldsItsFolderAndTheLibrary) {
  const LONG before = GetComModule().GetLockCount();
  {
    ComPtr<IContextMenu> menu = Menu(Selection::File);
    EXPECT_EQ(before + 2, GetComModule().GetLockCount()) << "the menu and the folder it holds";
  }
  EXPECT_EQ(before, GetComModule().GetLockCount());
}

// The real commands behind the menu: the delete operation asks first (and
// is refused here), the format dialog opens for each drive.
TEST_F(ContextMenuTest, TheRealCommandsReachTheDeleteOperationAndTheFormatDialog) {
  SetContextMenuActions(nullptr);
  EnsureParentWindowClass();
  CScriptedShellUi ui;
  ComPtr<IContextMenu> files = Menu(Selection::Files);
  volume.script.ClearCalls();
  EXPECT_EQ(S_OK, Invoke(files.Get(), "delete"));
  ASSERT_TRUE(WaitForDeleteOperations(10000));
  ASSERT_EQ(1u, ui.Calls(UiCall::Dialog).size()) << "the confirmation of the selection";
  for (const std::wstring& call : volume.Calls()) EXPECT_NE(0u, call.find(L"Delete")) << call;

  ComPtr<IContextMenu> drives = Menu(Selection::Drives);
  EXPECT_EQ(S_OK, Invoke(drives.Get(), "format"));
  for (const wchar_t* caption : {L"Formating Module A:", L"Formating Module B:"}) {
    HWND dialog = FindWindowW(L"#32770", caption);
    ASSERT_NE(nullptr, dialog) << testing::PrintToString(std::wstring(caption));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    for (int wait = 0; wait < 1000 && IsWindow(dialog); ++wait) Sleep(10);
    EXPECT_FALSE(IsWindow(dialog));
  }
  EXPECT_TRUE(ui.Calls(UiCall::Sound).empty());
}

// Paste follows what the clipboard really holds: PC files enable it.
TEST_F(ContextMenuTest, PasteFollowsTheClipboardsFormats) {
  SetContextMenuActions(nullptr);
  const struct {
    bool files;
    bool text;
    bool enabled;
  } rows[] = {{false, false, false}, {false, true, false}, {true, false, true}};
  for (const auto& row : rows) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    if (row.files) {
      const wchar_t name[] = L"C:\\x.txt\0";
      HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + sizeof(name));
      auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
      drop->pFiles = sizeof(DROPFILES);
      drop->fWide = TRUE;
      memcpy(drop + 1, name, sizeof(name));
      GlobalUnlock(block);
      SetClipboardData(CF_HDROP, block);
    }
    if (row.text) {
      HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
      SetClipboardData(CF_TEXT, block);
    }
    CloseClipboard();
    ComPtr<IContextMenu> menu = Menu(Selection::Drive);
    HMENU host = Built(menu.Get());
    EXPECT_EQ(row.enabled, (GetMenuState(host, 7, MF_BYPOSITION) & MF_GRAYED) == 0) << row.files << row.text;
    DestroyMenu(host);
  }
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

}  // namespace
