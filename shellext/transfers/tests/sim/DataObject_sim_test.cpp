// Module items to the PC through the data object, against the real server
// and the module simulator: a reader that takes the descriptor and every
// "FileContents" as Explorer does, directly and through the clipboard, byte
// for byte; a line fault and a Cancel in the middle leave every source.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "DialogPresser.h"
#include "DeleteOperation.h"
#include "ItemIDList.h"
#include "MessageWait.h"
#include "RPLDataObject.h"
#include "ResultCodes.h"
#include "Seams.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "ModuleSimTest.h"
#include "TransferTree.h"
#include "../ExplorerReader.h"
#include "../XferTestUi.h"

namespace {

using namespace vkstest;
using namespace transfertree;

class DataObjectSim : public CModuleSimTest {
protected:
  void SetUp() override {
    CModuleSimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The clipboard needs OLE on this thread, not only COM.
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_ole = true;
    ASSERT_TRUE(RegisterClipboardFormats());
    pcRoot = vkstest::NewTempFolder(L"dob");
    ASSERT_FALSE(pcRoot.empty());
  }
  void StopServer() override {
    EXPECT_TRUE(WaitForDeleteOperations(20000));
    if (m_ole) {
      // Whatever a test left there goes; the answer may be a failure under
      // Wine when an owner thread that has ended took OLE's clipboard window
      // with it (see EmptyOleClipboard).
      OleSetClipboard(nullptr);
      // The clipboard's object ends on its owner thread; its server streams with it.
      for (int i = 0; i < 50; ++i) {
        PumpWaitingMessages();
        Sleep(20);
      }
      OleUninitialize();
      m_ole = false;
    }
    CModuleSimTest::StopServer();
  }
  void TearDown() override {
    if (!pcRoot.empty()) vkstest::RemoveTree(pcRoot);
    CModuleSimTest::TearDown();
  }
  // Which files of the tree stand on the PC below top (each one that stands
  // must be whole), by their index in the tree.
  std::vector<int> PCFilesAt(const std::wstring& top) {
    std::vector<int> standing;
    for (size_t i = 0; i < ARRAYSIZE(kTree); ++i) {
      std::vector<BYTE> data;
      if (!ReadPCFile(top + L"\\" + kTree[i].relative, kTree[i].size, &data)) continue;
      EXPECT_TRUE(data == TreeBytes(i)) << kTree[i].relative << ": " << data.size() << " bytes";
      standing.push_back(static_cast<int>(i));
    }
    return standing;
  }
  ComPtr<IDataObject> MakeObject(const wchar_t* folder, const std::wstring& path, DWORD effect) {
    CItemIDList* found = nullptr;
    EXPECT_EQ(S_OK, FindEntryByName(path.c_str(), volume.Get(), &found)) << path;
    ComPtr<IDataObject> data;
    if (!found) return data;
    LPCITEMIDLIST lists[] = {found->Get()};
    EXPECT_EQ(S_OK, CreateDataObject(folder, nullptr, lists, 1, effect, nullptr, false, &data));
    delete found;
    return data;
  }
  CXferTestUi ui;
  std::wstring pcRoot;
  bool m_ole = false;
};

TEST_F(DataObjectSim, AModuleTreeIsCopiedAndMovedToThePCByteForByte) {
  SeedModuleTree(L"A\\tree");
  {
    ComPtr<IDataObject> copy = MakeObject(L"\\A:", L"\\A:\\tree", DROPEFFECT_COPY);
    ASSERT_TRUE(copy);
    EXPECT_EQ(0, ReadLikeExplorer(copy.Get(), pcRoot, false));
  }
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), PCFilesAt(pcRoot + L"\\tree"));
  ExpectModuleTree(L"A\\tree");
  EXPECT_TRUE(ui.shown.empty());

  vkstest::RemoveTree(pcRoot + L"\\tree");
  {
    ComPtr<IDataObject> move = MakeObject(L"\\A:", L"\\A:\\tree", DROPEFFECT_MOVE);
    ASSERT_TRUE(move);
    EXPECT_EQ(0, ReadLikeExplorer(move.Get(), pcRoot, true));
    ASSERT_TRUE(WaitForDeleteOperations(20000));
  }
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), PCFilesAt(pcRoot + L"\\tree"));
  EXPECT_FALSE(HostExists(L"A\\tree"));
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DataObjectSim, TheClipboardCarriesATreeToThePC) {
  SeedModuleTree(L"B\\clip");
  CItemIDList* found = nullptr;
  ASSERT_EQ(S_OK, FindEntryByName(L"\\B:\\clip", volume.Get(), &found));
  LPCITEMIDLIST lists[] = {found->Get()};
  EXPECT_EQ(S_OK, PutItemsOnClipboard(L"\\B:", nullptr, lists, 1, DROPEFFECT_COPY, nullptr));
  delete found;
  ASSERT_TRUE(ClipboardHasPastableData());
  for (const wchar_t* paste : {L"\\one", L"\\two"}) {
    ComPtr<IDataObject> pasted;
    ASSERT_EQ(S_OK, OleGetClipboard(&pasted));
    CreateDirectoryW((pcRoot + paste).c_str(), nullptr);
    EXPECT_EQ(0, ReadLikeExplorer(pasted.Get(), pcRoot + paste, false));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), PCFilesAt(pcRoot + paste + L"\\clip")) << paste;
  }
  ExpectModuleTree(L"B\\clip");
}

// A GET of the big file fails on the line: one box for that file, the others
// arrive, and the move the reader reports anyway deletes nothing.
TEST_F(DataObjectSim, ALineFaultMidwayKeepsEverySource) {
  SeedModuleTree(L"A\\tree");
  CItemIDList* found = nullptr;
  ASSERT_EQ(S_OK, FindEntryByName(L"\\A:\\tree", volume.Get(), &found));
  // Three listings at the object's making, then top.txt and empty.txt: the
  // eighth GET from here is inside the big file.
  ASSERT_TRUE(sim.Command("obex fault error D0 at 8 get"));
  LPCITEMIDLIST lists[] = {found->Get()};
  {
    ComPtr<IDataObject> move;
    ASSERT_EQ(S_OK, CreateDataObject(L"\\A:", nullptr, lists, 1, DROPEFFECT_MOVE, nullptr, false, &move));
    EXPECT_EQ(1, ReadLikeExplorer(move.Get(), pcRoot, true));
    ASSERT_TRUE(WaitForDeleteOperations(20000));
  }
  delete found;
  EXPECT_EQ(1u, ui.shown.size());
  EXPECT_EQ((std::vector<int>{0, 1, 3}), PCFilesAt(pcRoot + L"\\tree"));
  ExpectModuleTree(L"A\\tree");
}

// Cancel in the progress dialog while the big file's answer is held back.
TEST_F(DataObjectSim, CancelMidwayKeepsEverySource) {
  SeedModuleTree(L"A\\tree");
  CItemIDList* found = nullptr;
  ASSERT_EQ(S_OK, FindEntryByName(L"\\A:\\tree", volume.Get(), &found));
  ASSERT_TRUE(sim.Command("obex fault stall 3000 at 8 get"));
  LPCITEMIDLIST lists[] = {found->Get()};
  CCaptionPresser cancel(L"Moving...", IDCANCEL);
  int failed = 0;
  {
    ComPtr<IDataObject> move;
    ASSERT_EQ(S_OK, CreateDataObject(L"\\A:", nullptr, lists, 1, DROPEFFECT_MOVE, nullptr, false, &move));
    failed = ReadLikeExplorer(move.Get(), pcRoot, true);
    ASSERT_TRUE(WaitForDeleteOperations(20000));
  }
  delete found;
  EXPECT_GE(failed, 1);
  EXPECT_TRUE(ui.shown.empty()) << "a cancel is not an error";
  const std::vector<int> standing = PCFilesAt(pcRoot + L"\\tree");
  for (int index : standing) EXPECT_NE(2, index) << "the big file was not to arrive";
  ExpectModuleTree(L"A\\tree");
}

}  // namespace
