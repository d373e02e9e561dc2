// testsupport/ScriptedShellUi.cpp
#include "ScriptedShellUi.h"
#include <ole2.h>

namespace {

std::wstring Text(const wchar_t* text) { return text ? text : L""; }

std::wstring ResourceName(const wchar_t* name) {
  if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
  return Text(name);
}

}  // namespace

std::wstring MenuItemsText(HMENU menu) {
  std::wstring lines;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 255;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    if (!lines.empty()) lines += L"\n";
    if (info.fType & MFT_SEPARATOR)
      lines += L"-";
    else if (info.hSubMenu)
      lines += L"> " + std::wstring(text);
    else
      lines += std::to_wstring(info.wID) + L" " + text;
  }
  return lines;
}

CScriptedShellUi::CScriptedShellUi() : m_previous(SetShellUi(this)) {
  m_defaults = {{UiCall::MessageBox, IDOK},       {UiCall::Dialog, IDCANCEL}, {UiCall::PropertySheet, 0},
                {UiCall::Menu, 0},                {UiCall::DragDrop, DRAGDROP_S_CANCEL},
                {UiCall::Shell, FALSE},           {UiCall::Help, FALSE},      {UiCall::Sound, TRUE},
                {UiCall::OpenFile, FALSE},        {UiCall::SaveFile, FALSE},  {UiCall::BrowseFolder, 0}};
}

CScriptedShellUi::~CScriptedShellUi() { SetShellUi(m_previous); }

void CScriptedShellUi::Answer(UiCall kind, INT_PTR value) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_replies[kind].push_back({value, nullptr});
}

void CScriptedShellUi::Answer(UiCall kind, Action action) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_replies[kind].push_back({0, std::move(action)});
}

void CScriptedShellUi::SetDefault(UiCall kind, INT_PTR value) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_defaults[kind] = value;
}

std::vector<UiCallRecord> CScriptedShellUi::Calls() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_calls;
}

std::vector<UiCallRecord> CScriptedShellUi::Calls(UiCall kind) const {
  std::lock_guard<std::mutex> guard(m_lock);
  std::vector<UiCallRecord> calls;
  for (const UiCallRecord& call : m_calls)
    if (call.kind == kind) calls.push_back(call);
  return calls;
}

size_t CScriptedShellUi::CallCount() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_calls.size();
}

bool CScriptedShellUi::WaitForCalls(size_t count, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> guard(m_lock);
  return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m_calls.size() >= count; });
}

// The action runs outside the lock: it may show more UI through the seam.
INT_PTR CScriptedShellUi::Take(UiCallRecord call) {
  Reply reply = {0, nullptr};
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.push_back(call);
    auto& queue = m_replies[call.kind];
    if (queue.empty()) {
      reply.value = m_defaults[call.kind];
    } else {
      reply = queue.front();
      queue.pop_front();
    }
  }
  INT_PTR answer = reply.action ? reply.action(call) : reply.value;
  m_changed.notify_all();
  return answer;
}

int CScriptedShellUi::ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  return static_cast<int>(Take({UiCall::MessageBox, Text(text), Text(caption), type, owner, nullptr}));
}

INT_PTR CScriptedShellUi::RunDialog(HINSTANCE, const wchar_t* name, HWND owner, DLGPROC proc, LPARAM param) {
  (void)proc;
  return Take({UiCall::Dialog, ResourceName(name), L"", 0, owner, reinterpret_cast<void*>(param)});
}

INT_PTR CScriptedShellUi::RunPropertySheet(PROPSHEETHEADERW* header) {
  std::wstring caption = header && !IS_INTRESOURCE(header->pszCaption) ? Text(header->pszCaption) : L"";
  UINT pages = header ? header->nPages : 0;
  return Take({UiCall::PropertySheet, L"", caption, pages, header ? header->hwndParent : nullptr, header});
}

UINT CScriptedShellUi::TrackMenu(HMENU menu, UINT flags, int, int, HWND owner) {
  return static_cast<UINT>(Take({UiCall::Menu, MenuItemsText(menu), L"", flags, owner, menu}));
}

HRESULT CScriptedShellUi::RunDragDrop(IDataObject* data, IDropSource*, DWORD allowed, DWORD* effect) {
  if (effect) *effect = DROPEFFECT_NONE;
  UiCallRecord call{UiCall::DragDrop, L"", L"", static_cast<UINT>(allowed), nullptr, data};
  return static_cast<HRESULT>(Take(call));
}

BOOL CScriptedShellUi::ExecuteShell(SHELLEXECUTEINFOW* info) {
  std::wstring text = info ? Text(info->lpVerb) + L"|" + Text(info->lpFile) + L"|" + Text(info->lpParameters)
                           : std::wstring();
  return static_cast<BOOL>(Take({UiCall::Shell, text, L"", info ? static_cast<UINT>(info->fMask) : 0,
                                 info ? info->hwnd : nullptr, info}));
}

BOOL CScriptedShellUi::ShowHelp(HWND owner, const wchar_t* file, UINT command, ULONG_PTR data) {
  return static_cast<BOOL>(Take({UiCall::Help, Text(file), L"", command, owner, reinterpret_cast<void*>(data)}));
}

BOOL CScriptedShellUi::PlaySystemSound(const wchar_t* sound, UINT flags) {
  return static_cast<BOOL>(Take({UiCall::Sound, Text(sound), L"", flags, nullptr, nullptr}));
}

BOOL CScriptedShellUi::OpenFileDialog(OPENFILENAMEW* ofn) {
  return static_cast<BOOL>(Take({UiCall::OpenFile, ofn ? Text(ofn->lpstrFile) : L"",
                                 ofn ? Text(ofn->lpstrTitle) : L"", ofn ? ofn->Flags : 0,
                                 ofn ? ofn->hwndOwner : nullptr, ofn}));
}

BOOL CScriptedShellUi::SaveFileDialog(OPENFILENAMEW* ofn) {
  return static_cast<BOOL>(Take({UiCall::SaveFile, ofn ? Text(ofn->lpstrFile) : L"",
                                 ofn ? Text(ofn->lpstrTitle) : L"", ofn ? ofn->Flags : 0,
                                 ofn ? ofn->hwndOwner : nullptr, ofn}));
}

PIDLIST_ABSOLUTE CScriptedShellUi::BrowseFolder(BROWSEINFOW* info) {
  return reinterpret_cast<PIDLIST_ABSOLUTE>(Take({UiCall::BrowseFolder, info ? Text(info->lpszTitle) : L"", L"",
                                                  info ? info->ulFlags : 0, info ? info->hwndOwner : nullptr,
                                                  info}));
}
