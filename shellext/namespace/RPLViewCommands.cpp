// namespace/RPLViewCommands.cpp - the view's commands, its list notifications
// and the status bar.
#include <vector>
#include "ModuleEntry.h"
#include "ModuleHelp.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "RPLView.h"
#include "Seams.h"
#include "ViewStatus.h"

namespace {

const wchar_t kInvalidateCache[] = L"\\<INVALIDATE_CACHE_CHANGE";
const int kUnmeasuredPartWidth = 256;

bool IsSortCommand(UINT id) {
  return (id >= 8197 && id <= 8200) || (id >= 8203 && id <= 8206) || id == 8303 || id == 8342 ||
         (id >= 8410 && id <= 8413);
}

}  // namespace

LRESULT RPLView::OnCommandMessage(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  return OnCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), handled);
}

LRESULT RPLView::OnCommand(WORD code, WORD id, HWND, BOOL&) {
  if (code == 1 && (id < 8196 || id > 8390)) return 0;
  if (code == 0 && (id < 8192 || id > 8413)) return 0;
  if (code > 1) return 0;
  if (IsSortCommand(id)) {
    SortBy(id);
    return 0;
  }
  switch (id) {
    case 8202:
      if (m_list.IsWindow()) m_list.SendMessage(LVM_ARRANGE, LVA_SNAPTOGRID);
      break;
    case 8246: SelectAll(); break;
    case 8247: InvertSelection(); break;
    case 8386: RefreshCommand(); break;
    case 8387: BrowseTo(SBSP_NAVIGATEBACK | SBSP_SAMEBROWSER); break;
    case 8388: BrowseTo(SBSP_NAVIGATEFORWARD | SBSP_SAMEBROWSER); break;
    case 8390: ShowHelp(id); break;
    case 8393: ShowAboutDialog(m_hWnd); break;
    default: OnOtherCommand(code, id); break;
  }
  return 0;
}

void RPLView::SortBy(UINT command) {
  if (!m_list.IsWindow()) return;
  m_sortCommand = command;
  SortRows();
}

void RPLView::OnColumnClick(int column) {
  UINT ascending = 0, descending = 0;
  if (!GetColumnSortCommands(ListKind(), column, &ascending, &descending)) return;
  BOOL handled = TRUE;
  OnCommand(0, static_cast<WORD>(m_sortCommand == ascending ? descending : ascending), nullptr, handled);
}

// The browser may destroy this view inside BrowseObject: nothing of the
// view is touched after it returns, and a reference keeps the object alive.
void RPLView::BrowseTo(UINT flags) {
  IShellBrowser* browser = m_browser.Get();
  if (!browser) return;
  browser->AddRef();
  AddRef();
  browser->BrowseObject(nullptr, flags);
  Release();
  browser->Release();
}

void RPLView::RefreshCommand() {
  if (m_volume) {
    CBstr path(kInvalidateCache);
    m_volume->BroadcastChangeNotification(path.GetBstr());
  }
  Refresh();
}

LRESULT RPLView::OnListNotify(int, NMHDR* header, BOOL& handled) {
  if (!header || (header->idFrom != kFileListId && header->idFrom != kDriveListId) ||
      header->idFrom != m_listId) {
    handled = FALSE;
    return 0;
  }
  switch (header->code) {
    case LVN_COLUMNCLICK: OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem); return 0;
    case LVN_GETDISPINFOW:
      return OnGetDispInfo(static_cast<UINT>(header->idFrom), reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_ITEMCHANGED: {
      NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
      if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED))
      {
        UpdateStatusBar();
        RepaintPanel();
      }
      return 0;
    }
    case NM_SETFOCUS:
      UIActivate(SVUIA_ACTIVATE_FOCUS);
      return 0;
    default: handled = FALSE; return 0;
  }
}

void RPLView::UpdateStatusBar() {
  if (!m_browser || !m_list.IsWindow()) return;
  CBstr widest = WidestStatusCountText(g_resourceModule);
  HWND status = nullptr;
  if (FAILED(m_browser->GetControlWindow(FCW_STATUS, &status)) || !status) status = m_hWnd;
  int width = kUnmeasuredPartWidth;
  if (HDC dc = ::GetDC(status)) {
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(status, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    if (widest.GetLength() && GetTextExtentPoint32W(dc, widest.GetBstr(), widest.GetLength(), &extent))
      width = extent.cx;
    if (font) SelectObject(dc, font);
    ::ReleaseDC(status, dc);
  }
  LRESULT result = 0;
  m_browser->SendControlMsg(FCW_STATUS, SB_SIMPLE, FALSE, 0, &result);
  int parts[2] = {width, -1};
  result = 0;
  if (FAILED(m_browser->SendControlMsg(FCW_STATUS, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts), &result)) ||
      !result)
    return;
  m_browser->SendControlMsg(FCW_STATUS, SB_SETICON, 0, 0, &result);
  m_browser->SendControlMsg(FCW_STATUS, SB_SETICON, 1, 0, &result);

  std::vector<LPCITEMIDLIST> all, selected;
  for (int i = 0; i < m_entryCount; ++i) all.push_back(m_entries[i]->GetItem(0));
  for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
    if (const CItemIDList* entry = RowEntry(row)) selected.push_back(entry->GetItem(0));
  StatusTexts texts = MakeStatusTexts(g_resourceModule, all.data(), static_cast<int>(all.size()), selected.data(),
                                      static_cast<int>(selected.size()));
  m_browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, 0,
                            reinterpret_cast<LPARAM>(texts.count.GetBstr() ? texts.count.GetBstr() : L""), &result);
  m_browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, 1,
                            reinterpret_cast<LPARAM>(texts.size.GetBstr() ? texts.size.GetBstr() : L""), &result);
}
