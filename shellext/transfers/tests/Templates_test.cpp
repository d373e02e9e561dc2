// Every transfer template opens in each language, and the prompt procedures
// fill and answer the real templates.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "DeleteOperation.h"
#include "DialogPresser.h"
#include "ResourceModule.h"
#include "TransferPrompts.h"
#include "TransfersIds.h"

namespace {
INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class LanguageScope {
public:
  explicit LanguageScope(LANGID language) : m_previous(g_resourceModule.GetLanguage()) {
    g_resourceModule.SetLanguage(language);
  }
  ~LanguageScope() { g_resourceModule.SetLanguage(m_previous); }

private:
  LANGID m_previous;
};
}  // namespace

TEST(TransferTemplates, EveryTemplateOpensInEveryLanguageWithItsCaption) {
  const struct {
    UINT id;
    const wchar_t* english;
    const wchar_t* german;
  } templates[] = {
      {IDD_PROGRESS, L"", L""},
      {IDD_FILE_REPLACE, L"Confirm File Replace", L"Ersetzen von Dateien bestätigen"},
      {IDD_FOLDER_REPLACE, L"Confirm Folder Replace", L"Ersetzen von Ordnern bestätigen"},
      {IDD_MOVE_CONFIRM, L"Confirm File Move", L"Verschieben von Dateien bestätigen"},
      {IDD_MOVE_CONFIRM_ALL, L"Confirm File Move", L"Verschieben von Dateien bestätigen"},
      {IDD_DELETE_SEVERAL, L"Confirm Multiple File Delete", L"Löschen mehrerer Dateien bestätigen"},
      {IDD_DELETE_READONLY, L"", L""},
      {IDD_DELETE_CONFIRM, L"", L""},
  };
  const LANGID languages[] = {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)};
  for (LANGID language : languages) {
    LanguageScope scope(language);
    for (const auto& t : templates) {
      const auto* data = static_cast<const DLGTEMPLATE*>(g_resourceModule.FindDialogTemplate(t.id));
      ASSERT_NE(nullptr, data) << t.id << " in " << language;
      HWND dialog = CreateDialogIndirectParamW(g_resourceModule.GetModule(), data, nullptr, PlainProc, 0);
      ASSERT_NE(nullptr, dialog) << t.id << " in " << language;
      wchar_t caption[128] = L"";
      GetWindowTextW(dialog, caption, 128);
      EXPECT_STREQ(PRIMARYLANGID(language) == LANG_GERMAN ? t.german : t.english, caption) << t.id;
      DestroyWindow(dialog);
    }
  }
}

TEST(TransferTemplates, TheFileReplacePromptShowsBothFilesAndAnswersWithTheButton) {
  ReplacePromptData data = {1, L"This folder already contains a file named 'a.txt'.", L"5 byte\nmodified on x",
                            L"7 byte\nmodified on y", L"a.txt"};
  CDialogPresser presser(IDC_REPLACE_ALL, {IDC_QUESTION, IDC_NEW_FILE, IDC_EXISTING_FILE});
  INT_PTR answer = 0;
  ASSERT_TRUE(RunTransferDialog(IDD_FILE_REPLACE, nullptr, ReplacePromptProc,
                                reinterpret_cast<LPARAM>(&data), &answer));
  EXPECT_TRUE(presser.Pressed());
  EXPECT_EQ(IDC_REPLACE_ALL, answer);
  EXPECT_EQ(L"Confirm File Replace", presser.Caption());
  EXPECT_EQ(data.question.GetBstr(), presser.TextOf(IDC_QUESTION));
  EXPECT_EQ(data.newFile.GetBstr(), presser.TextOf(IDC_NEW_FILE));
  EXPECT_EQ(data.existingFile.GetBstr(), presser.TextOf(IDC_EXISTING_FILE));
}

TEST(TransferTemplates, TheMovePromptsOfferTheirButtons) {
  const struct {
    UINT id;
    int button;
  } cases[] = {{IDD_MOVE_CONFIRM, IDNO}, {IDD_MOVE_CONFIRM_ALL, IDC_YES_TO_ALL},
               {IDD_FOLDER_REPLACE, IDCANCEL}};
  const wchar_t question[] = L"Are you sure you want to move the system file 'b.sys'?";
  for (const auto& c : cases) {
    CDialogPresser presser(c.button, {IDC_MOVE_QUESTION});
    INT_PTR answer = 0;
    DLGPROC proc = c.id == IDD_FOLDER_REPLACE ? ReplacePromptProc : MovePromptProc;
    ReplacePromptData folder = {2, question, L"", L"", L""};
    const LPARAM param = c.id == IDD_FOLDER_REPLACE ? reinterpret_cast<LPARAM>(&folder)
                                                    : reinterpret_cast<LPARAM>(question);
    ASSERT_TRUE(RunTransferDialog(c.id, nullptr, proc, param, &answer));
    EXPECT_EQ(c.button, answer) << c.id;
    if (c.id != IDD_FOLDER_REPLACE) EXPECT_EQ(question, presser.TextOf(IDC_MOVE_QUESTION));
  }
}

// Each modal template runs through the real UI seam with its own procedure,
// in German and in US English, and answers with the button pressed.
TEST(TransferTemplates, EveryPromptRunsWithItsProcedureAndIsPressed) {
  ReplacePromptData file = {1, L"q", L"n", L"e", L"a.txt"};
  ReplacePromptData folder = {2, L"q", L"", L"", L""};
  DeleteConfirmation folderDelete{2, CBstr(L"d")};
  DeleteConfirmation readOnly{4, CBstr(L"r.txt")};
  DeleteConfirmation several{3, CBstr()};
  const struct {
    UINT id;
    DLGPROC proc;
    LPARAM param;
    int button;
    const wchar_t* english;
    const wchar_t* german;
  } cases[] = {
      {IDD_FILE_REPLACE, ReplacePromptProc, reinterpret_cast<LPARAM>(&file), IDNO, L"Confirm File Replace",
       L"Ersetzen von Dateien bestätigen"},
      {IDD_FOLDER_REPLACE, ReplacePromptProc, reinterpret_cast<LPARAM>(&folder), IDC_REPLACE_ALL,
       L"Confirm Folder Replace", L"Ersetzen von Ordnern bestätigen"},
      {IDD_MOVE_CONFIRM, MovePromptProc, reinterpret_cast<LPARAM>(L"q"), IDOK, L"Confirm File Move",
       L"Verschieben von Dateien bestätigen"},
      {IDD_MOVE_CONFIRM_ALL, MovePromptProc, reinterpret_cast<LPARAM>(L"q"), IDCANCEL, L"Confirm File Move",
       L"Verschieben von Dateien bestätigen"},
      {IDD_DELETE_SEVERAL, DeleteConfirmDialogProc, reinterpret_cast<LPARAM>(&several), IDCANCEL,
       L"Confirm Multiple File Delete", L"Löschen mehrerer Dateien bestätigen"},
      {IDD_DELETE_CONFIRM, DeleteConfirmDialogProc, reinterpret_cast<LPARAM>(&folderDelete), IDOK,
       L"Confirm Folder Delete", L"Löschen des Ordners bestätigen"},
      {IDD_DELETE_READONLY, DeleteConfirmDialogProc, reinterpret_cast<LPARAM>(&readOnly), IDC_REPLACE_ALL,
       L"Confirm File Delete", L"Löschen der Datei bestätigen"},
  };
  for (LANGID language : {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}) {
    LanguageScope scope(language);
    for (const auto& c : cases) {
      CDialogPresser presser(c.button);
      INT_PTR answer = 0;
      ASSERT_TRUE(RunTransferDialog(c.id, nullptr, c.proc, c.param, &answer)) << c.id;
      EXPECT_TRUE(presser.Pressed()) << c.id << " in " << language;
      EXPECT_EQ(c.button, answer) << c.id << " in " << language;
      EXPECT_EQ(PRIMARYLANGID(language) == LANG_GERMAN ? c.german : c.english, presser.Caption()) << c.id;
    }
  }
}

TEST(TransferTemplates, AMissingTemplateRunsNothing) {
  const HMODULE previous = g_resourceModule.GetModule();
  g_resourceModule.SetModule(GetModuleHandleW(L"kernel32.dll"));
  INT_PTR answer = 42;
  EXPECT_FALSE(RunTransferDialog(IDD_MOVE_CONFIRM, nullptr, MovePromptProc, 0, &answer));
  g_resourceModule.SetModule(previous);
  EXPECT_EQ(42, answer);
}
