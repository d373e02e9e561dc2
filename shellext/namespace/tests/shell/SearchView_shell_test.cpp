// The result list of a search window: the view made for a stand-in search
// window over the scripted volume. A search view starts from the module's
// place under My Computer, so the DLL is registered meanwhile.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "../ViewTestSupport.h"
#include "ControlReaders.h"
#include "ItemIDList.h"
#include "ModuleShellTest.h"
#include "RPLView.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellSettingsStub.h"

namespace {

const DATE kNoon = 45000.5;   // 2023-03-15 12:00

class SearchViewShell : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(m_extension.Register(), S_OK);
    m_language = g_resourceModule.GetLanguage();
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    m_user.Set(kAdvancedKeyPath, nullptr, 0, nullptr, 0);
    volume.SetDrives({{L"A:", 1000000, 250000, L"Flash"}});
  }
  void TearDown() override { g_resourceModule.SetLanguage(m_language); }

  CScriptedVolume volume;
  CShellSettingsStub settings;
  CScriptedShellUi ui;

private:
  shelltest::CRegisteredExtension m_extension;
  CScratchUserRoot m_user{L"Software\\VKSTest\\SearchView"};
  CVolumeFactoryScope m_scope{&volume};
  LANGID m_language = 0;
};

// A stand-in for the search window whose result list the view is.
class CFakeSearchWindow final : public ISearchViewHost {
public:
  explicit CFakeSearchWindow(const wchar_t* path) : m_path(path) {
    m_window = CreateWindowExW(0, L"STATIC", L"search", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                               nullptr, nullptr);
  }
  ~CFakeSearchWindow() { DestroyWindow(m_window); }
  HWND SearchWindow() override { return m_window; }
  CBstr SearchPath() override { return CBstr(m_path); }

private:
  const wchar_t* m_path;
  HWND m_window = nullptr;
};

CItemIDList Hit(const wchar_t* path, ULONG size, ULONG attributes) {
  CItemIDList hit;
  const wchar_t* name = wcsrchr(path, L'\\') + 1;
  hit.CreateItem(path, static_cast<UINT>(wcslen(path)), name, static_cast<UINT>(wcslen(name)), size, attributes, 0,
                 0, kNoon);
  return hit;
}

TEST_F(SearchViewShell, ResultsListHitsWithTheirFolders) {
  CFakeSearchWindow search(L"\\A:");
  RPLView* view = new RPLView();
  ASSERT_EQ(view->InitForSearch(&search), S_OK);
  EXPECT_EQ(view->InitForSearch(&search), E_FAIL);
  EXPECT_TRUE(view->IsSearchView());
  RECT rect = {0, 0, 500, 300};
  ASSERT_EQ(view->CreateSearchResultWindow(&rect), S_OK);
  HWND list = view->ListWindow();
  ASSERT_TRUE(list);
  EXPECT_EQ(GetParent(GetParent(list)), search.SearchWindow());
  EXPECT_EQ(view->ListId(), kFileListId);
  std::vector<std::wstring> titles;
  for (int c = 0; c < ListViewColumnCount(list); ++c) titles.push_back(ListViewColumnTitle(list, c));
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"Name", L"in folder", L"Size", L"Type", L"Modified"}));
  ASSERT_EQ(volume.SinkCount(), 1u);
  EXPECT_EQ(volume.SinkPath(0), L"\\A:");

  for (const CItemIDList& hit : {Hit(L"\\A:\\dir\\f.txt", 5, 0x20), Hit(L"\\A:\\g.txt", 7, 0x20),
                                 Hit(L"\\A:\\dir\\sub", 0, 0x10), Hit(L"\\A:\\dir\\f.txt", 5, 0x20)})
    ASSERT_EQ(view->AddItem(hit.Get()), S_OK);
  EXPECT_EQ(view->AddItem(nullptr), E_POINTER);
  // Hits stay in the order they were found.
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"f.txt", L"g.txt", L"sub", L"f.txt"}));
  EXPECT_EQ(ListViewColumn(list, 1), (std::vector<std::wstring>{L"A:\\dir", L"A:", L"A:\\dir", L"A:\\dir"}));
  EXPECT_EQ(ListViewColumn(list, 2), (std::vector<std::wstring>{L"5 bytes", L"7 bytes", L"", L"5 bytes"}));
  EXPECT_FALSE(ListViewText(list, 0, 4).empty());

  // The folder column sorts by folder, folders and files mixed.
  for (UINT expected : {8303u, 8342u}) {
    NMLISTVIEW click = {};
    click.iSubItem = 1;
    SendNotify(GetParent(list), list, LVN_COLUMNCLICK, &click.hdr);
    EXPECT_EQ(view->SortCommand(), expected);
  }
  EXPECT_EQ(ListViewColumn(list, 1), (std::vector<std::wstring>{L"A:\\dir", L"A:\\dir", L"A:\\dir", L"A:"}));
  SendCommand(GetParent(list), 8197);   // by name again: folder first
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"sub", L"f.txt", L"f.txt", L"g.txt"}));

  // Only "D:" and a deleted item's name change the list: the last such row goes.
  volume.script.ClearCalls();
  for (const wchar_t* ignored : {L"\\A:\\dir\\f.txt", L"D", L"D:\\A:\\none"})
    EXPECT_EQ(volume.FireChange(ignored), 1) << ignored;
  EXPECT_EQ(ListViewCount(list), 4);
  EXPECT_TRUE(volume.Calls().empty()) << "a search view never re-lists";
  EXPECT_EQ(volume.FireChange(L"D:\\A:\\DIR\\F.TXT"), 1);
  EXPECT_EQ(ListViewColumn(list, 0), (std::vector<std::wstring>{L"sub", L"f.txt", L"g.txt"}));
  CItemIDList* all = nullptr;
  int count = 0;
  ASSERT_EQ(view->GetAllItems(&all, &count), S_OK);
  EXPECT_EQ(count, 3) << "the deleted hit's entry is gone too";
  delete[] all;

  view->DestroyViewWindow();
  EXPECT_EQ(volume.SinkCount(), 0u);
  view->Release();
}

}  // namespace
