// namespace/RPLViewMenus.cpp - the view's share of Explorer's menus and
// toolbar, panel painting and the commands behind them. Until those land the
// view works without them.
#include "RPLView.h"

void RPLView::RemoveMergedMenus() {}
void RPLView::MergeMenus() {}
void RPLView::AddToolbarButtons() {}
void RPLView::UpdateToolbarButtons() {}
void RPLView::UpdateViewMenuChecks() {}
void RPLView::RepaintPanel() {}

void RPLView::SetWebViewOn(bool on) {
  m_webView = on;
  if (on && !m_panel.IsWindow() && m_hWnd) CreateWebViewPanel();
  if (!on && m_panel.IsWindow()) m_panel.ShowWindow(SW_HIDE);
  RECT client = {};
  if (m_hWnd && ::GetClientRect(m_hWnd, &client)) LayoutPanes(client.right, client.bottom);
  if (on && m_panel.IsWindow()) m_panel.ShowWindow(SW_SHOW);
}

// View modes, clipboard, delete, rename, open, properties, new folder,
// format, search, help and about.
void RPLView::OnOtherCommand(WORD, WORD) {}

HRESULT RPLView::HandleRename(PCUITEMID_CHILD) { return E_NOTIMPL; }
