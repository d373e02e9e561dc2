// search/SearchConfiguration.cpp - ".ssc" files and search descriptions.
#include "SearchConfiguration.h"
#include <initializer_list>
#include <new>
#include "DisplayText.h"
#include "MappedFile.h"
#include "ResourceModule.h"
#include "SearchIds.h"

namespace {

const wchar_t kVersionLine[] = L"RPL_SEARCH_CONFIG_VERSION=1-0";
constexpr UINT kItemGrowth = 32;

HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT WriteBytes(HANDLE file, const void* data, DWORD bytes) {
  DWORD written = 0;
  if (!WriteFile(file, data, bytes, &written, nullptr)) return LastErrorResult();
  return written == bytes ? S_OK : E_FAIL;
}

HRESULT WriteLineToFile(HANDLE file, const CBstr& text) {
  CBstr line(text);
  line.Append(L"\r\n");
  return WriteBytes(file, line.GetBstr(), line.GetLength() * sizeof(wchar_t));
}

CBstr KeyLine(const wchar_t* key, const CBstr& value) {
  CBstr line(key);
  line.Append(L"=");
  line.Append(value);
  return line;
}

const wchar_t* FlagText(BOOL flag) { return flag ? L"TRUE" : L"FALSE"; }

HRESULT WriteCriteria(HANDLE file, const SearchSettings& c) {
  const CBstr lines[] = {
      CBstr(kVersionLine),
      KeyLine(L"NAME", c.name),
      KeyLine(L"TEXT", c.text),
      KeyLine(L"PATH", c.path),
      KeyLine(L"INCLUDE_SUBFOLDERS", FlagText(c.includeSubfolders)),
      KeyLine(L"CONSIDER_FILEDATES", FlagText(c.considerDates)),
      KeyLine(L"SEARCH_DATE_TYPE", FormatInteger(c.dateType)),
      KeyLine(L"SEARCH_TIME_TYPE", FormatInteger(c.timeType)),
      KeyLine(L"LOWER_DATE", FormatSlashDate(c.lowerDate)),
      KeyLine(L"HIGHER_DATE", FormatSlashDate(c.higherDate)),
      KeyLine(L"MONTHS", FormatInteger(c.months)),
      KeyLine(L"DAYS", FormatInteger(c.days)),
      KeyLine(L"FILETYPE_NAME", c.typeName),
      KeyLine(L"SEARCH_SIZE_TYPE", FormatInteger(c.sizeType)),
      KeyLine(L"LIMIT", FormatInteger(c.limit)),
      KeyLine(L"CASESENSITIVE", FlagText(c.caseSensitive)),
      KeyLine(L"SAVE_RESULT", FlagText(c.saveResult)),
  };
  for (const CBstr& line : lines) {
    const HRESULT hr = WriteLineToFile(file, line);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Digits with an optional sign, as the number reads; text that is no number
// reads 0. False when the value does not fit 32 bits.
bool ReadDecimal(const wchar_t* text, int* value) {
  while (*text == L' ' || *text == L'\t') ++text;
  bool negative = false;
  if (*text == L'-' || *text == L'+') negative = *text++ == L'-';
  LONGLONG number = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    number = number * 10 + (*text - L'0');
    if (number > 0x80000000ll) return false;
  }
  if (negative) number = -number;
  if (number > 0x7FFFFFFFll) return false;
  *value = static_cast<int>(number);
  return true;
}

bool ReadRanged(const wchar_t* text, int low, int high, int* field) {
  int value = 0;
  if (!ReadDecimal(text, &value) || value < low || value > high) return false;
  *field = value;
  return true;
}

bool ReadFlag(const wchar_t* text, BOOL* field) {
  if (lstrcmpiW(text, L"TRUE") == 0) *field = TRUE;
  else if (lstrcmpiW(text, L"FALSE") == 0) *field = FALSE;
  else return false;
  return true;
}

bool ReadDate(const wchar_t* text, bool upper, SYSTEMTIME* field) {
  for (int i = 0; i < 10; ++i) {
    const bool slash = i == 4 || i == 7;
    if (slash ? text[i] != L'/' : (text[i] < L'0' || text[i] > L'9')) return false;
  }
  SYSTEMTIME date;
  if (!ParseSlashDate(text, &date)) return false;
  if (upper) {
    date.wHour = 23;
    date.wMinute = 59;
    date.wSecond = 59;
    date.wMilliseconds = 999;
  }
  *field = date;
  return true;
}

// Applies one "KEY=" line; false for an unknown key or a bad value.
bool ApplyValue(SearchSettings* c, const wchar_t* key, const wchar_t* value) {
  struct TextKey { const wchar_t* key; CBstr SearchSettings::*field; };
  static const TextKey texts[] = {{L"NAME=", &SearchSettings::name}, {L"TEXT=", &SearchSettings::text},
                                  {L"PATH=", &SearchSettings::path}, {L"FILETYPE_NAME=", &SearchSettings::typeName}};
  for (const TextKey& k : texts)
    if (lstrcmpiW(key, k.key) == 0) {
      c->*k.field = value;
      return true;
    }
  struct FlagKey { const wchar_t* key; BOOL SearchSettings::*field; };
  static const FlagKey flags[] = {{L"INCLUDE_SUBFOLDERS=", &SearchSettings::includeSubfolders},
                                  {L"CONSIDER_FILEDATES=", &SearchSettings::considerDates},
                                  {L"CASESENSITIVE=", &SearchSettings::caseSensitive},
                                  {L"SAVE_RESULT=", &SearchSettings::saveResult}};
  for (const FlagKey& k : flags)
    if (lstrcmpiW(key, k.key) == 0) return ReadFlag(value, &(c->*k.field));
  struct NumberKey { const wchar_t* key; int SearchSettings::*field; int high; };
  static const NumberKey numbers[] = {{L"SEARCH_DATE_TYPE=", &SearchSettings::dateType, 2},
                                      {L"SEARCH_TIME_TYPE=", &SearchSettings::timeType, 2},
                                      {L"SEARCH_SIZE_TYPE=", &SearchSettings::sizeType, 2},
                                      {L"MONTHS=", &SearchSettings::months, 999},
                                      {L"DAYS=", &SearchSettings::days, 999},
                                      {L"LIMIT=", &SearchSettings::limit, 999999}};
  for (const NumberKey& k : numbers)
    if (lstrcmpiW(key, k.key) == 0) return ReadRanged(value, 0, k.high, &(c->*k.field));
  if (lstrcmpiW(key, L"LOWER_DATE=") == 0) return ReadDate(value, false, &c->lowerDate);
  if (lstrcmpiW(key, L"HIGHER_DATE=") == 0) return ReadDate(value, true, &c->higherDate);
  return false;
}

// Appends one record, growing the array by a block when it is full.
HRESULT AppendItem(SearchRecord*** items, UINT* capacity, UINT* count, const SearchRecord& record) {
  if (*count == *capacity) {
    const UINT grown = *capacity + kItemGrowth;
    SearchRecord** array = new (std::nothrow) SearchRecord*[grown]();
    if (!array) return E_OUTOFMEMORY;
    for (UINT i = 0; i < *count; ++i) array[i] = (*items)[i];
    delete[] *items;
    *items = array;
    *capacity = grown;
  }
  SearchRecord* copy = new (std::nothrow) SearchRecord(record);
  if (!copy) return E_OUTOFMEMORY;
  (*items)[(*count)++] = copy;
  return S_OK;
}

}  // namespace

HRESULT WriteResultItems(ISearchItemSource* items, HANDLE file) {
  if (!items) return S_OK;
  const int rows = items->GetItemCount();
  for (int row = 0; row < rows; ++row) {
    CBstr text;
    if (FAILED(items->GetItemText(row, &text))) return E_FAIL;
    const HRESULT hr = WriteLineToFile(file, KeyLine(L"ITEM", text));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WriteSearchConfiguration(const wchar_t* fileName, const SearchSettings& criteria,
                                 ISearchItemSource* items) {
  if (!fileName || !fileName[0]) return E_INVALIDARG;
  // A failed save must not cost the user the file that was there.
  CBstr temporary(fileName);
  temporary.Append(L".saving");
  HANDLE file = CreateFileW(temporary.GetBstr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorResult();
  const wchar_t bom = 0xFEFF;
  HRESULT hr = WriteBytes(file, &bom, sizeof(bom));
  if (SUCCEEDED(hr)) hr = WriteCriteria(file, criteria);
  if (SUCCEEDED(hr) && criteria.saveResult && items) hr = WriteResultItems(items, file);
  if (!CloseHandle(file) && SUCCEEDED(hr)) hr = LastErrorResult();
  if (SUCCEEDED(hr) && !MoveFileExW(temporary.GetBstr(), fileName, MOVEFILE_REPLACE_EXISTING))
    hr = LastErrorResult();
  if (FAILED(hr)) DeleteFileW(temporary.GetBstr());
  return hr;
}

void FreeSavedItems(SearchRecord** items, UINT count) {
  if (!items) return;
  for (UINT i = 0; i < count; ++i) delete items[i];
  delete[] items;
}

HRESULT ReadSearchConfiguration(SearchSettings* criteria, const wchar_t* fileName, SearchRecord*** items,
                                UINT* capacity, UINT* count) {
  if (!items || !capacity || !count) return E_INVALIDARG;
  *items = nullptr;
  *capacity = 0;
  *count = 0;
  if (!criteria) return E_INVALIDARG;
  CMappedFile mapped;
  const UINT minimum = 2 * (ARRAYSIZE(kVersionLine) - 1) + 2;
  if (!mapped.Open(fileName) || mapped.GetSize() <= minimum ||
      *reinterpret_cast<const wchar_t*>(mapped.GetView()) != 0xFEFF)
    return E_FAIL;
  // Every unit after the mark; an odd trailing byte is no unit.
  const UINT units = mapped.GetSize() / sizeof(wchar_t) - 1;
  wchar_t* buffer = new (std::nothrow) wchar_t[units + 1];
  if (!buffer) return E_OUTOFMEMORY;
  CopyMemory(buffer, mapped.GetView() + sizeof(wchar_t), units * sizeof(wchar_t));
  buffer[units] = 0;
  for (UINT i = 0; i < units; ++i)
    if (buffer[i] == L'\r' || buffer[i] == L'\n') buffer[i] = 0;

  HRESULT result = S_OK;
  bool first = true;
  for (UINT at = 0; at < units;) {
    wchar_t* line = buffer + at;
    const UINT length = static_cast<UINT>(wcslen(line));
    at += length + 1;
    if (length == 0) continue;
    if (first) {
      first = false;
      if (lstrcmpiW(line, kVersionLine) != 0) {
        result = E_INVALIDARG;
        break;
      }
      continue;
    }
    wchar_t* equals = wcschr(line, L'=');
    if (!equals) {
      result = E_INVALIDARG;
      break;
    }
    const wchar_t saved = equals[1];
    equals[1] = 0;  // the key keeps its "="
    CBstr key(line);
    equals[1] = saved;
    const wchar_t* value = equals + 1;
    if (lstrcmpiW(key.GetBstr(), L"ITEM=") == 0) {
      SearchRecord record;
      if (FAILED(ParseRecordText(value, &record))) {
        result = E_INVALIDARG;
        continue;
      }
      if (FAILED(AppendItem(items, capacity, count, record))) {
        FreeSavedItems(*items, *count);
        *items = nullptr;
        *capacity = 0;
        *count = 0;
        result = E_OUTOFMEMORY;
        break;
      }
      continue;
    }
    if (!ApplyValue(criteria, key.GetBstr(), value)) {
      result = E_INVALIDARG;
      break;
    }
  }
  delete[] buffer;
  return result;
}

CBstr ReplaceIllegalNameChars(const CBstr& text) {
  const UINT length = text.GetLength();
  if (!length) return CBstr();
  CBstr cleaned(text.GetBstr(), length);
  BSTR units = cleaned.GetBstr();
  for (UINT i = 0; i < length; ++i) {
    if (units[i] == L'?') units[i] = L'!';
    else if (units[i] == L'*') units[i] = L'@';
    else if (wcschr(L"\"./:<>\\|", units[i]) && units[i]) units[i] = L'_';
  }
  return cleaned;
}

CBstr DescribeSearch(const SearchSettings& c, CBstr* longText, const CResourceModule* texts) {
  const CResourceModule& t = texts ? *texts : g_resourceModule;
  CBstr longer, shorter;
  auto add = [&](UINT id, const CBstr& value) {
    for (CBstr* part : {&longer, &shorter}) {
      if (part->GetLength()) part->Append(L" ");
      part->Append(t.LoadResString(id));
      part->Append(L" ");
      part->Append(part == &longer ? value : ReplaceIllegalNameChars(value));
    }
  };
  const CBstr allTypes = t.LoadResString(IDS_SEARCH_ALL_TYPES);
  if (CompareText(c.typeName.GetBstr() ? c.typeName.GetBstr() : L"", allTypes.GetBstr() ? allTypes.GetBstr() : L"",
                  FALSE) != 0) {
    longer = t.LoadResString(IDS_SEARCH_FILES);
    shorter = longer;
    add(IDS_SEARCH_OF_TYPE, c.typeName);
  } else {
    shorter = t.LoadResString(c.name.GetLength() ? IDS_SEARCH_FILES : IDS_SEARCH_ALL_FILES);
    longer = shorter;
  }
  if (c.name.GetLength()) add(IDS_SEARCH_WITH_NAMES, c.name);
  if (c.text.GetLength()) add(IDS_SEARCH_WITH_TEXT, c.text);
  if (longText) *longText = longer;
  return shorter;
}
