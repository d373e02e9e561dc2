// search/NamePageDialog.cpp - the "Name/Location" page: name pattern with the
// searched-names history, containing text, look-in folder, subfolders.
#include <memory>
#include <new>
#include "ItemIDList.h"
#include "ModuleItemID.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "SearchDialog.h"
#include "ModuleHelp.h"
#include "ResourceIds.h"
#include "SearchPageDialog.h"
#include "ShellHelpers.h"

namespace {

const int kNameControls[] = {IDC_SEARCH_NAME, IDC_SEARCH_TEXT, IDC_SEARCH_LOOK_IN, IDC_SEARCH_SUBFOLDERS,
                             IDC_SEARCH_BROWSE};
// The namespace folder's class as the shell parses it (one closing brace).
const wchar_t kModuleFolderName[] = L"::{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}";

int IconOrZero(int index) { return index < 0 ? 0 : index; }

CBstr DriveText(const wchar_t* path) {
  CBstr text = g_resourceModule.LoadResString(IDS_MODULE_DISK);
  text.Append(L" (");
  text.Append(GetDrivePart(CBstr(path)));
  text.Append(L")");
  return text;
}

wchar_t* CopyPath(const wchar_t* path) {
  const size_t length = path ? wcslen(path) : 0;
  auto* copy = new (std::nothrow) wchar_t[length + 1];
  if (copy) {
    if (length) wmemcpy(copy, path, length);
    copy[length] = 0;
  }
  return copy;
}

UINT CountIds(LPCITEMIDLIST list) {
  UINT count = 0;
  for (auto* id = reinterpret_cast<const BYTE*>(list); id && reinterpret_cast<const SHITEMID*>(id)->cb;
       id += reinterpret_cast<const SHITEMID*>(id)->cb)
    ++count;
  return count;
}

}  // namespace

NamePageDialog::NamePageDialog(RPLSearchDialog* owner, const wchar_t* startFolder) : SearchPageDialog(owner) {
  if (startFolder && startFolder[0]) {
    if (startFolder[0] != L'\\') m_startFolder = L"\\";
    m_startFolder.Append(startFolder);
  } else {
    m_startFolder = L"\\";
  }
}

NamePageDialog::~NamePageDialog() {
  if (ExtendedControls()) FreeLookInPaths();
  DestroyWindow();
}

LRESULT NamePageDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  RECT page, combo;
  GetWindowRect(&page);
  ::GetWindowRect(GetDlgItem(IDC_SEARCH_NAME), &combo);
  m_rightMargin = page.right - combo.right;
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_NAME, CB_LIMITTEXT, 259, 0);
  LoadSearchHistory(&m_history);
  for (const auto& entry : m_history.entries)
    if (entry[0]) SendDlgItemMessageW(m_hWnd, IDC_SEARCH_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  FillLookIn();
  ResetControls();
  SelectLookInPath(m_startFolder.GetBstr());
  m_initialised = TRUE;
  return TRUE;
}

LRESULT NamePageDialog::OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (!m_initialised || (wParam != SIZE_RESTORED && wParam != SIZE_MAXIMIZED)) return 0;
  const int width = LOWORD(lParam);
  for (int id : {IDC_SEARCH_NAME, IDC_SEARCH_TEXT, IDC_SEARCH_LOOK_IN})
    StretchDlgItemWidth(m_hWnd, id, width, m_rightMargin);
  RECT browse;
  ::GetWindowRect(GetDlgItem(IDC_SEARCH_BROWSE), &browse);
  AlignDlgItemRight(m_hWnd, IDC_SEARCH_BROWSE, width, browse.right - browse.left + m_rightMargin);
  return 0;
}

void NamePageDialog::EnableControls() { EnableItems(kNameControls, ARRAYSIZE(kNameControls), TRUE); }
void NamePageDialog::DisableControls() { EnableItems(kNameControls, ARRAYSIZE(kNameControls), FALSE); }

void NamePageDialog::ResetControls() {
  SetDlgItemTextW(m_hWnd, IDC_SEARCH_NAME, L"");
  SetDlgItemTextW(m_hWnd, IDC_SEARCH_TEXT, L"");
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_LOOK_IN, CB_SETCURSEL, 0, 0);
  CheckDlgButton(m_hWnd, IDC_SEARCH_SUBFOLDERS, BST_CHECKED);
}

void NamePageDialog::LoadSettings() {
  const SearchSettings& c = Criteria();
  SetDlgItemTextW(m_hWnd, IDC_SEARCH_NAME, c.name.GetBstr() ? c.name.GetBstr() : L"");
  SetDlgItemTextW(m_hWnd, IDC_SEARCH_TEXT, c.text.GetBstr() ? c.text.GetBstr() : L"");
  SelectLookInPath(c.path.GetBstr());
  CheckDlgButton(m_hWnd, IDC_SEARCH_SUBFOLDERS, c.includeSubfolders ? BST_CHECKED : BST_UNCHECKED);
}

void NamePageDialog::ReadSettings(SearchSettings* c) {
  UpdateWindow(m_hWnd);
  wchar_t name[260] = {};
  GetDlgItemTextW(m_hWnd, IDC_SEARCH_NAME, name, ARRAYSIZE(name));
  SaveSearchHistory(&m_history, name);
  c->name = name;
  c->text = GetWindowTextString(GetDlgItem(IDC_SEARCH_TEXT));
  c->path = GetLookInPath();
  c->includeSubfolders = IsDlgButtonChecked(m_hWnd, IDC_SEARCH_SUBFOLDERS) == BST_CHECKED;
}

int NamePageDialog::InsertLookInItem(int position, const CBstr& text, int icon, int indent, const wchar_t* path) {
  wchar_t* copy = CopyPath(path);
  if (!copy) return -1;
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT | CBEIF_LPARAM;
  item.iItem = position;
  item.pszText = const_cast<wchar_t*>(text.GetBstr() ? text.GetBstr() : L"");
  item.iImage = item.iSelectedImage = icon;
  item.iIndent = indent;
  item.lParam = reinterpret_cast<LPARAM>(copy);
  const int at = static_cast<int>(SendDlgItemMessageW(m_hWnd, IDC_SEARCH_LOOK_IN, CBEM_INSERTITEMW, 0,
                                                      reinterpret_cast<LPARAM>(&item)));
  if (at < 0) delete[] copy;
  return at;
}

void NamePageDialog::FreeLookInPaths() {
  const HWND combo = GetDlgItem(IDC_SEARCH_LOOK_IN);
  if (!combo) return;
  const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    auto* path = reinterpret_cast<wchar_t*>(::SendMessageW(combo, CB_GETITEMDATA, i, 0));
    if (path && reinterpret_cast<LRESULT>(path) != CB_ERR) delete[] path;
    ::SendMessageW(combo, CB_SETITEMDATA, i, 0);
  }
}

void NamePageDialog::FillLookIn() {
  if (!ExtendedControls()) return;
  const HWND combo = GetDlgItem(IDC_SEARCH_LOOK_IN);
  FreeLookInPaths();
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  ::SendMessageW(combo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(GetSmallSysImageList()));
  InsertLookInItem(0, g_resourceModule.LoadResString(IDS_MODULE), IconOrZero(GetSysIconIndex(kModuleFolderName, 0, 0)),
                   0, L"\\");
  IVKSVolume* own = nullptr;
  if (FAILED(CreateModuleVolume(&own)) || !own) return;
  CItemIDList* drives = nullptr;
  int count = 0;
  if (SUCCEEDED(ListFolderEntries(L"", &drives, &count, own, true))) {
    std::unique_ptr<CItemIDList[]> owner(drives);
    int placed = 0;
    for (int i = 0; i < count; ++i) {
      const wchar_t* name = GetItemName(drives[i].Get());
      const CBstr text = DriveText(name);
      // Sorted among the drives before it, without case.
      int position = 1;
      for (; position <= placed; ++position) {
        wchar_t existing[300] = {};
        COMBOBOXEXITEMW item = {};
        item.mask = CBEIF_TEXT;
        item.iItem = position;
        item.pszText = existing;
        item.cchTextMax = ARRAYSIZE(existing);
        ::SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (CompareText(existing, text.GetBstr(), FALSE) >= 0) break;
      }
      if (InsertLookInItem(position, text, IconOrZero(GetDriveIconIndex()), 1, name) >= 0) ++placed;
    }
  }
  own->Release();
}

int NamePageDialog::FindLookInItem(const wchar_t* path) const {
  const HWND combo = GetDlgItem(IDC_SEARCH_LOOK_IN);
  const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    auto* data = reinterpret_cast<const wchar_t*>(::SendMessageW(combo, CB_GETITEMDATA, i, 0));
    if (data && reinterpret_cast<LRESULT>(data) != CB_ERR && lstrcmpiW(data, path ? path : L"") == 0) return i;
  }
  return -1;
}

void NamePageDialog::SelectLookInPath(const wchar_t* path) {
  if (!ExtendedControls()) return;
  const size_t length = path ? wcslen(path) : 0;
  CBstr text;
  int icon = 0;
  if (length > 1 && IsDriveRootName(path)) {
    text = DriveText(path);
    icon = GetDriveIconIndex();
  } else if (length > 1) {
    text = GetLastNameComponent(path);
    icon = GetSysIconIndex(L"Module", FILE_ATTRIBUTE_DIRECTORY, 0);
  } else {
    text = g_resourceModule.LoadResString(IDS_MODULE);
    icon = GetSysIconIndex(kModuleFolderName, 0, 0);
  }
  icon = IconOrZero(icon);
  const CBstr itemPath(length > 1 ? path : L"\\");
  const HWND combo = GetDlgItem(IDC_SEARCH_LOOK_IN);
  int at = FindLookInItem(itemPath.GetBstr());
  if (at >= 0) {
    wchar_t* copy = CopyPath(itemPath.GetBstr());
    if (!copy) return;
    delete[] reinterpret_cast<wchar_t*>(::SendMessageW(combo, CB_GETITEMDATA, at, 0));
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
    item.iItem = at;
    item.pszText = const_cast<wchar_t*>(text.GetBstr() ? text.GetBstr() : L"");
    item.iImage = item.iSelectedImage = icon;
    item.lParam = reinterpret_cast<LPARAM>(copy);
    ::SendMessageW(combo, CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  } else {
    at = InsertLookInItem(static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0)), text, icon, 0,
                          itemPath.GetBstr());
  }
  if (at >= 0) ::SendMessageW(combo, CB_SETCURSEL, at, 0);
}

CBstr NamePageDialog::GetLookInPath() const {
  if (!ExtendedControls()) return CBstr();
  const HWND combo = GetDlgItem(IDC_SEARCH_LOOK_IN);
  const LRESULT selected = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) {
    wchar_t typed[261] = {};
    ::GetWindowTextW(combo, typed, ARRAYSIZE(typed));
    CBstr path;
    if (typed[0] && typed[0] != L'\\') path = L"\\";
    path.Append(typed);
    return path;
  }
  auto* data = reinterpret_cast<const wchar_t*>(::SendMessageW(combo, CB_GETITEMDATA, selected, 0));
  return CBstr(data && reinterpret_cast<LRESULT>(data) != CB_ERR ? data : L"");
}

void NamePageDialog::OnBrowse() {
  CItemIDList root;
  if (FAILED(GetModuleRootIDList(&root))) return;
  const CBstr title = g_resourceModule.LoadResString(IDS_SEARCH_BROWSE_TITLE);
  BROWSEINFOW info = {};
  info.hwndOwner = m_hWnd;
  info.pidlRoot = root.Get();
  info.lpszTitle = title.GetBstr();
  PIDLIST_ABSOLUTE chosen = ShellUi().BrowseFolder(&info);
  if (!chosen) return;
  const UINT count = CountIds(chosen);
  if (count < 3) {
    SelectLookInPath(L"\\");
  } else {
    // The last item is the chosen module folder's own record, which holds
    // its whole module path.
    auto* last = reinterpret_cast<const BYTE*>(chosen);
    for (UINT i = 0; i + 1 < count; ++i) last += reinterpret_cast<const SHITEMID*>(last)->cb;
    auto lastItem = reinterpret_cast<LPCITEMIDLIST>(last);
    if (IsValidModuleItem(lastItem)) SelectLookInPath(GetItemName(lastItem));
  }
  CoTaskMemFree(chosen);
}
