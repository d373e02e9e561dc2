// The property sheet: what the General page adds up, the pages a selection
// gets, a real modeless sheet driven from the test thread (apply, port,
// label, attributes) and the drive page's drawing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "ComBase.h"
#include "IdListData.h"
#include "DisplayText.h"
#include "LiveSheet.h"
#include "PropertySheet.h"
#include "RPLPropSheetExt.h"
#include "RegistryGuard.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "Settings.h"
#include "ShellExtClasses.h"
#include "ScriptedVolume.h"
#include "ShellSettingsStub.h"

namespace {
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
const wchar_t kSuiteKey[] = L"Software\\Halvorten\\Tarvaq Suite";

struct ItemSpec {
  const wchar_t* name;
  ULONG size;
  ULONG attributes;
  DATE lastWrite;
};

CItemIDList MakeItem(const ItemSpec& spec) {
  CItemIDList item;
  const UINT length = static_cast<UINT>(wcslen(spec.name));
  EXPECT_EQ(S_OK, item.CreateItem(spec.name, length, spec.name, length, spec.size, spec.attributes, 40000.5, 40001.5,
                                  spec.lastWrite));
  return item;
}

// A new[] array, as ShowPropertySheet and InitPropertyPages take it over.
CItemIDList* MakeItems(const std::vector<ItemSpec>& specs) {
  CItemIDList* items = new CItemIDList[specs.size()];
  for (size_t i = 0; i < specs.size(); ++i) items[i] = MakeItem(specs[i]);
  return items;
}

// Listing rows as the server gives them, each with its dates.
struct Row {
  const wchar_t* name;
  LONG size;
  LONG attributes;
};
void AddRows(CTestEntries* rows, std::initializer_list<Row> entries) {
  for (const Row& row : entries) rows->AddEntry(row.name, row.size, row.attributes, 40000.0, MakeDate(40000.5));
}

std::vector<ItemSpec> Drives(int count, ULONG total, DATE free) {
  // As the server names them.
  static const wchar_t* const kNames[] = {L"\\A:", L"\\B:", L"\\C:", L"\\D:", L"\\E:", L"\\F:",
                                          L"\\G:", L"\\H:", L"\\I:", L"\\J:", L"\\K:", L"\\L:"};
  std::vector<ItemSpec> drives;
  for (int i = 0; i < count; ++i) drives.push_back({kNames[i], total, 0x10, free});
  return drives;
}

std::wstring Wide(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

// An object made and prepared as the sheet thread does, released at the end.
struct PreparedSheet {
  RPLPropSheetExt* object = nullptr;
  HRESULT result = E_FAIL;
  PreparedSheet(const wchar_t* path, CItemIDList* items, int count) {
    EXPECT_EQ(S_OK, CreatePropSheetExt(&object));
    result = object->InitPropertyPages(path, items, count);
  }
  ~PreparedSheet() { object->Release(); }
};

// count, then count + 1 offsets, then the lists.
std::vector<BYTE> IdListArray(UINT count, LPCITEMIDLIST parent, LPCITEMIDLIST child) {
  const UINT parentSize = ILGetSize(parent);
  const UINT childSize = ILGetSize(child);
  const UINT header = 3 * sizeof(UINT);
  std::vector<BYTE> block(header + parentSize + childSize);
  const UINT fields[3] = {count, header, header + parentSize};
  memcpy(block.data(), fields, sizeof(fields));
  memcpy(block.data() + header, parent, parentSize);
  memcpy(block.data() + header + parentSize, child, childSize);
  return block;
}
}  // namespace

class PropertySheetTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { RegisterSheetParentClass(); }
  void SetUp() override {
    g_resourceModule.SetLanguage(kEnglish);
    m_baseline = GetComModule().GetLockCount();
  }
  void TearDown() override {
    g_resourceModule.SetLanguage(kEnglish);
    EXPECT_EQ(m_baseline, GetComModule().GetLockCount()) << "an object or page outlived the sheet";
  }

  HRESULT Show(const wchar_t* path, const std::vector<ItemSpec>& specs, LiveSheet* live) {
    live->AnswerNext(ui);
    const int count = static_cast<int>(specs.size());
    return ShowPropertySheet(path, count ? MakeItems(specs) : nullptr, count);
  }

  CRegistryGuard suiteKey{HKEY_CURRENT_USER, kSuiteKey};
  CScriptedVolume volume;
  CScriptedGeneral general;
  CVolumeFactoryScope factories{&volume, &general};
  CScriptedShellUi ui;
  LONG m_baseline = 0;
};

TEST_F(PropertySheetTest, GeneralDataAddsUpTheSelection) {
  CTestEntries dir;
  AddRows(&dir, {{L"a.txt", 10, 0x20}, {L"b.txt", 20, 0x20}, {L"sub", 0, 0x10}});
  volume.SetListing(L"\\A:\\dir\\*", dir);
  CTestEntries other;
  AddRows(&other, {{L"c.bin", 7, 0x20}});
  volume.SetListing(L"\\A:\\other\\*", other);
  const CBstr txtType = GetItemTypeName(MakeItem({L"\\A:\\x.txt", 0, 0x20, 0}).Get());
  const CBstr folderType = GetItemTypeName(MakeItem({L"\\A:\\dir", 0, 0x10, 0}).Get());
  struct {
    const char* name;
    std::vector<ItemSpec> items;
    int files, folders;
    ULONGLONG total;
    std::wstring location, type;
  } cases[] = {
      {"one file", {{L"\\A:\\x.txt", 1234, 0x20, 0}}, 1, 0, 1234, L"Module\\A:", Wide(txtType)},
      {"a folder counts what it holds, not itself", {{L"\\A:\\dir", 0, 0x10, 0}}, 2, 1, 30, L"Module\\A:",
       Wide(folderType)},
      {"a folder and a file", {{L"\\A:\\other", 0, 0x10, 0}, {L"\\A:\\x.txt", 5, 0x20, 0}}, 2, 1, 12,
       L"All in Module\\A:", L"Several types"},
      {"same type, several folders", {{L"\\A:\\x.txt", 1, 0x20, 0}, {L"\\B:\\y.txt", 2, 0x20, 0}}, 2, 0, 3,
       L"Various folders", L"All of type " + Wide(txtType)},
  };
  for (const auto& c : cases) {
    PreparedSheet prepared(L"", MakeItems(c.items), static_cast<int>(c.items.size()));
    ASSERT_EQ(S_OK, prepared.result) << c.name;
    EXPECT_EQ(c.files, prepared.object->FileCount()) << c.name;
    EXPECT_EQ(c.folders, prepared.object->FolderCount()) << c.name;
    EXPECT_EQ(c.total, prepared.object->TotalSize()) << c.name;
    EXPECT_EQ(c.location, Wide(prepared.object->LocationText())) << c.name;
    EXPECT_EQ(c.type, Wide(prepared.object->TypeText())) << c.name;
  }
}

TEST_F(PropertySheetTest, GeneralDataTakesTheModulesCurrentEntryAndStopsOnAFailedListing) {
  CTestEntries now;
  AddRows(&now, {{L"x.txt", 999, 0x21}});
  volume.SetListing(L"\\A:\\x.txt", now);
  {
    PreparedSheet prepared(L"", MakeItems({{L"\\A:\\x.txt", 1, 0x20, 0}}), 1);
    ASSERT_EQ(S_OK, prepared.result);
    EXPECT_EQ(999u, prepared.object->TotalSize());
    EXPECT_EQ(0x21u, prepared.object->AttributesPresent());
  }
  volume.Fail(L"GetEntries \\A:\\dir\\*", E_ACCESSDENIED, nullptr);
  PreparedSheet failed(L"", MakeItems({{L"\\A:\\dir", 0, 0x10, 0}}), 1);
  EXPECT_EQ(E_ACCESSDENIED, failed.result);
}

TEST_F(PropertySheetTest, PathsWithoutItemsFindTheirEntryDriveOrModule) {
  volume.SetDrives({{L"A:", 1000, 400, L"RADIO"}});
  CTestEntries file;
  AddRows(&file, {{L"f.txt", 3, 0x20}});
  volume.SetListing(L"\\A:\\f.txt", file);
  {
    PreparedSheet drive(L"A:", nullptr, 0);
    ASSERT_EQ(S_OK, drive.result);
    ASSERT_EQ(1, drive.object->ItemCount());
    EXPECT_EQ(1000u, GetItemSize(drive.object->Item(0)));
    EXPECT_EQ(400.0, GetItemLastWriteTime(drive.object->Item(0)));
    EXPECT_EQ(L"RADIO", Wide(drive.object->Label(0)));
  }
  {
    PreparedSheet entry(L"\\A:\\f.txt", nullptr, 0);
    ASSERT_EQ(S_OK, entry.result);
    EXPECT_EQ(1, entry.object->FileCount());
    EXPECT_EQ(3u, entry.object->TotalSize());
  }
  {
    general.model = L"KD72";
    PreparedSheet root(L"", nullptr, 0);
    ASSERT_EQ(S_OK, root.result);
    EXPECT_EQ(0, root.object->ItemCount());
    EXPECT_STREQ(L"KD72", root.object->ModelText());
  }
  PreparedSheet vanished(L"\\A:\\gone.txt", nullptr, 0);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), vanished.result);
  volume.Fail(L"GetCapacity", E_ACCESSDENIED, nullptr);
  PreparedSheet noCapacity(L"B:", nullptr, 0);
  EXPECT_EQ(E_ACCESSDENIED, noCapacity.result);
}

TEST_F(PropertySheetTest, TheSheetGetsItsCaptionAndPages) {
  volume.SetDrives({{L"A:", 1000, 400, L""}});
  struct {
    const char* name;
    const wchar_t* path;
    std::vector<ItemSpec> items;
    const wchar_t* caption;
    UINT pages;
  } cases[] = {
      {"module root", L"", {}, L"Module", 2},
      {"drive by path", L"A:", {}, L"Module Disk A:", 1},
      {"one file", L"\\A:", {{L"\\A:\\f.txt", 1, 0x20, 0}}, L"f.txt", 1},
      {"several files", L"\\A:", {{L"\\A:\\f.txt", 1, 0x20, 0}, {L"\\A:\\g.txt", 1, 0x20, 0}}, L"f.txt, ...", 1},
      {"eleven drives", L"", Drives(11, 100, 50), L"Module Disk A:, ...", 10},
  };
  for (const auto& c : cases) {
    // No sheet window: the start fails and every page goes again.
    ui.Answer(UiCall::PropertySheet, static_cast<INT_PTR>(0));
    const int count = static_cast<int>(c.items.size());
    EXPECT_EQ(E_OUTOFMEMORY, ShowPropertySheet(c.path, count ? MakeItems(c.items) : nullptr, count)) << c.name;
    const auto sheets = ui.Calls(UiCall::PropertySheet);
    ASSERT_FALSE(sheets.empty()) << c.name;
    EXPECT_EQ(c.caption, sheets.back().caption) << c.name;
    EXPECT_EQ(c.pages, sheets.back().flags) << c.name;
    EXPECT_EQ(m_baseline, GetComModule().GetLockCount()) << c.name;
  }
  const size_t before = ui.Calls(UiCall::PropertySheet).size();
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), ShowPropertySheet(L"\\A:\\gone.txt", nullptr, 0));
  EXPECT_EQ(before, ui.Calls(UiCall::PropertySheet).size());
}

TEST_F(PropertySheetTest, ExplorerGetsPagesOnlyForTheModuleEntry) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring base = std::wstring(folder) + L"vks_sheet_init";
  CreateDirectoryW(base.c_str(), nullptr);
  CreateDirectoryW((base + L"\\module").c_str(), nullptr);
  CreateDirectoryW((base + L"\\other").c_str(), nullptr);
  LPITEMIDLIST parent = nullptr;
  ASSERT_EQ(S_OK, SHParseDisplayName(base.c_str(), nullptr, &parent, 0, nullptr));
  ComPtr<IShellFolder> desktop;
  ASSERT_EQ(S_OK, SHGetDesktopFolder(&desktop));
  ComPtr<IShellFolder> shellFolder;
  ASSERT_EQ(S_OK, desktop->BindToObject(parent, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&shellFolder)));
  auto child = [&](const wchar_t* name) {
    LPITEMIDLIST list = nullptr;
    shellFolder->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(name), nullptr, &list, nullptr);
    return list;
  };
  LPITEMIDLIST module = child(L"module");
  LPITEMIDLIST other = child(L"other");
  ASSERT_TRUE(module && other);
  struct {
    const char* name;
    std::vector<BYTE> block;
    DWORD medium;
    HRESULT expected;
  } cases[] = {
      {"the module entry, any case", IdListArray(1, parent, module), TYMED_HGLOBAL, S_OK},
      {"another folder", IdListArray(1, parent, other), TYMED_HGLOBAL, E_INVALIDARG},
      {"two items", IdListArray(2, parent, module), TYMED_HGLOBAL, E_INVALIDARG},
      {"a stream", IdListArray(1, parent, module), TYMED_ISTREAM, E_UNEXPECTED},
      {"offsets past the block", std::vector<BYTE>{1, 0, 0, 0, 0xF0, 0, 0, 0, 0xF8, 0, 0, 0}, TYMED_HGLOBAL,
       E_INVALIDARG},
  };
  for (const auto& c : cases) {
    CIdListData data;
    data.block = c.block;
    data.medium = c.medium;
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, CreateRPLPropSheetExt(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    EXPECT_EQ(c.expected, init->Initialize(nullptr, &data, nullptr)) << c.name;
  }

  // Explorer may destroy pages it never showed, or refuse one: either way
  // the object goes with its last page (the fixture checks the lock count).
  struct Taken {
    std::vector<HPROPSHEETPAGE> pages;
    size_t refuseFrom;
  };
  auto take = [](HPROPSHEETPAGE page, LPARAM param) -> BOOL {
    Taken* taken = reinterpret_cast<Taken*>(param);
    if (taken->pages.size() >= taken->refuseFrom) return FALSE;
    taken->pages.push_back(page);
    return TRUE;
  };
  for (size_t refuseFrom : {size_t(2), size_t(1)}) {
    CIdListData data;
    data.block = IdListArray(1, parent, module);
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, CreateRPLPropSheetExt(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    ASSERT_EQ(S_OK, init->Initialize(nullptr, &data, nullptr));
    ComPtr<IShellPropSheetExt> sheet;
    ASSERT_EQ(S_OK, init.As(&sheet));
    Taken taken = {{}, refuseFrom};
    EXPECT_EQ(refuseFrom == 2 ? S_OK : E_OUTOFMEMORY, sheet->AddPages(take, reinterpret_cast<LPARAM>(&taken)));
    EXPECT_EQ(refuseFrom, taken.pages.size());
    sheet.Reset();
    init.Reset();
    EXPECT_LT(m_baseline, GetComModule().GetLockCount()) << "the pages hold the object";
    for (HPROPSHEETPAGE page : taken.pages) DestroyPropertySheetPage(page);
    EXPECT_EQ(m_baseline, GetComModule().GetLockCount());
  }
  CoTaskMemFree(module);
  CoTaskMemFree(other);
  CoTaskMemFree(parent);
  RemoveDirectoryW((base + L"\\module").c_str());
  RemoveDirectoryW((base + L"\\other").c_str());
  RemoveDirectoryW(base.c_str());
}

TEST_F(PropertySheetTest, ThePortPageSelectsAndStoresThePort) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSuiteKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                           nullptr));
  RegSetValueExW(key, L"Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"com2"), 5 * sizeof(wchar_t));
  RegCloseKey(key);
  general.ports = L"COM1;COM2;COM3";
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"", {}, &live));
  HWND port = live.Page(1);
  ASSERT_TRUE(port);
  HWND list = GetDlgItem(port, IDC_PAGE_PORTS);
  EXPECT_EQ(3, SendMessageW(list, LB_GETCOUNT, 0, 0));
  EXPECT_EQ(1, SendMessageW(list, LB_GETCURSEL, 0, 0)) << "the configured port whatever its case";
  EXPECT_EQ(L"Module", DlgText(port, IDC_PAGE_NAME));
  EXPECT_EQ(L"GetCommPorts 5", general.Calls().back());

  auto choose = [&](int index) {
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(port, WM_COMMAND, MAKEWPARAM(IDC_PAGE_PORTS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  };
  choose(-1);
  EXPECT_FALSE(live.Apply()) << "no selection";
  auto boxes = ui.Calls(UiCall::MessageBox);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Please select a port.", boxes[0].text);
  EXPECT_EQ(L"Module", boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes[0].flags);

  volume.Fail(L"SelectPort", E_ACCESSDENIED, nullptr, 1);
  choose(0);
  EXPECT_FALSE(live.Apply()) << "a failing SelectPort";
  choose(2);
  EXPECT_TRUE(live.Apply());
  wchar_t stored[16] = {};
  ReadPortSetting(stored, ARRAYSIZE(stored));
  EXPECT_STREQ(L"COM3", stored);
  const auto calls = volume.Calls();
  EXPECT_EQ(L"SelectPort COM3", calls.back());
  EXPECT_EQ(1u, ui.Calls(UiCall::MessageBox).size()) << "SelectPort fails without a box";
  live.Close();
}

TEST_F(PropertySheetTest, ThePortPageStaysEmptyWithoutAServerAndNeverApplies) {
  general.Fail(L"GetCommPorts", E_FAIL, nullptr);
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"", {}, &live));
  HWND port = live.Page(1);
  EXPECT_EQ(0, SendMessageW(GetDlgItem(port, IDC_PAGE_PORTS), LB_GETCOUNT, 0, 0));
  EXPECT_TRUE(live.Apply());
  EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
  HWND module = live.Page(0);
  EXPECT_EQ(L"MC35i", DlgText(module, IDC_PAGE_MODEL));
  live.Close();
}

TEST_F(PropertySheetTest, TheDrivePageShowsSpaceAndWritesTheLabel) {
  struct {
    const char* name;
    ULONG total;
    DATE free;
    const wchar_t* label;   // null: GetLabel fails
    std::wstring used, freeText, totalText;
  } cases[] = {
      {"a quarter used", 1000, 750, L"RADIO", Bytes(250), Bytes(750), Bytes(1000)},
      {"free above total", 1000, 5000, L"", Bytes(0), Bytes(1000), Bytes(1000)},
      {"no capacity", 0, 0, L"X", L"Not available!", L"Not available!", L"Not available!"},
      {"unreadable label", 2048, 1024, nullptr, Bytes(1024), Bytes(1024), Bytes(2048)},
  };
  for (const auto& c : cases) {
    volume.SetDrives({{L"A:", static_cast<LONG>(c.total), 0, c.label ? c.label : L""}});
    volume.script.ClearFailures();
    if (!c.label) volume.Fail(L"GetLabel", E_FAIL, nullptr);
    LiveSheet live;
    ASSERT_EQ(S_OK, Show(L"", {{L"A:", c.total, 0x10, c.free}}, &live)) << c.name;
    HWND page = live.Page(0);
    EXPECT_EQ(c.used, DlgText(page, IDC_PAGE_USED_BYTES)) << c.name;
    EXPECT_EQ(c.freeText, DlgText(page, IDC_PAGE_FREE_BYTES)) << c.name;
    EXPECT_EQ(c.totalText, DlgText(page, IDC_PAGE_TOTAL_BYTES)) << c.name;
    HWND label = GetDlgItem(page, IDC_PAGE_LABEL);
    EXPECT_EQ(c.label != nullptr, IsWindowEnabled(label) != FALSE) << c.name;
    if (c.label) {
      EXPECT_EQ(c.label, DlgText(page, IDC_PAGE_LABEL)) << c.name;
      EXPECT_TRUE(live.Apply()) << "nothing changed yet: " << c.name;
      volume.script.ClearCalls();
      SetWindowTextW(label, L"");   // the user empties the field
      EXPECT_TRUE(live.Apply()) << c.name;
      const auto calls = volume.Calls();
      ASSERT_EQ(1u, calls.size()) << c.name;
      EXPECT_EQ(L"SetLabel A: ", calls[0]) << c.name;
    }
    live.Close();
  }
}

TEST_F(PropertySheetTest, AFailedLabelKeepsThePageChanged) {
  volume.SetDrives({{L"A:", 100, 0, L"OLD"}});
  volume.Fail(L"SetLabel", E_ACCESSDENIED, L"Link down", 1);
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"A:", {}, &live));
  HWND page = live.Page(0);
  SetWindowTextW(GetDlgItem(page, IDC_PAGE_LABEL), L"NEW");
  EXPECT_FALSE(live.Apply());
  EXPECT_EQ(1u, ui.Calls(UiCall::MessageBox).size());
  EXPECT_TRUE(live.Apply()) << "still marked, so tried again";
  const auto calls = volume.Calls();
  EXPECT_EQ(L"SetLabel A: NEW", calls.back());
  live.Close();
}

TEST_F(PropertySheetTest, ElevenDrivesGetTenTitledPages) {
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"", Drives(11, 100, 50), &live));
  HWND tabs = reinterpret_cast<HWND>(SendMessageW(live.sheet, PSM_GETTABCONTROL, 0, 0));
  ASSERT_EQ(10, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < 10; ++i) {
    wchar_t title[64] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    item.cchTextMax = ARRAYSIZE(title);
    SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(L"Module Disk ") + static_cast<wchar_t>(L'A' + i) + L":", title);
  }
  live.Close();
}

TEST_F(PropertySheetTest, TheItemsPageShowsTextsAndAppliesAttributes) {
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"\\A:", {{L"\\A:\\one.bin", 1, 0x21, 40002.0}}, &live));
  HWND page = live.Page(0);
  EXPECT_EQ(std::wstring(FormatByteSize(1).GetBstr()) + L" (1 Byte)", DlgText(page, IDC_PAGE_SIZE));
  EXPECT_EQ(L"one.bin", DlgText(page, IDC_PAGE_NAME));
  EXPECT_EQ(Wide(FormatDateTime(40002.0, FALSE, FALSE, FALSE)), DlgText(page, IDC_PAGE_MODIFIED));
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_PAGE_READONLY));
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_PAGE_ARCHIVE));
  EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_PAGE_HIDDEN));
  live.Close();

  CTestEntries dir;
  AddRows(&dir, {{L"a", 1000, 0x20}, {L"b", 234, 0x20}, {L"s", 0, 0x10}});
  volume.SetListing(L"\\A:\\dir\\*", dir);
  LiveSheet folder;
  ASSERT_EQ(S_OK, Show(L"\\A:", {{L"\\A:\\dir", 0, 0x10, 0}}, &folder));
  page = folder.Page(0);
  EXPECT_EQ(L"2 Files, 1 Folder", DlgText(page, IDC_PAGE_CONTAINS));
  EXPECT_EQ(std::wstring(FormatByteSize(1234).GetBstr()) + L" (" + Bytes(1234) + L")", DlgText(page, IDC_PAGE_SIZE));
  folder.Close();
}

TEST_F(PropertySheetTest, MixedAttributesStayEachItemsOwn) {
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"\\A:", {{L"\\A:\\d", 0, 0x12, 0}, {L"\\A:\\f", 1, 0x20, 0}}, &live));
  HWND page = live.Page(0);
  HWND hidden = GetDlgItem(page, IDC_PAGE_HIDDEN);
  EXPECT_EQ(BST_INDETERMINATE, IsDlgButtonChecked(page, IDC_PAGE_HIDDEN));
  EXPECT_EQ(static_cast<LONG>(BS_AUTO3STATE), GetWindowLongW(hidden, GWL_STYLE) & BS_TYPEMASK);
  EXPECT_EQ(L"1 File, 1 Folder", DlgText(page, IDC_PAGE_NAME));
  SendMessageW(GetDlgItem(page, IDC_PAGE_READONLY), BM_CLICK, 0, 0);
  EXPECT_TRUE(live.Apply());
  EXPECT_EQ(0x03, volume.AttributesOf(L"\\A:\\d")) << "hidden kept, no folder bit";
  EXPECT_EQ(0x21, volume.AttributesOf(L"\\A:\\f")) << "still not hidden";
  volume.script.ClearCalls();
  SendMessageW(GetDlgItem(page, IDC_PAGE_READONLY), BM_CLICK, 0, 0);
  EXPECT_TRUE(live.Apply());
  EXPECT_EQ(0x02, volume.AttributesOf(L"\\A:\\d")) << "compared with what was applied, not what was read";
  EXPECT_EQ(0x20, volume.AttributesOf(L"\\A:\\f"));
  volume.Fail(L"SetAttributes", E_ACCESSDENIED, L"Link down");
  SendMessageW(GetDlgItem(page, IDC_PAGE_SYSTEM), BM_CLICK, 0, 0);
  EXPECT_FALSE(live.Apply());
  EXPECT_EQ(1u, ui.Calls(UiCall::MessageBox).size());
  live.Close();
}

TEST_F(PropertySheetTest, GermanPagesCarryGermanTexts) {
  g_resourceModule.SetLanguage(kGerman);
  LiveSheet live;
  ASSERT_EQ(S_OK, Show(L"", {{L"A:", 0, 0x10, 0}}, &live));
  HWND page = live.Page(0);
  EXPECT_EQ(L"Nicht verfügbar!", DlgText(page, IDC_PAGE_TOTAL_BYTES));
  EXPECT_EQ(L"Modul-Datenträger", DlgText(page, IDC_PAGE_TYPE));
  live.Close();
}

namespace {
// A 32-bit top-down DIB the test reads pixel by pixel.
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  Canvas(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

// A dialog's WM_DRAWITEM answer is not the procedure's, so only the pixels tell.
void Draw(HWND page, UINT id, const Canvas& canvas, int width, int height, UINT action = ODA_DRAWENTIRE) {
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_STATIC;
  item.CtlID = id;
  item.itemAction = action;
  item.hwndItem = GetDlgItem(page, static_cast<int>(id));
  item.hDC = canvas.dc;
  item.rcItem = {0, 0, width, height};
  SendMessageW(page, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item));
}
}  // namespace

TEST_F(PropertySheetTest, TheDrivePageDrawsInItsColours) {
  const COLORREF blue = 0xFF0000, magenta = 0xFF00FF, purple = 0x800080;
  struct {
    const char* name;
    ULONG total;
    DATE free;
    COLORREF top, frontRim;
  } cases[] = {
      {"nothing free", 1000, 0, blue, 0x800000},
      {"all free", 1000, 1000, magenta, purple},
      {"half free", 1000, 500, 0, purple},
      {"no capacity", 0, 0, blue, purple},
  };
  const int width = 81, height = 41;
  for (const auto& c : cases) {
    LiveSheet live;
    ASSERT_EQ(S_OK, Show(L"", {{L"A:", c.total, 0x10, c.free}}, &live)) << c.name;
    HWND page = live.Page(0);
    Canvas squares(10, 10);
    Draw(page, IDC_PAGE_USED_SQUARE, squares, 10, 10);
    EXPECT_EQ(blue, squares.At(5, 5));
    Draw(page, IDC_PAGE_FREE_SQUARE, squares, 10, 10);
    EXPECT_EQ(magenta, squares.At(5, 5));
    Canvas nothing(10, 10);
    Draw(page, IDC_PAGE_FREE_SQUARE, nothing, 10, 10, ODA_FOCUS);
    EXPECT_EQ(RGB(255, 255, 255), nothing.At(5, 5)) << "only whole items are drawn";

    Canvas chart(width, height);
    Draw(page, IDC_PAGE_CHART, chart, width, height);
    const int depth = height / 6 + 1;
    const int ellipse = (height - depth) % 2 ? height - depth : height - depth - 1;
    if (c.top) {
      EXPECT_EQ(c.top, chart.At(width / 2, ellipse / 2)) << c.name;
    }
    // Just below the top ellipse's lowest point lies the front rim.
    EXPECT_EQ(c.frontRim, chart.At(width / 2, ellipse + depth / 2)) << c.name;
    live.Close();
  }
}
