// transfers/FormatDialog.cpp - the format dialog, its thread and its starter.
#include "FormatDialog.h"
#include <process.h>
#include <new>
#include "DisplayText.h"
#include "MessageFilter.h"
#include "ModuleCommands.h"
#include "ModuleEntry.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "ShellHelpers.h"

CBstr FormatCapacityText(ULONGLONG capacity) {
  const ULONGLONG kilobytes = capacity / 1024 + (capacity % 1024 != 0 ? 1 : 0);
  CBstr text = FormatGroupedNumber(static_cast<LONGLONG>(kilobytes));
  text.Append(L" KB");
  return text;
}

RPLFormatDialog::RPLFormatDialog(const wchar_t* name, ULONGLONG size) : volumeName(name), capacity(size) {
  ShellExtLock();
}

RPLFormatDialog::~RPLFormatDialog() {
  if (explorerReference) explorerReference->Release();
  if (volume) volume->Release();
  ShellExtUnlock();
}

namespace {
void AddAndSelect(HWND dialog, int id, const wchar_t* text) {
  SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  SendDlgItemMessageW(dialog, id, CB_SETCURSEL, 0, 0);
}

void EnableButtons(HWND dialog, BOOL enable) {
  EnableWindow(GetDlgItem(dialog, IDOK), enable);
  EnableWindow(GetDlgItem(dialog, IDCANCEL), enable);
}
}  // namespace

BOOL RPLFormatDialog::OnInitDialog() {
  CBstr title = GetWindowTextString(window);
  title.Append(L" ");
  title.Append(volumeName);
  SetWindowTextW(window, title.GetBstr());
  AddAndSelect(window, IDC_FORMAT_FILE_SYSTEM, L"FAT");
  AddAndSelect(window, IDC_FORMAT_CLUSTER, g_resourceModule.LoadResString(IDS_STANDARD_SIZE).GetBstr());
  AddAndSelect(window, IDC_FORMAT_CAPACITY, FormatCapacityText(capacity).GetBstr());
  BSTR label = nullptr;
  if (volume && SUCCEEDED(volume->GetLabel(volumeName.GetBstr(), &label))) {
    SetDlgItemTextW(window, IDC_FORMAT_LABEL, label ? label : L"");
    EnableWindow(GetDlgItem(window, IDC_FORMAT_LABEL), TRUE);
    EnableWindow(GetDlgItem(window, IDC_FORMAT_LABEL_TEXT), TRUE);
  }
  SysFreeString(label);
  return TRUE;
}

void RPLFormatDialog::OnStart() {
  const CBstr text = g_resourceModule.LoadResString(IDS_FORMAT_WARNING);
  const CBstr caption = g_resourceModule.LoadResString(IDS_MODULE);
  if (ShellUi().ShowMessageBox(window, text.GetBstr(), caption.GetBstr(), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
    Quit();
    return;
  }
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  EnableButtons(window, FALSE);
  HRESULT hr = FormatWithMessage(volumeName.GetBstr(), volume, window);
  HWND labelEdit = GetDlgItem(window, IDC_FORMAT_LABEL);
  if (SUCCEEDED(hr) && IsWindowEnabled(labelEdit)) {
    const CBstr label = GetWindowTextString(labelEdit);
    if (label.GetLength() > 0) hr = SetLabelWithMessage(volumeName.GetBstr(), label.GetBstr(), volume, window);
  }
  EnableButtons(window, TRUE);
  SetCursor(previous);
  if (SUCCEEDED(hr)) Quit();
}

// The loop tests the flag after each message it takes; a flag set while a
// sent message ran needs a posted one to be seen.
void RPLFormatDialog::Quit() {
  InterlockedExchange(&quit, 1);
  PostMessageW(window, WM_NULL, 0, 0);
}

INT_PTR CALLBACK RPLFormatDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<RPLFormatDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window = window;
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<RPLFormatDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self || message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      self->OnStart();
      return TRUE;
    case IDCANCEL:
      self->Quit();
      return TRUE;
    default:
      return FALSE;
  }
}

unsigned __stdcall FormatDialogThread(void* parameter) {
  auto* dialog = static_cast<RPLFormatDialog*>(parameter);
  // The library stays until this thread has left its code: the last window
  // closing lets DllCanUnloadNow say yes while the thread still cleans up.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FormatDialogThread), &self);
  auto leave = [self] {
    if (self) FreeLibraryAndExitThread(self, 0);
  };
  // After the event the starter owns (and may delete) the dialog.
  auto fail = [dialog, &leave](HRESULT hr) {
    RPLFormatDialog::Start* start = dialog->start;
    start->result = hr;
    SetEvent(start->ready);
    leave();
  };
  HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) {
    fail(hr);
    return 0;
  }
  const bool filter = AcquireThreadMessageFilter() == S_OK;
  auto tearDown = [filter] {
    if (filter) ReleaseThreadMessageFilter();
    OleUninitialize();
  };
  hr = CreateModuleVolume(&dialog->volume);
  if (FAILED(hr)) {
    dialog->volume = nullptr;
    tearDown();
    fail(hr);
    return 0;
  }
  auto releaseVolume = [dialog] {
    dialog->volume->Release();
    dialog->volume = nullptr;
  };
  HWND parent = CreateWindowExW(0, kParentWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!parent) {
    releaseVolume();
    tearDown();
    fail(E_OUTOFMEMORY);
    return 0;
  }
  const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(g_resourceModule.FindDialogTemplate(IDD_FORMAT));
  HWND window = dialogTemplate ? CreateDialogIndirectParamW(g_resourceModule.GetModule(), dialogTemplate, parent,
                                                            RPLFormatDialog::DialogProc,
                                                            reinterpret_cast<LPARAM>(dialog))
                               : nullptr;
  if (!window) {
    DestroyWindow(parent);
    releaseVolume();
    tearDown();
    fail(E_OUTOFMEMORY);
    return 0;
  }
  SHGetInstanceExplorer(&dialog->explorerReference);
  RPLFormatDialog::Start* start = dialog->start;
  dialog->start = nullptr;
  start->result = S_OK;
  SetEvent(start->ready);
  MSG message;
  while (!dialog->quit) {
    // 0 (WM_QUIT) and -1 end the loop as well.
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  DestroyWindow(window);
  DestroyWindow(parent);
  delete dialog;
  tearDown();
  leave();
  return 0;
}

HRESULT ShowFormatDialog(const wchar_t* volumeName, ULONGLONG capacity) {
  auto* dialog = new (std::nothrow) RPLFormatDialog(volumeName, capacity);
  if (!dialog) return E_OUTOFMEMORY;
  RPLFormatDialog::Start start = {CreateEventW(nullptr, FALSE, FALSE, nullptr), E_FAIL};
  if (!start.ready) {
    delete dialog;
    return E_OUTOFMEMORY;
  }
  dialog->start = &start;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, FormatDialogThread, dialog, 0, nullptr));
  if (!thread) {
    const DWORD error = GetLastError();
    delete dialog;
    CloseHandle(start.ready);
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  CloseHandle(thread);
  WaitForSingleObject(start.ready, INFINITE);
  CloseHandle(start.ready);
  if (FAILED(start.result)) {
    delete dialog;
    return start.result;
  }
  return S_OK;
}
