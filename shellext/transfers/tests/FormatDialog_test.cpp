// The format dialog on its own thread: what it shows, the warning, format
// and label, what keeps it open, and the library's lock while it is.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "FormatDialog.h"
#include "FormatIds.h"
#include "ModalAnswerHook.h"
#include "ModuleEntry.h"
#include "ResourceModule.h"
#include "ResultCodes.h"
#include "ScriptedShellUi.h"
#include "ScriptedVolume.h"
#include "ShellExtTestSupport.h"
#include "ShellSettingsStub.h"

namespace {

struct Found {
  std::vector<HWND> windows;
};
BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[32] = L"";
  GetClassNameW(window, name, 32);
  if (process == GetCurrentProcessId() && wcscmp(name, L"#32770") == 0 &&
      GetDlgItem(window, IDC_FORMAT_CLUSTER) != nullptr)
    reinterpret_cast<Found*>(param)->windows.push_back(window);
  return TRUE;
}
std::vector<HWND> FormatDialogs() {
  Found found;
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

std::wstring Text(HWND dialog, int id) {
  wchar_t text[512] = L"";
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}
std::wstring Selected(HWND dialog, int id) {
  const LRESULT index = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
  if (index < 0) return L"<none>";
  wchar_t text[256] = L"";
  SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}
std::wstring Caption(HWND window) {
  wchar_t text[128] = L"";
  GetWindowTextW(window, text, 128);
  return text;
}
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Start (or Close) as a click; returns when the dialog's thread has handled it.
void Press(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Closed means the window is gone and the object (with its lock) deleted.
bool WaitUntilClosed(HWND dialog) {
  for (int i = 0; i < 1000; ++i) {
    if (!IsWindow(dialog) && ShellExtCanUnloadNow() == S_OK) return true;
    Sleep(10);
  }
  return false;
}

class LanguageScope {
public:
  explicit LanguageScope(LANGID language) : m_previous(g_resourceModule.GetLanguage()) {
    g_resourceModule.SetLanguage(language);
  }
  ~LanguageScope() { g_resourceModule.SetLanguage(m_previous); }

private:
  LANGID m_previous;
};

class FormatDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    EnsureParentWindowClass();
    volume.SetDrives({{L"A:", 1000000, 250000, L"Card"}});
    ASSERT_EQ(S_OK, ShellExtCanUnloadNow());
  }
  void TearDown() override {
    const std::vector<HWND> left = FormatDialogs();
    for (HWND dialog : left) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    for (HWND dialog : left) EXPECT_TRUE(WaitUntilClosed(dialog));
    CoUninitialize();
  }
  HWND Open(const wchar_t* name = L"A:", ULONGLONG capacity = 1000000) {
    EXPECT_EQ(S_OK, ShowFormatDialog(name, capacity));
    std::vector<HWND> dialogs = FormatDialogs();
    EXPECT_EQ(1u, dialogs.size());
    return dialogs.empty() ? nullptr : dialogs[0];
  }
  std::vector<std::wstring> ChangingCalls() {
    std::vector<std::wstring> calls;
    for (const std::wstring& call : volume.Calls())
      if (call.rfind(L"Format", 0) == 0 || call.rfind(L"SetLabel", 0) == 0) calls.push_back(call);
    return calls;
  }

  CScriptedVolume volume;
  CVolumeFactoryScope factory{&volume};
};

TEST(FormatCapacity, KilobytesAreRoundedUp) {
  const struct {
    ULONGLONG bytes;
    const wchar_t* text;
  } rows[] = {{0, L"0 KB"}, {1, L"1 KB"}, {1023, L"1 KB"}, {1024, L"1 KB"}, {1025, L"2 KB"}, {2048, L"2 KB"},
              {0xFFFFFFFFull, L"4,194,304 KB"}};
  for (const auto& row : rows) EXPECT_STREQ(row.text, FormatCapacityText(row.bytes).GetBstr()) << row.bytes;
}

TEST_F(FormatDialogTest, ItShowsTheVolumeItsSizeTheOnlyChoicesAndTheLabel) {
  HWND dialog = Open(L"A:", 1025);
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(L"Formating Module A:", Caption(dialog));
  EXPECT_EQ(L"2 KB", Selected(dialog, IDC_FORMAT_CAPACITY));
  EXPECT_EQ(L"FAT", Selected(dialog, IDC_FORMAT_FILE_SYSTEM));
  EXPECT_EQ(L"Standard size", Selected(dialog, IDC_FORMAT_CLUSTER));
  EXPECT_EQ(L"Card", Text(dialog, IDC_FORMAT_LABEL));
  EXPECT_TRUE(Enabled(dialog, IDC_FORMAT_LABEL));
  EXPECT_TRUE(Enabled(dialog, IDC_FORMAT_LABEL_TEXT));
  EXPECT_TRUE(ChangingCalls().empty());
  EXPECT_EQ(S_FALSE, ShellExtCanUnloadNow()) << "an open dialog keeps the library";
  Press(dialog, IDCANCEL);
  EXPECT_TRUE(WaitUntilClosed(dialog));
  EXPECT_TRUE(ChangingCalls().empty());
}

TEST_F(FormatDialogTest, StartFormatsAndWritesTheLabelUnlessTheWarningIsCancelled) {
  const struct {
    const char* name;
    int warningAnswer;
    bool labelReadable;
    const wchar_t* typedLabel;   // null: left as read
    std::vector<std::wstring> calls;
  } rows[] = {
      {"cancelled warning", IDCANCEL, true, nullptr, {}},
      {"label as read", IDOK, true, nullptr, {L"Format A:", L"SetLabel A: Card"}},
      {"new label", IDOK, true, L"RADIO", {L"Format A:", L"SetLabel A: RADIO"}},
      {"emptied label", IDOK, true, L"", {L"Format A:"}},
      {"unreadable label", IDOK, false, nullptr, {L"Format A:"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    volume.script.ClearCalls();
    volume.script.ClearFailures();
    if (!row.labelReadable) volume.Fail(L"GetLabel", E_ACCESSDENIED, nullptr);
    CScriptedShellUi ui;
    ui.Answer(UiCall::MessageBox, row.warningAnswer);
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(row.labelReadable, Enabled(dialog, IDC_FORMAT_LABEL));
    EXPECT_EQ(row.labelReadable, Enabled(dialog, IDC_FORMAT_LABEL_TEXT));
    if (row.typedLabel) SetDlgItemTextW(dialog, IDC_FORMAT_LABEL, row.typedLabel);
    Press(dialog, IDOK);
    EXPECT_EQ(row.calls, ChangingCalls());
    ASSERT_EQ(1u, ui.Calls(UiCall::MessageBox).size()) << "the warning and no error box";
    const UiCallRecord warning = ui.Calls(UiCall::MessageBox)[0];
    EXPECT_EQ(0u, warning.text.find(L"WARNING: Formatting will erase all data"));
    EXPECT_EQ(L"Module", warning.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION), warning.flags);
    EXPECT_EQ(dialog, warning.owner);
    EXPECT_TRUE(WaitUntilClosed(dialog));
  }
}

TEST_F(FormatDialogTest, AFailureKeepsTheDialogOpenWithBothButtonsEnabled) {
  const struct {
    const char* name;
    const wchar_t* failingCall;
    HRESULT code;
    size_t boxes;   // the warning and the wrapper's box
  } rows[] = {
      {"format fails", L"Format", E_ACCESSDENIED, 2},
      {"format cancelled", L"Format", E_TRANSFER_CANCELLED, 1},
      {"label fails", L"SetLabel", E_ACCESSDENIED, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    volume.script.ClearFailures();
    volume.script.ClearCalls();
    volume.Fail(row.failingCall, row.code, L"Card locked");
    CScriptedShellUi ui;
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Press(dialog, IDOK);
    EXPECT_EQ(row.boxes, ui.Calls(UiCall::MessageBox).size());
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(Enabled(dialog, IDOK));
    EXPECT_TRUE(Enabled(dialog, IDCANCEL));
    EXPECT_EQ(S_FALSE, ShellExtCanUnloadNow());
    // Start may run again once the cause is gone.
    volume.script.ClearFailures();
    volume.script.ClearCalls();
    Press(dialog, IDOK);
    const std::vector<std::wstring> again = {L"Format A:", L"SetLabel A: Card"};
    EXPECT_EQ(again, ChangingCalls());
    EXPECT_TRUE(WaitUntilClosed(dialog));
  }
}

TEST_F(FormatDialogTest, EscapeAndTheCloseBoxCloseWithoutFormatting) {
  for (UINT message : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_KEYDOWN)}) {
    CScriptedShellUi ui;
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    if (message == WM_CLOSE) {
      PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
      // Through the dialog manager, as a key press reaches the focused control.
      PostMessageW(GetDlgItem(dialog, IDC_FORMAT_CAPACITY), WM_KEYDOWN, VK_ESCAPE, 0);
    }
    EXPECT_TRUE(WaitUntilClosed(dialog)) << message;
    EXPECT_TRUE(ui.Calls(UiCall::MessageBox).empty());
    EXPECT_TRUE(ChangingCalls().empty());
  }
}

TEST_F(FormatDialogTest, WithoutAServerNoDialogIsShown) {
  CVolumeFactoryScope::SetFailure(E_ACCESSDENIED);
  {
    CVolumeFactoryScope none(nullptr);
    EXPECT_EQ(E_ACCESSDENIED, ShowFormatDialog(L"A:", 1024));
  }
  CVolumeFactoryScope::SetFailure(E_FAIL);
  EXPECT_TRUE(FormatDialogs().empty());
  EXPECT_EQ(S_OK, ShellExtCanUnloadNow());
}

TEST_F(FormatDialogTest, SeveralDialogsRunAtOnceEachOnItsThread) {
  ASSERT_EQ(S_OK, ShowFormatDialog(L"A:", 1024));
  ASSERT_EQ(S_OK, ShowFormatDialog(L"B:", 1));
  std::vector<HWND> dialogs = FormatDialogs();
  ASSERT_EQ(2u, dialogs.size());
  EXPECT_NE(GetWindowThreadProcessId(dialogs[0], nullptr), GetWindowThreadProcessId(dialogs[1], nullptr));
  EXPECT_EQ(L"1 KB", Selected(dialogs[0], IDC_FORMAT_CAPACITY));
  EXPECT_EQ(L"1 KB", Selected(dialogs[1], IDC_FORMAT_CAPACITY));
  Press(dialogs[0], IDCANCEL);
  for (int i = 0; i < 1000 && IsWindow(dialogs[0]); ++i) Sleep(10);
  EXPECT_FALSE(IsWindow(dialogs[0]));
  EXPECT_TRUE(IsWindow(dialogs[1]));
  EXPECT_EQ(S_FALSE, ShellExtCanUnloadNow());
}

// The real template and the real warning box in each language, the box
// answered by a hook on the dialog's thread.
TEST_F(FormatDialogTest, TheRealWarningBoxInEachLanguageCancelsOrFormats) {
  const struct {
    LANGID language;
    const wchar_t* caption;
    const wchar_t* warningStart;
    const wchar_t* boxCaption;
  } languages[] = {
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Modul formatieren A:", L"WARNUNG: Beim Formatieren", L"Modul"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"Formating Module A:",
       L"WARNING: Formatting will erase all data on the memory (MultiMediacard, Dunvale).\nClick on \"OK\" to "
       L"format the memory (MultiMediacard, Dunvale). Click on \"Cancel\" to cancel the procedure.",
       L"Module"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), L"Formating Module A:", L"WARNING: Formatting", L"Module"},
  };
  for (const auto& language : languages) {
    for (int answer : {IDCANCEL, IDOK}) {
      SCOPED_TRACE(testing::Message() << language.language << " " << answer);
      LanguageScope scope(language.language);
      volume.script.ClearCalls();
      HWND dialog = Open();
      ASSERT_NE(nullptr, dialog);
      EXPECT_EQ(language.caption, Caption(dialog));
      CModalAnswerHook hook(5000, GetWindowThreadProcessId(dialog, nullptr));
      ASSERT_TRUE(hook.IsInstalled());
      hook.Answer(answer);
      hook.AnswerNothing();   // the dialog itself, active again after the box
      Press(dialog, IDOK);
      std::vector<ModalWindowRecord> boxes;
      for (const ModalWindowRecord& window : hook.Windows())
        if (window.window != dialog) boxes.push_back(window);
      ASSERT_EQ(1u, boxes.size());
      EXPECT_FALSE(boxes[0].timedOut);
      EXPECT_EQ(language.boxCaption, boxes[0].title);
      bool found = false;
      for (const std::wstring& text : boxes[0].texts) found = found || text.find(language.warningStart) == 0;
      EXPECT_TRUE(found);
      const std::vector<std::wstring> formatted = {L"Format A:", L"SetLabel A: Card"};
      EXPECT_EQ(answer == IDOK ? formatted : std::vector<std::wstring>(), ChangingCalls());
      EXPECT_TRUE(WaitUntilClosed(dialog));
    }
  }
}

}  // namespace
