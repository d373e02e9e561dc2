// win32/ModelessDialog.cpp - the modeless dialog's procedure.
#include "ModelessDialog.h"

CModelessDialog::~CModelessDialog() {
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
    ::DestroyWindow(m_hWnd);
  }
}

HWND CModelessDialog::CreateIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent) {
  if (!dialogTemplate) return nullptr;
  return CreateDialogIndirectParamW(instance, dialogTemplate, parent, DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CModelessDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CModelessDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CModelessDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
  }
  if (!self) return FALSE;
  LRESULT result = 0;
  const BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result, 0);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  if (!handled) return FALSE;
  if (message == WM_INITDIALOG) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}
