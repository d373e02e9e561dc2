// Folder-listing cache of ObexConnection over an in-process module.
#include <gtest/gtest.h>

#include <memory>

#include "ObexConnection.h"
#include "ResultCodes.h"
#include "queue_fakes.h"

namespace {

DWORD g_now = 1000;
DWORD WINAPI FakeClock() { return g_now; }

std::vector<std::wstring> Names(FolderEntry* list) {
  std::vector<std::wstring> names;
  for (FolderEntry* e = list; e; e = e->next) names.push_back(e->name);
  return names;
}

class CacheTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetListingClock(FakeClock);
    g_now = 1000;
    module = new fake::Module;
    module->AddFolder(L"A:", {{L"dir", 0, FILE_ATTRIBUTE_DIRECTORY},
                              {L"telecom", 0, FILE_ATTRIBUTE_DIRECTORY},
                              {L"a", 0, FILE_ATTRIBUTE_DIRECTORY},
                              {L"ab", 0, FILE_ATTRIBUTE_DIRECTORY}});
    module->AddFolder(L"A:\\dir", {{L"f.txt", 123, 0, L"F~1.TXT"},
                                   {L"sub", 0, FILE_ATTRIBUTE_DIRECTORY}});
    module->AddFolder(L"A:\\dir\\sub", {});
    module->AddFolder(L"A:\\a", {{L"b", 0, FILE_ATTRIBUTE_DIRECTORY}});
    module->AddFolder(L"A:\\a\\b", {{L"x", 1, 0}});
    module->AddFolder(L"A:\\ab", {{L"y", 2, 0}});
    module->AddFolder(L"A:\\telecom", {{L"devinfo.txt", 50, 0}});
    obex = std::make_unique<ObexConnection>(module);
    ASSERT_EQ(S_OK, obex->OpenLink("COM1", -1));
    int id = 0;
    ASSERT_EQ(S_OK, obex->Connect(&id, 0));
    ASSERT_EQ(1, id);
    module->ClearLog();
  }
  void TearDown() override {
    obex.reset();
    SetListingClock(nullptr);
  }

  // Lists and returns how many module listings that cost.
  int ListCost(const wchar_t* path, std::vector<std::wstring>* names = nullptr,
               HRESULT* result = nullptr) {
    const int before = module->Count(L"List");
    FolderEntry* list = nullptr;
    const HRESULT hr = obex->GetFolderListing(1, path, &list);
    if (names) *names = Names(list);
    if (result) *result = hr;
    FreeEntryList(list);
    return module->Count(L"List") - before;
  }

  fake::Module* module = nullptr;  // owned by obex
  std::unique_ptr<ObexConnection> obex;
};

TEST_F(CacheTest, SecondListingIsServedFromMemoryUntilItIsThirtyMinutesOld) {
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));
  std::vector<std::wstring> names;
  EXPECT_EQ(0, ListCost(L"a:\\DIR\\*", &names));  // paths compare without case
  EXPECT_EQ((std::vector<std::wstring>{L"f.txt", L"sub"}), names);
  g_now += kListingMaxAgeMs - 1;
  EXPECT_EQ(0, ListCost(L"A:\\dir\\*"));
  g_now += 1;
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));
}

TEST_F(CacheTest, InvalidateDropsEverythingAtTheNextLookup) {
  ListCost(L"A:\\dir\\*");
  obex->InvalidateCache();
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));
  EXPECT_EQ(0, ListCost(L"A:\\dir\\*"));
}

TEST_F(CacheTest, EmptyFolderGivesSFalseFromModuleAndCache) {
  HRESULT hr = S_OK;
  EXPECT_EQ(1, ListCost(L"A:\\dir\\sub\\*", nullptr, &hr));
  EXPECT_EQ(S_FALSE, hr);
  EXPECT_EQ(0, ListCost(L"A:\\dir\\sub\\*", nullptr, &hr));
  EXPECT_EQ(S_FALSE, hr);
}

TEST_F(CacheTest, SingleEntryByNameOrShortNameWithoutCase) {
  struct Case {
    const wchar_t* path;
    HRESULT result;
    const wchar_t* found;
  } cases[] = {
      {L"A:\\dir\\f.txt", S_OK, L"f.txt"},
      {L"A:\\dir\\F.TXT", S_OK, L"f.txt"},  // the module ignores case
      {L"A:\\dir\\f~1.txt", S_OK, L"f.txt"},  // short names without
      {L"A:\\dir\\none", S_FALSE, nullptr},
  };
  for (const auto& c : cases) {
    std::vector<std::wstring> names;
    HRESULT hr = E_FAIL;
    ListCost(c.path, &names, &hr);
    EXPECT_EQ(c.result, hr) << c.path;
    if (c.found) {
      EXPECT_EQ(std::vector<std::wstring>{c.found}, names) << c.path;
    }
  }
  EXPECT_EQ(1, module->Count(L"List"));  // all from the one listing of A:\dir
}

TEST_F(CacheTest, VolumeRootHidesTelecomAndTelecomIsNeverCached) {
  module->AddFolder(L"", {{L"telecom", 0, FILE_ATTRIBUTE_DIRECTORY}, {L"x", 0, 0}});
  module->AddFolder(L"\\telecom", {{L"devinfo.txt", 50, 0}});
  module->AddFolder(L"\\A:", {{L"Telecom", 0, FILE_ATTRIBUTE_DIRECTORY}});
  std::vector<std::wstring> names;
  ListCost(L"A:\\*", &names);
  EXPECT_EQ((std::vector<std::wstring>{L"dir", L"a", L"ab"}), names);
  ListCost(L"\\*", &names);
  EXPECT_EQ(std::vector<std::wstring>{L"x"}, names);
  HRESULT hr = S_OK;
  ListCost(L"\\A:\\*", &names, &hr);  // the root emptied by hiding
  EXPECT_EQ(S_FALSE, hr);

  // Inside "telecom" every listing reaches the module, whichever path form.
  for (const wchar_t* path :
       {L"\\telecom\\*", L"A:\\telecom\\*", L"\\A:\\telecom\\*", L"A:\\TELECOM\\*"}) {
    EXPECT_EQ(1, ListCost(path)) << path;
    EXPECT_EQ(1, ListCost(path)) << path;
  }
  EXPECT_TRUE(IsTelecomPath(CBstr(L"A:\\telecom\\x")));
  EXPECT_FALSE(IsTelecomPath(CBstr(L"A:\\dir\\telecom")));
  EXPECT_FALSE(IsTelecomPath(CBstr(L"\\telecoms")));
}

// Each changing operation patches the cached listing of the folder it changed,
// so the next listing costs no module traffic and shows the change.
TEST_F(CacheTest, ChangesPatchTheCachedListing) {
  struct Case {
    const char* what;
    std::function<HRESULT(ObexConnection&)> op;
    const wchar_t* folder;  // listing checked afterwards
    const wchar_t* present;
    const wchar_t* absent;
  } cases[] = {
      {"CreateDir", [](ObexConnection& o) { return o.CreateDir(1, L"A:\\dir\\new"); },
       L"A:\\dir\\*", L"new", nullptr},
      {"Delete", [](ObexConnection& o) { return o.Delete(1, L"A:\\dir\\f.txt"); }, L"A:\\dir\\*",
       L"sub", L"f.txt"},
      {"RemoveDir", [](ObexConnection& o) { return o.RemoveDir(1, L"A:\\dir\\sub"); },
       L"A:\\dir\\*", L"f.txt", L"sub"},
      {"Copy", [](ObexConnection& o) { return o.Copy(1, L"A:\\dir\\g.txt", L"A:\\dir\\f.txt"); },
       L"A:\\dir\\*", L"g.txt", nullptr},
      {"Move", [](ObexConnection& o) { return o.Move(1, L"A:\\dir\\g.txt", L"A:\\dir\\f.txt"); },
       L"A:\\dir\\*", L"g.txt", L"f.txt"},
      {"PutFile",
       [](ObexConnection& o) { return o.PutFile(1, L"A:\\dir\\p.bin", nullptr, 9, 0, 0, 0, 0); },
       L"A:\\dir\\*", L"p.bin", nullptr},
      {"SetAttributes",
       [](ObexConnection& o) { return o.SetAttributes(1, L"A:\\dir\\f.txt", 1); }, L"A:\\dir\\*",
       L"f.txt", nullptr},
      {"SetTime", [](ObexConnection& o) { return o.SetTime(1, L"A:\\dir\\f.txt", 0, 0, 41000); },
       L"A:\\dir\\*", L"f.txt", nullptr},
  };
  for (const auto& c : cases) {
    SetUp();
    ListCost(L"A:\\dir\\*");
    EXPECT_TRUE(SUCCEEDED(c.op(*obex))) << c.what;
    std::vector<std::wstring> names;
    EXPECT_EQ(0, ListCost(c.folder, &names)) << c.what;
    auto has = [&](const wchar_t* n) {
      return std::find(names.begin(), names.end(), n) != names.end();
    };
    if (c.present) {
      EXPECT_TRUE(has(c.present)) << c.what;
    }
    if (c.absent) {
      EXPECT_FALSE(has(c.absent)) << c.what;
    }
  }
}

TEST_F(CacheTest, PatchedFieldsMatchWhatWasDone) {
  ListCost(L"A:\\dir\\*");
  ASSERT_EQ(S_OK, obex->Copy(1, L"A:\\dir\\g.txt", L"A:\\dir\\f.txt"));
  ASSERT_EQ(S_OK, obex->SetAttributes(1, L"A:\\dir\\sub", FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(S_OK, obex->SetTime(1, L"A:\\dir\\f.txt", 0, 0, 41000));
  ASSERT_EQ(S_OK, obex->PutFile(1, L"A:\\dir\\f.txt", nullptr, 77, 0x20, 1, 2, 3));
  FolderEntry* list = nullptr;
  ASSERT_EQ(S_OK, obex->GetFolderListing(1, L"A:\\dir\\*", &list));
  for (FolderEntry* e = list; e; e = e->next) {
    const std::wstring name = e->name;
    if (name == L"g.txt") {
      EXPECT_EQ(123u, e->size);  // the source's size
    } else if (name == L"sub") {
      // The folder bit stays whatever the new attributes say.
      EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY), e->attributes);
    } else if (name == L"f.txt") {
      EXPECT_EQ(77u, e->size);  // replaced by the PutFile
      EXPECT_EQ(3.0, e->modified);
    }
  }
  EXPECT_EQ(3u, Names(list).size());  // the PutFile replaced, not added
  FreeEntryList(list);
  EXPECT_EQ(1, module->Count(L"List"));
}

TEST_F(CacheTest, FailedChangesDropTheFolderListing) {
  struct Case {
    const wchar_t* op;
    std::function<HRESULT(ObexConnection&)> call;
  } cases[] = {
      {L"CreateDir", [](ObexConnection& o) { return o.CreateDir(1, L"A:\\dir\\new"); }},
      {L"Delete", [](ObexConnection& o) { return o.Delete(1, L"A:\\dir\\f.txt"); }},
      {L"Copy", [](ObexConnection& o) { return o.Copy(1, L"A:\\dir\\g", L"A:\\dir\\f.txt"); }},
      {L"PutFile",
       [](ObexConnection& o) { return o.PutFile(1, L"A:\\dir\\p", nullptr, 1, 0, 0, 0, 0); }},
      {L"SetAttributes", [](ObexConnection& o) { return o.SetAttributes(1, L"A:\\dir\\f.txt", 1); }},
      {L"SetTime", [](ObexConnection& o) { return o.SetTime(1, L"A:\\dir\\f.txt", 1, 1, 1); }},
  };
  for (const auto& c : cases) {
    SetUp();
    ListCost(L"A:\\dir\\*");
    module->fail[c.op] = E_FAIL;
    EXPECT_EQ(E_FAIL, c.call(*obex)) << c.op;
    EXPECT_EQ(1, ListCost(L"A:\\dir\\*")) << c.op;
  }
}

TEST_F(CacheTest, DeleteOfANameTheListingLacksKeepsItWhenTheModuleAgrees) {
  struct Case {
    const wchar_t* path;
    HRESULT failure;
    int listings;  // module listings of the folder afterwards
  } cases[] = {
      {L"A:\\dir\\missing", STG_E_FILENOTFOUND, 0},  // the module confirms the listing
      {L"A:\\dir\\f.txt", STG_E_FILENOTFOUND, 1},    // the listing had it: someone else deleted it
      {L"A:\\dir\\missing", E_FAIL, 1},              // any other failure leaves the folder unknown
  };
  for (const auto& c : cases) {
    SetUp();
    ListCost(L"A:\\dir\\*");
    module->fail[L"Delete"] = c.failure;
    EXPECT_EQ(c.failure, obex->Delete(1, c.path)) << c.path;
    EXPECT_EQ(1, module->Count(L"Delete")) << c.path;  // the module is still asked
    EXPECT_EQ(c.listings, ListCost(L"A:\\dir\\*")) << c.path;
  }
}

TEST_F(CacheTest, InconsistentListingIsDroppedNotGuessed) {
  ListCost(L"A:\\dir\\*");
  // A copy onto a name the cached listing already holds: drop, do not guess.
  ASSERT_EQ(S_OK, obex->Copy(1, L"A:\\dir\\sub", L"A:\\dir\\f.txt"));
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));
  // A delete of a name the cached listing does not know (made by someone else).
  ASSERT_EQ(S_OK, obex->Delete(1, L"A:\\dir\\ghost"));
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));
}

TEST_F(CacheTest, DeleteAndRemoveDirCheckTheKindFirst) {
  struct Case {
    bool remove;
    const wchar_t* path;
    HRESULT result;
    bool sent;
  } cases[] = {
      {false, L"A:\\dir\\sub", E_ACCESSDENIED, false},  // Delete of a folder
      {true, L"A:\\dir\\f.txt", E_ACCESSDENIED, false},  // RemoveDir of a file
      {false, L"A:\\dir\\f.txt", S_OK, true},
      {true, L"A:\\dir\\sub", S_OK, true},
      {false, L"A:\\telecom\\devinfo.txt", S_OK, true},  // no listing inside telecom
  };
  for (const auto& c : cases) {
    SetUp();
    const wchar_t* op = c.remove ? L"RemoveDir" : L"Delete";
    const HRESULT hr = c.remove ? obex->RemoveDir(1, c.path) : obex->Delete(1, c.path);
    EXPECT_EQ(c.result, hr) << c.path;
    EXPECT_EQ(c.sent ? 1 : 0, module->Count(op)) << c.path;
  }
}

TEST_F(CacheTest, RefusedListingFailsDeleteAndRemoveDir) {
  for (bool remove : {false, true}) {
    SetUp();
    module->fail[L"List"] = E_ACCESSDENIED;
    const HRESULT hr = remove ? obex->RemoveDir(1, L"A:\\dir\\sub")
                              : obex->Delete(1, L"A:\\dir\\f.txt");
    EXPECT_EQ(E_ACCESSDENIED, hr);  // never success with nothing deleted
    EXPECT_EQ(0, module->Count(remove ? L"RemoveDir" : L"Delete"));
  }
}

TEST_F(CacheTest, MoveDirDropsListingsUnderTheOldPathOnly) {
  for (const wchar_t* p : {L"A:\\*", L"A:\\a\\*", L"A:\\a\\b\\*", L"A:\\ab\\*"}) ListCost(p);
  ASSERT_EQ(S_OK, obex->MoveDir(1, L"A:\\dir\\a", L"A:\\a"));
  EXPECT_EQ(1, ListCost(L"A:\\a\\*"));
  EXPECT_EQ(1, ListCost(L"A:\\a\\b\\*"));
  EXPECT_EQ(0, ListCost(L"A:\\ab\\*"));
  std::vector<std::wstring> names;
  EXPECT_EQ(0, ListCost(L"A:\\*", &names));
  EXPECT_EQ((std::vector<std::wstring>{L"dir", L"ab"}), names);
}

TEST_F(CacheTest, FormatDropsEverything) {
  ListCost(L"A:\\dir\\*");
  ListCost(L"A:\\ab\\*");
  ASSERT_EQ(S_OK, obex->Format(1, L"A:", nullptr));
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));
  EXPECT_EQ(1, ListCost(L"A:\\ab\\*"));
}

TEST_F(CacheTest, LinkErrorDropsCacheAndConnection) {
  ListCost(L"A:\\dir\\*");
  module->fail[L"GetLabel"] = E_CONNECTION_LOST;
  BSTR label = nullptr;
  EXPECT_EQ(E_CONNECTION_LOST, obex->GetLabel(1, L"A:", &label, 3));
  SysFreeString(label);
  EXPECT_FALSE(obex->IsConnected());
  EXPECT_EQ(0, obex->GetConnectionId());
  module->ClearLog();
  // Without a connection every file operation answers at once.
  FolderEntry* list = nullptr;
  EXPECT_EQ(E_CONNECTION_LOST, obex->GetFolderListing(1, L"A:\\dir\\*", &list));
  EXPECT_EQ(E_CONNECTION_LOST, obex->Delete(1, L"A:\\dir\\f.txt"));
  EXPECT_TRUE(module->Log().empty());
  int id = 0;
  ASSERT_EQ(S_OK, obex->Connect(&id, 0));
  EXPECT_EQ(1, ListCost(L"A:\\dir\\*"));  // the cache went with the link

  // Other failures leave both alone.
  module->fail[L"GetLabel"] = E_FAIL;
  EXPECT_EQ(E_FAIL, obex->GetLabel(1, L"A:", &label, 3));
  SysFreeString(label);
  EXPECT_TRUE(obex->IsConnected());
  EXPECT_EQ(0, ListCost(L"A:\\dir\\*"));
}

TEST(CacheLink, OperationsWithoutConnectionNeverReportSuccess) {
  auto* module = new fake::Module;
  ObexConnection obex(module);
  FolderEntry* list = nullptr;
  EXPECT_EQ(E_CONNECTION_LOST, obex.GetFolderListing(1, L"\\*", &list));
  ASSERT_EQ(S_OK, obex.OpenLink("COM1", -1));
  // The link is open but no OBEX connection exists: nothing was done.
  EXPECT_EQ(E_CONNECTION_LOST, obex.CreateDir(1, L"\\x"));
  EXPECT_EQ(0, module->Count(L"CreateDir"));
  EXPECT_EQ(E_INVALIDARG, obex.Connect(nullptr, 0));
}

TEST(CacheLink, ConnectionIds) {
  auto* module = new fake::Module;
  ObexConnection obex(module);
  ASSERT_EQ(S_OK, obex.OpenLink("COM1", -1));
  int id = 0;
  ASSERT_EQ(S_OK, obex.Connect(&id, 0));
  EXPECT_EQ(1, id);
  ASSERT_EQ(S_OK, obex.Connect(&id, 0));  // still open: no second CONNECT
  EXPECT_EQ(1, module->connects.load());
  ASSERT_EQ(S_OK, obex.Connect(&id, 1));  // kind 1 replaces connection 1
  EXPECT_EQ(2, id);
  EXPECT_EQ(1, module->closes.load());
  EXPECT_EQ(S_OK, obex.CloseConnection(7, 0));  // unknown id
  EXPECT_EQ(1, module->closes.load());
  ASSERT_EQ(S_OK, obex.Disconnect());
  EXPECT_FALSE(obex.IsConnected());
  EXPECT_EQ(1, module->disconnects.load());
  EXPECT_EQ(S_OK, obex.Disconnect());  // link already closed
  EXPECT_EQ(1, module->disconnects.load());
}

}  // namespace
