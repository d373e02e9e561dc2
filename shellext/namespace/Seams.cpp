// namespace/Seams.cpp - the production side of the seams.
#include "Seams.h"
#include <shellapi.h>
#include <mmsystem.h>
#include "ErrorInfoChannel.h"
#include "ResourceModule.h"

namespace {

// The channel that carries the server's error texts is installed on the first
// volume, not at load: the loader's lock is held there.
void EnsureErrorInfoChannel() {
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  InitOnceExecuteOnce(&once, [](PINIT_ONCE, PVOID, PVOID*) -> BOOL {
    InstallErrorInfoChannel();
    return TRUE;
  }, nullptr, nullptr);
}

HRESULT DefaultVolume(IVKSVolume** volume) {
  EnsureErrorInfoChannel();
  return CoCreateInstance(CLSID_VKSModule, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSVolume,
                          reinterpret_cast<void**>(volume));
}

HRESULT DefaultGeneral(IVKSGeneral** general) {
  EnsureErrorInfoChannel();
  return CoCreateInstance(CLSID_VKSGeneral, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSGeneral,
                          reinterpret_cast<void**>(general));
}

VolumeFactoryFn g_volumeFactory = DefaultVolume;
GeneralFactoryFn g_generalFactory = DefaultGeneral;

class CRealShellUi final : public IShellUi {
public:
  int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
    return MessageBoxW(owner, text, caption, type);
  }
  INT_PTR RunDialog(HINSTANCE instance, const wchar_t* name, HWND owner, DLGPROC proc,
                    LPARAM param) override {
    // Numbered templates come in the language the user chose, not the thread's.
    if (IS_INTRESOURCE(name)) {
      if (HRSRC found = FindResourceExW(instance, RT_DIALOG, name, g_resourceModule.GetLanguage())) {
        if (const void* data = LockResource(LoadResource(instance, found)))
          return DialogBoxIndirectParamW(instance, static_cast<const DLGTEMPLATE*>(data), owner, proc, param);
      }
    }
    return DialogBoxParamW(instance, name, owner, proc, param);
  }
  INT_PTR RunPropertySheet(PROPSHEETHEADERW* header) override { return PropertySheetW(header); }
  UINT TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override {
    return static_cast<UINT>(TrackPopupMenuEx(menu, flags, x, y, owner, nullptr));
  }
  HRESULT RunDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) override {
    return ::DoDragDrop(data, source, allowed, effect);
  }
  BOOL ExecuteShell(SHELLEXECUTEINFOW* info) override { return ShellExecuteExW(info); }
  BOOL ShowHelp(HWND owner, const wchar_t* file, UINT command, ULONG_PTR data) override {
    return WinHelpW(owner, file, command, data);
  }
  BOOL PlaySystemSound(const wchar_t* sound, UINT flags) override { return sndPlaySoundW(sound, flags); }
  BOOL OpenFileDialog(OPENFILENAMEW* ofn) override { return GetOpenFileNameW(ofn); }
  BOOL SaveFileDialog(OPENFILENAMEW* ofn) override { return GetSaveFileNameW(ofn); }
  PIDLIST_ABSOLUTE BrowseFolder(BROWSEINFOW* info) override { return SHBrowseForFolderW(info); }
};

CRealShellUi g_realUi;
IShellUi* g_ui = &g_realUi;

class CRealShellSettings final : public IShellSettings {
public:
  int PlatformClass() override;
  bool WebViewEnabled() override;
  bool SingleClickOpens() override {
    SHELLSTATEW state = {};
    SHGetSetSettings(&state, SSF_DOUBLECLICKINWEBVIEW, FALSE);
    return !state.fDoubleClickInWebView;
  }
  void GetShellState(SHELLSTATEW* state, DWORD mask) override { SHGetSetSettings(state, mask, FALSE); }
};

// Filled in by the entry once it has probed the platform.
int g_platformClass = 0;
int CRealShellSettings::PlatformClass() { return g_platformClass; }

CRealShellSettings g_realSettings;
IShellSettings* g_settings = &g_realSettings;

const RegistryRoots kRealRoots = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
const RegistryRoots* g_roots = &kRealRoots;

// The panel is never shown on the newest platforms; elsewhere Explorer's
// "WebView" value decides, read as a 32-bit number whatever its type.
bool CRealShellSettings::WebViewEnabled() {
  if (PlatformClass() == 4) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(g_roots->currentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD value = 0, bytes = sizeof(value);
  LONG status = RegQueryValueExW(key, L"WebView", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &bytes);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && bytes == sizeof(value) && value != 0;
}

}  // namespace

void SetProbedPlatformClass(int platformClass) { g_platformClass = platformClass; }

HRESULT CreateModuleVolume(IVKSVolume** volume) {
  if (!volume) return E_POINTER;
  *volume = nullptr;
  return g_volumeFactory(volume);
}

HRESULT CreateModuleGeneral(IVKSGeneral** general) {
  if (!general) return E_POINTER;
  *general = nullptr;
  return g_generalFactory(general);
}

VolumeFactoryFn SetVolumeFactory(VolumeFactoryFn factory) {
  VolumeFactoryFn previous = g_volumeFactory;
  g_volumeFactory = factory ? factory : DefaultVolume;
  return previous;
}

GeneralFactoryFn SetGeneralFactory(GeneralFactoryFn factory) {
  GeneralFactoryFn previous = g_generalFactory;
  g_generalFactory = factory ? factory : DefaultGeneral;
  return previous;
}

IShellUi& ShellUi() { return *g_ui; }
IShellUi* SetShellUi(IShellUi* ui) {
  IShellUi* previous = g_ui;
  g_ui = ui ? ui : &g_realUi;
  return previous;
}

IShellSettings& ShellSettings() { return *g_settings; }
IShellSettings* SetShellSettings(IShellSettings* settings) {
  IShellSettings* previous = g_settings;
  g_settings = settings ? settings : &g_realSettings;
  return previous;
}

const RegistryRoots& ShellRegistryRoots() { return *g_roots; }
void SetShellRegistryRoots(const RegistryRoots* roots) { g_roots = roots ? roots : &kRealRoots; }
