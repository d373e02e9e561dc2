// The shutdown handshake between a client's Shutdown call and the message loop.
#include "ExeModule.h"
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

namespace {

DWORD WINAPI RunLoop(void* module) {
  static_cast<ExeModule*>(module)->RunMessageLoop();
  return 0;
}

TEST(ExeModule, ShutdownWaitsUntilOnlyTheCallerHoldsTheServer) {
  ExeModule module;
  module.Lock();   // the caller's object
  module.Lock();   // another client
  HANDLE loop = CreateThread(nullptr, 0, RunLoop, &module, 0, nullptr);
  ASSERT_NE(nullptr, loop);
  EXPECT_FALSE(module.WaitForShutdown(0));     // 0 waits 1 ms, not for ever
  EXPECT_FALSE(module.WaitForShutdown(300));
  // Withdrawn requests leave the loop running.
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(loop, 700));
  module.Unlock();
  EXPECT_TRUE(module.WaitForShutdown(3000));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(loop, 3000));
  CloseHandle(loop);
  module.Unlock();
}

// On a busy machine the loop may not run within the time-out; with no other
// client that is no reason to withdraw the request.
TEST(ExeModule, ShutdownFromTheOnlyClientStandsWhileTheLoopCannotLook) {
  ExeModule module;
  module.Lock();  // the caller's object
  HANDLE loop = CreateThread(nullptr, 0, RunLoop, &module, 0, nullptr);
  ASSERT_NE(nullptr, loop);
  ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(loop));
  std::atomic<int> result{-1};
  std::thread caller([&] { result = module.WaitForShutdown(0) ? 1 : 0; });
  Sleep(300);
  EXPECT_EQ(-1, result) << "the request was withdrawn while the loop could not look";
  ResumeThread(loop);
  caller.join();
  EXPECT_EQ(1, result);
  if (result != 1) module.WaitForShutdown(3000);  // a withdrawn request left the loop running
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(loop, 3000));
  CloseHandle(loop);
  module.Unlock();
}

TEST(ExeModule, IdlePeriodRunsFromTheLastUnlock) {
  ExeModule module;
  module.Lock();
  HANDLE loop = CreateThread(nullptr, 0, RunLoop, &module, 0, nullptr);
  ASSERT_NE(nullptr, loop);
  Sleep(3000);
  module.Unlock();
  DWORD released = GetTickCount();
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(loop, 15000));
  DWORD idle = GetTickCount() - released;
  EXPECT_GE(idle, 4500u);
  EXPECT_LE(idle, 9000u);
  CloseHandle(loop);
}

}  // namespace
