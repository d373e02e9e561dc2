// search/SearchSettings.h - one search's criteria and a file-type list entry.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include "Ring.h"
#include "SuiteString.h"

class CResourceModule;

struct SearchSettings {
  // Defaults; the "all files" type name comes from texts (else g_resourceModule).
  explicit SearchSettings(const CResourceModule* texts = nullptr);

  CBstr name;
  CBstr text;
  CBstr path;
  BOOL includeSubfolders;
  BOOL considerDates;
  int dateType;           // 0 last write, 1 created, 2 last access
  int timeType;           // 0 between, 1 previous months, 2 previous days
  SYSTEMTIME lowerDate;
  SYSTEMTIME higherDate;
  int months;
  int days;
  CBstr typeName;
  CBstr typePattern;      // patterns separated by '|'
  int sizeType;           // 0 none, 1 minimum, 2 maximum
  int limit;              // KB of 1024 bytes
  BOOL caseSensitive;
  BOOL saveResult;
};

struct FileTypeEntry : Ring<FileTypeEntry> {
  // ".jar" gives the pattern "*.jar"; an empty extension or one starting with
  // '*' is taken as given.
  FileTypeEntry(const wchar_t* description, const wchar_t* extension);
  CBstr description;
  CBstr pattern;
};
