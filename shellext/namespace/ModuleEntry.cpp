// namespace/ModuleEntry.cpp - attach, detach and the exports' work.
#include "ModuleEntry.h"
#include <commctrl.h>
#include <shlobj.h>
#include "ClassFactory.h"
#include "ClipboardFormats.h"
#include "MessageFilter.h"
#include "PlatformProbe.h"
#include "Registration.h"
#include "ResourceModule.h"
#include "ResourceIds.h"
#include "Seams.h"
#include "Settings.h"
#include "RPLSearchHandler.h"
#include "ShellExtClasses.h"

const CLSID CLSID_RPLFolder = {0xC5C1072F, 0xCD5B, 0x4dbb, {0x93, 0xAB, 0xAA, 0xCD, 0x6E, 0x08, 0x1B, 0x07}};
const CLSID CLSID_RPLContextMenu = {0x0DC4D8C6, 0x653E, 0x42c1, {0x9A, 0x1F, 0x8D, 0xC8, 0x62, 0x9C, 0xB2, 0x53}};
const CLSID CLSID_RPLPropSheetExt = {0x30D663F5, 0xDCEA, 0x422c, {0x9B, 0x0A, 0x98, 0xC8, 0x87, 0x63, 0x52, 0xCF}};
const CLSID CLSID_RPLSearchHandler = {0x4EEA3158, 0xB33D, 0x4b72, {0x9F, 0xC9, 0x40, 0xFE, 0x99, 0xF7, 0xA8, 0x2F}};

const wchar_t kParentWindowClass[] = L"VKS Parent Window";
const wchar_t kWebViewWindowClass[] = L"VKS_WEBVIEW_CLASS_NAME";

namespace {

const CClassEntry kClasses[] = {
    {&CLSID_RPLFolder, CreateRPLFolder, 0, IDR_REG_FOLDER},
    {&CLSID_RPLContextMenu, CreateRPLContextMenu, 0, IDR_REG_CONTEXTMENU},
    {&CLSID_RPLPropSheetExt, CreateRPLPropSheetExt, 0, IDR_REG_PROPSHEET},
    {&CLSID_RPLSearchHandler, CreateRPLSearchHandler, kClassOptionalRegistration, IDR_REG_SEARCH,
     CreateSearchHandler},
};

CClassTable& Classes() {
  static CClassTable table(kClasses, ARRAYSIZE(kClasses));
  return table;
}

HINSTANCE g_instance = nullptr;
IMalloc* g_malloc = nullptr;        // the shell's, kept from attach
IMalloc* g_testMalloc = nullptr;
DllVersion g_shell32 = {4, 0};
DllVersion g_comctl32 = {4, 0};
HMENU g_sharedMenu = nullptr;
bool g_parentClass = false;
bool g_webViewClass = false;

DllVersion ProbeVersion(const wchar_t* file) {
  DllVersion version = {4, 0};
  GetDllVersion(&version.major, &version.minor, file);   // a failure leaves 4.0
  return version;
}

bool RegisterWindowClasses(HINSTANCE instance) {
  WNDCLASSW parent = {};
  parent.lpfnWndProc = DefWindowProcW;
  parent.hInstance = GetModuleHandleW(nullptr);
  parent.lpszClassName = kParentWindowClass;
  g_parentClass = RegisterClassW(&parent) != 0;
  if (!g_parentClass) return false;
  WNDCLASSW webView = {};
  webView.lpfnWndProc = DefWindowProcW;
  webView.hInstance = instance;
  webView.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  webView.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  webView.lpszClassName = kWebViewWindowClass;
  g_webViewClass = RegisterClassW(&webView) != 0;
  return g_webViewClass;
}

}  // namespace

HINSTANCE ShellExtInstance() { return g_instance; }

IMalloc* ShellMalloc() {
  if (g_testMalloc) return g_testMalloc;
  if (!g_malloc) SHGetMalloc(&g_malloc);
  return g_malloc;
}

void SetShellMallocForTest(IMalloc* malloc) { g_testMalloc = malloc; }

DllVersion Shell32Version() { return g_shell32; }
DllVersion Comctl32Version() { return g_comctl32; }
bool HasExtendedListView() { return IsExtendedListViewVersion(g_comctl32.major, g_comctl32.minor); }

HMENU SharedMenu() { return g_sharedMenu; }
void SetSharedMenu(HMENU menu) { g_sharedMenu = menu; }

void ShellExtLock() { GetComModule().Lock(); }
void ShellExtUnlock() { GetComModule().Unlock(); }

const CClassTable& ShellExtClassTable() { return Classes(); }

BOOL ShellExtAttach(HINSTANCE instance) {
  g_instance = instance;
  // Texts come from the loaded "VKSShellExt.dll", else from this library
  // itself (a renamed copy), which holds no extra reference on itself.
  SelectResourceLanguage(TRUE, nullptr);
  if (!GetModuleHandleW(L"VKSShellExt.dll")) g_resourceModule.SetModule(instance);
  if (!g_malloc && FAILED(SHGetMalloc(&g_malloc))) return FALSE;
  InitCommonControls();
  g_shell32 = ProbeVersion(L"shell32.dll");
  g_comctl32 = ProbeVersion(L"comctl32.dll");
  SetProbedPlatformClass(GetPlatformLevel());
  if (!RegisterClipboardFormats()) return FALSE;
  if (!RegisterWindowClasses(instance)) return FALSE;
  Classes();   // the object map exists from here on
  DisableThreadLibraryCalls(instance);
  AllocFilterSlot();   // without a slot the library works, only without retries
  RegisterSearchExtension();
  return TRUE;
}

void ShellExtDetach() {
  FreeFilterSlot();
  if (g_sharedMenu) DestroyMenu(g_sharedMenu);
  g_sharedMenu = nullptr;
  if (g_webViewClass) UnregisterClassW(kWebViewWindowClass, g_instance);
  if (g_parentClass) UnregisterClassW(kParentWindowClass, GetModuleHandleW(nullptr));
  g_webViewClass = g_parentClass = false;
  FreeResourceModule(TRUE);
  g_resourceModule.SetModule(GetModuleHandleW(nullptr));
  Classes().Term();
}

HRESULT ShellExtCanUnloadNow() { return GetComModule().GetLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT ShellExtGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return Classes().GetClassObject(clsid, riid, ppv);
}

HRESULT RegisterServerWith(const CClassTable& table, HMODULE module) {
  HRESULT hr = UpdateClassTableRegistry(table, module, true);
  RegisterSearchExtension();
  return hr;
}

HRESULT UnregisterServerWith(const CClassTable& table, HMODULE module) {
  HRESULT hr = UpdateClassTableRegistry(table, module, false);
  // Every load writes the user's Find entry; leaving it would point at a
  // library that is gone.
  UnregisterSearchExtension();
  return hr;
}

HRESULT ShellExtRegisterServer() { return RegisterServerWith(Classes(), g_instance); }
HRESULT ShellExtUnregisterServer() { return UnregisterServerWith(Classes(), g_instance); }
