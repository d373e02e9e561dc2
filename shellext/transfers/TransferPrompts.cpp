// transfers/TransferPrompts.cpp - prompt procedures, dialog runs, copy line.
#include "TransferPrompts.h"
#include <shellapi.h>
#include "ResourceModule.h"
#include "Seams.h"
#include "TransfersIds.h"

namespace {
void SetLineIfAny(HWND dialog, int id, const CBstr& text) {
  if (text.GetLength() != 0) SetDlgItemTextW(dialog, id, text.GetBstr());
}
const wchar_t* OrModule(const CBstr& text) { return text.GetLength() ? text.GetBstr() : L"Module"; }

// The shell's icon for a file of that name, whatever the PC holds.
HICON GetReplaceIcon(const wchar_t* name) {
  if (!name || !*name) return nullptr;
  SHFILEINFOW info = {};
  if (!SHGetFileInfoW(name, FILE_ATTRIBUTE_NORMAL, &info, sizeof(info), SHGFI_ICON | SHGFI_USEFILEATTRIBUTES))
    return nullptr;
  return info.hIcon;
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
        if (HICON icon = GetReplaceIcon(data->iconName.GetBstr())) {
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

INT_PTR CALLBACK MovePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* question = reinterpret_cast<const wchar_t*>(lParam);
      if (question && *question) SetDlgItemTextW(dialog, IDC_MOVE_QUESTION, question);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
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
