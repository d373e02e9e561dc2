// The server's message loop: the shutdown handshake with a client's Shutdown
// call, the idle exit and the loop's work, the last two on a clock of the test's.
#include "ExeModule.h"
#include "Handle.h"
#include "ManualClock.h"
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using vkstest::CManualClock;

// The loop's work as the test sets it, and what the loop did with it.
class CTestWork final : public IIdleWork {
public:
  DWORD TimeToNextWork() override {
    pass.Set();  // once a pass of the loop
    return dueIn;
  }
  void DoDueWork() override {
    ++done;
    dueIn = 500;
  }
  void SetIdle(bool idle) override { idleChanges.push_back(idle); }

  volatile DWORD dueIn = 500;  // as long as no change sink is due
  volatile LONG done = 0;
  std::vector<bool> idleChanges;  // only the loop's thread writes it
  CEvent pass{CEvent::Kind::ManualReset};
};

// A client call wakes the loop; returns once the loop has made its next pass.
bool Poke(ExeModule& module, CTestWork& work) {
  work.pass.Reset();
  module.NoteActivity();
  return WaitForSingleObject(work.pass, 10000) == WAIT_OBJECT_0;
}

DWORD WINAPI RunLoop(void* module) {
  static_cast<ExeModule*>(module)->RunMessageLoop();
  return 0;
}

TEST(ExeModule, ShutdownWaitsUntilOnlyTheCallerHoldsTheServer) {
  CTestWork work;
  ExeModule module(work);
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
  CTestWork work;
  ExeModule module(work);
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
  CTestWork work;
  CManualClock clock;
  ExeModule module(work, clock);
  module.Lock();
  HANDLE loop = CreateThread(nullptr, 0, RunLoop, &module, 0, nullptr);
  ASSERT_NE(nullptr, loop);
  ASSERT_TRUE(clock.WaitForSleeper(loop));
  clock.Advance(3000);
  ASSERT_TRUE(clock.WaitForSleeper(loop));
  module.Unlock();
  const DWORD released = clock.Now();
  // The clock moves on in steps, each once the loop sleeps again, until the loop ends.
  while (clock.WaitForSleeper(loop) && clock.Now() - released < 15000) clock.Advance(100);
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(loop, 15000));
  DWORD idle = clock.Now() - released;
  EXPECT_GE(idle, 4500u);
  EXPECT_LE(idle, 9000u);
  CloseHandle(loop);
}

TEST(ExeModule, DueWorkIsDoneAndTheGateOpensOnlyAfterFiftyQuietMilliseconds) {
  CTestWork work;
  CManualClock clock;
  ExeModule module(work, clock);
  module.Lock();  // a client holds the server
  HANDLE loop = CreateThread(nullptr, 0, RunLoop, &module, 0, nullptr);
  ASSERT_NE(nullptr, loop);
  // Calls keep coming: every 40 ms the loop starts its quiet anew.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(clock.WaitForSleeper(loop));
    clock.Advance(40);
    ASSERT_TRUE(Poke(module, work));
  }
  ASSERT_TRUE(clock.WaitForSleeper(loop));
  EXPECT_TRUE(work.idleChanges.empty());
  clock.Advance(50);  // quiet: the gate opens while the loop sleeps on
  ASSERT_TRUE(clock.WaitForSleeper(loop));
  EXPECT_EQ(std::vector<bool>{true}, work.idleChanges);
  clock.Advance(450);  // the rest of the sleep: the gate closes as the loop wakes
  ASSERT_TRUE(clock.WaitForSleeper(loop));
  EXPECT_EQ((std::vector<bool>{true, false}), work.idleChanges);

  work.dueIn = 0;  // a sink is due
  ASSERT_TRUE(Poke(module, work));
  ASSERT_TRUE(clock.WaitForSleeper(loop));
  EXPECT_EQ(1, work.done);

  module.Unlock();
  EXPECT_TRUE(module.WaitForShutdown(3000));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(loop, 3000));
  CloseHandle(loop);
}

}  // namespace
