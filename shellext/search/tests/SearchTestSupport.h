// search/tests/SearchTestSupport.h - what the search tests share.
#pragma once
#include <windows.h>
#include <string>
#include "ResourceModule.h"
#include "SuiteString.h"

inline std::wstring Text(const CBstr& text) {
  return text.GetBstr() ? std::wstring(text.GetBstr(), text.GetLength()) : std::wstring();
}

// The test binary carries the extension's resources as its own.
inline CResourceModule TextsIn(WORD primary, WORD sub) {
  CResourceModule texts(MAKELANGID(primary, sub));
  texts.SetModule(GetModuleHandleW(nullptr));
  return texts;
}
inline const CResourceModule& EnglishTexts() {
  static const CResourceModule texts = TextsIn(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  return texts;
}
inline const CResourceModule& GermanTexts() {
  static const CResourceModule texts = TextsIn(LANG_GERMAN, SUBLANG_GERMAN);
  return texts;
}

// A fresh folder under the temporary path, removed with its files.
class CScratchFolder {
public:
  CScratchFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    m_path = std::wstring(base) + L"vkssearch" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(++s_made);
    CreateDirectoryW(m_path.c_str(), nullptr);
  }
  ~CScratchFolder() {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do DeleteFileW((m_path + L"\\" + data.cFileName).c_str());
      while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(m_path.c_str());
  }
  std::wstring File(const wchar_t* name) const { return m_path + L"\\" + name; }
  const std::wstring& Path() const { return m_path; }

private:
  static inline int s_made = 0;
  std::wstring m_path;
};

#include <vector>
#include "Seams.h"

// Records the message boxes and answers each with answer; every other modal
// UI fails at once.
class CRecordingUi final : public IShellUi {
public:
  struct Box {
    std::wstring text;
    std::wstring caption;
    UINT type;
  };
  CRecordingUi() { m_previous = SetShellUi(this); }
  ~CRecordingUi() { SetShellUi(m_previous); }
  std::vector<Box> boxes;
  int answer = IDOK;

  int ShowMessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type) override {
    boxes.push_back({text ? text : L"", caption ? caption : L"", type});
    return answer;
  }
  INT_PTR RunDialog(HINSTANCE, const wchar_t*, HWND, DLGPROC, LPARAM) override { return -1; }
  INT_PTR RunPropertySheet(PROPSHEETHEADERW*) override { return -1; }
  UINT TrackMenu(HMENU, UINT, int, int, HWND) override { return 0; }
  HRESULT RunDragDrop(IDataObject*, IDropSource*, DWORD, DWORD* effect) override {
    if (effect) *effect = DROPEFFECT_NONE;
    return E_FAIL;
  }
  BOOL ExecuteShell(SHELLEXECUTEINFOW*) override { return FALSE; }
  BOOL ShowHelp(HWND, const wchar_t*, UINT, ULONG_PTR) override { return FALSE; }
  BOOL PlaySystemSound(const wchar_t*, UINT) override { return FALSE; }
  BOOL OpenFileDialog(OPENFILENAMEW*) override { return FALSE; }
  BOOL SaveFileDialog(OPENFILENAMEW*) override { return FALSE; }
  PIDLIST_ABSOLUTE BrowseFolder(BROWSEINFOW*) override { return nullptr; }

private:
  IShellUi* m_previous;
};
