// namespace/RPLView.h - the folder view Explorer shows for the module root,
// a drive or a folder, and the result list of the search window. The class
// spans several files: RPLView.cpp (windows and lifecycle), ViewList.cpp
// (rows, texts, sorting, selection), RPLViewCommands.cpp (commands, status
// bar), RPLViewMenus.cpp (menus, toolbar and panel painting).
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ComCore.h"
#include "ItemIDList.h"
#include "ModuleViewCallback.h"
#include "SuiteString.h"
#include "VKSServer.h"
#include "ViewPositions.h"
#include "ViewSettings.h"
#include "ViewState.h"
#include "Window.h"

// {EE71BF80-DA05-11D3-BA80-00C0CA16AA37}: the id GetView gives and
// CreateViewWindow2 accepts.
extern const GUID kRPLViewId;

// Control ids of the view's children.
const UINT kFileListId = 1;
const UINT kPanelId = 2;
const UINT kDriveListId = 3;

// What a view asks of the search window whose result list it is.
struct ISearchViewHost {
  virtual HWND SearchWindow() = 0;
  virtual CBstr SearchPath() = 0;
protected:
  ~ISearchViewHost() = default;
};

class RPLNotifySink;
class RPLView;

// The change sink's way back into its view (whose own Refresh is the
// IShellView one).
class CViewChangeTarget final : public IModuleViewCallback {
public:
  explicit CViewChangeTarget(RPLView* view) : m_view(view) {}
  void Refresh() override;
  void RemoveRowsByName(const wchar_t* path) override;

private:
  RPLView* m_view;
};

class RPLView final : public CWindowImpl,
                      public IShellView2,
                      public CComObjectBase {
public:
  COM_QI_TABLE(RPLView, IShellView2, IShellView, IOleWindow)

  RPLView();
  ~RPLView() override;

  // Given once; path "" lists the drives, folder is the absolute list.
  HRESULT InitForFolder(const wchar_t* path, LPCITEMIDLIST folder, HWND owner);
  HRESULT InitForSearch(ISearchViewHost* search);
  HRESULT CreateSearchResultWindow(const RECT* rect);

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellView
  STDMETHODIMP TranslateAccelerator(MSG* message) override;
  STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP UIActivate(UINT state) override;
  STDMETHODIMP Refresh() override;
  STDMETHODIMP CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                RECT* rect, HWND* window) override;
  STDMETHODIMP DestroyViewWindow() override;
  STDMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS settings) override;
  STDMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  STDMETHODIMP SaveViewState() override;
  STDMETHODIMP SelectItem(PCUITEMID_CHILD item, SVSIF flags) override;
  STDMETHODIMP GetItemObject(UINT kind, REFIID riid, void** out) override;
  // IShellView2
  STDMETHODIMP GetView(SHELLVIEWID* id, ULONG kind) override;
  STDMETHODIMP CreateViewWindow2(LPSV2CVW2_PARAMS params) override;
  STDMETHODIMP HandleRename(PCUITEMID_CHILD item) override;
  STDMETHODIMP SelectAndPositionItem(PCUITEMID_CHILD item, UINT flags, POINT* point) override;

  // From the change sink: a search view drops the row of a deleted item.
  void RemoveItemByName(const wchar_t* name);

  // Rows and texts.
  static int CALLBACK CompareListItems(LPARAM item1, LPARAM item2, LPARAM sort);
  LRESULT OnGetDispInfo(UINT controlId, NMLVDISPINFOW* info);
  HRESULT AddItem(LPCITEMIDLIST item);
  HRESULT GetAllItems(CItemIDList** items, int* count);
  HRESULT GetSelectedItems(CItemIDList** items, int* count);
  HRESULT SelectAll();
  void UpdateStatusBar();
  LRESULT OnCommand(WORD code, WORD id, HWND control, BOOL& handled);
  HWND ListWindow() const { return m_list.Handle(); }
  UINT ListId() const { return m_listId; }
  UINT SortCommand() const { return m_sortCommand; }
  int EntryCount() const { return m_entryCount; }
  bool IsSearchView() const { return m_search != nullptr; }
  // For the search window: its list greyed while a search runs, its row
  // count and rows in display order, and whether the focus is in the view.
  void EnableListView();
  void DisableListView();
  int GetListItemCount() const;
  LPCITEMIDLIST GetListItem(int row) const;
  bool HasFocus() const;

  BEGIN_MSG_MAP(RPLView)
    NOTIFY_CODE_HANDLER(LVN_COLUMNCLICK, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_GETDISPINFOW, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_ITEMCHANGED, OnListNotify)
    NOTIFY_CODE_HANDLER(NM_SETFOCUS, OnListNotify)
    MESSAGE_HANDLER(WM_COMMAND, OnCommandMessage)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_RANGE_HANDLER(0x2000, 0x2FFF, OnReflected)
  ALT_MSG_MAP(1)
    MESSAGE_HANDLER(WM_KEYDOWN, OnListKey)
    MESSAGE_HANDLER(WM_SYSKEYDOWN, OnListKey)
  ALT_MSG_MAP(2)
  ALT_MSG_MAP(3)
    MESSAGE_HANDLER(WM_KEYDOWN, OnListKey)
    MESSAGE_HANDLER(WM_SYSKEYDOWN, OnListKey)
  END_MSG_MAP()

protected:
  const wchar_t* WindowClassName() const override { return L"VKS View Window"; }
  void FillWindowClass(WNDCLASSEXW& windowClass) const override;

private:
  ViewListKind ListKind() const;
  // Windows.
  HRESULT CreateListView(const ULONG widths[kViewColumnCount], bool withState);
  void DestroyListView();
  HRESULT CreateWebViewPanel();
  void DestroyPanel();
  void LayoutPanes(int width, int height);
  HRESULT CreateOwnWindow(HWND parent, const RECT& rect);
  void ApplyColumnOrder(const int order[kViewColumnCount]);
  // Entries and rows.
  HRESULT ListFolder();
  void FreeEntries();
  void FillList();
  void AddEntryRow(int entry, int position);
  void AddDriveRow(int entry, int position);
  void SetSubItemTexts(int row, const CItemIDList& entry);
  CBstr SubItemText(const CItemIDList& entry, int subItem) const;
  void SortRows();
  const CItemIDList* RowEntry(int row) const;
  int RowCount() const;
  std::vector<ItemPosition> RowPositions() const;
  void SaveItemPositions();
  void RestoreItemPositions();
  void SaveSelection();
  void RestoreSelection();
  std::vector<BYTE> EncodeCurrentPositions() const;
  void PlaceSavedPositions(const std::vector<BYTE>& buffer);
  CItemIDList* GetFocusedItem();
  bool InIconMode() const;
  // Change sink.
  void RegisterChangeSink();
  void UnregisterChangeSink();
  // Commands.
  void SortBy(UINT command);
  void OnColumnClick(int column);
  void BrowseTo(UINT flags);
  void RefreshCommand();
  void InvertSelection();
  void SetFocusToList();
  void ReportFailure(HRESULT failure);
  // Menus, toolbar and panel painting: their own file.
  void RemoveMergedMenus();
  void MergeMenus();
  void AddToolbarButtons();
  void UpdateToolbarButtons();
  void UpdateViewMenuChecks();
  void RepaintPanel();
  void SetWebViewOn(bool on);
  void OnOtherCommand(WORD code, WORD id);

  LRESULT OnListNotify(int id, NMHDR* header, BOOL& handled);
  LRESULT OnCommandMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnReflected(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnListKey(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

  CBstr m_path;
  bool m_driveList = false;
  bool m_driveRoot = false;
  CItemIDList m_folderList;
  ISearchViewHost* m_search = nullptr;
  ComPtr<IVKSNotifySink> m_sinkInterface;
  RPLNotifySink* m_sink = nullptr;
  CViewChangeTarget m_changeTarget{this};
  LONG m_sinkToken = 0;
  CItemIDList** m_entries = nullptr;
  int m_entryCount = 0;
  int m_entryCapacity = 0;
  HWND m_owner = nullptr;
  CContainedWindow m_list;
  UINT m_listId = 0;
  FOLDERSETTINGS m_settings = {FVM_DETAILS, FWF_AUTOARRANGE};
  ComPtr<IShellBrowser> m_browser;
  UINT m_sortCommand = kDefaultSortCommand;
  int m_hitRow = -1;
  bool m_initialised = false;
  ComPtr<IVKSVolume> m_volume;
  wchar_t (*m_textRing)[261] = nullptr;
  int m_textIndex = 0;
  HACCEL m_focusKeys = nullptr;
  HACCEL m_otherKeys = nullptr;
  std::vector<BYTE> m_savedPositions;
  std::vector<std::wstring> m_savedSelection;
  std::wstring m_savedFocus;
  CContainedWindow m_panel;
  bool m_webView = false;
  HDC m_panelDc = nullptr;
  HBITMAP m_panelBitmap = nullptr;
  HGDIOBJ m_panelOldBitmap = nullptr;
  HFONT m_panelFonts[3] = {};
  UINT m_uiState = 0;
  bool m_refreshing = false;
  ListingSettings m_listing = {true, true, true};
};

HRESULT CreateRPLView(const wchar_t* path, LPCITEMIDLIST folder, HWND owner, REFIID riid, void** out);
