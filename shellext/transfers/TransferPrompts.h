// transfers/TransferPrompts.h - the questions a paste asks before it replaces
// or moves anything, the preparation of a target name, and the copy line of
// the progress dialog.
#pragma once
#include <windows.h>
#include "ProgressDialog.h"
#include "SuiteString.h"
#include "VKSServer.h"

// What the prompts read and set of a paste.
struct PasteOperation {
  IVKSVolume* volume = nullptr;
  HWND owner = nullptr;             // the caller's window, then the progress dialog
  DWORD effect = 0;                 // drop effect in force; bit 2 is a move
  DWORD cancelled = 0;
  DWORD skipped = 0;
  DWORD yesToAllSystem = 0;
  DWORD yesToAllReadOnly = 0;
  DWORD severalItems = 0;
  ProgressDialog* progress = nullptr;
};

struct ReplacePromptData {
  DWORD kind;                       // 1 file replace, 2 folder replace
  CBstr question;
  CBstr newFile;
  CBstr existingFile;
  CBstr iconName;                   // the file name whose shell icon both icons show
};

INT_PTR CALLBACK ReplacePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Its parameter is the question text.
INT_PTR CALLBACK MovePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// A click (notification 0) ends a prompt with the control's id; TRUE then.
INT_PTR EndPromptOnClick(HWND dialog, WPARAM wParam);

// Runs one of our templates modally in the chosen language; false (and no
// dialog) when the template is missing there.
bool RunTransferDialog(UINT templateId, HWND owner, DLGPROC proc, LPARAM param, INT_PTR* result);

// 0 goes on; anything else skips the folder (failures too). The flags are
// this folder's and its parent's replace-all flags.
HRESULT EnsureTargetFolder(PasteOperation* operation, const wchar_t* destination, DWORD* filesReplaceAll,
                           DWORD* foldersReplaceAll, DWORD* parentFilesReplaceAll,
                           DWORD* parentFoldersReplaceAll, DWORD sourceAttributes);
HRESULT ClearTargetFile(PasteOperation* operation, const wchar_t* destination, ULONG sourceSize,
                        DATE sourceLastWrite, DWORD* filesReplaceAll, DWORD sourceAttributes);

// Lines 102 and 103 of the progress dialog for one item.
void ShowCopyLine(PasteOperation* operation, const wchar_t* source, const wchar_t* target);
