// search/SearchConfiguration.h - ".ssc" files: saved criteria and results;
// the short and long description of a search.
#pragma once
#include <windows.h>
#include "SearchSettings.h"

class CResourceModule;

// The result rows in display order, as text lines (FormatRecordText).
struct ISearchItemSource {
  virtual int GetItemCount() = 0;
  virtual HRESULT GetItemText(int index, CBstr* text) = 0;
protected:
  ~ISearchItemSource() = default;
};

// Writes the whole file; the ITEM lines only with save result and a source.
// The target is replaced only when the new file is complete.
HRESULT WriteSearchConfiguration(const wchar_t* fileName, const SearchSettings& criteria,
                                 ISearchItemSource* items);
// One "ITEM=" line per row of items.
HRESULT WriteResultItems(ISearchItemSource* items, HANDLE file);

// Reads a file into criteria and an array of saved records (free it with
// FreeSavedItems). E_INVALIDARG for a missing output, a bad first line, a line
// without "=", an unknown key or a value out of range (reading stops there),
// and for an ITEM line that is no record (reading goes on); E_FAIL for a file
// that cannot be mapped, is too short or has no byte-order mark.
HRESULT ReadSearchConfiguration(SearchSettings* criteria, const wchar_t* fileName, SearchRecord*** items,
                                UINT* capacity, UINT* count);
void FreeSavedItems(SearchRecord** items, UINT count);

// "?" -> "!", "*" -> "@", and " . / : < > \ | -> "_".
CBstr ReplaceIllegalNameChars(const CBstr& text);
// Returns the short text (fit for a file name); longText gets the caption text.
CBstr DescribeSearch(const SearchSettings& criteria, CBstr* longText, const CResourceModule* texts = nullptr);
