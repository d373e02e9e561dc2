// transfers/TransferPrompts.cpp - prompt procedures, dialog runs, copy line.
#include "TransferPrompts.h"
#include "ErrorText.h"
#include "ItemIDList.h"
#include "ModuleCommands.h"
#include "ModuleItemID.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "ShellHelpers.h"
#include "TransfersIds.h"

namespace {
void SetLineIfAny(HWND dialog, int id, const CBstr& text) {
  if (text.GetLength() != 0) SetDlgItemTextW(dialog, id, text.GetBstr());
}
const wchar_t* OrModule(const CBstr& text) { return text.GetLength() ? text.GetBstr() : L"Module"; }

bool IsYes(INT_PTR answer) { return answer == IDOK || answer == IDYES; }

// A lookup that fails counts as nothing there: the call that follows reports
// what is wrong with the module.
CItemIDList* FindExisting(PasteOperation* operation, const CBstr& destination) {
  CItemIDList* existing = nullptr;
  FindEntryByName(TextOrEmpty(destination), operation->volume, &existing);
  return existing;
}

void ShowCopyingBox(PasteOperation* operation, UINT textId, const CBstr& destination) {
  ShellUi().ShowMessageBox(operation->owner, TextOrEmpty(g_resourceModule.FormatResMessage(textId, destination)),
                           TextOrEmpty(g_resourceModule.LoadResString(IDS_TITLE_COPYING)), MB_OK);
}

// The result of a changing call on the target: a cancel raises the flag
// silently, another failure asks OK/Cancel, and Cancel raises the flag.
HRESULT ReportTargetFailure(PasteOperation* operation, HRESULT result, const CBstr& destination, UINT textId,
                            UINT captionId) {
  if (SUCCEEDED(result)) return result;
  if (IsCancelled(result)) {
    operation->cancelled = 1;
    return result;
  }
  const CBstr error = GetErrorText(result);
  const CBstr text = g_resourceModule.FormatResMessage(textId, GetNamePart(destination), error);
  const int answer = ShellUi().ShowMessageBox(operation->owner, TextOrEmpty(text),
                                              TextOrEmpty(g_resourceModule.LoadResString(captionId)),
                                              MB_OKCANCEL | MB_ICONHAND);
  if (answer == IDCANCEL) operation->cancelled = 1;
  return result;
}

CBstr SizeAndDate(ULONG size, DATE lastWrite) {
  BSTR date = nullptr;
  if (FAILED(VarBstrFromDate(lastWrite, 0, 0, &date))) date = nullptr;
  CBstr text = g_resourceModule.FormatResMessage(IDS_FILE_SIZE_DATE, size, date ? date : L"");
  SysFreeString(date);
  return text;
}

// The move question for a system or read-only source; 0 goes on, 1 skips,
// E_OUTOFMEMORY without the template.
HRESULT AskMove(PasteOperation* operation, UINT questionId, const CBstr& destination, DWORD* yesToAll) {
  const CBstr question = g_resourceModule.FormatResMessage(questionId, GetNamePart(destination));
  INT_PTR answer = 0;
  const UINT templateId = operation->severalItems ? IDD_MOVE_CONFIRM_ALL : IDD_MOVE_CONFIRM;
  if (!RunTransferDialog(templateId, operation->owner, MovePromptProc, reinterpret_cast<LPARAM>(TextOrEmpty(question)),
                         &answer))
    return E_OUTOFMEMORY;
  if (IsYes(answer)) return S_OK;
  if (answer == IDC_YES_TO_ALL) {
    *yesToAll = 1;
    return S_OK;
  }
  if (answer == IDCANCEL) operation->cancelled = 1;
  return 1;
}

}  // namespace

bool RunTransferDialog(UINT templateId, HWND owner, DLGPROC proc, LPARAM param, INT_PTR* result) {
  if (!g_resourceModule.FindDialogTemplate(templateId)) return false;
  *result = ShellUi().RunDialog(g_resourceModule.GetModule(), MAKEINTRESOURCEW(templateId), owner, proc, param);
  return true;
}

INT_PTR CALLBACK ReplacePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* data = reinterpret_cast<const ReplacePromptData*>(lParam);
      if (!data) return TRUE;
      SetLineIfAny(dialog, IDC_QUESTION, data->question);
      if (data->kind == 1) {
        SetLineIfAny(dialog, IDC_NEW_FILE, data->newFile);
        SetLineIfAny(dialog, IDC_EXISTING_FILE, data->existingFile);
        if (HICON icon = GetFileIcon(data->iconName.GetBstr(), FILE_ATTRIBUTE_NORMAL, 0)) {
          SendDlgItemMessageW(dialog, IDC_EXISTING_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
          SendDlgItemMessageW(dialog, IDC_NEW_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) {
        // Both statics show the same icon: destroy it once.
        const auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_EXISTING_ICON, STM_GETICON, 0, 0));
        SendDlgItemMessageW(dialog, IDC_EXISTING_ICON, STM_SETICON, 0, 0);
        SendDlgItemMessageW(dialog, IDC_NEW_ICON, STM_SETICON, 0, 0);
        if (icon) DestroyIcon(icon);
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR EndPromptOnClick(HWND dialog, WPARAM wParam) {
  if (HIWORD(wParam) != 0) return FALSE;
  EndDialog(dialog, LOWORD(wParam));
  return TRUE;
}

INT_PTR CALLBACK MovePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* question = reinterpret_cast<const wchar_t*>(lParam);
      if (question && *question) SetDlgItemTextW(dialog, IDC_MOVE_QUESTION, question);
      return TRUE;
    }
    case WM_COMMAND:
      return EndPromptOnClick(dialog, wParam);
    default:
      return FALSE;
  }
}

void ShowCopyLine(PasteOperation* operation, const wchar_t* source, const wchar_t* target) {
  if (!operation->progress || !operation->progress->GetWindow()) return;
  const CBstr sourcePath(source);
  const CBstr name = GetNamePart(sourcePath);
  const CBstr from = GetNamePart(GetParentPath(sourcePath));
  const CBstr to = GetNamePart(CBstr(target));
  const CBstr detail = g_resourceModule.FormatResMessage(IDS_COPY_FROM_TO, OrModule(from), OrModule(to));
  operation->progress->SetLines(name.GetBstr() ? name.GetBstr() : L"", detail.GetBstr() ? detail.GetBstr() : L"");
}

HRESULT EnsureTargetFolder(PasteOperation* operation, const wchar_t* destination, DWORD* filesReplaceAll,
                           DWORD* foldersReplaceAll, DWORD* parentFilesReplaceAll,
                           DWORD* parentFoldersReplaceAll, DWORD sourceAttributes) {
  const CBstr target(destination);
  if (CItemIDList* existing = FindExisting(operation, target)) {
    const bool folder = IsFolderItem(existing->GetLastItem());
    delete existing;
    if (!folder) {
      ShowCopyingBox(operation, IDS_FILE_WHERE_FOLDER_GOES, target);
      return 1;
    }
    if (*parentFoldersReplaceAll) return S_OK;
    ReplacePromptData data{2, g_resourceModule.FormatResMessage(IDS_FOLDER_EXISTS, GetNamePart(target)), CBstr(),
                           CBstr(), CBstr()};
    INT_PTR answer = IDOK;
    // Without the template (or a dialog that cannot be shown) it counts as Yes.
    if (!RunTransferDialog(IDD_FOLDER_REPLACE, operation->owner, ReplacePromptProc,
                           reinterpret_cast<LPARAM>(&data), &answer) || answer == -1)
      answer = IDOK;
    if (IsYes(answer) || answer == IDC_REPLACE_ALL) {
      *filesReplaceAll = *foldersReplaceAll = 1;
      if (answer == IDC_REPLACE_ALL) *parentFilesReplaceAll = *parentFoldersReplaceAll = 1;
      return S_OK;
    }
    if (answer == IDCANCEL) operation->cancelled = 1;
    return 1;
  }
  ClearErrorInfo();
  const HRESULT hr = operation->volume->CreateDir(target.GetBstr());
  if (hr == S_OK) {
    operation->volume->SetAttributes(target.GetBstr(), static_cast<LONG>(sourceAttributes & ~FILE_ATTRIBUTE_DIRECTORY));
    return S_OK;
  }
  return ReportTargetFailure(operation, hr, target, IDS_CREATE_FAILED, IDS_ERROR_COPYING_FILE);
}

HRESULT ClearTargetFile(PasteOperation* operation, const wchar_t* destination, ULONG sourceSize,
                        DATE sourceLastWrite, DWORD* filesReplaceAll, DWORD sourceAttributes) {
  const CBstr target(destination);
  if (operation->effect & DROPEFFECT_MOVE) {
    HRESULT asked = S_OK;
    if ((sourceAttributes & FILE_ATTRIBUTE_SYSTEM) && !operation->yesToAllSystem)
      asked = AskMove(operation, IDS_MOVE_SYSTEM, target, &operation->yesToAllSystem);
    else if ((sourceAttributes & FILE_ATTRIBUTE_READONLY) && !operation->yesToAllReadOnly)
      asked = AskMove(operation, IDS_MOVE_READONLY, target, &operation->yesToAllReadOnly);
    if (asked != S_OK) return asked;
  }
  CItemIDList* existing = FindExisting(operation, target);
  if (!existing) return S_OK;
  const LPCITEMIDLIST record = existing->GetLastItem();
  const bool folder = IsFolderItem(record);
  const bool readOnly = (GetItemAttributes(record) & FILE_ATTRIBUTE_READONLY) != 0;
  if (folder) {
    delete existing;
    ShowCopyingBox(operation, IDS_FOLDER_WHERE_FILE_GOES, target);
    return 1;
  }
  if (!*filesReplaceAll) {
    const CBstr existingName = GetItemNameString(record);
    ReplacePromptData data{1,
                           g_resourceModule.FormatResMessage(readOnly ? IDS_READONLY_FILE_EXISTS : IDS_FILE_EXISTS,
                                                             existingName),
                           SizeAndDate(sourceSize, sourceLastWrite),
                           SizeAndDate(GetItemSize(record), GetItemLastWriteTime(record)), existingName};
    delete existing;
    INT_PTR answer = 0;
    if (!RunTransferDialog(IDD_FILE_REPLACE, operation->owner, ReplacePromptProc, reinterpret_cast<LPARAM>(&data),
                           &answer))
      return E_OUTOFMEMORY;
    if (answer == IDC_REPLACE_ALL) {
      *filesReplaceAll = 1;
    } else if (!IsYes(answer)) {
      if (answer == IDCANCEL) operation->cancelled = 1;
      return 1;
    }
  } else {
    delete existing;
  }
  if (readOnly) operation->volume->SetAttributes(target.GetBstr(), FILE_ATTRIBUTE_NORMAL);
  ClearErrorInfo();
  const HRESULT hr = operation->volume->Delete(target.GetBstr());
  return ReportTargetFailure(operation, hr, target, IDS_DELETE_FAILED, IDS_ERROR_DELETING_FILE);
}
