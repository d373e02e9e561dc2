// win32/tests/MessageWait_test.cpp - the wait that dispatches messages: it ends on
// the handle or the time-out, and dispatches what is posted meanwhile.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Clock.h"
#include "Handle.h"
#include "MessageWait.h"

namespace {

constexpr UINT kTestMessage = WM_APP + 7;

std::vector<WPARAM> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTestMessage) {
    g_received.push_back(wParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window of the test's thread that notes every kTestMessage.
class MessageWaitTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_received.clear();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VKSMessageWaitTest";
    RegisterClassW(&windowClass);
    window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
  }
  void TearDown() override {
    if (window) DestroyWindow(window);
    PumpWaitingMessages();
  }
  HWND window = nullptr;
};

TEST_F(MessageWaitTest, ReturnsOnTheSignalledHandleWithItsIndex) {
  CEvent first(CEvent::Kind::ManualReset), second(CEvent::Kind::ManualReset, true);
  const HANDLE handles[] = {first, second};
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitWithMessageLoop(handles, 2, INFINITE));
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitWithMessageLoop(handles, 2, 0));
}

TEST_F(MessageWaitTest, DispatchesWaitingAndArrivingMessagesAndWaitsOnForTheHandle) {
  CEvent done(CEvent::Kind::ManualReset);
  ASSERT_TRUE(PostMessageW(window, kTestMessage, 1, 0));  // waiting before the wait
  const HWND target = window;
  std::thread poster([&] {
    Sleep(50);
    PostMessageW(target, kTestMessage, 2, 0);
    Sleep(50);
    done.Set();
  });
  const HANDLE handle = done;
  EXPECT_EQ(WAIT_OBJECT_0, WaitWithMessageLoop(&handle, 1, INFINITE));
  poster.join();
  EXPECT_EQ((std::vector<WPARAM>{1, 2}), g_received);
}

TEST_F(MessageWaitTest, EndsAfterTheTimeOutAlsoWhileMessagesCome) {
  CEvent never(CEvent::Kind::ManualReset);
  const HANDLE handle = never;
  const DWORD start = GetTickCount();
  ASSERT_TRUE(PostMessageW(window, kTestMessage, 3, 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitWithMessageLoop(&handle, 1, 120));
  // The tick count moves in steps of up to 16 ms.
  EXPECT_GE(GetTickCount() - start, 100u);
  EXPECT_EQ((std::vector<WPARAM>{3}), g_received);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitWithMessageLoop(&handle, 1, 0));
}

TEST_F(MessageWaitTest, ReturnOnMessageLeavesTheMessageToTheCaller) {
  CEvent never(CEvent::Kind::ManualReset);
  const HANDLE handle = never;
  const HWND target = window;
  std::thread poster([&] {
    Sleep(50);
    PostMessageW(target, kTestMessage, 4, 0);
  });
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitWithMessageLoop(&handle, 1, INFINITE, MessageWait::ReturnOnMessage));
  poster.join();
  EXPECT_TRUE(g_received.empty());
  PumpWaitingMessages();
  EXPECT_EQ((std::vector<WPARAM>{4}), g_received);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            WaitWithMessageLoop(&handle, 1, 30, MessageWait::ReturnOnMessage));
}

TEST_F(MessageWaitTest, TheSystemClockSleepsUntilWokenOrAMessageComes) {
  CEvent wake(CEvent::Kind::AutoReset, true);
  EXPECT_EQ(WAIT_OBJECT_0, SystemClock().Sleep(wake, INFINITE));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), SystemClock().Sleep(wake, 20));
  ASSERT_TRUE(PostMessageW(window, kTestMessage, 5, 0));
  EXPECT_EQ(WAIT_OBJECT_0 + 1, SystemClock().Sleep(wake, INFINITE));
  const DWORD before = GetTickCount();
  const DWORD now = SystemClock().Now();
  EXPECT_LE(now - before, GetTickCount() - before);
}

}  // namespace
