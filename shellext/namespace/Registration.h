// namespace/Registration.h - the library's registration scripts and the
// per-user entries it writes at every load.
#pragma once
#include <windows.h>
#include <string>

class CClassTable;

struct RegistrarReplacement {
  const wchar_t* name;
  const wchar_t* value;
};
// The replacements of the component scripts, ended by a null name.
const RegistrarReplacement* GetRegistrarReplacements();

// Runs one REGISTRY script of module with %MODULE% = its full path.
HRESULT UpdateClassRegistry(HMODULE module, UINT script, bool registering);

// Every class's script in table order. Registering stops at the first failure;
// removal goes through all. A class flagged kClassOptionalRegistration never
// fails either.
HRESULT UpdateClassTableRegistry(const CClassTable& table, HMODULE module, bool registering);

// The ".ssc" open command for the folder's InProcServer32 default value as
// read (data, its type and byte count); false when the value is unusable.
bool SearchCommandFromServerPath(const wchar_t* data, DWORD type, DWORD bytes, std::wstring* command);

// The Find menu entry under HKCU (text 8352 in the chosen language) and the
// ".ssc" open command next to the registered library. Failures are skipped.
void RegisterSearchExtension();
// Removes the HKCU entry RegisterSearchExtension writes.
void UnregisterSearchExtension();

extern const wchar_t kFindExtensionUserKey[];   // under HKCU
extern const wchar_t kSearchCommandKey[];       // under HKCR
extern const wchar_t kFolderServerKey[];        // under HKCR
