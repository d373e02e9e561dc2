// win32/Window.cpp
#include "Window.h"
#include <mutex>
#include <vector>

std::wstring CWindow::GetWindowText() const {
  int length = ::GetWindowTextLengthW(m_hWnd);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  int got = ::GetWindowTextW(m_hWnd, &text[0], static_cast<int>(text.size()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

namespace {

std::mutex g_classLock;
std::vector<std::wstring> g_ownClasses;

}  // namespace

HINSTANCE CWindowImpl::CodeModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&CWindowImpl::WindowProc), &module);
  return module;
}

CWindowImpl::~CWindowImpl() {
  // The derived part is gone: no message may reach its map any more.
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    ::DestroyWindow(m_hWnd);
  }
}

bool CWindowImpl::RegisterOwnClass() {
  const wchar_t* name = WindowClassName();
  std::lock_guard<std::mutex> guard(g_classLock);
  for (const std::wstring& known : g_ownClasses)
    if (known == name) return true;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &CWindowImpl::WindowProc;
  windowClass.hInstance = CodeModule();
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  FillWindowClass(windowClass);
  windowClass.lpszClassName = name;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  g_ownClasses.emplace_back(name);
  return true;
}

void CWindowImpl::UnregisterOwnClasses() {
  std::lock_guard<std::mutex> guard(g_classLock);
  for (const std::wstring& name : g_ownClasses) UnregisterClassW(name.c_str(), CodeModule());
  g_ownClasses.clear();
}

HWND CWindowImpl::Create(HWND parent, const RECT& rect, const wchar_t* title, DWORD style, DWORD exStyle,
                         UINT_PTR idOrMenu) {
  if (m_hWnd || !RegisterOwnClass()) return nullptr;
  return CreateWindowExW(exStyle, WindowClassName(), title, style, rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top, parent,
                         reinterpret_cast<HMENU>(idOrMenu), CodeModule(), this);
}

LRESULT CWindowImpl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWindowImpl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<CWindowImpl*>(create->lpCreateParams);
    if (self) {
      self->m_hWnd = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  auto* self = reinterpret_cast<CWindowImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result, 0);
  if (!handled) result = ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
    self->OnFinalMessage(window);
  }
  return result;
}

// Lives on the child as a property until WM_NCDESTROY; self is cleared when
// the object lets go while another subclass still sits on top of ours.
struct CContainedWindow::Hook {
  CContainedWindow* self;
  WNDPROC previous;
};

namespace {
const wchar_t kHookProperty[] = L"VKS.ContainedWindow";
}

HWND CContainedWindow::Create(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* title,
                              DWORD style, DWORD exStyle, UINT_PTR id) {
  if (m_hWnd) return nullptr;
  HWND window = CreateWindowExW(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(id),
                                CWindowImpl::CodeModule(), nullptr);
  if (!window) return nullptr;
  if (!SubclassWindow(window)) {
    ::DestroyWindow(window);
    return nullptr;
  }
  return window;
}

BOOL CContainedWindow::SubclassWindow(HWND window) {
  if (m_hWnd || !::IsWindow(window) || GetPropW(window, kHookProperty)) return FALSE;
  Hook* hook = new Hook{this, nullptr};
  if (!SetPropW(window, kHookProperty, hook)) {
    delete hook;
    return FALSE;
  }
  hook->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CContainedWindow::SubclassProc)));
  m_hook = hook;
  m_hWnd = window;
  return TRUE;
}

HWND CContainedWindow::UnsubclassWindow() {
  if (!m_hWnd) return nullptr;
  HWND window = m_hWnd;
  Hook* hook = m_hook;
  m_hWnd = nullptr;
  m_hook = nullptr;
  auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
  if (current != &CContainedWindow::SubclassProc) {
    hook->self = nullptr;   // freed at WM_NCDESTROY
    return nullptr;
  }
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->previous));
  RemovePropW(window, kHookProperty);
  delete hook;
  return window;
}

LRESULT CContainedWindow::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_hook) return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
  return CallWindowProcW(m_hook->previous, m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CContainedWindow::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* hook = static_cast<Hook*>(GetPropW(window, kHookProperty));
  if (!hook) return ::DefWindowProcW(window, message, wParam, lParam);
  WNDPROC previous = hook->previous;
  if (message == WM_NCDESTROY) {
    // The control frees itself on this message: it always gets it, unhooked.
    CContainedWindow* self = hook->self;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == &CContainedWindow::SubclassProc)
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(window, kHookProperty);
    delete hook;
    if (self) {
      self->m_hWnd = nullptr;
      self->m_hook = nullptr;
      LRESULT ignored = 0;
      self->m_owner->ProcessWindowMessage(window, message, wParam, lParam, ignored, self->m_mapId);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
  }
  LRESULT result = 0;
  if (hook->self &&
      hook->self->m_owner->ProcessWindowMessage(window, message, wParam, lParam, result, hook->self->m_mapId))
    return result;
  return CallWindowProcW(previous, window, message, wParam, lParam);
}
