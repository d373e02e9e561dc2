// win32/tests/CriticalSection_test.cpp - the lock against other threads.
#include <gtest/gtest.h>

#include <thread>

#include "CriticalSection.h"

namespace {

// Whether another thread could take the lock now (it lets go again at once).
bool FreeForOtherThreads(CCriticalSection& lock) {
  bool got = false;
  std::thread([&] {
    got = lock.TryEnter();
    if (got) lock.Leave();
  }).join();
  return got;
}

TEST(CCriticalSectionTest, SharedLockExcludesOtherThreads) {
  CCriticalSection lock;
  long counter = 0;  // plain increments: only the lock keeps them whole
  auto work = [&] {
    for (int i = 0; i < 200000; ++i) {
      lock.Enter();
      counter = counter + 1;
      lock.Leave();
    }
  };
  std::thread t1(work), t2(work), t3(work);
  t1.join();
  t2.join();
  t3.join();
  EXPECT_EQ(600000, counter);
}

TEST(CCriticalSectionTest, EnteredAtConstructionAndNullSafeHelpers) {
  {
    CCriticalSection scoped(true);
    EXPECT_FALSE(FreeForOtherThreads(scoped));  // held from its construction on
    scoped.Enter();                             // recursive entry by the owner
    scoped.Leave();
    EXPECT_FALSE(FreeForOtherThreads(scoped));  // the construction's entry still holds
  }  // leaves and deletes without hanging
  CCriticalSection::Enter(nullptr);
  CCriticalSection::Leave(nullptr);
  CCriticalSection lock;
  EXPECT_TRUE(FreeForOtherThreads(lock));
  CCriticalSection::Enter(&lock);
  EXPECT_FALSE(FreeForOtherThreads(lock));
  {
    CLockScope again(lock);  // the owner enters once more and leaves with the scope
  }
  EXPECT_FALSE(FreeForOtherThreads(lock));
  CCriticalSection::Leave(&lock);
  EXPECT_TRUE(FreeForOtherThreads(lock));
}

}  // namespace
