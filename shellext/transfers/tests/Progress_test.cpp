// The progress dialog: its arithmetic, its texts per mode, Cancel and close,
// the copy line and the animations.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "ProgressDialog.h"
#include "ResourceModule.h"
#include "TransferPrompts.h"
#include "TransfersIds.h"

namespace {
std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[512] = L"";
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}
void Drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}
}  // namespace

TEST(ProgressFigures, PercentAndRemainingTime) {
  const struct {
    const char* name;
    ULONGLONG total, done, partDone, partSize, weight;
    DWORD elapsed;
    ULONGLONG current;
    int percent;
    bool hasTime;
    UINT textId;
    ULONG h, m, s;
  } cases[] = {
      {"quarter after 3 s", 1000, 250, 0, 0, 0, 3000, 250, 25, true, 8392, 0, 0, 9},
      {"one of each unit", 2, 1, 0, 0, 0, 3661000, 1, 50, true, 8399, 1, 1, 1},
      {"one minute only", 2, 1, 0, 0, 0, 60000, 1, 50, true, 8394, 0, 1, 0},
      {"part of a weighted file", 1000, 100, 50, 200, 400, 1000, 200, 20, true, 8392, 0, 0, 4},
      {"part size 0 counts done only", 1000, 500, 77, 0, 400, 1000, 500, 50, true, 8393, 0, 0, 1},
      {"nothing done yet", 1000, 0, 0, 0, 0, 5000, 0, 0, false, 0, 0, 0, 0},
      {"current above total is clamped", 100, 150, 0, 0, 0, 1000, 100, 100, true, 8392, 0, 0, 0},
      {"total 0 gives no bar", 0, 0, 10, 10, 10, 1000, 0, 0, false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const ProgressFigures f = ComputeProgress(c.total, c.done, c.partDone, c.partSize, c.weight, c.elapsed);
    EXPECT_EQ(c.current, f.current) << c.name;
    EXPECT_EQ(c.total != 0, f.hasPercent) << c.name;
    EXPECT_EQ(c.percent, f.percent) << c.name;
    EXPECT_EQ(c.hasTime, f.hasTime) << c.name;
    if (!c.hasTime) continue;
    EXPECT_EQ(c.textId, f.textId) << c.name;
    EXPECT_EQ(c.h, f.hours) << c.name;
    EXPECT_EQ(c.m, f.minutes) << c.name;
    EXPECT_EQ(c.s, f.seconds) << c.name;
  }
}

TEST(ProgressDialogWindow, TitleAndSecondLineFollowTheMode) {
  const struct {
    ProgressMode mode;
    const wchar_t* title;
    const wchar_t* detail;
  } cases[] = {{ProgressMode::Copy, L"Copying...", L""},
               {ProgressMode::Move, L"Moving...", L""},
               {ProgressMode::Delete, L"Deleting...", L"Preparing for deletion"}};
  for (const auto& c : cases) {
    ProgressDialog progress;
    progress.Create(c.mode, 10, nullptr, nullptr);
    ASSERT_NE(nullptr, progress.GetWindow());
    wchar_t title[64] = L"";
    GetWindowTextW(progress.GetWindow(), title, 64);
    EXPECT_STREQ(c.title, title);
    EXPECT_EQ(c.detail, ItemText(progress.GetWindow(), IDC_PROGRESS_DETAIL));
  }
}

TEST(ProgressDialogWindow, UpdatesSetTheBarAndTheTimeText) {
  ProgressDialog progress;
  progress.Create(ProgressMode::Copy, 1000, nullptr, nullptr);
  progress.AddDone(500);
  EXPECT_EQ(50, SendDlgItemMessageW(progress.GetWindow(), IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
  EXPECT_EQ(0u, ItemText(progress.GetWindow(), IDC_PROGRESS_TIME).find(L"Time remaining: 0 hours 0 minutes "));
  EXPECT_EQ(500ull, progress.GetDone());
}

TEST(ProgressDialogWindow, CancelAndClosingOnlyRaiseTheFlag) {
  const struct {
    const char* name;
    UINT message;
    WPARAM wParam;
  } cases[] = {{"Cancel", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
               {"WM_CLOSE", WM_CLOSE, 0},
               {"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE}};
  for (const auto& c : cases) {
    DWORD cancelled = 0;
    ProgressDialog progress;
    progress.Create(ProgressMode::Copy, 10, &cancelled, nullptr);
    ASSERT_NE(nullptr, progress.GetWindow());
    SendMessageW(progress.GetWindow(), c.message, c.wParam, 0);
    Drain();
    EXPECT_EQ(1u, cancelled) << c.name;
    EXPECT_TRUE(IsWindow(progress.GetWindow())) << c.name;
    EXPECT_TRUE(IsWindowVisible(progress.GetWindow())) << c.name;
  }
}

TEST(ProgressDialogWindow, WithoutTheTemplateItOnlyCounts) {
  const HMODULE previous = g_resourceModule.GetModule();
  g_resourceModule.SetModule(GetModuleHandleW(L"kernel32.dll"));
  ProgressDialog progress;
  progress.Create(ProgressMode::Delete, 10, nullptr, nullptr);
  g_resourceModule.SetModule(previous);
  EXPECT_EQ(nullptr, progress.GetWindow());
  progress.AddDone(3);
  progress.SetLines(L"a", L"b");
  EXPECT_EQ(3ull, progress.GetDone());
}

TEST(ProgressDialogWindow, BothAnimationsOpenAndPlay) {
  ProgressDialog progress;
  progress.Create(ProgressMode::Copy, 10, nullptr, nullptr);
  const HWND animation = GetDlgItem(progress.GetWindow(), IDC_PROGRESS_ANIMATION);
  ASSERT_NE(nullptr, animation);
  for (UINT avi : {IDR_AVI_COPY, IDR_AVI_DELETE}) {
    EXPECT_TRUE(SendMessageW(animation, ACM_OPENW, reinterpret_cast<WPARAM>(g_resourceModule.GetModule()),
                             reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(avi))))
        << avi;
    EXPECT_TRUE(SendMessageW(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF))) << avi;
  }
}

TEST(CopyLine, NamesTheItemAndBothFoldersOrModule) {
  const struct {
    const wchar_t* source;
    const wchar_t* target;
    const wchar_t* item;
    const wchar_t* detail;
  } cases[] = {{L"\\A:\\f.txt", L"\\B:", L"f.txt", L"from 'A:' to 'B:'"},
               {L"\\A:\\pics\\f.txt", L"\\B:\\music", L"f.txt", L"from 'pics' to 'music'"},
               {L"f.txt", L"", L"f.txt", L"from 'Module' to 'Module'"}};
  for (const auto& c : cases) {
    ProgressDialog progress;
    progress.Create(ProgressMode::Copy, 10, nullptr, nullptr);
    PasteOperation operation;
    operation.progress = &progress;
    ShowCopyLine(&operation, c.source, c.target);
    EXPECT_EQ(c.item, ItemText(progress.GetWindow(), IDC_PROGRESS_ITEM)) << c.source;
    EXPECT_EQ(c.detail, ItemText(progress.GetWindow(), IDC_PROGRESS_DETAIL)) << c.source;
  }
}
