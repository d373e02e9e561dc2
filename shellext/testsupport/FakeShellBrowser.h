// testsupport/FakeShellBrowser.h - an Explorer window for the view's tests: IShellBrowser on a
// top-level window with a real status bar and toolbar, per-folder view-state streams that outlive
// the views, and a record of what the view asked of it.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <map>
#include <string>
#include <vector>
#include "Window.h"

// The File popup carries these ids as Explorer's own commands do.
extern const UINT kBrowserFileCommands[5];   // 40995, 40996, 40997, 40998, 41029

struct ControlMessage {
  UINT control;   // FCW_STATUS, FCW_TOOLBAR ...
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;
};

struct BrowseRecord {
  std::vector<BYTE> itemIds;   // the ID list as given (empty for null), with its terminator
  UINT flags;
};

class CFakeShellBrowser final : public IShellBrowser {
public:
  // hasTree: FCW_TREE answers a dummy window; otherwise it fails.
  explicit CFakeShellBrowser(bool hasTree = false);
  ~CFakeShellBrowser();
  CFakeShellBrowser(const CFakeShellBrowser&) = delete;
  CFakeShellBrowser& operator=(const CFakeShellBrowser&) = delete;

  HWND Window() const { return m_frame; }
  HWND StatusBar() const { return m_status; }
  HWND Toolbar() const { return m_toolbar; }
  // The menu bar last given by SetMenuSB (null when none).
  HMENU Menu() const { return m_menu; }
  // The view area's rectangle in the frame.
  RECT ViewRect() const;

  // Creates the view's window in the frame and activates it with the focus.
  HRESULT ShowView(IShellView* view, UINT viewMode = FVM_DETAILS, UINT flags = 0);
  // Deactivates, saves its state, destroys its window and lets go of it.
  void CloseView();
  IShellView* View() const { return m_view; }
  HWND ViewWindow() const { return m_viewWindow; }

  // The folder whose view-state stream GetViewStateStream opens.
  void SetCurrentFolder(const std::wstring& key) { m_folder = key; }
  // The bytes last written to a folder's stream; false when none were.
  bool ViewState(const std::wstring& key, std::string* bytes);
  void SetViewState(const std::wstring& key, const std::string& bytes);

  // Records: "InsertMenusSB", "SetMenuSB", "RemoveMenusSB", "SetToolbarItems <n> <flags>",
  // "OnViewWindowActive", "BrowseObject <flags>", "SetStatusTextSB <text>", "EnableModelessSB <0|1>",
  // "GetViewStateStream <mode>", "GetControlWindow <id>".
  std::vector<std::wstring> calls;
  std::vector<ControlMessage> controlMessages;
  std::vector<BrowseRecord> browsed;
  std::vector<TBBUTTON> toolbarItems;   // as last given to SetToolbarItems
  HRESULT setMenuResult = S_OK;         // what SetMenuSB answers
  HRESULT viewStateResult = S_OK;       // what GetViewStateStream answers on failure tests
  LONG references = 1;

  // IUnknown (never deletes: the browser lives on the test's stack).
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }
  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellBrowser
  STDMETHODIMP InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenuSB(HMENU shared, HOLEMENU oleMenu, HWND activeObject) override;
  STDMETHODIMP RemoveMenusSB(HMENU shared) override;
  STDMETHODIMP SetStatusTextSB(LPCWSTR text) override;
  STDMETHODIMP EnableModelessSB(BOOL enable) override;
  STDMETHODIMP TranslateAcceleratorSB(MSG*, WORD) override { return S_FALSE; }
  STDMETHODIMP BrowseObject(PCUIDLIST_RELATIVE itemIds, UINT flags) override;
  STDMETHODIMP GetViewStateStream(DWORD mode, IStream** stream) override;
  STDMETHODIMP GetControlWindow(UINT id, HWND* window) override;
  STDMETHODIMP SendControlMsg(UINT id, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  STDMETHODIMP QueryActiveShellView(IShellView** view) override;
  STDMETHODIMP OnViewWindowActive(IShellView* view) override;
  STDMETHODIMP SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) override;

private:
  class CFrame final : public CWindowImpl {
  public:
    BEGIN_MSG_MAP(CFrame)
    END_MSG_MAP()
  protected:
    const wchar_t* WindowClassName() const override { return L"VKSFakeExplorer"; }
  };
  HWND ControlWindow(UINT id) const;
  void CollectWrites();

  CFrame m_frame;
  HWND m_status = nullptr;
  HWND m_toolbar = nullptr;
  HWND m_tree = nullptr;
  HMENU m_menu = nullptr;
  IShellView* m_view = nullptr;
  HWND m_viewWindow = nullptr;
  std::wstring m_folder;
  std::map<std::wstring, std::string> m_states;
  std::vector<std::pair<std::wstring, IStream*>> m_writes;   // open for writing, read back when asked
};
