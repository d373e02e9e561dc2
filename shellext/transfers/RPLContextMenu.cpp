// transfers/RPLContextMenu.cpp - the context menu of module items, drives and
// the module root: its items from the shared menu, verbs and commands.
#include "RPLContextMenu.h"
#include <mmsystem.h>
#include <cstring>
#include <new>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "DeleteOperation.h"
#include "FormatDialog.h"
#include "MessageFilter.h"
#include "ModuleCommands.h"
#include "ModuleHelp.h"
#include "NamespaceIds.h"
#include "PasteEngine.h"
#include "PropertySheet.h"
#include "RPLDataObject.h"
#include "RPLFolder.h"
#include "Seams.h"
#include "SearchDialog.h"
#include "SharedMenus.h"
#include "ShellExtClasses.h"

namespace {

// Confirmations on, no change sink: the server reports the changes.
HRESULT DeleteItems(const wchar_t* folder, CItemIDList* items, int count, BOOL noConfirmation, HWND owner) {
  return StartDeleteOperation(folder, items, count, noConfirmation, owner, nullptr);
}
// The holders' lists as the plain array the shell helpers take (delete[]).
LPCITEMIDLIST* NewListArray(const CItemIDList* items, int count) {
  auto* lists = new (std::nothrow) LPCITEMIDLIST[count > 0 ? count : 1];
  if (lists)
    for (int i = 0; i < count; ++i) lists[i] = items[i].Get();
  return lists;
}
HRESULT ItemsToClipboard(const wchar_t* folder, const CItemIDList* items, int count, DWORD effect) {
  LPCITEMIDLIST* lists = NewListArray(items, count);
  if (!lists) return E_OUTOFMEMORY;
  HRESULT hr = PutItemsOnClipboard(folder, nullptr, lists, static_cast<UINT>(count), effect, nullptr);
  delete[] lists;
  return hr;
}
// The clipboard's contents, the source's preferred effect, no wait.
HRESULT PasteClipboard(const wchar_t* target, HWND owner) {
  return StartPasteOperation(target, owner, nullptr, 0, FALSE, 0, nullptr);
}
HRESULT OpenSearchAt(const wchar_t* folder) { return OpenSearchWindow(nullptr, folder); }

const ContextMenuActions kRealActions = {
    ShowPropertySheet, DeleteItems, ItemsToClipboard, ClipboardHasPastableData, PasteClipboard, ShowFormatDialog,
    OpenSearchAt,
};
const ContextMenuActions* g_actions = &kRealActions;

// Which kinds accept a verb: bit 0 items, bit 1 drives, bit 2 module root.
struct Verb {
  UINT id;
  const char* verb;
  UINT kinds;
};
const Verb kVerbs[] = {
    {IDM_PROPERTIES, "properties", 3}, {IDM_CUT, "cut", 1},         {IDM_COPY, "copy", 1},
    {IDM_DELETE, "delete", 1},         {IDM_RENAME, "rename", 1},   {IDM_EXPLORE, "explore", 3},
    {IDM_OPEN, "open", 3},             {IDM_PASTE, "paste", 3},     {IDM_FIND, "search", 7},
    {IDM_FORMAT, "format", 2},         {IDM_STANDARD_FOLDERS, "stddirs", 2},
};

const char* VerbOf(UINT id, UINT kind) {
  for (const Verb& verb : kVerbs)
    if (verb.id == id && (verb.kinds & (1u << kind))) return verb.verb;
  return nullptr;
}

UINT IdOfVerb(const char* text, UINT kind) {
  for (const Verb& verb : kVerbs)
    if ((verb.kinds & (1u << kind)) && strcmp(verb.verb, text) == 0) return verb.id;
  return 0;
}

int PopupOf(UINT kind, const CItemIDList* items, int count) {
  switch (kind) {
    case RPLContextMenu::kItems:
      if (count < 1) return -1;
      return (GetItemAttributes(items[0].Get()) & kItemFolderAttribute) ? kFolderPopup : kFilePopup;
    case RPLContextMenu::kDrives: return kDiskPopup;
    case RPLContextMenu::kModuleRoot: return kRootPopup;
    default: return -1;
  }
}

// Paste is greyed unless the clipboard holds something pastable; the shared
// menu itself keeps the state.
void UpdatePasteMenuItem(HMENU popup, int index) {
  if (index != 0 && index != 1 && index != 2 && index != 4 && index != 5 && index != kRootPopup) return;
  wchar_t text[261] = L"";
  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STATE | MIIM_STRING;
  info.dwTypeData = text;
  info.cch = 260;
  if (!GetMenuItemInfoW(popup, IDM_PASTE, FALSE, &info)) return;
  info.fState = MFS_GRAYED | MFS_DISABLED;
  if (index != kRootPopup && CurrentContextMenuActions().clipboardHasPastableData()) info.fState = MFS_ENABLED;
  info.dwTypeData = text;
  SetMenuItemInfoW(popup, IDM_PASTE, FALSE, &info);
}

}  // namespace

const ContextMenuActions& CurrentContextMenuActions() { return *g_actions; }

const ContextMenuActions* SetContextMenuActions(const ContextMenuActions* actions) {
  const ContextMenuActions* previous = g_actions;
  g_actions = actions ? actions : &kRealActions;
  return previous;
}

HRESULT CreateRPLContextMenu(REFIID riid, void** ppv) { return CreateComObject<RPLContextMenu>(riid, ppv); }

RPLContextMenu::RPLContextMenu() { m_filter = AcquireThreadMessageFilter() == S_OK; }

RPLContextMenu::~RPLContextMenu() {
  FreeTable();
  FreeItems();
  if (m_filter) ReleaseThreadMessageFilter();
  if (m_folderReference) m_folderReference->Release();
}

void RPLContextMenu::FreeItems() {
  delete[] m_items;
  m_items = nullptr;
  m_count = 0;
}

void RPLContextMenu::FreeTable() {
  delete[] m_table;
  m_table = nullptr;
  m_inserted = -1;
  m_firstOffset = 0;
}

HRESULT RPLContextMenu::Init(RPLFolder* folder, const LPCITEMIDLIST* items, UINT count) {
  if (!folder || !items) return E_POINTER;
  IUnknown* reference = static_cast<IShellFolder*>(folder);
  reference->AddRef();
  if (m_folderReference) m_folderReference->Release();
  m_folderReference = reference;
  m_folder = folder;
  FreeItems();
  FreeTable();
  if (count > 0) {
    m_items = new (std::nothrow) CItemIDList[count];
    if (!m_items) return E_OUTOFMEMORY;
    for (UINT i = 0; i < count; ++i)
      if (FAILED(m_items[i].Assign(items[i]))) {
        FreeItems();
        return E_OUTOFMEMORY;
      }
    m_count = static_cast<int>(count);
  }
  m_kind = (m_count > 0 && IsDriveRootItem(m_items[0].Get())) ? kDrives : kItems;
  return S_OK;
}

STDMETHODIMP RPLContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  if (m_folderReference) m_folderReference->Release();
  m_folderReference = nullptr;
  m_folder = nullptr;
  FreeItems();
  FreeTable();
  // A failed initialisation leaves no menu, whatever the object was before.
  m_kind = kNone;
  if (!data) return E_INVALIDARG;
  // The item count and the first offset; a shorter block is E_UNEXPECTED.
  UINT header[2] = {};
  RETURN_IF_FAILED(ReadDataObjectBytes(data, ClipboardFormats().shellIdListArray, header, sizeof(header)));
  if (header[0] != 1) return E_INVALIDARG;
  m_kind = kModuleRoot;
  return S_OK;
}

STDMETHODIMP RPLContextMenu::QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT) {
  FreeTable();
  const int index = PopupOf(m_kind, m_items, m_count);
  HMENU popup = index >= 0 ? GetSharedPopupMenu(index) : nullptr;
  if (!popup) return E_UNEXPECTED;
  UpdatePasteMenuItem(popup, index);
  const int count = GetMenuItemCount(popup);
  if (count < 1) return E_UNEXPECTED;
  // Only ids within the host's range are given out, so none collides with
  // another handler's.
  int fitting = lastId < firstId ? 0 : static_cast<int>(lastId - firstId + 1);
  if (fitting > count || fitting < 0) fitting = count;
  m_table = new (std::nothrow) UINT[count]();
  if (!m_table) return E_OUTOFMEMORY;
  int inserted = 0;
  for (int i = 0; i < fitting; ++i) {
    wchar_t text[261] = L"";
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_FTYPE;
    if (!GetMenuItemInfoW(popup, i, TRUE, &info)) break;
    if (info.fType & MFT_SEPARATOR) {
      m_table[i] = 0;
    } else {
      info.fMask |= MIIM_STRING;
      info.dwTypeData = text;
      info.cch = 260;
      if (!GetMenuItemInfoW(popup, i, TRUE, &info)) break;
      m_table[i] = info.wID;
      info.wID = firstId + i;
    }
    if (!InsertMenuItemW(menu, position + i, TRUE, &info)) break;
    ++inserted;
  }
  m_inserted = inserted;
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, inserted);
}

STDMETHODIMP RPLContextMenu::GetCommandString(UINT_PTR offset, UINT flags, UINT*, CHAR* buffer, UINT size) {
  if (!buffer) return E_POINTER;
  if (m_inserted < 0 || offset < m_firstOffset || offset >= m_firstOffset + static_cast<UINT>(m_inserted))
    return E_UNEXPECTED;
  if (m_kind > kModuleRoot) return E_UNEXPECTED;
  const char* verb = VerbOf(m_table[offset - m_firstOffset], m_kind);
  switch (flags) {
    case GCS_VERBA:
    case GCS_HELPTEXTA:
      // Size 0 leaves no room even for the terminator.
      if (size == 0) return E_INVALIDARG;
      buffer[0] = 0;
      if (!verb) return E_FAIL;
      lstrcpynA(buffer, verb, static_cast<int>(size));
      return S_OK;
    case GCS_VERBW:
    case GCS_HELPTEXTW: {
      if (size == 0) return E_INVALIDARG;
      auto* wide = reinterpret_cast<wchar_t*>(buffer);
      wide[0] = 0;
      if (!verb) return E_FAIL;
      wchar_t converted[32] = L"";
      MultiByteToWideChar(CP_THREAD_ACP, 0, verb, -1, converted, ARRAYSIZE(converted));
      lstrcpynW(wide, converted, static_cast<int>(size));
      return S_OK;
    }
    case GCS_VALIDATEA:
    case GCS_VALIDATEW:
      return verb ? S_OK : S_FALSE;
    default:
      return E_INVALIDARG;
  }
}

STDMETHODIMP RPLContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  if (!info) return E_INVALIDARG;
  HRESULT hr;
  if (HIWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)) != 0) {
    const UINT id = IdOfVerb(info->lpVerb, m_kind);
    hr = id ? RunCommand(id, info->hwnd) : E_FAIL;
  } else {
    const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
    if (m_inserted < 0 || offset < m_firstOffset || offset >= m_firstOffset + static_cast<UINT>(m_inserted))
      hr = E_UNEXPECTED;
    else
      hr = RunCommand(m_table[offset - m_firstOffset], info->hwnd);
  }
  if (FAILED(hr)) ShellUi().PlaySystemSound(L".Default", SND_ASYNC);
  return hr;
}

HRESULT RPLContextMenu::RunCommand(UINT id, HWND owner) {
  switch (m_kind) {
    case kModuleRoot:
      return id == IDM_FIND ? CurrentContextMenuActions().openSearch(L"\\") : E_FAIL;
    case kDrives:
      return RunDriveCommand(id, owner);
    case kItems:
      return m_count > 0 ? RunItemCommand(id, owner) : E_UNEXPECTED;
    default:
      return E_UNEXPECTED;
  }
}

CItemIDList* RPLContextMenu::CopyItems() const {
  auto* copy = new (std::nothrow) CItemIDList[m_count > 0 ? m_count : 1];
  if (!copy) return nullptr;
  for (int i = 0; i < m_count; ++i)
    if (FAILED(copy[i].CopyFrom(m_items[i]))) {
      delete[] copy;
      return nullptr;
    }
  return copy;
}

CBstr RPLContextMenu::FolderPath() const { return m_folder ? m_folder->GetPath() : CBstr(); }

// The folder's path and "\" and the first item's name.
CBstr RPLContextMenu::TargetOfFirstItem() const {
  CBstr target = FolderPath();
  target.Append(L"\\");
  target.Append(GetItemNameString(m_items[0].Get()));
  return target;
}

HRESULT RPLContextMenu::OpenFolders(UINT id, HWND owner) {
  LPCITEMIDLIST* lists = NewListArray(m_items, m_count);
  if (!lists) return E_OUTOFMEMORY;
  OpenFoldersInShell(id, m_folder ? m_folder->GetIDList().Get() : nullptr, lists, static_cast<UINT>(m_count),
                     nullptr, owner);
  delete[] lists;
  return S_OK;
}

HRESULT RPLContextMenu::RunDriveCommand(UINT id, HWND owner) {
  const ContextMenuActions& actions = CurrentContextMenuActions();
  switch (id) {
    case IDM_PROPERTIES: {
      CItemIDList* copy = CopyItems();
      if (!copy) return E_OUTOFMEMORY;
      return actions.showPropertySheet(FolderPath().GetBstr(), copy, m_count);
    }
    case IDM_EXPLORE:
    case IDM_OPEN:
      return OpenFolders(id, owner);
    case IDM_PASTE:
      return actions.startPaste(TargetOfFirstItem().GetBstr(), owner);
    case IDM_FIND:
      return actions.openSearch(GetItemName(m_items[0].Get()));
    case IDM_FORMAT: {
      // A drive whose dialog cannot open does not keep the others closed.
      HRESULT result = S_OK;
      for (int i = 0; i < m_count; ++i) {
        HRESULT hr = actions.showFormat(GetItemNameString(m_items[i].Get()).GetBstr(), GetItemSize(m_items[i].Get()));
        if (FAILED(hr)) result = hr;
      }
      return result;
    }
    case IDM_STANDARD_FOLDERS: {
      IVKSVolume* volume = nullptr;
      HRESULT hr = CreateModuleVolume(&volume);
      if (FAILED(hr)) return hr;
      for (int i = 0; i < m_count; ++i)
        hr = CreateStdDirsWithMessage(GetItemNameString(m_items[i].Get()).GetBstr(), volume, owner);
      volume->Release();
      return hr;
    }
    default:
      return E_FAIL;
  }
}

HRESULT RPLContextMenu::RunItemCommand(UINT id, HWND owner) {
  const ContextMenuActions& actions = CurrentContextMenuActions();
  LPCITEMIDLIST first = m_items[0].Get();
  switch (id) {
    case IDM_PROPERTIES:
    case IDM_DELETE: {
      CItemIDList* copy = CopyItems();
      if (!copy) return E_OUTOFMEMORY;
      if (id == IDM_PROPERTIES) return actions.showPropertySheet(FolderPath().GetBstr(), copy, m_count);
      return actions.startDelete(FolderPath().GetBstr(), copy, m_count, FALSE, owner);
    }
    case IDM_CUT:
    case IDM_COPY:
      if (IsDriveRootItem(first)) {
        ShellUi().PlaySystemSound(L".Default", SND_ASYNC);
        return S_OK;
      }
      return actions.putOnClipboard(FolderPath().GetBstr(), m_items, m_count, id == IDM_CUT ? DROPEFFECT_MOVE
                                                                                            : DROPEFFECT_COPY);
    case IDM_EXPLORE:
    case IDM_OPEN:
      return OpenFolders(id, owner);
    case IDM_PASTE:
    case IDM_FIND: {
      const CBstr target = (IsFolderItem(first) || IsDriveRootItem(first)) ? TargetOfFirstItem() : FolderPath();
      return id == IDM_PASTE ? actions.startPaste(target.GetBstr(), owner) : actions.openSearch(target.GetBstr());
    }
    default:
      return E_FAIL;
  }
}
