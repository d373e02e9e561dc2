// testsupport/DialogPresser.h - presses a button of the next dialog the
// thread shows (WH_CBT hook), after noting its caption and control texts.
#pragma once
#include <windows.h>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

class CDialogPresser {
public:
  // button: the control id clicked once the dialog is active; texts of the
  // controls in readIds are kept.
  CDialogPresser(int button, std::vector<int> readIds = {});
  ~CDialogPresser();
  CDialogPresser(const CDialogPresser&) = delete;
  CDialogPresser& operator=(const CDialogPresser&) = delete;

  bool Pressed() const { return m_pressed; }
  const std::wstring& Caption() const { return m_caption; }
  std::wstring TextOf(int id) const;
  bool HadControl(int id) const { return m_texts.count(id) != 0; }

private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void OnActivate(HWND window);

  HHOOK m_hook = nullptr;
  int m_button;
  std::vector<int> m_readIds;
  bool m_pressed = false;
  std::wstring m_caption;
  std::map<int, std::wstring> m_texts;
};

// Presses a button of the dialog with this caption that any thread shows (a
// progress window runs on a thread of its own), looking every 10 ms for 30 s
// or until it is destroyed.
class CCaptionPresser {
public:
  CCaptionPresser(std::wstring caption, int button);
  ~CCaptionPresser();
  CCaptionPresser(const CCaptionPresser&) = delete;
  CCaptionPresser& operator=(const CCaptionPresser&) = delete;

private:
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};
