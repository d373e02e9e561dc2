// search/SearchEngine.h - walks the module from a folder and reports every
// entry that meets the criteria.
#pragma once
#include <windows.h>
#include <vector>
#include "SearchSettings.h"
#include "VKSServer.h"

// What the search window gives the engine.
struct ISearchSink {
  virtual bool IsStopped() = 0;
  virtual void PumpMessages() = 0;
  virtual void SetStatusText(const wchar_t* text) = 0;
  // Adds a copy when the window still has a result list.
  virtual void AddHit(const SearchRecord& record) = 0;
  virtual HWND GetOwner() = 0;
protected:
  ~ISearchSink() = default;
};

constexpr HRESULT E_TRANSFER_CANCELLED = static_cast<HRESULT>(0x80040300);
// Above this many bytes in all the user is asked before files are read.
constexpr ULONGLONG kContentQuestionBytes = 102400;

// E_POINTER without a volume; otherwise S_OK: failures are shown, not returned.
HRESULT RunSearch(ISearchSink* sink, const wchar_t* folderPath, IVKSVolume* volume,
                  const SearchSettings& criteria);

// S_OK when the file holds the text (or there is none), E_FAIL when not,
// E_TRANSFER_CANCELLED after a stop, else the failure as it came.
HRESULT ContentMatches(ISearchSink* sink, const SearchSettings& criteria, const SearchRecord& record,
                       IVKSVolume* volume);

// The entries of folderPath as records named by their full path; with
// recursive, each folder's record comes before its contents.
HRESULT ListSearchRecords(IVKSVolume* volume, const wchar_t* folderPath, bool recursive,
                          std::vector<SearchRecord>* records);
