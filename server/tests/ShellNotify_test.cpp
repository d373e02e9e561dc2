// Shell change notifications: the item-ID lists byte for byte, and the gate
// that holds posts back while the server's loop is busy. A recorder stands in
// for SHChangeNotify (the shell hears only its own process under Wine).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <shlobj.h>

#include "ExeModule.h"
#include "ServerParts.h"
#include "CriticalSection.h"
#include "ShellNotify.h"
#include "SuiteUtil.h"

namespace {

struct Post {
  LONG event;
  UINT flags;
  std::string first, second;
};

CCriticalSection g_postsLock;
std::vector<Post> g_posts;

std::string ListBytes(const ITEMIDLIST* list) {
  if (!list) return std::string();
  return std::string(reinterpret_cast<const char*>(list), GetIDListSize(list));
}

void Record(LONG event, UINT flags, const ITEMIDLIST* first, const ITEMIDLIST* second) {
  CLockScope lock(g_postsLock);
  g_posts.push_back({event, flags, ListBytes(first), ListBytes(second)});
}

size_t PostCount() {
  CLockScope lock(g_postsLock);
  return g_posts.size();
}

bool WaitForPosts(size_t count, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (PostCount() < count) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

// A root list of one made-up item (cb 6, then 4 bytes) and its terminator.
const BYTE kRoot[] = {6, 0, 'R', 'O', 'O', 'T', 0, 0};

std::string Item(const std::wstring& pathSoFar, const std::wstring& component) {
  std::string item;
  auto put = [&](const void* data, size_t size) { item.append(static_cast<const char*>(data), size); };
  const WORD cb = static_cast<WORD>(42 + 2 * pathSoFar.size() + 2 * component.size());
  const WORD signature = 100;
  const DWORD size = 0, attributes = 0x10;
  const double times[3] = {0, 0, 0};
  const WORD nameLength = static_cast<WORD>(pathSoFar.size() + 1);
  put(&cb, 2);
  put(&signature, 2);
  put(&size, 4);
  put(&attributes, 4);
  put(times, sizeof times);
  put(&nameLength, 2);
  put(pathSoFar.c_str(), 2 * (pathSoFar.size() + 1));
  put(component.c_str(), 2 * (component.size() + 1));
  return item;
}

std::string List(const std::vector<std::string>& items) {
  std::string list(reinterpret_cast<const char*>(kRoot), sizeof kRoot - 2);
  for (const auto& item : items) list += item;
  list.append(2, '\0');
  return list;
}

class ShellNotifyTest : public ::testing::Test {
protected:
  void SetUp() override {
    {
      CLockScope lock(g_postsLock);
      g_posts.clear();
    }
    SetShellPoster(Record);
    SetShellNotifyRoot(reinterpret_cast<const ITEMIDLIST*>(kRoot));
    ASSERT_TRUE(StartShellNotify());
  }
  void TearDown() override {
    StopShellNotify();
    SetShellPoster(nullptr);
    SetShellNotifyRoot(nullptr);
  }
};

TEST_F(ShellNotifyTest, ListsCarryOneItemPerComponentUnderTheRoot) {
  struct Case {
    const wchar_t* path;
    short volumes;
    std::string expected;
  };
  const Case cases[] = {
      {L"A:\\x", 2, List({Item(L"\\A:", L"A:"), Item(L"\\A:\\x", L"x")})},
      {L"\\B:\\x\\long name", 3, List({Item(L"\\B:", L"B:"), Item(L"\\B:\\x", L"x"),
                                       Item(L"\\B:\\x\\long name", L"long name")})},
      {L"\\x", 1, List({Item(L"\\A:", L"A:"), Item(L"\\A:\\x", L"x")})},
      {L"", 1, List({Item(L"\\A:", L"A:")})},
      {L"A:", 2, List({Item(L"\\A:", L"A:")})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
    ITEMIDLIST* list = BuildModuleIDList(0, CBstr(c.path), c.volumes, nullptr);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(c.expected, ListBytes(list));
    CoTaskMemFree(list);
  }
}

TEST_F(ShellNotifyTest, PostsWaitForTheGateAndAllArePostedAtTheStop) {
  QueueShellNotifyPath(0, kShcneUpdateDir, CBstr(L"A:\\x"), 2, nullptr);
  QueueShellNotify(kShcneUpdateDir, true);
  QueueShellNotifyRename(0, kShcneRenameFolder, CBstr(L"A:\\old"), CBstr(L"A:\\new"), 2, nullptr);
  Sleep(300);
  EXPECT_EQ(0u, PostCount());  // the loop never idled
  StopShellNotify();
  ASSERT_EQ(3u, PostCount());
  EXPECT_EQ(kShcneUpdateDir, g_posts[0].event);
  EXPECT_EQ(static_cast<UINT>(SHCNF_IDLIST | SHCNF_FLUSH), g_posts[0].flags);
  EXPECT_EQ(List({Item(L"\\A:", L"A:"), Item(L"\\A:\\x", L"x")}), g_posts[0].first);
  EXPECT_EQ(List({}), g_posts[1].first);
  EXPECT_EQ(kShcneRenameFolder, g_posts[2].event);
  EXPECT_EQ(List({Item(L"\\A:", L"A:"), Item(L"\\A:\\old", L"old")}), g_posts[2].first);
  EXPECT_EQ(List({Item(L"\\A:", L"A:"), Item(L"\\A:\\new", L"new")}), g_posts[2].second);
}

TEST_F(ShellNotifyTest, NothingIsPostedWhileCallsKeepTheLoopBusy) {
  ExeModule module(ServerIdleWork());
  module.Lock();  // a client holds the server
  std::thread loop([&] { module.RunMessageLoop(); });
  QueueShellNotifyPath(0, kShcneUpdateDir, CBstr(L"A:\\busy"), 2, nullptr);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 600) {
    module.NoteActivity();
    Sleep(20);
  }
  EXPECT_EQ(0u, PostCount());
  // Quiet now: the post follows once the loop has idled for 50 ms.
  EXPECT_TRUE(WaitForPosts(1, 3000));
  module.Unlock();
  EXPECT_TRUE(module.WaitForShutdown(10000));
  loop.join();
}

TEST(ShellNotifyWithoutRoot, NoListIsBuiltWithoutTheModuleFolder) {
  SetShellNotifyRoot(nullptr);
  // No "Module" item under My Computer here: no list can be built.
  EXPECT_EQ(nullptr, BuildModuleIDList(0, CBstr(L"A:\\x"), 2, nullptr));
}

}  // namespace
