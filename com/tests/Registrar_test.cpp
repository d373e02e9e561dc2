// Registrar scripts against a private key under HKCU.
#include "Registrar.h"
#include <gtest/gtest.h>
#include <string>

namespace {

class RegistrarTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_path = L"Software\\VKSTest\\Registrar" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    m_registrar.AddReplacement(L"BASE", m_path.c_str());
    m_registrar.AddReplacement(L"MODULE", L"C:\\it's\\x.exe");
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str()); }

  bool Exists(const std::wstring& sub) const {
    HKEY key;
    std::wstring full = sub.empty() ? m_path : m_path + L"\\" + sub;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &key)) return false;
    RegCloseKey(key);
    return true;
  }
  std::wstring Text(const std::wstring& sub, const wchar_t* name) const {
    wchar_t buffer[256] = {};
    DWORD size = sizeof(buffer);
    std::wstring full = m_path + L"\\" + sub;
    if (RegGetValueW(HKEY_CURRENT_USER, full.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size))
      return L"<missing>";
    return buffer;
  }
  DWORD Number(const std::wstring& sub, const wchar_t* name) const {
    DWORD value = 0, size = sizeof(value);
    std::wstring full = m_path + L"\\" + sub;
    RegGetValueW(HKEY_CURRENT_USER, full.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
  }
  HRESULT Run(const wchar_t* script, bool registering) { return m_registrar.RunScript(script, registering); }

  std::wstring m_path;
  CRegistrar m_registrar;
};

const wchar_t kScript[] =
    L"HKCU\n{\n  NoRemove '%BASE%'\n  {\n"
    L"    NoRemove Keep { Inner = s 'mine' }\n"
    L"    Plain = s 'default' { val Named = s 'n' val Count = d '0x10' Child = s '%MODULE%' }\n"
    L"    ForceRemove Forced = s 'f' { Sub }\n"
    L"  }\n}\n";

TEST_F(RegistrarTest, RegistersKeysValuesAndReplacements) {
  ASSERT_EQ(S_OK, Run(kScript, true));
  EXPECT_EQ(L"default", Text(L"Plain", nullptr));
  EXPECT_EQ(L"n", Text(L"Plain", L"Named"));
  EXPECT_EQ(16u, Number(L"Plain", L"Count"));
  EXPECT_EQ(L"C:\\it's\\x.exe", Text(L"Plain\\Child", nullptr));
  EXPECT_EQ(L"mine", Text(L"Keep\\Inner", nullptr));
  EXPECT_TRUE(Exists(L"Forced\\Sub"));
}

TEST_F(RegistrarTest, RemovalKeepsNoRemoveAndForeignDataAndDropsForceRemove) {
  ASSERT_EQ(S_OK, Run(kScript, true));
  // Something of someone else inside a plain key and inside a ForceRemove key.
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_path + L"\\Keep\\Other").c_str(), &key));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_path + L"\\Forced\\Foreign").c_str(), &key));
  RegCloseKey(key);

  ASSERT_EQ(S_OK, Run(kScript, false));
  EXPECT_TRUE(Exists(L""));
  EXPECT_TRUE(Exists(L"Keep"));
  EXPECT_TRUE(Exists(L"Keep\\Other"));
  EXPECT_FALSE(Exists(L"Keep\\Inner"));
  EXPECT_FALSE(Exists(L"Plain"));
  EXPECT_FALSE(Exists(L"Forced"));
  // Removing twice finds nothing to remove and is no error.
  EXPECT_EQ(S_OK, Run(kScript, false));
}

TEST_F(RegistrarTest, PlainKeyWithForeignSubkeyStays) {
  ASSERT_EQ(S_OK, Run(kScript, true));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_path + L"\\Plain\\Foreign").c_str(), &key));
  RegCloseKey(key);
  ASSERT_EQ(S_OK, Run(kScript, false));
  EXPECT_TRUE(Exists(L"Plain\\Foreign"));
  EXPECT_EQ(L"<missing>", Text(L"Plain", L"Named"));
  EXPECT_FALSE(Exists(L"Plain\\Child"));
}

TEST_F(RegistrarTest, ForceRemoveReplacesAndDeleteRemovesOnRegister) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_path + L"\\Forced\\Stale").c_str(), &key));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (m_path + L"\\Gone\\Deep").c_str(), &key));
  RegCloseKey(key);
  ASSERT_EQ(S_OK, Run(L"HKCU { NoRemove '%BASE%' { ForceRemove Forced { Sub } Delete Gone } }", true));
  EXPECT_FALSE(Exists(L"Forced\\Stale"));
  EXPECT_TRUE(Exists(L"Forced\\Sub"));
  EXPECT_FALSE(Exists(L"Gone"));
}

TEST_F(RegistrarTest, BinaryMultiAndExpandValues) {
  ASSERT_EQ(S_OK, Run(L"HKEY_CURRENT_USER { '%BASE%' { val Bin = b '00ff10' val Multi = m 'a\\0bc' "
                      L"val Exp = e '%%TEMP%%' } }", true));
  BYTE bytes[8] = {};
  DWORD size = sizeof(bytes), type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), L"Bin", RRF_RT_ANY, &type, bytes, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  ASSERT_EQ(3u, size);
  EXPECT_EQ(0xff, bytes[1]);
  wchar_t multi[16] = {};
  size = sizeof(multi);
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), L"Multi", RRF_RT_REG_MULTI_SZ, nullptr, multi, &size));
  EXPECT_STREQ(L"a", multi);
  EXPECT_STREQ(L"bc", multi + 2);
  wchar_t expand[32] = {};
  size = sizeof(expand);
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), L"Exp",
                                        RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, expand, &size));
  EXPECT_STREQ(L"%TEMP%", expand);
}

TEST_F(RegistrarTest, MalformedScriptsChangeNothing) {
  const wchar_t* kBad[] = {
      L"HKCU { '%BASE%' { A = s 'x' }",            // unclosed
      L"HKXX { '%BASE%' }",                        // unknown root
      L"HKCU { '%BASE%' { A = q 'x' } }",          // unknown type
      L"HKCU { '%BASE%' { A = s 'x } } }",         // unclosed quote
      L"HKCU { '%BASE%' { %UNKNOWN% } }",          // unknown replacement
      L"HKCU { '%BASE%' { val = s 'x' } }",        // value without name
  };
  for (const wchar_t* script : kBad) {
    EXPECT_TRUE(FAILED(Run(script, true))) << script;
    EXPECT_FALSE(Exists(L"")) << script;
  }
}

TEST_F(RegistrarTest, FailedRegistrationRollsBack) {
  // The bad number fails after the first key was written.
  EXPECT_TRUE(FAILED(Run(L"HKCU { '%BASE%' { First = s 'x' Second { val N = d 'zz' } } }", true)));
  EXPECT_FALSE(Exists(L""));
}

TEST(QuoteModulePath, QuotesOnlyPathsWithSpaces) {
  EXPECT_EQ(L"C:\\x\\a.exe", QuoteModulePath(L"C:\\x\\a.exe"));
  EXPECT_EQ(L"\"C:\\Program Files\\a.exe\"", QuoteModulePath(L"C:\\Program Files\\a.exe"));
}

}  // namespace
