// search/SearchSettings.cpp - default criteria and file-type entries.
#include "SearchSettings.h"
#include "ResourceModule.h"
#include "SearchIds.h"

SearchSettings::SearchSettings(const CResourceModule* texts)
    : includeSubfolders(TRUE), considerDates(FALSE), dateType(0), timeType(2), months(1), days(1),
      typePattern(L"*"), sizeType(0), limit(0), caseSensitive(FALSE), saveResult(FALSE) {
  GetLocalTime(&lowerDate);
  higherDate = lowerDate;
  typeName = (texts ? *texts : g_resourceModule).LoadResString(IDS_SEARCH_ALL_TYPES);
}

FileTypeEntry::FileTypeEntry(const wchar_t* desc, const wchar_t* extension) : description(desc) {
  if (extension && extension[0] && extension[0] != L'*') {
    pattern = L"*";
    pattern.Append(extension);
  } else {
    pattern = extension;
  }
}
