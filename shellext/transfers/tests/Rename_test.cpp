// Rename refuses names it cannot carry out before it asks the server anything.
#include <gtest/gtest.h>
#include <windows.h>
#include "ItemIDList.h"
#include "ModuleCommands.h"
#include "XferTestUi.h"

TEST(RenameItem, RefusedNamesMakeNoServerCall) {
  CItemIDList item;
  const wchar_t path[] = L"\\A:\\dir\\f.txt";
  ASSERT_EQ(S_OK, item.CreateItem(path, static_cast<UINT>(wcslen(path)), L"f.txt", 5, 3, 0, 0, 0, 0));
  const struct {
    const wchar_t* name;
    bool box;
  } cases[] = {{L"", false}, {L".", false}, {L"..", false}, {L"a*b", true}, {L"x|", true}, {L"\"q\"", true}};
  for (const auto& c : cases) {
    CXferTestUi ui;
    CScriptedVolume volume;
    EXPECT_EQ(E_FAIL, RenameItem(item.Get(), c.name, &volume, nullptr));
    EXPECT_TRUE(volume.calls.empty());
    ASSERT_EQ(c.box ? 1u : 0u, ui.shown.size());
    if (c.box) {
      EXPECT_EQ(L"Error Renaming File", ui.shown[0].caption);
      EXPECT_EQ(0u, ui.shown[0].text.find(L"A filename cannot contain any of the following characters:"));
    }
  }
}
