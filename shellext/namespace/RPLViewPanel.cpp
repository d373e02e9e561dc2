// namespace/RPLViewPanel.cpp - the information panel beside or above the
// list: layout, scrolling, background and the lines of its paint.
#include <algorithm>
#include "RPLView.h"
#if __has_include("CapacityPie.h")
#include "CapacityPie.h"
#define VKS_HAVE_CAPACITY_PIE 1
#endif
#include "DisplayText.h"
#include "ModuleHelp.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "SharedMenus.h"

namespace {

const int kFullModeWidth = 400;
const int kBannerHeight = 32;
const int kPictureWidth = 125;
const int kPictureHeight = 163;
const int kMargin = 8;
const int kLegendX = 35;
const int kTitleTop = 40;
const int kMaxNamedRows = 16;
const COLORREF kUsedColour = RGB(212, 208, 200);

const wchar_t* TextOf(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

std::wstring Text(const CBstr& text) { return TextOf(text); }

std::wstring ResText(UINT id) { return Text(g_resourceModule.LoadResString(id)); }

std::wstring SizeText(ULONGLONG bytes) { return Text(FormatByteSize(bytes, &g_resourceModule)); }

// "Module Disk (A:)"
std::wstring DiskTitle(const wchar_t* name) {
  return ResText(IDS_MODULE_DISK) + L" (" + Text(GetLastNameComponent(name)) + L")";
}

ULONGLONG FreeBytes(LPCITEMIDLIST drive) {
  DATE free = GetItemLastWriteTime(drive);
  return free > 0 ? static_cast<ULONGLONG>(free) : 0;
}

void RemoveScrollBar(HWND window, int bar) {
  SCROLLINFO empty = {};
  empty.cbSize = sizeof(empty);
  empty.fMask = SIF_RANGE | SIF_PAGE;
  SetScrollInfo(window, bar, &empty, TRUE);
}

int ScrollPosition(HWND window, int bar) {
  SCROLLINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = SIF_POS;
  return GetScrollInfo(window, bar, &info) ? info.nPos : 0;
}

void FitScrollBar(HWND window, int bar, int content, int page) {
  if (content - page < 1) {
    RemoveScrollBar(window, bar);
    return;
  }
  SCROLLINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = SIF_POS;
  GetScrollInfo(window, bar, &info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = content;
  info.nPage = static_cast<UINT>(page);
  if (info.nPos + page > info.nMax + 1) info.nPos = info.nMax - page + 1;
  SetScrollInfo(window, bar, &info, TRUE);
}

}  // namespace

void RPLView::SetWebViewOn(bool on) {
  const bool changed = on != m_webView;
  m_webView = on;
  if (on && !m_panel.IsWindow() && m_hWnd && SUCCEEDED(CreateWebViewPanel())) {
    ReadModelName();
    RegisterDropTargets();
  }
  if (!changed && !(on && m_panel.IsWindow() && !::IsWindowVisible(m_panel))) return;
  RECT client = {};
  if (m_hWnd && ::GetClientRect(m_hWnd, &client)) LayoutPanes(client.right, client.bottom);
  if (m_panel.IsWindow()) m_panel.ShowWindow(on ? SW_SHOW : SW_HIDE);
}

// The model is asked once per listing: the server call would block paints.
void RPLView::ReadModelName() {
  m_modelName.Empty();
  if (!m_driveList || !m_webView) return;
  wchar_t model[32] = L"";
  GetModuleModelClass(model, 32);
  m_modelName = CBstr(model);
}

void RPLView::LayoutPanes(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (!m_webView || !m_panel.IsWindow()) {
    if (m_list.IsWindow()) ::MoveWindow(m_list, 0, 0, width, height, TRUE);
    if (m_panel.IsWindow()) ::MoveWindow(m_panel, -16000, -16000, 10, 10, TRUE);
    return;
  }
  if (width >= kFullModeWidth) {
    m_fullPanel = true;
    const int panelWidth = width * 30 / 100;
    ::MoveWindow(m_panel, 0, 0, panelWidth, height, TRUE);
    if (m_list.IsWindow()) ::MoveWindow(m_list, panelWidth, 0, width - panelWidth, height, TRUE);
    return;
  }
  m_fullPanel = false;
  ::MoveWindow(m_panel, 0, 0, width, kBannerHeight, TRUE);
  if (m_list.IsWindow()) ::MoveWindow(m_list, 0, kBannerHeight, width, height - kBannerHeight, TRUE);
  RemoveScrollBar(m_panel, SB_HORZ);
  RemoveScrollBar(m_panel, SB_VERT);
}

void RPLView::RepaintPanel() {
  if (!m_webView || !m_panel.IsWindow() || !m_fullPanel) return;
  m_panel.Invalidate(TRUE);
  ::UpdateWindow(m_panel);
  UpdatePanelScrollBars();
}

void RPLView::UpdatePanelScrollBars() {
  if (!m_fullPanel || !m_panel.IsWindow()) return;
  RECT client = {};
  m_panel.GetClientRect(&client);
  FitScrollBar(m_panel, SB_HORZ, m_contentWidth, client.right - GetSystemMetrics(SM_CXVSCROLL));
  FitScrollBar(m_panel, SB_VERT, m_contentHeight, client.bottom);
}

CBstr RPLView::PanelTitle() const {
  if (m_driveList) {
    std::wstring title = ResText(IDS_MODULE);
    if (m_modelName.GetLength()) title += L" " + Text(m_modelName);
    return CBstr(title.c_str());
  }
  if (m_driveRoot) return CBstr(DiskTitle(TextOf(m_path)).c_str());
  return GetLastNameComponent(TextOf(m_path));
}

// What a full-mode paint draws, in order, below the picture.
std::vector<PanelLine> RPLView::PanelLines() const {
  std::vector<PanelLine> lines;
  auto add = [&lines](std::wstring text, PanelFont font, int gap, int x = kMargin, int legend = 0) {
    lines.push_back({std::move(text), font, x, gap, legend});
  };
  add(Text(PanelTitle()), PanelFont::Title, 0);
  // The title's own spacing, before and after its font goes back.
  int gap = 20 + kMargin;
  std::vector<const CItemIDList*> selected;
  if (m_list.IsWindow())
    for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
      if (const CItemIDList* entry = RowEntry(row))
        if (entry->GetItem(0)) selected.push_back(entry);
  if (selected.empty()) {
    add(ResText(IDS_PANEL_SELECT), PanelFont::Text, gap);
    return lines;
  }
  if (selected.size() == 1) {
    LPCITEMIDLIST item = selected[0]->GetItem(0);
    if (m_driveList) {
      const ULONGLONG capacity = GetItemSize(item), free = FreeBytes(item);
      add(DiskTitle(GetItemName(item)), PanelFont::Label, gap);
      add(ResText(IDS_MODULE_DISK), PanelFont::Text, 0);
      add(ResText(IDS_CAPACITY) + L": " + SizeText(capacity), PanelFont::Text, kMargin);
      add(ResText(IDS_USED) + L": " + SizeText(free > capacity ? 0 : capacity - free), PanelFont::Text, kMargin,
          kLegendX, 1);
      add(ResText(IDS_FREE) + L": " + SizeText(free), PanelFont::Text, kMargin, kLegendX, 2);
      add(std::wstring(), PanelFont::Text, 24, kMargin, 3);
      return lines;
    }
    add(Text(GetItemNameString(item)), PanelFont::Label, gap);
    add(Text(GetItemTypeName(item)), PanelFont::Text, 0);
    add(ResText(IDS_PANEL_MODIFIED), PanelFont::Text, kMargin);
    add(Text(FormatDateTime(GetItemLastWriteTime(item), TRUE, TRUE, FALSE)), PanelFont::Text, 0);
    if (!IsFolderItem(item))
      add(Text(g_resourceModule.FormatResMessage(IDS_PANEL_SIZE, TextOf(FormatByteSize(GetItemSize(item),
                                                                                       &g_resourceModule)))),
          PanelFont::Text, kMargin);
    return lines;
  }
  add(Text(g_resourceModule.FormatResMessage(IDS_PANEL_ITEMS_SELECTED, static_cast<DWORD_PTR>(selected.size()))),
      PanelFont::Text, gap);
  gap = kMargin;
  if (!m_driveList) {
    ULONGLONG total = 0;
    for (const CItemIDList* entry : selected)
      if (!IsFolderItem(entry->GetItem(0))) total += GetItemSize(entry->GetItem(0));
    add(ResText(IDS_PANEL_TOTAL_SIZE), PanelFont::Text, gap);
    add(SizeText(total), PanelFont::Text, 0);
  }
  if (selected.size() <= static_cast<size_t>(kMaxNamedRows)) {
    for (const CItemIDList* entry : selected) {
      LPCITEMIDLIST item = entry->GetItem(0);
      add(m_driveList ? DiskTitle(GetItemName(item)) : Text(GetItemNameString(item)), PanelFont::Text, gap);
      gap = 0;
    }
  }
  return lines;
}

SIZE RPLView::DrawWrappedText(HDC dc, const wchar_t* text, int x, int y, int width) {
  SIZE total = {0, 0};
  const int length = text ? lstrlenW(text) : 0;
  if (!dc || length == 0) return total;
  std::vector<int> breaks;
  for (int i = 0; i + 1 < length; ++i)
    if (text[i] == L' ' || text[i] == L'-' || text[i] == L'\t') breaks.push_back(i + 1);
  breaks.push_back(length);
  size_t next = 0;
  int start = 0;
  while (start < length) {
    while (next < breaks.size() && breaks[next] <= start) ++next;
    if (next == breaks.size()) break;
    SIZE run = {};
    if (!GetTextExtentPoint32W(dc, text + start, breaks[next] - start, &run)) return total;
    int end = breaks[next];
    // Longer runs while they fit; a run too wide on its own stays whole.
    while (next + 1 < breaks.size()) {
      SIZE longer = {};
      if (!GetTextExtentPoint32W(dc, text + start, breaks[next + 1] - start, &longer)) return total;
      if (longer.cx > width) break;
      ++next;
      end = breaks[next];
      run = longer;
    }
    TextOutW(dc, x, y + total.cy, text + start, end - start);
    if (run.cx > total.cx) total.cx = run.cx;
    total.cy += run.cy;
    start = end;
  }
  return total;
}

LRESULT RPLView::OnPanelErase(UINT, WPARAM wParam, LPARAM, BOOL&) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  RECT client = {};
  if (!dc || !m_panel.IsWindow() || !m_panel.GetClientRect(&client)) return 1;
  if (!m_fullPanel) {
    PatBlt(dc, 0, 0, client.right, client.bottom, WHITENESS);
    return 1;
  }
  const int sx = ScrollPosition(m_panel, SB_HORZ), sy = ScrollPosition(m_panel, SB_VERT);
  if (sx < kPictureWidth && sy < kPictureHeight && m_panelDc) {
    const int w = kPictureWidth - sx, h = kPictureHeight - sy;
    BitBlt(dc, 0, 0, w, h, m_panelDc, sx, sy, SRCCOPY);
    PatBlt(dc, w, 0, client.right - w, client.bottom, WHITENESS);
    PatBlt(dc, 0, h, w, client.bottom - h, WHITENESS);
  } else {
    PatBlt(dc, 0, 0, client.right, client.bottom, WHITENESS);
  }
  return 1;
}

LRESULT RPLView::OnPanelPaint(UINT, WPARAM, LPARAM, BOOL&) {
  m_contentWidth = 0;
  if (!m_panel.IsWindow() || !GetUpdateRect(m_panel, nullptr, FALSE)) return 0;
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(m_panel, &paint);
  if (dc) PaintPanel(dc);
  EndPaint(m_panel, &paint);
  return 0;
}

void RPLView::PaintPanel(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, m_panelFonts[0]);
  if (!m_fullPanel) {
    CBstr title = PanelTitle();
    SIZE extent = {};
    int y = GetTextExtentPoint32W(dc, TextOf(title), static_cast<int>(title.GetLength()), &extent)
                ? (kBannerHeight - extent.cy) / 2
                : 0;
    TextOutW(dc, kMargin, y, TextOf(title), static_cast<int>(title.GetLength()));
    SelectObject(dc, oldFont);
    return;
  }
  RECT client = {};
  m_panel.GetClientRect(&client);
  const int sx = ScrollPosition(m_panel, SB_HORZ), sy = ScrollPosition(m_panel, SB_VERT);
  const int width = client.right - GetSystemMetrics(SM_CXVSCROLL);
  int y = kTitleTop;
  for (const PanelLine& line : PanelLines()) {
    y += line.gapBefore;
    if (line.legend == 3) {
      HBRUSH used = CreateSolidBrush(kUsedColour), usedRim = CreateSolidBrush(RGB(128, 128, 128));
      HBRUSH freeBrush = CreateSolidBrush(RGB(255, 255, 255)), freeRim = CreateSolidBrush(kUsedColour);
      const CItemIDList* entry = nullptr;
      int row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
      entry = RowEntry(row);
#ifdef VKS_HAVE_CAPACITY_PIE
      if (entry && entry->GetItem(0) && used && usedRim && freeBrush && freeRim)
        DrawCapacityPie(dc, width / 6 - sx, y - sy, width * 2 / 3, width / 3, GetItemSize(entry->GetItem(0)),
                        FreeBytes(entry->GetItem(0)), used, usedRim, freeBrush, freeRim);
#endif
      for (HBRUSH brush : {used, usedRim, freeBrush, freeRim})
        if (brush) DeleteObject(brush);
      // The pie belongs to what can be scrolled into view.
      y += width / 3;
      continue;
    }
    SelectObject(dc, m_panelFonts[line.font == PanelFont::Title ? 0 : line.font == PanelFont::Label ? 1 : 2]);
    if (line.legend) {
      RECT outer = {19 - sx, y + 1 - sy, 30 - sx, y + 12 - sy};
      RECT inner = {20 - sx, y + 2 - sy, 29 - sx, y + 11 - sy};
      FillRect(dc, &outer, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      HBRUSH fill = CreateSolidBrush(line.legend == 1 ? kUsedColour : RGB(255, 255, 255));
      if (fill) {
        FillRect(dc, &inner, fill);
        DeleteObject(fill);
      }
    }
    SIZE drawn = DrawWrappedText(dc, line.text.c_str(), line.x - sx, y - sy, width - line.x);
    if (drawn.cx + kMargin > m_contentWidth) m_contentWidth = drawn.cx + kMargin;
    y += drawn.cy;
  }
  y += GetSystemMetrics(SM_CYHSCROLL);
  m_contentHeight = y;
  SelectObject(dc, oldFont);
}

LRESULT RPLView::OnPanelScroll(UINT message, WPARAM wParam, LPARAM, BOOL&) {
  if (!m_fullPanel || !m_panel.IsWindow()) return 0;
  const int bar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
  const int line = bar == SB_HORZ ? 20 : 8;
  SCROLLINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(m_panel, bar, &info)) return 0;
  const int page = static_cast<int>(info.nPage), last = info.nMax - page + 1;
  int position = info.nPos;
  switch (LOWORD(wParam)) {
    case SB_LINEUP:
    case SB_TOP: position = position - line < info.nMin ? 0 : position - line; break;
    case SB_LINEDOWN:
    case SB_BOTTOM: position = std::min(last, position + line); break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position = std::min(position + page, last); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = static_cast<short>(HIWORD(wParam)); break;
    default: return 0;
  }
  info.fMask = SIF_POS;
  info.nPos = position;
  SetScrollInfo(m_panel, bar, &info, TRUE);
  m_panel.Invalidate(TRUE);
  ::UpdateWindow(m_panel);
  return 0;
}

LRESULT RPLView::OnPanelSize(UINT, WPARAM, LPARAM, BOOL& handled) {
  if (m_panel.IsWindow() && m_fullPanel) RepaintPanel();
  handled = FALSE;
  return 0;
}

LRESULT RPLView::OnPanelRightClick(UINT, WPARAM, LPARAM lParam, BOOL&) {
  m_hitRow = -1;
  m_contextItem = nullptr;
  HMENU menu = GetSharedPopupMenu(m_driveList ? kDiskViewPopup : kViewPopup);
  if (!menu) return 0;
  UpdatePasteItem(menu);
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ClientToScreen(m_panel, &point);
  UINT command = ShellUi().TrackMenu(menu, TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD, point.x, point.y, m_hWnd);
  LRESULT result = 0;
  if (m_browser) m_browser->SendControlMsg(FCW_STATUS, SB_SIMPLE, FALSE, 0, &result);
  if (command) {
    BOOL handled = TRUE;
    AddRef();
    OnCommand(0, static_cast<WORD>(command), nullptr, handled);
    Release();
  }
  return 0;
}
