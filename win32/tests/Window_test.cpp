// win32/tests/Window_test.cpp - message maps, own-class windows and subclassed children.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

#include "Window.h"

namespace {

constexpr DWORD kEditMap = 1;
constexpr UINT kPing = WM_APP + 1;
constexpr UINT kDeclined = WM_APP + 2;

class CBaseWindow : public CWindowImpl {
public:
  std::vector<std::wstring> seen;
  BEGIN_MSG_MAP(CBaseWindow)
    MESSAGE_HANDLER(kPing, OnBasePing)
  END_MSG_MAP()
protected:
  const wchar_t* WindowClassName() const override { return L"VKSWindowTest"; }
  LRESULT OnBasePing(UINT, WPARAM, LPARAM, BOOL&) {
    seen.push_back(L"base ping");
    return 7;
  }
};

// Routes by message, command and notification; its edit child goes to map 1.
class CTestWindow final : public CBaseWindow {
public:
  CContainedWindow edit{this, kEditMap};
  int finalMessages = 0;
  bool created = false;
  LRESULT declinedResult = -1;

  BEGIN_MSG_MAP(CTestWindow)
    MESSAGE_HANDLER(WM_CREATE, OnCreate)
    MESSAGE_HANDLER(kDeclined, OnDeclined)
    COMMAND_HANDLER(10, BN_CLICKED, OnCommand)
    COMMAND_ID_HANDLER(11, OnCommand)
    COMMAND_RANGE_HANDLER(20, 29, OnCommand)
    NOTIFY_HANDLER(5, NM_CLICK, OnNotify)
    NOTIFY_CODE_HANDLER(NM_DBLCLK, OnNotify)
    CHAIN_MSG_MAP(CBaseWindow)
  ALT_MSG_MAP(kEditMap)
    MESSAGE_HANDLER(WM_CHAR, OnEditChar)
    MESSAGE_HANDLER(WM_SETTEXT, OnEditSetText)
  END_MSG_MAP()

  HWND CreateTop() { return Create(nullptr, RECT{0, 0, 200, 100}, L"test", WS_OVERLAPPEDWINDOW); }

protected:
  void OnFinalMessage(HWND) override { ++finalMessages; }

private:
  LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    created = m_hWnd != nullptr;
    return 0;
  }
  // Declines, so the default procedure answers (0 for an unknown message).
  LRESULT OnDeclined(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 99;
  }
  LRESULT OnCommand(WORD code, WORD id, HWND, BOOL&) {
    seen.push_back(L"command " + std::to_wstring(id) + L"/" + std::to_wstring(code));
    return 0;
  }
  LRESULT OnNotify(int id, NMHDR* header, BOOL&) {
    seen.push_back(L"notify " + std::to_wstring(id) + L"/" + std::to_wstring(static_cast<int>(header->code)));
    return 3;
  }
  LRESULT OnEditChar(UINT, WPARAM wParam, LPARAM, BOOL&) {
    seen.push_back(L"char " + std::wstring(1, static_cast<wchar_t>(wParam)));
    return 0;
  }
  // Looks, then lets the edit do its own work.
  LRESULT OnEditSetText(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    seen.push_back(L"settext " + std::wstring(reinterpret_cast<const wchar_t*>(lParam)));
    handled = FALSE;
    return 0;
  }
};

TEST(WindowImplTest, CreateRoutesToTheObjectAndDestroyEndsIt) {
  CTestWindow window;
  ASSERT_NE(window.CreateTop(), nullptr) << GetLastError();
  EXPECT_TRUE(window.created);
  EXPECT_EQ(window.SendMessage(kPing), 7);                  // through the chained base map
  EXPECT_EQ(window.SendMessage(kDeclined), 0);              // declined: the default procedure's answer
  HWND handle = window;
  EXPECT_TRUE(window.DestroyWindow());
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window.finalMessages, 1);
  EXPECT_EQ(window.m_hWnd, nullptr);
}

TEST(WindowImplTest, TwoWindowsOfOneClassReachTheirOwnObjects) {
  CTestWindow first, second;
  ASSERT_NE(first.CreateTop(), nullptr);
  ASSERT_NE(second.CreateTop(), nullptr);
  second.SendMessage(kPing);
  EXPECT_TRUE(first.seen.empty());
  EXPECT_EQ(second.seen, std::vector<std::wstring>{L"base ping"});
}

TEST(WindowImplTest, AnObjectDestroyedFirstTakesItsWindowWithoutCallingIntoIt) {
  HWND handle = nullptr;
  {
    CTestWindow window;
    handle = window.CreateTop();
    ASSERT_NE(handle, nullptr);
  }
  EXPECT_FALSE(IsWindow(handle));
}

TEST(WindowImplTest, CommandsAndNotificationsByIdAndCode) {
  CTestWindow window;
  ASSERT_NE(window.CreateTop(), nullptr);
  struct Case {
    WORD id;
    WORD code;
  };
  // 10 only for BN_CLICKED; 11 for any code; 20-29 as a range; 30 for none.
  for (Case c : {Case{10, BN_CLICKED}, Case{10, BN_DBLCLK}, Case{11, 5}, Case{20, 0}, Case{29, 1}, Case{30, 0}})
    window.SendMessage(WM_COMMAND, MAKEWPARAM(c.id, c.code), 0);
  NMHDR click5 = {nullptr, 5, static_cast<UINT>(NM_CLICK)};
  NMHDR click6 = {nullptr, 6, static_cast<UINT>(NM_CLICK)};
  NMHDR dbl6 = {nullptr, 6, static_cast<UINT>(NM_DBLCLK)};
  EXPECT_EQ(window.SendMessage(WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click5)), 3);
  EXPECT_EQ(window.SendMessage(WM_NOTIFY, 6, reinterpret_cast<LPARAM>(&click6)), 0);
  EXPECT_EQ(window.SendMessage(WM_NOTIFY, 6, reinterpret_cast<LPARAM>(&dbl6)), 3);
  EXPECT_EQ(window.seen, (std::vector<std::wstring>{
                             L"command 10/0", L"command 11/5", L"command 20/0", L"command 29/1",
                             L"notify 5/" + std::to_wstring(static_cast<int>(NM_CLICK)),
                             L"notify 6/" + std::to_wstring(static_cast<int>(NM_DBLCLK))}));
}

TEST(ContainedWindowTest, ChildMessagesGoToTheAlternateMapThenTheControl) {
  CTestWindow window;
  ASSERT_NE(window.CreateTop(), nullptr);
  ASSERT_NE(window.edit.Create(L"EDIT", window, RECT{0, 0, 100, 20}, L"", WS_CHILD | WS_VISIBLE, 0, 4), nullptr);
  EXPECT_EQ(window.edit.GetDlgCtrlID(), 4);
  window.edit.SendMessage(WM_CHAR, L'x');
  window.edit.SetWindowText(L"abc");
  // The char was eaten by the map, the text went on to the edit.
  EXPECT_EQ(window.edit.GetWindowText(), L"abc");
  EXPECT_EQ(window.seen, (std::vector<std::wstring>{L"char x", L"settext abc"}));
  // Main-map messages sent to the child are not the child's business.
  EXPECT_EQ(window.edit.SendMessage(kPing), 0);
}

TEST(ContainedWindowTest, UnsubclassGivesTheControlBackItsOwnProcedure) {
  CTestWindow window;
  ASSERT_NE(window.CreateTop(), nullptr);
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, window, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  LONG_PTR own = GetWindowLongPtrW(edit, GWLP_WNDPROC);
  ASSERT_TRUE(window.edit.SubclassWindow(edit));
  EXPECT_FALSE(window.edit.SubclassWindow(edit));
  EXPECT_EQ(window.edit.UnsubclassWindow(), edit);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), own);
  SendMessageW(edit, WM_CHAR, L'y', 0);
  EXPECT_TRUE(window.seen.empty());
  // Free again for another owner.
  CContainedWindow again(&window, kEditMap);
  EXPECT_TRUE(again.SubclassWindow(edit));
}

TEST(ContainedWindowTest, ParentDestroyedFirstLeavesTheObjectEmpty) {
  CTestWindow window;
  ASSERT_NE(window.CreateTop(), nullptr);
  ASSERT_NE(window.edit.Create(L"EDIT", window, RECT{0, 0, 100, 20}, L"", WS_CHILD), nullptr);
  window.DestroyWindow();
  EXPECT_EQ(window.edit.m_hWnd, nullptr);
  EXPECT_EQ(window.edit.UnsubclassWindow(), nullptr);
}

// A subclass put on top of ours stays working after our object lets go.
LONG_PTR g_outerPrevious = 0;
LRESULT CALLBACK OuterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(reinterpret_cast<WNDPROC>(g_outerPrevious), window, message, wParam, lParam);
}

TEST(ContainedWindowTest, ASubclassOnTopKeepsTheChainAfterWeLetGo) {
  CTestWindow window;
  ASSERT_NE(window.CreateTop(), nullptr);
  HWND edit = nullptr;
  {
    CContainedWindow inner(&window, kEditMap);
    edit = inner.Create(L"EDIT", window, RECT{0, 0, 100, 20}, L"", WS_CHILD);
    ASSERT_NE(edit, nullptr);
    g_outerPrevious = SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc));
    EXPECT_EQ(inner.UnsubclassWindow(), nullptr);
  }
  SendMessageW(edit, WM_CHAR, L'z', 0);
  SetWindowTextW(edit, L"still");
  wchar_t text[16] = {};
  GetWindowTextW(edit, text, 16);
  EXPECT_STREQ(text, L"still");
  EXPECT_TRUE(window.seen.empty());
  EXPECT_TRUE(DestroyWindow(edit));
}

}  // namespace
