// The find-menu handler, the opener and StartSearch.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "FakeVolume.h"
#include "RPLSearchHandler.h"
#include "SearchDialog.h"
#include "SearchEntry.h"
#include "Seams.h"

namespace {

CFakeVolume g_volume;
HRESULT FakeVolumeFactory(IVKSVolume** volume) {
  *volume = &g_volume;
  g_volume.AddRef();
  return S_OK;
}
HRESULT RefusingFactory(IVKSVolume** volume) {
  *volume = nullptr;
  return E_ACCESSDENIED;
}

BOOL CALLBACK CollectSearchWindow(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t caption[128] = {};
  GetWindowTextW(window, caption, ARRAYSIZE(caption));
  if (process == GetCurrentProcessId() && wcsncmp(caption, L"Searching for: ", 15) == 0)
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}
std::vector<HWND> SearchWindows() {
  std::vector<HWND> found;
  EnumWindows(CollectSearchWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}
void WaitForActivity(LONG count) {
  for (int i = 0; i < 1000 && SearchActivityCount() != count; ++i) Sleep(10);
  ASSERT_EQ(count, SearchActivityCount());
}

class SearchEntryTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    SetVolumeFactory(FakeVolumeFactory);
  }
  void TearDown() override {
    for (HWND window : SearchWindows()) PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForActivity(0);
    SetVolumeFactory(nullptr);
    CoUninitialize();
  }
  IContextMenu* Handler() {
    IContextMenu* menu = nullptr;
    EXPECT_EQ(S_OK, CreateSearchHandler(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    return menu;
  }
};

TEST_F(SearchEntryTest, GetCommandStringWritesAsMuchOfTheVerbAsFits) {
  IContextMenu* menu = Handler();
  ASSERT_NE(nullptr, menu);
  const struct {
    UINT type;
    UINT size;
    HRESULT hr;
    const char* written;   // null: the buffer stays untouched
  } cases[] = {
      {GCS_VERBA, 0, S_OK, nullptr},     {GCS_VERBA, 1, S_OK, ""},        {GCS_VERBA, 4, S_OK, "sea"},
      {GCS_VERBA, 20, S_OK, "search"},   {GCS_HELPTEXTA, 4, S_OK, "sea"}, {GCS_HELPTEXTA, 20, S_OK, "search"},
      {GCS_VERBW, 0, S_OK, nullptr},     {GCS_VERBW, 1, S_OK, ""},        {GCS_VERBW, 4, S_OK, "sea"},
      {GCS_VERBW, 20, S_OK, "search"},   {GCS_HELPTEXTW, 7, S_OK, "search"},
      {GCS_VALIDATEA, 20, S_OK, nullptr}, {GCS_VALIDATEW, 20, S_OK, nullptr},
      {3, 20, E_INVALIDARG, nullptr},    {7, 20, E_INVALIDARG, nullptr},
  };
  for (const auto& c : cases) {
    const bool wide = c.type == GCS_VERBW || c.type == GCS_HELPTEXTW;
    const size_t unit = wide ? sizeof(wchar_t) : 1;
    std::vector<unsigned char> memory(64 + 2 * unit, 0xAB);   // a sentinel unit before and after
    unsigned char* buffer = memory.data() + unit;
    EXPECT_EQ(c.hr, menu->GetCommandString(0, c.type, nullptr, reinterpret_cast<CHAR*>(buffer), c.size))
        << c.type << " " << c.size;
    size_t used = 0;
    if (c.written) {
      const size_t length = strlen(c.written);
      for (size_t i = 0; i <= length; ++i) {
        const unsigned value = wide ? reinterpret_cast<wchar_t*>(buffer)[i] : buffer[i];
        EXPECT_EQ(static_cast<unsigned>(static_cast<unsigned char>(c.written[i])), value) << c.type << " " << c.size;
      }
      used = (length + 1) * unit;
    }
    for (size_t i = 0; i < memory.size(); ++i) {
      if (i < unit || i >= unit + used) {
        EXPECT_EQ(0xAB, memory[i]) << c.type << " " << c.size << " at " << i;
      }
    }
  }
  EXPECT_EQ(E_POINTER, menu->GetCommandString(0, GCS_VERBW, nullptr, nullptr, 20));
  EXPECT_EQ(S_FALSE, menu->QueryContextMenu(nullptr, 0, 1, 2, 0));
  menu->Release();
}

TEST_F(SearchEntryTest, InvokeCommandOpensAWindowForAnyVerb) {
  IContextMenu* menu = Handler();
  ASSERT_NE(nullptr, menu);
  EXPECT_EQ(E_POINTER, menu->InvokeCommand(nullptr));
  CMINVOKECOMMANDINFO byText{};
  byText.cbSize = sizeof byText;
  byText.lpVerb = "search";
  CMINVOKECOMMANDINFO byId{};
  byId.cbSize = sizeof byId;
  byId.lpVerb = MAKEINTRESOURCEA(0);
  EXPECT_EQ(S_OK, menu->InvokeCommand(&byText));
  EXPECT_EQ(S_OK, menu->InvokeCommand(&byId));
  menu->Release();
  const std::vector<HWND> windows = SearchWindows();
  ASSERT_EQ(2u, windows.size());
  wchar_t caption[128] = {};
  GetWindowTextW(windows[0], caption, ARRAYSIZE(caption));
  EXPECT_STREQ(L"Searching for: All files", caption);
  EXPECT_EQ(2, SearchActivityCount());
  EXPECT_EQ(WS_EX_CONTROLPARENT, GetWindowLongPtrW(windows[0], GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  for (int id : {14080, 14081, 14083}) EXPECT_NE(nullptr, GetDlgItem(windows[0], id)) << id;
}

// An outer object that hands every interface to the inner one.
class COuter final : public IUnknown {
public:
  IUnknown* inner = nullptr;
  LONG references = 1;
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
};

TEST_F(SearchEntryTest, TheHandlerCanBeAggregated) {
  COuter outer;
  void* refused = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, CreateSearchHandler(&outer, IID_IContextMenu, &refused));
  EXPECT_EQ(nullptr, refused);
  ASSERT_EQ(S_OK, CreateSearchHandler(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, outer.QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  EXPECT_EQ(2, outer.references);   // the menu's reference went to the outer object
  IUnknown* identity = nullptr;
  ASSERT_EQ(S_OK, menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
  identity->Release();
  menu->Release();
  EXPECT_EQ(1, outer.references);
  EXPECT_EQ(0u, outer.inner->Release());
}

DWORD WINAPI RunStartSearch(void*) {
  StartSearch(nullptr);
  return 0;
}

TEST_F(SearchEntryTest, StartSearchReturnsOnlyWhenEveryWindowIsClosed) {
  ASSERT_EQ(S_OK, OpenSearchWindow(nullptr, nullptr));
  HANDLE starter = CreateThread(nullptr, 0, RunStartSearch, nullptr, 0, nullptr);
  ASSERT_NE(nullptr, starter);
  std::vector<HWND> windows;
  for (int i = 0; i < 500 && (windows = SearchWindows()).size() < 2; ++i) Sleep(10);
  ASSERT_EQ(2u, windows.size());
  PostMessageW(windows[0], WM_CLOSE, 0, 0);
  WaitForActivity(1);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(starter, 0));
  PostMessageW(windows[1], WM_CLOSE, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(starter, 10000));
  EXPECT_EQ(0, SearchActivityCount());
  CloseHandle(starter);
}

TEST_F(SearchEntryTest, AVolumeThatCannotBeMadeGivesNoWindow) {
  SetVolumeFactory(RefusingFactory);
  EXPECT_EQ(E_ACCESSDENIED, OpenSearchWindow(nullptr, nullptr));
  EXPECT_EQ(0, SearchActivityCount());
  EXPECT_TRUE(SearchWindows().empty());
  StartSearch(L"");   // nothing is left to wait for
}

}  // namespace
