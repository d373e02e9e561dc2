// win32/Window.h - a thin window layer: a window handle wrapper, message maps
// with alternate maps, windows with their own class, and subclassed children
// whose messages go to their owner's map. No thunks: the object is found
// through GWLP_USERDATA (own class) or a window property (subclassed child).
#pragma once
#include <windows.h>
#include <string>

class CWindow {
public:
  CWindow(HWND window = nullptr) : m_hWnd(window) {}
  operator HWND() const { return m_hWnd; }
  HWND Handle() const { return m_hWnd; }
  void Attach(HWND window) { m_hWnd = window; }
  HWND Detach() {
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    return window;
  }
  bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL DestroyWindow() {
    if (!m_hWnd) return FALSE;
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    return ::DestroyWindow(window);
  }
  BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
  BOOL MoveWindow(const RECT& rect, BOOL repaint = TRUE) const {
    return ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
  }
  BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
  BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
  BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
  BOOL Invalidate(BOOL erase = TRUE) const { return ::InvalidateRect(m_hWnd, nullptr, erase); }
  HWND SetFocus() const { return ::SetFocus(m_hWnd); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  BOOL SetWindowText(const wchar_t* text) const { return ::SetWindowTextW(m_hWnd, text); }
  std::wstring GetWindowText() const;
  void SetFont(HFONT font, BOOL redraw = TRUE) const {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
  }
  LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }

  HWND m_hWnd;
};

// Whatever handles window messages through a message map. mapId 0 is the
// main map; contained windows route to an alternate one.
class CMessageMap {
public:
  virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result, DWORD mapId) = 0;
protected:
  ~CMessageMap() = default;
};

// Handler signatures:
//   LRESULT OnMessage(UINT message, WPARAM, LPARAM, BOOL& handled)
//   LRESULT OnCommand(WORD code, WORD id, HWND control, BOOL& handled)
//   LRESULT OnNotify(int id, NMHDR* header, BOOL& handled)
// A handler that sets handled to FALSE lets the map look further, then the
// default procedure.
#define BEGIN_MSG_MAP(Class)                                                              \
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,            \
                            LRESULT& lResult, DWORD dwMsgMapID = 0) override {             \
    BOOL bHandled = TRUE;                                                                  \
    (void)hWnd; (void)uMsg; (void)wParam; (void)lParam; (void)bHandled; (void)lResult;                    \
    switch (dwMsgMapID) {                                                                  \
    case 0:

#define ALT_MSG_MAP(id) \
    break;              \
    case id:

#define MESSAGE_HANDLER(msg, func)                          \
  if (uMsg == (msg)) {                                      \
    bHandled = TRUE;                                        \
    lResult = func(uMsg, wParam, lParam, bHandled);         \
    if (bHandled) return TRUE;                              \
  }

#define MESSAGE_RANGE_HANDLER(first, last, func)            \
  if (uMsg >= (first) && uMsg <= (last)) {                  \
    bHandled = TRUE;                                        \
    lResult = func(uMsg, wParam, lParam, bHandled);         \
    if (bHandled) return TRUE;                              \
  }

#define COMMAND_HANDLER(cmdId, cmdCode, func)                                                   \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (cmdId) && HIWORD(wParam) == (cmdCode)) {          \
    bHandled = TRUE;                                                                         \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
    if (bHandled) return TRUE;                                                               \
  }

#define COMMAND_ID_HANDLER(cmdId, func)                                                      \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (cmdId)) {                                     \
    bHandled = TRUE;                                                                         \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
    if (bHandled) return TRUE;                                                               \
  }

#define COMMAND_RANGE_HANDLER(first, last, func)                                             \
  if (uMsg == WM_COMMAND && LOWORD(wParam) >= (first) && LOWORD(wParam) <= (last)) {          \
    bHandled = TRUE;                                                                         \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
    if (bHandled) return TRUE;                                                               \
  }

#define NOTIFY_HANDLER(ctlId, notifyCode, func)                                                   \
  if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == (UINT_PTR)(ctlId) && \
      reinterpret_cast<NMHDR*>(lParam)->code == (UINT)(notifyCode)) {                             \
    bHandled = TRUE;                                                                        \
    lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);   \
    if (bHandled) return TRUE;                                                              \
  }

#define NOTIFY_ID_HANDLER(ctlId, func)                                                       \
  if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == (UINT_PTR)(ctlId)) {  \
    bHandled = TRUE;                                                                         \
    lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);    \
    if (bHandled) return TRUE;                                                               \
  }

#define NOTIFY_CODE_HANDLER(notifyCode, func)                                                    \
  if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == (UINT)(notifyCode)) {       \
    bHandled = TRUE;                                                                       \
    lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);  \
    if (bHandled) return TRUE;                                                             \
  }

// Hands the message to another map (a base class's, or a member's) with the
// same map id.
#define CHAIN_MSG_MAP(Base)                                                      \
  if (Base::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, dwMsgMapID)) \
    return TRUE;

#define CHAIN_MSG_MAP_MEMBER(member)                                                   \
  if ((member).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, dwMsgMapID)) \
    return TRUE;

#define END_MSG_MAP() \
    break;            \
    default:          \
      break;          \
    }                 \
    return FALSE;     \
  }

// A window of a class of our own, whose messages go to the derived class's
// map. The derived class names its class in WindowClassName and may adjust
// the class in FillWindowClass; the class is registered on first Create.
class CWindowImpl : public CWindow, public CMessageMap {
public:
  CWindowImpl() = default;
  CWindowImpl(const CWindowImpl&) = delete;
  CWindowImpl& operator=(const CWindowImpl&) = delete;
  virtual ~CWindowImpl();

  HWND Create(HWND parent, const RECT& rect, const wchar_t* title, DWORD style, DWORD exStyle = 0,
              UINT_PTR idOrMenu = 0);
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The window procedure of every class registered here; an entry that
  // registers a class itself puts this in its lpfnWndProc.
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The module whose code this is (the DLL when linked into one).
  static HINSTANCE CodeModule();
  // Classes registered by Create outlive an unloaded DLL unless taken back:
  // the DLL's detach calls this (its windows must be gone by then).
  static void UnregisterOwnClasses();

protected:
  virtual const wchar_t* WindowClassName() const = 0;
  virtual void FillWindowClass(WNDCLASSEXW& windowClass) const { (void)windowClass; }
  // After WM_NCDESTROY; the handle is gone. An object that owns itself may
  // delete itself here.
  virtual void OnFinalMessage(HWND window) { (void)window; }

private:
  bool RegisterOwnClass();
};

// A child window of any class (a list view, an edit) subclassed so that its
// messages go to the owner's map under mapId first; what the map leaves goes
// to the child's own procedure.
class CContainedWindow : public CWindow {
public:
  CContainedWindow(CMessageMap* owner, DWORD mapId) : m_owner(owner), m_mapId(mapId) {}
  CContainedWindow(const CContainedWindow&) = delete;
  CContainedWindow& operator=(const CContainedWindow&) = delete;
  ~CContainedWindow() { UnsubclassWindow(); }

  HWND Create(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* title, DWORD style,
              DWORD exStyle = 0, UINT_PTR id = 0);
  BOOL SubclassWindow(HWND window);
  // Puts the child's own procedure back; null when another subclass sits on
  // top of ours (then ours stays, harmlessly forwarding).
  HWND UnsubclassWindow();
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  DWORD MapId() const { return m_mapId; }
  void SwitchMessageMap(DWORD mapId) { m_mapId = mapId; }

private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  struct Hook;
  CMessageMap* m_owner;
  DWORD m_mapId;
  Hook* m_hook = nullptr;
};
