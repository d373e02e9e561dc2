// link/FolderEntry.h - one entry of a folder listing; a CoTaskMem chain.
#pragma once
#include <windows.h>
#include <wtypes.h>  // DATE; not pulled in by a lean windows.h

// The attribute bit of a folder, in listings and in the GetEntries rows.
constexpr DWORD kFolderAttribute = FILE_ATTRIBUTE_DIRECTORY;

struct FolderEntry {
  FolderEntry* next;     // null at the end of the chain
  wchar_t* name;         // CoTaskMem; parsed names are 256-byte blocks (<= 127 chars)
  wchar_t* shortName;    // CoTaskMem or null
  DWORD size;
  DWORD attributes;      // FILE_ATTRIBUTE_* bits
  DATE created;          // 0 = no time
  DATE accessed;
  DATE modified;
};
