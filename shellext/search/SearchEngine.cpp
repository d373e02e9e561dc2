// search/SearchEngine.cpp - the folder and content searches.
#include "SearchEngine.h"
#include <memory>
#include <new>
#include <string>
#include <vector>
#include "ItemIDList.h"
#include "ModuleCommands.h"
#include "ResourceModule.h"
#include "SearchIds.h"
#include "SearchMatch.h"
#include "Seams.h"

namespace {

constexpr ULONG kReadChunk = 4096;

// A failed listing (no name) or a failed read, in the transfers' copy-error
// box, owned by the search window on this thread.
void ShowSearchError(ISearchSink*, HRESULT hr, const wchar_t* name) { ShowCopyError(hr, name); }

void ShowProgress(ISearchSink* sink, const CBstr& path) {
  CBstr where(L"Module ");
  if (path.GetLength() > 1) where.Append(path.Mid(1));
  sink->SetStatusText(g_resourceModule.FormatResMessage(IDS_SEARCH_PROGRESS, where).GetBstr());
}

bool MeetsCriteria(const SearchSettings& criteria, LPCITEMIDLIST item, const SYSTEMTIME& now) {
  return MatchesName(criteria, item) && MatchesType(criteria, item) && MatchesSize(criteria, item) &&
         MatchesDate(criteria, item, now);
}

bool IsFolderRecord(LPCITEMIDLIST item) { return IsFolderItem(item) || IsDriveRootItem(item); }

bool IsJarName(const CBstr& name) {
  const UINT length = name.GetLength();
  const CBstr tail = length > 4 ? name.Mid(static_cast<int>(length - 4)) : name;
  return CompareText(tail.GetBstr() ? tail.GetBstr() : L"", L".jar", FALSE) == 0;
}

HRESULT SearchFolder(ISearchSink* sink, const CBstr& path, IVKSVolume* volume, const SearchSettings& criteria) {
  CItemIDList* items = nullptr;
  int count = 0;
  const HRESULT hr = ListFolderEntries(path.GetBstr(), &items, &count, volume, false);
  if (FAILED(hr)) {
    ShowSearchError(sink, hr, nullptr);
    return S_OK;
  }
  std::unique_ptr<CItemIDList[]> owner(items);
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (int i = 0; i < count; ++i) {
    if (sink->IsStopped()) break;
    sink->PumpMessages();
    LPCITEMIDLIST item = items[i].Get();
    if (MeetsCriteria(criteria, item, now) && !IsDriveRootItem(item)) sink->AddHit(item);
    sink->PumpMessages();
  }
  if (!criteria.includeSubfolders) return S_OK;
  for (int i = 0; i < count; ++i) {
    if (sink->IsStopped()) break;
    if (IsFolderRecord(items[i].Get())) RunSearch(sink, GetItemName(items[i].Get()), volume, criteria);
  }
  return S_OK;
}

HRESULT SearchContents(ISearchSink* sink, const CBstr& path, IVKSVolume* volume, const SearchSettings& criteria) {
  LPITEMIDLIST* rows = nullptr;
  int capacity = 0, count = 0;
  HRESULT hr = ParseEntryRows(path.GetBstr(), L"*", &rows, &capacity, &count, volume, false,
                              criteria.includeSubfolders != FALSE);
  // A subfolder that cannot be listed leaves what was gathered to search.
  if (FAILED(hr)) ShowSearchError(sink, hr, nullptr);
  struct RowsOwner {
    LPITEMIDLIST** rows; int* capacity; int* count;
    ~RowsOwner() { FreeEntryRows(rows, capacity, count); }
  } rowsOwner{&rows, &capacity, &count};
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::vector<LPCITEMIDLIST> kept;
  ULONGLONG total = 0;
  for (int i = 0; i < count; ++i) {
    if (sink->IsStopped()) return S_OK;
    sink->PumpMessages();
    if (IsFolderRecord(rows[i]) || !MeetsCriteria(criteria, rows[i], now)) continue;
    kept.push_back(rows[i]);
    total += GetItemSize(rows[i]);
  }
  sink->PumpMessages();
  if (sink->IsStopped()) return S_OK;
  if (total > kContentQuestionBytes) {
    wchar_t kilobytes[24];
    swprintf(kilobytes, ARRAYSIZE(kilobytes), L"%llu", total >> 10);
    const CBstr question = g_resourceModule.FormatResMessage(IDS_SEARCH_BIG_CONTENT, criteria.text, kilobytes);
    const CBstr caption = g_resourceModule.LoadResString(IDS_SEARCH_BIG_CONTENT_CAPTION);
    if (ShellUi().ShowMessageBox(sink->GetOwner(), question.GetBstr(), caption.GetBstr(),
                                 MB_YESNO | MB_ICONQUESTION) != IDYES)
      return S_OK;
  }
  for (LPCITEMIDLIST item : kept) {
    if (sink->IsStopped()) break;
    const CBstr name(GetItemName(item));
    if (IsJarName(name)) continue;
    ShowProgress(sink, name);
    sink->PumpMessages();
    hr = ContentMatches(sink, criteria, item, volume);
    if (hr == S_OK) {
      sink->AddHit(item);
    } else if (FAILED(hr) && hr != E_FAIL && hr != E_TRANSFER_CANCELLED) {
      ShowSearchError(sink, hr, name.GetBstr());
      if (hr != E_ACCESSDENIED) break;
    }
  }
  return S_OK;
}

// The text in the thread's code page; false when it cannot be said exactly
// there, since best-fit or default bytes would find other texts.
bool NarrowText(const CBstr& text, std::string* narrow) {
  const int length = static_cast<int>(text.GetLength());
  BOOL defaulted = FALSE;
  int bytes = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.GetBstr(), length, nullptr, 0,
                                  nullptr, &defaulted);
  if (bytes <= 0 || defaulted) return false;
  narrow->assign(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.GetBstr(), length, &(*narrow)[0], bytes, nullptr,
                      &defaulted);
  return !defaulted;
}

void FoldCase(char* bytes, DWORD length) {
  CharUpperBuffA(bytes, length);
  CharLowerBuffA(bytes, length);
}

struct GlobalFree_ {
  void operator()(void* block) const { GlobalFree(block); }
};

}  // namespace

HRESULT ContentMatches(ISearchSink* sink, const SearchSettings& criteria, LPCITEMIDLIST item, IVKSVolume* volume) {
  if (!criteria.text.GetLength()) return S_OK;
  std::string text;
  if (!NarrowText(criteria.text, &text)) return E_FAIL;
  if (sink->IsStopped()) return E_TRANSFER_CANCELLED;
  CBstr name(GetItemName(item));
  IUnknown* object = nullptr;
  HRESULT hr = volume->GetFile(name.GetBstr(), &object);
  if (FAILED(hr)) return hr;
  if (!object) return E_UNEXPECTED;
  IStream* stream = nullptr;
  hr = object->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
  object->Release();
  if (FAILED(hr) || !stream) return E_NOINTERFACE;
  std::unique_ptr<IStream, void (*)(IStream*)> streamOwner(stream, [](IStream* s) { s->Release(); });
  STATSTG stat = {};
  hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  if (stat.cbSize.QuadPart > 0xFFFFFFFFull) return E_UNEXPECTED;
  const DWORD size = static_cast<DWORD>(stat.cbSize.QuadPart);
  std::unique_ptr<void, GlobalFree_> block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size ? size : 1));
  if (!block) return E_OUTOFMEMORY;
  char* buffer = static_cast<char*>(block.get());
  IStream* clone = nullptr;
  hr = stream->Clone(&clone);
  if (FAILED(hr)) return hr;
  if (!clone) return E_UNEXPECTED;
  std::unique_ptr<IStream, void (*)(IStream*)> cloneOwner(clone, [](IStream* s) { s->Release(); });
  DWORD offset = 0;
  while (offset < size) {
    sink->PumpMessages();
    if (sink->IsStopped()) return E_TRANSFER_CANCELLED;
    ULONG read = 0;
    const ULONG want = size - offset < kReadChunk ? size - offset : kReadChunk;
    hr = clone->Read(buffer + offset, want, &read);
    if (FAILED(hr)) return hr;
    if (read == 0) break;
    offset += read > want ? want : read;
  }
  if (offset != size) return E_UNEXPECTED;
  const DWORD length = static_cast<DWORD>(text.size());
  if (length == 0 || length > size) return E_FAIL;
  if (!criteria.caseSensitive) {
    FoldCase(&text[0], length);
    FoldCase(buffer, size);
  }
  for (DWORD i = 0; i + length <= size; ++i)
    if (memcmp(buffer + i, text.data(), length) == 0) return S_OK;
  return E_FAIL;
}

HRESULT RunSearch(ISearchSink* sink, const wchar_t* folderPath, IVKSVolume* volume, const SearchSettings& criteria) {
  if (!volume || !sink) return E_POINTER;
  const CBstr path(folderPath);
  ShowProgress(sink, path);
  sink->PumpMessages();
  if (sink->IsStopped()) return S_OK;
  return criteria.text.GetLength() ? SearchContents(sink, path, volume, criteria)
                                   : SearchFolder(sink, path, volume, criteria);
}
