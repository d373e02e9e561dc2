// core/EntryList.h - reads the array that IVKSVolume::GetEntries returns.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include "VKSServer.h"

// One row per entry, one column per GetEntriesIndices value; the cell of entry
// e and column k is element e + k * count of the locked data.
class CEntryList {
public:
  CEntryList() = default;
  ~CEntryList() { Clear(); }
  CEntryList(const CEntryList&) = delete;
  CEntryList& operator=(const CEntryList&) = delete;

  // Takes the array of result over (result is left VT_EMPTY) and locks it.
  // DISP_E_TYPEMISMATCH when result is no array of variants, DISP_E_BADINDEX
  // when it is not two-dimensional with the seven columns, else the result of
  // SafeArrayAccessData; on failure the array is destroyed.
  HRESULT Attach(VARIANT* result);
  void Clear();   // unlocks and destroys the array

  LONG GetCount() const { return m_count; }
  const VARIANT* GetCell(LONG entry, GetEntriesIndices column) const;   // null outside the array
  // Only entries whose attributes cell is VT_I4 count as entries at all.
  bool IsEntry(LONG entry) const;
  bool IsDirectory(LONG entry) const;            // an entry with attribute bit 0x10
  const wchar_t* GetName(LONG entry) const;      // null unless the name cell is a BSTR
  bool IsInt(LONG entry, GetEntriesIndices column) const;
  LONG GetInt(LONG entry, GetEntriesIndices column) const;      // VT_I4, else 0
  DATE GetDate(LONG entry, GetEntriesIndices column) const;     // VT_DATE, else 0
  // A numeric cell as a double (the free space of a drive row), else 0; and
  // the same truncated to a whole number, limited to the 64-bit range.
  double GetNumber(LONG entry, GetEntriesIndices column) const;
  LONGLONG GetWholeNumber(LONG entry, GetEntriesIndices column) const;
  // Files (entries without bit 0x10): their count and the sum of their sizes,
  // in 64 bits so that many large files cannot wrap the total.
  LONGLONG SumFileSizes(LONG* fileCount) const;

private:
  SAFEARRAY* m_array = nullptr;
  const VARIANT* m_cells = nullptr;
  LONG m_count = 0;
};

// Lists path (limittodirectories when directoriesOnly) into list, with the
// thread's error object cleared first so that a failure is described only by
// what this call left. The call's result (S_FALSE for an empty folder), its
// failure, DISP_E_TYPEMISMATCH when the result
// is no array of variants, or the failure of CEntryList::Attach. noArray, when
// given, tells a successful call whose answer was no array of variants at all
// apart from an array of the wrong shape.
HRESULT ReadEntries(IVKSVolume* volume, const wchar_t* path, bool directoriesOnly, CEntryList* list,
                    bool* noArray = nullptr);
