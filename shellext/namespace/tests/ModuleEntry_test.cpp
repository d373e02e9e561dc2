// Attach and detach in process, the class table, the lock count, the probes
// and the per-user entries, against scratch registry keys.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ClassFactory.h"
#include "ClipboardFormats.h"
#include "MessageFilter.h"
#include "ModuleEntry.h"
#include "PlatformProbe.h"
#include "Registration.h"
#include "ResourceIds.h"
#include "ResourceModule.h"
#include "Seams.h"
#include "ShellExtClasses.h"
#include "RegistryGuard.h"
#include "ShellExtTestSupport.h"
#include "SuiteSettings.h"

namespace {

// One per process: ctest runs the cases side by side.
const std::wstring kScratch = L"Software\\VKSTest\\EntryScratch" + std::to_wstring(GetCurrentProcessId());

// HKCR and HKCU of the registration code point at scratch keys meanwhile.
class ScratchRoots {
public:
  ScratchRoots() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, (kScratch + L"\\CR").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &m_roots.classesRoot, nullptr);
    RegCreateKeyExW(HKEY_CURRENT_USER, (kScratch + L"\\CU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &m_roots.currentUser, nullptr);
    m_roots.localMachine = m_roots.currentUser;
    SetShellRegistryRoots(&m_roots);
  }
  ~ScratchRoots() {
    SetShellRegistryRoots(nullptr);
    RegCloseKey(m_roots.classesRoot);
    RegCloseKey(m_roots.currentUser);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kScratch.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VKSTest");   // only once no other run uses it
  }
  HKEY classes() const { return m_roots.classesRoot; }
  HKEY user() const { return m_roots.currentUser; }

private:
  RegistryRoots m_roots = {};
};

bool ReadDefault(HKEY root, const std::wstring& path, std::wstring* text) {
  wchar_t buffer[600] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
    return false;
  *text = buffer;
  return true;
}

bool KeyExists(HKEY root, const std::wstring& path) { return RegistryKeyExists(root, path); }

void SetDefault(HKEY root, const wchar_t* path, DWORD type, const void* data, DWORD bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
}

const std::wstring kUserEntry = std::wstring(kFindExtensionUserKey) + L"\\0";

// The ".ssc" open command follows the folder's InProcServer32 value; an
// unusable value leaves the command as it was.
TEST(SearchExtension, OpenCommandFollowsTheRegisteredServer) {
  const std::wstring tooLong(300, L'x');
  const DWORD number = 7;
  struct Case {
    const char* what;
    DWORD type;
    std::vector<wchar_t> data;   // exactly the bytes stored
    DWORD bytes;                 // 0: all of data
    const wchar_t* command;      // null: unchanged
  };
  auto text = [](const wchar_t* s) { return std::vector<wchar_t>(s, s + wcslen(s) + 1); };
  const Case cases[] = {
      {"plain", REG_SZ, text(L"C:\\Prog\\VKSShellExt.dll"), 0, L"\"C:\\Prog\\VKSSearchApp.exe\" \"%1\""},
      {"quoted", REG_SZ, text(L"\"D:\\Tools\\y.dll\""), 0, L"\"D:\\Tools\\VKSSearchApp.exe\" \"%1\""},
      {"expand", REG_EXPAND_SZ, text(L"E:\\a\\b\\y.dll"), 0, L"\"E:\\a\\b\\VKSSearchApp.exe\" \"%1\""},
      {"drive only", REG_SZ, text(L"D:y.dll"), 0, L"\"D:\\VKSSearchApp.exe\" \"%1\""},
      {"name only", REG_SZ, text(L"y.dll"), 0, L"\"\\VKSSearchApp.exe\" \"%1\""},
      {"empty", REG_SZ, text(L""), 0, nullptr},
      {"odd length", REG_SZ, text(L"C:\\x\\y.dll"), 21, nullptr},
      {"no NUL", REG_SZ, {L'C', L':', L'\\', L'y'}, 0, nullptr},
      {"dword", REG_DWORD, {}, 0, nullptr},
      {"over 260 characters", REG_SZ, text(tooLong.c_str()), 0, nullptr},
  };
  for (const Case& c : cases) {
    ScratchRoots roots;
    SetDefault(roots.classes(), kSearchCommandKey, REG_SZ, L"before", sizeof(L"before"));
    const void* data = c.type == REG_DWORD ? static_cast<const void*>(&number) : c.data.data();
    DWORD bytes = c.type == REG_DWORD ? sizeof(number)
                  : c.bytes          ? c.bytes
                                     : static_cast<DWORD>(c.data.size() * sizeof(wchar_t));
    SetDefault(roots.classes(), kFolderServerKey, c.type, data, bytes);
    RegisterSearchExtension();
    std::wstring command;
    ASSERT_TRUE(ReadDefault(roots.classes(), kSearchCommandKey, &command)) << c.what;
    EXPECT_EQ(command, c.command ? c.command : L"before") << c.what;
  }
}

TEST(SearchExtension, WithoutTheFolderRegisteredOnlyTheUserEntryIsWritten) {
  ScratchRoots roots;
  RegisterSearchExtension();
  std::wstring text;
  EXPECT_TRUE(ReadDefault(roots.user(), kUserEntry, &text));
  EXPECT_FALSE(KeyExists(roots.classes(), L"VKS.SearchConfig"));
  UnregisterSearchExtension();
  EXPECT_FALSE(KeyExists(roots.user(), kFindExtensionUserKey));
}

// The load picks the language from "Language" and writes the entry in it.
TEST(ModuleAttach, UserEntryFollowsTheChosenLanguage) {
  vkstest::CSavedSetting saved(L"Language");
  const struct { DWORD language; const wchar_t* text; } cases[] = {
      {1031, L"Im Modul-Dateisystem suchen..."},
      {1033, L"Find on module file system..."},
      {2057, L"Find on module file system..."},
  };
  for (const auto& c : cases) {
    ScratchRoots roots;
    ASSERT_TRUE(vkstest::WriteSuiteLanguage(c.language));
    ASSERT_TRUE(ShellExtAttach(GetModuleHandleW(nullptr)));
    std::wstring text;
    EXPECT_TRUE(ReadDefault(roots.user(), kUserEntry, &text)) << c.language;
    EXPECT_EQ(text, c.text) << c.language;
    EXPECT_EQ(g_resourceModule.GetLanguage(), c.language);
    ShellExtDetach();
  }
}

TEST(ModuleAttach, SetsTheProcessStateAndDetachTakesItBack) {
  ScratchRoots roots;
  HINSTANCE self = GetModuleHandleW(nullptr);
  for (int round = 0; round < 2; ++round) {   // attach again after a detach
    ASSERT_TRUE(ShellExtAttach(self)) << round;
    EXPECT_EQ(ShellExtInstance(), self);
    EXPECT_EQ(g_resourceModule.GetModule(), self) << "no VKSShellExt.dll here: the instance gives the texts";
    WNDCLASSW info;
    EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), kParentWindowClass, &info));
    EXPECT_TRUE(GetClassInfoW(self, kWebViewWindowClass, &info));
    EXPECT_EQ(info.hbrBackground, GetStockObject(WHITE_BRUSH));
    const ClipboardFormatIds& ids = ClipboardFormats();
    EXPECT_EQ(ids.shellIdListArray, RegisterClipboardFormatW(L"Shell IDList Array"));
    EXPECT_EQ(ids.viewAddress, RegisterClipboardFormatW(L"RPL SNE View Address"));
    EXPECT_EQ(ids.converted, RegisterClipboardFormatW(L"RPL SNE Converted"));
    EXPECT_EQ(ids.hdrop, static_cast<UINT>(CF_HDROP));
    EXPECT_EQ(ShellSettings().PlatformClass(), GetPlatformLevel());
    EXPECT_NE(ShellMalloc(), nullptr);
    ShellExtDetach();
    EXPECT_FALSE(GetClassInfoW(self, kWebViewWindowClass, &info));
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), kParentWindowClass, &info));
    EXPECT_EQ(AcquireThreadMessageFilter(), S_FALSE) << "the filter slot outlived the detach";
  }
}

TEST(ModuleClasses, FourClassesAndNoOthers) {
  const CLSID* classes[] = {&CLSID_RPLFolder, &CLSID_RPLContextMenu, &CLSID_RPLPropSheetExt,
                            &CLSID_RPLSearchHandler};
  const UINT scripts[] = {IDR_REG_FOLDER, IDR_REG_CONTEXTMENU, IDR_REG_PROPSHEET, IDR_REG_SEARCH};
  // Every class is built.
  const bool built[] = {true, true, true, true};
  ASSERT_EQ(ShellExtClassTable().GetCount(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(IsEqualCLSID(*ShellExtClassTable().GetEntry(i).clsid, *classes[i])) << i;
    EXPECT_EQ(ShellExtClassTable().GetEntry(i).registryScript, scripts[i]) << i;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(ShellExtGetClassObject(*classes[i], IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), built[i] ? S_OK : E_NOTIMPL) << i;
    EXPECT_EQ(object != nullptr, built[i]) << i;
    if (object) static_cast<IUnknown*>(object)->Release();
    factory->Release();
  }
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(ShellExtGetClassObject(IID_IUnknown, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

TEST(ModuleClasses, CannotUnloadWhileAFactoryOrTheLibraryIsLocked) {
  ASSERT_EQ(ShellExtCanUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(ShellExtGetClassObject(CLSID_RPLFolder, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(ShellExtCanUnloadNow(), S_OK) << "a factory alone does not hold the library";
  factory->LockServer(TRUE);
  EXPECT_EQ(ShellExtCanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(ShellExtCanUnloadNow(), S_OK);
  factory->Release();
  ShellExtLock();
  EXPECT_EQ(ShellExtCanUnloadNow(), S_FALSE);
  ShellExtUnlock();
  EXPECT_EQ(ShellExtCanUnloadNow(), S_OK);
}

HRESULT NoObject(REFIID, void** ppv) {
  *ppv = nullptr;
  return E_NOTIMPL;
}

// A script that is missing stands in for one that fails.
TEST(ModuleRegistration, FailingScriptsAndTheUserEntry) {
  const UINT kMissing = 9999;
  const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
  struct Case {
    const char* what;
    UINT first;
    UINT last;
    bool registering;
    bool failed;
  };
  const Case cases[] = {
      {"first class fails", kMissing, 0, true, true},
      {"search handler fails", 0, kMissing, true, false},
      {"removal, first fails", kMissing, 0, false, true},
      {"removal, search handler fails", 0, kMissing, false, false},
  };
  for (const Case& c : cases) {
    ScratchRoots roots;
    const CClassEntry entries[] = {
        {&CLSID_RPLFolder, NoObject, 0, c.first},
        {&CLSID_RPLContextMenu, NoObject, 0, 0},
        {&CLSID_RPLPropSheetExt, NoObject, 0, 0},
        {&CLSID_RPLSearchHandler, NoObject, kClassOptionalRegistration, c.last},
    };
    CClassTable table(entries, ARRAYSIZE(entries));
    if (!c.registering) RegisterSearchExtension();
    HRESULT hr = c.registering ? RegisterServerWith(table, GetModuleHandleW(nullptr))
                               : UnregisterServerWith(table, GetModuleHandleW(nullptr));
    EXPECT_EQ(FAILED(hr), c.failed) << c.what << std::hex << " 0x" << hr;
    if (c.failed) {
      EXPECT_TRUE(hr == kNotFound || HRESULT_CODE(hr) == ERROR_RESOURCE_NAME_NOT_FOUND) << c.what;
    }
    // Registering always ends with the user entry; removal takes it away.
    EXPECT_EQ(KeyExists(roots.user(), kUserEntry), c.registering) << c.what;
  }
}

TEST(ModuleRegistration, ReplacementsMapTheMachineRoot) {
  const RegistrarReplacement* r = GetRegistrarReplacements();
  ASSERT_NE(r[0].name, nullptr);
  EXPECT_STREQ(r[0].name, L"HKLM_OR_HKCU");
  EXPECT_STREQ(r[0].value, L"HKLM");
  EXPECT_EQ(r[1].name, nullptr);
}

TEST(PlatformProbe, LibraryVersions) {
  DWORD major = 9, minor = 9;
  EXPECT_EQ(GetDllVersion(&major, &minor, L"no-such-library-here.dll"), E_FAIL);
  EXPECT_EQ(major, 4u);
  EXPECT_EQ(minor, 0u);
  major = minor = 9;
  EXPECT_EQ(GetDllVersion(&major, &minor, L"kernel32.dll"), E_FAIL) << "kernel32 has no DllGetVersion";
  EXPECT_EQ(major, 4u);
  EXPECT_EQ(minor, 0u);
  EXPECT_EQ(GetDllVersion(&major, &minor, L"comctl32.dll"), S_OK);
  EXPECT_TRUE(major > 4 || (major == 4 && minor > 0));
  EXPECT_EQ(GetDllVersion(nullptr, &minor, L"comctl32.dll"), E_POINTER);
  EXPECT_EQ(GetDllVersion(&major, nullptr, L"comctl32.dll"), E_POINTER);

  const struct { DWORD major, minor; bool extended; } lists[] = {
      {4, 0, false}, {4, 69, false}, {4, 70, true}, {4, 71, true}, {5, 0, true}, {6, 10, true}, {3, 99, false}};
  for (const auto& l : lists)
    EXPECT_EQ(IsExtendedListViewVersion(l.major, l.minor), l.extended) << l.major << "." << l.minor;
}

TEST(PlatformProbe, PlatformClassTable) {
  const struct { DWORD platform, major, minor; int level; } cases[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0}, {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 1}, {VER_PLATFORM_WIN32_WINDOWS, 5, 0, 1},
      {VER_PLATFORM_WIN32_WINDOWS, 3, 95, 0}, {VER_PLATFORM_WIN32_NT, 3, 51, 2},
      {VER_PLATFORM_WIN32_NT, 4, 0, 2},       {VER_PLATFORM_WIN32_NT, 5, 0, 3},
      {VER_PLATFORM_WIN32_NT, 5, 1, 4},       {VER_PLATFORM_WIN32_NT, 6, 0, 4},
      {VER_PLATFORM_WIN32_NT, 10, 0, 4},      {VER_PLATFORM_WIN32s, 5, 1, 0},
      {7, 10, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PlatformLevelFromVersion(c.platform, c.major, c.minor), c.level)
        << c.platform << " " << c.major << "." << c.minor;
  EXPECT_EQ(GetPlatformLevel(), 4) << "Wine reports a later NT";
}

// The record sizes the probe offers, and what each answer gives.
std::vector<DWORD> g_offeredSizes;
bool g_acceptExtended = false, g_acceptPlain = false;
BOOL WINAPI FakeGetVersion(OSVERSIONINFOW* info) {
  g_offeredSizes.push_back(info->dwOSVersionInfoSize);
  bool accept = info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW) ? g_acceptExtended : g_acceptPlain;
  if (!accept) return FALSE;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 0;
  return TRUE;
}

TEST(PlatformProbe, FallsBackToThePlainRecordThenToZero) {
  const struct { bool extended, plain; int level; std::vector<DWORD> sizes; } cases[] = {
      {true, false, 3, {284}}, {false, true, 3, {284, 276}}, {false, false, 0, {284, 276}}};
  for (const auto& c : cases) {
    g_offeredSizes.clear();
    g_acceptExtended = c.extended;
    g_acceptPlain = c.plain;
    EXPECT_EQ(GetPlatformLevelWith(FakeGetVersion), c.level);
    EXPECT_EQ(g_offeredSizes, c.sizes);
  }
}

}  // namespace
