// What a paste asks before it makes a folder or replaces a file, which answer
// does what to the flags, and the boxes of failed target calls.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ModuleItemID.h"
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "TransferPrompts.h"
#include "TransfersIds.h"
#include "XferTestUi.h"

namespace {

const wchar_t kTarget[] = L"\\A:\\dst\\x";
const ULONG kDir = FILE_ATTRIBUTE_DIRECTORY;

struct Prompt {
  UINT id;
  std::wstring question;
  std::wstring newFile;
  std::wstring existingFile;
};

std::wstring Str(const CBstr& text) { return text.GetBstr() ? text.GetBstr() : L""; }

class TargetPromptTest : public ErrorInfoTest {
protected:
  void SetUp() override {
    ErrorInfoTest::SetUp();
    operation.volume = &volume;
    ui.onDialog = [this](UINT id, LPARAM param) {
      if (id == IDD_MOVE_CONFIRM || id == IDD_MOVE_CONFIRM_ALL) {
        prompts.push_back({id, reinterpret_cast<const wchar_t*>(param), L"", L""});
      } else {
        const auto* data = reinterpret_cast<const ReplacePromptData*>(param);
        prompts.push_back({id, Str(data->question), Str(data->newFile), Str(data->existingFile)});
      }
    };
  }
  // What the module holds at the target.
  void Existing(ULONG attributes, LONG size = 7, DATE written = 0) {
    CTestEntries rows;
    rows.AddEntry(L"x", size, attributes, 0, MakeDate(written));
    volume.SetListing(kTarget, rows);
  }
  std::vector<std::wstring> Changes() const { return ChangingCalls(volume); }
  HRESULT Folder(DWORD* flags) {
    return EnsureTargetFolder(&operation, kTarget, &flags[0], &flags[1], &flags[2], &flags[3],
                              kDir | FILE_ATTRIBUTE_HIDDEN);
  }
  HRESULT File(DWORD* filesReplaceAll, DWORD sourceAttributes = 0) {
    return ClearTargetFile(&operation, kTarget, 5, 0, filesReplaceAll, sourceAttributes);
  }

  CXferTestUi ui;
  CScriptedVolume volume;
  PasteOperation operation;
  std::vector<Prompt> prompts;
};

using Calls = std::vector<std::wstring>;

}  // namespace

TEST_F(TargetPromptTest, AnExistingFolderIsAskedForAndTheAnswerSetsTheFlags) {
  const struct {
    const char* name;
    DWORD parentFolders;   // the parent's folders replace-all flag going in
    INT_PTR answer;
    HRESULT result;
    DWORD flags[4];        // this folder's files, folders; the parent's files, folders
    bool asked;
    DWORD cancelled;
  } cases[] = {
      {"parent replaces all", 1, 0, S_OK, {0, 0, 0, 1}, false, 0},
      {"Yes", 0, IDOK, S_OK, {1, 1, 0, 0}, true, 0},
      {"Replace All", 0, IDC_REPLACE_ALL, S_OK, {1, 1, 1, 1}, true, 0},
      {"No", 0, IDNO, 1, {0, 0, 0, 0}, true, 0},
      {"Cancel", 0, IDCANCEL, 1, {0, 0, 0, 0}, true, 1},
  };
  Existing(kDir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.clear();
    operation.cancelled = 0;
    ui.answers = {c.answer};
    DWORD flags[4] = {0, 0, 0, c.parentFolders};
    EXPECT_EQ(c.result, Folder(flags));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.flags[i], flags[i]) << i;
    ASSERT_EQ(c.asked ? 1u : 0u, prompts.size());
    if (c.asked) {
      EXPECT_EQ(IDD_FOLDER_REPLACE, prompts[0].id);
      EXPECT_EQ(L"This folder contains a folder named 'x'.", prompts[0].question);
    }
    EXPECT_EQ(c.cancelled, operation.cancelled);
    EXPECT_TRUE(Changes().empty());
  }
}

// The engine hands a folder's flags down as the parent's flags of its items,
// and the level's flags to every sibling.
TEST_F(TargetPromptTest, ReplaceAllSilencesTheLevelAndYesOnlyTheInside) {
  Existing(kDir);
  for (INT_PTR answer : {static_cast<INT_PTR>(IDOK), static_cast<INT_PTR>(IDC_REPLACE_ALL)}) {
    prompts.clear();
    ui.answers = {answer};
    DWORD level[2] = {0, 0};     // files, folders replace-all of the pasted list
    DWORD inside[2] = {0, 0};
    ASSERT_EQ(S_OK, EnsureTargetFolder(&operation, kTarget, &inside[0], &inside[1], &level[0], &level[1], kDir));
    // Inside the folder: its items see the folder's flags.
    DWORD child[2] = {0, 0};
    EXPECT_EQ(S_OK, EnsureTargetFolder(&operation, kTarget, &child[0], &child[1], &inside[0], &inside[1], kDir));
    Existing(0);
    EXPECT_EQ(S_OK, ClearTargetFile(&operation, kTarget, 5, 0, &inside[0], 0));
    EXPECT_EQ(1u, prompts.size()) << "inside after " << answer;
    // A sibling of the folder sees the level's flags.
    Existing(kDir);
    DWORD sibling[2] = {0, 0};
    ui.answers = {IDNO};
    EnsureTargetFolder(&operation, kTarget, &sibling[0], &sibling[1], &level[0], &level[1], kDir);
    Existing(0);
    ui.answers = {IDNO};
    ClearTargetFile(&operation, kTarget, 5, 0, &level[0], 0);
    EXPECT_EQ(answer == IDOK ? 3u : 1u, prompts.size()) << "siblings after " << answer;
    Existing(kDir);
  }
}

TEST_F(TargetPromptTest, AFileAndAFolderOfTheSameNameCannotReplaceEachOther) {
  DWORD flags[4] = {};
  Existing(0);
  EXPECT_EQ(1, Folder(flags));
  Existing(kDir);
  DWORD replaceAll = 1;
  EXPECT_EQ(1, File(&replaceAll));
  ASSERT_EQ(2u, ui.shown.size());
  EXPECT_EQ(L"The file '\\A:\\dst\\x' already exists.\r\n\r\nA folder of the same name cannot be copied.",
            ui.shown[0].text);
  EXPECT_EQ(L"The file '\\A:\\dst\\x' already exists.\r\n\r\nA file of the same name cannot be copied.",
            ui.shown[1].text);
  for (const auto& box : ui.shown) {
    EXPECT_EQ(L"Copying...", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), box.type);
  }
  EXPECT_TRUE(prompts.empty());
  EXPECT_TRUE(Changes().empty());
}

TEST_F(TargetPromptTest, AnExistingFileIsAskedForWithBothFilesAndReplacedOnYes) {
  const DATE written = 36892.5;   // 2001-01-01 12:00
  BSTR date = nullptr;
  ASSERT_EQ(S_OK, VarBstrFromDate(written, 0, 0, &date));
  const std::wstring existingLine = L"7 byte\r\nmodified on " + std::wstring(date);
  SysFreeString(date);
  ASSERT_EQ(S_OK, VarBstrFromDate(0, 0, 0, &date));
  const std::wstring newLine = L"5 byte\r\nmodified on " + std::wstring(date);
  SysFreeString(date);
  const struct {
    const char* name;
    ULONG existing;
    INT_PTR answer;
    HRESULT result;
    const wchar_t* question;
    Calls calls;
    DWORD replaceAll, cancelled;
  } cases[] = {
      {"plain, Yes", 0, IDOK, S_OK, L"This folder already contains a file named 'x'.", {L"Delete \\A:\\dst\\x"}, 0, 0},
      {"read-only, Replace All", FILE_ATTRIBUTE_READONLY, IDC_REPLACE_ALL, S_OK,
       L"This folder already contains a read-only file named 'x'.",
       {L"SetAttributes \\A:\\dst\\x", L"Delete \\A:\\dst\\x"}, 1, 0},
      {"No", 0, IDNO, 1, L"This folder already contains a file named 'x'.", {}, 0, 0},
      {"Cancel", 0, IDCANCEL, 1, L"This folder already contains a file named 'x'.", {}, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.clear();
    volume.script.ClearCalls();
    operation.cancelled = 0;
    Existing(c.existing, 7, written);
    ui.answers = {c.answer};
    DWORD replaceAll = 0;
    EXPECT_EQ(c.result, File(&replaceAll));
    ASSERT_EQ(1u, prompts.size());
    EXPECT_EQ(IDD_FILE_REPLACE, prompts[0].id);
    EXPECT_EQ(c.question, prompts[0].question);
    EXPECT_EQ(newLine, prompts[0].newFile);
    EXPECT_EQ(existingLine, prompts[0].existingFile);
    EXPECT_EQ(c.calls, Changes());
    if (c.existing) EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, volume.AttributesOf(kTarget));
    EXPECT_EQ(c.replaceAll, replaceAll);
    EXPECT_EQ(c.cancelled, operation.cancelled);
  }
  // Replace all set: no question.
  prompts.clear();
  volume.script.ClearCalls();
  DWORD replaceAll = 1;
  EXPECT_EQ(S_OK, File(&replaceAll));
  EXPECT_TRUE(prompts.empty());
  EXPECT_EQ(Calls{L"Delete \\A:\\dst\\x"}, Changes());
}

TEST_F(TargetPromptTest, MovingSystemAndReadOnlySourcesIsConfirmed) {
  operation.effect = DROPEFFECT_MOVE;
  const struct {
    const char* name;
    ULONG source;
    DWORD several;
    INT_PTR answer;
    HRESULT result;
    UINT id;
    const wchar_t* question;
  } cases[] = {
      {"read-only system, one item", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM, 0, IDOK, S_OK,
       IDD_MOVE_CONFIRM, L"Are you sure you want to move the system file 'x'?"},
      {"read-only, several, No", FILE_ATTRIBUTE_READONLY, 1, IDNO, 1, IDD_MOVE_CONFIRM_ALL,
       L"Are you sure you want to move the read-only file 'x'?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.clear();
    operation.severalItems = c.several;
    ui.answers = {c.answer};
    DWORD replaceAll = 0;
    EXPECT_EQ(c.result, File(&replaceAll, c.source));
    ASSERT_EQ(1u, prompts.size());
    EXPECT_EQ(c.id, prompts[0].id);
    EXPECT_EQ(c.question, prompts[0].question);
  }
  // Yes to All is remembered per kind; Cancel raises the flag.
  operation.severalItems = 1;
  prompts.clear();
  ui.answers = {IDC_YES_TO_ALL, IDCANCEL};
  DWORD replaceAll = 0;
  EXPECT_EQ(S_OK, File(&replaceAll, FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(1u, operation.yesToAllSystem);
  EXPECT_EQ(S_OK, File(&replaceAll, FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(1, File(&replaceAll, FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(1u, operation.cancelled);
  EXPECT_EQ(2u, prompts.size());
  // A copy asks nothing of its sources.
  operation.effect = DROPEFFECT_COPY;
  operation.yesToAllSystem = 0;
  EXPECT_EQ(S_OK, File(&replaceAll, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(2u, prompts.size());
}

TEST_F(TargetPromptTest, WithoutTheTemplatesFolderPromptsCountAsYesAndFilePromptsFail) {
  const HMODULE previous = g_resourceModule.GetModule();
  g_resourceModule.SetModule(GetModuleHandleW(L"kernel32.dll"));
  Existing(kDir);
  DWORD flags[4] = {};
  const HRESULT folder = Folder(flags);
  Existing(0);
  DWORD replaceAll = 0;
  const HRESULT file = File(&replaceAll);
  operation.effect = DROPEFFECT_MOVE;
  volume.SetListing(kTarget, CTestEntries());
  const HRESULT move = File(&replaceAll, FILE_ATTRIBUTE_READONLY);
  g_resourceModule.SetModule(previous);
  EXPECT_EQ(S_OK, folder);
  EXPECT_EQ(1u, flags[0]);
  EXPECT_EQ(1u, flags[1]);
  EXPECT_EQ(E_OUTOFMEMORY, file);
  EXPECT_EQ(E_OUTOFMEMORY, move);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(Changes().empty());
}

TEST_F(TargetPromptTest, ANewFolderIsMadeWithTheSourcesAttributes) {
  DWORD flags[4] = {};
  EXPECT_EQ(S_OK, Folder(flags));
  EXPECT_EQ((Calls{L"CreateDir \\A:\\dst\\x", L"SetAttributes \\A:\\dst\\x"}), Changes());
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, volume.AttributesOf(kTarget));
}

TEST_F(TargetPromptTest, FailedTargetCallsAskOkOrCancelAndACancelIsSilent) {
  const struct {
    const char* name;
    bool folder;
    HRESULT failure;
    INT_PTR answer;
    const wchar_t* caption;   // null: no box
    const wchar_t* text;
    DWORD cancelled;
  } cases[] = {
      {"CreateDir fails, OK", true, E_ACCESSDENIED, IDOK, L"Error Copying File",
       L"x could not be created or replaced. Disk full", 0},
      {"CreateDir fails, Cancel", true, E_ACCESSDENIED, IDCANCEL, L"Error Copying File",
       L"x could not be created or replaced. Disk full", 1},
      {"CreateDir cancelled", true, E_TRANSFER_CANCELLED, IDOK, nullptr, nullptr, 1},
      {"Delete fails, OK", false, E_ACCESSDENIED, IDOK, L"Error Deleting File", L"x cannot be deleted: Disk full", 0},
      {"Delete fails, Cancel", false, E_ACCESSDENIED, IDCANCEL, L"Error Deleting File",
       L"x cannot be deleted: Disk full", 1},
      {"Delete cancelled", false, static_cast<HRESULT>(0x800704D3), IDOK, nullptr, nullptr, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui.shown.clear();
    volume.script.ClearFailures();
    operation.cancelled = 0;
    volume.Fail(c.folder ? L"CreateDir" : L"Delete", c.failure, L"Disk full");
    ui.answers = {c.answer};
    HRESULT result;
    if (c.folder) {
      volume.SetListing(kTarget, CTestEntries());
      DWORD flags[4] = {};
      result = Folder(flags);
    } else {
      Existing(0);
      DWORD replaceAll = 1;
      result = File(&replaceAll);
    }
    EXPECT_EQ(c.failure, result);
    EXPECT_EQ(c.cancelled, operation.cancelled);
    if (!c.caption) {
      EXPECT_TRUE(ui.shown.empty());
      continue;
    }
    ASSERT_EQ(1u, ui.shown.size());
    EXPECT_EQ(c.caption, ui.shown[0].caption);
    EXPECT_EQ(c.text, ui.shown[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONHAND), ui.shown[0].type);
  }
}
