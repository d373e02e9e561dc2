// search/SearchPageDialog.cpp - what the three search pages share.
#include "SearchPageDialog.h"
#include <vector>
#include "ResourceModule.h"
#include "SearchDialog.h"

HRESULT SearchPageDialog::Create(UINT templateId) {
  if (!m_owner || !m_owner->m_hWnd) return E_FAIL;
  const void* found = g_resourceModule.FindDialogTemplate(templateId);
  const DWORD size = g_resourceModule.GetDialogTemplateSize(templateId);
  if (!found || !size) return E_FAIL;
  // A writable copy: the resource itself stays as loaded.
  std::vector<BYTE> copy(static_cast<const BYTE*>(found), static_cast<const BYTE*>(found) + size);
  const HWND page =
      CreateIndirect(g_resourceModule.GetModule(), reinterpret_cast<const DLGTEMPLATE*>(copy.data()), m_owner->m_hWnd);
  if (!page) return E_FAIL;
  SetWindowLongPtrW(page, GWL_EXSTYLE, WS_EX_CONTROLPARENT);
  SetWindowLongPtrW(page, GWL_STYLE, GetWindowLongPtrW(page, GWL_STYLE) | WS_TABSTOP);
  return S_OK;
}

void SearchPageDialog::EnableItems(const int* ids, int count, BOOL enable) const {
  for (int i = 0; i < count; ++i) ::EnableWindow(GetDlgItem(ids[i]), enable);
}

BOOL SearchPageDialog::ExtendedControls() const { return m_owner && m_owner->extendedControls; }

const SearchSettings& SearchPageDialog::Criteria() const { return m_owner->criteria; }

UINT SearchPageDialog::ReadNumber(int id) const { return GetDlgItemInt(m_hWnd, id, nullptr, FALSE); }
