// testsupport/WineExplorer.h - Wine's own explorer.exe as a host of the view:
// started in the test prefix, driven through its location box and the keys of
// the hosted list, its rows read from this process, and ended.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// "::{My Computer}\::{our folder}": the location of the module's root.
extern const wchar_t kModuleLocation[];

// A list view of another process, read and driven through memory placed in
// that process.
class CRemoteListView {
public:
  explicit CRemoteListView(HWND list);
  ~CRemoteListView();
  CRemoteListView(const CRemoteListView&) = delete;
  CRemoteListView& operator=(const CRemoteListView&) = delete;

  bool IsOpen() const { return m_memory != nullptr; }
  int Count() const;
  std::wstring Text(int item, int column = 0) const;
  std::vector<std::wstring> Column(int column = 0) const;
  // Only this row selected and focused; -1 when the name is not listed.
  int SelectByName(const std::wstring& name) const;

private:
  HWND m_list;
  HANDLE m_process = nullptr;
  void* m_memory = nullptr;
};

class CWineExplorer {
public:
  CWineExplorer() = default;
  ~CWineExplorer();
  CWineExplorer(const CWineExplorer&) = delete;
  CWineExplorer& operator=(const CWineExplorer&) = delete;

  // Starts explorer.exe and waits for its window.
  bool Start(DWORD timeoutMs = 20000);
  HWND Window() const { return m_window; }
  DWORD ProcessId() const { return m_process.dwProcessId; }
  // Types the location into the location box and presses Enter there.
  bool Navigate(const wchar_t* location);
  // The list of the extension's view hosted now; null when none.
  HWND ViewList() const;
  // Waits until the hosted view's list shows these names in this order
  // (its first column); false after the timeout.
  bool WaitForRows(const std::vector<std::wstring>& names, DWORD timeoutMs = 20000) const;
  // The names the hosted view's list shows now.
  std::vector<std::wstring> Rows() const;
  // The classes of the window and its descendants, for failure messages.
  std::string WindowClasses() const;
  // Selects the named row and presses the key in the view's list.
  bool PressOnRow(const std::wstring& name, UINT key);
  bool PressInList(UINT key);
  // Closes the window and waits for the process; its exit code, or -1 when it
  // had to be ended by force.
  int Close(DWORD timeoutMs = 20000);

private:
  PROCESS_INFORMATION m_process = {};
  HWND m_window = nullptr;
};
