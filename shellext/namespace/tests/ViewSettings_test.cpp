// Explorer's settings as the view reads them, against a scratch user root.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "ModuleEntry.h"
#include "Seams.h"
#include "ShellSettingsStub.h"
#include "ViewSettings.h"
#include "ViewTestSupport.h"

namespace {

const wchar_t kScratch[] = L"Software\\VKSTest\\ViewSettings";
const DWORD kMissing = 0xFFFFFFFF;

TEST(ViewSettingsTest, HiddenAndSystemEntriesFollowTheAdvancedValues) {
  CScratchUserRoot user(kScratch);
  struct Case {
    DWORD hidden, superHidden;
    bool hiddenShown, systemShown, bothShown;
  } cases[] = {
      {1, 0, true, true, false},          {1, 1, true, true, true},          {1, kMissing, true, true, true},
      {2, 0, false, true, false},         {2, 1, false, true, false},        {2, kMissing, false, true, false},
      {0, 0, false, false, false},        {0, 1, false, false, false},       {0, kMissing, false, false, false},
      {kMissing, 0, true, true, false},   {kMissing, 1, true, true, true},   {kMissing, kMissing, true, true, true},
  };
  for (const Case& c : cases) {
    user.Clear();
    user.Set(kAdvancedKeyPath, nullptr, 0, nullptr, 0);
    if (c.hidden != kMissing) user.SetDword(kAdvancedKeyPath, L"Hidden", c.hidden);
    if (c.superHidden != kMissing) user.SetDword(kAdvancedKeyPath, L"ShowSuperHidden", c.superHidden);
    ListingSettings settings = ReadListingSettings();
    EXPECT_EQ(IsEntryShown(FILE_ATTRIBUTE_HIDDEN, settings), c.hiddenShown) << c.hidden << " " << c.superHidden;
    EXPECT_EQ(IsEntryShown(FILE_ATTRIBUTE_SYSTEM, settings), c.systemShown) << c.hidden << " " << c.superHidden;
    EXPECT_EQ(IsEntryShown(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY, settings),
              c.bothShown)
        << c.hidden << " " << c.superHidden;
    EXPECT_TRUE(IsEntryShown(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, settings));
  }
}

TEST(ViewSettingsTest, ValuesOfAnotherTypeCountAsMissing) {
  CScratchUserRoot user(kScratch);
  DWORD zero = 0;
  user.Set(kAdvancedKeyPath, L"Hidden", REG_BINARY, &zero, sizeof zero);
  user.Set(kAdvancedKeyPath, L"ShowSuperHidden", REG_BINARY, &zero, sizeof zero);
  EXPECT_TRUE(ReadShowHidden());
  EXPECT_TRUE(ReadShowSystem());
  EXPECT_TRUE(ReadShowSuperHidden());
}

TEST(ViewSettingsTest, WithoutTheAdvancedKeyTheShellStateDecidesOnHidden) {
  CScratchUserRoot user(kScratch);
  BYTE showAll[36] = {};
  showAll[4] = 0x01;
  BYTE hideAll[36] = {};
  hideAll[4] = 0xFE;   // every other bit set: only bit 0 counts
  struct Case {
    const char* what;
    DWORD type;        // 0: no value; REG_NONE: no Explorer key
    const BYTE* data;
    DWORD bytes;
    bool hidden;
  } cases[] = {
      {"bit set", REG_BINARY, showAll, sizeof showAll, true},
      {"bit clear", REG_BINARY, hideAll, sizeof hideAll, false},
      {"not binary", REG_DWORD, hideAll, 4, true},
      {"missing value", 0, nullptr, 0, true},
      {"no Explorer key", REG_NONE, nullptr, 0, true},
  };
  for (const Case& c : cases) {
    user.Clear();
    if (c.type != REG_NONE) user.Set(kExplorerKeyPath, c.type ? L"ShellState" : nullptr, c.type, c.data, c.bytes);
    EXPECT_EQ(ReadShowHidden(), c.hidden) << c.what;
    EXPECT_TRUE(ReadShowSystem()) << c.what;
    EXPECT_TRUE(ReadShowSuperHidden()) << c.what;
  }
}

TEST(ViewSettingsTest, ExtendedStyleFollowsClickModeAndUnderlining) {
  CScratchUserRoot user(kScratch);
  CShellSettingsStub settings;
  DllVersion probed = Comctl32Version();
  struct Case {
    const char* what;
    DllVersion comctl;
    bool singleClick;
    bool explorerKey;
    DWORD underlineType;       // 0: missing
    DWORD underline;
    const wchar_t* anchor;     // null: missing value; L"-": no key
    DWORD expected;
  } cases[] = {
      {"old comctl32", {4, 0}, true, true, REG_DWORD, 2, L"yes", 0},
      {"4.70 double-click", {4, 70}, false, true, REG_DWORD, 2, L"yes", 0x10},
      {"double-click", {5, 81}, false, true, REG_DWORD, 2, L"yes", 0x10},
      {"no Explorer key", {5, 81}, true, false, 0, 0, L"yes", 0x58},
      {"no IconUnderline", {5, 81}, true, true, 0, 0, L"yes", 0x58},
      {"IconUnderline 2", {5, 81}, true, true, REG_DWORD, 2, L"yes", 0x858},
      {"IconUnderline 2 as binary", {5, 81}, true, true, REG_BINARY, 2, nullptr, 0x858},
      {"hover", {5, 81}, true, true, REG_DWORD, 3, L"hover", 0x858},
      {"HOVER", {5, 81}, true, true, REG_DWORD, 3, L"HOVER", 0x858},
      {"yes", {5, 81}, true, true, REG_DWORD, 1, L"yes", 0x1058},
      {"Yes", {5, 81}, true, true, REG_DWORD, 1, L"Yes", 0x1058},
      {"no", {5, 81}, true, true, REG_DWORD, 1, L"no", 0x58},
      {"anchor missing", {5, 81}, true, true, REG_DWORD, 1, nullptr, 0x58},
      {"no IE key", {5, 81}, true, true, REG_DWORD, 1, L"-", 0x58},
  };
  for (const Case& c : cases) {
    user.Clear();
    SetComctl32VersionForTest(c.comctl);
    settings.singleClick = c.singleClick;
    if (c.explorerKey) user.Set(kExplorerKeyPath, nullptr, 0, nullptr, 0);
    if (c.underlineType) user.Set(kExplorerKeyPath, L"IconUnderline", c.underlineType, &c.underline, sizeof c.underline);
    if (c.anchor && wcscmp(c.anchor, L"-") != 0) user.SetText(kInternetMainKeyPath, L"Anchor Underline", c.anchor);
    else if (!c.anchor) user.Set(kInternetMainKeyPath, nullptr, 0, nullptr, 0);
    EXPECT_EQ(GetListViewExStyle(), c.expected) << c.what;
  }
  SetComctl32VersionForTest(probed);
}

}  // namespace
