// transfers/FormatDialog.h - the modeless dialog that formats one module
// volume, each on a thread of its own.
#pragma once
#include <windows.h>
#include "SuiteString.h"
#include "VKSServer.h"

// S_OK once the dialog's window exists; otherwise the failure (no server, no
// window) and nothing is shown. volumeName is a drive name ("A:"), capacity
// its size in bytes.
HRESULT ShowFormatDialog(const wchar_t* volumeName, ULONGLONG capacity);

// The capacity line: kilobytes rounded up, grouped, and " KB".
CBstr FormatCapacityText(ULONGLONG capacity);

// One open dialog. While it lives the library stays loaded.
class RPLFormatDialog {
public:
  RPLFormatDialog(const wchar_t* volumeName, ULONGLONG capacity);
  ~RPLFormatDialog();
  RPLFormatDialog(const RPLFormatDialog&) = delete;
  RPLFormatDialog& operator=(const RPLFormatDialog&) = delete;

  // Where the thread reports its start; the starter owns both and the thread
  // touches neither after setting the event.
  struct Start {
    HANDLE ready;
    HRESULT result;
  };

  HWND window = nullptr;
  IVKSVolume* volume = nullptr;
  Start* start = nullptr;
  volatile LONG quit = 0;
  IUnknown* explorerReference = nullptr;
  CBstr volumeName;
  ULONGLONG capacity;

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
  BOOL OnInitDialog();
  void OnStart();
  void Quit();
};

unsigned __stdcall FormatDialogThread(void* dialog);
