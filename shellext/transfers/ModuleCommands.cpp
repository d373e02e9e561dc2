// transfers/ModuleCommands.cpp - server calls with error boxes, tree sums.
#include "ModuleCommands.h"
#include "ErrorText.h"
#include "MessageWait.h"
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "ResultData.h"
#include "Seams.h"
#include "TransfersIds.h"

namespace {

const wchar_t* Text(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

// The call's failure (read before anything else can replace the error
// object) in a box with the given caption and text.
template <class MakeTexts> HRESULT Report(HRESULT result, HWND owner, UINT icon, MakeTexts makeTexts) {
  if (result >= 0 || IsCancelled(result)) return result;
  const CBstr error = GetErrorText(result);
  CBstr caption, text;
  makeTexts(error, &caption, &text);
  ShellUi().ShowMessageBox(owner, Text(text), Text(caption), icon);
  return result;
}

}  // namespace

bool IsCancelled(HRESULT result) {
  return result == E_TRANSFER_CANCELLED || result == ClientResultCode(E_TRANSFER_CANCELLED);
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
  ShellUi().ShowMessageBox(owner, Text(text), Text(caption), MB_ICONHAND);
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
  HANDLE find = FindFirstFileW(Text(ConcatStrings(base, L"\\*")), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (pump) PumpWaitingMessages();
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
        SumPCTreeSize(Text(ConcatStrings(ConcatStrings(base, L"\\"), found.cFileName)), total, pump);
    } else {
      *total += (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}
