// namespace/RPLView.cpp - the view's windows, its lifecycle and saved state.
#include "RPLView.h"
#include "ModuleEntry.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "ModuleCommands.h"
#include "RPLIcon.h"
#include "Seams.h"

// {EE71BF80-DA05-11D3-BA80-00C0CA16AA37}
const GUID kRPLViewId = {0xEE71BF80, 0xDA05, 0x11D3, {0xBA, 0x80, 0x00, 0xC0, 0xCA, 0x16, 0xAA, 0x37}};

namespace {

const int kTextRingSize = 5;
const UINT kColumnNameText = 8263;
const UINT kColumnSizeText = 8264;
const UINT kColumnTypeText = 8265;
const UINT kColumnModifiedText = 8266;
const UINT kColumnFreeText = 8405;
const UINT kColumnTotalText = 8406;

}  // namespace

RPLView::RPLView() : m_list(this, 1), m_panel(this, 2) {
  m_textRing = new (std::nothrow) wchar_t[kTextRingSize][261];
  m_focusKeys = g_resourceModule.LoadAccelerators(IDA_VIEW_FOCUSED);
  m_otherKeys = g_resourceModule.LoadAccelerators(IDA_VIEW_OTHER);
  m_webView = ShellSettings().WebViewEnabled();
  m_listing = ReadListingSettings();
}

RPLView::~RPLView() {
  if (m_renameAlive) *m_renameAlive = false;
  RemoveMergedMenus();
  DestroyListView();
  DestroyPanel();
  FreeEntries();
  delete[] m_textRing;
  if (m_focusKeys) DestroyAcceleratorTable(m_focusKeys);
  if (m_otherKeys) DestroyAcceleratorTable(m_otherKeys);
  if (IsWindow()) DestroyWindow();
}

void RPLView::FillWindowClass(WNDCLASSEXW& windowClass) const {
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
}

ViewListKind RPLView::ListKind() const {
  if (m_driveList) return ViewListKind::Drives;
  return m_search ? ViewListKind::Search : ViewListKind::Files;
}

HRESULT RPLView::InitForFolder(const wchar_t* path, LPCITEMIDLIST folder, HWND owner) {
  if (m_initialised) return E_FAIL;
  m_initialised = true;
  if (!path) return E_POINTER;
  m_owner = owner;
  m_search = nullptr;
  m_path = CBstr(path);
  RETURN_IF_FAILED(m_folderList.Assign(folder));
  m_driveList = m_path.GetLength() == 0;
  m_driveRoot = IsDriveRootName(path);
  if (!m_volume) return CreateModuleVolume(&m_volume);
  return S_OK;
}

HRESULT RPLView::InitForSearch(ISearchViewHost* search) {
  if (m_initialised) return E_FAIL;
  m_initialised = true;
  if (!search) return E_POINTER;
  m_search = search;
  m_owner = search->SearchWindow();
  m_path = search->SearchPath();
  m_driveList = m_path.GetLength() == 0;
  m_driveRoot = m_path.GetLength() && IsDriveRootName(m_path.GetBstr());
  HRESULT hr = S_OK;
  if (!m_volume) hr = CreateModuleVolume(&m_volume);
  if (SUCCEEDED(hr)) hr = GetModuleAbsoluteIDList(m_path.GetBstr() ? m_path.GetBstr() : L"", &m_folderList, m_volume.Get());
  if (FAILED(hr)) ReportFailure(hr);
  return hr;
}

HRESULT RPLView::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = m_hWnd;
  return m_hWnd ? S_OK : E_FAIL;
}

HRESULT RPLView::GetCurrentInfo(LPFOLDERSETTINGS settings) {
  if (!settings) return E_POINTER;
  *settings = m_settings;
  return S_OK;
}

HRESULT RPLView::GetView(SHELLVIEWID* id, ULONG kind) {
  if (!id) return E_POINTER;
  if (kind != static_cast<ULONG>(SV2GV_CURRENTVIEW) && kind != static_cast<ULONG>(SV2GV_DEFAULTVIEW))
    return E_INVALIDARG;
  *id = kRPLViewId;
  return S_OK;
}

HRESULT RPLView::CreateViewWindow2(LPSV2CVW2_PARAMS params) {
  if (!params) return E_POINTER;
  if (params->pvid && !IsEqualGUID(*params->pvid, kRPLViewId)) return E_INVALIDARG;
  return CreateViewWindow(params->psvPrev, params->pfs, params->psbOwner, params->prcView, &params->hwndView);
}

HRESULT RPLView::CreateOwnWindow(HWND parent, const RECT& rect) {
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (!(m_settings.fFlags & FWF_NOCLIENTEDGE)) exStyle |= WS_EX_CLIENTEDGE;
  return Create(parent, rect, nullptr, WS_CHILD | WS_VISIBLE, exStyle) ? S_OK : E_FAIL;
}

HRESULT RPLView::CreateViewWindow(IShellView*, LPCFOLDERSETTINGS settings, IShellBrowser* browser, RECT* rect,
                                  HWND* window) {
  if (!settings || !browser || !rect || !window) return E_POINTER;
  *window = nullptr;
  RemoveMergedMenus();
  DestroyListView();
  DestroyPanel();
  FreeEntries();
  if (IsWindow()) DestroyWindow();

  browser->AddRef();
  m_browser.Attach(browser);
  m_settings = *settings;
  m_owner = nullptr;
  browser->GetWindow(&m_owner);
  RETURN_IF_FAILED(CreateOwnWindow(m_owner, *rect));
  *window = m_hWnd;

  ComPtr<IStream> stream;
  if (FAILED(browser->GetViewStateStream(STGM_READ, &stream))) stream.Reset();
  ViewStateData state = ReadViewState(stream.Get(), ListKind());
  stream.Reset();
  if (!state.fromStream) m_webView = ShellSettings().WebViewEnabled();
  m_sortCommand = state.sortCommand;

  RETURN_IF_FAILED(CreateListView(state.widths, state.fromStream));
  if (state.hasOrder && HasExtendedListView()) ApplyColumnOrder(state.order);

  HRESULT hr = ListFolder();
  if (FAILED(hr)) {
    DestroyListView();
    ReportFailure(hr);
    return hr;
  }
  FillList();
  if (!state.positions.empty() && InIconMode()) PlaceSavedPositions(state.positions);

  AddToolbarButtons();
  RegisterChangeSink();
  if (m_webView) CreateWebViewPanel();
  ReadModelName();
  RegisterDropTargets();
  int width = rect->right - rect->left, height = rect->bottom - rect->top;
  if (!(m_settings.fFlags & FWF_NOCLIENTEDGE)) {
    width -= 2 * GetSystemMetrics(SM_CXEDGE);
    height -= 2 * GetSystemMetrics(SM_CYEDGE);
  }
  LayoutPanes(width, height);
  m_list.ShowWindow(SW_SHOW);
  if (m_panel.IsWindow()) m_panel.ShowWindow(SW_SHOW);
  if (state.positions.empty()) m_list.SendMessage(LVM_ARRANGE, LVA_DEFAULT);
  // Hosts that never activate the view still give it the keyboard.
  SetFocusToList();
  return S_OK;
}

HRESULT RPLView::CreateSearchResultWindow(const RECT* rect) {
  if (!rect) return E_POINTER;
  RemoveMergedMenus();
  DestroyListView();
  DestroyPanel();
  FreeEntries();
  m_webView = false;
  m_sortCommand = kDefaultSortCommand;
  m_settings.ViewMode = FVM_DETAILS;
  m_settings.fFlags = FWF_AUTOARRANGE;
  if (!IsWindow()) RETURN_IF_FAILED(CreateOwnWindow(m_search ? m_search->SearchWindow() : m_owner, *rect));
  const ULONG widths[kViewColumnCount] = {kDefaultColumnWidth, kDefaultColumnWidth, kDefaultColumnWidth,
                                          kDefaultColumnWidth};
  RETURN_IF_FAILED(CreateListView(widths, false));
  RegisterChangeSink();
  LayoutPanes(rect->right - rect->left - 2 * GetSystemMetrics(SM_CXEDGE),
              rect->bottom - rect->top - 2 * GetSystemMetrics(SM_CYEDGE));
  m_list.ShowWindow(SW_SHOW);
  MergeMenus();
  UpdateViewMenuChecks();
  return S_OK;
}

HRESULT RPLView::CreateListView(const ULONG widths[kViewColumnCount], bool) {
  bool drives = m_driveList;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LVS_SHAREIMAGELISTS;
  if (!drives) style |= LVS_EDITLABELS;
  switch (m_settings.ViewMode) {
    case FVM_ICON: style |= LVS_ICON; break;
    case FVM_SMALLICON: style |= LVS_SMALLICON; break;
    case FVM_LIST: style |= LVS_LIST; break;
    case FVM_DETAILS: style |= LVS_REPORT; break;
    default:
      m_settings.ViewMode = FVM_DETAILS;
      style |= LVS_REPORT;
      break;
  }
  const UINT flags = m_settings.fFlags;
  if (flags & FWF_AUTOARRANGE) style |= LVS_AUTOARRANGE;
  if (flags & FWF_SINGLESEL) style |= LVS_SINGLESEL;
  if (flags & FWF_NOSCROLL) style |= LVS_NOSCROLL;
  if (flags & FWF_ALIGNLEFT) style |= LVS_ALIGNLEFT;
  if (flags & FWF_SHOWSELALWAYS) style |= LVS_SHOWSELALWAYS;

  UINT id = drives ? kDriveListId : kFileListId;
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, nullptr, style, 0, 0, 100, 100, m_hWnd,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), CodeModule(), nullptr);
  if (!list) return E_FAIL;
  DWORD exStyle = GetListViewExStyle();
  if (exStyle) ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle);
  ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(GetSysImageList()));
  ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(GetSmallSysImageList()));

  struct Column {
    UINT text;
    int format;
    int width;
  };
  std::vector<Column> columns;
  columns.push_back({kColumnNameText, LVCFMT_LEFT, static_cast<int>(widths[0])});
  if (m_search) columns.push_back({IDS_VIEW_IN_FOLDER, LVCFMT_LEFT, static_cast<int>(widths[0])});
  if (drives) {
    columns.push_back({kColumnTypeText, LVCFMT_LEFT, static_cast<int>(widths[1])});
    columns.push_back({kColumnTotalText, LVCFMT_RIGHT, static_cast<int>(widths[2])});
    columns.push_back({kColumnFreeText, LVCFMT_RIGHT, static_cast<int>(widths[3])});
  } else {
    columns.push_back({kColumnSizeText, LVCFMT_RIGHT, static_cast<int>(widths[1])});
    columns.push_back({kColumnTypeText, LVCFMT_LEFT, static_cast<int>(widths[2])});
    columns.push_back({kColumnModifiedText, LVCFMT_LEFT, static_cast<int>(widths[3])});
  }
  int indexSum = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    CBstr title = g_resourceModule.LoadResString(columns[i].text);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = columns[i].format;
    column.cx = columns[i].width;
    column.pszText = const_cast<wchar_t*>(title.GetBstr() ? title.GetBstr() : L"");
    column.iSubItem = static_cast<int>(i);
    indexSum += static_cast<int>(::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
  }
  if (indexSum != (m_search ? 10 : 6)) {
    ::DestroyWindow(list);
    return E_FAIL;
  }
  m_list.SwitchMessageMap(drives ? 3 : 1);
  if (!m_list.SubclassWindow(list)) {
    ::DestroyWindow(list);
    return E_FAIL;
  }
  m_listId = id;
  return S_OK;
}

void RPLView::ApplyColumnOrder(const int order[kViewColumnCount]) {
  int columns[kViewColumnCount];
  for (UINT i = 0; i < kViewColumnCount; ++i) columns[i] = order[i];
  m_list.SendMessage(LVM_SETCOLUMNORDERARRAY, kViewColumnCount, reinterpret_cast<LPARAM>(columns));
}

void RPLView::DestroyListView() {
  m_savedPositions.clear();
  m_savedSelection.clear();
  if (!m_list.IsWindow()) {
    m_list.Detach();
    m_listId = 0;
    return;
  }
  UnregisterChangeSink();
  if (m_listDropRegistered) RevokeDragDrop(m_list);
  m_listDropRegistered = false;
  m_listDropTarget.Reset();
  m_list.UnsubclassWindow();
  HWND list = m_list.Detach();
  ::DestroyWindow(list);
  m_listId = 0;
}

HRESULT RPLView::CreateWebViewPanel() {
  if (!m_panel.Create(kWebViewWindowClass, m_hWnd, RECT{0, 0, 100, 100}, nullptr,
                      WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL, 0, kPanelId))
    return E_FAIL;
  SCROLLINFO empty = {};
  empty.cbSize = sizeof(empty);
  empty.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  SetScrollInfo(m_panel, SB_HORZ, &empty, FALSE);
  SetScrollInfo(m_panel, SB_VERT, &empty, FALSE);
  HDC dc = ::GetDC(m_panel);
  m_panelDc = CreateCompatibleDC(dc);
  ::ReleaseDC(m_panel, dc);
  m_panelBitmap = g_resourceModule.LoadBitmap(IDB_VIEW_PANEL);
  if (m_panelDc && m_panelBitmap) m_panelOldBitmap = SelectObject(m_panelDc, m_panelBitmap);
  const struct {
    int height, weight;
  } fonts[3] = {{-18, FW_BOLD}, {-11, FW_BOLD}, {-11, FW_NORMAL}};
  for (int i = 0; i < 3; ++i)
    m_panelFonts[i] = CreateFontW(fonts[i].height, 0, 0, 0, fonts[i].weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0,
                                  FF_SWISS, L"Verdana");
  if (!m_panelDc || !m_panelBitmap || !m_panelFonts[0] || !m_panelFonts[1] || !m_panelFonts[2]) {
    DestroyPanel();
    return E_FAIL;
  }
  return S_OK;
}

void RPLView::DestroyPanel() {
  if (m_panelDc) {
    if (m_panelOldBitmap) SelectObject(m_panelDc, m_panelOldBitmap);
    DeleteDC(m_panelDc);
  }
  if (m_panelBitmap) DeleteObject(m_panelBitmap);
  for (HFONT& font : m_panelFonts) {
    if (font) DeleteObject(font);
    font = nullptr;
  }
  m_panelDc = nullptr;
  m_panelBitmap = nullptr;
  m_panelOldBitmap = nullptr;
  if (m_panelDropRegistered && m_panel.IsWindow()) RevokeDragDrop(m_panel);
  m_panelDropRegistered = false;
  m_panelDropTarget.Reset();
  if (m_panel.IsWindow()) {
    m_panel.UnsubclassWindow();
    HWND panel = m_panel.Detach();
    ::DestroyWindow(panel);
  }
  m_panel.Detach();
}

HRESULT RPLView::DestroyViewWindow() {
  // A HandleRename waiting on this view ends with E_FAIL.
  if (m_renameAlive) *m_renameAlive = false;
  m_renameAlive = nullptr;
  DestroyListView();
  DestroyPanel();
  if (IsWindow()) DestroyWindow();
  return S_OK;
}

HRESULT RPLView::UIActivate(UINT state) {
  if (!m_hWnd) return E_FAIL;
  if (state == SVUIA_DEACTIVATE) {
    if (m_uiState != SVUIA_DEACTIVATE) {
      m_uiState = SVUIA_DEACTIVATE;
      RemoveMergedMenus();
    }
    return S_OK;
  }
  if (state > SVUIA_INPLACEACTIVATE) return S_OK;
  if (state != m_uiState) {
    m_uiState = state;
    if (state == SVUIA_ACTIVATE_FOCUS) {
      if (m_browser) m_browser->OnViewWindowActive(this);
      SetFocusToList();
    }
  }
  MergeMenus();
  UpdateToolbarButtons();
  UpdateViewMenuChecks();
  UpdateStatusBar();
  RepaintPanel();
  return S_OK;
}

HRESULT RPLView::Refresh() {
  if (m_refreshing) return S_OK;
  m_refreshing = true;
  SaveItemPositions();
  SaveSelection();
  if (m_list.IsWindow()) m_list.SendMessage(LVM_DELETEALLITEMS);
  FreeEntries();
  HRESULT hr = ListFolder();
  FillList();
  RestoreItemPositions();
  UpdateStatusBar();
  SetWebViewOn(ShellSettings().WebViewEnabled());
  ReadModelName();
  RepaintPanel();
  RestoreSelection();
  m_refreshing = false;
  return hr;
}

HRESULT RPLView::SaveViewState() {
  if (!m_browser) return E_UNEXPECTED;
  ComPtr<IStream> stream;
  RETURN_IF_FAILED(m_browser->GetViewStateStream(STGM_WRITE, &stream));
  if (!stream) return E_FAIL;
  ViewStateData state;
  for (UINT i = 0; i < kViewColumnCount; ++i)
    state.widths[i] = static_cast<ULONG>(m_list.IsWindow() ? m_list.SendMessage(LVM_GETCOLUMNWIDTH, i) : 0);
  state.sortCommand = m_sortCommand;
  int order[kViewColumnCount] = {0, 1, 2, 3};
  if (HasExtendedListView() && m_list.IsWindow() &&
      m_list.SendMessage(LVM_GETCOLUMNORDERARRAY, kViewColumnCount, reinterpret_cast<LPARAM>(order)) &&
      IsColumnPermutation(order)) {
    for (UINT i = 0; i < kViewColumnCount; ++i) state.order[i] = order[i];
  }
  if (InIconMode()) state.positions = EncodeCurrentPositions();
  return WriteViewState(stream.Get(), state);
}

// Keys reach the list without a host that translates them first.
LRESULT RPLView::OnListKey(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  MSG msg = {m_list.Handle(), message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
  handled = m_focusKeys && ::TranslateAcceleratorW(m_hWnd, m_focusKeys, &msg);
  // Backspace goes up. Explorer's frame takes the key before the view sees it;
  // hosts without that frame leave it to the view.
  if (!handled && message == WM_KEYDOWN && wParam == VK_BACK && GetKeyState(VK_MENU) >= 0 &&
      GetKeyState(VK_CONTROL) >= 0) {
    handled = TRUE;
    BrowseTo(SBSP_PARENT | SBSP_SAMEBROWSER);
  }
  return 0;
}

LRESULT RPLView::OnSize(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  if (!m_list.IsWindow()) {
    handled = FALSE;
    return 0;
  }
  LayoutPanes(LOWORD(lParam), HIWORD(lParam));
  return 0;
}

LRESULT RPLView::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  return ::DefWindowProcW(m_hWnd, message - 0x2000, wParam, lParam);
}

void RPLView::RegisterChangeSink() {
  if (m_sink || !m_volume) return;
  IVKSNotifySink* sink = nullptr;
  if (FAILED(CreateRPLNotifySink(&m_changeTarget, m_search != nullptr, __uuidof(IVKSNotifySink),
                                 reinterpret_cast<void**>(&sink))))
    return;
  LONG token = 0;
  CBstr path(m_path);
  if (FAILED(m_volume->AddChangeNotification(path.GetBstr(), sink, &token))) {
    sink->Release();
    return;
  }
  m_sinkInterface.Attach(sink);
  m_sink = static_cast<RPLNotifySink*>(sink);
  m_sinkToken = token;
}

void RPLView::UnregisterChangeSink() {
  if (!m_sink) return;
  if (m_volume) m_volume->RemoveChangeNotification(m_sinkToken);
  m_sink->Detach();
  m_sinkInterface.Reset();
  m_sink = nullptr;
  m_sinkToken = 0;
}

void CViewChangeTarget::Refresh() { m_view->Refresh(); }
void CViewChangeTarget::RemoveRowsByName(const wchar_t* path) { m_view->RemoveItemByName(path); }

void RPLView::ReportFailure(HRESULT failure) { ShowCopyError(failure, L""); }

HRESULT CreateRPLView(const wchar_t* path, LPCITEMIDLIST folder, HWND owner, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  RPLView* view = new (std::nothrow) RPLView();
  if (!view) return E_OUTOFMEMORY;
  HRESULT hr = view->InitForFolder(path, folder, owner);
  if (SUCCEEDED(hr)) hr = view->QueryInterface(riid, out);
  view->Release();
  return hr;
}
