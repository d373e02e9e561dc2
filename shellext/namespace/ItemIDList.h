// namespace/ItemIDList.h - the owning holder of an item-ID list, the text form
// saved search results keep items in, and the lists built from the server's
// listings and from module paths.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "ModuleItemID.h"
#include "SuiteString.h"
#include "VKSServer.h"

// Owns one item-ID list (null for none), allocated and freed with ShellMalloc().
class CItemIDList {
public:
  CItemIDList() = default;
  explicit CItemIDList(LPCITEMIDLIST list);       // a copy; empty when out of memory
  CItemIDList(const CItemIDList& other);
  CItemIDList(CItemIDList&& other) noexcept;
  CItemIDList& operator=(const CItemIDList& other);
  CItemIDList& operator=(CItemIDList&& other) noexcept;
  ~CItemIDList();

  // Copies of other lists: null gives null and S_OK; E_OUTOFMEMORY leaves null.
  HRESULT CopyFrom(const CItemIDList& other);
  HRESULT Assign(LPCITEMIDLIST list);
  HRESULT Assign(const CItemIDList& other);
  void Free();                                    // and the holder is empty

  LPITEMIDLIST Get() const { return m_list; }
  bool IsEmpty() const { return m_list == nullptr; }
  LPITEMIDLIST Detach();                          // the caller owns the list
  void Attach(LPITEMIDLIST list);                 // frees the held one, takes list over

  UINT GetCount() const;                          // records before the terminator
  UINT GetByteSize() const;                       // records and terminator; 0 for null
  // The record at a zero-based index; below 0 the first. Callers stay below GetCount.
  LPCITEMIDLIST GetItem(int index) const;
  LPCITEMIDLIST GetLastItem() const;              // null for an empty list

  // The records of a then those of b; a null list counts as empty. The
  // result is empty when memory ran out (or both were empty).
  static CItemIDList Concatenate(LPCITEMIDLIST a, LPCITEMIDLIST b);
  static CItemIDList Concatenate(const CItemIDList& a, const CItemIDList& b);
  // Records first..last inclusive as a new list (ShellMalloc), stopping at the
  // end; null when last < first, the list is null or first is past the end.
  LPITEMIDLIST CopyRange(int first, int last) const;

  // A new one-record list from counted strings. E_INVALIDARG when the record
  // would exceed 65,534 bytes, E_OUTOFMEMORY; either way the holder is empty.
  HRESULT CreateItem(const wchar_t* name, UINT nameLength, const wchar_t* shortName, UINT shortNameLength,
                     ULONG size, ULONG attributes, DATE creationTime, DATE lastAccessTime, DATE lastWriteTime);

  // The text form: name|short name|size|attributes|created|accessed|written,
  // times as year/month/day/hour/minute/second/millisecond. Parse gives a new
  // heap holder (delete it) or null.
  static CItemIDList* ParseItemText(const wchar_t* text);

private:
  LPITEMIDLIST m_list = nullptr;
};

// The text form of one record (see CItemIDList::ParseItemText). A time that
// cannot be converted is written as time 0's fields, so the line reads back.
CBstr FormatItemText(LPCITEMIDLIST item);

// Size of a list in bytes, terminator included; 0 for null.
UINT GetIDListSize(LPCITEMIDLIST list);
// A raw copy with ShellMalloc, null for null or no memory; and its release.
LPITEMIDLIST CloneIDList(LPCITEMIDLIST list);
void FreeIDList(LPITEMIDLIST list);

// Lists folder\pattern on volume and appends one record per row to the
// pointer array (records and array with ShellMalloc; it grows by 32). With
// recursive, folders and drives are followed depth first into the same array.
// A failed listing or no memory frees the whole array (null, 0, 0), except
// that a failed nested listing keeps what was gathered and is returned. An
// answer that is not an array of variants adds nothing and gives S_OK; an
// array of the wrong shape or cell types is a failure.
HRESULT ParseEntryRows(const wchar_t* folder, const wchar_t* pattern, LPITEMIDLIST** array, int* capacity,
                       int* count, IVKSVolume* volume, bool directoriesOnly, bool recursive);
// Frees the records of a pointer array and the array; the outputs become null, 0, 0.
void FreeEntryRows(LPITEMIDLIST** array, int* capacity, int* count);

// ParseEntryRows handed over as holders: one array the caller frees with
// delete[] (null when there are none).
HRESULT ReadFolderEntries(const wchar_t* folder, const wchar_t* pattern, CItemIDList** items, int* count,
                          IVKSVolume* volume, bool directoriesOnly, bool recursive);
// The whole folder ("*"), not recursive.
HRESULT ListFolderEntries(const wchar_t* folder, CItemIDList** items, int* count, IVKSVolume* volume,
                          bool directoriesOnly);
// The record of one named entry (a new heap holder), or null when it does not exist.
HRESULT FindEntryByName(const wchar_t* path, IVKSVolume* volume, CItemIDList** item);

// The absolute list of the namespace root: My Computer's child named "Module".
HRESULT GetModuleRootIDList(CItemIDList* root);
// One record per component of path appended to list, each fetched from the server.
HRESULT AppendPathItems(const wchar_t* path, CItemIDList* list, IVKSVolume* volume);
// Root list and then the path's records.
HRESULT GetModuleAbsoluteIDList(const wchar_t* path, CItemIDList* list, IVKSVolume* volume);
