// "Port" and "Language" under a private test key.
#include "Settings.h"
#include "SuiteSettings.h"
#include <gtest/gtest.h>
#include <string>

namespace {

const wchar_t* const kPath = vkstest::kSuiteKey;

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_base = L"Software\\VKSTest\\Settings" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, m_base.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_base + L"\\user").c_str(), &m_user));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_base + L"\\machine").c_str(), &m_machine));
  }
  void TearDown() override {
    RegCloseKey(m_user);
    RegCloseKey(m_machine);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_base.c_str());
  }
  void SetPort(DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(m_user, kPath, L"Port", type, data, size));
  }
  std::wstring StoredPort() {
    wchar_t buffer[64] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(m_user, kPath, L"Port", RRF_RT_REG_SZ, nullptr, buffer, &size)) return L"<none>";
    return buffer;
  }
  void SetLanguage(HKEY root, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(root, kPath, L"Language", REG_DWORD, &value, sizeof(value)));
  }
  HRESULT Read(wchar_t* buffer, DWORD capacity) { return ReadPortSettingFrom(m_user, kPath, buffer, capacity); }

  std::wstring m_base;
  HKEY m_user = nullptr, m_machine = nullptr;
};

TEST_F(SettingsTest, NoKeyCreatesItWithTheDefaultPort) {
  wchar_t port[32] = L"junk";
  ASSERT_EQ(S_OK, Read(port, 32));
  EXPECT_STREQ(L"COM1", port);
  EXPECT_EQ(L"COM1", StoredPort());
}

TEST_F(SettingsTest, StoredPortIsReturnedAsIs) {
  const wchar_t kCom7[] = L"COM7";
  SetPort(REG_SZ, kCom7, sizeof(kCom7));
  wchar_t port[32];
  ASSERT_EQ(S_OK, Read(port, 32));
  EXPECT_STREQ(L"COM7", port);
  SetPort(REG_EXPAND_SZ, kCom7, sizeof(kCom7));
  ASSERT_EQ(S_OK, Read(port, 32));
  EXPECT_STREQ(L"COM7", port);
}

TEST_F(SettingsTest, UnusablePortValuesAreReplacedByTheDefault) {
  const DWORD number = 3;
  const wchar_t kNoNul[] = {L'C', L'O', L'M', L'9'};
  const BYTE kOdd[] = {'C', 0, 'O'};
  std::wstring tooLong(40, L'X');
  struct Case {
    const char* what;
    DWORD type;
    const void* data;
    DWORD size;
  } kCases[] = {
      {"dword", REG_DWORD, &number, sizeof(number)},
      {"no NUL", REG_SZ, kNoNul, sizeof(kNoNul)},
      {"odd size", REG_SZ, kOdd, sizeof(kOdd)},
      {"longer than the buffer", REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2)},
  };
  for (const Case& c : kCases) {
    SetPort(c.type, c.data, c.size);
    wchar_t port[32] = L"junk";
    ASSERT_EQ(S_OK, Read(port, 32)) << c.what;
    EXPECT_STREQ(L"COM1", port) << c.what;
    EXPECT_EQ(L"COM1", StoredPort()) << c.what;
  }
}

TEST_F(SettingsTest, EmptyPortStaysEmpty) {
  SetPort(REG_SZ, L"", 0);
  wchar_t port[32] = L"junk";
  ASSERT_EQ(S_OK, Read(port, 32));
  EXPECT_STREQ(L"", port);
}

TEST_F(SettingsTest, BufferTooSmallForTheDefaultIsRefused) {
  wchar_t port[4];
  EXPECT_EQ(E_INVALIDARG, Read(port, 4));
  EXPECT_EQ(E_INVALIDARG, Read(nullptr, 32));
}

TEST_F(SettingsTest, LanguageFromUserThenMachineThenUILanguage) {
  const LANGID kFrench = 0x040C;
  EXPECT_EQ(1033, ChooseResourceLanguage(m_user, m_machine, kPath, kFrench));
  SetLanguage(m_machine, 1031);
  EXPECT_EQ(1031, ChooseResourceLanguage(m_user, m_machine, kPath, kFrench));
  SetLanguage(m_user, 2057);
  EXPECT_EQ(2057, ChooseResourceLanguage(m_user, m_machine, kPath, kFrench));
  // The user's value decides even when unusable: the machine's is not read.
  SetLanguage(m_user, 1036);
  EXPECT_EQ(1033, ChooseResourceLanguage(m_user, m_machine, kPath, kFrench));
  EXPECT_EQ(1031, ChooseResourceLanguage(m_user, m_machine, kPath, 0x0C07));
}

TEST(LanguageFromUILanguage, MapsToTheThreeTables) {
  const struct { LANGID ui, expected; } kCases[] = {
      {0x0809, 2057}, {0x0C07, 1031}, {0x0407, 1031}, {0x040C, 1033}, {0x0409, 1033}, {0x0C09, 1033}};
  for (const auto& c : kCases) EXPECT_EQ(c.expected, LanguageFromUILanguage(c.ui)) << std::hex << c.ui;
}

}  // namespace
