// search/SearchSettings.h - one search's criteria, the saved result record,
// and a file-type list entry.
#pragma once
#include "ModuleItemID.h"   // IsDriveRootName
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

// One entry of the module: name is the full module path (\A:\dir\f.txt).
struct SearchRecord {
  CBstr name;
  CBstr shortName;
  DWORD size = 0;
  DWORD attributes = 0;
  DATE created = 0;
  DATE accessed = 0;
  DATE lastWrite = 0;

  bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  CBstr LastComponent() const { return GetNamePart(name); }
};

// The saved text form: name|short name|size|attributes|created|accessed|written.
CBstr FormatRecordText(const SearchRecord& record);
// E_INVALIDARG for a line that is no record: not seven fields, an empty name,
// numbers that are not decimal 32-bit values, unreadable times, or names too
// long for one item record.
HRESULT ParseRecordText(const wchar_t* text, SearchRecord* record);

struct FileTypeEntry : Ring<FileTypeEntry> {
  // ".jar" gives the pattern "*.jar"; an empty extension or one starting with
  // '*' is taken as given.
  FileTypeEntry(const wchar_t* description, const wchar_t* extension);
  CBstr description;
  CBstr pattern;
};
