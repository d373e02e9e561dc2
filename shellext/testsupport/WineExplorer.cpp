// testsupport/WineExplorer.cpp
#include "WineExplorer.h"
#include <commctrl.h>
#include <functional>

const wchar_t kModuleLocation[] =
    L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}";

namespace {

const SIZE_T kRemoteBytes = 4096;
const int kTextUnits = 1024;   // the text buffer follows the LVITEMW

// Polls a state of another process; the other process needs no help from us.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

struct FindRecord {
  const wchar_t* className;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* record = reinterpret_cast<FindRecord*>(param);
  wchar_t name[64] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == record->processId && GetClassNameW(window, name, 64) && lstrcmpW(name, record->className) == 0) {
    record->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindChild(HWND window, LPARAM param) {
  auto* record = reinterpret_cast<FindRecord*>(param);
  wchar_t name[64] = {};
  if (GetClassNameW(window, name, 64) && lstrcmpW(name, record->className) == 0) {
    record->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND Descendant(HWND parent, const wchar_t* className) {
  FindRecord record = {className, 0, nullptr};
  if (parent) EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&record));
  return record.found;
}

}  // namespace

CRemoteListView::CRemoteListView(HWND list) : m_list(list) {
  DWORD processId = 0;
  if (!list || !GetWindowThreadProcessId(list, &processId)) return;
  m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (m_process) m_memory = VirtualAllocEx(m_process, nullptr, kRemoteBytes, MEM_COMMIT, PAGE_READWRITE);
}

CRemoteListView::~CRemoteListView() {
  if (m_memory) VirtualFreeEx(m_process, m_memory, 0, MEM_RELEASE);
  if (m_process) CloseHandle(m_process);
}

int CRemoteListView::Count() const {
  return m_list ? static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring CRemoteListView::Text(int item, int column) const {
  if (!m_memory) return std::wstring();
  BYTE* remote = static_cast<BYTE*>(m_memory);
  LVITEMW request = {};
  request.iSubItem = column;
  request.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
  request.cchTextMax = kTextUnits;
  if (!WriteProcessMemory(m_process, remote, &request, sizeof request, nullptr)) return std::wstring();
  LRESULT length = SendMessageW(m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote));
  if (length <= 0) return std::wstring();
  if (length > kTextUnits - 1) length = kTextUnits - 1;
  // The list may answer with a pointer of its own instead of filling ours.
  LVITEMW answered = {};
  if (!ReadProcessMemory(m_process, remote, &answered, sizeof answered, nullptr)) return std::wstring();
  std::wstring text(static_cast<size_t>(length), L'\0');
  if (!ReadProcessMemory(m_process, answered.pszText, &text[0], static_cast<SIZE_T>(length) * sizeof(wchar_t),
                         nullptr))
    return std::wstring();
  return text;
}

std::vector<std::wstring> CRemoteListView::Column(int column) const {
  std::vector<std::wstring> texts;
  for (int i = 0, count = Count(); i < count; ++i) texts.push_back(Text(i, column));
  return texts;
}

int CRemoteListView::SelectByName(const std::wstring& name) const {
  if (!m_memory) return -1;
  std::vector<std::wstring> names = Column(0);
  int row = -1;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) row = static_cast<int>(i);
  if (row < 0) return -1;
  LVITEMW state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  WriteProcessMemory(m_process, m_memory, &state, sizeof state, nullptr);
  SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(m_memory));
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  WriteProcessMemory(m_process, m_memory, &state, sizeof state, nullptr);
  SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(m_memory));
  return row;
}

CWineExplorer::~CWineExplorer() {
  if (m_process.hProcess) Close();
}

bool CWineExplorer::Start(DWORD timeoutMs) {
  wchar_t command[] = L"explorer.exe";
  STARTUPINFOW startup = {sizeof startup};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
    return false;
  return WaitUntil(
      [this] {
        FindRecord record = {L"ExplorerWClass", m_process.dwProcessId, nullptr};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&record));
        m_window = record.found;
        // Ready once its first folder is shown: a location typed before that
        // would be overtaken by the start's own navigation.
        return m_window && Descendant(m_window, L"ComboBoxEx32") && Descendant(m_window, L"SHELLDLL_DefView");
      },
      timeoutMs);
}

bool CWineExplorer::Navigate(const wchar_t* location) {
  HWND combo = Descendant(m_window, L"ComboBoxEx32");
  HWND edit = combo ? reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0)) : nullptr;
  if (!edit) return false;
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(location));
  return PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1) != FALSE;
}

HWND CWineExplorer::ViewList() const {
  return Descendant(Descendant(m_window, L"VKS View Window"), L"SysListView32");
}

std::string CWineExplorer::WindowClasses() const {
  std::string classes;
  auto add = [](HWND window, LPARAM param) -> BOOL {
    char name[64] = {};
    GetClassNameA(window, name, 64);
    *reinterpret_cast<std::string*>(param) += std::string(name) + " ";
    return TRUE;
  };
  if (m_window) {
    add(m_window, reinterpret_cast<LPARAM>(&classes));
    EnumChildWindows(m_window, add, reinterpret_cast<LPARAM>(&classes));
  }
  return classes;
}

std::vector<std::wstring> CWineExplorer::Rows() const { return CRemoteListView(ViewList()).Column(0); }

bool CWineExplorer::WaitForRows(const std::vector<std::wstring>& names, DWORD timeoutMs) const {
  return WaitUntil([&] { return Rows() == names; }, timeoutMs);
}

bool CWineExplorer::PressOnRow(const std::wstring& name, UINT key) {
  if (CRemoteListView(ViewList()).SelectByName(name) < 0) return false;
  return PressInList(key);
}

bool CWineExplorer::PressInList(UINT key) {
  HWND list = ViewList();
  return list && PostMessageW(list, WM_KEYDOWN, key, 1) && PostMessageW(list, WM_KEYUP, key, 0xC0000001);
}

int CWineExplorer::Close(DWORD timeoutMs) {
  if (!m_process.hProcess) return -1;
  if (m_window) PostMessageW(m_window, WM_CLOSE, 0, 0);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(m_process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(m_process.hProcess, &code);
  } else {
    TerminateProcess(m_process.hProcess, 1);
    WaitForSingleObject(m_process.hProcess, 5000);
    code = static_cast<DWORD>(-1);
  }
  CloseHandle(m_process.hProcess);
  CloseHandle(m_process.hThread);
  m_process = {};
  m_window = nullptr;
  return static_cast<int>(code);
}
