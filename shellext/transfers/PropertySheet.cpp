// transfers/PropertySheet.cpp - the extension's own modeless property sheet,
// on a thread with its own apartment, message filter, volume and loop.
#include "PropertySheet.h"
#include <process.h>
#include <new>
#include "MessageFilter.h"
#include "ModuleEntry.h"
#include "ModuleItemID.h"
#include "RPLPropSheetExt.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"

namespace {
// What the starter waits for; it lives on the starter's stack, so the sheet
// thread lets go of it before it wakes the starter.
struct StartReport {
  HRESULT result = E_FAIL;
  HANDLE ready = nullptr;
};

struct PropertySheetJob {
  CBstr path;
  CItemIDList* items = nullptr;
  int count = 0;
  StartReport* start = nullptr;
  HWND sheet = nullptr;
  IUnknown* explorer = nullptr;
  HPROPSHEETPAGE pages[RPLPropSheetExt::kMaxPages] = {};
  UINT pageCount = 0;

  ~PropertySheetJob() {
    delete[] items;
    if (explorer) explorer->Release();
  }
};

// Once this returns, the job belongs to whoever the result says: the sheet
// thread on success, the starter on failure.
void ReportStart(PropertySheetJob* job, HRESULT result) {
  StartReport* start = job->start;
  job->start = nullptr;
  start->result = result;
  SetEvent(start->ready);
}

CBstr DiskName(const CBstr& name) {
  return ConcatStrings(ConcatStrings(g_resourceModule.LoadResString(IDS_MODULE_DISK), L" "), name);
}

CBstr SheetCaption(const PropertySheetJob& job) {
  if (job.count <= 0 || !job.items) {
    if (job.path.GetLength() == 0 || !IsDriveRootName(job.path.GetBstr()))
      return g_resourceModule.LoadResString(IDS_MODULE);
    return DiskName(GetDrivePart(job.path));
  }
  LPCITEMIDLIST first = job.items[0].Get();
  CBstr caption = IsDriveRootItem(first) ? DiskName(DriveItemName(first)) : GetItemNameString(first);
  if (job.count > 1) caption.Append(L", ...");
  return caption;
}

BOOL CALLBACK KeepPage(HPROPSHEETPAGE page, LPARAM param) {
  PropertySheetJob* job = reinterpret_cast<PropertySheetJob*>(param);
  if (job->pageCount >= ARRAYSIZE(job->pages)) return FALSE;   // the caller destroys it
  job->pages[job->pageCount++] = page;
  return TRUE;
}

HRESULT CreatePages(PropertySheetJob* job) {
  RPLPropSheetExt* object = nullptr;
  HRESULT hr = CreatePropSheetExt(&object);
  if (FAILED(hr)) return hr;
  CItemIDList* items = job->items;
  job->items = nullptr;
  hr = object->InitPropertyPages(job->path.GetBstr() ? job->path.GetBstr() : L"", items, job->count);
  if (SUCCEEDED(hr)) hr = object->AddPages(KeepPage, reinterpret_cast<LPARAM>(job));
  object->Release();   // the pages hold their own references
  return hr;
}

void RunSheetLoop(HWND sheet) {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (!SendMessageW(sheet, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&message))) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    // A closed modeless sheet has no current page.
    if (!SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) break;
  }
}

unsigned __stdcall PropertySheetThread(void* parameter) {
  PropertySheetJob* job = static_cast<PropertySheetJob*>(parameter);
  HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) {
    ReportStart(job, hr);
    return 0;
  }
  AcquireThreadMessageFilter();
  HWND parent = CreateWindowExW(0, kParentWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  hr = parent ? S_OK : E_OUTOFMEMORY;
  const CBstr caption = SheetCaption(*job);
  if (SUCCEEDED(hr)) hr = CreatePages(job);
  HWND sheet = nullptr;
  if (SUCCEEDED(hr)) {
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_PROPTITLE;
    header.hwndParent = parent;
    header.hInstance = g_resourceModule.GetModule();
    header.pszCaption = caption.GetBstr();
    header.nPages = job->pageCount;
    header.phpage = job->pages;
    sheet = reinterpret_cast<HWND>(ShellUi().RunPropertySheet(&header));
    if (!sheet || sheet == reinterpret_cast<HWND>(-1)) {
      sheet = nullptr;
      hr = E_OUTOFMEMORY;
    }
  }
  if (FAILED(hr)) {
    for (UINT i = 0; i < job->pageCount; ++i) DestroyPropertySheetPage(job->pages[i]);
    job->pageCount = 0;
    if (parent) DestroyWindow(parent);
    ReleaseThreadMessageFilter();
    OleUninitialize();
    ReportStart(job, hr);
    return 0;
  }
  job->sheet = sheet;
  SHGetInstanceExplorer(&job->explorer);
  ReportStart(job, S_OK);

  RunSheetLoop(sheet);
  DestroyWindow(sheet);
  DestroyWindow(parent);
  delete job;
  ReleaseThreadMessageFilter();
  OleUninitialize();
  return 0;
}
}  // namespace

HRESULT ShowPropertySheet(const wchar_t* path, CItemIDList* items, int count) {
  PropertySheetJob* job = new (std::nothrow) PropertySheetJob();
  if (!job) {
    delete[] items;
    return E_OUTOFMEMORY;
  }
  job->items = items;
  job->count = items ? count : 0;
  job->path = CBstr(path);
  StartReport start;
  start.ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!start.ready) {
    delete job;
    return E_OUTOFMEMORY;
  }
  job->start = &start;
  const uintptr_t thread = _beginthreadex(nullptr, 0, PropertySheetThread, job, 0, nullptr);
  if (!thread) {
    const DWORD error = GetLastError();
    delete job;
    CloseHandle(start.ready);
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  WaitForSingleObject(start.ready, INFINITE);
  CloseHandle(start.ready);
  if (FAILED(start.result)) {
    delete job;
    return start.result;
  }
  return S_OK;
}
