// transfers/PropertyPages.cpp - what the property pages show, what they apply
// and how the drive page draws its space.
#include <cstddef>
#include "CapacityPie.h"
#include "DisplayText.h"
#include "ErrorText.h"
#include "ModuleCommands.h"
#include "ModuleItemID.h"
#include "RPLPropSheetExt.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "Settings.h"
#include "ShellHelpers.h"

namespace {
const COLORREF kUsedColour = 0xFF0000;
const COLORREF kUsedRimColour = 0x800000;
const COLORREF kFreeColour = 0xFF00FF;
const COLORREF kFreeRimColour = 0x800080;

struct AttributeBox {
  int id;
  ULONG bit;
};
const AttributeBox kAttributeBoxes[] = {
    {IDC_PAGE_READONLY, FILE_ATTRIBUTE_READONLY},
    {IDC_PAGE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
    {IDC_PAGE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
    {IDC_PAGE_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
};

CBstr BytesText(ULONGLONG value) { return ConcatStrings(FormatGroupedNumber(static_cast<LONGLONG>(value)), L" Bytes"); }

CBstr CountText(int count, UINT one, UINT many) {
  if (count == 1) return ConcatStrings(L"1 ", g_resourceModule.LoadResString(one));
  return ConcatStrings(ConcatStrings(FormatGroupedNumber(count), L" "), g_resourceModule.LoadResString(many));
}

void SetIcon(HWND page, HICON icon) {
  HICON old = reinterpret_cast<HICON>(
      SendDlgItemMessageW(page, IDC_PAGE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
  if (old && old != icon) DestroyIcon(old);
}

void SetDateText(HWND page, int id, DATE date) { SetDlgItemString(page, id, FormatDateTime(date, FALSE, FALSE, FALSE)); }

// The drive's free bytes as the folder handed them over, within 0..total.
ULONGLONG DriveFreeBytes(LPCITEMIDLIST drive) {
  const ULONGLONG total = GetItemSize(drive);
  const DATE free = GetItemLastWriteTime(drive);
  if (!(free > 0)) return 0;
  return free >= static_cast<DATE>(total) ? total : static_cast<ULONGLONG>(free);
}

// After a successful change the held record says what the module now has,
// so a later Apply compares against that.
void StoreItemAttributes(LPITEMIDLIST item, ULONG attributes) {
  memcpy(reinterpret_cast<BYTE*>(item) + offsetof(ModuleItemID, attributes), &attributes, sizeof(attributes));
}
}  // namespace

CBstr RPLPropSheetExt::CountsText() const {
  return ConcatStrings(ConcatStrings(CountText(m_fileCount, IDS_ONE_FILE, IDS_FILES), L", "),
                       CountText(m_folderCount, IDS_ONE_FOLDER, IDS_FOLDERS));
}

void RPLPropSheetExt::InitPropertyPage(HWND page, int slot) {
  m_initialising = true;
  switch (PageKind()) {
  case Kind::Root:
    InitRootPage(page, slot);
    break;
  case Kind::Drives:
    InitDrivePage(page, slot);
    break;
  case Kind::Items:
    InitItemsPage(page);
    break;
  }
  m_initialising = false;
}

void RPLPropSheetExt::InitItemsPage(HWND page) {
  LPCITEMIDLIST first = m_items[0].Get();
  const CBstr counts = CountsText();
  if (m_count == 1)
    SetIcon(page, GetFileIcon(GetItemNameString(first).GetBstr(), GetItemAttributes(first), 0));
  else
    SetIcon(page, g_resourceModule.LoadIcon(IDI_SEVERAL_ITEMS));
  SetDlgItemString(page, IDC_PAGE_TYPE, m_type);
  SetDlgItemString(page, IDC_PAGE_LOCATION, m_location);
  CBstr size = FormatByteSize(m_totalSize);
  size.Append(m_totalSize == 1 ? CBstr(L" (1 Byte)") : ConcatStrings(ConcatStrings(L" (", BytesText(m_totalSize)), L")"));
  SetDlgItemString(page, IDC_PAGE_SIZE, size);
  if (m_count == 1) {
    SetDlgItemString(page, IDC_PAGE_NAME, GetItemNameString(first));
    SetDlgItemString(page, IDC_PAGE_SHORT_NAME, CBstr(GetItemShortName(first)));
    if (IsFolderItem(first)) {
      SetDlgItemString(page, IDC_PAGE_CONTAINS, counts);
      const DATE created = GetItemCreationTime(first);
      SetDateText(page, IDC_PAGE_CREATED, created != 0 ? created : GetItemLastWriteTime(first));
    } else {
      SetDateText(page, IDC_PAGE_CREATED, GetItemCreationTime(first));
      SetDateText(page, IDC_PAGE_MODIFIED, GetItemLastWriteTime(first));
      SetDateText(page, IDC_PAGE_ACCESSED, GetItemLastAccessTime(first));
    }
  } else {
    SetDlgItemString(page, IDC_PAGE_NAME, counts);
  }
  for (const AttributeBox& box : kAttributeBoxes) {
    if (!(m_present & box.bit)) continue;
    HWND button = GetDlgItem(page, box.id);
    if (m_absent & box.bit) {
      SendMessageW(button, BM_SETSTYLE, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTO3STATE, TRUE);
      SendMessageW(button, BM_SETCHECK, BST_INDETERMINATE, 0);
    } else {
      SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    }
  }
}

void RPLPropSheetExt::InitDrivePage(HWND page, int slot) {
  SetIcon(page, GetDriveIcon());
  if (slot >= DrivePageCount()) return;
  if (m_labelRead[slot]) {
    SetDlgItemString(page, IDC_PAGE_LABEL, m_labels[slot]);
    EnableWindow(GetDlgItem(page, IDC_PAGE_LABEL), TRUE);
    EnableWindow(GetDlgItem(page, IDC_PAGE_NAME), TRUE);
  }
  LPCITEMIDLIST drive = m_items[slot].Get();
  const ULONGLONG total = GetItemSize(drive);
  if (total == 0) return;
  const ULONGLONG free = DriveFreeBytes(drive);
  const ULONGLONG used = total - free;
  SetDlgItemString(page, IDC_PAGE_USED_BYTES, BytesText(used));
  SetDlgItemString(page, IDC_PAGE_USED_SIZE, FormatByteSize(used));
  SetDlgItemString(page, IDC_PAGE_FREE_BYTES, BytesText(free));
  SetDlgItemString(page, IDC_PAGE_FREE_SIZE, FormatByteSize(free));
  SetDlgItemString(page, IDC_PAGE_TOTAL_BYTES, BytesText(total));
  SetDlgItemString(page, IDC_PAGE_TOTAL_SIZE, FormatByteSize(total));
}

void RPLPropSheetExt::InitRootPage(HWND page, int slot) {
  SetIcon(page, g_resourceModule.LoadIcon(IDI_MODULE));
  if (slot == 0) {
    if (m_model[0]) SetDlgItemTextW(page, IDC_PAGE_MODEL, m_model);
    return;
  }
  SetDlgItemString(page, IDC_PAGE_NAME, g_resourceModule.LoadResString(IDS_MODULE));
  ComPtr<IVKSGeneral> general;
  if (FAILED(CreateModuleGeneral(&general)) || !general) return;
  BSTR text = nullptr;
  if (FAILED(general->GetCommPorts(&text, 5))) {
    if (text) SysFreeString(text);
    return;
  }
  CBstr ports;
  ports.Attach(text);
  HWND list = GetDlgItem(page, IDC_PAGE_PORTS);
  const int fields = ports.CountFields(L';');
  for (int i = 0; i < fields; ++i) {
    const CBstr port = ports.GetField(L';', i);
    if (port.GetLength()) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port.GetBstr()));
  }
  wchar_t configured[260] = {};
  if (FAILED(ReadPortSetting(configured, ARRAYSIZE(configured)))) return;
  // The list's exact search ignores case, as the setting may be written either way.
  const LRESULT found = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(configured));
  if (found != LB_ERR) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

BOOL RPLPropSheetExt::OnPropertyPageCommand(HWND page, WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  const bool change =
      (code == BN_CLICKED && (id == IDC_PAGE_READONLY || id == IDC_PAGE_HIDDEN || id == IDC_PAGE_SYSTEM ||
                              id == IDC_PAGE_ARCHIVE)) ||
      (code == LBN_SELCHANGE && id == IDC_PAGE_PORTS) || (code == EN_CHANGE && id == IDC_PAGE_LABEL);
  if (!change) return FALSE;
  if (!m_initialising) MarkPage(page, true);
  return TRUE;
}

LONG_PTR RPLPropSheetExt::ApplyPropertyPage(HWND page) {
  if (!IsMarked(page)) return PSNRET_NOERROR;
  const int slot = SlotOfPage(page);
  switch (PageKind()) {
  case Kind::Root:
    return slot == 1 ? ApplyPortPage(page) : PSNRET_NOERROR;
  case Kind::Drives:
    return ApplyDrivePage(page, slot);
  case Kind::Items:
    return ApplyItemsPage(page);
  }
  return PSNRET_NOERROR;
}

LONG_PTR RPLPropSheetExt::ApplyItemsPage(HWND page) {
  for (int i = 0; i < m_count; ++i) {
    LPITEMIDLIST item = m_items[i].Get();
    const ULONG attributes = GetItemAttributes(item);
    ULONG result = attributes;
    for (const AttributeBox& box : kAttributeBoxes) {
      const UINT state = IsDlgButtonChecked(page, box.id);
      if (state == BST_CHECKED) result |= box.bit;
      else if (state == BST_UNCHECKED) result &= ~box.bit;
    }
    if (result == attributes) continue;
    const HRESULT hr = SetAttributesWithMessage(GetItemName(item), static_cast<LONG>(result & ~kItemFolderAttribute),
                                                m_volume.Get(), page);
    if (FAILED(hr)) return PSNRET_INVALID;
    StoreItemAttributes(item, result);
  }
  MarkPage(page, false);
  return PSNRET_NOERROR;
}

LONG_PTR RPLPropSheetExt::ApplyDrivePage(HWND page, int slot) {
  if (slot < 0 || slot >= DrivePageCount()) return PSNRET_INVALID;
  m_labels[slot] = GetWindowTextString(GetDlgItem(page, IDC_PAGE_LABEL));
  const HRESULT hr = SetLabelWithMessage(DriveItemName(m_items[slot].Get()).GetBstr(), m_labels[slot].GetBstr() ? m_labels[slot].GetBstr() : L"",
                                         m_volume.Get(), page);
  if (FAILED(hr)) return PSNRET_INVALID;
  MarkPage(page, false);
  return PSNRET_NOERROR;
}

LONG_PTR RPLPropSheetExt::ApplyPortPage(HWND page) {
  HWND list = GetDlgItem(page, IDC_PAGE_PORTS);
  const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) {
    ShellUi().ShowMessageBox(page, g_resourceModule.LoadResString(IDS_SELECT_PORT).GetBstr(),
                             g_resourceModule.LoadResString(IDS_MODULE).GetBstr(), MB_ICONINFORMATION);
    return PSNRET_INVALID;
  }
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
  if (length == LB_ERR) {
    MarkPage(page, false);
    return PSNRET_NOERROR;
  }
  CBstr port;
  port.Attach(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
  if (!port.GetBstr() ||
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(port.GetBstr())) == LB_ERR) {
    MarkPage(page, false);
    return PSNRET_NOERROR;
  }
  const LONG error = WritePortSetting(port.GetBstr());
  if (error != ERROR_SUCCESS) {
    ShellUi().ShowMessageBox(page, GetErrorText(HRESULT_FROM_WIN32(error)).GetBstr(),
                             g_resourceModule.LoadResString(IDS_MODULE).GetBstr(), MB_ICONEXCLAMATION);
    return PSNRET_INVALID;
  }
  if (FAILED(m_volume->SelectPort(port.GetBstr()))) return PSNRET_INVALID;
  MarkPage(page, false);
  return PSNRET_NOERROR;
}

BOOL RPLPropSheetExt::DrawDrivePageItem(HWND page, const DRAWITEMSTRUCT* item) {
  if (!item || !(item->itemAction & ODA_DRAWENTIRE)) return FALSE;
  const RECT& area = item->rcItem;
  if (item->CtlID == IDC_PAGE_USED_SQUARE || item->CtlID == IDC_PAGE_FREE_SQUARE) {
    HBRUSH brush = CreateSolidBrush(item->CtlID == IDC_PAGE_USED_SQUARE ? kUsedColour : kFreeColour);
    HGDIOBJ old = SelectObject(item->hDC, brush);
    PatBlt(item->hDC, area.left, area.top, area.right - area.left, area.bottom - area.top, PATCOPY);
    SelectObject(item->hDC, old);
    DeleteObject(brush);
    return TRUE;
  }
  if (item->CtlID != IDC_PAGE_CHART) return FALSE;
  const int slot = SlotOfPage(page);
  if (slot < 0 || slot >= DrivePageCount()) return TRUE;
  LPCITEMIDLIST drive = m_items[slot].Get();
  HBRUSH used = CreateSolidBrush(kUsedColour);
  HBRUSH usedRim = CreateSolidBrush(kUsedRimColour);
  HBRUSH free = CreateSolidBrush(kFreeColour);
  HBRUSH freeRim = CreateSolidBrush(kFreeRimColour);
  DrawCapacityPie(item->hDC, area.left, area.top, area.right - area.left, area.bottom - area.top, GetItemSize(drive),
                  DriveFreeBytes(drive), used, usedRim, free, freeRim);
  DeleteObject(used);
  DeleteObject(usedRim);
  DeleteObject(free);
  DeleteObject(freeRim);
  return TRUE;
}
