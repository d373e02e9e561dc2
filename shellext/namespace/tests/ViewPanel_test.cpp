// The information panel with the web view forced on: its layout by width,
// the lines a paint draws for each selection, wrapping, scrolling, erasing.
#include <algorithm>
#include "ControlReaders.h"
#include "SharedMenus.h"
#include "ResourceIds.h"
#include "DisplayText.h"
#include "ViewFixture.h"

namespace {

class ViewPanelTest : public CViewFixture {
protected:
  ViewPanelTest() : CViewFixture(L"Software\\VKSTest\\ViewPanel") {
    settings.platformClass = 3;
    settings.webView = true;
  }

  // Sizes the view so that its client area is width x height.
  void SizeView(RPLView* view, int width, int height) {
    RECT window = {}, client = {};
    GetWindowRect(view->m_hWnd, &window);
    GetClientRect(view->m_hWnd, &client);
    const int extraX = (window.right - window.left) - client.right;
    const int extraY = (window.bottom - window.top) - client.bottom;
    SetWindowPos(view->m_hWnd, nullptr, 0, 0, width + extraX, height + extraY, SWP_NOMOVE | SWP_NOZORDER);
  }
  RECT ChildRect(RPLView* view, HWND child) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, view->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  static std::wstring Size(ULONGLONG bytes) {
    CBstr text = FormatByteSize(bytes, &g_resourceModule);
    return text.GetBstr() ? text.GetBstr() : L"";
  }
  SCROLLINFO Bar(HWND window, int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(window, bar, &info)) info.nMax = info.nPos = 0;
    return info;
  }
};

struct Line {
  std::wstring text;
  PanelFont font;
  int x, gap, legend;
  bool operator==(const PanelLine& line) const {
    return text == line.text && font == line.font && x == line.x && gap == line.gapBefore && legend == line.legend;
  }
};

void ExpectLines(const std::vector<PanelLine>& got, const std::vector<Line>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_TRUE(want[i] == got[i]) << what << " line " << i << ": " << std::string(got[i].text.begin(), got[i].text.end());
}

TEST_F(ViewPanelTest, LayoutByWidthAndOff) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND panel = view->PanelWindow();
  ASSERT_TRUE(panel);
  SizeView(view, 399, 300);
  EXPECT_FALSE(view->PanelFullMode());
  RECT rect = ChildRect(view, panel);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 399);
  EXPECT_EQ(rect.bottom, 32);
  rect = ChildRect(view, view->ListWindow());
  EXPECT_EQ(rect.top, 32);
  EXPECT_EQ(rect.bottom, 300);
  EXPECT_EQ(GetWindowLongPtrW(panel, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);

  SizeView(view, 400, 300);
  EXPECT_TRUE(view->PanelFullMode());
  rect = ChildRect(view, panel);
  EXPECT_EQ(rect.right - rect.left, 120);
  EXPECT_EQ(rect.bottom, 300);
  rect = ChildRect(view, view->ListWindow());
  EXPECT_EQ(rect.left, 120);
  EXPECT_EQ(rect.right, 400);

  view->SetWebViewOn(false);
  rect = ChildRect(view, view->ListWindow());
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 400);
  EXPECT_EQ(ChildRect(view, panel).left, -16000);
}

TEST_F(ViewPanelTest, NoPanelWhenTheSettingIsOff) {
  settings.webView = false;
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  EXPECT_FALSE(view->PanelOn());
  EXPECT_EQ(view->PanelWindow(), nullptr);
}

TEST_F(ViewPanelTest, LinesForEachSelectionInAFolder) {
  CTestEntries entries;
  entries.AddEntry(L"sub", 0, 0x10, kNoon, MakeDate(kNoon));
  for (int i = 0; i < 17; ++i)
    entries.AddEntry((L"f" + std::to_wstring(10 + i) + L".txt").c_str(), 1, 0x20, kNoon, MakeDate(kNoon));
  volume.SetListing(L"\\A:\\*", entries);
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  const std::wstring title = L"Module Disk (A:)";
  const std::wstring type = ListViewText(list, 1, 2);
  const std::wstring date = ListViewText(list, 1, 3);
  const PanelFont T = PanelFont::Text, L = PanelFont::Label, H = PanelFont::Title;

  ListViewSelect(list, {});
  ExpectLines(view->PanelLines(), {{title, H, 8, 0, 0}, {L"Select an object to display its description.", T, 8, 28, 0}},
              "none");
  ListViewSelect(list, {1});
  ExpectLines(view->PanelLines(),
              {{title, H, 8, 0, 0}, {L"f10.txt", L, 8, 28, 0}, {type, T, 8, 0, 0}, {L"Modified:", T, 8, 8, 0},
               {date, T, 8, 0, 0}, {L"Size: 1 byte", T, 8, 8, 0}},
              "file");
  ListViewSelect(list, {0});
  std::vector<PanelLine> folder = view->PanelLines();
  ASSERT_EQ(folder.size(), 5u);
  EXPECT_EQ(folder[1].text, L"sub");
  EXPECT_EQ(folder[4].text, date);
  ListViewSelect(list, {0, 1, 2});
  ExpectLines(view->PanelLines(),
              {{title, H, 8, 0, 0}, {L"3 items selected.", T, 8, 28, 0}, {L"Total file size:", T, 8, 8, 0},
               {L"2 bytes", T, 8, 0, 0}, {L"sub", T, 8, 8, 0}, {L"f10.txt", T, 8, 0, 0}, {L"f11.txt", T, 8, 0, 0}},
              "three");
  std::vector<int> seventeen;
  for (int i = 1; i <= 17; ++i) seventeen.push_back(i);
  ListViewSelect(list, seventeen);
  ExpectLines(view->PanelLines(),
              {{title, H, 8, 0, 0}, {L"17 items selected.", T, 8, 28, 0}, {L"Total file size:", T, 8, 8, 0},
               {L"17 bytes", T, 8, 0, 0}},
              "seventeen");
}

TEST_F(ViewPanelTest, LinesForADriveAndDrivesWithTheirSpace) {
  volume.SetDrives({{L"A:", 1000000, 250000, L"Flash"}, {L"B:", 2048, 4096, L"Card"}});
  general.model = L"";
  RPLView* view = Show(L"");
  ASSERT_TRUE(view);
  HWND list = view->ListWindow();
  const PanelFont T = PanelFont::Text, L = PanelFont::Label, H = PanelFont::Title;
  ListViewSelect(list, {0});
  ExpectLines(view->PanelLines(),
              {{L"Module", H, 8, 0, 0}, {L"Module Disk (A:)", L, 8, 28, 0}, {L"Module Disk", T, 8, 0, 0},
               {L"Capacity: " + Size(1000000), T, 8, 8, 0}, {L"Used: " + Size(750000), T, 35, 8, 1},
               {L"Free: " + Size(250000), T, 35, 8, 2}, {L"", T, 8, 24, 3}},
              "drive");
  ListViewSelect(list, {1});   // more free than capacity: nothing used
  EXPECT_EQ(view->PanelLines()[4].text, L"Used: " + Size(0));
  ListViewSelect(list, {0, 1});
  ExpectLines(view->PanelLines(),
              {{L"Module", H, 8, 0, 0}, {L"2 items selected.", T, 8, 28, 0}, {L"Module Disk (A:)", T, 8, 8, 0},
               {L"Module Disk (B:)", T, 8, 0, 0}},
              "drives");
}

// The server is asked at the listing, never by a paint.
TEST_F(ViewPanelTest, TheDriveListTitleNamesTheModel) {
  RPLView* view = Show(L"");
  ASSERT_TRUE(view);
  EXPECT_EQ(std::wstring(view->PanelTitle().GetBstr()), L"Module MC35i");
  auto asked = [this] {
    auto calls = general.Calls();
    return std::count(calls.begin(), calls.end(), L"GetMobileModel");
  };
  const auto before = asked();
  ListViewSelect(view->ListWindow(), {0});
  UpdateWindow(view->PanelWindow());
  EXPECT_EQ(asked(), before);
  general.model = L"XT65";
  view->Refresh();
  EXPECT_EQ(std::wstring(view->PanelTitle().GetBstr()), L"Module XT65");
  EXPECT_EQ(asked(), before + 1);
}

TEST_F(ViewPanelTest, TheRightButtonOnThePanelOpensTheViewMenu) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  std::vector<UINT> items;
  ui.Answer(UiCall::Menu, [&](UiCallRecord& call) -> INT_PTR {
    items = MenuIds(static_cast<HMENU>(call.argument));
    return IDM_LIST;
  });
  SendMessageW(view->PanelWindow(), WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(items, MenuIds(GetSharedPopupMenu(kViewPopup)));
  EXPECT_EQ(GetWindowLongPtrW(view->ListWindow(), GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);
}

TEST_F(ViewPanelTest, WrappedTextBreaksAfterBlanksHyphensAndTabs) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  auto extent = [dc](const wchar_t* text) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    return size;
  };
  const int h = extent(L"Ag").cy;
  struct Case {
    const wchar_t* text;
    int width;
    std::vector<const wchar_t*> lines;
  } cases[] = {
      {L"alpha beta", extent(L"alpha beta").cx, {L"alpha beta"}},
      {L"alpha beta", extent(L"alpha ").cx, {L"alpha ", L"beta"}},
      {L"long-word", extent(L"long-").cx, {L"long-", L"word"}},
      {L"tab\tstop", extent(L"tab\t").cx, {L"tab\t", L"stop"}},
      {L"unbreakablename", 5, {L"unbreakablename"}},
      {L"one two three", extent(L"one two ").cx, {L"one two ", L"three"}},
      {L"one two three", extent(L"one two").cx, {L"one ", L"two ", L"three"}},   // a break's blank counts
      {L"ends with ", 1, {L"ends ", L"with "}},
  };
  for (const Case& c : cases) {
    SIZE drawn = RPLView::DrawWrappedText(dc, c.text, 0, 0, c.width);
    int widest = 0;
    for (const wchar_t* line : c.lines) widest = std::max(widest, static_cast<int>(extent(line).cx));
    EXPECT_EQ(drawn.cy, h * static_cast<int>(c.lines.size())) << std::string(c.text, c.text + lstrlenW(c.text));
    EXPECT_EQ(drawn.cx, widest) << std::string(c.text, c.text + lstrlenW(c.text));
  }
  SIZE none = RPLView::DrawWrappedText(dc, L"", 0, 0, 100);
  EXPECT_EQ(none.cx, 0);
  EXPECT_EQ(none.cy, 0);
  SelectObject(dc, old);
  DeleteDC(dc);
}

TEST_F(ViewPanelTest, ScrollBarsFollowTheContentAndPositionsStayInRange) {
  CTestEntries entries;
  for (int i = 0; i < 16; ++i)
    entries.AddEntry((L"f" + std::to_wstring(10 + i) + L".txt").c_str(), 1, 0x20, kNoon, MakeDate(kNoon));
  entries.AddEntry(L"averyveryverylongnamewithoutanyblanksatall_0123456789.txt", 1, 0x20, kNoon, MakeDate(kNoon));
  volume.SetListing(L"\\A:\\*", entries);
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  SizeView(view, 800, 150);   // the title fits the panel's 240 pixels
  HWND panel = view->PanelWindow();
  HWND list = view->ListWindow();
  std::vector<int> sixteen;
  for (int i = 1; i <= 16; ++i) sixteen.push_back(i);   // the long name sorts first
  ListViewSelect(list, sixteen);
  SCROLLINFO vertical = Bar(panel, SB_VERT);
  ASSERT_GT(vertical.nMax - static_cast<int>(vertical.nPage), 0);
  EXPECT_EQ(static_cast<int>(vertical.nPage), 150);
  const int last = vertical.nMax - static_cast<int>(vertical.nPage) + 1;
  struct Step {
    WORD code, thumb;
    int position;
  } steps[] = {
      {SB_BOTTOM, 0, 8},  {SB_TOP, 0, 0},  {SB_LINEUP, 0, 0}, {SB_THUMBPOSITION, 20, 20}, {SB_LINEDOWN, 0, 28},
      {SB_PAGEDOWN, 0, std::min(178, last)}, {SB_PAGEDOWN, 0, last}, {SB_LINEDOWN, 0, last}, {SB_ENDSCROLL, 0, last},
  };
  for (const Step& step : steps) {
    SendMessageW(panel, WM_VSCROLL, MAKEWPARAM(step.code, step.thumb), 0);
    EXPECT_EQ(Bar(panel, SB_VERT).nPos, step.position) << step.code;
  }
  EXPECT_EQ(Bar(panel, SB_HORZ).nMax, 0);   // the names fit
  ListViewSelect(list, {0});
  SCROLLINFO horizontal = Bar(panel, SB_HORZ);
  EXPECT_GT(horizontal.nMax, static_cast<int>(horizontal.nPage));
}

TEST_F(ViewPanelTest, ErasingShowsThePictureInFullModeOnly) {
  RPLView* view = Show(L"\\A:");
  ASSERT_TRUE(view);
  HWND panel = view->PanelWindow();
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 300;
  info.bmiHeader.biHeight = -300;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  auto pixel = [bits](int x, int y) { return static_cast<const DWORD*>(bits)[y * 300 + x] & 0xFFFFFF; };
  for (int width : {800, 399}) {
    SizeView(view, width, 280);
    RECT all = {0, 0, 300, 300};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(SendMessageW(panel, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    GdiFlush();
    RECT client = {};
    GetClientRect(panel, &client);
    const bool full = width == 800;
    EXPECT_EQ(pixel(client.right - 2, 5), 0xFFFFFFu) << width;
    EXPECT_EQ(pixel(5, client.bottom - 2), 0xFFFFFFu) << width;
    if (full) {
      bool picture = false;
      for (int y = 0; y < 163 && !picture; y += 7)
        for (int x = 0; x < 110 && !picture; x += 7) picture = pixel(x, y) != 0xFFFFFFu;
      EXPECT_TRUE(picture);
    } else {
      EXPECT_EQ(pixel(5, 5), 0xFFFFFFu);
    }
  }
  EXPECT_EQ(SendMessageW(panel, WM_ERASEBKGND, 0, 0), 1);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(dib);
}

}  // namespace
