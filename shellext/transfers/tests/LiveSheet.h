// transfers/tests/LiveSheet.h - a real modeless property sheet that the sheet
// thread makes when the UI seam is asked for one, driven from the test thread.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "DisplayText.h"
#include "ModuleEntry.h"
#include "ScriptedShellUi.h"

// The hidden parent's class, which the library registers when it is loaded.
inline void RegisterSheetParentClass() {
  InitCommonControls();
  WNDCLASSW parent = {};
  if (GetClassInfoW(GetModuleHandleW(nullptr), kParentWindowClass, &parent)) return;
  parent.lpfnWndProc = DefWindowProcW;
  parent.hInstance = GetModuleHandleW(nullptr);
  parent.lpszClassName = kParentWindowClass;
  RegisterClassW(&parent);
}

inline std::wstring DlgText(HWND page, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(page, id, text, ARRAYSIZE(text));
  return text;
}

// Grouped digits and " Bytes", as the pages write sizes.
inline std::wstring Bytes(ULONGLONG value) {
  return std::wstring(FormatGroupedNumber(static_cast<LONGLONG>(value)).GetBstr()) + L" Bytes";
}

struct LiveSheet {
  HWND sheet = nullptr;
  DWORD thread = 0;

  // The next sheet the seam is asked for is the real one.
  void AnswerNext(CScriptedShellUi& ui) {
    ui.Answer(UiCall::PropertySheet, [this](UiCallRecord& call) -> INT_PTR {
      const INT_PTR made = PropertySheetW(static_cast<PROPSHEETHEADERW*>(call.argument));
      sheet = reinterpret_cast<HWND>(made);
      thread = GetCurrentThreadId();
      return made;
    });
  }
  HWND Page(int index) const {
    SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  }
  // True when every page accepted Apply.
  bool Apply() const { return SendMessageW(sheet, PSM_APPLY, 0, 0) != 0; }
  // Cancel is posted, as a click arrives, so the sheet's loop sees it; the
  // thread ends with the sheet.
  void Close() const {
    HANDLE handle = OpenThread(SYNCHRONIZE, FALSE, thread);
    ASSERT_TRUE(handle);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(handle, 30000));
    CloseHandle(handle);
    EXPECT_FALSE(IsWindow(sheet));
  }
};
