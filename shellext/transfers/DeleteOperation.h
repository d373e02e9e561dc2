// transfers/DeleteOperation.h - permanent deletion of a selection of module
// files and folders on a worker thread of its own: one confirmation for the
// selection, another for read-only files met on the way, a progress dialog
// for larger jobs, Abort/Retry/Ignore on failures, and every deleted path
// reported to the caller's change sink as "D:" + path.
#pragma once
#include <windows.h>
#include "ItemIDList.h"
#include "ProgressDialog.h"
#include "SuiteString.h"
#include "VKSServer.h"

// items: count records (each an item-ID list whose record holds the full
// module path), allocated with new[]; the operation takes them over and
// frees them with delete[], also when it fails to start. noConfirmation 1
// deletes without any question (and clears read-only silently). sink may be
// null. The caller does not wait: the work runs on its own thread. An empty
// folderPath (items of the module root) only plays ".Default".
HRESULT StartDeleteOperation(const wchar_t* folderPath, CItemIDList* items, int count, DWORD noConfirmation,
                             HWND owner, IVKSNotifySink* sink);

// Waits, dispatching this thread's messages (a sink marshalled from here is
// called through them), until no delete worker of the process runs. False
// when timeoutMs passed first.
bool WaitForDeleteOperations(DWORD timeoutMs);

// One operation; made by the starter, owned and destroyed by its worker.
struct DeleteJob {
  IVKSVolume* volume = nullptr;
  CBstr folderPath;
  CItemIDList* items = nullptr;      // new[]
  int count = 0;
  HWND owner = nullptr;              // the progress dialog's window once that exists
  IStream* sinkStream = nullptr;     // the marshalled sink until the worker unmarshals it
  IVKSNotifySink* sink = nullptr;
  DWORD noConfirmation = 0;
  DWORD cancelled = 0;               // the progress dialog writes it too
  DWORD askForReadOnlyFiles = 1;
  ProgressDialog* progress = nullptr;

  DeleteJob() = default;
  DeleteJob(const DeleteJob&) = delete;
  DeleteJob& operator=(const DeleteJob&) = delete;
  ~DeleteJob();
};

// What the confirmation's procedure is handed.
struct DeleteConfirmation {
  DWORD kind;   // 1 file, 2 folder, 3 several (the template's own texts), 4 read-only file, 5 read-only folder
  CBstr name;   // last component of the item's path
};
INT_PTR CALLBACK DeleteConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The worker's steps, run on the worker's thread.
HRESULT StartDeleteJob(DeleteJob* job, const wchar_t* folderPath, CItemIDList* items, int count,
                       DWORD noConfirmation, HWND owner, IVKSNotifySink* sink);
unsigned __stdcall DeleteItemsWorker(void* job);
void DeleteItems(DeleteJob* job);
void DeleteModuleFile(DeleteJob* job, LPCITEMIDLIST item);
void DeleteModuleFolder(DeleteJob* job, LPCITEMIDLIST item);
void ShowDeleteProgress(DeleteJob* job, LPCITEMIDLIST item);
// Adds every file and (with countFolders) folder of items and below to
// *counter; 0 when some listing failed, else 1.
int CountDeleteItems(DeleteJob* job, const CItemIDList* items, int count, ULONGLONG* counter,
                     IVKSVolume* volume, bool countFolders, bool pump);
