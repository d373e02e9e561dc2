// namespace/Seams.h - where the extension meets the server, the user and
// Explorer's settings. Production uses the real ones; tests put their own in.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <commdlg.h>
#include <shellapi.h>
#include <prsht.h>
#include "VKSServer.h"

// Every object and worker thread creates its own volume through this, on its
// own thread. Default: CoCreateInstance of VKSModule / VKSGeneral (local server).
using VolumeFactoryFn = HRESULT (*)(IVKSVolume** volume);
using GeneralFactoryFn = HRESULT (*)(IVKSGeneral** general);
HRESULT CreateModuleVolume(IVKSVolume** volume);
HRESULT CreateModuleGeneral(IVKSGeneral** general);
// Null restores the default. Returns the previous one.
VolumeFactoryFn SetVolumeFactory(VolumeFactoryFn factory);
GeneralFactoryFn SetGeneralFactory(GeneralFactoryFn factory);

// All modal UI goes through here, so no test waits for a person.
struct IShellUi {
  virtual int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) = 0;
  // A dialog of ours: the real one runs the template in the chosen language
  // (DialogBoxParamW for named templates).
  virtual INT_PTR RunDialog(HINSTANCE instance, const wchar_t* templateName, HWND owner,
                            DLGPROC proc, LPARAM param) = 0;
  // A dialog from a template in memory (a template of the chosen language).
  // Not every test UI needs it, so the real one is the default.
  virtual INT_PTR RunDialogIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                    DLGPROC proc, LPARAM param) {
    return DialogBoxIndirectParamW(instance, dialogTemplate, owner, proc, param);
  }
  virtual INT_PTR RunPropertySheet(PROPSHEETHEADERW* header) = 0;
  virtual UINT TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) = 0;
  virtual HRESULT RunDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) = 0;
  virtual BOOL ExecuteShell(SHELLEXECUTEINFOW* info) = 0;
  virtual BOOL ShowHelp(HWND owner, const wchar_t* file, UINT command, ULONG_PTR data) = 0;
  virtual BOOL PlaySystemSound(const wchar_t* sound, UINT flags) = 0;
  virtual BOOL OpenFileDialog(OPENFILENAMEW* ofn) = 0;
  virtual BOOL SaveFileDialog(OPENFILENAMEW* ofn) = 0;
  virtual PIDLIST_ABSOLUTE BrowseFolder(BROWSEINFOW* info) = 0;
protected:
  ~IShellUi() = default;
};
IShellUi& ShellUi();
// Null restores the real one. Returns the previous one.
IShellUi* SetShellUi(IShellUi* ui);

// What the extension reads of the platform and of Explorer's settings.
struct IShellSettings {
  virtual int PlatformClass() = 0;                 // 0..4
  virtual bool WebViewEnabled() = 0;
  virtual bool SingleClickOpens() = 0;
  virtual void GetShellState(SHELLSTATEW* state, DWORD mask) = 0;
protected:
  ~IShellSettings() = default;
};
IShellSettings& ShellSettings();
IShellSettings* SetShellSettings(IShellSettings* settings);

// Registry roots of the registration code: HKCR, HKCU, HKLM unless a test
// points them at scratch keys.
struct RegistryRoots {
  HKEY classesRoot;
  HKEY currentUser;
  HKEY localMachine;
};
const RegistryRoots& ShellRegistryRoots();
void SetShellRegistryRoots(const RegistryRoots* roots);   // null: the real ones

// The entry's probe of the platform, read by the real settings.
void SetProbedPlatformClass(int platformClass);
