// search/DatePageDialog.cpp - the "Date" page: which date of a file and which
// period, between two dates or the previous months or days.
#include <windows.h>
#include <oleauto.h>
#include "ResourceModule.h"
#include "Seams.h"
#include "SearchDialog.h"
#include "SearchIds.h"
#include "SearchPageDialog.h"
#include "SuiteUtil.h"

namespace {

const int kPeriodControls[] = {IDC_SEARCH_FROM, IDC_SEARCH_TO, IDC_SEARCH_MONTHS, IDC_SEARCH_MONTHS_SPIN,
                               IDC_SEARCH_DAYS, IDC_SEARCH_DAYS_SPIN};
const int kDateControls[] = {IDC_SEARCH_ALL_FILES,       IDC_SEARCH_DATED,          IDC_SEARCH_DATE_TYPE,
                             IDC_SEARCH_BETWEEN,         IDC_SEARCH_FROM,           IDC_SEARCH_TO,
                             IDC_SEARCH_PREVIOUS_MONTHS, IDC_SEARCH_MONTHS,         IDC_SEARCH_MONTHS_SPIN,
                             IDC_SEARCH_PREVIOUS_DAYS,   IDC_SEARCH_DAYS,           IDC_SEARCH_DAYS_SPIN};

}  // namespace

LRESULT DatePageDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  for (UINT id : {IDS_SEARCH_MODIFIED, IDS_SEARCH_CREATED, IDS_SEARCH_ACCESSED})
    SendDlgItemMessageW(m_hWnd, IDC_SEARCH_DATE_TYPE, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(g_resourceModule.LoadResString(id).GetBstr()));
  for (int id : {IDC_SEARCH_MONTHS, IDC_SEARCH_DAYS}) SendDlgItemMessageW(m_hWnd, id, EM_LIMITTEXT, 3, 0);
  for (int id : {IDC_SEARCH_MONTHS_SPIN, IDC_SEARCH_DAYS_SPIN})
    SendDlgItemMessageW(m_hWnd, id, UDM_SETRANGE, 0, MAKELPARAM(999, 1));
  LoadSettings();
  m_initialised = TRUE;
  return TRUE;
}

LRESULT DatePageDialog::OnRadio(WORD code, WORD id, HWND, BOOL& handled) {
  if (code != BN_CLICKED) {
    handled = FALSE;
    return 0;
  }
  UpdateRadioState(id);
  return 0;
}

void DatePageDialog::UpdateRadioState(int id) {
  auto enable = [this](std::initializer_list<int> ids, BOOL on) {
    for (int i : ids) ::EnableWindow(GetDlgItem(i), on);
  };
  if (id == IDC_SEARCH_ALL_FILES) {
    CheckDlgButton(m_hWnd, IDC_SEARCH_ALL_FILES, BST_CHECKED);
    CheckDlgButton(m_hWnd, IDC_SEARCH_DATED, BST_UNCHECKED);
    enable({IDC_SEARCH_DATE_TYPE}, FALSE);
    EnableItems(kPeriodControls, ARRAYSIZE(kPeriodControls), FALSE);
    return;
  }
  if (id < IDC_SEARCH_DATED || id > IDC_SEARCH_BETWEEN) return;
  CheckDlgButton(m_hWnd, IDC_SEARCH_ALL_FILES, BST_UNCHECKED);
  CheckDlgButton(m_hWnd, IDC_SEARCH_DATED, BST_CHECKED);
  enable({IDC_SEARCH_DATE_TYPE}, TRUE);
  int period = id;
  if (id == IDC_SEARCH_DATED) {
    if (IsDlgButtonChecked(m_hWnd, IDC_SEARCH_BETWEEN) == BST_CHECKED) period = IDC_SEARCH_BETWEEN;
    else if (IsDlgButtonChecked(m_hWnd, IDC_SEARCH_PREVIOUS_MONTHS) == BST_CHECKED) period = IDC_SEARCH_PREVIOUS_MONTHS;
    else if (IsDlgButtonChecked(m_hWnd, IDC_SEARCH_PREVIOUS_DAYS) == BST_CHECKED) period = IDC_SEARCH_PREVIOUS_DAYS;
    else return;
  }
  for (int radio : {IDC_SEARCH_BETWEEN, IDC_SEARCH_PREVIOUS_MONTHS, IDC_SEARCH_PREVIOUS_DAYS})
    CheckDlgButton(m_hWnd, radio, radio == period ? BST_CHECKED : BST_UNCHECKED);
  enable({IDC_SEARCH_FROM, IDC_SEARCH_TO}, period == IDC_SEARCH_BETWEEN);
  enable({IDC_SEARCH_MONTHS, IDC_SEARCH_MONTHS_SPIN}, period == IDC_SEARCH_PREVIOUS_MONTHS);
  enable({IDC_SEARCH_DAYS, IDC_SEARCH_DAYS_SPIN}, period == IDC_SEARCH_PREVIOUS_DAYS);
}

void DatePageDialog::EnableControls() {
  EnableItems(kDateControls, ARRAYSIZE(kDateControls), TRUE);
  const int periods[] = {IDC_SEARCH_BETWEEN, IDC_SEARCH_PREVIOUS_MONTHS, IDC_SEARCH_PREVIOUS_DAYS};
  const int timeType = Criteria().timeType;
  if (timeType >= 0 && timeType <= 2) UpdateRadioState(periods[timeType]);
  UpdateRadioState(Criteria().considerDates ? IDC_SEARCH_DATED : IDC_SEARCH_ALL_FILES);
}

void DatePageDialog::DisableControls() { EnableItems(kDateControls, ARRAYSIZE(kDateControls), FALSE); }

void DatePageDialog::ShowDate(int id, const SYSTEMTIME& date) {
  if (!SendDlgItemMessageW(m_hWnd, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date))) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    SendDlgItemMessageW(m_hWnd, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
  }
}

void DatePageDialog::ResetControls() {
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_DATE_TYPE, CB_SETCURSEL, 0, 0);
  SetDlgItemInt(m_hWnd, IDC_SEARCH_MONTHS, 1, FALSE);
  SetDlgItemInt(m_hWnd, IDC_SEARCH_DAYS, 1, FALSE);
  if (!ExtendedControls()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  ShowDate(IDC_SEARCH_FROM, now);
  ShowDate(IDC_SEARCH_TO, now);
  UpdateRadioState(IDC_SEARCH_ALL_FILES);
}

void DatePageDialog::LoadSettings() {
  const SearchSettings& c = Criteria();
  SendDlgItemMessageW(m_hWnd, IDC_SEARCH_DATE_TYPE, CB_SETCURSEL, c.dateType, 0);
  SetDlgItemInt(m_hWnd, IDC_SEARCH_MONTHS, static_cast<UINT>(c.months), FALSE);
  SetDlgItemInt(m_hWnd, IDC_SEARCH_DAYS, static_cast<UINT>(c.days), FALSE);
  if (!ExtendedControls()) return;
  ShowDate(IDC_SEARCH_FROM, c.lowerDate);
  ShowDate(IDC_SEARCH_TO, c.higherDate);
  EnableControls();
}

LRESULT DatePageDialog::OnUserString(int, NMHDR* header, BOOL& handled) {
  if (header->idFrom != IDC_SEARCH_FROM && header->idFrom != IDC_SEARCH_TO) {
    handled = FALSE;
    return 0;
  }
  auto* typed = reinterpret_cast<NMDATETIMESTRINGW*>(header);
  typed->dwFlags = GDT_NONE;
  DATE date = 0;
  if (typed->pszUserString &&
      SUCCEEDED(VarDateFromStr(const_cast<LPOLESTR>(typed->pszUserString), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY,
                               &date)) &&
      DateToSystemTime(date, &typed->st)) {
    typed->dwFlags = GDT_VALID;
    if (ExtendedControls())
      ::SendMessageW(header->hwndFrom, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&typed->st));
  }
  return 0;
}

HRESULT DatePageDialog::ReadDate(int id, SYSTEMTIME* date) {
  if ((id != IDC_SEARCH_FROM && id != IDC_SEARCH_TO) || !ExtendedControls()) return E_FAIL;
  SYSTEMTIME read = {};
  if (SendDlgItemMessageW(m_hWnd, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&read)) == GDT_VALID) {
    *date = read;
    return S_OK;
  }
  GetLocalTime(date);
  ShellUi().ShowMessageBox(m_hWnd, g_resourceModule.LoadResString(IDS_SEARCH_BAD_DATE).GetBstr(),
                           g_resourceModule.LoadResString(IDS_SEARCH_FINDING).GetBstr(), MB_ICONERROR);
  return E_FAIL;
}

void DatePageDialog::ReadSettings(SearchSettings* c) {
  UpdateWindow(m_hWnd);
  c->considerDates = IsDlgButtonChecked(m_hWnd, IDC_SEARCH_ALL_FILES) != BST_CHECKED;
  const LRESULT type = SendDlgItemMessageW(m_hWnd, IDC_SEARCH_DATE_TYPE, CB_GETCURSEL, 0, 0);
  c->dateType = type == CB_ERR ? 0 : static_cast<int>(type);
  c->timeType = IsDlgButtonChecked(m_hWnd, IDC_SEARCH_BETWEEN) == BST_CHECKED          ? 0
                : IsDlgButtonChecked(m_hWnd, IDC_SEARCH_PREVIOUS_MONTHS) == BST_CHECKED ? 1
                                                                                       : 2;
  ReadDate(IDC_SEARCH_FROM, &c->lowerDate);
  c->lowerDate.wHour = c->lowerDate.wMinute = c->lowerDate.wSecond = c->lowerDate.wMilliseconds = 0;
  ReadDate(IDC_SEARCH_TO, &c->higherDate);
  c->higherDate.wHour = 23;
  c->higherDate.wMinute = c->higherDate.wSecond = 59;
  c->higherDate.wMilliseconds = 999;
  c->months = static_cast<int>(ReadNumber(IDC_SEARCH_MONTHS));
  c->days = static_cast<int>(ReadNumber(IDC_SEARCH_DAYS));
}
