// search/SearchDialog.h - the search window's start and end: one thread per
// window, and the count that StartSearch waits on.
#pragma once
#include <windows.h>
#include "SearchSettings.h"
#include "SuiteString.h"
#include "VKSServer.h"

// Openers running plus window threads alive.
LONG SearchActivityCount();
// The extended common controls when comctl32 is 4.70 or later, else FALSE.
BOOL InitExtendedControls();

// The window and what the opener hands its thread. For now a plain
// "Find File" window that shows what it searches for and ends on close.
class RPLSearchDialog {
public:
  RPLSearchDialog(const wchar_t* configurationPath, const wchar_t* startFolder);
  ~RPLSearchDialog();
  RPLSearchDialog(const RPLSearchDialog&) = delete;
  RPLSearchDialog& operator=(const RPLSearchDialog&) = delete;

  HWND window = nullptr;
  IVKSVolume* volume = nullptr;
  HRESULT initResult = E_FAIL;
  HANDLE readyEvent = nullptr;     // made here, closed by the opener
  HRESULT* startResult = nullptr;  // the opener's copy of initResult
  volatile LONG endFlag = 0;
  IUnknown* explorerReference = nullptr;
  BOOL extendedControls = FALSE;
  CBstr configurationPath;
  CBstr startFolder;
  SearchSettings criteria;

  HWND Create();
  void RunMessageLoop();

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// S_OK once the window exists, else the failure (nothing is shown).
HRESULT OpenSearchWindow(const wchar_t* configurationPath, const wchar_t* startFolder);
DWORD WINAPI SearchDialogThread(void* dialog);
