// bench/view/ViewBench.cpp - what the folder view adds to its listing. With
// the fake Explorer window over a scripted volume of 500 and 5,000 entries:
// the listing alone (the server call and the records made of its rows), the
// view from CreateViewWindow to its filled list, a re-sort and a refresh.
// With the real server on the simulator at 921600 baud (VKS_BENCH_VIEW_RATE):
// the listing alone against the navigation to the filled list, the server's
// cache dropped before each. Medians of a few runs.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ControlReaders.h"
#include "FakeShellBrowser.h"
#include "ItemIDList.h"
#include "RPLView.h"
#include "ResourceModule.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "Seams.h"
#include "ModuleServerTest.h"
#include "ShellSettingsStub.h"
#include "SimFixture.h"
#include "TestEntries.h"

namespace {

using namespace vkstest;

const int kSizes[] = {500, 5000};
const int kFakeRuns = 5;
const int kServerRuns = 3;
const DATE kNoon = 45000.5;

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The median wall time of runs calls of step; prepare runs untimed before each.
double Median(int runs, const std::function<void()>& prepare, const std::function<void()>& step) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    if (prepare) prepare();
    const double start = Now();
    step();
    times.push_back(Now() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::wstring EntryName(int i) {
  wchar_t name[32];
  swprintf(name, 32, L"file%05d.txt", (i * 7919) % 100000);   // not in name order
  return name;
}

// Shows the view of path in the browser; the view's list, or null.
HWND ShowView(CFakeShellBrowser& browser, const wchar_t* path) {
  IShellView* view = nullptr;
  if (FAILED(CreateRPLView(path, nullptr, browser.Window(), IID_IShellView, reinterpret_cast<void**>(&view))))
    return nullptr;
  browser.SetCurrentFolder(path);
  HRESULT hr = browser.ShowView(view);
  view->Release();
  if (FAILED(hr)) return nullptr;
  HWND list = static_cast<RPLView*>(browser.View())->ListWindow();
  UpdateWindow(list);
  return list;
}

void ListAlone(IVKSVolume* volume, const wchar_t* path, int expected) {
  CItemIDList* items = nullptr;
  int count = 0;
  EXPECT_TRUE(SUCCEEDED(ListFolderEntries(path, &items, &count, volume, false)));
  EXPECT_EQ(count, expected);
  delete[] items;
}

void PrintRow(const char* host, int entries, double listing, double view, double resort, double refresh) {
  printf("%-22s %7d %10.3f %10.3f %10.3f", host, entries, listing, view, view - listing);
  if (resort >= 0) printf(" %10.3f %10.3f", resort, refresh);
  printf("\n");
}

void PrintHeader(bool withSortAndRefresh) {
  printf("\n%-22s %7s %10s %10s %10s", "host", "entries", "listing s", "view s", "added s");
  if (withSortAndRefresh) printf(" %10s %10s", "re-sort s", "refresh s");
  printf("\n");
}

class ViewBenchLanguage {
public:
  ViewBenchLanguage() : m_language(g_resourceModule.GetLanguage()) {
    g_resourceModule.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  }
  ~ViewBenchLanguage() { g_resourceModule.SetLanguage(m_language); }

private:
  LANGID m_language;
};

TEST(ViewBench, FakeHostOverAScriptedVolume) {
  CoInitialize(nullptr);
  {
    ViewBenchLanguage language;
    CShellSettingsStub settings;
    CScriptedShellUi ui;
    CScriptedVolume volume;
    CVolumeFactoryScope factory(&volume);
    CFakeShellBrowser browser;
    PrintHeader(true);
    for (int size : kSizes) {
      CTestEntries entries;
      for (int i = 0; i < size; ++i)
        entries.AddEntry(EntryName(i).c_str(), i * 13 % 100000, i % 10 ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_DIRECTORY,
                         kNoon, MakeDate(kNoon + i));
      volume.SetListing(L"\\A:\\*", entries);
      const double listing = Median(kFakeRuns, nullptr, [&] { ListAlone(&volume, L"\\A:", size); });
      HWND list = nullptr;
      const double view = Median(kFakeRuns, [&] { browser.CloseView(); }, [&] { list = ShowView(browser, L"\\A:"); });
      ASSERT_TRUE(list);
      EXPECT_EQ(ListViewCount(list), size);
      HWND window = GetParent(list);
      UINT command = 8203;
      const double resort = Median(kFakeRuns, nullptr, [&] {
        SendCommand(window, command);
        command = command == 8203 ? 8197 : 8203;
      });
      RPLView* shown = static_cast<RPLView*>(browser.View());
      const double refresh = Median(kFakeRuns, nullptr, [&] { EXPECT_EQ(shown->Refresh(), S_OK); });
      EXPECT_EQ(ListViewCount(list), size);
      PrintRow("fake host and volume", size, listing, view, resort, refresh);
      browser.CloseView();
    }
  }
  CoUninitialize();
}

class ViewServerBench : public CModuleServerTest {
protected:
  void SetUp() override {
    CModuleServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (int size : kSizes) {
      const std::wstring folder = L"A\\many" + std::to_wstring(size);
      MakeHostDir(folder);
      for (int i = 0; i < size; ++i) ASSERT_TRUE(WriteHostFile(folder + L"\\" + EntryName(i), {'x'}));
    }
    ASSERT_EQ(CreateModuleVolume(&volume), S_OK);
  }
  void ReleaseClients() override { volume.Reset(); }
  void DropServerCache() {
    ASSERT_EQ(volume->BroadcastChangeNotification(Text(L"\\<INVALIDATE_CACHE_CHANGE")), S_OK);
  }

  ComPtr<IVKSVolume> volume;
};

TEST_F(ViewServerBench, NavigationAgainstTheListingAlone) {
  const char* rateText = getenv("VKS_BENCH_VIEW_RATE");
  const unsigned rate = rateText && *rateText ? static_cast<unsigned>(atoi(rateText)) : 921600u;
  ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
  ASSERT_TRUE(sim.Command("obex pace on"));
  ViewBenchLanguage language;
  CShellSettingsStub settings;
  CScriptedShellUi ui;
  PrintHeader(false);
  for (int size : kSizes) {
    CFakeShellBrowser browser;
    const std::wstring path = L"\\A:\\many" + std::to_wstring(size);
    const double listing =
        Median(kServerRuns, [&] { DropServerCache(); }, [&] { ListAlone(volume.Get(), path.c_str(), size); });
    HWND list = nullptr;
    const double view = Median(
        kServerRuns, [&] { browser.CloseView(); DropServerCache(); },
        [&] { list = ShowView(browser, path.c_str()); });
    ASSERT_TRUE(list);
    EXPECT_EQ(ListViewCount(list), size);
    char host[40];
    snprintf(host, sizeof host, "server at %u baud", rate);
    PrintRow(host, size, listing, view, -1, -1);
    browser.CloseView();
  }
  ASSERT_TRUE(sim.Command("obex pace off"));
}

}  // namespace
