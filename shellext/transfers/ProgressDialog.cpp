// transfers/ProgressDialog.cpp - the modeless progress dialog.
#include "ProgressDialog.h"
#include <commctrl.h>
#include "ResourceModule.h"
#include "TransfersIds.h"

ProgressFigures ComputeProgress(ULONGLONG total, ULONGLONG done, ULONGLONG partDone, ULONGLONG partSize,
                                ULONGLONG weight, DWORD elapsedMs) {
  ProgressFigures figures = {};
  ULONGLONG current = partSize ? done + partDone * weight / partSize : done;
  // A file that grew after the sums were made, or a count that missed a
  // listing, can pass the total; the remaining time would wrap.
  if (current > total) current = total;
  figures.current = current;
  if (total != 0) {
    figures.hasPercent = true;
    figures.percent = static_cast<int>(current * 100 / total);
  }
  if (current != 0) {
    const ULONGLONG elapsed = elapsedMs;
    const ULONGLONG remaining = (total * elapsed / current - elapsed) / 1000;
    figures.hasTime = true;
    figures.hours = static_cast<ULONG>(remaining / 3600);
    figures.minutes = static_cast<ULONG>((remaining - 3600ull * figures.hours) / 60);
    figures.seconds = static_cast<ULONG>(remaining - 3600ull * figures.hours - 60ull * figures.minutes);
    figures.textId = IDS_TIME_REMAINING + 4 * (figures.hours == 1) + 2 * (figures.minutes == 1) +
                     (figures.seconds == 1);
  }
  return figures;
}

void ProgressDialog::Create(ProgressMode mode, ULONGLONG total, DWORD* cancelFlag, HWND owner) {
  Destroy();
  m_bar = m_timeText = nullptr;
  m_total = total;
  m_done = 0;
  m_startTick = GetTickCount();
  const INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  const auto* dialogTemplate =
      static_cast<const DLGTEMPLATE*>(g_resourceModule.FindDialogTemplate(IDD_PROGRESS));
  if (!dialogTemplate) return;
  m_dialog = CreateDialogIndirectParamW(g_resourceModule.GetModule(), dialogTemplate, owner, DialogProc, 0);
  if (!m_dialog) return;
  static const UINT kTitles[] = {IDS_TITLE_COPYING, IDS_TITLE_MOVING, IDS_DELETING};
  SetWindowTextW(m_dialog, g_resourceModule.LoadResString(kTitles[static_cast<int>(mode)]).GetBstr());
  const CBstr detail =
      mode == ProgressMode::Delete ? g_resourceModule.LoadResString(IDS_PREPARING_DELETE) : CBstr();
  SetDlgItemTextW(m_dialog, IDC_PROGRESS_DETAIL, detail.GetBstr() ? detail.GetBstr() : L"");
  const HWND animation = GetDlgItem(m_dialog, IDC_PROGRESS_ANIMATION);
  const UINT avi = mode == ProgressMode::Delete ? IDR_AVI_DELETE : IDR_AVI_COPY;
  if (animation && SendMessageW(animation, ACM_OPENW, reinterpret_cast<WPARAM>(g_resourceModule.GetModule()),
                                reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(avi))))
    SendMessageW(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
  SetWindowLongPtrW(m_dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cancelFlag));
  m_bar = GetDlgItem(m_dialog, IDC_PROGRESS_BAR);
  m_timeText = GetDlgItem(m_dialog, IDC_PROGRESS_TIME);
}

void ProgressDialog::Update(ULONGLONG partDone, ULONGLONG partSize, ULONGLONG weight) {
  const ProgressFigures figures =
      ComputeProgress(m_total, m_done, partDone, partSize, weight, GetTickCount() - m_startTick);
  if (m_bar && figures.hasPercent) SendMessageW(m_bar, PBM_SETPOS, figures.percent, 0);
  if (m_timeText && figures.hasTime) {
    const CBstr text =
        g_resourceModule.FormatResMessage(figures.textId, figures.hours, figures.minutes, figures.seconds);
    SetWindowTextW(m_timeText, text.GetBstr() ? text.GetBstr() : L"");
  }
}

void ProgressDialog::AddDone(ULONGLONG amount) {
  m_done += amount;
  Update(0, 0, 0);
}

void ProgressDialog::Destroy() {
  if (m_dialog) DestroyWindow(m_dialog);
  m_dialog = m_bar = m_timeText = nullptr;
}

void ProgressDialog::SetLines(const wchar_t* item, const wchar_t* detail) {
  if (!m_dialog) return;
  if (item) SetDlgItemTextW(m_dialog, IDC_PROGRESS_ITEM, item);
  if (detail) SetDlgItemTextW(m_dialog, IDC_PROGRESS_DETAIL, detail);
}

// Closing only asks the worker to stop; it destroys the dialog when it ends.
INT_PTR CALLBACK ProgressDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  auto raise = [dialog] {
    if (auto* flag = reinterpret_cast<DWORD*>(GetWindowLongPtrW(dialog, GWLP_USERDATA))) *flag = 1;
  };
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == 0) {
        raise();
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      raise();
      return FALSE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) raise();
      return FALSE;
    default:
      return FALSE;
  }
}
