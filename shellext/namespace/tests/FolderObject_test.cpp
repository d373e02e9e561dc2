// The namespace folder against the scripted volume: columns, listing, attributes,
// names, order and the objects it hands out.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlguid.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "DisplayText.h"
#include "ItemIDList.h"
#include "ModuleEntry.h"
#include "ModuleHelp.h"
#include "NamespaceIds.h"
#include "RPLFolder.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellExtClasses.h"
#include "ShellSettingsStub.h"

namespace {

CItemIDList MakeItem(const wchar_t* name, const wchar_t* shortName, ULONG size, ULONG attributes, DATE write = 0) {
  CItemIDList item;
  item.CreateItem(name, static_cast<UINT>(wcslen(name)), shortName, static_cast<UINT>(wcslen(shortName)), size,
                  attributes, 0, 0, write);
  return item;
}

std::wstring Text(STRRET& value) {
  std::wstring text = value.uType == STRRET_WSTR && value.pOleStr ? value.pOleStr : L"";
  if (value.uType == STRRET_WSTR) CoTaskMemFree(value.pOleStr);
  return text;
}

class FolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    volume.SetDrives({{L"A:", 1000000, 250000, L"Card"}});
    CTestEntries entries;
    entries.AddEntry(L"dir", 0, FILE_ATTRIBUTE_DIRECTORY, 45000.0, MakeDate(45000.5))
        .AddEntry(L"f.txt", 1234, FILE_ATTRIBUTE_ARCHIVE, 45000.0, MakeDate(45000.5))
        .AddEntry(L"secret.txt", 10, FILE_ATTRIBUTE_HIDDEN, 45000.0, MakeDate(45000.5));
    volume.SetListing(L"\\A:\\*", entries);
    drive = MakeItem(L"\\A:", L"A:", 1000000, FILE_ATTRIBUTE_DIRECTORY, 250000.0);
    folderItem = MakeItem(L"\\A:\\dir", L"dir", 0, FILE_ATTRIBUTE_DIRECTORY);
    file = MakeItem(L"\\A:\\f.txt", L"f.txt", 1234, FILE_ATTRIBUTE_ARCHIVE);
    fileInDir = MakeItem(L"\\A:\\dir\\f.txt", L"f.txt", 5, 0);
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  }
  void TearDown() override {
    ILFree(computer);
    CoUninitialize();
  }
  // A folder for My Computer followed by these module records.
  ComPtr<IShellFolder2> Folder(std::vector<const CItemIDList*> records) {
    CItemIDList list(computer);
    for (const CItemIDList* record : records) list = CItemIDList::Concatenate(list, *record);
    ComPtr<IShellFolder2> folder;
    EXPECT_EQ(CreateRPLFolder(IID_IShellFolder2, reinterpret_cast<void**>(&folder)), S_OK);
    ComPtr<IPersistFolder> persist;
    folder.As(&persist);
    EXPECT_EQ(persist->Initialize(list.Get()), S_OK);
    return folder;
  }
  std::wstring PathOf(IShellFolder2* folder) {
    return static_cast<RPLFolder*>(folder)->GetPath().GetBstr() ? static_cast<RPLFolder*>(folder)->GetPath().GetBstr()
                                                               : L"";
  }
  std::vector<std::wstring> Names(IShellFolder2* folder, SHCONTF flags, HRESULT* result = nullptr) {
    ComPtr<IEnumIDList> list;
    HRESULT hr = folder->EnumObjects(nullptr, flags, &list);
    if (result) *result = hr;
    std::vector<std::wstring> names;
    PITEMID_CHILD item = nullptr;
    while (list && list->Next(1, &item, nullptr) == S_OK) {
      names.push_back(GetItemNameString(item).GetBstr());
      CoTaskMemFree(item);
    }
    return names;
  }

  CScriptedVolume volume;
  CVolumeFactoryScope factory{&volume};
  CScriptedShellUi ui;
  CItemIDList drive, folderItem, file, fileInDir;
  LPITEMIDLIST computer = nullptr;
};

TEST_F(FolderTest, RootShowsDriveColumnsOtherFoldersFileColumns) {
  const struct { bool root; UINT column; const wchar_t* title; int format; SHCOLSTATEF type; DWORD pid; } rows[] = {
      {true, 0, L"Name", LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 10},
      {true, 1, L"Type", LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 4},
      {true, 2, L"Total Size", LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT, 12},
      {true, 3, L"Free Space", LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT, 13},
      {false, 0, L"Name", LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 10},
      {false, 1, L"Size", LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT, 12},
      {false, 2, L"Type", LVCFMT_LEFT, SHCOLSTATE_TYPE_STR, 4},
      {false, 3, L"Modified", LVCFMT_LEFT, SHCOLSTATE_TYPE_DATE, 14},
  };
  ComPtr<IShellFolder2> root = Folder({});
  ComPtr<IShellFolder2> inDrive = Folder({&drive});
  for (const auto& row : rows) {
    IShellFolder2* folder = row.root ? root.Get() : inDrive.Get();
    SHELLDETAILS details = {};
    ASSERT_EQ(folder->GetDetailsOf(nullptr, row.column, &details), S_OK) << row.title;
    EXPECT_EQ(Text(details.str), row.title);
    EXPECT_EQ(details.fmt, row.format) << row.title;
    EXPECT_EQ(details.cxChar, static_cast<int>(wcslen(row.title)));
    SHCOLSTATEF state = 0;
    EXPECT_EQ(folder->GetDefaultColumnState(row.column, &state), S_OK);
    EXPECT_EQ(state, SHCOLSTATE_ONBYDEFAULT | row.type) << row.title;
    SHCOLUMNID key = {};
    EXPECT_EQ(folder->MapColumnToSCID(row.column, &key), S_OK);
    EXPECT_TRUE(IsEqualGUID(key.fmtid, FMTID_Storage)) << "the platform's storage set";
    EXPECT_EQ(key.pid, row.pid) << row.title;
  }
  for (IShellFolder2* folder : {root.Get(), inDrive.Get()}) {
    SHELLDETAILS details = {};
    EXPECT_EQ(folder->GetDetailsOf(nullptr, 4, &details), E_INVALIDARG);
    SHCOLSTATEF state = 0;
    EXPECT_EQ(folder->GetDefaultColumnState(4, &state), E_INVALIDARG);
    EXPECT_EQ(state, static_cast<SHCOLSTATEF>(SHCOLSTATE_HIDDEN));
    ULONG sort = 9, display = 9;
    EXPECT_EQ(folder->GetDefaultColumn(0, &sort, &display), S_OK);
    EXPECT_EQ(sort + display, 0u);
  }
}

TEST_F(FolderTest, ItemColumnsAndDetailsEx) {
  ComPtr<IShellFolder2> root = Folder({});
  ComPtr<IShellFolder2> inDrive = Folder({&drive});
  auto column = [](IShellFolder2* folder, const CItemIDList& item, UINT index) {
    SHELLDETAILS details = {};
    HRESULT hr = folder->GetDetailsOf(reinterpret_cast<PCUITEMID_CHILD>(item.Get()), index, &details);
    return SUCCEEDED(hr) ? Text(details.str) : L"failed";
  };
  EXPECT_EQ(column(root.Get(), drive, 0), L"A:");
  EXPECT_EQ(column(root.Get(), drive, 1), L"Module Disk");
  EXPECT_EQ(column(root.Get(), drive, 2), FormatByteSize(1000000).GetBstr());
  EXPECT_EQ(column(root.Get(), drive, 3), FormatByteSize(250000).GetBstr());
  EXPECT_EQ(column(inDrive.Get(), file, 0), L"f.txt");
  EXPECT_EQ(column(inDrive.Get(), file, 1), FormatByteSize(1234).GetBstr());
  EXPECT_EQ(column(inDrive.Get(), folderItem, 1), L"") << "folders show no size";

  const struct { const CItemIDList* item; DWORD pid; HRESULT result; } rows[] = {
      {&drive, 13, S_OK}, {&file, 13, E_INVALIDARG}, {&drive, 14, E_INVALIDARG}, {&file, 14, S_OK},
      {&file, 10, S_OK},  {&file, 12, S_OK},         {&file, 4, S_OK},          {&file, 99, E_INVALIDARG},
  };
  for (const auto& row : rows) {
    SHCOLUMNID key = {FMTID_Storage, row.pid};
    VARIANT value;
    EXPECT_EQ(inDrive->GetDetailsEx(reinterpret_cast<PCUITEMID_CHILD>(row.item->Get()), &key, &value), row.result)
        << row.pid;
    if (SUCCEEDED(row.result)) EXPECT_EQ(value.vt, VT_BSTR);
    VariantClear(&value);
  }
  SHCOLUMNID other = {FMTID_SummaryInformation, 10};
  VARIANT value;
  EXPECT_EQ(inDrive->GetDetailsEx(reinterpret_cast<PCUITEMID_CHILD>(file.Get()), &other, &value), E_INVALIDARG);
}

TEST_F(FolderTest, PathsFollowTheListAndBinding) {
  EXPECT_EQ(PathOf(Folder({}).Get()), L"");
  EXPECT_EQ(PathOf(Folder({&drive}).Get()), L"\\A:");
  ComPtr<IShellFolder2> inDir = Folder({&drive, &folderItem});
  EXPECT_EQ(PathOf(inDir.Get()), L"\\A:\\dir");

  ComPtr<IShellFolder2> bound;
  ASSERT_EQ(Folder({}) ->BindToObject(drive.Get(), nullptr, IID_IShellFolder2, reinterpret_cast<void**>(&bound)), S_OK);
  EXPECT_EQ(PathOf(bound.Get()), L"\\A:");
  ComPtr<IPersistFolder2> persist;
  bound.As(&persist);
  PIDLIST_ABSOLUTE current = nullptr;
  ASSERT_EQ(persist->GetCurFolder(&current), S_OK);
  CItemIDList expected = CItemIDList::Concatenate(computer, drive.Get());
  ASSERT_EQ(GetIDListSize(current), expected.GetByteSize());
  EXPECT_EQ(memcmp(current, expected.Get(), expected.GetByteSize()), 0);
  CoTaskMemFree(current);
  CLSID clsid = {};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_RPLFolder));

  CItemIDList broken = CItemIDList::Concatenate(drive, drive);
  reinterpret_cast<ModuleItemID*>(const_cast<LPITEMIDLIST>(broken.GetItem(1)))->signature = 7;
  ComPtr<IShellFolder2> none;
  EXPECT_EQ(Folder({})->BindToObject(broken.Get(), nullptr, IID_IShellFolder2, reinterpret_cast<void**>(&none)),
            E_INVALIDARG);
  EXPECT_FALSE(none);
}

TEST_F(FolderTest, EnumerationFlagsChooseTheEntries) {
  ComPtr<IShellFolder2> inDrive = Folder({&drive});
  const struct { SHCONTF flags; std::vector<std::wstring> names; } rows[] = {
      {SHCONTF_FOLDERS, {L"dir"}},
      {SHCONTF_NONFOLDERS, {L"f.txt"}},
      {SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, {L"dir", L"f.txt"}},
      {SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, {L"f.txt", L"secret.txt"}},
      {SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_NETPRINTERSRCH, {}},
  };
  for (const auto& row : rows) EXPECT_EQ(Names(inDrive.Get(), row.flags), row.names) << row.flags;
  EXPECT_EQ(Names(Folder({}).Get(), SHCONTF_FOLDERS), std::vector<std::wstring>{L"A:"}) << "drives are folders";
  EXPECT_TRUE(Names(Folder({}).Get(), SHCONTF_NONFOLDERS).empty());
}

TEST_F(FolderTest, EmptyFolderListsWithoutRetryOrBox) {
  HRESULT hr = E_FAIL;
  EXPECT_TRUE(Names(Folder({&drive, &folderItem}).Get(), SHCONTF_NONFOLDERS, &hr).empty());
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
  EXPECT_EQ(volume.Calls().size(), 1u) << "one listing";
}

TEST_F(FolderTest, AFailedListingIsRetriedOnAFreshThread) {
  volume.Fail(L"GetEntries", E_FAIL, L"busy", 1);
  HRESULT hr = E_FAIL;
  EXPECT_EQ(Names(Folder({&drive}).Get(), SHCONTF_NONFOLDERS, &hr), std::vector<std::wstring>{L"f.txt"});
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());

  volume.Fail(L"GetEntries", E_ACCESSDENIED, L"gone");
  EXPECT_TRUE(Names(Folder({&drive}).Get(), SHCONTF_NONFOLDERS, &hr).empty());
  EXPECT_EQ(hr, E_ACCESSDENIED);
  EXPECT_EQ(ui.Calls(UiCall::MessageBox).size(), 1u) << "one box for both attempts";
}

TEST_F(FolderTest, AttributesByKindAndMask) {
  ComPtr<IShellFolder2> inDrive = Folder({&drive});
  CItemIDList invalid = MakeItem(L"\\A:\\x", L"x", 0, 0);
  reinterpret_cast<ModuleItemID*>(invalid.Get())->signature = 1;
  const struct { std::vector<const CItemIDList*> items; SFGAOF mask; SFGAOF expected; } rows[] = {
      {{&drive}, 0xFFFFFFFF & ~SFGAO_VALIDATE, 0xAA040140},
      {{&folderItem}, 0xFFFFFFFF & ~SFGAO_VALIDATE, 0xAA000173},
      {{&file}, 0xFFFFFFFF & ~SFGAO_VALIDATE, 0x02000173},
      {{&file, &folderItem}, 0xFFFFFFFF & ~SFGAO_VALIDATE, 0x02000173},
      {{&folderItem}, SFGAO_FOLDER | SFGAO_CANRENAME, SFGAO_FOLDER | SFGAO_CANRENAME},
      {{&drive}, SFGAO_CANRENAME | SFGAO_FOLDER, SFGAO_FOLDER},
      {{&invalid}, 0xFFFFFFFF & ~SFGAO_VALIDATE, 0},
  };
  for (const auto& row : rows) {
    std::vector<PCUITEMID_CHILD> lists;
    for (const CItemIDList* item : row.items) lists.push_back(reinterpret_cast<PCUITEMID_CHILD>(item->Get()));
    SFGAOF mask = row.mask;
    EXPECT_EQ(inDrive->GetAttributesOf(static_cast<UINT>(lists.size()), lists.data(), &mask), S_OK);
    EXPECT_EQ(mask, row.expected) << std::hex << row.expected;
  }
  PCUITEMID_CHILD none[1] = {nullptr};
  SFGAOF mask = SFGAO_FOLDER;
  EXPECT_EQ(inDrive->GetAttributesOf(1, none, &mask), E_INVALIDARG);
  // With validation the record must be in a fresh listing.
  PCUITEMID_CHILD stale[1] = {reinterpret_cast<PCUITEMID_CHILD>(fileInDir.Get())};
  mask = SFGAO_VALIDATE | SFGAO_FOLDER;
  EXPECT_EQ(inDrive->GetAttributesOf(1, stale, &mask), E_FAIL);
  PCUITEMID_CHILD listed[1] = {reinterpret_cast<PCUITEMID_CHILD>(file.Get())};
  mask = SFGAO_VALIDATE | SFGAO_CANCOPY;
  EXPECT_EQ(inDrive->GetAttributesOf(1, listed, &mask), S_OK);
  EXPECT_EQ(mask, static_cast<SFGAOF>(SFGAO_CANCOPY));
  mask = SFGAO_VALIDATE | SFGAO_CANCOPY;
  EXPECT_EQ(Folder({&drive, &folderItem})->GetAttributesOf(1, listed, &mask), E_FAIL) << "empty cache";
}

TEST_F(FolderTest, DisplayNamesByFlags) {
  ComPtr<IShellFolder2> root = Folder({});
  ComPtr<IShellFolder2> inDir = Folder({&drive, &folderItem});
  const struct { IShellFolder2* folder; const CItemIDList* item; SHGDNF flags; const wchar_t* name; } rows[] = {
      {root.Get(), &drive, SHGDN_INFOLDER, L"Module Disk (A:)"},
      {root.Get(), &drive, SHGDN_NORMAL, L"Module Disk A:\\"},
      {root.Get(), &drive, SHGDN_FORPARSING, L"Module Disk A:\\"},
      {inDir.Get(), &fileInDir, SHGDN_FORPARSING, L"Module Disk A:\\dir\\f.txt"},
      {inDir.Get(), &fileInDir, SHGDN_INFOLDER, L"f.txt"},
      {inDir.Get(), &fileInDir, SHGDN_NORMAL, L"f.txt"},
      {inDir.Get(), &fileInDir, SHGDN_INFOLDER | SHGDN_FORPARSING, L"f.txt"},
  };
  for (const auto& row : rows) {
    STRRET name = {};
    ASSERT_EQ(row.folder->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(row.item->Get()), row.flags, &name), S_OK);
    EXPECT_EQ(Text(name), row.name);
  }
  g_resourceModule.SetLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  STRRET name = {};
  root->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(drive.Get()), SHGDN_INFOLDER, &name);
  g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_EQ(Text(name), L"Modul-Datenträger (A:)");
}

TEST_F(FolderTest, CompareIdsOrdersAsTheShellReadsIt) {
  ComPtr<IShellFolder2> inDrive = Folder({&drive});
  CItemIDList upper = MakeItem(L"\\A:\\F.TXT", L"F.TXT", 1, 0);
  CItemIDList other = MakeItem(L"\\A:\\g.txt", L"g.txt", 1, 0);
  CItemIDList invalid = MakeItem(L"\\A:\\x", L"x", 0, 0), invalid2 = MakeItem(L"\\A:\\y", L"y", 0, 0);
  reinterpret_cast<ModuleItemID*>(invalid.Get())->signature = 1;
  reinterpret_cast<ModuleItemID*>(invalid2.Get())->signature = 1;
  CItemIDList longer = CItemIDList::Concatenate(folderItem, fileInDir);
  USHORT empty = 0;
  auto none = reinterpret_cast<LPCITEMIDLIST>(&empty);
  const struct { const char* name; LPCITEMIDLIST a, b; short order; } rows[] = {
      {"folder before file", folderItem.Get(), file.Get(), -1},
      {"file after folder", file.Get(), folderItem.Get(), 1},
      {"names without case", file.Get(), upper.Get(), 0},
      {"names in order", file.Get(), other.Get(), -1},
      {"prefix first", folderItem.Get(), longer.Get(), -1},
      {"longer after", longer.Get(), folderItem.Get(), 1},
      {"invalid after valid", invalid.Get(), file.Get(), 1},
      {"valid before invalid", file.Get(), invalid.Get(), -1},
      {"invalid equal", invalid.Get(), invalid2.Get(), 0},
      {"both empty", none, none, 0},
      {"empty first", none, file.Get(), -1},
  };
  for (const auto& row : rows) {
    HRESULT hr = inDrive->CompareIDs(0, row.a, row.b);
    EXPECT_TRUE(SUCCEEDED(hr)) << row.name;
    EXPECT_EQ(static_cast<short>(HRESULT_CODE(hr)), row.order) << row.name;
  }
  EXPECT_EQ(inDrive->CompareIDs(0, nullptr, file.Get()), E_POINTER);
}

// Renames go to the server only when the name can be carried out; every
// refusal and failure is one box, and a drive root is refused silently.
TEST_F(FolderTest, SetNameOfRenamesThroughTheServer) {
  CTestEntries taken;
  taken.AddEntry(L"taken.txt", 1, FILE_ATTRIBUTE_ARCHIVE, 45000.0, MakeDate(45000.5));
  volume.SetListing(L"\\A:\\taken.txt", taken);
  const struct {
    const char* name;
    const CItemIDList* item;
    const wchar_t* newName;
    const wchar_t* failCall;
    HRESULT result;
    std::vector<std::wstring> calls;
    const wchar_t* boxStart;   // null: no box
  } rows[] = {
      {"same name in other case", &file, L"F.TXT", nullptr, S_OK, {}, nullptr},
      {"file moves",
       &file,
       L"g.txt",
       nullptr,
       S_OK,
       {L"GetEntries \\A:\\g.txt", L"Move \\A:\\f.txt \\A:\\g.txt", L"GetEntries \\A:\\g.txt"},
       nullptr},
      {"folder moves as a folder",
       &folderItem,
       L"d2",
       nullptr,
       S_OK,
       {L"GetEntries \\A:\\d2", L"MoveDir \\A:\\dir \\A:\\d2", L"GetEntries \\A:\\d2"},
       nullptr},
      {"bad character", &file, L"a:b", nullptr, E_FAIL, {},
       L"A filename cannot contain any of the following characters:"},
      {"existing name", &file, L"taken.txt", nullptr, E_FAIL, {L"GetEntries \\A:\\taken.txt"},
       L"f.txt cannot be renamed: A file with the name you specified already exists."},
      {"failing move", &file, L"g.txt", L"Move", E_ACCESSDENIED,
       {L"GetEntries \\A:\\g.txt", L"Move \\A:\\f.txt \\A:\\g.txt"}, L"f.txt cannot be renamed: card locked"},
  };
  ComPtr<IShellFolder2> inDrive = Folder({&drive});
  for (const auto& row : rows) {
    CScriptedShellUi rowUi;
    volume.script.ClearFailures();
    if (row.failCall) volume.Fail(row.failCall, E_ACCESSDENIED, L"card locked");
    volume.script.ClearCalls();
    PITEMID_CHILD renamed = reinterpret_cast<PITEMID_CHILD>(1);
    EXPECT_EQ(inDrive->SetNameOf(nullptr, reinterpret_cast<PCUITEMID_CHILD>(row.item->Get()), row.newName,
                                 SHGDN_INFOLDER, &renamed),
              row.result)
        << row.name;
    EXPECT_EQ(renamed, nullptr) << row.name;
    EXPECT_EQ(volume.Calls(), row.calls) << row.name;
    std::vector<UiCallRecord> boxes = rowUi.Calls(UiCall::MessageBox);
    ASSERT_EQ(boxes.size(), row.boxStart ? 1u : 0u) << row.name;
    if (row.boxStart) {
      EXPECT_EQ(boxes[0].caption, L"Error Renaming File") << row.name;
      EXPECT_EQ(boxes[0].text.find(row.boxStart), 0u) << row.name << ": " << std::string(boxes[0].text.begin(),
                                                                                           boxes[0].text.end());
    }
  }

  CScriptedShellUi rootUi;
  volume.script.ClearCalls();
  EXPECT_EQ(Folder({})->SetNameOf(nullptr, reinterpret_cast<PCUITEMID_CHILD>(drive.Get()), L"B:", SHGDN_INFOLDER,
                                  nullptr),
            E_FAIL);
  EXPECT_TRUE(rootUi.Calls().empty()) << "a drive root is not renamed, and no box says so";
  EXPECT_TRUE(volume.Calls().empty());
  EXPECT_EQ(inDrive->SetNameOf(nullptr, nullptr, L"x", SHGDN_INFOLDER, nullptr), E_POINTER);
  EXPECT_EQ(inDrive->SetNameOf(nullptr, reinterpret_cast<PCUITEMID_CHILD>(file.Get()), nullptr, SHGDN_INFOLDER,
                               nullptr),
            E_POINTER);
}

TEST_F(FolderTest, UiObjectsCheckTheirCounts) {
  ComPtr<IShellFolder2> root = Folder({});
  PCUITEMID_CHILD one[1] = {reinterpret_cast<PCUITEMID_CHILD>(drive.Get())};
  PCUITEMID_CHILD two[2] = {one[0], one[0]};
  const struct { REFIID riid; UINT count; PCUITEMID_CHILD* lists; HRESULT result; } rows[] = {
      {IID_IExtractIconW, 2, two, E_INVALIDARG}, {IID_IQueryInfo, 0, one, E_INVALIDARG},
      {IID_IContextMenu, 0, one, E_UNEXPECTED},  {IID_IDataObject, 0, one, E_UNEXPECTED},
      {IID_IDropTarget, 0, one, E_UNEXPECTED},   {IID_IStream, 1, one, E_NOINTERFACE},
      {IID_IExtractIconW, 1, one, S_OK},         {IID_IQueryInfo, 1, one, S_OK},
  };
  for (const auto& row : rows) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(root->GetUIObjectOf(nullptr, row.count, row.lists, row.riid, nullptr, &object), row.result);
    if (object) static_cast<IUnknown*>(object)->Release();
  }
  // A drive's menu before any listing asks for its current capacity.
  void* menu = nullptr;
  root->GetUIObjectOf(nullptr, 1, one, IID_IContextMenu, nullptr, &menu);
  if (menu) static_cast<IUnknown*>(menu)->Release();
  ASSERT_FALSE(volume.Calls().empty());
  EXPECT_EQ(volume.Calls().front(), L"GetCapacity \\A:");
}

TEST_F(FolderTest, AFolderKeepsTheLibraryLoaded) {
  LONG before = GetComModule().GetLockCount();
  {
    ComPtr<IShellFolder2> folder = Folder({});
    EXPECT_GT(GetComModule().GetLockCount(), before);
    EXPECT_TRUE(volume.Calls().empty()) << "creation and Initialize open nothing";
  }
  EXPECT_EQ(GetComModule().GetLockCount(), before);
}

int ShellIconIndex(const wchar_t* name, DWORD attributes, UINT extra) {
  SHFILEINFOW info = {};
  const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extra | (attributes ? SHGFI_USEFILEATTRIBUTES : 0);
  SHGetFileInfoW(name, attributes, &info, sizeof(info), flags);
  return info.iIcon;
}

TEST_F(FolderTest, IconIndicesAreTheShellsOwn) {
  ComPtr<IShellFolder2> root = Folder({});
  ComPtr<IShellIcon> icons;
  ASSERT_EQ(root.As(&icons), S_OK);
  const int closed = ShellIconIndex(L"dir", FILE_ATTRIBUTE_DIRECTORY, 0);
  const int open = ShellIconIndex(L"dir", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON);
  const struct { const CItemIDList* item; UINT flags; int index; } rows[] = {
      {&drive, 0, ShellIconIndex(L"C:\\", 0, 0)},
      {&drive, GIL_OPENICON, ShellIconIndex(L"C:\\", 0, 0)},
      {&folderItem, 0, closed},
      {&folderItem, GIL_OPENICON, open},
      // The shell asks with more flags than the open one.
      {&folderItem, GIL_OPENICON | GIL_FORSHELL, open},
      {&folderItem, GIL_FORSHELL, closed},
      {&file, 0, ShellIconIndex(L"f.txt", FILE_ATTRIBUTE_ARCHIVE, 0)},
  };
  for (const auto& row : rows) {
    int index = -7;
    EXPECT_EQ(icons->GetIconOf(reinterpret_cast<PCUITEMID_CHILD>(row.item->Get()), row.flags, &index), S_OK);
    EXPECT_EQ(index, row.index) << GetItemName(row.item->Get()) << " flags " << row.flags;
  }
  int index = -7;
  USHORT empty = 0;
  EXPECT_EQ(icons->GetIconOf(reinterpret_cast<PCUITEMID_CHILD>(&empty), 0, &index), E_INVALIDARG);
  EXPECT_EQ(icons->GetIconOf(nullptr, 0, &index), E_POINTER);
  EXPECT_EQ(icons->GetIconOf(reinterpret_cast<PCUITEMID_CHILD>(drive.Get()), 0, nullptr), E_POINTER);
}

// What one ShellExecuteEx call was asked, copied while its list still lives.
struct ShellOpen {
  std::wstring verb, itemName;
  ULONG mask;
  std::wstring cls;
  int show;
  HWND owner;
  bool belowFolder;
};

class FolderOpenTest : public FolderTest {
protected:
  void ExpectOpens(size_t count) {
    for (size_t i = 0; i < count; ++i)
      ui.Answer(UiCall::Shell, [this](UiCallRecord& call) -> INT_PTR {
        auto* info = static_cast<SHELLEXECUTEINFOW*>(call.argument);
        auto* list = static_cast<LPCITEMIDLIST>(info->lpIDList);
        const UINT folderSize = ILGetSize(parent.Get()) - sizeof(USHORT);
        ShellOpen open{info->lpVerb ? info->lpVerb : L"", L"", info->fMask,
                       info->lpClass ? info->lpClass : L"", info->nShow, info->hwnd, false};
        if (list && ILGetSize(list) > folderSize && !memcmp(list, parent.Get(), folderSize)) {
          open.belowFolder = true;
          CItemIDList rest(reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(list) + folderSize));
          if (rest.GetCount() == 1) open.itemName = GetItemName(rest.Get());
        }
        opens.push_back(open);
        return TRUE;
      });
  }
  void SetUp() override {
    FolderTest::SetUp();
    parent = CItemIDList::Concatenate(CItemIDList(computer), drive);
  }
  CItemIDList parent;
  std::vector<ShellOpen> opens;
};

TEST_F(FolderOpenTest, FoldersOpenThenOneBoxForTheFiles) {
  CItemIDList other = MakeItem(L"\\A:\\other", L"other", 0, FILE_ATTRIBUTE_DIRECTORY);
  CItemIDList second = MakeItem(L"\\A:\\g.txt", L"g.txt", 1, 0);
  const HWND owner = reinterpret_cast<HWND>(0x1234);
  const struct { UINT command; const wchar_t* verb; } rows[] = {{IDM_EXPLORE, L"explore"}, {IDM_OPEN, L"open"}};
  for (const auto& row : rows) {
    opens.clear();
    const size_t boxes = ui.Calls(UiCall::MessageBox).size();
    ExpectOpens(2);
    LPCITEMIDLIST items[] = {file.Get(), folderItem.Get(), second.Get(), other.Get()};
    OpenFoldersInShell(row.command, parent.Get(), items, 4, nullptr, owner);
    ASSERT_EQ(opens.size(), 2u);
    for (const ShellOpen& open : opens) {
      EXPECT_EQ(open.verb, row.verb);
      EXPECT_EQ(open.mask, static_cast<ULONG>(SEE_MASK_IDLIST | SEE_MASK_CLASSNAME));
      EXPECT_EQ(open.cls, L"folder");
      EXPECT_EQ(open.show, SW_SHOWNORMAL);
      EXPECT_EQ(open.owner, owner);
      EXPECT_TRUE(open.belowFolder);
    }
    EXPECT_EQ(opens[0].itemName, L"\\A:\\dir");
    EXPECT_EQ(opens[1].itemName, L"\\A:\\other");
    auto calls = ui.Calls();
    ASSERT_EQ(calls.back().kind, UiCall::MessageBox) << "the box comes after the folders";
    auto box = ui.Calls(UiCall::MessageBox);
    ASSERT_EQ(box.size(), boxes + 1) << "one box for two files";
    EXPECT_EQ(box.back().text, g_resourceModule.LoadResString(IDS_FILES_NOT_OPENED).GetBstr());
    EXPECT_EQ(box.back().caption, L"Module");
    EXPECT_EQ(box.back().flags, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(box.back().owner, owner);
  }
}

TEST_F(FolderOpenTest, SkippedInvalidAndFileFreeSelections) {
  // The folder being shown is passed over whatever the case of its name;
  // drive roots open; a selection without files shows no box.
  CItemIDList shown = MakeItem(L"\\a:\\DIR", L"DIR", 0, FILE_ATTRIBUTE_DIRECTORY);
  CItemIDList withChild = CItemIDList::Concatenate(folderItem, fileInDir);
  USHORT empty = 0;
  ExpectOpens(1);
  LPCITEMIDLIST items[] = {folderItem.Get(), reinterpret_cast<LPCITEMIDLIST>(&empty), nullptr, drive.Get(),
                           withChild.Get()};
  OpenFoldersInShell(IDM_OPEN, parent.Get(), items, 5, shown.Get(), nullptr);
  // Both dirs are the shown one, so only the drive opens; without the skip
  // both open, each as its own record.
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].itemName, L"\\A:");
  opens.clear();
  ExpectOpens(3);
  OpenFoldersInShell(IDM_OPEN, parent.Get(), items, 5, nullptr, nullptr);
  ASSERT_EQ(opens.size(), 3u);
  EXPECT_EQ(opens[2].itemName, L"\\A:\\dir") << "only the first record of each list";
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
  OpenFoldersInShell(IDM_OPEN, parent.Get(), nullptr, 3, nullptr, nullptr);
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
}

}  // namespace
