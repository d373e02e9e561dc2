// namespace/Registration.cpp - registration scripts and per-user entries.
#include "Registration.h"
#include "ClassFactory.h"
#include "Registrar.h"
#include "Registry.h"
#include "ResourceModule.h"
#include "ResourceIds.h"
#include "Seams.h"

const wchar_t kFindExtensionUserKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions\\Static\\VKSMFlashSearchHandler";
const wchar_t kSearchCommandKey[] = L"VKS.SearchConfig\\shell\\open\\command";
const wchar_t kFolderServerKey[] = L"CLSID\\{C5C1072F-CD5B-4dbb-93AB-AACD6E081B07}\\InProcServer32";

const RegistrarReplacement* GetRegistrarReplacements() {
  static const RegistrarReplacement kReplacements[] = {{L"HKLM_OR_HKCU", L"HKLM"}, {nullptr, nullptr}};
  return kReplacements;
}

HRESULT UpdateClassRegistry(HMODULE module, UINT script, bool registering) {
  if (!script) return S_OK;
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(module, path, ARRAYSIZE(path));
  if (!length || length >= ARRAYSIZE(path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  CRegistrar registrar;
  registrar.AddReplacement(L"MODULE", path);
  for (const RegistrarReplacement* r = GetRegistrarReplacements(); r->name; ++r)
    registrar.AddReplacement(r->name, r->value);
  return registrar.RunResourceScript(module, script, registering);
}

HRESULT UpdateClassTableRegistry(const CClassTable& table, HMODULE module, bool registering) {
  HRESULT first = S_OK;
  for (size_t i = 0; i < table.GetCount(); ++i) {
    const CClassEntry& entry = table.GetEntry(i);
    HRESULT hr = UpdateClassRegistry(module, entry.registryScript, registering);
    if (entry.flags & kClassOptionalRegistration) hr = S_OK;
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    if (registering && FAILED(first)) break;
  }
  return first;
}

bool SearchCommandFromServerPath(const wchar_t* data, DWORD type, DWORD bytes, std::wstring* command) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (bytes % sizeof(wchar_t) || bytes < 2 * sizeof(wchar_t)) return false;
  size_t count = bytes / sizeof(wchar_t);
  if (data[count - 1] != 0) return false;
  std::wstring path(data, count - 1);
  // Only the last NUL ends the text; one inside makes the shorter text the path.
  path.resize(wcslen(path.c_str()));
  if (path.empty()) return false;
  if (path.front() == L'"') path.erase(0, 1);
  if (!path.empty() && path.back() == L'"') path.pop_back();
  std::wstring folder;
  size_t slash = path.rfind(L'\\');
  if (slash != std::wstring::npos)
    folder = path.substr(0, slash);
  else if (path.size() >= 2 && path[1] == L':')
    folder = path.substr(0, 2);
  *command = L"\"" + folder + L"\\VKSSearchApp.exe\" \"%1\"";
  return true;
}

void RegisterSearchExtension() {
  const RegistryRoots& roots = ShellRegistryRoots();
  {
    CRegistryKey key;
    if (key.Create(roots.currentUser, (std::wstring(kFindExtensionUserKey) + L"\\0").c_str(),
                   KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
      CBstr text = g_resourceModule.LoadResString(IDS_FIND_ON_MODULE);
      key.SetString(nullptr, text.GetBstr() ? text.GetBstr() : L"");
    }
  }
  CRegistryKey server;
  if (server.Open(roots.classesRoot, kFolderServerKey, KEY_READ) != ERROR_SUCCESS) return;
  wchar_t buffer[260];
  DWORD type = 0, bytes = sizeof(buffer);
  if (server.QueryValue(nullptr, &type, buffer, &bytes) != ERROR_SUCCESS) return;
  std::wstring command;
  if (!SearchCommandFromServerPath(buffer, type, bytes, &command)) return;
  CRegistryKey commandKey;
  if (commandKey.Create(roots.classesRoot, kSearchCommandKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return;
  commandKey.SetString(nullptr, command.c_str());
}

void UnregisterSearchExtension() {
  RegDeleteTreeW(ShellRegistryRoots().currentUser, kFindExtensionUserKey);
  // The tree call leaves the key itself; the key is ours alone.
  RegDeleteKeyW(ShellRegistryRoots().currentUser, kFindExtensionUserKey);
}
