// transfers/RPLDropTarget.cpp - the drop effect, the drop menu, rearranging
// icons in their own view and the hand-over to the transfer engine.
#include "RPLDropTarget.h"
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "ModuleItemID.h"
#include "PasteEngine.h"
#include "ResourceIds.h"
#include "Seams.h"
#include "SharedMenus.h"

namespace {

DropTransferFn g_transfer = StartPasteOperation;

const DWORD kMainEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

}  // namespace

DropTransferFn SetDropTransfer(DropTransferFn transfer) {
  DropTransferFn previous = g_transfer;
  g_transfer = transfer ? transfer : StartPasteOperation;
  return previous;
}

HRESULT RPLDropTarget::Create(RPLDropTarget** target) {
  if (!target) return E_POINTER;
  *target = new (std::nothrow) RPLDropTarget();
  return *target ? S_OK : E_OUTOFMEMORY;
}

HRESULT RPLDropTarget::InitForView(const wchar_t* folderPath, ITransferViewSite* view) {
  if (!view) return E_POINTER;
  m_folder = CBstr(folderPath);
  m_viewReference = view->ViewUnknown();
  m_view = view;
  m_owner = view->ViewWindow();
  m_offered = m_settable = 0;
  m_data.Reset();
  m_item.Free();
  return S_OK;
}

HRESULT RPLDropTarget::InitForItem(const wchar_t* folderPath, LPCITEMIDLIST item, HWND owner) {
  m_folder = CBstr(folderPath);
  m_viewReference.Reset();
  m_view = nullptr;
  RETURN_IF_FAILED(m_item.Assign(item));
  m_owner = owner;
  m_offered = m_settable = 0;
  m_data.Reset();
  m_lastKeys = 0;
  return S_OK;
}

bool RPLDropTarget::MoveCapable() const {
  return ShellSettings().PlatformClass() != 0 || (m_offered & kFormatDirectoryData);
}

bool RPLDropTarget::FromThisView() const {
  BYTE bytes[kViewAddressSize];
  ViewAddress address;
  if (!m_data || FAILED(ReadDataObjectBytes(m_data.Get(), ClipboardFormats().viewAddress, bytes, sizeof(bytes))) ||
      !ParseViewAddress(bytes, sizeof(bytes), &address))
    return false;
  return address.view == ViewSiteAddress(m_view) && address.processId == GetCurrentProcessId();
}

void RPLDropTarget::ComputeDropEffect(DWORD keys, DWORD* effect, POINT point) {
  const DWORD allowed = *effect;
  const bool droppable = (m_offered & (kFormatHdrop | kFormatDirectoryData)) != 0;
  if (!droppable || !(keys & (MK_LBUTTON | MK_RBUTTON))) {
    *effect = DROPEFFECT_NONE;
    return;
  }
  DWORD result;
  if (keys & MK_SHIFT)
    result = (allowed & DROPEFFECT_MOVE) ? (MoveCapable() ? DROPEFFECT_MOVE : DROPEFFECT_COPY) : DROPEFFECT_NONE;
  else
    result = (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  if (result == DROPEFFECT_NONE || !m_view) {
    *effect = result;
    return;
  }
  result |= m_view->AutoScroll(point);
  m_view->ClearDropHighlight();
  CBstr path;
  const bool overItem = m_view->HighlightDropTarget(point, &path);
  // The main effect changes below; a running scroll stays shown.
  auto replace = [&result](DWORD main) { result = (result & ~kMainEffects) | main; };
  if (m_view->IsSearchView()) {
    if (!overItem) replace(DROPEFFECT_NONE);
  } else if ((m_offered & kFormatDirectoryData) && !(keys & MK_RBUTTON) && FromThisView()) {
    const int style = m_view->GetListViewStyle();
    const bool amongDragged = overItem && IsTargetAmongDraggedFolders(path.GetBstr(), m_data.Get());
    if (style == 1 || style == 3) {
      if (!overItem || amongDragged) replace(DROPEFFECT_NONE);
    } else if ((keys & MK_LBUTTON) && !(keys & MK_CONTROL)) {
      if (!overItem || amongDragged) replace(DROPEFFECT_MOVE);
    }
  }
  *effect = result;
}

STDMETHODIMP RPLDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (!data || !effect) return E_POINTER;
  m_data = data;
  InspectDataObjectFormats(data, nullptr, &m_offered, &m_settable);
  ComputeDropEffect(keys, effect, POINT{point.x, point.y});
  m_lastKeys = keys;
  return S_OK;
}

STDMETHODIMP RPLDropTarget::DragOver(DWORD keys, POINTL point, DWORD* effect) {
  if (!effect) return E_POINTER;
  ComputeDropEffect(keys, effect, POINT{point.x, point.y});
  m_lastKeys = keys;
  return S_OK;
}

STDMETHODIMP RPLDropTarget::DragLeave() {
  if (m_view) m_view->ClearDropHighlight();
  m_offered = 0;
  m_data.Reset();
  return S_OK;
}

HRESULT RPLDropTarget::EndDrop(DWORD* effect, DWORD result) {
  *effect = result;
  m_data.Reset();
  return S_OK;
}

DWORD RPLDropTarget::ChooseFromMenu(DWORD keys, DWORD allowed, POINT point) {
  HMENU popup = CreatePopupMenu();
  HMENU shared = GetSharedPopupMenu(kDropMenu);
  if (!popup) return DROPEFFECT_NONE;
  if (shared) CopyMenuItems(popup, shared, 0, TRUE, 0, FALSE);
  if (ShellSettings().PlatformClass() == 0 && !(m_offered & kFormatDirectoryData))
    DeleteMenu(popup, IDM_DROP_MOVE, MF_BYCOMMAND);
  const bool shift = (keys & MK_SHIFT) != 0;
  if (shift && (allowed & DROPEFFECT_MOVE))
    SetMenuDefaultItem(popup, IDM_DROP_MOVE, FALSE);
  else if (!shift && (allowed & DROPEFFECT_COPY))
    SetMenuDefaultItem(popup, IDM_DROP_COPY, FALSE);
  else
    SetMenuDefaultItem(popup, static_cast<UINT>(-1), FALSE);
  const UINT command =
      ShellUi().TrackMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x, point.y, m_owner);
  DestroyMenu(popup);
  if (m_view && m_view->ViewWindow()) SendMessageW(m_view->ViewWindow(), WM_EXITMENULOOP, TRUE, 0);
  if (command == IDM_DROP_MOVE) return DROPEFFECT_MOVE;
  if (command == IDM_DROP_COPY) return DROPEFFECT_COPY;
  return DROPEFFECT_NONE;
}

STDMETHODIMP RPLDropTarget::Drop(IDataObject* data, DWORD keys, POINTL pointl, DWORD* effect) {
  if (!data || !effect) return E_POINTER;
  const POINT point = {pointl.x, pointl.y};
  if (m_view) m_view->ClearDropHighlight();
  m_data = data;
  InspectDataObjectFormats(data, nullptr, &m_offered, &m_settable);
  if (!(m_offered & (kFormatHdrop | kFormatDirectoryData))) return EndDrop(effect, DROPEFFECT_NONE);

  const DWORD allowed = *effect;
  const DWORD buttons = (keys | m_lastKeys) & (MK_LBUTTON | MK_RBUTTON);
  const bool left = (buttons & MK_LBUTTON) != 0;
  const bool right = !left && (buttons & MK_RBUTTON);
  DWORD chosen = DROPEFFECT_NONE;
  if (left) {
    if ((keys & MK_SHIFT) && (allowed & DROPEFFECT_MOVE))
      chosen = MoveCapable() ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    else if (!(keys & MK_SHIFT) && (allowed & DROPEFFECT_COPY))
      chosen = DROPEFFECT_COPY;
  } else if (right) {
    chosen = ChooseFromMenu(keys, allowed, point);
  }
  if (chosen == DROPEFFECT_NONE) return EndDrop(effect, DROPEFFECT_NONE);

  CBstr target;
  if (m_view) {
    CBstr path;
    if (m_view->HighlightDropTarget(point, &path)) {
      m_view->ClearDropHighlight();
      target = path;
      if (IsTargetAmongDraggedFolders(path.GetBstr(), data)) {
        target = m_folder;
        chosen = DROPEFFECT_MOVE;
      }
    } else if (m_view->IsSearchView()) {
      return EndDrop(effect, DROPEFFECT_NONE);
    } else {
      target = m_folder;
    }
  } else if (!m_item.IsEmpty() && IsValidModuleItem(m_item.Get())) {
    target = CBstr(GetItemName(m_item.Get()));
  } else {
    target = m_folder;
  }

  const bool keepsCopy = (right && chosen != DROPEFFECT_MOVE) ||
                         (left && (keys & MK_CONTROL) && chosen != DROPEFFECT_MOVE);
  if (m_view && (m_offered & kFormatDirectoryData) && !keepsCopy && FromThisView() &&
      CompareText(target.GetBstr() ? target.GetBstr() : L"", m_folder.GetBstr() ? m_folder.GetBstr() : L"",
                  FALSE) == 0) {
    m_view->MoveSelectedItems(point);
    return EndDrop(effect, DROPEFFECT_NONE);
  }

  DWORD done = 0;
  const HRESULT hr = g_transfer(target.GetBstr() ? target.GetBstr() : L"", m_owner, data, chosen, TRUE, 0, &done);
  return EndDrop(effect, hr == S_OK && done ? chosen : DROPEFFECT_NONE);
}
