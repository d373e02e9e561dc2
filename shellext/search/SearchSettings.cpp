// search/SearchSettings.cpp - default criteria, the saved record text form,
// file-type entries.
#include "SearchSettings.h"
#include "DisplayText.h"
#include "ResourceModule.h"
#include "SearchIds.h"

SearchSettings::SearchSettings(const CResourceModule* texts)
    : includeSubfolders(TRUE), considerDates(FALSE), dateType(0), timeType(2), months(1), days(1),
      typePattern(L"*"), sizeType(0), limit(0), caseSensitive(FALSE), saveResult(FALSE) {
  GetLocalTime(&lowerDate);
  higherDate = lowerDate;
  typeName = (texts ? *texts : g_resourceModule).LoadResString(IDS_SEARCH_ALL_TYPES);
}

CBstr FormatRecordText(const SearchRecord& record) {
  CBstr text(record.name);
  const CBstr fields[] = {record.shortName, CBstr(record.size, 10), CBstr(record.attributes, 10),
                          FormatDateFields(record.created), FormatDateFields(record.accessed),
                          FormatDateFields(record.lastWrite)};
  for (const CBstr& field : fields) {
    text.Append(L"|");
    text.Append(field);
  }
  return text;
}

namespace {

// Plain decimal digits that fit 32 bits unsigned.
bool ParseUnsignedField(const CBstr& field, DWORD* value) {
  const UINT length = field.GetLength();
  if (length == 0 || length > 10) return false;
  ULONGLONG number = 0;
  for (UINT i = 0; i < length; ++i) {
    const wchar_t c = field.GetAt(i);
    if (c < L'0' || c > L'9') return false;
    number = number * 10 + static_cast<ULONGLONG>(c - L'0');
  }
  if (number > 0xFFFFFFFFull) return false;
  *value = static_cast<DWORD>(number);
  return true;
}

HRESULT ParseTimeField(const CBstr& field, DATE* date) {
  // An empty time is "no time", as the writer gives it for DATE 0.
  if (field.GetLength() == 0) {
    *date = 0;
    return S_OK;
  }
  return ParseDateFields(field.GetBstr(), date);
}

// An item record holds a header and both names with terminators in 16 bits.
constexpr UINT kRecordHeaderBytes = 48;

}  // namespace

HRESULT ParseRecordText(const wchar_t* text, SearchRecord* record) {
  if (!record) return E_POINTER;
  CBstr line(text);
  if (line.CountFields(L'|') != 7) return E_INVALIDARG;
  SearchRecord parsed;
  parsed.name = line.GetField(L'|', 0);
  parsed.shortName = line.GetField(L'|', 1);
  if (parsed.name.GetLength() == 0) return E_INVALIDARG;
  const ULONGLONG bytes = kRecordHeaderBytes + (parsed.name.GetLength() + 1ull + parsed.shortName.GetLength() + 1ull) * 2;
  if (bytes > 0xFFFF) return E_INVALIDARG;
  if (!ParseUnsignedField(line.GetField(L'|', 2), &parsed.size) ||
      !ParseUnsignedField(line.GetField(L'|', 3), &parsed.attributes))
    return E_INVALIDARG;
  if (FAILED(ParseTimeField(line.GetField(L'|', 4), &parsed.created)) ||
      FAILED(ParseTimeField(line.GetField(L'|', 5), &parsed.accessed)) ||
      FAILED(ParseTimeField(line.GetField(L'|', 6), &parsed.lastWrite)))
    return E_INVALIDARG;
  *record = parsed;
  return S_OK;
}

FileTypeEntry::FileTypeEntry(const wchar_t* desc, const wchar_t* extension) : description(desc) {
  if (extension && extension[0] && extension[0] != L'*') {
    pattern = L"*";
    pattern.Append(extension);
  } else {
    pattern = extension;
  }
}
