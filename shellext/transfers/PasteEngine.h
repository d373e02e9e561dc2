// transfers/PasteEngine.h - pastes and drops into a module folder: PC files
// (CF_HDROP) are written with PutFile, module items ("RPL SNE Directory Data")
// are copied on the module, on a worker thread with its own server object,
// progress dialog and prompts. The source object learns of a move through the
// drop-effect formats written back into it.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>
#include <utility>
#include <vector>
#include "ItemIDList.h"
#include "SuiteString.h"
#include "TransferPrompts.h"
#include "VKSServer.h"

// targetFolder: module path of the folder pasted into (empty: only the
// ".Default" sound). data null takes the clipboard's object. requestedEffect
// 0 takes the source's "Preferred DropEffect". With wait the call dispatches
// this thread's messages until the worker ends and returns its exit code;
// without it S_OK as soon as the worker runs. reserved is unused (0).
// *succeeded (may be null) is 0 at once and 1 after a complete transfer.
HRESULT StartPasteOperation(const wchar_t* targetFolder, HWND owner, IDataObject* data, DWORD requestedEffect,
                            BOOL wait, DWORD reserved, DWORD* succeeded);

// Waits, dispatching this thread's messages, until no paste worker of the
// process runs; false when timeoutMs passed first.
bool WaitForPasteOperations(DWORD timeoutMs);

// One paste: made by the starter, owned and destroyed by its worker (or by
// the starter when the worker cannot start).
struct PasteJob : PasteOperation {
  IStream* marshalled = nullptr;     // the data object until the worker unmarshals it
  IDataObject* data = nullptr;
  DWORD getFormats = 0;
  DWORD setFormats = 0;
  DWORD requestedEffect = 0;
  DWORD* succeeded = nullptr;
  CBstr target;
  // Drop-effect writes the worker's proxy refused, for a waiting starter.
  std::vector<std::pair<UINT, DWORD>>* deferredWrites = nullptr;

  PasteJob() = default;
  PasteJob(const PasteJob&) = delete;
  PasteJob& operator=(const PasteJob&) = delete;
  ~PasteJob();
};

HRESULT RunPasteOperation(PasteJob* job, const wchar_t* targetFolder, HWND owner, IDataObject* data,
                          DWORD requestedEffect, BOOL wait, DWORD reserved, DWORD* succeeded);
unsigned __stdcall PasteWorkerThread(void* job);

// What the engine writes back into its source: PC sources of a move hear
// "Performed DropEffect" 2 before any work; every move hears "Paste
// Succeeded", 2 only when all was transferred and nothing skipped.
struct PasteWriteBack {
  bool performedAtStart;
  bool pasteSucceededAtEnd;
  DWORD pasteSucceeded;
};
PasteWriteBack DecidePasteWriteBack(DWORD getFormats, DWORD effect, bool complete);

// The work on the worker's thread; job->volume, effect and target are set.
// drop: a CF_HDROP block. block: an "RPL SNE Directory Data" block.
HRESULT CopyFromPC(PasteJob* job, HDROP drop);
HRESULT CopyWithinModule(PasteJob* job, HGLOBAL block);
HRESULT CopyPCItems(PasteJob* job, const CBstr* paths, UINT count);
HRESULT CopyPCFolder(PasteJob* job, const wchar_t* source, const wchar_t* target, DWORD* filesReplaceAll,
                     DWORD* foldersReplaceAll, DWORD attributes);
HRESULT CopyPCFile(PasteJob* job, const wchar_t* source, const wchar_t* target, const WIN32_FIND_DATAW& found,
                   DWORD* filesReplaceAll);
HRESULT CopyModuleItems(PasteJob* job, const LPCITEMIDLIST* items, UINT count);
HRESULT CopyModuleFolder(PasteJob* job, const wchar_t* source, const wchar_t* target, DWORD* filesReplaceAll,
                         DWORD* foldersReplaceAll, DWORD attributes);
HRESULT CopyModuleFile(PasteJob* job, const wchar_t* target, LPCITEMIDLIST item, DWORD* filesReplaceAll);

// "Copy of name" beside source, else "Copy (2) of name", (3) ..., the first
// name the module does not hold.
CBstr MakeCopyName(const wchar_t* source, IVKSVolume* volume);

// An OK box: string id with %1 = text, "Error Copying File".
void ShowTransferErrorBox(PasteJob* job, UINT stringId, const wchar_t* text);
