// win32/ModelessDialog.h - a modeless dialog whose messages go to the derived
// class's message map. The object is found through DWLP_USER, set at
// WM_INITDIALOG (messages before it go to the default handling).
#pragma once
#include <windows.h>
#include "Window.h"

class CModelessDialog : public CWindow, public CMessageMap {
public:
  CModelessDialog() = default;
  CModelessDialog(const CModelessDialog&) = delete;
  CModelessDialog& operator=(const CModelessDialog&) = delete;
  virtual ~CModelessDialog();

  // Null when the dialog could not be made; parent may be null.
  HWND CreateIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent);

protected:
  // A handled WM_INITDIALOG returns its result as the dialog procedure's; any
  // other handled message leaves its result in DWLP_MSGRESULT.
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
