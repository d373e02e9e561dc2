// namespace/RPLView.h - the folder view Explorer shows for the module root,
// a drive or a folder, and the result list of the search window. The class
// spans several files: RPLView.cpp (windows and lifecycle), ViewList.cpp
// (rows, texts, sorting, selection), RPLViewCommands.cpp (commands, status
// bar), RPLViewMenus.cpp (menus, toolbar and panel painting).
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <map>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ComCore.h"
#include "ItemIDList.h"
#include "TransferViewSite.h"
#include "ModuleViewCallback.h"
#include "SuiteString.h"
#include "VKSServer.h"
#include "ViewPositions.h"
#include "ViewSettings.h"
#include "ViewState.h"
#include "Clock.h"
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
  // The search window's menu bar (File, Edit, View, -, Help), null when none.
  virtual HMENU SearchMenu() { return nullptr; }
  // After a context menu: the status text empty, out of simple mode.
  virtual void ResetSearchStatus() {}
  // Opens the selected results (their folders) with the view's volume.
  virtual void OpenSearchItems(const CItemIDList* items, int count, IVKSVolume* volume) {
    (void)items, (void)count, (void)volume;
  }
protected:
  ~ISearchViewHost() = default;
};

class RPLNotifySink;
class RPLView;

// Context kinds of the selection and the popups they choose.
enum SelectionKind {
  kOneFile = 0, kOneFolder = 1, kFiles = 2, kFolders = 3, kFilesAndFolders = 4, kOneDrive = 5, kDrives = 6,
  kNothingSelected = 7
};
const int kFocusOutside = 17;   // GetMenuKind when the tree or another pane has the focus

// What a clipboard, delete or properties command acts on: the path the items
// lie in, copies of the items (owned here), whether the view and its sink go
// along, and whether a cut marks every row.
struct ViewCommandTarget {
  CBstr path;
  std::vector<CItemIDList> items;
  bool passView = false;
  bool passSink = false;
  bool allRows = false;
};

// One line of the panel as a paint draws it.
enum class PanelFont { Title, Label, Text };
struct PanelLine {
  std::wstring text;
  PanelFont font;
  int x;          // before scrolling
  int gapBefore;  // pixels added to the running y before the line
  int legend;     // 0 none, 1 used-space square, 2 free-space square, 3 the capacity pie (no text)
};

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
                      public ITransferViewSite,
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
  // ITransferViewSite: what the data object and the drops ask of the view.
  ULONGLONG ViewIdentity() override { return reinterpret_cast<ULONGLONG>(this); }
  IUnknown* ViewUnknown() override { return static_cast<IShellView*>(this); }
  HWND ViewWindow() override { return m_hWnd; }
  bool IsSearchView() override { return m_search != nullptr; }
  int GetListViewStyle() override;
  DWORD AutoScroll(POINT screen) override;
  void ClearDropHighlight() override;
  bool HighlightDropTarget(POINT screen, CBstr* path) override;
  void MoveSelectedItems(POINT screen) override;
  // From any thread: posted to the view's own.
  void ResetCutMarks() override;
  // For the search window: its list greyed while a search runs, its row
  // count and rows in display order.
  void EnableListView();
  void DisableListView();
  int GetListItemCount() const;
  LPCITEMIDLIST GetListItem(int row) const;

  // Menus, toolbar, context menus.
  int GetSelectionKind() const;
  int GetMenuKind() const;
  bool HasFocus() const;
  HRESULT SetViewMode(UINT listStyle);
  HRESULT SetAutoArrange(bool on);
  void ShowContextMenu(const CItemIDList* holder, int x, int y);
  // Command helpers.
  ViewCommandTarget GetCommandTarget(UINT command) const;
  HRESULT CutOrCopy(UINT command);
  HRESULT DeleteSelection();
  HRESULT ShowProperties();
  void OpenSelection(UINT command);
  void BrowseToItem(UINT command, const CItemIDList* holder);
  HRESULT PasteIntoTarget();
  CBstr PasteTarget() const;   // empty in a search view without a folder under the menu
  void RenameSelection();
  // The folder or drive row under the point, highlighted; null when none.
  const CItemIDList* HighlightDropRow(POINT screen);
  HRESULT RegisterDropTargets();
  // The clock AutoScroll reads; null restores the system's.
  void SetClock(IClock* clock) { m_clock = clock ? clock : &SystemClock(); }
  // Panel.
  bool PanelOn() const { return m_webView; }
  bool PanelFullMode() const { return m_fullPanel; }
  HWND PanelWindow() const { return m_panel.Handle(); }
  void SetWebViewOn(bool on);
  std::vector<PanelLine> PanelLines() const;
  CBstr PanelTitle() const;
  static SIZE DrawWrappedText(HDC dc, const wchar_t* text, int x, int y, int width);

  BEGIN_MSG_MAP(RPLView)
    NOTIFY_CODE_HANDLER(LVN_COLUMNCLICK, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_GETDISPINFOW, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_ITEMCHANGED, OnListNotify)
    NOTIFY_CODE_HANDLER(NM_SETFOCUS, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_BEGINLABELEDITW, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_ENDLABELEDITW, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_BEGINDRAG, OnListNotify)
    NOTIFY_CODE_HANDLER(LVN_BEGINRDRAG, OnListNotify)
    NOTIFY_CODE_HANDLER(NM_CLICK, OnListNotify)
    NOTIFY_CODE_HANDLER(NM_RCLICK, OnListNotify)
    NOTIFY_CODE_HANDLER(NM_DBLCLK, OnListNotify)
    MESSAGE_HANDLER(WM_NOTIFY, OnToolTipText)
    MESSAGE_HANDLER(WM_MENUSELECT, OnMenuSelect)
    MESSAGE_HANDLER(WM_EXITMENULOOP, OnExitMenuLoop)
    MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
    MESSAGE_HANDLER(WM_COMMAND, OnCommandMessage)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_RANGE_HANDLER(0x2000, 0x2FFF, OnReflected)
  ALT_MSG_MAP(1)
    MESSAGE_HANDLER(WM_KEYDOWN, OnListKey)
    MESSAGE_HANDLER(WM_SYSKEYDOWN, OnListKey)
    MESSAGE_HANDLER(WM_MENUSELECT, OnMenuSelect)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnButtonDown)
    MESSAGE_HANDLER(WM_RBUTTONDOWN, OnButtonDown)
  ALT_MSG_MAP(2)
    MESSAGE_HANDLER(WM_PAINT, OnPanelPaint)
    MESSAGE_HANDLER(WM_VSCROLL, OnPanelScroll)
    MESSAGE_HANDLER(WM_HSCROLL, OnPanelScroll)
    MESSAGE_HANDLER(WM_RBUTTONUP, OnPanelRightClick)
    MESSAGE_HANDLER(WM_SIZE, OnPanelSize)
    MESSAGE_HANDLER(WM_ERASEBKGND, OnPanelErase)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnButtonDown)
    MESSAGE_HANDLER(WM_RBUTTONDOWN, OnButtonDown)
  ALT_MSG_MAP(3)
    MESSAGE_HANDLER(WM_KEYDOWN, OnListKey)
    MESSAGE_HANDLER(WM_SYSKEYDOWN, OnListKey)
    MESSAGE_HANDLER(WM_MENUSELECT, OnMenuSelect)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnButtonDown)
    MESSAGE_HANDLER(WM_RBUTTONDOWN, OnButtonDown)
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
  int CachedIconIndex(LPCITEMIDLIST item, ULONG attributes);
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
  // item null: the browser's own navigation.
  void BrowseTo(UINT flags, LPCITEMIDLIST item = nullptr);
  void SetAllRowsState(UINT mask, UINT state);
  void ShowCannotOpenFile();
  void RefreshCommand();
  void InvertSelection();
  void SetFocusToList();
  void ReportFailure(HRESULT failure);
  // Menus, toolbar and panel painting: their own file.
  void RemoveMergedMenus();
  HRESULT MergeMenus();
  HRESULT AddToolbarButtons();
  HRESULT UpdateToolbarButtons();
  void UpdateViewMenuChecks();
  void UpdateEditMenu(int menuKind);
  void UpdatePasteItem(HMENU menu) const;
  void AdjustFilePopup(HMENU popup);
  int CurrentMode() const;
  bool IsOrdinaryFolder() const { return !m_driveList && !m_driveRoot && !m_search; }
  void RepaintPanel();
  void UpdatePanelScrollBars();
  void PaintPanel(HDC dc);
  void ReadModelName();
  void OnOtherCommand(WORD code, WORD id);
  void NewFolderCommand();
  void FindCommand();
  void FormatCommand();
  void StandardFoldersCommand();
  void OpenParentCommand();
  void OpenFocusedCommand();
  void ContextMenuCommand();
  void ClearCutMarks();
  void MarkCut(bool allRows);
  CItemIDList GetFolderAsItem() const;
  CBstr FolderParentPath() const;
  // Mouse and label editing.
  // client: the click's point in the list, as the list reports it.
  LRESULT OnListClick(POINT client, BOOL& handled);
  LRESULT OnListDoubleClick(POINT client);
  LRESULT OnRightClick(POINT client);
  LRESULT OnBeginDrag(NMLISTVIEW* info);
  BOOL OnBeginLabelEdit(NMLVDISPINFOW* info);
  BOOL OnEndLabelEdit(NMLVDISPINFOW* info);
  int RowUnder(POINT client, UINT hitFlags) const;
  void OpenPathInShell(const wchar_t* path, UINT command);

  LRESULT OnListNotify(int id, NMHDR* header, BOOL& handled);
  LRESULT OnCommandMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnReflected(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnListKey(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnToolTipText(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnMenuSelect(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnExitMenuLoop(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnInitMenuPopup(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnPanelPaint(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnPanelScroll(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnPanelRightClick(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnPanelSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  LRESULT OnPanelErase(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

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
  std::map<std::wstring, int> m_iconIndices;   // per fill: attributes and extension to icon
  // Menus and toolbar.
  HMENU m_menuBar = nullptr;
  HMENU m_fileMenu = nullptr;
  HMENU m_fileCopy = nullptr;
  HMENU m_editMenu = nullptr;
  HMENU m_viewMenu = nullptr;
  HMENU m_helpMenu = nullptr;
  HMENU m_arrangeMenu = nullptr;
  const CItemIDList* m_contextItem = nullptr;   // points at m_contextHolder while a menu is open
  CItemIDList m_contextHolder;
  wchar_t m_tipText[260] = {};
  char m_tipTextNarrow[260] = {};
  // Mouse, rename and drag.
  bool m_renaming = false;
  bool m_renameDone = true;
  bool* m_renameAlive = nullptr;
  LPARAM m_buttonDown = 0;
  POINT m_dragStart = {};
  DWORD m_lastScroll = 0;
  bool m_scrolledOnce = false;
  IClock* m_clock = &SystemClock();
  ComPtr<IDropTarget> m_listDropTarget;
  ComPtr<IDropTarget> m_panelDropTarget;
  bool m_listDropRegistered = false;
  bool m_panelDropRegistered = false;
  // Panel.
  bool m_fullPanel = false;
  int m_contentWidth = 0;
  int m_contentHeight = 0;
  CBstr m_modelName;
};

HRESULT CreateRPLView(const wchar_t* path, LPCITEMIDLIST folder, HWND owner, REFIID riid, void** out);
