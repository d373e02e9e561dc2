// The shared menu as the view and the context menus get it, and the menu item helpers.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "NamespaceIds.h"
#include "ResourceModule.h"
#include "SharedMenus.h"

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

class SharedMenuTest : public ::testing::Test {
protected:
  void SetUp() override { UseLanguage(kEnglish); }
  void TearDown() override { UseLanguage(kEnglish); }
  static void UseLanguage(LANGID language) {
    FreeSharedMenu();
    g_resourceModule.SetLanguage(language);
  }
};

// Ids of a menu's items in order; a separator is 0, a sub-menu -1.
std::vector<int> ItemIds(HMENU menu) {
  std::vector<int> ids;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOW info = {sizeof(info), MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU};
    GetMenuItemInfoW(menu, i, TRUE, &info);
    ids.push_back(info.hSubMenu ? -1 : (info.fType & MFT_SEPARATOR) ? 0 : static_cast<int>(info.wID));
  }
  return ids;
}

std::wstring ItemText(HMENU menu, UINT id) {
  wchar_t text[100] = L"";
  GetMenuStringW(menu, id, text, 100, MF_BYCOMMAND);
  return text;
}

TEST_F(SharedMenuTest, PopupsHoldTheirCommandsInOrder) {
  const std::vector<std::vector<int>> expected = {
      {-1, 0, -1, 8202, 0, 8386, 0, 8196},
      {-1, 0, -1, 8202, 0, 8386, 0, 8215, 0, 8324, 0, 8196},
      {8213, 8214, 8249, 0, 8261, 8327, 0, 8215, 0, 8196},
      {8208, 8209, 0, 8210, 8211, 0, 8196},
      {8213, 8214, 8249, 0, 8208, 8209, 8215, 0, 8210, 8211, 0, 8196},
      {8208, 8209, 8215, 0, 8246, 8247},
      {8393},
      {8213, 8214, 8249, 0, 8261, 8327, 0, 8196, 0},
      {8214, 8213, 8249, 0, 8324, 0, 8210, 8211, 8196, 0},
      {-1, 0, -1, 8202},
      {8273, 8274, 0, 2},
      {8249, 0},
      {8324, 0, 8210, 8211, 8196, 0},
      {8324, 0, 8196, 0},
      {8249, 0},
      {8214, 8213, 8249, 0},
      {8213, 8214, 8249, 0, 8208, 8209, 8215, 0, 8210, 8211, 0, 8196},
  };
  for (int popup = 0; popup < kSharedPopupCount; ++popup)
    EXPECT_EQ(ItemIds(GetSharedPopupMenu(popup)), expected[popup]) << "popup " << popup;
  EXPECT_EQ(GetSharedPopupMenu(kSharedPopupCount), nullptr);

  const struct { int popup, sub; std::vector<int> ids; } nested[] = {
      {0, 0, {8192, 8193, 8194, 8195}},
      {0, 2, {8197, 8198, 8410, 8412, 0, 8201}},
      {1, 2, {8197, 8198, 8199, 8200, 0, 8201}},
      {9, 2, {8197, 8303, 8198, 8199, 8200, 0, 8201}},
  };
  for (const auto& row : nested)
    EXPECT_EQ(ItemIds(GetSharedNestedPopup(row.popup, row.sub)), row.ids) << row.popup << "/" << row.sub;
  EXPECT_EQ(GetSharedNestedPopup(kDiskPopup, 0), nullptr);
}

TEST_F(SharedMenuTest, ViewModesShowARadioMarkAndKeepTheirTexts) {
  for (int popup : {kDiskViewPopup, kViewPopup, kSearchViewPopup}) {
    HMENU view = GetSharedNestedPopup(popup, 0);
    for (UINT id = IDM_LARGE_ICONS; id <= IDM_DETAILS; ++id) {
      MENUITEMINFOW info = {sizeof(info), MIIM_FTYPE};
      ASSERT_TRUE(GetMenuItemInfoW(view, id, FALSE, &info));
      // Only the View menus of the folder views are adjusted.
      EXPECT_EQ((info.fType & MFT_RADIOCHECK) != 0, popup != kSearchViewPopup) << popup << " " << id;
    }
    EXPECT_EQ(ItemText(view, IDM_DETAILS), L"&Details");
  }
}

TEST_F(SharedMenuTest, DoubleClickCommandIsTheDefaultItem) {
  const struct { int popup; int id; } rows[] = {
      {kDiskMenu, IDM_OPEN},    {kFolderMenu, IDM_OPEN},    {kSearchFolderMenu, IDM_OPEN},
      {kDiskPopup, IDM_EXPLORE}, {kFolderPopup, IDM_EXPLORE}, {kSearchFolderPopup, IDM_EXPLORE},
      {kFilePopup, -1},         {kRootMenu, -1},
  };
  for (const auto& row : rows) {
    HMENU popup = GetSharedPopupMenu(row.popup);
    EXPECT_EQ(static_cast<int>(GetMenuDefaultItem(popup, FALSE, 0)), row.id) << row.popup;
    if (row.id > 0) EXPECT_FALSE(ItemText(popup, row.id).empty()) << "the default item keeps its text";
  }
}

TEST_F(SharedMenuTest, TextsFollowTheChosenLanguage) {
  const struct { LANGID language; int popup, position; const wchar_t* text; } rows[] = {
      {kEnglish, kHelpMenu, 0, L"Info about &Module"},
      {kEnglish, kEditMenu, 0, L"Cu&t\tCtrl+X"},
      {kEnglish, kDropMenu, 3, L"Cancel"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), kDiskPopup, 1, L"&Open"},
      {kGerman, kHelpMenu, 0, L"Info über &Modul"},
      {kGerman, kDiskPopup, 1, L"Ö&ffnen"},
  };
  for (const auto& row : rows) {
    UseLanguage(row.language);
    wchar_t text[100] = L"";
    ASSERT_TRUE(GetSharedMenuString(text, 100, row.popup, row.position)) << row.text;
    EXPECT_STREQ(text, row.text);
  }
  wchar_t text[10] = L"";
  EXPECT_FALSE(GetSharedMenuString(text, 10, kDiskViewPopup, 1)) << "a separator has no text";
}

TEST_F(SharedMenuTest, NoMenuInALanguageWithoutResourcesGivesNoPopups) {
  UseLanguage(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
  EXPECT_EQ(GetSharedPopupMenu(kDiskPopup), nullptr);
  EXPECT_EQ(GetSharedNestedPopup(kViewPopup, 0), nullptr);
  wchar_t text[10] = L"x";
  EXPECT_FALSE(GetSharedMenuString(text, 10, kHelpMenu, 0));
}

// A source menu "a", "b", separator and a target menu "x", separator.
class MenuCopyTest : public ::testing::Test {
protected:
  void SetUp() override {
    source = CreatePopupMenu();
    AppendMenuW(source, MF_STRING, 101, L"a");
    AppendMenuW(source, MF_STRING | MF_GRAYED, 102, L"b");
    AppendMenuW(source, MF_SEPARATOR, 0, nullptr);
    target = CreatePopupMenu();
    AppendMenuW(target, MF_STRING, 201, L"x");
    AppendMenuW(target, MF_SEPARATOR, 0, nullptr);
  }
  void TearDown() override {
    DestroyMenu(source);
    DestroyMenu(target);
  }
  HMENU source = nullptr, target = nullptr;
};

TEST_F(MenuCopyTest, CopyMenuItemsPlacesItemsAsTheTargetPositionSays) {
  const struct { const char* name; UINT at; BOOL byPosition; UINT start; BOOL stop; std::vector<int> ids; } rows[] = {
      {"0 follows the source position", 0, TRUE, 0, FALSE, {101, 102, 0, 201, 0}},
      {"-1 appends in source order", static_cast<UINT>(-1), TRUE, 0, FALSE, {201, 0, 101, 102, 0}},
      {"a fixed position takes each item in turn", 1, TRUE, 0, FALSE, {201, 0, 102, 101, 0}},
      {"before a command", 201, FALSE, 1, FALSE, {102, 0, 201, 0}},
      {"from a start position", static_cast<UINT>(-1), TRUE, 1, FALSE, {201, 0, 102, 0}},
      {"start beyond the end copies nothing", 0, TRUE, 3, FALSE, {201, 0}},
      {"stop: a separator before an item is copied", 0, TRUE, 0, TRUE, {101, 102, 0, 201, 0}},
      {"stop: a separator after a separator is left out", 1, TRUE, 2, TRUE, {201, 0}},
      {"stop: past the target's end it is copied", 0, TRUE, 2, TRUE, {201, 0, 0}},
  };
  for (const auto& row : rows) {
    TearDown();
    SetUp();
    CopyMenuItems(target, source, row.at, row.byPosition, row.start, row.stop);
    EXPECT_EQ(ItemIds(target), row.ids) << row.name;
  }
}

TEST_F(MenuCopyTest, CopiedItemsKeepTextAndState) {
  CopyMenuItems(target, source, static_cast<UINT>(-1), TRUE, 0, FALSE);
  EXPECT_EQ(ItemText(target, 102), L"b");
  EXPECT_EQ(GetMenuState(target, 102, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  CopyMenuItems(nullptr, source, 0, TRUE, 0, FALSE);
  CopyMenuItems(target, nullptr, 0, TRUE, 0, FALSE);
  EXPECT_EQ(GetMenuItemCount(target), 5);
}

TEST_F(MenuCopyTest, SubMenusAreNotCopied) {
  HMENU withSub = GetSharedPopupMenu(kDiskViewPopup);
  ASSERT_NE(withSub, nullptr);
  CopyMenuItem(target, withSub, 0, TRUE, 0, TRUE);
  MENUITEMINFOW info = {sizeof(info), MIIM_SUBMENU | MIIM_STRING};
  wchar_t text[50] = L"";
  info.dwTypeData = text;
  info.cch = 50;
  ASSERT_TRUE(GetMenuItemInfoW(target, 0, TRUE, &info));
  EXPECT_EQ(info.hSubMenu, nullptr);
  EXPECT_STREQ(text, L"&View");
}

TEST_F(MenuCopyTest, DeleteAllMenuItemsEmptiesTheMenu) {
  DeleteAllMenuItems(source);
  EXPECT_EQ(GetMenuItemCount(source), 0);
}

TEST_F(MenuCopyTest, SetMenuItemStateGivesTheFourStates) {
  const struct { BOOL enabled, checked; UINT state; } rows[] = {
      {TRUE, FALSE, 0}, {FALSE, FALSE, 3}, {TRUE, TRUE, 8}, {FALSE, TRUE, 11},
  };
  for (const auto& row : rows) {
    SetMenuItemState(source, 102, row.enabled, row.checked);
    MENUITEMINFOW info = {sizeof(info), MIIM_STATE};
    ASSERT_TRUE(GetMenuItemInfoW(source, 102, FALSE, &info));
    EXPECT_EQ(info.fState, row.state) << row.enabled << row.checked;
  }
}

TEST_F(MenuCopyTest, SetMenuItemDefaultKeepsStateAndText) {
  SetMenuItemDefault(source, 102);
  EXPECT_EQ(GetMenuDefaultItem(source, FALSE, GMDI_USEDISABLED), 102u);
  EXPECT_EQ(GetMenuState(source, 102, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(ItemText(source, 102), L"b");
}

}  // namespace
