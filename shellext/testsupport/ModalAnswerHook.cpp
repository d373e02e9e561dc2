// testsupport/ModalAnswerHook.cpp
#include "ModalAnswerHook.h"
#include <algorithm>
#include <map>

namespace {

std::mutex g_hooksLock;
std::map<DWORD, CModalAnswerHook*> g_hooks;   // by hooked thread
std::map<UINT_PTR, std::pair<CModalAnswerHook*, HWND>> g_timers;

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0) {
    std::wstring text = WindowText(child);
    if (!text.empty()) reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
  }
  return TRUE;
}

CModalAnswerHook* HookOf(DWORD threadId) {
  std::lock_guard<std::mutex> guard(g_hooksLock);
  auto found = g_hooks.find(threadId);
  return found == g_hooks.end() ? nullptr : found->second;
}

}  // namespace

CModalAnswerHook::CModalAnswerHook(DWORD timeoutMs, DWORD threadId)
    : m_threadId(threadId ? threadId : GetCurrentThreadId()), m_timeoutMs(timeoutMs) {
  {
    std::lock_guard<std::mutex> guard(g_hooksLock);
    if (g_hooks.count(m_threadId)) return;
    g_hooks[m_threadId] = this;
  }
  m_hook = SetWindowsHookExW(WH_CBT, &CModalAnswerHook::HookProc, nullptr, m_threadId);
  if (!m_hook) {
    std::lock_guard<std::mutex> guard(g_hooksLock);
    g_hooks.erase(m_threadId);
  }
}

CModalAnswerHook::~CModalAnswerHook() {
  if (!m_hook) return;
  UnhookWindowsHookEx(m_hook);
  std::lock_guard<std::mutex> guard(g_hooksLock);
  g_hooks.erase(m_threadId);
  for (auto timer = g_timers.begin(); timer != g_timers.end();) {
    if (timer->second.first == this) {
      KillTimer(nullptr, timer->first);
      timer = g_timers.erase(timer);
    } else {
      ++timer;
    }
  }
}

void CModalAnswerHook::Answer(int buttonId) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_answers.push_back(buttonId);
}

void CModalAnswerHook::AnswerNothing() { Answer(0); }

std::vector<ModalWindowRecord> CModalAnswerHook::Windows() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_windows;
}

LRESULT CALLBACK CModalAnswerHook::HookProc(int code, WPARAM wParam, LPARAM lParam) {
  CModalAnswerHook* self = HookOf(GetCurrentThreadId());
  if (self && code == HCBT_ACTIVATE) self->OnActivate(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Only owned or top-level dialog windows count; a window is answered once,
// though it may be activated again.
void CModalAnswerHook::OnActivate(HWND window) {
  if (ClassOf(window) != L"#32770") return;
  int answer = IDCANCEL;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (std::find(m_handled.begin(), m_handled.end(), window) != m_handled.end()) return;
    m_handled.push_back(window);
    if (!m_answers.empty()) {
      answer = m_answers.front();
      m_answers.pop_front();
    }
    ModalWindowRecord record{window, WindowText(window), ClassOf(window), {}, answer, false};
    EnumChildWindows(window, CollectStatic, reinterpret_cast<LPARAM>(&record.texts));
    m_windows.push_back(record);
  }
  // Posted: the modal loop takes it once the window is fully up.
  if (answer != 0) PostMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  // A thread timer fires inside the modal loop too.
  UINT_PTR timer = SetTimer(nullptr, 0, m_timeoutMs, &CModalAnswerHook::TimerProc);
  if (timer) {
    std::lock_guard<std::mutex> guard(g_hooksLock);
    g_timers[timer] = {this, window};
  }
}

VOID CALLBACK CModalAnswerHook::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  std::pair<CModalAnswerHook*, HWND> target(nullptr, nullptr);
  {
    std::lock_guard<std::mutex> guard(g_hooksLock);
    auto found = g_timers.find(id);
    if (found == g_timers.end()) return;
    target = found->second;
    g_timers.erase(found);
  }
  target.first->OnTimeout(target.second);
}

void CModalAnswerHook::OnTimeout(HWND window) {
  if (!IsWindow(window)) return;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    for (ModalWindowRecord& record : m_windows)
      if (record.window == window) record.timedOut = true;
  }
  // IDCANCEL closes dialogs and message boxes alike; EndDialog for one without a Cancel button.
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (IsWindow(window) && IsWindowVisible(window)) EndDialog(window, IDCANCEL);
}
