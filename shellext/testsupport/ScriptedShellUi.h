// testsupport/ScriptedShellUi.h - the UI seam for tests: every call recorded with its text,
// answered per kind from a queue the test fills, then by the kind's default.
#pragma once
#include <windows.h>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "Seams.h"

enum class UiCall {
  MessageBox, Dialog, PropertySheet, Menu, DragDrop, Shell, Help, Sound, OpenFile, SaveFile, BrowseFolder
};

struct UiCallRecord {
  UiCall kind;
  std::wstring text;      // message text, template name ("#123" for a number), menu items, file, sound ...
  std::wstring caption;   // message box caption, sheet caption, dialog title
  UINT flags = 0;         // message box type, menu flags, help command, sound flags, allowed effects
  HWND owner = nullptr;
  void* argument = nullptr;   // the call's own structure (OPENFILENAMEW*, SHELLEXECUTEINFOW*, HMENU ...)
};

// Installs itself for its lifetime. Calls may come from any thread.
class CScriptedShellUi final : public IShellUi {
public:
  // An action may look at and fill the call's structure; its result is the answer.
  using Action = std::function<INT_PTR(UiCallRecord& call)>;

  CScriptedShellUi();
  ~CScriptedShellUi();
  CScriptedShellUi(const CScriptedShellUi&) = delete;
  CScriptedShellUi& operator=(const CScriptedShellUi&) = delete;

  // Queued answers are used in order; after them the kind's default.
  void Answer(UiCall kind, INT_PTR value);
  void Answer(UiCall kind, Action action);
  void SetDefault(UiCall kind, INT_PTR value);

  std::vector<UiCallRecord> Calls() const;
  std::vector<UiCallRecord> Calls(UiCall kind) const;
  size_t CallCount() const;
  // For workers: true once at least count calls were made.
  bool WaitForCalls(size_t count, DWORD timeoutMs) const;

  int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override;
  INT_PTR RunDialog(HINSTANCE instance, const wchar_t* templateName, HWND owner, DLGPROC proc,
                    LPARAM param) override;
  INT_PTR RunPropertySheet(PROPSHEETHEADERW* header) override;
  UINT TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override;
  HRESULT RunDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) override;
  BOOL ExecuteShell(SHELLEXECUTEINFOW* info) override;
  BOOL ShowHelp(HWND owner, const wchar_t* file, UINT command, ULONG_PTR data) override;
  BOOL PlaySystemSound(const wchar_t* sound, UINT flags) override;
  BOOL OpenFileDialog(OPENFILENAMEW* ofn) override;
  BOOL SaveFileDialog(OPENFILENAMEW* ofn) override;
  PIDLIST_ABSOLUTE BrowseFolder(BROWSEINFOW* info) override;

private:
  struct Reply {
    INT_PTR value;
    Action action;
  };
  INT_PTR Take(UiCallRecord call);

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::vector<UiCallRecord> m_calls;
  std::map<UiCall, std::deque<Reply>> m_replies;
  std::map<UiCall, INT_PTR> m_defaults;
  IShellUi* m_previous;
};

// A menu's items as "id text" lines ("-" for a separator, "> text" for a
// popup), as the scripted UI records a tracked menu.
std::wstring MenuItemsText(HMENU menu);
