// What /RegServer writes and /UnregServer takes away again.
#include "ServerFixture.h"
#include <string>
#include <vector>

namespace {

using namespace vkstest;

const wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t kAppId[] = L"{16D47195-6762-459b-BA53-2B14EF3617C7}";
const wchar_t kLibId[] = L"{865444A3-B9B8-4228-9906-830F34E4F0D0}";
const wchar_t kModuleClsid[] = L"{F410F279-BE38-4557-96E8-D7A78ABAC4FA}";
const wchar_t kGeneralClsid[] = L"{2AA93B98-6442-49A0-9D39-04B031ACC5E4}";
const wchar_t kTypeLibMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";

bool KeyExists(const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kClasses + path).c_str(), 0, KEY_READ, &key)) return false;
  RegCloseKey(key);
  return true;
}

std::wstring Value(const std::wstring& path, const wchar_t* name) {
  wchar_t buffer[512] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, (kClasses + path).c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size))
    return L"<missing>";
  return buffer;
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

std::wstring FullServerPath() {
  wchar_t full[MAX_PATH];
  GetFullPathNameW(ServerExePath().c_str(), MAX_PATH, full, nullptr);
  return full;
}

struct Expected {
  std::wstring key;
  const wchar_t* name;   // null: the default value
  std::wstring value;    // empty: the key only has to exist
};

std::vector<Expected> ExpectedEntries() {
  std::wstring appId = kAppId, module = kModuleClsid, general = kGeneralClsid, lib = kLibId;
  std::wstring path = FullServerPath();
  std::vector<Expected> rows = {
      {L"AppID\\" + appId, nullptr, L"VKSServer"},
      {L"AppID\\VKSServer.EXE", L"AppID", appId},
      {L"VKSServer.VKSModule.1", nullptr, L"VKSModule Class"},
      {L"VKSServer.VKSModule.1\\CLSID", nullptr, module},
      {L"VKSServer.VKSModule", nullptr, L"VKSModule Class"},
      {L"VKSServer.VKSModule\\CLSID", nullptr, module},
      {L"VKSServer.VKSModule\\CurVer", nullptr, L"VKSServer.VKSModule.1"},
      {L"VKSServer.VKSGeneral.1", nullptr, L"VKSGeneral Class"},
      {L"VKSServer.VKSGeneral.1\\CLSID", nullptr, general},
      {L"VKSServer.VKSGeneral", nullptr, L"VKSGeneral Class"},
      {L"VKSServer.VKSGeneral\\CLSID", nullptr, general},
      {L"VKSServer.VKSGeneral\\CurVer", nullptr, L"VKSServer.VKSGeneral.1"},
      {L"TypeLib\\" + lib + L"\\1.0", nullptr, L"VKSServer Type Library"},
      {L"TypeLib\\" + lib + L"\\1.0\\409\\win64", nullptr, path},
      {L"TypeLib\\" + lib + L"\\1.0\\0\\win64", nullptr, path},
  };
  const struct { const std::wstring& clsid; const wchar_t* name; } kCoclasses[] = {
      {module, L"VKSModule"}, {general, L"VKSGeneral"}};
  for (const auto& c : kCoclasses) {
    std::wstring key = L"CLSID\\" + c.clsid;
    std::wstring progId = std::wstring(L"VKSServer.") + c.name;
    rows.push_back({key, nullptr, std::wstring(c.name) + L" Class"});
    rows.push_back({key, L"AppID", appId});
    rows.push_back({key + L"\\ProgID", nullptr, progId + L".1"});
    rows.push_back({key + L"\\VersionIndependentProgID", nullptr, progId});
    rows.push_back({key + L"\\Programmable", nullptr, L""});
    rows.push_back({key + L"\\LocalServer32", nullptr, path});
    rows.push_back({key + L"\\TypeLib", nullptr, lib});
  }
  const wchar_t* kInterfaces[] = {L"{4248572B-47B5-47E9-9375-EC1F6C20F071}",
                                  L"{30DE141F-BFD1-4A3F-AFB7-CD5DB3EF2A69}",
                                  L"{E364E7A0-448C-42E2-BAE3-D105FD24A004}"};
  for (const wchar_t* iid : kInterfaces)
    rows.push_back({std::wstring(L"Interface\\") + iid + L"\\ProxyStubClsid32", nullptr, kTypeLibMarshaller});
  return rows;
}

// Everything of ours that must be gone after /UnregServer.
std::vector<std::wstring> OurKeys() {
  return {std::wstring(L"AppID\\") + kAppId, L"AppID\\VKSServer.EXE",
          L"VKSServer.VKSModule.1", L"VKSServer.VKSModule", L"VKSServer.VKSGeneral.1", L"VKSServer.VKSGeneral",
          std::wstring(L"CLSID\\") + kModuleClsid, std::wstring(L"CLSID\\") + kGeneralClsid,
          std::wstring(L"TypeLib\\") + kLibId,
          L"Interface\\{4248572B-47B5-47E9-9375-EC1F6C20F071}",
          L"Interface\\{30DE141F-BFD1-4A3F-AFB7-CD5DB3EF2A69}",
          L"Interface\\{E364E7A0-448C-42E2-BAE3-D105FD24A004}"};
}

TEST(Registration, RegServerWritesTheTableAndUnregServerLeavesNothing) {
  ASSERT_TRUE(WaitForNoServer(15000));
  ASSERT_EQ(0, RunServerExe(L"-regserver"));
  for (const Expected& row : ExpectedEntries()) {
    ASSERT_TRUE(KeyExists(row.key)) << row.key;
    if (row.value.empty()) continue;
    EXPECT_EQ(Upper(row.value), Upper(Value(row.key, row.name)))
        << row.key << " " << (row.name ? row.name : L"(default)");
  }
  // Registering again over an existing registration is fine.
  ASSERT_EQ(0, RunServerExe(L"/RegServer"));
  ASSERT_EQ(0, RunServerExe(L"/UnregServer"));
  for (const std::wstring& key : OurKeys()) EXPECT_FALSE(KeyExists(key)) << key;
  // The shared parents stay.
  EXPECT_TRUE(KeyExists(L"AppID"));
  EXPECT_TRUE(KeyExists(L"CLSID"));
  // Removing what is not there is no failure.
  EXPECT_EQ(0, RunServerExe(L"/UnregServer"));
  EXPECT_FALSE(ServerRuns());
}

TEST(Registration, SwitchWithMoreAfterItServesInstead) {
  ASSERT_TRUE(WaitForNoServer(15000));
  ASSERT_EQ(0, RunServerExe(L"/UnregServer"));
  // Not a registration: the server runs and ends by itself after its idle time.
  DWORD start = GetTickCount();
  EXPECT_EQ(0, RunServerExe(L"/RegServer now"));
  EXPECT_GE(GetTickCount() - start, 4000u);
  EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + kModuleClsid));
}

}  // namespace
