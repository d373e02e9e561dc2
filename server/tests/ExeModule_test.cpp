// The shutdown handshake between a client's Shutdown call and the message loop.
#include "ExeModule.h"
#include <gtest/gtest.h>

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
