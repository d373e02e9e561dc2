// The production side of the settings seam, against scratch registry roots.
#include <gtest/gtest.h>
#include "RegistryGuard.h"
#include "Seams.h"

namespace {

const wchar_t kScratch[] = L"Software\\VKSTest\\SeamsUser";

TEST(RealShellSettingsTest, WebViewFollowsTheValueExceptOnTheNewestPlatform) {
  CRegistryGuard guard(HKEY_CURRENT_USER, kScratch);
  HKEY user = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user, nullptr),
            ERROR_SUCCESS);
  RegistryRoots roots = {HKEY_CLASSES_ROOT, user, HKEY_LOCAL_MACHINE};
  SetShellRegistryRoots(&roots);
  IShellSettings* previous = SetShellSettings(nullptr);
  const wchar_t* advanced = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
  DWORD one = 1, zero = 0;
  struct Case {
    int platform;
    DWORD type;       // 0: no value; REG_NONE: no key
    const void* data;
    DWORD bytes;
    bool expected;
  } cases[] = {
      {3, REG_NONE, nullptr, 0, false},      {3, 0, nullptr, 0, false},
      {3, REG_DWORD, &one, 4, true},         {3, REG_DWORD, &zero, 4, false},
      {3, REG_BINARY, &one, 4, true},        // the type is not looked at
      {3, REG_SZ, L"12", 6, false},          // longer than a 32-bit number
      {4, REG_DWORD, &one, 4, false},        {2, REG_DWORD, &one, 4, true},
  };
  for (const Case& c : cases) {
    RegDeleteTreeW(user, L"Software");
    if (c.type != REG_NONE) {
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExW(user, advanced, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
      if (c.type) RegSetValueExW(key, L"WebView", 0, c.type, static_cast<const BYTE*>(c.data), c.bytes);
      RegCloseKey(key);
    }
    SetProbedPlatformClass(c.platform);
    EXPECT_EQ(ShellSettings().WebViewEnabled(), c.expected) << c.platform << " " << c.type;
  }
  SetProbedPlatformClass(0);
  SetShellSettings(previous);
  SetShellRegistryRoots(nullptr);
  RegCloseKey(user);
}

}  // namespace
