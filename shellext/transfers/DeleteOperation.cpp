// transfers/DeleteOperation.cpp - the delete worker: confirm, count, delete
// depth first, report each deleted path.
#include "DeleteOperation.h"
#include <process.h>
#include <new>
#include <mmsystem.h>
#include "ErrorText.h"
#include "MessageFilter.h"
#include "MessageWait.h"
#include "ModuleCommands.h"
#include "ModuleEntry.h"
#include "ModuleItemID.h"
#include "ResourceModule.h"
#include "ShellHelpers.h"
#include "Seams.h"
#include "TransferPrompts.h"
#include "TransfersIds.h"

namespace {

// Running workers, so that tests (and nobody else) can wait for them.
LONG g_runningWorkers = 0;
HANDLE IdleEvent() {
  static HANDLE idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  return idle;
}
void WorkerStarts() {
  if (InterlockedIncrement(&g_runningWorkers) == 1) ResetEvent(IdleEvent());
}
void WorkerEnds() {
  if (InterlockedDecrement(&g_runningWorkers) == 0) SetEvent(IdleEvent());
}


LPCITEMIDLIST RecordOf(const CItemIDList& item) { return item.GetLastItem(); }

void ReportDeleted(DeleteJob* job, const wchar_t* path) {
  if (!job->sink) return;
  const CBstr change = ConcatStrings(CBstr(L"D:"), path);
  job->sink->OnChange(change.GetBstr());
}

bool IsReadOnly(LPCITEMIDLIST item) { return (GetItemAttributes(item) & FILE_ATTRIBUTE_READONLY) != 0; }

// Runs a confirmation; false when its template is missing.
bool Confirm(DeleteJob* job, UINT templateId, DWORD kind, LPCITEMIDLIST item, INT_PTR* result) {
  DeleteConfirmation confirmation{kind, item ? GetItemNameString(item) : CBstr()};
  return RunTransferDialog(templateId, job->owner, DeleteConfirmDialogProc,
                           reinterpret_cast<LPARAM>(&confirmation), result);
}

// Calls remove until it succeeds, is cancelled, or the user stops retrying.
template <class Remove>
void RemoveWithRetry(DeleteJob* job, LPCITEMIDLIST item, UINT textId, UINT captionId, Remove remove) {
  const CBstr path(GetItemName(item));
  for (;;) {
    ClearErrorInfo();
    const HRESULT hr = remove(path);
    if (SUCCEEDED(hr)) {
      ReportDeleted(job, TextOrEmpty(path));
      return;
    }
    if (IsCancelled(hr)) {
      job->cancelled = 1;
      return;
    }
    const CBstr error = GetErrorText(hr);
    const CBstr text = g_resourceModule.FormatResMessage(textId, GetItemNameString(item), error);
    const CBstr caption = g_resourceModule.LoadResString(captionId);
    const int answer =
        ShellUi().ShowMessageBox(job->owner, TextOrEmpty(text), TextOrEmpty(caption), MB_ABORTRETRYIGNORE | MB_ICONHAND);
    if (answer == IDRETRY) continue;
    if (answer == IDABORT) job->cancelled = 1;
    return;
  }
}

enum class Selection { None, OneFile, OneFolder, Several };

Selection Classify(const DeleteJob* job, int* folders, int* files) {
  *folders = *files = 0;
  for (int i = 0; i < job->count; ++i) {
    LPCITEMIDLIST item = RecordOf(job->items[i]);
    if (!item) continue;
    if (IsFolderItem(item)) ++*folders;
    else ++*files;
    if (*folders + *files >= 2) return Selection::Several;
  }
  if (*folders == 1) return Selection::OneFolder;
  if (*files == 1) return Selection::OneFile;
  return Selection::None;
}

LPCITEMIDLIST FirstItem(const DeleteJob* job) {
  for (int i = 0; i < job->count; ++i)
    if (LPCITEMIDLIST item = RecordOf(job->items[i])) return item;
  return nullptr;
}

// The selection's confirmation; true to go on.
bool ConfirmSelection(DeleteJob* job, Selection selection) {
  INT_PTR result = 0;
  LPCITEMIDLIST item = FirstItem(job);
  bool shown = false;
  switch (selection) {
    case Selection::Several:
      shown = Confirm(job, IDD_DELETE_SEVERAL, 3, nullptr, &result);
      break;
    case Selection::OneFile:
    case Selection::OneFolder: {
      const bool folder = selection == Selection::OneFolder;
      DWORD kind = folder ? 2 : 1;
      if (IsReadOnly(item)) {
        kind = folder ? 5 : 4;
        job->askForReadOnlyFiles = 0;
      }
      shown = Confirm(job, IDD_DELETE_CONFIRM, kind, item, &result);
      break;
    }
    case Selection::None:
      break;
  }
  return shown && (result == IDOK || result == IDYES);
}

// The progress dialog's keys and Cancel button stay alive between items.
void PumpJobMessages(const DeleteJob* job) {
  PumpDialogMessages(job->progress ? job->progress->GetWindow() : nullptr);
}

void DeleteEntries(DeleteJob* job, const CItemIDList* entries, int count) {
  for (int i = 0; i < count && !job->cancelled; ++i) {
    PumpJobMessages(job);
    LPCITEMIDLIST item = RecordOf(entries[i]);
    if (!item) continue;
    if (IsFolderItem(item)) {
      DeleteModuleFolder(job, item);
    } else {
      ShowDeleteProgress(job, item);
      DeleteModuleFile(job, item);
    }
  }
}

}  // namespace

DeleteJob::~DeleteJob() {
  if (progress) {
    progress->Destroy();
    delete progress;
  }
  delete[] items;
  if (sinkStream) {
    // Never unmarshalled: the marshalled reference goes with the stream.
    const LARGE_INTEGER start = {};
    sinkStream->Seek(start, STREAM_SEEK_SET, nullptr);
    CoReleaseMarshalData(sinkStream);
    sinkStream->Release();
  }
  if (sink) sink->Release();
  if (volume) volume->Release();
}

INT_PTR CALLBACK DeleteConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* confirmation = reinterpret_cast<const DeleteConfirmation*>(lParam);
      const DWORD kind = confirmation ? confirmation->kind : 0;
      if (kind == 3) return TRUE;
      UINT captionId = 0, textId = 0;
      switch (kind) {
        case 1: captionId = IDS_CONFIRM_FILE_DELETE; textId = IDS_FILE_WILL_BE_DELETED; break;
        case 2: captionId = IDS_CONFIRM_FOLDER_DELETE; textId = IDS_FOLDER_WILL_BE_DELETED; break;
        case 4: captionId = IDS_CONFIRM_FILE_DELETE; textId = IDS_FILE_IS_READONLY; break;
        case 5: captionId = IDS_CONFIRM_FOLDER_DELETE; textId = IDS_FOLDER_IS_READONLY; break;
        default: break;
      }
      CBstr caption, text;
      if (captionId) {
        caption = g_resourceModule.LoadResString(captionId);
        text = g_resourceModule.FormatResMessage(textId, confirmation->name);
      }
      SetWindowTextW(dialog, TextOrEmpty(caption));
      SetDlgItemTextW(dialog, IDC_DELETE_TEXT, TextOrEmpty(text));
      return TRUE;
    }
    case WM_COMMAND:
      return EndPromptOnClick(dialog, wParam);
    default:
      return FALSE;
  }
}

HRESULT StartDeleteOperation(const wchar_t* folderPath, CItemIDList* items, int count, DWORD noConfirmation,
                             HWND owner, IVKSNotifySink* sink) {
  auto* job = new (std::nothrow) DeleteJob();
  if (!job) {
    delete[] items;
    return E_OUTOFMEMORY;
  }
  return StartDeleteJob(job, folderPath, items, count, noConfirmation, owner, sink);
}

HRESULT StartDeleteJob(DeleteJob* job, const wchar_t* folderPath, CItemIDList* items, int count,
                       DWORD noConfirmation, HWND owner, IVKSNotifySink* sink) {
  job->folderPath = CBstr(folderPath);
  job->items = items;
  job->count = items ? count : 0;
  job->noConfirmation = noConfirmation;
  job->owner = owner;
  if (job->folderPath.GetLength() == 0) {
    ShellUi().PlaySystemSound(L".Default", SND_ASYNC);
    delete job;
    return S_OK;
  }
  if (sink) {
    sink->AddRef();
    const HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IVKSNotifySink, sink, &job->sinkStream);
    sink->Release();
    if (FAILED(hr)) {
      job->sinkStream = nullptr;
      delete job;
      return hr;
    }
  }
  // The worker keeps the library loaded until it has left its code, so a
  // caller may let it go as soon as this returns.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DeleteItemsWorker), &self);
  ShellExtLock();
  WorkerStarts();
  const uintptr_t thread = _beginthreadex(nullptr, 0, DeleteItemsWorker, job, 0, nullptr);
  if (!thread) {
    WorkerEnds();
    ShellExtUnlock();
    if (self) FreeLibrary(self);
    delete job;
    return E_FAIL;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  return S_OK;
}

unsigned __stdcall DeleteItemsWorker(void* parameter) {
  auto* job = static_cast<DeleteJob*>(parameter);
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&DeleteItemsWorker), &self);
  auto leave = [self] {
    WorkerEnds();
    ShellExtUnlock();
    if (self) FreeLibraryAndExitThread(self, 0);
  };
  if (FAILED(OleInitialize(nullptr))) {
    delete job;
    leave();
    return 0;
  }
  const bool filter = AcquireThreadMessageFilter() == S_OK;
  IUnknown* explorer = nullptr;
  if (FAILED(SHGetInstanceExplorer(&explorer))) explorer = nullptr;
  bool unmarshalled = true;
  if (job->sinkStream) {
    IStream* stream = job->sinkStream;
    job->sinkStream = nullptr;
    // The stream is released by the call, whatever its result.
    unmarshalled = SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_IVKSNotifySink,
                                                            reinterpret_cast<void**>(&job->sink)));
    if (!unmarshalled) job->sink = nullptr;
  }
  if (unmarshalled) DeleteItems(job);
  delete job;
  if (explorer) explorer->Release();
  if (filter) ReleaseThreadMessageFilter();
  OleUninitialize();
  leave();
  return 0;
}

void DeleteItems(DeleteJob* job) {
  if (!job->volume && FAILED(CreateModuleVolume(&job->volume))) {
    job->volume = nullptr;
    return;
  }
  int folders = 0, files = 0;
  const Selection selection = Classify(job, &folders, &files);
  job->askForReadOnlyFiles = job->noConfirmation ? 0 : 1;
  job->cancelled = 0;
  if (!job->noConfirmation) {
    if (!ConfirmSelection(job, selection)) return;
    if (folders >= 1 || files > 1) {
      ULONGLONG total = 0;
      CountDeleteItems(job, job->items, job->count, &total, job->volume, true, true);
      job->progress = new (std::nothrow) ProgressDialog();
      if (job->progress) {
        job->progress->Create(ProgressMode::Delete, total, &job->cancelled, job->owner);
        if (job->progress->GetWindow()) job->owner = job->progress->GetWindow();
      }
      Sleep(100);
    }
  }
  DeleteEntries(job, job->items, job->count);
}

void ShowDeleteProgress(DeleteJob* job, LPCITEMIDLIST item) {
  if (!job->progress) return;
  const CBstr name = GetItemNameString(item);
  const CBstr from = g_resourceModule.FormatResMessage(IDS_DELETE_FROM, GetItemFolderText(item));
  job->progress->SetLines(TextOrEmpty(name), TextOrEmpty(from));
  job->progress->AddDone(1);
}

void DeleteModuleFile(DeleteJob* job, LPCITEMIDLIST item) {
  if (IsReadOnly(item)) {
    bool clear = true;
    if (job->askForReadOnlyFiles) {
      INT_PTR answer = 0;
      if (!Confirm(job, IDD_DELETE_READONLY, 4, item, &answer)) return;
      if (answer == -1) {
        clear = false;   // not shown: try the delete as it is
      } else if (answer == IDC_REPLACE_ALL) {
        job->askForReadOnlyFiles = 0;
      } else if (answer == IDCANCEL) {
        job->cancelled = 1;
        return;
      } else if (answer != IDOK && answer != IDYES) {
        return;
      }
    }
    if (clear) job->volume->SetAttributes(CBstr(GetItemName(item)).GetBstr(), FILE_ATTRIBUTE_NORMAL);
  }
  RemoveWithRetry(job, item, IDS_FILE_NOT_DELETED, IDS_ERROR_DELETING_FILE,
                  [job](const CBstr& path) { return job->volume->Delete(path.GetBstr()); });
}

void DeleteModuleFolder(DeleteJob* job, LPCITEMIDLIST item) {
  CItemIDList* entries = nullptr;
  int count = 0;
  if (SUCCEEDED(ListFolderEntries(GetItemName(item), &entries, &count, job->volume, false))) {
    DeleteEntries(job, entries, count);
  }
  delete[] entries;
  if (job->cancelled) return;
  ShowDeleteProgress(job, item);
  const bool readOnly = IsReadOnly(item);
  RemoveWithRetry(job, item, IDS_FOLDER_NOT_DELETED, IDS_ERROR_DELETING_FOLDER, [job, readOnly](const CBstr& path) {
    if (readOnly) job->volume->SetAttributes(path.GetBstr(), FILE_ATTRIBUTE_NORMAL);
    return job->volume->RemoveDir(path.GetBstr());
  });
}

int CountDeleteItems(DeleteJob* job, const CItemIDList* items, int count, ULONGLONG* counter,
                     IVKSVolume* volume, bool countFolders, bool pump) {
  int complete = 1;
  for (int i = 0; i < count; ++i) {
    if (pump) PumpJobMessages(job);
    if (job->cancelled) break;
    LPCITEMIDLIST item = RecordOf(items[i]);
    if (!item) continue;
    if (!IsFolderItem(item)) {
      ++*counter;
      continue;
    }
    if (countFolders) ++*counter;
    CItemIDList* entries = nullptr;
    int found = 0;
    if (FAILED(ListFolderEntries(GetItemName(item), &entries, &found, volume, false))) {
      complete = 0;
    } else if (found > 0 && !CountDeleteItems(job, entries, found, counter, volume, countFolders, pump)) {
      complete = 0;
    }
    delete[] entries;
  }
  return complete;
}

bool WaitForDeleteOperations(DWORD timeoutMs) {
  return WaitWithMessageLoop(IdleEvent(), timeoutMs) == WAIT_OBJECT_0;
}
