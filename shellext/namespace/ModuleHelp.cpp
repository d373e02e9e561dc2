// namespace/ModuleHelp.cpp - help, about box, module model, dialog alignment.
#include "ModuleHelp.h"
#include <string>
#include "ComCore.h"
#include "ItemIDList.h"
#include "ModuleCommands.h"
#include "NamespaceIds.h"
#include "RPLFolder.h"
#include "Registry.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "SuiteString.h"
#include "VKSVersion.h"

namespace {

const wchar_t kFolderServerKey[] = L"CLSID\\{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}\\InProcServer32";
const wchar_t kHelpFileName[] = L"\\Vks-help.hlp";

// A registry text that is well formed: REG_SZ or REG_EXPAND_SZ, within
// maxBytes, whole characters, terminated, not empty.
bool ReadRegistryText(HKEY parent, const wchar_t* path, const wchar_t* name, DWORD maxBytes,
                      std::wstring* text) {
  CRegistryKey key;
  if (key.Open(parent, path, KEY_READ) != ERROR_SUCCESS) return false;
  DWORD type = 0, bytes = 0;
  if (key.QueryValue(name, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes > maxBytes || bytes % 2 || bytes < 4)
    return false;
  std::wstring data(bytes / 2, L'\0');
  if (key.QueryValue(name, &type, &data[0], &bytes) != ERROR_SUCCESS || bytes != data.size() * 2)
    return false;
  if (data.back() != L'\0' || data[0] == L'\0') return false;
  data.resize(wcslen(data.c_str()));
  *text = data;
  return true;
}

// Only A to Z are folded: the model names are plain ASCII.
bool SameModelName(const wchar_t* a, const wchar_t* b) {
  auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
  for (; *a && *b; ++a, ++b)
    if (fold(*a) != fold(*b)) return false;
  return *a == *b;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, AboutText());
      return TRUE;
    case WM_COMMAND:
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

RECT ControlRect(HWND dialog, int controlId, HWND* control) {
  RECT rect = {};
  *control = GetDlgItem(dialog, controlId);
  if (*control) {
    GetWindowRect(*control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  }
  return rect;
}

}  // namespace

void ShowHelp(UINT) {
  std::wstring server;
  if (!ReadRegistryText(ShellRegistryRoots().classesRoot, kFolderServerKey, nullptr, 520, &server)) return;
  std::wstring file = server.substr(0, server.rfind(L'\\') == std::wstring::npos ? 0 : server.rfind(L'\\'));
  file += kHelpFileName;
  if (!ShellUi().ShowHelp(nullptr, file.c_str(), HELP_FINDER, 0))
    ShellUi().ShowHelp(nullptr, file.c_str(), HELP_CONTENTS, 0);
}

int GetModuleModelClass(wchar_t* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = L'\0';
  ComPtr<IVKSGeneral> general;
  if (FAILED(CreateModuleGeneral(&general)) || !general) return 0;
  CBstr model;
  BSTR text = nullptr;
  if (SUCCEEDED(general->GetMobileModel(&text))) model.Attach(text);
  else if (text) SysFreeString(text);
  if (model.GetLength() == 0) return 0;
  lstrcpynW(buffer, model.GetBstr(), size);
  if (SameModelName(buffer, L"KD72")) return 1;
  if (SameModelName(buffer, L"WR08")) return 2;
  return 0;
}

const wchar_t* AboutText() {
  return L"Module file system for Explorer\r\n\r\nVersion: " L"" VKS_VERSION_TEXT;
}

void ShowAboutDialog(HWND owner) {
  const void* found = g_resourceModule.FindDialogTemplate(IDD_ABOUT);
  DWORD size = g_resourceModule.GetDialogTemplateSize(IDD_ABOUT);
  if (!found || !size) return;
  // A private copy: the box may outlive a language switch of the module.
  void* copy = HeapAlloc(GetProcessHeap(), 0, size);
  if (!copy) return;
  memcpy(copy, found, size);
  ShellUi().RunDialogIndirect(g_resourceModule.GetModule(), static_cast<const DLGTEMPLATE*>(copy), owner,
                              AboutProc, 0);
  HeapFree(GetProcessHeap(), 0, copy);
}

void StretchDlgItemWidth(HWND dialog, int controlId, int dialogWidth, int margin) {
  HWND control = nullptr;
  RECT rect = ControlRect(dialog, controlId, &control);
  if (!control) return;
  MoveWindow(control, rect.left, rect.top, dialogWidth - margin - rect.left, rect.bottom - rect.top, TRUE);
}

void AlignDlgItemRight(HWND dialog, int controlId, int dialogWidth, int distance) {
  HWND control = nullptr;
  RECT rect = ControlRect(dialog, controlId, &control);
  if (!control) return;
  MoveWindow(control, dialogWidth - distance, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void OpenFoldersInShell(UINT command, LPCITEMIDLIST folder, const LPCITEMIDLIST* items, UINT count,
                        LPCITEMIDLIST skip, HWND owner) {
  if (!items) count = 0;
  const bool canSkip = skip && IsValidModuleItem(skip);
  bool filesMet = false;
  for (UINT i = 0; i < count; ++i) {
    LPCITEMIDLIST item = items[i];
    if (!item || !IsValidModuleItem(item)) continue;
    if (!IsFolderItem(item) && !IsDriveRootItem(item)) {
      filesMet = true;
      continue;
    }
    if (canSkip && CompareFolderItems(item, skip) == 0) continue;
    // Only the item's own record: a caller's list may run on below it.
    CItemIDList record;
    record.Attach(CItemIDList(item).CopyRange(0, 0));
    CItemIDList absolute = CItemIDList::Concatenate(folder, record.Get());
    if (absolute.IsEmpty()) {
      ShowCopyError(E_OUTOFMEMORY, L"");
      continue;
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
    info.lpClass = L"folder";
    info.hwnd = owner;
    info.lpVerb = command == IDM_EXPLORE ? L"explore" : L"open";
    info.nShow = SW_SHOWNORMAL;
    info.lpIDList = absolute.Get();
    ShellUi().ExecuteShell(&info);
  }
  if (filesMet) {
    const CBstr text = g_resourceModule.LoadResString(IDS_FILES_NOT_OPENED);
    const CBstr caption = g_resourceModule.LoadResString(IDS_MODULE);
    ShellUi().ShowMessageBox(owner, text.GetBstr() ? text.GetBstr() : L"",
                             caption.GetBstr() ? caption.GetBstr() : L"", MB_ICONERROR);
  }
}
