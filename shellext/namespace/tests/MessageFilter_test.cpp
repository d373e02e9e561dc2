// The per-thread message filter: shared and counted per thread, answers and
// forwards as the server's busy replies need, and leaves OLE as it found it.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <functional>
#include <thread>
#include "MessageFilter.h"

namespace {

// Each case runs on a thread of its own, so its apartment starts clean.
void OnFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

// A filter that was on the thread before ours; answers with fixed values.
class CProbeFilter final : public IMessageFilter {
public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMessageFilter)) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP_(DWORD) HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    ++calls;
    return 71;
  }
  STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override {
    ++calls;
    return 72;
  }
  STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override {
    ++calls;
    return 73;
  }
  ULONG refs = 1;
  int calls = 0;
};

// What is registered on the thread now (put back right after looking).
IMessageFilter* RegisteredFilter() {
  IMessageFilter* current = nullptr;
  CoRegisterMessageFilter(nullptr, &current);
  CoRegisterMessageFilter(current, nullptr);
  if (current) current->Release();
  return current;
}

class MessageFilterTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(AllocFilterSlot(), S_OK); }
  void TearDown() override { FreeFilterSlot(); }
};

TEST_F(MessageFilterTest, UsersOnOneThreadShareItAndTheLastRestoresThePrevious) {
  OnFreshThread([] {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CProbeFilter probe;
    ASSERT_EQ(CoRegisterMessageFilter(&probe, nullptr), S_OK);
    ASSERT_EQ(AcquireThreadMessageFilter(), S_OK);
    IMessageFilter* ours = ThreadMessageFilter();
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(RegisteredFilter(), ours);
    ASSERT_EQ(AcquireThreadMessageFilter(), S_OK);
    EXPECT_EQ(ThreadMessageFilter(), ours);
    ReleaseThreadMessageFilter();
    EXPECT_EQ(ThreadMessageFilter(), ours);
    EXPECT_EQ(RegisteredFilter(), ours);
    ReleaseThreadMessageFilter();
    EXPECT_EQ(ThreadMessageFilter(), nullptr);
    EXPECT_EQ(RegisteredFilter(), &probe);
    CoRegisterMessageFilter(nullptr, nullptr);
    EXPECT_EQ(probe.refs, 1u) << "the previous filter's reference was not given back";
    ReleaseThreadMessageFilter();   // one too many: nothing there, nothing happens
    CoUninitialize();
  });
}

TEST_F(MessageFilterTest, AnswersAloneOrThroughThePreviousFilter) {
  struct Case {
    const char* call;
    std::function<DWORD(IMessageFilter*)> invoke;
    DWORD alone;
    DWORD withPrevious;
    bool forwarded;
  };
  const Case cases[] = {
      {"incoming call", [](IMessageFilter* f) { return f->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr); },
       SERVERCALL_ISHANDLED, 71, true},
      {"retry later", [](IMessageFilter* f) { return f->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER); },
       250, 250, false},
      {"rejected", [](IMessageFilter* f) { return f->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED); },
       static_cast<DWORD>(-1), 72, true},
      {"message pending", [](IMessageFilter* f) { return f->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL); },
       PENDINGMSG_WAITDEFPROCESS, 73, true},
  };
  for (const Case& c : cases) {
    for (bool withPrevious : {false, true}) {
      OnFreshThread([&] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        CProbeFilter probe;
        if (withPrevious) CoRegisterMessageFilter(&probe, nullptr);
        ASSERT_EQ(AcquireThreadMessageFilter(), S_OK);
        EXPECT_EQ(c.invoke(ThreadMessageFilter()), withPrevious ? c.withPrevious : c.alone)
            << c.call << (withPrevious ? " with a previous filter" : " alone");
        EXPECT_EQ(probe.calls, withPrevious && c.forwarded ? 1 : 0) << c.call;
        ReleaseThreadMessageFilter();
        CoRegisterMessageFilter(nullptr, nullptr);
        CoUninitialize();
      });
    }
  }
}

TEST_F(MessageFilterTest, OleInitialisedBeforeStaysBalanced) {
  OnFreshThread([] {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    ASSERT_EQ(AcquireThreadMessageFilter(), S_OK);
    ReleaseThreadMessageFilter();
    OleUninitialize();
    // Balanced: the thread's apartment is gone, so a new one starts fresh.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
  });
  OnFreshThread([] {
    // Alone, the filter's own initialisation keeps OLE up while it lives.
    ASSERT_EQ(AcquireThreadMessageFilter(), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    ReleaseThreadMessageFilter();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
  });
}

TEST_F(MessageFilterTest, InAMultithreadedApartmentItFailsAndLeavesTheSlotEmpty) {
  OnFreshThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_TRUE(FAILED(AcquireThreadMessageFilter()));
    EXPECT_EQ(ThreadMessageFilter(), nullptr);
    ReleaseThreadMessageFilter();
    CoUninitialize();
    // Nothing of OLE was left behind either.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
  });
}

TEST_F(MessageFilterTest, WithoutASlotNothingIsInstalled) {
  FreeFilterSlot();
  OnFreshThread([] {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CProbeFilter probe;
    CoRegisterMessageFilter(&probe, nullptr);
    EXPECT_EQ(AcquireThreadMessageFilter(), S_FALSE);
    EXPECT_EQ(RegisteredFilter(), &probe);
    ReleaseThreadMessageFilter();
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
  });
}

}  // namespace
