// namespace/tests/FolderTestUi.h - a UI that records the message boxes, shell
// executions and help requests of the folder's code and answers as told.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "Seams.h"

class CRecordingUi final : public IShellUi {
public:
  struct Box { std::wstring text, caption; UINT type; HWND owner; };
  struct Execution { std::wstring verb, className; ULONG mask; PIDLIST_ABSOLUTE idList; HWND owner; int show; };
  struct Help { std::wstring file; UINT command; };
  std::vector<Box> boxes;
  std::vector<Execution> executions;
  std::vector<Help> helps;
  BOOL helpAnswer = TRUE;          // what the first help request answers; later ones TRUE
  IShellUi* previous = nullptr;

  CRecordingUi() { previous = SetShellUi(this); }
  ~CRecordingUi() { SetShellUi(previous); }

  int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
    boxes.push_back({text ? text : L"", caption ? caption : L"", type, owner});
    return IDOK;
  }
  INT_PTR RunDialog(HINSTANCE, const wchar_t*, HWND, DLGPROC, LPARAM) override { return IDCANCEL; }
  INT_PTR RunPropertySheet(PROPSHEETHEADERW*) override { return -1; }
  UINT TrackMenu(HMENU, UINT, int, int, HWND) override { return 0; }
  HRESULT RunDragDrop(IDataObject*, IDropSource*, DWORD, DWORD* effect) override {
    if (effect) *effect = DROPEFFECT_NONE;
    return DRAGDROP_S_CANCEL;
  }
  BOOL ExecuteShell(SHELLEXECUTEINFOW* info) override {
    executions.push_back({info->lpVerb ? info->lpVerb : L"", info->lpClass ? info->lpClass : L"", info->fMask,
                          ILCloneFull(static_cast<PCIDLIST_ABSOLUTE>(info->lpIDList)), info->hwnd, info->nShow});
    return TRUE;
  }
  BOOL ShowHelp(HWND, const wchar_t* file, UINT command, ULONG_PTR) override {
    helps.push_back({file ? file : L"", command});
    return helps.size() == 1 ? helpAnswer : TRUE;
  }
  BOOL PlaySystemSound(const wchar_t*, UINT) override { return TRUE; }
  BOOL OpenFileDialog(OPENFILENAMEW*) override { return FALSE; }
  BOOL SaveFileDialog(OPENFILENAMEW*) override { return FALSE; }
  PIDLIST_ABSOLUTE BrowseFolder(BROWSEINFOW*) override { return nullptr; }

  void FreeExecutions() {
    for (auto& execution : executions) ILFree(execution.idList);
    executions.clear();
  }
};
