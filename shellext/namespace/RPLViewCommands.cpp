// namespace/RPLViewCommands.cpp - the view's commands, its list notifications
// and the status bar.
#include <vector>
#include <windows.h>
#include <mmsystem.h>
#include "ModuleEntry.h"
#include "ModuleHelp.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "RPLView.h"
#include "ModuleCommands.h"
#include "ModuleItemID.h"
#include "Seams.h"
#include "ViewActions.h"
#include "ViewStatus.h"

namespace {

const wchar_t kInvalidateCache[] = L"\\<INVALIDATE_CACHE_CHANGE";
const int kUnmeasuredPartWidth = 256;

bool IsSortCommand(UINT id) {
  return (id >= 8197 && id <= 8200) || (id >= 8203 && id <= 8206) || id == 8303 || id == 8342 ||
         (id >= 8410 && id <= 8413);
}

const UINT kOpenParentCommand = 8300;
const UINT kStandardFoldersCommand = 8327;
const UINT kContextMenuCommand = 8389;

bool IsFolderOrDrive(const CItemIDList* holder) {
  LPCITEMIDLIST record = holder ? holder->GetItem(0) : nullptr;
  return record && (IsFolderItem(record) || IsDriveRootItem(record));
}

// A new[] copy the delete operation and the property sheet take over.
CItemIDList* HandOver(const std::vector<CItemIDList>& items) {
  if (items.empty()) return nullptr;
  CItemIDList* array = new (std::nothrow) CItemIDList[items.size()];
  if (!array) return nullptr;
  for (size_t i = 0; i < items.size(); ++i) array[i].CopyFrom(items[i]);
  return array;
}

const wchar_t* TextOf(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

// The list names the point of its clicks; without it, the message's cursor.
POINT ClickPoint(NMHDR* header, HWND list) {
  const NMITEMACTIVATE* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
  if (click->ptAction.x || click->ptAction.y) return click->ptAction;
  DWORD position = GetMessagePos();
  POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  ScreenToClient(list, &point);
  return point;
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

void RPLView::OnOtherCommand(WORD code, WORD id) {
  switch (id) {
    case IDM_LARGE_ICONS: SetViewMode(LVS_ICON); break;
    case IDM_SMALL_ICONS: SetViewMode(LVS_SMALLICON); break;
    case IDM_LIST: SetViewMode(LVS_LIST); break;
    case IDM_DETAILS: SetViewMode(LVS_REPORT); break;
    case IDM_PROPERTIES: ShowProperties(); break;
    case IDM_AUTO_ARRANGE: SetAutoArrange(!(m_settings.fFlags & FWF_AUTOARRANGE)); break;
    case IDM_CUT:
    case IDM_COPY: CutOrCopy(id); break;
    case IDM_DELETE: DeleteSelection(); break;
    case IDM_RENAME: RenameSelection(); break;
    case IDM_EXPLORE: OpenSelection(id); break;
    case IDM_OPEN:
      if (code == 1) OpenFocusedCommand();
      else OpenSelection(id);
      break;
    case IDM_PASTE: PasteIntoTarget(); break;
    case IDM_FIND: FindCommand(); break;
    case IDM_FORMAT: FormatCommand(); break;
    case kOpenParentCommand: OpenParentCommand(); break;
    case IDM_NEW_FOLDER: NewFolderCommand(); break;
    case kStandardFoldersCommand: StandardFoldersCommand(); break;
    case kContextMenuCommand: ContextMenuCommand(); break;
    default: break;
  }
}

CItemIDList RPLView::GetFolderAsItem() const {
  CItemIDList item;
  LPCITEMIDLIST last = m_folderList.GetLastItem();
  if (last && IsValidModuleItem(last)) {
    item.Attach(CItemIDList(last).CopyRange(0, 0));
    return item;
  }
  CItemIDList* found = nullptr;
  if (m_volume && m_path.GetLength() && SUCCEEDED(FindEntryByName(m_path.GetBstr(), m_volume.Get(), &found)) && found) {
    item = std::move(*found);
    delete found;
  }
  return item;
}

CBstr RPLView::FolderParentPath() const { return GetItemFolderPart(TextOf(m_path)); }

// Cut, copy and delete act on the selection while the view has the focus;
// otherwise on every drive of the drive list, or on the shown folder itself
// inside its parent. Properties take the selection or the folder alone; paste
// the folder under the context menu or the view's own.
ViewCommandTarget RPLView::GetCommandTarget(UINT command) const {
  ViewCommandTarget target;
  const bool focus = HasFocus();
  auto selected = [this, &target] {
    if (!m_list.IsWindow()) return;
    for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
      if (const CItemIDList* entry = RowEntry(row)) target.items.emplace_back(*entry);
  };
  switch (command) {
    case IDM_PASTE:
      target.path = PasteTarget();
      return target;
    case IDM_PROPERTIES:
      target.path = m_path;
      if (focus) selected();
      return target;
    default: break;
  }
  target.passSink = m_search != nullptr;
  if (focus) {
    target.path = m_path;
    target.passView = true;
    selected();
  } else if (m_driveList) {
    target.path = m_path;
    target.allRows = true;
    for (int i = 0; i < m_entryCount; ++i) target.items.emplace_back(*m_entries[i]);
  } else {
    target.path = FolderParentPath();
    CItemIDList folder = GetFolderAsItem();
    if (!folder.IsEmpty()) target.items.push_back(std::move(folder));
  }
  return target;
}

CBstr RPLView::PasteTarget() const {
  if (m_contextItem && IsFolderOrDrive(m_contextItem)) return CBstr(GetItemName(m_contextItem->GetItem(0)));
  if (m_search) return CBstr();
  return m_path.GetLength() ? m_path : CBstr(L"");
}

void RPLView::ResetCutMarks() {
  if (!m_list.IsWindow()) return;
  LVITEMW state = {};
  state.stateMask = LVIS_CUT;
  m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
}

void RPLView::MarkCut(bool allRows) {
  if (!m_list.IsWindow()) return;
  LVITEMW state = {};
  state.stateMask = state.state = LVIS_CUT;
  if (allRows) {
    m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    return;
  }
  for (int row = -1; (row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
    m_list.SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

HRESULT RPLView::CutOrCopy(UINT command) {
  ViewCommandTarget target = GetCommandTarget(command);
  if (target.items.empty()) return S_FALSE;
  const bool cut = command == IDM_CUT;
  const bool rows = target.passView || target.allRows;
  if (rows) ResetCutMarks();
  HRESULT hr = PutItemsOnClipboard(TextOf(target.path), target.passView ? this : nullptr, target.items.data(),
                                   static_cast<int>(target.items.size()), cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY,
                                   target.passSink ? m_sinkInterface.Get() : nullptr);
  if (SUCCEEDED(hr) && cut && rows) MarkCut(target.allRows);
  return hr;
}

HRESULT RPLView::DeleteSelection() {
  ViewCommandTarget target = GetCommandTarget(IDM_DELETE);
  if (target.items.empty()) return S_FALSE;
  CItemIDList* items = HandOver(target.items);
  if (!items) return E_OUTOFMEMORY;
  return StartDeleteOperation(TextOf(target.path), items, static_cast<int>(target.items.size()), FALSE,
                              m_list.IsWindow() ? m_list.Handle() : m_hWnd,
                              target.passSink ? m_sinkInterface.Get() : nullptr);
}

HRESULT RPLView::ShowProperties() {
  ViewCommandTarget target = GetCommandTarget(IDM_PROPERTIES);
  CItemIDList* items = HandOver(target.items);
  if (!target.items.empty() && !items) return E_OUTOFMEMORY;
  return ShowPropertySheet(TextOf(target.path), items, static_cast<int>(target.items.size()));
}

HRESULT RPLView::PasteIntoTarget() {
  CBstr target = PasteTarget();
  if (m_search && !(m_contextItem && IsFolderOrDrive(m_contextItem))) return S_FALSE;
  HWND owner = m_list.IsWindow() ? m_list.Handle() : nullptr;
  if (!owner && m_browser) m_browser->GetWindow(&owner);
  return StartPasteOperation(TextOf(target), owner, nullptr, 0, FALSE, 0, nullptr);
}

void RPLView::OpenSelection(UINT command) {
  CItemIDList* items = nullptr;
  int count = 0;
  GetSelectedItems(&items, &count);
  if (m_browser) {
    std::vector<LPCITEMIDLIST> records;
    for (int i = 0; i < count; ++i) records.push_back(items[i].Get());
    CItemIDList context;
    if (m_contextItem) context.CopyFrom(*m_contextItem);
    OpenFoldersInShell(command, m_folderList.Get(), records.data(), static_cast<UINT>(records.size()),
                       context.Get(), m_hWnd);
    if (!context.IsEmpty()) BrowseToItem(command, &context);
  } else if (m_search && count) {
    m_search->OpenSearchItems(items, count, m_volume.Get());
  }
  delete[] items;
}

void RPLView::BrowseToItem(UINT command, const CItemIDList* holder) {
  if (!m_browser || !holder || holder->IsEmpty()) return;
  UINT flags = SBSP_RELATIVE | SBSP_OPENMODE;
  if (command == IDM_EXPLORE) {
    HWND tree = nullptr;
    flags = SBSP_RELATIVE | SBSP_EXPLOREMODE;
    if (FAILED(m_browser->GetControlWindow(FCW_TREE, &tree)) || !tree) flags |= SBSP_NEWBROWSER;
  }
  // The record is our own copy: the browse may free this view and its rows.
  CItemIDList record(holder->Get());
  IShellBrowser* browser = m_browser.Get();
  browser->AddRef();
  AddRef();
  browser->BrowseObject(record.Get(), flags);
  Release();
  browser->Release();
}

void RPLView::OpenFocusedCommand() {
  CItemIDList* focused = GetFocusedItem();
  if (!focused || !m_list.IsWindow() ||
      !(m_list.SendMessage(LVM_GETITEMSTATE, m_hitRow, LVIS_SELECTED) & LVIS_SELECTED))
    return;
  if (!IsFolderOrDrive(focused)) {
    CBstr text = g_resourceModule.LoadResString(IDS_FILES_NOT_OPENED);
    CBstr caption = g_resourceModule.LoadResString(IDS_MODULE);
    ShellUi().ShowMessageBox(m_list, TextOf(text), TextOf(caption), MB_ICONERROR);
    return;
  }
  CItemIDList copy(focused->Get());
  BrowseToItem(IDM_OPEN, &copy);
}

void RPLView::FindCommand() {
  CBstr start;
  if (IsFolderOrDrive(m_contextItem)) {
    start = CBstr(GetItemName(m_contextItem->GetItem(0)));
  } else {
    CItemIDList* focused = GetFocusedItem();
    start = IsFolderOrDrive(focused) ? CBstr(GetItemName(focused->GetItem(0))) : m_path;
  }
  OpenSearchWindow(TextOf(start));
}

void RPLView::FormatCommand() {
  CItemIDList* items = nullptr;
  int count = 0;
  if (FAILED(GetSelectedItems(&items, &count))) return;
  for (int i = 0; i < count; ++i) {
    LPCITEMIDLIST record = items[i].GetItem(0);
    if (record) ShowFormatDialog(TextOf(GetLastNameComponent(GetItemName(record))), GetItemSize(record));
  }
  delete[] items;
}

void RPLView::StandardFoldersCommand() {
  CItemIDList* items = nullptr;
  int count = 0;
  if (FAILED(GetSelectedItems(&items, &count))) return;
  for (int i = 0; i < count; ++i) {
    LPCITEMIDLIST record = items[i].GetItem(0);
    if (record && m_volume)
      CreateStdDirsWithMessage(TextOf(GetLastNameComponent(GetItemName(record))), m_volume.Get(), m_list);
  }
  delete[] items;
}

void RPLView::OpenParentCommand() {
  CItemIDList* focused = GetFocusedItem();
  LPCITEMIDLIST record = focused ? focused->GetItem(0) : nullptr;
  if (!record) return;
  OpenPathInShell(TextOf(GetItemFolderPart(GetItemName(record))), IDM_OPEN);
}

// A module path opened (or explored) in a window of Explorer's own.
void RPLView::OpenPathInShell(const wchar_t* path, UINT command) {
  CItemIDList absolute;
  if (!m_volume || FAILED(GetModuleAbsoluteIDList(path, &absolute, m_volume.Get()))) return;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
  info.lpClass = L"folder";
  info.hwnd = m_search ? m_search->SearchWindow() : m_hWnd;
  info.lpVerb = command == IDM_EXPLORE ? L"explore" : L"open";
  info.nShow = SW_SHOWNORMAL;
  info.lpIDList = absolute.Get();
  ShellUi().ExecuteShell(&info);
}

void RPLView::NewFolderCommand() {
  if (m_driveList) {
    ShellUi().PlaySystemSound(L".Default", SND_ASYNC);
    return;
  }
  SetFocusToList();
  if (!m_volume) return;
  CBstr created = CreateNewFolder(TextOf(m_path), m_volume.Get(), m_list.IsWindow() ? m_list.Handle() : m_hWnd);
  if (!created.GetLength()) return;
  // Our own change would refresh the list under the label editor.
  UnregisterChangeSink();
  Refresh();
  CItemIDList* found = nullptr;
  HRESULT renamed = S_OK;
  if (SUCCEEDED(FindEntryByName(created.GetBstr(), m_volume.Get(), &found)) && found) {
    AddRef();
    renamed = HandleRename(found->GetItem(0));
    delete found;
    if (renamed != E_FAIL) Refresh();
    if (renamed != E_FAIL) RegisterChangeSink();
    Release();
    return;
  }
  RegisterChangeSink();
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
    case LVN_BEGINLABELEDITW:
      if (header->idFrom != kFileListId) break;
      return OnBeginLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_ENDLABELEDITW:
      if (header->idFrom != kFileListId) break;
      return OnEndLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG: return OnBeginDrag(reinterpret_cast<NMLISTVIEW*>(header));
    case NM_CLICK: return OnListClick(ClickPoint(header, m_list), handled);
    case NM_RCLICK: return OnRightClick(ClickPoint(header, m_list));
    case NM_DBLCLK: return OnListDoubleClick(ClickPoint(header, m_list));
    default: break;
  }
  handled = FALSE;
  return 0;
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
