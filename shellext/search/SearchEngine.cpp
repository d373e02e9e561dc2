// search/SearchEngine.cpp - the folder and content searches.
#include "SearchEngine.h"
#include <memory>
#include <new>
#include <string>
#include "EntryList.h"
#include "ErrorText.h"
#include "ResourceModule.h"
#include "SearchIds.h"
#include "SearchMatch.h"
#include "Seams.h"

namespace {

constexpr ULONG kReadChunk = 4096;

// Shown for a failed listing (no name) or a failed read; until the
// transfers' copy-error box is here, a plain box with the error text.
void ShowSearchError(ISearchSink* sink, HRESULT hr, const wchar_t* name) {
  CBstr text;
  if (name && name[0]) {
    text = name;
    text.Append(L"\n\n");
  }
  text.Append(GetErrorText(hr));
  ShellUi().ShowMessageBox(sink->GetOwner(), text.GetBstr() ? text.GetBstr() : L"", nullptr, MB_OK | MB_ICONERROR);
}

void ShowProgress(ISearchSink* sink, const CBstr& path) {
  CBstr where(L"Module ");
  if (path.GetLength() > 1) where.Append(path.Mid(1));
  sink->SetStatusText(g_resourceModule.FormatResMessage(IDS_SEARCH_PROGRESS, where).GetBstr());
}

bool MeetsCriteria(const SearchSettings& criteria, const SearchRecord& record, const SYSTEMTIME& now) {
  return MatchesName(criteria, record) && MatchesType(criteria, record) && MatchesSize(criteria, record) &&
         MatchesDate(criteria, record, now);
}

bool IsFolderRecord(const SearchRecord& record) {
  return record.IsDirectory() || IsDriveRootName(record.name.GetBstr());
}

bool IsJarName(const CBstr& name) {
  const UINT length = name.GetLength();
  const CBstr tail = length > 4 ? name.Mid(static_cast<int>(length - 4)) : name;
  return CompareText(tail.GetBstr() ? tail.GetBstr() : L"", L".jar", FALSE) == 0;
}

HRESULT SearchFolder(ISearchSink* sink, const CBstr& path, IVKSVolume* volume, const SearchSettings& criteria) {
  std::vector<SearchRecord> records;
  const HRESULT hr = ListSearchRecords(volume, path.GetBstr(), false, &records);
  if (FAILED(hr)) {
    ShowSearchError(sink, hr, nullptr);
    return S_OK;
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (const SearchRecord& record : records) {
    if (sink->IsStopped()) break;
    sink->PumpMessages();
    if (MeetsCriteria(criteria, record, now) && !IsDriveRootName(record.name.GetBstr())) sink->AddHit(record);
    sink->PumpMessages();
  }
  if (!criteria.includeSubfolders) return S_OK;
  for (const SearchRecord& record : records) {
    if (sink->IsStopped()) break;
    if (IsFolderRecord(record)) RunSearch(sink, record.name.GetBstr(), volume, criteria);
  }
  return S_OK;
}

HRESULT SearchContents(ISearchSink* sink, const CBstr& path, IVKSVolume* volume, const SearchSettings& criteria) {
  std::vector<SearchRecord> records;
  HRESULT hr = ListSearchRecords(volume, path.GetBstr(), criteria.includeSubfolders != FALSE, &records);
  if (FAILED(hr)) {
    ShowSearchError(sink, hr, nullptr);
    return S_OK;
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::vector<const SearchRecord*> kept;
  ULONGLONG total = 0;
  for (const SearchRecord& record : records) {
    if (sink->IsStopped()) return S_OK;
    sink->PumpMessages();
    if (IsFolderRecord(record) || !MeetsCriteria(criteria, record, now)) continue;
    kept.push_back(&record);
    total += record.size;
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
  for (const SearchRecord* record : kept) {
    if (sink->IsStopped()) break;
    if (IsJarName(record->name)) continue;
    ShowProgress(sink, record->name);
    sink->PumpMessages();
    hr = ContentMatches(sink, criteria, *record, volume);
    if (hr == S_OK) {
      sink->AddHit(*record);
    } else if (FAILED(hr) && hr != E_FAIL && hr != E_TRANSFER_CANCELLED) {
      ShowSearchError(sink, hr, record->name.GetBstr());
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

HRESULT ListSearchRecords(IVKSVolume* volume, const wchar_t* folderPath, bool recursive,
                          std::vector<SearchRecord>* records) {
  if (!volume || !records) return E_POINTER;
  CBstr prefix(folderPath);
  const UINT length = prefix.GetLength();
  if (!length || prefix.GetAt(length - 1) != L'\\') prefix.Append(L"\\");
  CBstr query(prefix);
  query.Append(L"*");
  VARIANT answer;
  VariantInit(&answer);
  ClearErrorInfo();
  HRESULT hr = volume->GetEntries(query.GetBstr(), VARIANT_FALSE, &answer);
  if (FAILED(hr)) {
    VariantClear(&answer);
    return hr;
  }
  if (answer.vt != (VT_ARRAY | VT_VARIANT) || !answer.parray) {
    VariantClear(&answer);
    return S_OK;
  }
  CEntryList list;
  hr = list.Attach(&answer);
  if (FAILED(hr)) return hr;
  for (LONG i = 0; i < list.GetCount(); ++i) {
    if (!list.IsEntry(i) || !list.GetName(i)) continue;
    SearchRecord record;
    record.name = ConcatStrings(prefix, list.GetName(i));
    const VARIANT* shortName = list.GetCell(i, geShortName);
    if (shortName && shortName->vt == VT_BSTR) record.shortName = shortName->bstrVal;
    record.size = static_cast<DWORD>(list.GetInt(i, geSize));
    record.attributes = static_cast<DWORD>(list.GetInt(i, geAttributes));
    record.created = list.GetDate(i, geCreationTime);
    record.accessed = list.GetDate(i, geLastAccessTime);
    record.lastWrite = list.GetDate(i, geLastWriteTime);
    records->push_back(record);
    if (recursive && IsFolderRecord(record)) {
      const CBstr folder = ConcatStrings(prefix, record.LastComponent().GetLength() ? record.LastComponent()
                                                                                   : CBstr(list.GetName(i)));
      hr = ListSearchRecords(volume, folder.GetBstr(), true, records);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT ContentMatches(ISearchSink* sink, const SearchSettings& criteria, const SearchRecord& record,
                       IVKSVolume* volume) {
  if (!criteria.text.GetLength()) return S_OK;
  std::string text;
  if (!NarrowText(criteria.text, &text)) return E_FAIL;
  if (sink->IsStopped()) return E_TRANSFER_CANCELLED;
  CBstr name(record.name);
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
