// search/SearchDialog.cpp - the search window's thread and its opener.
#include "SearchDialog.h"
#include <commctrl.h>
#include <new>
#include "ComBase.h"
#include "MessageFilter.h"
#include "ModuleEntry.h"
#include "ResourceModule.h"
#include "SearchConfiguration.h"
#include "SearchIds.h"
#include "Seams.h"

namespace {
volatile LONG g_searchActivity = 0;
}  // namespace

LONG SearchActivityCount() { return g_searchActivity; }

BOOL InitExtendedControls() {
  // Date pickers and the extended combo box came with comctl32 4.70; an older
  // library may lack the call altogether.
  const DllVersion version = Comctl32Version();
  if (version.major < 4 || (version.major == 4 && version.minor < 70)) return FALSE;
  HMODULE library = LoadLibraryW(L"comctl32.dll");
  if (!library) return FALSE;
  BOOL result = FALSE;
  using InitProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitProc>(reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (init) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0x3FF};
    result = init(&controls);
  }
  FreeLibrary(library);
  return result;
}

RPLSearchDialog::RPLSearchDialog(const wchar_t* path, const wchar_t* folder)
    : configurationPath(path), startFolder(folder) {
  readyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  GetComModule().Lock();
}

RPLSearchDialog::~RPLSearchDialog() {
  if (volume) volume->Release();
  if (explorerReference) explorerReference->Release();
  GetComModule().Unlock();
}

HWND RPLSearchDialog::Create() {
  const void* dialogTemplate = g_resourceModule.FindDialogTemplate(IDD_SEARCH_DIALOG);
  if (!dialogTemplate) return nullptr;
  return CreateDialogIndirectParamW(g_resourceModule.GetModule(), static_cast<const DLGTEMPLATE*>(dialogTemplate),
                                    nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
}

void RPLSearchDialog::RunMessageLoop() {
  MSG message;
  while (!endFlag && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

INT_PTR CALLBACK RPLSearchDialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  auto* self = reinterpret_cast<RPLSearchDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      self = reinterpret_cast<RPLSearchDialog*>(lParam);
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      self->window = window;
      CBstr longText;
      DescribeSearch(self->criteria, &longText);
      CBstr caption(L"Searching for: ");
      caption.Append(longText);
      SetWindowTextW(window, caption.GetBstr());
      return TRUE;
    }
    case WM_CLOSE:
      if (self) InterlockedExchange(&self->endFlag, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

DWORD WINAPI SearchDialogThread(void* parameter) {
  auto* dialog = static_cast<RPLSearchDialog*>(parameter);
  InterlockedIncrement(&g_searchActivity);
  // Hold the library until this thread has left its code, so a caller may
  // unload it as soon as StartSearch returns.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&SearchDialogThread), &self);
  auto leave = [self] {
    InterlockedDecrement(&g_searchActivity);
    if (self) FreeLibraryAndExitThread(self, 0);
  };
  // A thread that failed stops counting before the opener wakes, so the
  // count is back to zero when the opener returns.
  auto fail = [dialog, self] {
    InterlockedDecrement(&g_searchActivity);
    *dialog->startResult = dialog->initResult;
    SetEvent(dialog->readyEvent);
    if (self) FreeLibraryAndExitThread(self, 0);
  };
  dialog->initResult = OleInitialize(nullptr);
  if (FAILED(dialog->initResult)) {
    fail();
    return 0;
  }
  // Calls the server rejects as busy are retried, as on every client thread.
  const bool filter = AcquireThreadMessageFilter() == S_OK;
  auto releaseFilter = [filter] {
    if (filter) ReleaseThreadMessageFilter();
  };
  dialog->initResult = CreateModuleVolume(&dialog->volume);
  if (FAILED(dialog->initResult)) {
    releaseFilter();
    OleUninitialize();
    fail();
    return 0;
  }
  InitCommonControls();
  dialog->extendedControls = InitExtendedControls();
  HWND window = dialog->Create();
  if (!window) {
    dialog->initResult = E_OUTOFMEMORY;
    dialog->volume->Release();
    dialog->volume = nullptr;
    releaseFilter();
    OleUninitialize();
    fail();
    return 0;
  }
  SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_CONTROLPARENT);
  SHGetInstanceExplorer(&dialog->explorerReference);
  ShowWindow(window, SW_SHOW);
  // The opener reads the result from its own place and owns the event: once
  // ready is signalled this thread may delete the object at any time.
  *dialog->startResult = dialog->initResult;
  SetEvent(dialog->readyEvent);
  dialog->RunMessageLoop();
  DestroyWindow(window);
  delete dialog;
  releaseFilter();
  OleUninitialize();
  leave();
  return 0;
}

HRESULT OpenSearchWindow(const wchar_t* configurationPath, const wchar_t* startFolder) {
  InterlockedIncrement(&g_searchActivity);
  auto done = [](HRESULT hr) {
    InterlockedDecrement(&g_searchActivity);
    return hr;
  };
  RPLSearchDialog* dialog = new (std::nothrow) RPLSearchDialog(configurationPath, startFolder);
  if (!dialog) return done(E_OUTOFMEMORY);
  if (!dialog->readyEvent) {
    delete dialog;
    return done(E_OUTOFMEMORY);
  }
  HRESULT hr = E_FAIL;
  dialog->startResult = &hr;
  const HANDLE ready = dialog->readyEvent;
  HANDLE thread = CreateThread(nullptr, 0, SearchDialogThread, dialog, 0, nullptr);
  if (!thread) {
    const DWORD error = GetLastError();
    delete dialog;
    CloseHandle(ready);
    return done(error ? HRESULT_FROM_WIN32(error) : E_FAIL);
  }
  CloseHandle(thread);
  WaitForSingleObject(ready, INFINITE);
  CloseHandle(ready);
  if (FAILED(hr)) {
    delete dialog;
    return done(hr);
  }
  return done(S_OK);
}
