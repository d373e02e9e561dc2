// The built DLL registers and removes itself exactly, by its exports and by the
// platform's regsvr32, loads and unloads again, and Wine's shell then lists
// "Module" under My Computer. The registry is put back as it was found.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <memory>
#include <string>
#include <vector>
#include "SavedRegistration.h"
#include "RegistryGuard.h"
#include "ShellExtTestSupport.h"

namespace {

using namespace shelltest;

// Everything the DLL may write, saved for the test's whole run.
class RegistrationTest : public ::testing::Test {
private:
  shelltest::CSavedRegistration m_saved;
};

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type = nullptr) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t), found = 0;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &found, buffer, &bytes) != ERROR_SUCCESS)
    return L"<missing>";
  if (type) *type = found;
  return buffer;
}

DWORD ReadDword(HKEY root, const std::wstring& path, const wchar_t* name) {
  DWORD value = 0, bytes = sizeof(value);
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) != ERROR_SUCCESS) return 0;
  return value;
}

bool KeyExists(HKEY root, const std::wstring& path) { return RegistryKeyExists(root, path); }

std::wstring DllFolder() {
  std::wstring path = ShellExtDllPath();
  return path.substr(0, path.rfind(L'\\'));
}

// What a registered library leaves, in the machine's classes.
struct Expected {
  HKEY root;
  std::wstring path;
  const wchar_t* value;   // null: the default value
  std::wstring text;
};

std::vector<Expected> RegisteredEntries() {
  HKEY lm = HKEY_LOCAL_MACHINE;
  const std::wstring dll = ShellExtDllPath();
  const std::wstring clsid = kClasses + L"CLSID\\";
  std::vector<Expected> entries = {
      {lm, clsid + kFolder, nullptr, L"Module"},
      {lm, clsid + kFolder + L"\\DefaultIcon", nullptr, dll + L",0"},
      {lm, clsid + kFolder + L"\\InProcServer32", nullptr, dll},
      {lm, clsid + kFolder + L"\\InProcServer32", L"ThreadingModel", L"Apartment"},
      {lm, kNameSpace, nullptr, L"Module"},
      {lm, kApproved, kFolder, L"Module"},
      {lm, clsid + kMenu, nullptr, L"Module ContextMenuHandler"},
      {lm, clsid + kMenu + L"\\InProcServer32", nullptr, dll},
      {lm, clsid + kMenu + L"\\InProcServer32", L"ThreadingModel", L"Apartment"},
      {lm, kApproved, kMenu, L"Module ContextMenuHandler"},
      {lm, clsid + kSheet, nullptr, L"Module PropertySheetHandler"},
      {lm, clsid + kSheet + L"\\InProcServer32", nullptr, dll},
      {lm, clsid + kSheet + L"\\InProcServer32", L"ThreadingModel", L"Apartment"},
      {lm, kApproved, kSheet, L"Module PropertySheetHandler"},
      {lm, clsid + kSearch, nullptr, L"VKS Module Flash Search Handler"},
      {lm, clsid + kSearch + L"\\InProcServer32", nullptr, dll},
      {lm, clsid + kSearch + L"\\InProcServer32", L"ThreadingModel", L"Apartment"},
      {lm, kClasses + L".ssc", nullptr, L"VKS.SearchConfig"},
      {lm, kClasses + L"VKS.SearchConfig", nullptr, L"VKS Search Configuration"},
      {lm, kClasses + L"VKS.SearchConfig\\shell\\open\\command", nullptr,
       L"\"" + DllFolder() + L"\\VKSSearchApp.exe\" \"%1\""},
      {lm, kStatic, nullptr, kSearch},
      {lm, kStatic + L"\\0", nullptr, L"Search &MMC"},
      {lm, kStatic + L"\\0\\DefaultIcon", nullptr, dll + L",5"},
      {HKEY_CURRENT_USER, kStatic + L"\\0", nullptr, L"Find on module file system..."},
  };
  return entries;
}

// Keys of ours that must be gone after removal (the shared parents stay).
std::vector<std::pair<HKEY, std::wstring>> OurKeys() {
  HKEY lm = HKEY_LOCAL_MACHINE;
  std::vector<std::pair<HKEY, std::wstring>> keys;
  for (const wchar_t* clsid : {kFolder, kMenu, kSheet, kSearch}) keys.push_back({lm, kClasses + L"CLSID\\" + clsid});
  keys.push_back({lm, kClasses + L".ssc"});
  keys.push_back({lm, kClasses + L"VKS.SearchConfig"});
  keys.push_back({lm, kClasses + L"Drive\\shellex\\PropertySheetHandlers\\" + kSheet});
  keys.push_back({lm, kNameSpace});
  keys.push_back({lm, kStatic});
  keys.push_back({HKEY_CURRENT_USER, kStatic});
  return keys;
}

void ExpectRegistered() {
  for (const Expected& e : RegisteredEntries()) {
    DWORD type = 0;
    EXPECT_EQ(ReadString(e.root, e.path, e.value, &type), e.text) << e.path.c_str() << " " << (e.value ? e.value : L"");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << e.path.c_str();
  }
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\" + kFolder + L"\\ShellFolder", L"Attributes"),
            0xA0000040u);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\" + kFolder +
                                                L"\\shellex\\ContextMenuHandlers\\" + kMenu));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\" + kFolder +
                                                L"\\shellex\\PropertySheetHandlers\\" + kSheet));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Drive\\shellex\\PropertySheetHandlers\\" + kSheet));
}

void ExpectRemoved() {
  for (const auto& key : OurKeys()) EXPECT_FALSE(KeyExists(key.first, key.second)) << key.second.c_str();
  for (const wchar_t* clsid : {kFolder, kMenu, kSheet})
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kApproved, clsid), L"<missing>") << clsid;
}

using EntryFn = HRESULT(WINAPI*)();

HRESULT CallExport(HMODULE dll, const char* name) {
  auto fn = reinterpret_cast<EntryFn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  return fn ? fn() : E_NOINTERFACE;
}

TEST_F(RegistrationTest, ExportsRegisterEverythingAndRemoveAllOfIt) {
  HMODULE dll = LoadLibraryW(ShellExtDllPath());
  ASSERT_NE(dll, nullptr);
  ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
  ExpectRegistered();
  // Icons by position: ",0" is the folder, ",5" the search icon, both ours.
  for (int index : {0, 5}) {
    HICON large = nullptr;
    EXPECT_EQ(ExtractIconExW(ShellExtDllPath(), index, &large, nullptr, 1), 1u) << index;
    HICON ours = static_cast<HICON>(LoadImageW(dll, MAKEINTRESOURCEW(100 + index), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(ours, nullptr) << index;
    ICONINFO a = {}, b = {};
    ASSERT_TRUE(GetIconInfo(large, &a));
    ASSERT_TRUE(GetIconInfo(ours, &b));
    BITMAP bmA = {}, bmB = {};
    GetObjectW(a.hbmColor, sizeof(bmA), &bmA);
    GetObjectW(b.hbmColor, sizeof(bmB), &bmB);
    std::vector<BYTE> bitsA(bmA.bmWidthBytes * bmA.bmHeight), bitsB(bmB.bmWidthBytes * bmB.bmHeight);
    GetBitmapBits(a.hbmColor, static_cast<LONG>(bitsA.size()), bitsA.data());
    GetBitmapBits(b.hbmColor, static_cast<LONG>(bitsB.size()), bitsB.data());
    EXPECT_EQ(bitsA, bitsB) << "icon " << index << " is not the one of group " << 100 + index;
    for (HBITMAP bm : {a.hbmColor, a.hbmMask, b.hbmColor, b.hbmMask}) DeleteObject(bm);
    DestroyIcon(large);
    DestroyIcon(ours);
  }
  ASSERT_EQ(CallExport(dll, "DllUnregisterServer"), S_OK);
  ExpectRemoved();
  EXPECT_TRUE(FreeLibrary(dll));
}

TEST_F(RegistrationTest, LoadsUnloadsAndLoadsAgain) {
  for (int round = 0; round < 2; ++round) {
    HMODULE dll = LoadLibraryW(ShellExtDllPath());
    ASSERT_NE(dll, nullptr) << round;
    const LONG* hallole = reinterpret_cast<const LONG*>(GetProcAddress(dll, "hallole"));
    ASSERT_NE(hallole, nullptr);
    EXPECT_EQ(*hallole, 32);
    EXPECT_EQ(CallExport(dll, "DllCanUnloadNow"), S_OK);
    // Every load writes the user's Find entry.
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kStatic + L"\\0", nullptr), L"Find on module file system...");
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_EQ(GetModuleHandleW(L"VKSShellExt.dll"), nullptr) << "still loaded after the last FreeLibrary";
  }
}

// A copy under another name still finds its texts in itself.
TEST_F(RegistrationTest, ARenamedCopyUsesItsOwnTexts) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(ARRAYSIZE(temp), temp);
  std::wstring copy = std::wstring(temp) + L"VKSRenamedCopy.dll";
  ASSERT_TRUE(CopyFileW(ShellExtDllPath(), copy.c_str(), FALSE));
  RegDeleteTreeW(HKEY_CURRENT_USER, kStatic.c_str());
  HMODULE dll = LoadLibraryW(copy.c_str());
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kStatic + L"\\0", nullptr), L"Find on module file system...");
  FreeLibrary(dll);
  DeleteFileW(copy.c_str());
}

DWORD RunRegsvr32(const std::wstring& arguments) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, ARRAYSIZE(system));
  std::wstring line = L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " + arguments + L"\"" +
                      ShellExtDllPath() + L"\"";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
    return GetLastError() | 0x80000000u;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// My Computer's children by their display names.
std::vector<std::wstring> MyComputerNames() {
  std::vector<std::wstring> names;
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop))) return names;
  PIDLIST_ABSOLUTE drives = nullptr;
  IShellFolder* computer = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives)) &&
      SUCCEEDED(desktop->BindToObject(drives, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&computer)))) {
    IEnumIDList* items = nullptr;
    if (computer->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) == S_OK) {
      PITEMID_CHILD item = nullptr;
      while (items->Next(1, &item, nullptr) == S_OK) {
        STRRET name = {};
        wchar_t text[MAX_PATH] = {};
        if (SUCCEEDED(computer->GetDisplayNameOf(item, SHGDN_NORMAL, &name)))
          StrRetToBufW(&name, item, text, ARRAYSIZE(text));
        names.push_back(text);
        CoTaskMemFree(item);
      }
      items->Release();
    }
    computer->Release();
  }
  CoTaskMemFree(drives);
  desktop->Release();
  return names;
}

bool Lists(const std::vector<std::wstring>& names, const wchar_t* name) {
  for (const auto& n : names)
    if (n == name) return true;
  return false;
}

TEST_F(RegistrationTest, AsAUserInstallsItWithRegsvr32) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  ExpectRegistered();
  EXPECT_TRUE(Lists(MyComputerNames(), L"Module"));
  ASSERT_EQ(RunRegsvr32(L"/u "), 0u);
  ExpectRemoved();
  EXPECT_FALSE(Lists(MyComputerNames(), L"Module"));
  CoUninitialize();
}

}  // namespace
