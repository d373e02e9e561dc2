// The drop target's effect over formats, keys, views and styles; its drops
// (menu, target path, rearranging, the hand-over); the drop source and the
// drag out of a view.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "DeleteOperation.h"
#include "FakeDataObject.h"
#include "FakeViewSite.h"
#include "ItemIDList.h"
#include "RPLDropSource.h"
#include "RPLDropTarget.h"
#include "ResourceIds.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellSettingsStub.h"
#include "XferTestUi.h"

namespace {

CItemIDList Item(const wchar_t* name, ULONG attributes) {
  CItemIDList item;
  item.CreateItem(name, static_cast<UINT>(wcslen(name)), L"", 0, 1, attributes, 0, 0, 0);
  return item;
}

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

struct Handed {
  std::wstring target;
  DWORD effect;
  BOOL wait;
};
std::vector<Handed> g_handed;
HRESULT g_transferResult = S_OK;
DWORD g_transferDone = 1;

HRESULT RecordTransfer(const wchar_t* target, HWND, IDataObject*, DWORD effect, BOOL wait, DWORD, DWORD* done) {
  g_handed.push_back({target ? target : L"", effect, wait});
  *done = g_transferDone;
  return g_transferResult;
}

enum class Offer { Nothing, PcFiles, FromThisView, FromOtherView, FromOtherProcess };
enum class View { None, Ordinary, Search };
const LONG kEmpty = 0, kOtherFolder = 1, kDraggedFolder = 2;   // x of the point

class DropTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(RegisterClipboardFormats());
    g_handed.clear();
    g_transferResult = S_OK;
    g_transferDone = 1;
    m_previous = SetDropTransfer(RecordTransfer);
    site.rowsAtX[kOtherFolder] = L"\\A:\\x";
    site.rowsAtX[kDraggedFolder] = L"\\A:\\d";
  }
  void TearDown() override {
    SetDropTransfer(m_previous);
    OleUninitialize();
  }

  ComPtr<CFakeDataObject> Offered(Offer offer) {
    auto data = CFakeDataObject::Make();
    const ClipboardFormatIds& ids = ClipboardFormats();
    if (offer == Offer::PcFiles) data->Serve(ids.hdrop, CFakeDataObject::HdropOf({L"C:\\t\\a.txt"}));
    if (offer >= Offer::FromThisView) {
      const CItemIDList d = Item(L"\\A:\\d", FILE_ATTRIBUTE_DIRECTORY), f = Item(L"\\A:\\f", 0);
      LPCITEMIDLIST lists[] = {d.Get(), f.Get()};
      data->Serve(ids.directoryData, BuildDirectoryData(L"\\A:", lists, 2));
      CFakeViewSite other;
      BYTE address[kViewAddressSize];
      BuildViewAddress(offer == Offer::FromOtherView ? other.ViewIdentity() : site.ViewIdentity(),
                       GetCurrentProcessId() + (offer == Offer::FromOtherProcess ? 4 : 0), address);
      data->Serve(ids.viewAddress, std::vector<BYTE>(address, address + sizeof(address)));
    }
    return data;
  }
  ComPtr<RPLDropTarget> Target(View view) {
    ComPtr<RPLDropTarget> target;
    EXPECT_EQ(S_OK, RPLDropTarget::Create(&target));
    site.search = view == View::Search;
    if (view == View::None)
      EXPECT_EQ(S_OK, target->InitForItem(L"\\A:", nullptr, nullptr));
    else
      EXPECT_EQ(S_OK, target->InitForView(L"\\A:", &site));
    return target;
  }

  CScriptedShellUi ui;
  CShellSettingsStub settings;
  CFakeViewSite site;

private:
  DropTransferFn m_previous = nullptr;
};

TEST_F(DropTest, TheEffectOverFormatsKeysViewsAndStyles) {
  const DWORD L = MK_LBUTTON, R = MK_RBUTTON, S = MK_SHIFT, C = MK_CONTROL;
  const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  const struct {
    const char* what;
    Offer offer;
    DWORD keys, allowed;
    int platform;
    View view;
    int style;
    LONG x;
    DWORD scroll;
    DWORD expected;
  } cases[] = {
      {"nothing droppable", Offer::Nothing, L, both, 4, View::None, 1, kEmpty, 0, DROPEFFECT_NONE},
      {"no button", Offer::PcFiles, 0, both, 4, View::None, 1, kEmpty, 0, DROPEFFECT_NONE},
      {"plain left copies", Offer::PcFiles, L, both, 4, View::None, 1, kEmpty, 0, DROPEFFECT_COPY},
      {"right copies too", Offer::PcFiles, R, both, 4, View::None, 1, kEmpty, 0, DROPEFFECT_COPY},
      {"Ctrl plays no part", Offer::PcFiles, L | C, both, 4, View::None, 1, kEmpty, 0, DROPEFFECT_COPY},
      {"Shift moves", Offer::PcFiles, L | S, both, 4, View::None, 1, kEmpty, 0, DROPEFFECT_MOVE},
      {"Shift at level 0 copies PC files", Offer::PcFiles, L | S, both, 0, View::None, 1, kEmpty, 0,
       DROPEFFECT_COPY},
      {"Shift at level 0 moves module items", Offer::FromOtherView, L | S, both, 0, View::None, 1, kEmpty, 0,
       DROPEFFECT_MOVE},
      {"Shift over copy only", Offer::PcFiles, L | S, DROPEFFECT_COPY, 4, View::None, 1, kEmpty, 0,
       DROPEFFECT_NONE},
      {"no Shift over move only", Offer::PcFiles, L, DROPEFFECT_MOVE, 4, View::None, 1, kEmpty, 0,
       DROPEFFECT_NONE},
      {"a scrolling view", Offer::PcFiles, L, both, 4, View::Ordinary, 1, kEmpty, DROPEFFECT_SCROLL,
       DROPEFFECT_COPY | DROPEFFECT_SCROLL},
      {"search view, empty space", Offer::PcFiles, L, both, 4, View::Search, 1, kEmpty, 0, DROPEFFECT_NONE},
      {"search view, a folder", Offer::PcFiles, L, both, 4, View::Search, 1, kOtherFolder, 0, DROPEFFECT_COPY},
      {"own view details, empty", Offer::FromThisView, L, both, 4, View::Ordinary, 1, kEmpty, 0,
       DROPEFFECT_NONE},
      {"own view details, a folder", Offer::FromThisView, L, both, 4, View::Ordinary, 1, kOtherFolder, 0,
       DROPEFFECT_COPY},
      {"own view details, a dragged folder", Offer::FromThisView, L, both, 4, View::Ordinary, 1, kDraggedFolder, 0,
       DROPEFFECT_NONE},
      {"own view list, empty", Offer::FromThisView, L, both, 4, View::Ordinary, 3, kEmpty, 0, DROPEFFECT_NONE},
      {"own view details, right button", Offer::FromThisView, R, both, 4, View::Ordinary, 1, kEmpty, 0,
       DROPEFFECT_COPY},
      {"own view icons, empty", Offer::FromThisView, L, both, 4, View::Ordinary, 0, kEmpty, 0, DROPEFFECT_MOVE},
      {"own view small icons, empty", Offer::FromThisView, L, both, 4, View::Ordinary, 2, kEmpty, 0,
       DROPEFFECT_MOVE},
      {"own view icons, a dragged folder", Offer::FromThisView, L, both, 4, View::Ordinary, 0, kDraggedFolder, 0,
       DROPEFFECT_MOVE},
      {"own view icons, a folder", Offer::FromThisView, L, both, 4, View::Ordinary, 0, kOtherFolder, 0,
       DROPEFFECT_COPY},
      {"own view icons with Ctrl", Offer::FromThisView, L | C, both, 4, View::Ordinary, 0, kEmpty, 0,
       DROPEFFECT_COPY},
      {"own view icons, scrolling", Offer::FromThisView, L, both, 4, View::Ordinary, 0, kEmpty, DROPEFFECT_SCROLL,
       DROPEFFECT_MOVE | DROPEFFECT_SCROLL},
      {"other view, icons", Offer::FromOtherView, L, both, 4, View::Ordinary, 0, kEmpty, 0, DROPEFFECT_COPY},
      {"other process, details", Offer::FromOtherProcess, L, both, 4, View::Ordinary, 1, kEmpty, 0,
       DROPEFFECT_COPY},
  };
  for (const auto& c : cases) {
    settings.platformClass = c.platform;
    site.style = c.style;
    site.scroll = c.scroll;
    ComPtr<RPLDropTarget> target = Target(c.view);
    auto data = Offered(c.offer);
    DWORD effect = c.allowed;
    ASSERT_EQ(S_OK, target->DragEnter(data.Get(), c.keys, POINTL{c.x, 0}, &effect));
    EXPECT_EQ(c.expected, effect) << c.what;
    effect = c.allowed;
    ASSERT_EQ(S_OK, target->DragOver(c.keys, POINTL{c.x, 0}, &effect));
    EXPECT_EQ(c.expected, effect) << c.what << " (over)";
    EXPECT_EQ(S_OK, target->DragLeave());
  }
  ComPtr<RPLDropTarget> target = Target(View::None);
  DWORD effect = 0;
  EXPECT_EQ(E_POINTER, target->DragEnter(nullptr, 0, POINTL{}, &effect));
  EXPECT_EQ(E_POINTER, target->DragOver(0, POINTL{}, nullptr));
  EXPECT_EQ(E_POINTER, target->InitForView(L"\\A:", nullptr));
}

TEST_F(DropTest, DropsGoToTheRightFolderOrOnlyRearrange) {
  const DWORD L = MK_LBUTTON, S = MK_SHIFT, C = MK_CONTROL;
  const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  const struct {
    const char* what;
    Offer offer;
    DWORD keys;
    View view;
    int style;
    LONG x;
    const wchar_t* target;   // null: nothing handed over
    DWORD handedEffect;
    bool rearranged;
  } cases[] = {
      {"PC files on empty space", Offer::PcFiles, L, View::Ordinary, 1, kEmpty, L"\\A:", DROPEFFECT_COPY, false},
      {"PC files on a folder row", Offer::PcFiles, L | S, View::Ordinary, 1, kOtherFolder, L"\\A:\\x",
       DROPEFFECT_MOVE, false},
      {"search view, empty space", Offer::PcFiles, L, View::Search, 1, kEmpty, nullptr, 0, false},
      {"own icons on empty space", Offer::FromThisView, L, View::Ordinary, 0, kEmpty, nullptr, 0, true},
      {"own folder onto itself", Offer::FromThisView, L, View::Ordinary, 1, kDraggedFolder, nullptr, 0, true},
      {"own icons with Ctrl copy", Offer::FromThisView, L | C, View::Ordinary, 0, kOtherFolder, L"\\A:\\x",
       DROPEFFECT_COPY, false},
      {"own items on empty space with Ctrl", Offer::FromThisView, L | C, View::Ordinary, 0, kEmpty, L"\\A:",
       DROPEFFECT_COPY, false},
      {"another view's items", Offer::FromOtherView, L, View::Ordinary, 0, kEmpty, L"\\A:", DROPEFFECT_COPY, false},
      {"nothing droppable", Offer::Nothing, L, View::Ordinary, 1, kEmpty, nullptr, 0, false},
  };
  for (const auto& c : cases) {
    g_handed.clear();
    site.moves.clear();
    site.style = c.style;
    ComPtr<RPLDropTarget> target = Target(c.view);
    auto data = Offered(c.offer);
    DWORD effect = both;
    ASSERT_EQ(S_OK, target->DragEnter(data.Get(), c.keys, POINTL{c.x, 0}, &effect));
    effect = both;
    ASSERT_EQ(S_OK, target->Drop(data.Get(), c.keys & ~L, POINTL{c.x, 0}, &effect));
    if (c.target) {
      ASSERT_EQ(1u, g_handed.size()) << c.what;
      EXPECT_EQ(c.target, g_handed[0].target) << c.what;
      EXPECT_EQ(c.handedEffect, g_handed[0].effect) << c.what;
      EXPECT_TRUE(g_handed[0].wait) << c.what;
      EXPECT_EQ(c.handedEffect, effect) << c.what;
    } else {
      EXPECT_TRUE(g_handed.empty()) << c.what;
      EXPECT_EQ(DROPEFFECT_NONE, effect) << c.what;
    }
    EXPECT_EQ(c.rearranged ? 1u : 0u, site.moves.size()) << c.what;
    EXPECT_EQ(1u, RefCount(data.Get())) << c.what << ": the target let go of the data";
  }
}

TEST_F(DropTest, OnlyACompletedTransferReportsItsEffect) {
  const struct {
    HRESULT result;
    DWORD done, reported;
  } cases[] = {{S_OK, 1, DROPEFFECT_COPY}, {S_OK, 0, DROPEFFECT_NONE}, {S_FALSE, 1, DROPEFFECT_NONE},
               {E_FAIL, 1, DROPEFFECT_NONE}};
  for (const auto& c : cases) {
    g_transferResult = c.result;
    g_transferDone = c.done;
    ComPtr<RPLDropTarget> target = Target(View::Ordinary);
    auto data = Offered(Offer::PcFiles);
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(S_OK, target->Drop(data.Get(), MK_LBUTTON, POINTL{kEmpty, 0}, &effect));
    EXPECT_EQ(c.reported, effect) << std::hex << c.result << " " << c.done;
  }
}

TEST_F(DropTest, TheRightButtonAsksWithTheDropMenu) {
  const std::wstring moveLine = std::to_wstring(IDM_DROP_MOVE) + L" Drop &Move";
  const struct {
    const char* what;
    Offer offer;
    int platform;
    INT_PTR choice;
    bool offersMove;
    DWORD handed;   // 0: nothing handed over
  } cases[] = {
      {"PC files at level 0", Offer::PcFiles, 0, IDM_DROP_COPY, false, DROPEFFECT_COPY},
      {"PC files at level 4", Offer::PcFiles, 4, IDM_DROP_MOVE, true, DROPEFFECT_MOVE},
      {"module items at level 0", Offer::FromOtherView, 0, IDM_DROP_MOVE, true, DROPEFFECT_MOVE},
      {"Cancel", Offer::PcFiles, 4, 2, true, 0},
      {"a click outside", Offer::PcFiles, 4, 0, true, 0},
  };
  for (const auto& c : cases) {
    g_handed.clear();
    settings.platformClass = c.platform;
    ui.Answer(UiCall::Menu, c.choice);
    ComPtr<RPLDropTarget> target = Target(View::None);
    auto data = Offered(c.offer);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(S_OK, target->DragEnter(data.Get(), MK_RBUTTON, POINTL{5, 6}, &effect));
    ASSERT_EQ(S_OK, target->Drop(data.Get(), 0, POINTL{5, 6}, &effect));
    const auto menus = ui.Calls(UiCall::Menu);
    ASSERT_FALSE(menus.empty());
    const std::wstring& items = menus.back().text;
    EXPECT_EQ(c.offersMove, items.find(moveLine) != std::wstring::npos) << c.what;
    EXPECT_NE(std::wstring::npos, items.find(std::to_wstring(IDM_DROP_COPY) + L" Drop &Copy")) << c.what;
    EXPECT_NE(std::wstring::npos, items.find(L"2 Cancel")) << c.what;
    EXPECT_EQ(static_cast<UINT>(TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY), menus.back().flags);
    if (c.handed) {
      ASSERT_EQ(1u, g_handed.size()) << c.what;
      EXPECT_EQ(c.handed, g_handed[0].effect) << c.what;
      EXPECT_EQ(c.handed, effect) << c.what;
    } else {
      EXPECT_TRUE(g_handed.empty()) << c.what;
      EXPECT_EQ(DROPEFFECT_NONE, effect) << c.what;
    }
  }
}

TEST_F(DropTest, AnItemTargetDropsIntoItsItem) {
  const CItemIDList item = Item(L"\\A:\\sub", FILE_ATTRIBUTE_DIRECTORY);
  ComPtr<RPLDropTarget> target;
  ASSERT_EQ(S_OK, RPLDropTarget::Create(&target));
  ASSERT_EQ(S_OK, target->InitForItem(L"\\A:", item.Get(), nullptr));
  auto data = Offered(Offer::PcFiles);
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->Drop(data.Get(), MK_LBUTTON, POINTL{}, &effect));
  ASSERT_EQ(1u, g_handed.size());
  EXPECT_EQ(L"\\A:\\sub", g_handed[0].target);
  EXPECT_EQ(E_POINTER, target->Drop(nullptr, MK_LBUTTON, POINTL{}, &effect));
}

TEST_F(DropTest, TheDropSourceDropsWhenItsButtonIsUpAndMarksTheObject) {
  const struct {
    DWORD button;
    BOOL escape;
    DWORD keys;
    HRESULT result;
  } cases[] = {
      {1, TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL}, {1, FALSE, MK_LBUTTON, S_OK},
      {1, FALSE, MK_RBUTTON, DRAGDROP_S_DROP},  {2, FALSE, MK_RBUTTON, S_OK},
      {2, FALSE, MK_LBUTTON, DRAGDROP_S_DROP},  {2, TRUE, 0, DRAGDROP_S_CANCEL},
  };
  for (const auto& c : cases) {
    auto data = CFakeDataObject::Make();
    ComPtr<RPLDropSource> source;
    ASSERT_EQ(S_OK, RPLDropSource::Create(&source));
    ASSERT_EQ(S_OK, source->Init(&site, c.button, data.Get()));
    EXPECT_EQ(c.result, source->QueryContinueDrag(c.escape, c.keys)) << c.button << " " << c.keys;
    const auto marks = data->DwordsSet(ClipboardFormats().converted);
    EXPECT_EQ(c.result == DRAGDROP_S_DROP ? std::vector<DWORD>{1} : std::vector<DWORD>{}, marks);
    EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_COPY));
  }
  ComPtr<RPLDropSource> source;
  ASSERT_EQ(S_OK, RPLDropSource::Create(&source));
  EXPECT_EQ(E_POINTER, source->Init(&site, 1, nullptr));
}

TEST_F(DropTest, DraggingOutDeletesOnlyAfterAMove) {
  CScriptedVolume volume;
  CVolumeFactoryScope factory(&volume);
  volume.SetListing(L"\\A:\\*", CTestEntries().AddEntry(L"f.txt", 3, 0, 1, MakeDate(2)));
  const CItemIDList file = Item(L"\\A:\\f.txt", 0);
  LPCITEMIDLIST items[] = {file.Get()};
  const struct {
    DWORD button;
    bool driveList;
    HRESULT result;
    DWORD effect;
    DWORD allowed;
    bool deletes;
  } cases[] = {
      {1, false, DRAGDROP_S_DROP, DROPEFFECT_MOVE, DROPEFFECT_COPY | DROPEFFECT_MOVE, true},
      {2, false, DRAGDROP_S_DROP, DROPEFFECT_MOVE, DROPEFFECT_COPY | DROPEFFECT_MOVE, true},
      {1, false, DRAGDROP_S_DROP, DROPEFFECT_COPY, DROPEFFECT_COPY | DROPEFFECT_MOVE, false},
      {1, false, DRAGDROP_S_CANCEL, DROPEFFECT_NONE, DROPEFFECT_COPY | DROPEFFECT_MOVE, false},
      {1, true, DRAGDROP_S_DROP, DROPEFFECT_NONE, DROPEFFECT_NONE, false},
  };
  for (const auto& c : cases) {
    volume.script.ClearCalls();
    volume.SetFile(L"\\A:\\f.txt", "abc");   // a delete takes it away
    CXferTestUi drag;
    DWORD allowed = 0xFF;
    HRESULT continued = E_FAIL;
    drag.onDragDrop = [&](IDataObject*, IDropSource* source, DWORD allowedEffects, DWORD* out) {
      allowed = allowedEffects;
      continued = source->QueryContinueDrag(FALSE, 0);   // every button is up
      *out = c.effect;
      return c.result;
    };
    DWORD effect = 0;
    EXPECT_EQ(c.result, DragItemsOut(L"\\A:", &site, items, 1, c.button, c.driveList, nullptr, &effect));
    EXPECT_EQ(c.allowed, allowed);
    EXPECT_EQ(DRAGDROP_S_DROP, continued);
    ASSERT_TRUE(WaitForDeleteOperations(20000));
    size_t deletes = 0;
    for (const std::wstring& call : volume.Calls()) deletes += call.compare(0, 7, L"Delete ") == 0;
    EXPECT_EQ(c.deletes ? 1u : 0u, deletes) << c.button << " " << c.effect;
  }
}

}  // namespace

namespace {

// A drag from one view into a folder of another, through the engine: the
// drop copies, the source's move report deletes, and the bytes arrive.
TEST_F(DropTest, AMoveBetweenViewsThroughTheEngine) {
  SetDropTransfer(nullptr);
  CScriptedVolume volume;
  CVolumeFactoryScope factory(&volume);
  volume.SetFile(L"\\A:\\f.txt", "abc");
  volume.SetListing(L"\\A:\\*", CTestEntries()
                                    .AddEntry(L"f.txt", 3, FILE_ATTRIBUTE_ARCHIVE, 1, MakeDate(2))
                                    .AddEntry(L"dst", 0, FILE_ATTRIBUTE_DIRECTORY, 1, MakeDate(2)));
  const CItemIDList file = Item(L"\\A:\\f.txt", FILE_ATTRIBUTE_ARCHIVE);
  LPCITEMIDLIST items[] = {file.Get()};
  CFakeViewSite destination;
  ComPtr<RPLDropTarget> target;
  ASSERT_EQ(S_OK, RPLDropTarget::Create(&target));
  ASSERT_EQ(S_OK, target->InitForView(L"\\A:\\dst", &destination));
  CXferTestUi drag;
  DWORD entered = 0;
  drag.onDragDrop = [&](IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) {
    entered = allowed;
    target->DragEnter(data, MK_LBUTTON | MK_SHIFT, POINTL{}, &entered);
    if (source->QueryContinueDrag(FALSE, MK_SHIFT) != DRAGDROP_S_DROP) return E_UNEXPECTED;
    *effect = allowed;
    target->Drop(data, MK_SHIFT, POINTL{}, effect);
    return DRAGDROP_S_DROP;
  };
  DWORD effect = 0;
  EXPECT_EQ(DRAGDROP_S_DROP, DragItemsOut(L"\\A:", &site, items, 1, 1, false, nullptr, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), entered);
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
  ASSERT_TRUE(WaitForDeleteOperations(20000));
  std::string bytes;
  EXPECT_TRUE(volume.GetStoredFile(L"\\A:\\dst\\f.txt", &bytes));
  EXPECT_EQ("abc", bytes);
  EXPECT_FALSE(volume.GetStoredFile(L"\\A:\\f.txt", nullptr));
  EXPECT_TRUE(drag.shown.empty());
}

}  // namespace
