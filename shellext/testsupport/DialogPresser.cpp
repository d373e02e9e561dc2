// testsupport/DialogPresser.cpp - the CBT hook that answers one dialog, and the
// watcher that answers one of another thread.
#include "DialogPresser.h"

namespace {
thread_local CDialogPresser* t_presser = nullptr;

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return text;
}
}  // namespace

CDialogPresser::CDialogPresser(int button, std::vector<int> readIds)
    : m_button(button), m_readIds(std::move(readIds)) {
  t_presser = this;
  m_hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

CDialogPresser::~CDialogPresser() {
  if (m_hook) UnhookWindowsHookEx(m_hook);
  t_presser = nullptr;
}

std::wstring CDialogPresser::TextOf(int id) const {
  auto found = m_texts.find(id);
  return found == m_texts.end() ? std::wstring() : found->second;
}

// A dialog is activated once its WM_INITDIALOG has run: its texts are final.
void CDialogPresser::OnActivate(HWND window) {
  if (m_pressed) return;
  wchar_t className[16] = L"";
  GetClassNameW(window, className, 16);
  if (wcscmp(className, L"#32770") != 0) return;
  m_pressed = true;
  m_caption = WindowText(window);
  for (int id : m_readIds)
    if (HWND control = GetDlgItem(window, id)) m_texts[id] = WindowText(control);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(m_button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, m_button)));
}

LRESULT CALLBACK CDialogPresser::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && t_presser) t_presser->OnActivate(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

CCaptionPresser::CCaptionPresser(std::wstring caption, int button)
    : m_thread([this, caption = std::move(caption), button] {
        for (int i = 0; i < 3000 && !m_stop; ++i) {
          if (HWND dialog = FindWindowW(L"#32770", caption.c_str())) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, 0), 0);
            return;
          }
          Sleep(10);
        }
      }) {}

CCaptionPresser::~CCaptionPresser() {
  m_stop = true;
  m_thread.join();
}
