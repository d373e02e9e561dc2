// namespace/RPLViewInput.cpp - the view's mouse input, dragging out, the
// services its drop target uses, and in-place renaming.
#include "RPLView.h"
#include "ClipboardFormats.h"
#include "ModuleCommands.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "ShellHelpers.h"
#include "ViewActions.h"
#include "ViewSettings.h"

namespace {

const DWORD kScrollInterval = 200;

bool IsFolderOrDriveRecord(LPCITEMIDLIST record) {
  return record && (IsFolderItem(record) || IsDriveRootItem(record));
}

const wchar_t* TextOf(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

}  // namespace

int RPLView::RowUnder(POINT client, UINT hitFlags) const {
  if (!m_list.IsWindow()) return -1;
  LVHITTESTINFO hit = {};
  hit.pt = client;
  int row = static_cast<int>(m_list.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return row >= 0 && (hit.flags & hitFlags) ? row : -1;
}

LRESULT RPLView::OnButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  if (m_renaming && !m_driveList && m_list.IsWindow()) m_list.SendMessage(LVM_EDITLABELW, static_cast<WPARAM>(-1));
  m_buttonDown = lParam;
  handled = FALSE;
  return 0;
}

// In single-click mode a click that did not move beyond the drag distance
// since its press opens like a double click.
LRESULT RPLView::OnListClick(POINT client, BOOL& handled) {
  if (!(GetListViewExStyle() & LVS_EX_TRACKSELECT)) {
    handled = FALSE;
    return 0;
  }
  const int dx = client.x - static_cast<short>(LOWORD(m_buttonDown));
  const int dy = client.y - static_cast<short>(HIWORD(m_buttonDown));
  if (abs(dx) <= GetSystemMetrics(SM_CXDRAG) && abs(dy) <= GetSystemMetrics(SM_CYDRAG))
    return OnListDoubleClick(client);
  handled = FALSE;
  return 0;
}

LRESULT RPLView::OnListDoubleClick(POINT client) {
  const CItemIDList* entry = RowEntry(RowUnder(client, LVHT_ONITEM));
  LPCITEMIDLIST record = entry ? entry->GetItem(0) : nullptr;
  if (!record) return 0;
  if (!IsFolderOrDriveRecord(record)) {
    CBstr text = g_resourceModule.LoadResString(IDS_FILES_NOT_OPENED);
    CBstr caption = g_resourceModule.LoadResString(IDS_MODULE);
    ShellUi().ShowMessageBox(m_list, TextOf(text), TextOf(caption), MB_ICONHAND);
    return 0;
  }
  if (m_browser) {
    CItemIDList copy(entry->Get());
    IShellBrowser* browser = m_browser.Get();
    browser->AddRef();
    AddRef();
    browser->BrowseObject(copy.Get(), SBSP_RELATIVE);
    Release();
    browser->Release();
  } else if (m_search) {
    OpenPathInShell(GetItemName(record), IDM_EXPLORE);
  }
  return 0;
}

LRESULT RPLView::OnBeginDrag(NMLISTVIEW* info) {
  if (!info || info->hdr.idFrom != m_listId) return 0;
  CItemIDList* items = nullptr;
  int count = 0;
  if (FAILED(GetSelectedItems(&items, &count)) || !count) return 0;
  DWORD position = GetMessagePos();
  m_dragStart = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  IDataObject* data = nullptr;
  IDropSource* source = nullptr;
  if (SUCCEEDED(CreateDataObject(TextOf(m_path), this, items, count, 0, m_search ? m_sinkInterface.Get() : nullptr,
                                 false, &data)) &&
      data &&
      SUCCEEDED(CreateDropSource(this, info->hdr.code == LVN_BEGINRDRAG ? 2 : 1, data, &source)) && source) {
    DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    // Nothing can be dropped from the drive list.
    if (m_listId == kDriveListId) {
      SetDataObjectDword(data, ClipboardFormats().preferredDropEffect, 0);
      allowed = 0;
    }
    DWORD effect = 0;
    ShellUi().RunDragDrop(data, source, allowed, &effect);
    if (effect & DROPEFFECT_MOVE) {
      SetDataObjectDword(data, ClipboardFormats().performedDropEffect, DROPEFFECT_MOVE);
      SetDataObjectDword(data, ClipboardFormats().pasteSucceeded, DROPEFFECT_MOVE);
    }
  }
  if (source) source->Release();
  if (data) data->Release();
  delete[] items;
  return 0;
}

UINT RPLView::GetListViewStyle() const {
  switch (CurrentMode()) {
    case FVM_ICON: return LVS_ICON;
    case FVM_SMALLICON: return LVS_SMALLICON;
    case FVM_LIST: return LVS_LIST;
    default: return LVS_REPORT;
  }
}

DWORD RPLView::AutoScroll(POINT screen) {
  if (!m_list.IsWindow()) return 0;
  const DWORD now = m_clock->Now();
  if (now - m_lastScroll < kScrollInterval) return 0;
  POINT point = screen;
  ScreenToClient(m_list, &point);
  LVHITTESTINFO hit = {};
  hit.pt = point;
  int row = static_cast<int>(m_list.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  RECT client = {};
  m_list.GetClientRect(&client);
  const bool above = (hit.flags & LVHT_ABOVE) != 0, below = (hit.flags & LVHT_BELOW) != 0;
  const bool left = (hit.flags & LVHT_TOLEFT) != 0, right = (hit.flags & LVHT_TORIGHT) != 0;
  const int cxIcon = GetSystemMetrics(SM_CXICON), cyIcon = GetSystemMetrics(SM_CYICON);
  auto rowRect = [this](int index, RECT* rect) {
    rect->left = LVIR_BOUNDS;
    return m_list.SendMessage(LVM_GETITEMRECT, index < 0 ? 0 : index, reinterpret_cast<LPARAM>(rect)) != 0;
  };
  int dx = 0, dy = 0;
  switch (CurrentMode()) {
    case FVM_ICON:
    case FVM_SMALLICON:
      if (above || point.y < cyIcon) dy = -cyIcon;
      else if (below || point.y > client.bottom - cyIcon) dy = cyIcon;
      if (left || point.x < cxIcon) dx = -cxIcon;
      else if (right || point.x > client.right - cxIcon) dx = cxIcon;
      break;
    case FVM_LIST: {
      RECT rect = {};
      const int step = rowRect(row, &rect) ? rect.right - rect.left : cxIcon;
      if (left || point.x < cxIcon) dx = -step;
      else if (right || point.x > client.right - cxIcon) dx = step;
      break;
    }
    case FVM_DETAILS: {
      RECT rect = {};
      const int step = rowRect(row, &rect) ? rect.bottom - rect.top : GetSystemMetrics(SM_CYSMICON);
      RECT topRow = {};
      const int top = rowRect(static_cast<int>(m_list.SendMessage(LVM_GETTOPINDEX)), &topRow) ? topRow.top : 0;
      if (above || point.y < top + step) dy = -step;
      else if (below || point.y > client.bottom - step) dy = step;
      break;
    }
    default: break;
  }
  if (!dx && !dy) return 0;
  if (!m_list.SendMessage(LVM_SCROLL, static_cast<WPARAM>(dx), dy)) return 0;
  m_lastScroll = now;
  return DROPEFFECT_SCROLL;
}

const CItemIDList* RPLView::HighlightDropTarget(POINT screen) {
  if (!m_list.IsWindow()) return nullptr;
  POINT point = screen;
  ScreenToClient(m_list, &point);
  int row = RowUnder(point, LVHT_ONITEMICON | LVHT_ONITEMLABEL);
  const CItemIDList* entry = RowEntry(row);
  if (!entry || !IsFolderOrDriveRecord(entry->GetItem(0))) return nullptr;
  LVITEMW state = {};
  state.stateMask = state.state = LVIS_DROPHILITED;
  m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  return entry;
}

void RPLView::ClearDropHighlight() {
  if (!m_list.IsWindow()) return;
  LVITEMW state = {};
  state.stateMask = LVIS_DROPHILITED;
  m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
}

HRESULT RPLView::MoveSelectedItems(POINT screen) {
  if (!m_list.IsWindow()) return E_UNEXPECTED;
  const int dx = screen.x - m_dragStart.x, dy = screen.y - m_dragStart.y;
  for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;) {
    POINT at = {};
    if (!m_list.SendMessage(LVM_GETITEMPOSITION, row, reinterpret_cast<LPARAM>(&at))) continue;
    m_list.SendMessage(LVM_SETITEMPOSITION, row,
                       MAKELPARAM(static_cast<short>(at.x + dx), static_cast<short>(at.y + dy)));
  }
  return S_OK;
}

HRESULT RPLView::RegisterDropTargets() {
  HRESULT hr = S_OK;
  auto registerPane = [this, &hr](HWND window, ComPtr<IDropTarget>& holder, bool& registered) {
    if (!window || registered) return;
    IDropTarget* target = nullptr;
    hr = CreateViewDropTarget(this, TextOf(m_path), &target);
    if (FAILED(hr) || !target) {
      if (SUCCEEDED(hr)) hr = E_OUTOFMEMORY;
      return;
    }
    holder.Attach(target);
    hr = RegisterDragDrop(window, target);
    registered = SUCCEEDED(hr);
    if (!registered) holder.Reset();
  };
  registerPane(m_list.Handle(), m_listDropTarget, m_listDropRegistered);
  registerPane(m_panel.Handle(), m_panelDropTarget, m_panelDropRegistered);
  return hr;
}

void RPLView::RenameSelection() {
  if (m_contextItem) {
    CItemIDList copy(m_contextItem->Get());
    HandleRename(copy.GetItem(0));
    return;
  }
  if (!HasFocus() || !m_list.IsWindow()) return;
  int row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  const CItemIDList* entry = RowEntry(row);
  if (!entry) return;
  CItemIDList copy(entry->Get());
  HandleRename(copy.GetItem(0));
}

// Waits on the view's thread until the label edit it opened has ended. The
// view stays referenced meanwhile; a WM_QUIT taken here is posted again, and
// a view whose window went away ends the wait with E_FAIL.
HRESULT RPLView::HandleRename(PCUITEMID_CHILD item) {
  if (!item) return E_POINTER;
  if (!IsValidModuleItem(item)) return E_INVALIDARG;
  if (!m_volume) return E_UNEXPECTED;
  AddRef();
  m_renaming = true;
  HRESULT hr = SelectAndPositionItem(item, SVSI_EDIT | SVSI_ENSUREVISIBLE, nullptr);
  if (FAILED(hr)) {
    m_renaming = false;
    Release();
    return hr;
  }
  m_renameDone = false;
  bool alive = true;
  m_renameAlive = &alive;
  bool quit = false;
  WPARAM quitCode = 0;
  while (!m_renameDone && alive && IsWindow()) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (message.message == WM_QUIT) {
      quit = true;
      quitCode = message.wParam;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (alive) m_renameAlive = nullptr;
  const bool gone = !alive || !IsWindow();
  m_renaming = false;
  if (quit) {
    if (!gone && m_list.IsWindow()) m_list.SendMessage(LVM_EDITLABELW, static_cast<WPARAM>(-1));
    PostQuitMessage(static_cast<int>(quitCode));
  }
  hr = quit || gone ? E_FAIL : S_OK;
  Release();
  return hr;
}

// Edits the user starts run without the wait: HandleRename would open a
// second editor from inside the list's own begin notification.
BOOL RPLView::OnBeginLabelEdit(NMLVDISPINFOW* info) {
  if (info && info->hdr.idFrom == m_listId && !m_renaming) m_renameDone = false;
  return FALSE;
}

BOOL RPLView::OnEndLabelEdit(NMLVDISPINFOW* info) {
  BOOL accepted = FALSE;
  if (info && info->hdr.idFrom == m_listId && info->item.pszText) {
    CItemIDList* holder = const_cast<CItemIDList*>(RowEntry(info->item.iItem));
    LPCITEMIDLIST record = holder ? holder->GetItem(0) : nullptr;
    if (record && m_volume &&
        SUCCEEDED(RenameItem(record, info->item.pszText, m_volume.Get(), m_list))) {
      CBstr newName = ConcatStrings(ConcatStrings(GetItemFolderPart(GetItemName(record)), L"\\"),
                                    info->item.pszText);
      CItemIDList* found = nullptr;
      if (SUCCEEDED(FindEntryByName(TextOf(newName), m_volume.Get(), &found)) && found) {
        holder->CopyFrom(*found);
        delete found;
      } else {
        // Renamed on the module although the new entry cannot be read yet.
        PostMessage(WM_COMMAND, MAKEWPARAM(IDM_REFRESH, 0), 0);
      }
      accepted = TRUE;
    }
  }
  m_renameDone = true;
  return accepted;
}
