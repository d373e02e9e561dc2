// win32/tests/Handles_test.cpp - handles and registry keys close once, and moves hand them on.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "Handle.h"
#include "Registry.h"

namespace {

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TEST(CHandleTest, ClosesOnceAndAMoveHandsTheHandleOn) {
  const HANDLE first = NewEvent();
  ASSERT_TRUE(IsOpenHandle(first));
  CHandle from(first);
  {
    CHandle to(std::move(from));
    EXPECT_FALSE(from.IsValid());
    EXPECT_EQ(first, to.Get());
  }
  EXPECT_FALSE(IsOpenHandle(first));
  // The system hands out freed values again: the moved-from object must not
  // close whatever handle now has its old value.
  CHandle other(NewEvent());
  from.Close();
  from = CHandle();
  EXPECT_TRUE(IsOpenHandle(other));

  CHandle target(NewEvent());
  const HANDLE replaced = target.Get();
  target = std::move(other);  // what the target held is closed
  EXPECT_FALSE(IsOpenHandle(replaced));
  EXPECT_TRUE(IsOpenHandle(target));
  const HANDLE kept = target.Detach();
  EXPECT_FALSE(target.IsValid());
  EXPECT_TRUE(IsOpenHandle(kept));
  CloseHandle(kept);
}

TEST(CHandleTest, AFailedCreateFileIsNoHandle) {
  CHandle file(CreateFileW(L"Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(INVALID_HANDLE_VALUE, file.Get());
  EXPECT_FALSE(file.IsValid());
  file.Close();  // closes nothing
  EXPECT_EQ(nullptr, file.Get());
}

TEST(CEventTest, SetResetAndTheTwoKinds) {
  CEvent manual(CEvent::Kind::ManualReset);
  ASSERT_TRUE(manual.IsValid());
  EXPECT_FALSE(manual.IsSet());
  EXPECT_TRUE(manual.Set());
  EXPECT_TRUE(manual.IsSet());
  EXPECT_TRUE(manual.IsSet());  // stays set when looked at
  EXPECT_TRUE(manual.Reset());
  EXPECT_FALSE(manual.IsSet());

  CEvent automatic(CEvent::Kind::AutoReset, true);
  EXPECT_TRUE(automatic.IsSet());
  EXPECT_FALSE(automatic.IsSet());  // one wait took it

  CEvent moved(std::move(manual));
  EXPECT_FALSE(manual.IsValid());
  EXPECT_TRUE(moved.Set());
}

const wchar_t kTestKey[] = L"Software\\Halvorten\\Win32 kit test";

TEST(CRegistryKeyTest, ClosesOnceMovesAndReadsBackWhatItWrote) {
  HKEY raw = nullptr;
  {
    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, kTestKey, KEY_READ | KEY_WRITE));
    raw = key.Get();
    EXPECT_EQ(ERROR_SUCCESS, key.SetString(L"Text", L"COM7"));
    const DWORD number = 1033;
    EXPECT_EQ(ERROR_SUCCESS, key.SetValue(L"Number", REG_DWORD, &number, sizeof number));

    CRegistryKey moved(std::move(key));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(raw, moved.Get());
    wchar_t text[16] = {};
    DWORD type = 0, bytes = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, moved.QueryValue(L"Text", &type, text, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::wstring(L"COM7"), text);
    EXPECT_EQ(5 * sizeof(wchar_t), bytes);  // the terminator is stored
    DWORD read = 0;
    EXPECT_EQ(ERROR_SUCCESS, moved.QueryDword(L"Number", &read));
    EXPECT_EQ(1033u, read);
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_DATA), moved.QueryDword(L"Text", &read));
    EXPECT_EQ(ERROR_SUCCESS, moved.DeleteValue(L"Text"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, moved.QueryValue(L"Text", nullptr, nullptr, nullptr));
  }
  // Both went out of scope; the key was closed once (a second RegCloseKey
  // would fail).
  EXPECT_NE(ERROR_SUCCESS, RegCloseKey(raw));

  CRegistryKey missing;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, missing.Open(HKEY_CURRENT_USER, L"Software\\Halvorten\\No such key", KEY_READ));
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey));
}

}  // namespace
