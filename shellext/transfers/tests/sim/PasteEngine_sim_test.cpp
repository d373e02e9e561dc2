// Pastes through the engine against the real server and the module
// simulator: PC trees to the module and module trees within it, byte for
// byte against the simulator's folders, and what a line fault or a Cancel in
// the middle leaves behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "ComBase.h"
#include "DataObjectFormats.h"
#include "DialogPresser.h"
#include "ItemIDList.h"
#include "ModuleSimTest.h"
#include "PasteEngine.h"
#include "TransferTree.h"
#include "../FakeDataObject.h"
#include "../XferTestUi.h"

namespace {

using namespace vkstest;
using namespace transfertree;

class PasteEngineSim : public CModuleSimTest {
protected:
  void SetUp() override {
    CModuleSimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(RegisterClipboardFormats());
    pcRoot = vkstest::NewTempFolder(L"pse");
    ASSERT_FALSE(pcRoot.empty());
  }
  void TearDown() override {
    if (!pcRoot.empty()) vkstest::RemoveTree(pcRoot);
    CModuleSimTest::TearDown();
  }
  // The tree below pcRoot\name; its path.
  std::wstring SeedPCTreeNamed(const std::wstring& name) {
    const std::wstring top = pcRoot + L"\\" + name;
    SeedPCTree(top);
    return top;
  }
  ComPtr<CFakeDataObject> PCSource(const std::vector<std::wstring>& paths) {
    ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
    source->Serve(ids.hdrop, CFakeDataObject::HdropOf(paths));
    source->setFormats = {ids.pasteSucceeded, ids.performedDropEffect};
    return source;
  }
  // The module's own records of these items, as the view hands them over.
  ComPtr<CFakeDataObject> ModuleSource(const wchar_t* folder, const std::vector<std::wstring>& paths) {
    std::vector<CItemIDList> records;
    for (const std::wstring& path : paths) {
      CItemIDList* found = nullptr;
      EXPECT_EQ(S_OK, FindEntryByName(path.c_str(), volume.Get(), &found)) << path;
      if (found) records.push_back(std::move(*found));
      delete found;
    }
    std::vector<LPCITEMIDLIST> lists;
    for (const CItemIDList& record : records) lists.push_back(record.Get());
    ComPtr<CFakeDataObject> source = CFakeDataObject::Make();
    source->Serve(ids.directoryData, BuildDirectoryData(folder, lists.data(), static_cast<UINT>(lists.size())));
    source->setFormats = {ids.pasteSucceeded, ids.performedDropEffect};
    return source;
  }
  HRESULT Paste(IDataObject* source, const wchar_t* target, DWORD effect) {
    succeeded = 7;
    return StartPasteOperation(target, nullptr, source, effect, TRUE, 0, &succeeded);
  }
  bool BoxSaid(const wchar_t* words) const {
    for (const auto& shown : ui.shown)
      if (shown.text.find(words) != std::wstring::npos) return true;
    return false;
  }

  const ClipboardFormatIds& ids = ClipboardFormats();
  CXferTestUi ui;
  std::wstring pcRoot;
  DWORD succeeded = 7;
};

TEST_F(PasteEngineSim, APCTreeIsCopiedAndMovedByteForByte) {
  const std::wstring tree = SeedPCTreeNamed(L"tree");
  auto copy = PCSource({tree});
  ASSERT_EQ(S_OK, Paste(copy.Get(), L"\\A:", DROPEFFECT_COPY));
  ExpectModuleTree(L"A\\tree");
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(1u, succeeded);

  MakeHostDir(L"B\\in");
  auto move = PCSource({tree});
  ASSERT_EQ(S_OK, Paste(move.Get(), L"\\B:\\in", DROPEFFECT_MOVE));
  ExpectModuleTree(L"B\\in\\tree");
  EXPECT_EQ(std::vector<DWORD>{DROPEFFECT_MOVE}, move->DwordsSet(ids.performedDropEffect));
  EXPECT_EQ(std::vector<DWORD>{DROPEFFECT_MOVE}, move->DwordsSet(ids.pasteSucceeded));
  EXPECT_EQ(1u, succeeded);
  ExpectPCTree(tree);   // the PC source deletes its files itself
}

TEST_F(PasteEngineSim, AModuleTreeIsCopiedWithinTheModuleAndIntoItsOwnFolder) {
  SeedModuleTree(L"A\\tree");
  MakeHostDir(L"B\\in");
  auto elsewhere = ModuleSource(L"\\A:", {L"\\A:\\tree"});
  ASSERT_EQ(S_OK, Paste(elsewhere.Get(), L"\\B:\\in", DROPEFFECT_COPY));
  ExpectModuleTree(L"B\\in\\tree");
  EXPECT_EQ(1u, succeeded);

  auto own = ModuleSource(L"\\A:", {L"\\A:\\tree\\top.txt"});
  ASSERT_EQ(S_OK, Paste(own.Get(), L"\\A:\\tree", DROPEFFECT_COPY));
  ASSERT_EQ(S_OK, Paste(own.Get(), L"\\A:\\tree", DROPEFFECT_COPY));
  std::vector<BYTE> first, second;
  ASSERT_TRUE(ReadHostFile(L"A\\tree\\Copy of top.txt", &first));
  ASSERT_TRUE(ReadHostFile(L"A\\tree\\Copy (2) of top.txt", &second));
  EXPECT_TRUE(first == TreeBytes(0));
  EXPECT_TRUE(second == TreeBytes(0));
  ExpectModuleTree(L"A\\tree");
  EXPECT_TRUE(ui.shown.empty()) << (ui.shown.empty() ? L"" : ui.shown[0].text);
}

TEST_F(PasteEngineSim, AModuleMoveIsReportedDoneOnlyWhenComplete) {
  SeedModuleTree(L"A\\tree");
  MakeHostDir(L"A\\in");
  auto move = ModuleSource(L"\\A:", {L"\\A:\\tree"});
  ASSERT_EQ(S_OK, Paste(move.Get(), L"\\A:\\in", DROPEFFECT_MOVE));
  ExpectModuleTree(L"A\\in\\tree");
  EXPECT_EQ(std::vector<DWORD>{DROPEFFECT_MOVE}, move->DwordsSet(ids.pasteSucceeded));
  EXPECT_TRUE(move->DwordsSet(ids.performedDropEffect).empty());

  // Into a subfolder of itself: refused, nothing written, nothing reported done.
  SeedModuleTree(L"A\\again");
  auto inside = ModuleSource(L"\\A:", {L"\\A:\\again"});
  ASSERT_EQ(S_OK, Paste(inside.Get(), L"\\A:\\again\\s\u00fc b", DROPEFFECT_MOVE));
  EXPECT_TRUE(BoxSaid(L"The target folder is a subfolder of the source folder."));
  EXPECT_EQ(std::vector<DWORD>{0}, inside->DwordsSet(ids.pasteSucceeded));
  EXPECT_EQ(0u, succeeded);
  ExpectModuleTree(L"A\\again");
}

// The line fails in the middle of the big file: the box tells, the sources
// stay, no target holds part of a file, and a move is not reported done.
TEST_F(PasteEngineSim, ALineFaultMidwayLeavesSourcesAndNoBrokenFile) {
  const std::wstring tree = SeedPCTreeNamed(L"tree");
  ASSERT_TRUE(sim.Command("obex fault error D0 at 3 put"));
  auto move = PCSource({tree + L"\\s\u00fc b\\big file.bin"});
  ASSERT_EQ(S_OK, Paste(move.Get(), L"\\A:", DROPEFFECT_MOVE));
  EXPECT_TRUE(BoxSaid(L"big file.bin cannot be copied: ")) << (ui.shown.empty() ? L"" : ui.shown[0].text);
  EXPECT_FALSE(HostExists(L"A\\big file.bin"));
  EXPECT_EQ(std::vector<DWORD>{0}, move->DwordsSet(ids.pasteSucceeded));
  EXPECT_EQ(0u, succeeded);
  ExpectPCTree(tree);

  SeedModuleTree(L"A\\mod");
  MakeHostDir(L"B\\in");
  ui.shown.clear();
  ASSERT_TRUE(sim.Command("obex fault error D0 at 1 put"));
  auto within = ModuleSource(L"\\A:\\mod", {L"\\A:\\mod\\top.txt", L"\\A:\\mod\\empty.txt"});
  ASSERT_EQ(S_OK, Paste(within.Get(), L"\\B:\\in", DROPEFFECT_MOVE));
  EXPECT_FALSE(ui.shown.empty());
  EXPECT_EQ(std::vector<DWORD>{0}, within->DwordsSet(ids.pasteSucceeded));
  ExpectModuleTree(L"A\\mod");
}

// Cancel in the progress dialog while the big file is on the line (its next
// packet's answer is held back, so the file cannot be done first).
TEST_F(PasteEngineSim, CancelMidwayLeavesSourcesAndNoBrokenFile) {
  const std::wstring tree = SeedPCTreeNamed(L"tree");
  ASSERT_TRUE(sim.Command("obex fault stall 4000 at 2 put"));
  CCaptionPresser cancel(L"Moving...", IDCANCEL);
  auto move = PCSource({tree + L"\\s\u00fc b\\big file.bin", tree + L"\\top.txt"});
  const HRESULT hr = Paste(move.Get(), L"\\A:", DROPEFFECT_MOVE);
  ASSERT_EQ(S_OK, hr);
  EXPECT_TRUE(ui.shown.empty()) << "a cancel is not an error";
  EXPECT_FALSE(HostExists(L"A\\big file.bin"));
  EXPECT_FALSE(HostExists(L"A\\top.txt"));
  EXPECT_EQ(std::vector<DWORD>{0}, move->DwordsSet(ids.pasteSucceeded));
  EXPECT_EQ(0u, succeeded);
  ExpectPCTree(tree);
}

}  // namespace
