// testsupport/ModalAnswerHook.h - answers real modal windows (message boxes, dialogs) that code
// shows without the UI seam: a WH_CBT hook on one thread presses the next scripted button of each
// window as it is activated; a window still open after the time-out is closed with IDCANCEL, so no
// test waits for a person.
#pragma once
#include <windows.h>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct ModalWindowRecord {
  HWND window;
  std::wstring title;
  std::wstring className;
  std::vector<std::wstring> texts;   // the window's static texts, in child order
  int answer;
  bool timedOut;
};

class CModalAnswerHook {
public:
  // Hooks threadId (the calling thread when 0). One hook per thread.
  explicit CModalAnswerHook(DWORD timeoutMs = 5000, DWORD threadId = 0);
  ~CModalAnswerHook();
  CModalAnswerHook(const CModalAnswerHook&) = delete;
  CModalAnswerHook& operator=(const CModalAnswerHook&) = delete;

  bool IsInstalled() const { return m_hook != nullptr; }
  // Button ids for the next windows, in order; after them IDCANCEL.
  void Answer(int buttonId);
  // 0: leave the window alone until the time-out ends it.
  void AnswerNothing();
  std::vector<ModalWindowRecord> Windows() const;

private:
  static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
  static VOID CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
  void OnActivate(HWND window);
  void OnTimeout(HWND window);

  HHOOK m_hook = nullptr;
  DWORD m_threadId;
  DWORD m_timeoutMs;
  mutable std::mutex m_lock;
  std::deque<int> m_answers;
  std::vector<ModalWindowRecord> m_windows;
  std::vector<HWND> m_handled;
};
