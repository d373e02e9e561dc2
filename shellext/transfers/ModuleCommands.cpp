// transfers/ModuleCommands.cpp - server calls with error boxes, tree sums.
#include "ModuleCommands.h"
#include "ErrorText.h"
#include "ItemIDList.h"
#include "ModuleItemID.h"
#include "MessageWait.h"
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "ResultData.h"
#include "Seams.h"
#include "ShellHelpers.h"
#include "TransfersIds.h"

namespace {


// The call's failure (read before anything else can replace the error
// object) in a box with the given caption and text.
template <class MakeTexts> HRESULT Report(HRESULT result, HWND owner, UINT icon, MakeTexts makeTexts) {
  if (result >= 0 || IsCancelled(result)) return result;
  const CBstr error = GetErrorText(result);
  CBstr caption, text;
  makeTexts(error, &caption, &text);
  ShellUi().ShowMessageBox(owner, TextOrEmpty(text), TextOrEmpty(caption), icon);
  return result;
}

}  // namespace

// The server's ResultData maps a cancel to HRESULT_FROM_WIN32(ERROR_CANCELLED)
// (0x800704C7); the server's documents name 0x800704D3 for the same thing, so
// both are taken for a cancel.
bool IsCancelled(HRESULT result) {
  constexpr HRESULT kDocumentedCancel = static_cast<HRESULT>(0x800704D3L);
  return result == E_TRANSFER_CANCELLED || result == ClientResultCode(E_TRANSFER_CANCELLED) ||
         result == kDocumentedCancel;
}

HRESULT SetLabelWithMessage(const wchar_t* volume, const wchar_t* label, IVKSVolume* server, HWND owner) {
  if (!server) return E_POINTER;
  ClearErrorInfo();
  const HRESULT hr = server->SetLabel(CBstr(volume).GetBstr(), CBstr(label).GetBstr());
  return Report(hr, owner, MB_ICONHAND, [&](const CBstr& error, CBstr* caption, CBstr* text) {
    *caption = g_resourceModule.LoadResString(IDS_GENERAL);
    *text = g_resourceModule.FormatResMessage(IDS_LABEL_FAILED, label, error);
  });
}

HRESULT SetAttributesWithMessage(const wchar_t* path, LONG attributes, IVKSVolume* server, HWND owner) {
  if (!server) return E_POINTER;
  ClearErrorInfo();
  const HRESULT hr = server->SetAttributes(CBstr(path).GetBstr(), attributes);
  return Report(hr, owner, MB_ICONHAND, [&](const CBstr& error, CBstr* caption, CBstr* text) {
    const CBstr name = GetNamePart(CBstr(path));
    *caption = g_resourceModule.FormatResMessage(IDS_PROPERTIES_OF, name);
    *text = g_resourceModule.FormatResMessage(IDS_ATTRIBUTES_FAILED, name, error);
  });
}

HRESULT CreateStdDirsWithMessage(const wchar_t* volume, IVKSVolume* server, HWND owner) {
  if (!server) return E_POINTER;
  ClearErrorInfo();
  const HRESULT hr = server->CreateStdDirs(CBstr(volume).GetBstr());
  return Report(hr, owner, MB_ICONHAND, [&](const CBstr& error, CBstr* caption, CBstr* text) {
    *caption = g_resourceModule.LoadResString(IDS_ERROR_STD_DIRS);
    *text = g_resourceModule.FormatResMessage(IDS_STD_DIRS_FAILED, error);
  });
}

HRESULT FormatWithMessage(const wchar_t* volume, IVKSVolume* server, HWND owner) {
  if (!server) return E_POINTER;
  ClearErrorInfo();
  const HRESULT hr = server->Format(CBstr(volume).GetBstr());
  return Report(hr, owner, MB_ICONHAND, [&](const CBstr& error, CBstr* caption, CBstr* text) {
    *caption = g_resourceModule.LoadResString(IDS_FORMAT_TITLE);
    *text = g_resourceModule.FormatResMessage(IDS_FORMAT_FAILED, error);
  });
}

namespace {
struct CopyErrorRecord {
  HRESULT result;
  const wchar_t* path;
  BOOL shown;
};

void ShowCopyErrorBox(HWND owner, HRESULT result, const wchar_t* path) {
  const CBstr error = GetErrorText(result);
  CBstr caption, text;
  if (path && *path) {
    caption = g_resourceModule.LoadResString(IDS_ERROR_COPYING_FILE);
    text = g_resourceModule.FormatResMessage(IDS_COPY_FAILED, GetNamePart(CBstr(path)), error);
  } else {
    caption = g_resourceModule.LoadResString(IDS_GENERAL);
    text = error;
  }
  ShellUi().ShowMessageBox(owner, TextOrEmpty(text), TextOrEmpty(caption), MB_ICONHAND);
}
}  // namespace

BOOL CALLBACK ShowCopyErrorOnWindow(HWND window, LPARAM param) {
  auto* record = reinterpret_cast<CopyErrorRecord*>(param);
  if (record->shown) return FALSE;
  record->shown = TRUE;
  ShowCopyErrorBox(window, record->result, record->path);
  return FALSE;
}

void ShowCopyError(HRESULT result, const wchar_t* path) {
  CopyErrorRecord record = {result, path, FALSE};
  EnumThreadWindows(GetCurrentThreadId(), ShowCopyErrorOnWindow, reinterpret_cast<LPARAM>(&record));
  if (!record.shown) ShowCopyErrorBox(nullptr, result, path);
}

void SumPCTreeSize(const wchar_t* folder, ULONGLONG* total, BOOL pump) {
  const CBstr base(folder);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(TextOrEmpty(ConcatStrings(base, L"\\*")), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (pump) PumpWaitingMessages();
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
        SumPCTreeSize(TextOrEmpty(ConcatStrings(ConcatStrings(base, L"\\"), found.cFileName)), total, pump);
    } else {
      *total += (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

HRESULT RenameItem(LPCITEMIDLIST item, const wchar_t* newName, IVKSVolume* server, HWND owner) {
  if (!server) return E_POINTER;
  if (!item || IsDriveRootItem(item)) return E_FAIL;
  const CBstr name(newName);
  // An empty name would make "parent\\", and "." or ".." name another folder.
  if (name.GetLength() == 0 || wcscmp(name.GetBstr(), L".") == 0 || wcscmp(name.GetBstr(), L"..") == 0)
    return E_FAIL;
  const CBstr caption = g_resourceModule.LoadResString(IDS_ERROR_RENAMING_FILE);
  if (wcspbrk(name.GetBstr(), L"\"*/:<>?\\|")) {
    ShellUi().ShowMessageBox(owner, TextOrEmpty(g_resourceModule.LoadResString(IDS_BAD_NAME_CHARACTERS)), TextOrEmpty(caption),
                             MB_ICONHAND);
    return E_FAIL;
  }
  const CBstr oldPath(GetItemName(item));
  const CBstr itemName = GetItemNameString(item);
  const wchar_t* path = TextOrEmpty(oldPath);
  const wchar_t* slash = wcsrchr(path, L'\\');
  CBstr newPath(path, slash ? static_cast<UINT>(slash - path) : 0);
  newPath.Append(L"\\");
  newPath.Append(name);
  CItemIDList* existing = nullptr;
  FindEntryByName(TextOrEmpty(newPath), server, &existing);
  if (existing) {
    delete existing;
    ShellUi().ShowMessageBox(owner, TextOrEmpty(g_resourceModule.FormatResMessage(IDS_RENAME_EXISTS, itemName)),
                             TextOrEmpty(caption), MB_ICONHAND);
    return E_FAIL;
  }
  ClearErrorInfo();
  const HRESULT hr = IsFolderItem(item) ? server->MoveDir(oldPath.GetBstr(), newPath.GetBstr())
                                        : server->Move(oldPath.GetBstr(), newPath.GetBstr());
  return Report(hr, owner, MB_ICONHAND, [&](const CBstr& error, CBstr* boxCaption, CBstr* text) {
    *boxCaption = caption;
    *text = g_resourceModule.FormatResMessage(IDS_RENAME_FAILED, itemName, error);
  });
}

CBstr CreateNewFolder(const wchar_t* folder, IVKSVolume* server, HWND owner) {
  if (!server) return CBstr();
  const CBstr prefix = ConcatStrings(CBstr(folder), L"\\");
  CBstr candidate = ConcatStrings(prefix, g_resourceModule.LoadResString(IDS_NEW_FOLDER));
  for (int number = 2;; ++number) {
    CItemIDList* existing = nullptr;
    FindEntryByName(TextOrEmpty(candidate), server, &existing);
    if (!existing) break;
    delete existing;
    candidate = ConcatStrings(prefix, g_resourceModule.FormatResMessage(IDS_NEW_FOLDER_NUMBERED, number));
  }
  ClearErrorInfo();
  const HRESULT hr = server->CreateDir(candidate.GetBstr());
  if (SUCCEEDED(hr)) return candidate;
  Report(hr, owner, MB_ICONEXCLAMATION, [&](const CBstr& error, CBstr* caption, CBstr* text) {
    *caption = g_resourceModule.LoadResString(IDS_ERROR_CREATING_OBJECT);
    *text = error;
  });
  return CBstr();
}

void SumModuleTreeSize(const wchar_t* folder, ULONGLONG* total, BOOL pump, IVKSVolume* server) {
  CItemIDList* items = nullptr;
  int count = 0;
  if (FAILED(ListFolderEntries(folder, &items, &count, server, false)) || !items) return;
  for (int i = 0; i < count; ++i) {
    if (pump) PumpWaitingMessages();
    LPCITEMIDLIST item = items[i].Get();
    if (IsFolderItem(item) || IsDriveRootItem(item))
      SumModuleTreeSize(TextOrEmpty(ConcatStrings(ConcatStrings(CBstr(folder), L"\\"), GetItemNameString(item))), total,
                        pump, server);
    else
      *total += GetItemSize(item);
  }
  delete[] items;
}
