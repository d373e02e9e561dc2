// search/SearchDialog.h - the "Find File" window: a form of three pages, a
// result list that grows below it, menus and saved searches; one thread per
// window, and the count that StartSearch waits on.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "ModelessDialog.h"
#include "RPLView.h"
#include "SearchConfiguration.h"
#include "SearchEngine.h"
#include "SearchSettings.h"
#include "SuiteString.h"
#include "VKSServer.h"

class SearchPageDialog;

// Openers running plus window threads alive.
LONG SearchActivityCount();
// The extended common controls when comctl32 is 4.70 or later, else FALSE.
BOOL InitExtendedControls();

class RPLSearchDialog final : public CModelessDialog,
                              public ISearchSink,
                              public ISearchItemSource,
                              public ISearchViewHost {
public:
  RPLSearchDialog(const wchar_t* configurationPath, const wchar_t* startFolder);
  ~RPLSearchDialog() override;

  // Handed over between the opener and the window thread.
  IVKSVolume* volume = nullptr;
  HRESULT initResult = E_FAIL;
  HANDLE readyEvent = nullptr;     // made here, closed by the opener
  HRESULT* startResult = nullptr;  // the opener's copy of initResult
  volatile LONG endFlag = 0;
  IUnknown* explorerReference = nullptr;
  BOOL extendedControls = FALSE;
  CBstr configurationPath;
  CBstr startFolder;
  SearchSettings criteria;

  // The current result list, null when none.
  IShellView* resultViewInterface = nullptr;
  RPLView* resultView = nullptr;
  // Name, date and additional page, in tab order; null when missing.
  SearchPageDialog* pages[3] = {};
  volatile LONG stopFlag = 0;
  BOOL searching = FALSE;
  BOOL resultsShown = FALSE;
  int collapsedHeight = 0;
  int formHeight = 0;
  HWND statusBar = nullptr;

  HWND Create();
  void RunMessageLoop();
  void RouteMessage(MSG* message);
  void DeletePages();

  // ISearchSink: the engine's view of the window.
  bool IsStopped() override { return stopFlag != 0; }
  void PumpMessages() override;
  void SetStatusText(const wchar_t* text) override { SetStatusText(text, FALSE, FALSE); }
  void AddHit(LPCITEMIDLIST item) override;
  HWND GetOwner() override { return m_hWnd; }
  void SetStatusText(const wchar_t* text, BOOL simple, BOOL keepText);
  HMENU GetMenuPopup(int position) const;
  HMENU GetNestedMenuPopup(int position, int subPosition) const;
  // ISearchItemSource: the rows of the result list in display order.
  int GetItemCount() override;
  HRESULT GetItem(int index, LPCITEMIDLIST* item) override;
  // ISearchViewHost
  HWND SearchWindow() override { return m_hWnd; }
  // The result list of a search from no folder is that of the root, not the
  // drive list (which takes no search hits).
  CBstr SearchPath() override { return criteria.path.GetLength() ? criteria.path : CBstr(L"\\"); }
  HMENU SearchMenu() override { return m_menu; }
  void ResetSearchStatus() override { SetStatusText(L"", FALSE, TRUE); }
  void OpenSearchItems(const CItemIDList* items, int count, IVKSVolume* volume) override;

  void CollectSettings();
  void UpdateTitle();
  void UpdateOptionChecks();
  void UpdateFoundCount();
  void ShowCurrentPage();
  void ShowResultView();
  void HideResultView();
  void RestoreFileMenu();
  void LoadConfiguration(const wchar_t* path);
  void OnStart();
  void DoSearch();
  void OnNewSearch();
  void OnSaveSearch();
  void OnLoadSearch();

  BEGIN_MSG_MAP(RPLSearchDialog)
    MESSAGE_HANDLER(WM_MENUSELECT, OnMenuSelect)
    MESSAGE_HANDLER(WM_EXITMENULOOP, OnExitMenuLoop)
    MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_HANDLER(WM_GETMINMAXINFO, OnGetMinMaxInfo)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    NOTIFY_HANDLER(12320, TCN_SELCHANGE, OnTabChanged)
  END_MSG_MAP()

private:
  LRESULT OnMenuSelect(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnExitMenuLoop(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInitMenuPopup(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnGetMinMaxInfo(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTabChanged(int, NMHDR*, BOOL&) {
    ShowCurrentPage();
    return 0;
  }
  void SetupMenus();
  void CreatePages();
  void SwitchPage(int step);
  void DropResultView();
  // The result list's own handling of a menu message.
  void ForwardToView(UINT message, WPARAM wParam, LPARAM lParam);
  RECT GetResultRect() const;
  bool AskFileName(bool save, wchar_t* file, UINT titleId);
  void WriteSaveResult();

  HMENU m_menu = nullptr;
  HMENU m_optionsPopup = nullptr;
  HMENU m_filePopup = nullptr;
  HMENU m_filePopupCopy = nullptr;
  int m_buttonMargin = 0;
  int m_animationMargin = 0;
  int m_tabMargin = 0;
  BOOL m_layoutReady = FALSE;
  HACCEL m_listAccelerators = nullptr;
  HACCEL m_windowAccelerators = nullptr;
};

// S_OK once the window exists, else the failure (nothing is shown).
HRESULT OpenSearchWindow(const wchar_t* configurationPath, const wchar_t* startFolder);
DWORD WINAPI SearchDialogThread(void* dialog);
