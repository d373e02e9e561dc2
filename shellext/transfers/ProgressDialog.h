// transfers/ProgressDialog.h - the modeless progress dialog of long operations:
// animation, bar, the item worked on, time remaining and a Cancel button that
// only raises the caller's flag.
#pragma once
#include <windows.h>

enum class ProgressMode { Copy = 0, Move = 1, Delete = 2 };

// What Update shows, worked out without any window.
struct ProgressFigures {
  ULONGLONG current;     // clamped to total
  bool hasPercent;       // total is not 0
  int percent;
  bool hasTime;          // current is not 0
  UINT textId;           // one of the eight "Time remaining" texts
  ULONG hours, minutes, seconds;
};
ProgressFigures ComputeProgress(ULONGLONG total, ULONGLONG done, ULONGLONG partDone, ULONGLONG partSize,
                                ULONGLONG weight, DWORD elapsedMs);

class ProgressDialog {
public:
  ProgressDialog() = default;
  ~ProgressDialog() { Destroy(); }
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Without its template or window the object only counts.
  void Create(ProgressMode mode, ULONGLONG total, DWORD* cancelFlag, HWND owner);
  void Update(ULONGLONG partDone, ULONGLONG partSize, ULONGLONG weight);
  void AddDone(ULONGLONG amount);
  void Destroy();

  HWND GetWindow() const { return m_dialog; }
  ULONGLONG GetTotal() const { return m_total; }
  ULONGLONG GetDone() const { return m_done; }
  // Lines 102 and 103; null leaves a line as it is.
  void SetLines(const wchar_t* item, const wchar_t* detail);

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
  HWND m_dialog = nullptr;
  HWND m_bar = nullptr;
  HWND m_timeText = nullptr;
  ULONGLONG m_total = 0;
  ULONGLONG m_done = 0;
  DWORD m_startTick = 0;
};
