// Change sinks in process: the folder match, the 500 ms coalescing (on a clock
// of the test's), the broadcast and the module lock a registration holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChangeSinks.h"
#include "ComBase.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "VKSServer.h"

namespace {

struct MatchCase {
  const wchar_t* registered;
  const wchar_t* longPath;
  const wchar_t* shortPath;
  const wchar_t* changed;
  bool matches;
};

const MatchCase kMatches[] = {
    {L"A:\\DIR", L"a:\\dir", L"a:\\dir", L"A:\\dir", true},
    {L"A:\\DIR", L"a:\\dir", L"a:\\dir", L"a:\\DiR", true},
    {L"A:\\Long Folder", L"a:\\long folder", L"a:\\longfo~1", L"A:\\LONGFO~1", true},
    {L"A:\\Long Folder", L"a:\\long folder", L"a:\\longfo~1", L"A:\\Long Folder", true},
    {L"A:\\dir\\sub", L"a:\\dir\\sub", L"a:\\dir\\sub", L"A:\\dir", false},  // shallower
    {L"A:", L"a:", L"a:", L"A:\\dir", false},                               // deeper
    {L"A:", L"a:", L"a:", L"A:", true},
    {L"A:\\dir", L"a:\\dir", L"a:\\dir", L"B:\\dir", false},  // another drive
    {L"A:", L"a:", L"a:", L"B:", false},
    {L"\\dir", L"\\dir", L"\\dir", L"\\dir", true},  // one volume: no drive part
    {L"\\dir", L"\\dir", L"\\dir", L"\\other", false},
    {L"\\", L"", L"", L"", true},
    {L"", L"", L"", L"A:\\anything\\at\\all", true},  // registered for everything
    {L"A:\\dirx", L"a:\\dirx", L"a:\\dirx", L"A:\\dir", false},
};

TEST(SinkMatch, ComponentsOfTheLongOrShortFormMustAllMatch) {
  for (const MatchCase& c : kMatches) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.registered)) + " / " +
                 testing::PrintToString(std::wstring(c.changed)));
    EXPECT_EQ(c.matches, SinkFolderMatches(CBstr(c.registered), CBstr(c.longPath), CBstr(c.shortPath),
                                           CBstr(c.changed)));
  }
}

class SinkTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetSinkClock(&clock);
    a = new RecordingSink(clock);
    b = new RecordingSink(clock);
  }
  void TearDown() override {
    RemoveAllSinks();
    a->Release();
    b->Release();
    SetSinkClock(nullptr);
  }
  // The main loop's part: dispatch whatever is due until timeoutMs pass.
  void RunDispatch(DWORD timeoutMs) {
    const DWORD start = clock.Now();
    while (clock.Now() - start < timeoutMs) {
      const DWORD wait = TimeToNextDispatch();
      if (wait == 0)
        DispatchPendingNotification();
      else
        clock.Advance(wait < 20 ? wait : 20);
    }
  }
  int Add(RecordingSink* sink, const wchar_t* folder) {
    return AddSink(sink, CBstr(folder), CBstr(folder), CBstr(folder));
  }
  vkstest::CManualClock clock;
  RecordingSink* a;
  RecordingSink* b;
};

TEST_F(SinkTest, ChangesWithinTheDelayGiveOneCallAboutHalfASecondAfterTheLast) {
  Add(a, L"a:\\dir");
  EXPECT_EQ(500u, TimeToNextDispatch());
  NotifySinksOfChange(CBstr(L"A:\\dir"));
  clock.Advance(150);
  NotifySinksOfChange(CBstr(L"A:\\DIR"));
  clock.Advance(150);
  NotifySinksOfChange(CBstr(L"a:\\dir"));
  const DWORD last = clock.Now();
  NotifySinksOfChange(CBstr(L"A:\\dir\\sub"));  // not this folder
  RunDispatch(1500);
  ASSERT_EQ(1u, a->calls.size());
  EXPECT_EQ(L"a:\\dir", a->calls[0].path);  // the text it registered with
  EXPECT_GE(a->calls[0].at - last, 450u);
  EXPECT_LE(a->calls[0].at - last, 1000u);
}

TEST_F(SinkTest, NotifyAllMakesEverySinkDueOnceAndBroadcastCallsAtOnce) {
  Add(a, L"a:\\one");
  Add(b, L"b:\\two");
  NotifyAllSinks();
  RunDispatch(1200);
  EXPECT_EQ(1u, a->calls.size());
  EXPECT_EQ(1u, b->calls.size());
  // Broadcast reaches pending sinks too, in registration order, with its own text.
  NotifySinksOfChange(CBstr(L"A:\\one"));
  BroadcastChange(CBstr(L"\\<INVALIDATE_CACHE_CHANGE"));
  ASSERT_EQ(2u, a->calls.size());
  ASSERT_EQ(2u, b->calls.size());
  EXPECT_EQ(L"\\<INVALIDATE_CACHE_CHANGE", a->calls[1].path);
  EXPECT_LE(a->calls[1].at, b->calls[1].at);
  RunDispatch(800);  // the pending change of a still comes
  EXPECT_EQ(3u, a->calls.size());
  EXPECT_EQ(2u, b->calls.size());
}

TEST_F(SinkTest, RegistrationsHoldTheModuleAndTokensAreNeverReused) {
  const LONG before = GetComModule().GetLockCount();
  const int first = Add(a, L"a:");
  const int second = Add(b, L"a:");
  EXPECT_EQ(before + 2, GetComModule().GetLockCount());
  EXPECT_TRUE(RemoveSink(first));
  EXPECT_FALSE(RemoveSink(first));
  EXPECT_EQ(before + 1, GetComModule().GetLockCount());
  const int third = Add(a, L"a:");
  EXPECT_GT(third, second);
  EXPECT_GT(second, first);
  RemoveAllSinks();
  EXPECT_EQ(before, GetComModule().GetLockCount());
  EXPECT_EQ(0, GetSinkCount());
}

TEST_F(SinkTest, ASinkWhoseClientIsGoneIsDropped) {
  Add(a, L"a:");
  Add(b, L"a:");
  a->result = RPC_E_DISCONNECTED;
  BroadcastChange(CBstr(L"A:"));
  EXPECT_EQ(1, GetSinkCount());
  b->result = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
  NotifySinksOfChange(CBstr(L"A:"));
  RunDispatch(800);
  EXPECT_EQ(0, GetSinkCount());
  // An ordinary failure of OnChange is ignored.
  Add(a, L"a:");
  a->result = E_FAIL;
  BroadcastChange(CBstr(L"A:"));
  EXPECT_EQ(1, GetSinkCount());
}

}  // namespace
