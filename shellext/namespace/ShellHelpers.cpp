// namespace/ShellHelpers.cpp - shell values, names, streams, pumps, item comparison.
#include "ShellHelpers.h"
#include <cstring>
#include "ModuleItemID.h"

CBstr StrRetToString(STRRET& value, LPCITEMIDLIST item) {
  switch (value.uType) {
    case STRRET_WSTR: {
      CBstr text(value.pOleStr);
      if (value.pOleStr) {
        IMalloc* malloc = nullptr;
        if (SUCCEEDED(SHGetMalloc(&malloc))) {
          malloc->Free(value.pOleStr);
          malloc->Release();
        }
        value.pOleStr = nullptr;
      }
      return text;
    }
    case STRRET_OFFSET:
      return item ? CBstr(reinterpret_cast<const char*>(item) + value.uOffset) : CBstr();
    case STRRET_CSTR:
      return CBstr(value.cStr);
    default:
      return CBstr();
  }
}

CBstr GetWindowTextString(HWND window) {
  const int length = GetWindowTextLengthW(window) + 1;
  wchar_t* buffer = new wchar_t[length];
  buffer[0] = 0;
  GetWindowTextW(window, buffer, length);
  CBstr text(buffer);
  delete[] buffer;
  return text;
}

BOOL SetDlgItemString(HWND dialog, int id, const CBstr& text) {
  return SetDlgItemTextW(dialog, id, text.GetBstr() ? text.GetBstr() : L"");
}

HRESULT GetStreamSize(IStream* stream, ULONGLONG* size) {
  if (!stream || !size) return E_POINTER;
  STATSTG stat;
  memset(&stat, 0, sizeof stat);
  if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
    *size = stat.cbSize.QuadPart;
    return S_OK;
  }
  LARGE_INTEGER zero = {};
  ULARGE_INTEGER position = {}, end = {};
  HRESULT hr = stream->Seek(zero, STREAM_SEEK_CUR, &position);
  if (SUCCEEDED(hr)) hr = stream->Seek(zero, STREAM_SEEK_END, &end);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER back;
  back.QuadPart = static_cast<LONGLONG>(position.QuadPart);
  hr = stream->Seek(back, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  *size = end.QuadPart;
  return S_OK;
}

HRESULT WriteLineToFile(HANDLE file, const CBstr& text) {
  const CBstr line = ConcatStrings(text, L"\r\n");
  const DWORD bytes = line.GetLength() * sizeof(wchar_t);
  DWORD written = 0;
  if (!WriteFile(file, line.GetBstr(), bytes, &written, nullptr)) return HRESULT_FROM_WIN32(GetLastError());
  return written == bytes ? S_OK : E_FAIL;
}

bool IsIllegalNameChar(wchar_t character) {
  return character && wcschr(L"\"*/:<>?\\|", character) != nullptr;
}

void ReplaceIllegalNameChars(wchar_t* text, int count) {
  for (int i = 0; text && i < count; ++i) {
    wchar_t& c = text[i];
    if (c == L'?') c = L'!';
    else if (c == L'*') c = L'@';
    else if (c && wcschr(L"\"./:<>\\|", c)) c = L'_';
  }
}

namespace {

void Pump(HWND dialog) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Put back for the loop that owns the thread, which must end by it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (dialog && IsDialogMessageW(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Sort commands of the view: ascending ones and their descending twins.
enum SortKey { kByNone, kByName, kByType, kBySizeOrName, kByWritten, kByFolder, kByRawName, kBySize };
struct SortCommand {
  UINT command;
  SortKey key;
  bool descending;
};
const SortCommand kSortCommands[] = {
    {8197, kByName, false},       {8203, kByName, true},     {8198, kByType, false},
    {8204, kByType, true},        {8199, kBySizeOrName, false}, {8205, kBySizeOrName, true},
    {8200, kByWritten, false},    {8206, kByWritten, true},  {8412, kByWritten, false},
    {8413, kByWritten, true},     {8303, kByFolder, false},  {8342, kByFolder, true},
    {8350, kByRawName, false},    {8351, kByRawName, true},  {8410, kBySize, false},
    {8411, kBySize, true},
};

template <class T> int CompareNumbers(T a, T b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareTexts(const CBstr& a, const CBstr& b) {
  return lstrcmpiW(a.GetBstr() ? a.GetBstr() : L"", b.GetBstr() ? b.GetBstr() : L"");
}

int CompareByKey(LPCITEMIDLIST a, LPCITEMIDLIST b, SortKey key) {
  switch (key) {
    case kByName: return CompareTexts(GetItemNameString(a), GetItemNameString(b));
    case kByType: return CompareTexts(GetShellTypeName(GetItemName(a), GetItemAttributes(a)),
                                      GetShellTypeName(GetItemName(b), GetItemAttributes(b)));
    case kBySizeOrName:
      if (IsFolderItem(a) && IsFolderItem(b)) return CompareByKey(a, b, kByName);
      return CompareByKey(a, b, kBySize);
    case kByWritten: return CompareNumbers(GetItemLastWriteTime(a), GetItemLastWriteTime(b));
    case kByFolder: return CompareTexts(GetItemFolderPart(GetItemName(a)), GetItemFolderPart(GetItemName(b)));
    case kByRawName: return CompareTexts(CBstr(GetItemName(a)), CBstr(GetItemName(b)));
    case kBySize: return CompareNumbers(GetItemSize(a), GetItemSize(b));
    default: return 0;
  }
}

}  // namespace

void PumpMessages() { Pump(nullptr); }
void PumpDialogMessages(HWND dialog) { Pump(dialog); }

int CompareModuleItems(LPCITEMIDLIST a, LPCITEMIDLIST b, UINT command, bool foldersFirst) {
  const SortCommand* sort = nullptr;
  for (const SortCommand& candidate : kSortCommands)
    if (candidate.command == command) sort = &candidate;
  int result = 0;
  if (foldersFirst && IsFolderItem(a) != IsFolderItem(b))
    result = IsFolderItem(a) ? -1 : 1;
  else
    result = CompareByKey(a, b, sort ? sort->key : kByNone);
  return sort && sort->descending ? -result : result;
}
