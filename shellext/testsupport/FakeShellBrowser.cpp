// testsupport/FakeShellBrowser.cpp
#include "FakeShellBrowser.h"
#include <commctrl.h>

const UINT kBrowserFileCommands[5] = {40995, 40996, 40997, 40998, 41029};

namespace {

std::string StreamBytes(IStream* stream) {
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream, &memory))) return std::string();
  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  const char* bytes = static_cast<const char*>(GlobalLock(memory));
  std::string copy(bytes ? bytes : "", bytes ? static_cast<size_t>(stat.cbSize.QuadPart) : 0);
  GlobalUnlock(memory);
  return copy;
}

void AddItem(HMENU menu, UINT id, const wchar_t* text) { AppendMenuW(menu, MF_STRING, id, text); }

// A popup of the bar carrying its FCIDM_MENU_* id.
void AddPopup(HMENU bar, HMENU popup, UINT id, const wchar_t* title) {
  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
  info.wID = id;
  info.hSubMenu = popup;
  info.dwTypeData = const_cast<wchar_t*>(title);
  InsertMenuItemW(bar, static_cast<UINT>(GetMenuItemCount(bar)), TRUE, &info);
}

}  // namespace

CFakeShellBrowser::CFakeShellBrowser(bool hasTree) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  m_frame.Create(nullptr, RECT{0, 0, 640, 480}, L"Fake Explorer", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
  m_status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, m_frame,
                             reinterpret_cast<HMENU>(1), nullptr, nullptr);
  m_toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, 0, 0, m_frame,
                              reinterpret_cast<HMENU>(2), nullptr, nullptr);
  if (m_toolbar) SendMessageW(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (hasTree)
    m_tree = CreateWindowExW(0, L"STATIC", L"tree", WS_CHILD, 0, 0, 10, 10, m_frame, reinterpret_cast<HMENU>(3),
                             nullptr, nullptr);
}

CFakeShellBrowser::~CFakeShellBrowser() {
  CloseView();
  CollectWrites();
  m_frame.DestroyWindow();
  if (m_menu && !IsMenu(m_menu)) m_menu = nullptr;
}

RECT CFakeShellBrowser::ViewRect() const {
  RECT rect = {0, 0, 640, 400};
  if (m_frame.m_hWnd) GetClientRect(m_frame, &rect);
  rect.top += 30;
  rect.bottom -= 20;
  return rect;
}

HRESULT CFakeShellBrowser::ShowView(IShellView* view, UINT viewMode, UINT flags) {
  if (!view) return E_POINTER;
  CloseView();
  FOLDERSETTINGS settings = {viewMode, flags};
  RECT rect = ViewRect();
  HWND window = nullptr;
  HRESULT hr = view->CreateViewWindow(nullptr, &settings, this, &rect, &window);
  if (FAILED(hr)) return hr;
  view->AddRef();
  m_view = view;
  m_viewWindow = window;
  view->UIActivate(SVUIA_ACTIVATE_FOCUS);
  return hr;
}

void CFakeShellBrowser::CloseView() {
  if (!m_view) return;
  IShellView* view = m_view;
  m_view = nullptr;
  view->UIActivate(SVUIA_DEACTIVATE);
  view->SaveViewState();
  view->DestroyViewWindow();
  view->Release();
  m_viewWindow = nullptr;
}

void CFakeShellBrowser::CollectWrites() {
  for (auto& write : m_writes) {
    m_states[write.first] = StreamBytes(write.second);
    write.second->Release();
  }
  m_writes.clear();
}

bool CFakeShellBrowser::ViewState(const std::wstring& key, std::string* bytes) {
  CollectWrites();
  auto found = m_states.find(key);
  if (found == m_states.end()) return false;
  if (bytes) *bytes = found->second;
  return true;
}

void CFakeShellBrowser::SetViewState(const std::wstring& key, const std::string& bytes) {
  CollectWrites();
  m_states[key] = bytes;
}

STDMETHODIMP CFakeShellBrowser::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IShellBrowser)) {
    *ppv = static_cast<IShellBrowser*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CFakeShellBrowser::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = m_frame;
  return *window ? S_OK : E_FAIL;
}

// File, Edit, View and Help, each with items the view may look for by id.
STDMETHODIMP CFakeShellBrowser::InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) {
  calls.push_back(L"InsertMenusSB");
  if (!shared) return E_INVALIDARG;
  HMENU file = CreatePopupMenu();
  for (UINT id : kBrowserFileCommands) AddItem(file, id, (L"Browser " + std::to_wstring(id)).c_str());
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AddItem(file, 41000, L"&Close");
  HMENU edit = CreatePopupMenu();
  AddItem(edit, 41001, L"&Undo");
  HMENU view = CreatePopupMenu();
  AddItem(view, 41002, L"&Toolbars");
  AppendMenuW(view, MF_SEPARATOR, FCIDM_MENU_VIEW_SEP_OPTIONS, nullptr);
  AddItem(view, 41003, L"&Options...");
  HMENU help = CreatePopupMenu();
  AddItem(help, 41004, L"&About");
  AddPopup(shared, file, FCIDM_MENU_FILE, L"&File");
  AddPopup(shared, edit, FCIDM_MENU_EDIT, L"&Edit");
  AddPopup(shared, view, FCIDM_MENU_VIEW, L"&View");
  AddPopup(shared, help, FCIDM_MENU_HELP, L"&Help");
  if (widths) {
    widths->width[0] = 2;   // File, Edit
    widths->width[2] = 1;   // View
    widths->width[4] = 1;   // Help
  }
  return S_OK;
}

STDMETHODIMP CFakeShellBrowser::SetMenuSB(HMENU shared, HOLEMENU, HWND) {
  calls.push_back(L"SetMenuSB");
  if (FAILED(setMenuResult)) return setMenuResult;
  m_menu = shared;
  SetMenu(m_frame, shared);
  return S_OK;
}

// Takes back the four popups it inserted; the view's own stay with the bar.
STDMETHODIMP CFakeShellBrowser::RemoveMenusSB(HMENU shared) {
  calls.push_back(L"RemoveMenusSB");
  if (!shared) return E_INVALIDARG;
  for (UINT id : {FCIDM_MENU_FILE, FCIDM_MENU_EDIT, FCIDM_MENU_VIEW, FCIDM_MENU_HELP}) {
    HMENU popup = nullptr;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_SUBMENU;
    if (GetMenuItemInfoW(shared, id, FALSE, &info)) popup = info.hSubMenu;
    if (RemoveMenu(shared, id, MF_BYCOMMAND) && popup) DestroyMenu(popup);
  }
  if (m_menu == shared) {
    SetMenu(m_frame, nullptr);
    m_menu = nullptr;
  }
  return S_OK;
}

STDMETHODIMP CFakeShellBrowser::SetStatusTextSB(LPCWSTR text) {
  calls.push_back(L"SetStatusTextSB " + std::wstring(text ? text : L""));
  SendMessageW(m_status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  return S_OK;
}

STDMETHODIMP CFakeShellBrowser::EnableModelessSB(BOOL enable) {
  calls.push_back(std::wstring(L"EnableModelessSB ") + (enable ? L"1" : L"0"));
  return S_OK;
}

STDMETHODIMP CFakeShellBrowser::BrowseObject(PCUIDLIST_RELATIVE itemIds, UINT flags) {
  wchar_t text[32];
  swprintf(text, 32, L"BrowseObject 0x%X", flags);
  calls.push_back(text);
  BrowseRecord record{{}, flags};
  if (itemIds) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(itemIds);
    UINT size = ILGetSize(itemIds);
    record.itemIds.assign(bytes, bytes + size);
  }
  browsed.push_back(record);
  return S_OK;
}

STDMETHODIMP CFakeShellBrowser::GetViewStateStream(DWORD mode, IStream** stream) {
  wchar_t text[48];
  swprintf(text, 48, L"GetViewStateStream 0x%X", static_cast<unsigned>(mode));
  calls.push_back(text);
  if (!stream) return E_POINTER;
  *stream = nullptr;
  if (FAILED(viewStateResult)) return viewStateResult;
  CollectWrites();
  IStream* memory = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
  if (FAILED(hr)) return hr;
  if ((mode & (STGM_WRITE | STGM_READWRITE)) != 0) {
    // What the view writes is taken when the test or the next view asks.
    memory->AddRef();
    m_writes.emplace_back(m_folder, memory);
  } else {
    auto found = m_states.find(m_folder);
    if (found == m_states.end()) {
      memory->Release();
      return STG_E_FILENOTFOUND;
    }
    ULONG written = 0;
    memory->Write(found->second.data(), static_cast<ULONG>(found->second.size()), &written);
    LARGE_INTEGER start = {};
    memory->Seek(start, STREAM_SEEK_SET, nullptr);
  }
  *stream = memory;
  return S_OK;
}

HWND CFakeShellBrowser::ControlWindow(UINT id) const {
  switch (id) {
  case FCW_STATUS: return m_status;
  case FCW_TOOLBAR: return m_toolbar;
  case FCW_TREE: return m_tree;
  default: return nullptr;
  }
}

STDMETHODIMP CFakeShellBrowser::GetControlWindow(UINT id, HWND* window) {
  calls.push_back(L"GetControlWindow " + std::to_wstring(id));
  if (!window) return E_POINTER;
  *window = ControlWindow(id);
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP CFakeShellBrowser::SendControlMsg(UINT id, UINT message, WPARAM wParam, LPARAM lParam,
                                               LRESULT* result) {
  HWND control = ControlWindow(id);
  LRESULT answer = control ? SendMessageW(control, message, wParam, lParam) : 0;
  controlMessages.push_back({id, message, wParam, lParam, answer});
  if (result) *result = answer;
  return control ? S_OK : E_FAIL;
}

STDMETHODIMP CFakeShellBrowser::QueryActiveShellView(IShellView** view) {
  if (!view) return E_POINTER;
  *view = m_view;
  if (!m_view) return E_FAIL;
  m_view->AddRef();
  return S_OK;
}

STDMETHODIMP CFakeShellBrowser::OnViewWindowActive(IShellView*) {
  calls.push_back(L"OnViewWindowActive");
  return S_OK;
}

// The browser has no buttons of its own: each call replaces the view's.
STDMETHODIMP CFakeShellBrowser::SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) {
  calls.push_back(L"SetToolbarItems " + std::to_wstring(count) + L" " + std::to_wstring(flags));
  while (SendMessageW(m_toolbar, TB_BUTTONCOUNT, 0, 0) > 0)
    if (!SendMessageW(m_toolbar, TB_DELETEBUTTON, 0, 0)) break;
  toolbarItems.clear();
  if (buttons && count) {
    toolbarItems.assign(buttons, buttons + count);
    SendMessageW(m_toolbar, TB_ADDBUTTONSW, count, reinterpret_cast<LPARAM>(buttons));
  }
  return S_OK;
}
