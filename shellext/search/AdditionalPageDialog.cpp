// search/AdditionalPageDialog.cpp - the "Additional options" page: the file
// type from the registered types, and a size limit.
#include <new>
#include "ModuleHelp.h"
#include "Registry.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "SearchDialog.h"
#include "SearchIds.h"
#include "SearchPageDialog.h"

namespace {

const int kMoreControls[] = {IDC_SEARCH_TYPE, IDC_SEARCH_SIZE_TYPE, IDC_SEARCH_LIMIT, IDC_SEARCH_LIMIT_SPIN};

// The default value as a whole string: REG_SZ or REG_EXPAND_SZ, not empty, an
// even byte count ending with its terminator.
bool ReadDefaultText(HKEY root, const wchar_t* subkey, wchar_t* text, DWORD bytes) {
  CRegistryKey key;
  if (key.Open(root, subkey, KEY_READ) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = bytes;
  if (key.QueryValue(nullptr, &type, text, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (size < 2 * sizeof(wchar_t) || size % sizeof(wchar_t)) return false;
  return text[size / sizeof(wchar_t) - 1] == 0;
}

}  // namespace

void InsertFileType(Ring<FileTypeEntry>* types, const wchar_t* description, const wchar_t* extension) {
  for (FileTypeEntry* entry = types->First(); entry; entry = types->Next(entry)) {
    const int order = CompareText(entry->description.GetBstr(), description, FALSE);
    if (order == 0) {
      entry->pattern.Append(L"|*");
      entry->pattern.Append(extension);
      return;
    }
    if (order > 0) {
      auto* made = new (std::nothrow) FileTypeEntry(description, extension);
      if (made) made->InsertBefore(entry);
      return;
    }
  }
  auto* made = new (std::nothrow) FileTypeEntry(description, extension);
  if (made) made->InsertBefore(types);
}

void FreeFileTypes(Ring<FileTypeEntry>* types) {
  while (FileTypeEntry* entry = types->First()) delete entry;
}

void ReadFileTypes(HKEY classesRoot, Ring<FileTypeEntry>* types) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[261] = {};
    DWORD length = ARRAYSIZE(name);
    if (RegEnumKeyExW(classesRoot, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (name[0] != L'.') continue;
    wchar_t className[261] = {};
    wchar_t description[261] = {};
    if (!ReadDefaultText(classesRoot, name, className, sizeof(className) - sizeof(wchar_t))) continue;
    if (!ReadDefaultText(classesRoot, className, description, 520)) continue;
    InsertFileType(types, description, name);
  }
}

AdditionalPageDialog::~AdditionalPageDialog() {
  FreeFileTypes(&m_types);
  DestroyWindow();
}

LRESULT AdditionalPageDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  FillTypes();
  RECT page, combo;
  GetWindowRect(&page);
  ::GetWindowRect(GetDlgItem(IDC_SEARCH_TYPE), &combo);
  m_rightMargin = page.right - combo.right;
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_LIMIT, EM_LIMITTEXT, 6, 0);
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_LIMIT_SPIN, UDM_SETRANGE, 0, MAKELPARAM(32767, 0));
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_SIZE_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));
  for (UINT id : {IDS_SEARCH_MINIMUM, IDS_SEARCH_MAXIMUM})
    SendDlgItemMessageW(m_hWnd, IDC_SEARCH_SIZE_TYPE, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(g_resourceModule.LoadResString(id).GetBstr()));
  LoadSettings();
  m_initialised = TRUE;
  return TRUE;
}

LRESULT AdditionalPageDialog::OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (m_initialised && (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED))
    StretchDlgItemWidth(m_hWnd, IDC_SEARCH_TYPE, LOWORD(lParam), m_rightMargin);
  return 0;
}

void AdditionalPageDialog::FillTypes() {
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TYPE, CB_RESETCONTENT, 0, 0);
  FreeFileTypes(&m_types);
  ReadFileTypes(ShellRegistryRoots().classesRoot, &m_types);
  for (FileTypeEntry* entry = m_types.First(); entry; entry = m_types.Next(entry))
    SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry->description.GetBstr()));
  const CBstr all = g_resourceModule.LoadResString(IDS_SEARCH_ALL_TYPES);
  auto* first = new (std::nothrow) FileTypeEntry(all.GetBstr(), L"*");
  if (first) first->InsertAfter(&m_types);
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TYPE, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(all.GetBstr()));
}

CBstr AdditionalPageDialog::GetTypePattern(const CBstr& typeName) const {
  if (!typeName.GetLength()) return CBstr();
  for (FileTypeEntry* entry = m_types.First(); entry; entry = m_types.Next(entry))
    if (CompareText(entry->description.GetBstr(), typeName.GetBstr(), FALSE) == 0) return entry->pattern;
  return CBstr();
}

void AdditionalPageDialog::EnableControls() { EnableItems(kMoreControls, ARRAYSIZE(kMoreControls), TRUE); }
void AdditionalPageDialog::DisableControls() { EnableItems(kMoreControls, ARRAYSIZE(kMoreControls), FALSE); }

void AdditionalPageDialog::ResetControls() {
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_SIZE_TYPE, CB_SETCURSEL, 0, 0);
  SetDlgItemInt(m_hWnd, IDC_SEARCH_LIMIT, 0, FALSE);
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TYPE, CB_SETCURSEL, 0, 0);
}

void AdditionalPageDialog::LoadSettings() {
  const SearchSettings& c = Criteria();
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_SIZE_TYPE, CB_SETCURSEL, c.sizeType, 0);
  SetDlgItemInt(m_hWnd, IDC_SEARCH_LIMIT, static_cast<UINT>(c.limit), FALSE);
  const LRESULT found = SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TYPE, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(c.typeName.GetBstr() ? c.typeName.GetBstr() : L""));
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_TYPE, CB_SETCURSEL, found == CB_ERR ? 0 : found, 0);
}

void AdditionalPageDialog::ReadSettings(SearchSettings* c) {
  UpdateWindow(m_hWnd);
  wchar_t typeName[260] = {};
  GetDlgItemTextW(m_hWnd, IDC_SEARCH_TYPE, typeName, ARRAYSIZE(typeName));
  c->typeName = typeName;
  c->typePattern = GetTypePattern(c->typeName);
  const LRESULT sizeType = SendDlgItemMessageW(m_hWnd, IDC_SEARCH_SIZE_TYPE, CB_GETCURSEL, 0, 0);
  c->sizeType = sizeType == CB_ERR ? 0 : static_cast<int>(sizeType);
  c->limit = static_cast<int>(ReadNumber(IDC_SEARCH_LIMIT));
}
