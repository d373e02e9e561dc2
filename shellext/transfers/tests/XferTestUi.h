// transfers/tests/XferTestUi.h - a UI seam that records every box and dialog
// and answers from a script, and a volume whose changing calls the test sets.
#pragma once
#include <windows.h>
#include <deque>
#include <functional>
#include <string>
#include <vector>
#include "ScriptedVolume.h"
#include "Seams.h"

class CXferTestUi final : public IShellUi {
public:
  struct Shown {
    std::wstring text;       // box text, or "dialog <id>"
    std::wstring caption;
    UINT type;
    HWND owner;
  };
  std::vector<Shown> shown;
  std::deque<INT_PTR> answers;   // taken in order; IDOK when none is left
  std::vector<std::wstring> sounds;
  // Sees each dialog's template id and parameter while the call runs.
  std::function<void(UINT id, LPARAM param)> onDialog;

  CXferTestUi() { m_previous = SetShellUi(this); }
  ~CXferTestUi() { SetShellUi(m_previous); }

  int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
    shown.push_back({text ? text : L"", caption ? caption : L"", type, owner});
    return static_cast<int>(Next());
  }
  INT_PTR RunDialog(HINSTANCE, const wchar_t* name, HWND owner, DLGPROC, LPARAM param) override {
    if (onDialog) onDialog(static_cast<UINT>(reinterpret_cast<UINT_PTR>(name)), param);
    shown.push_back({L"dialog " + std::to_wstring(reinterpret_cast<UINT_PTR>(name)), L"", 0, owner});
    return Next();
  }
  INT_PTR RunPropertySheet(PROPSHEETHEADERW*) override { return -1; }
  UINT TrackMenu(HMENU, UINT, int, int, HWND) override { return 0; }
  // A drag runs as the test says; without it the drag is not there.
  std::function<HRESULT(IDataObject*, IDropSource*, DWORD allowed, DWORD* effect)> onDragDrop;
  HRESULT RunDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) override {
    return onDragDrop ? onDragDrop(data, source, allowed, effect) : E_NOTIMPL;
  }
  BOOL ExecuteShell(SHELLEXECUTEINFOW*) override { return FALSE; }
  BOOL ShowHelp(HWND, const wchar_t*, UINT, ULONG_PTR) override { return FALSE; }
  BOOL PlaySystemSound(const wchar_t* sound, UINT) override {
    sounds.push_back(sound ? sound : L"");
    return TRUE;
  }
  BOOL OpenFileDialog(OPENFILENAMEW*) override { return FALSE; }
  BOOL SaveFileDialog(OPENFILENAMEW*) override { return FALSE; }
  PIDLIST_ABSOLUTE BrowseFolder(BROWSEINFOW*) override { return nullptr; }

private:
  INT_PTR Next() {
    if (answers.empty()) return IDOK;
    const INT_PTR answer = answers.front();
    answers.pop_front();
    return answer;
  }
  IShellUi* m_previous;
};

// The calls of a volume that change something, in order (listings left out).
inline std::vector<std::wstring> ChangingCalls(const CScriptedVolume& volume) {
  std::vector<std::wstring> changing;
  for (const std::wstring& call : volume.Calls())
    if (call.compare(0, 10, L"GetEntries") != 0) changing.push_back(call);
  return changing;
}

// The four calls the command wrappers make, answering what the test set.
class CCommandVolume final : public CFakeVolume {
public:
  HRESULT answer = S_OK;
  const wchar_t* error = nullptr;      // description left with a failure
  std::vector<std::wstring> calls;

  STDMETHODIMP SetLabel(BSTR volume, BSTR label) override { return Answer(L"SetLabel", volume, label); }
  STDMETHODIMP SetAttributes(BSTR path, LONG attributes) override {
    return Answer(L"SetAttributes", path, std::to_wstring(attributes).c_str());
  }
  STDMETHODIMP CreateStdDirs(BSTR volume) override { return Answer(L"CreateStdDirs", volume, nullptr); }
  STDMETHODIMP Format(BSTR volume) override { return Answer(L"Format", volume, nullptr); }

private:
  HRESULT Answer(const wchar_t* method, const wchar_t* a, const wchar_t* b) {
    calls.push_back(std::wstring(method) + L" " + (a ? a : L"") + (b ? std::wstring(L" ") + b : L""));
    if (FAILED(answer) && error) SetThreadError(error);
    return answer;
  }
};
