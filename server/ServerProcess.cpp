// server/ServerProcess.cpp - start-up and shut-down order of VKSServer.
#include "ServerProcess.h"
#include "ClassFactory.h"
#include "ComDispatch.h"
#include "ErrorInfoChannel.h"
#include "ExeModule.h"
#include "Handle.h"
#include "InterfaceKeeper.h"
#include "Registrar.h"
#include "ServerParts.h"
#include "Settings.h"
#include "VKSGeneral.h"
#include "VKSModule.h"
#include <string>

const wchar_t kServerMutexName[] = L"VKSServerGlobalLockMutex";

namespace {

constexpr UINT kAppIdScript = 100;
const CClassEntry kObjectMap[] = {
    {&CLSID_VKSModule, VKSModule::Create, kClassSingleton, 101},
    {&CLSID_VKSGeneral, CVKSGeneral::Create, 0, 110},
};
CClassTable g_classes(kObjectMap, ARRAYSIZE(kObjectMap));

// Every interface a client calls on an object of ours (see CInterfaceKeeper).
const IID* const kServedInterfaces[] = {&IID_IVKSVolume,    &IID_IVKSGeneral, &IID_IDispatch,
                                        &IID_IStream,       &IID_ISequentialStream,
                                        &IID_ISupportErrorInfo, &IID_IClassFactory};

const wchar_t kTypeLibKey[] = L"TypeLib\\{865444A3-B9B8-4228-9906-830F34E4F0D0}";
const IID* const kOurInterfaces[] = {&IID_IVKSVolume, &IID_IVKSGeneral, &IID_IVKSNotifySink};

HRESULT RunScripts(bool registering) {
  wchar_t path[MAX_PATH];
  RETURN_IF_FAILED(GetThisModulePath(path, MAX_PATH));
  CRegistrar registrar;
  registrar.AddReplacement(L"MODULE", QuoteModulePath(path).c_str());
  registrar.AddReplacement(L"HKLM_OR_HKCU", L"HKLM");
  HMODULE module = GetThisModule();
  HRESULT first = registrar.RunResourceScript(module, kAppIdScript, registering);
  if (registering && FAILED(first)) return first;
  for (const CClassEntry& entry : kObjectMap) {
    HRESULT hr = registrar.RunResourceScript(module, entry.registryScript, registering);
    if (SUCCEEDED(first) && FAILED(hr)) first = hr;
    if (registering && FAILED(hr)) return hr;
  }
  return first;
}

// Wine 8: the type-library marshaller looks only under ...\1.0\0\win64, while
// the library's locale (0x0409) registers it under ...\1.0\409\win64.
HRESULT AddNeutralTypeLibPath(const wchar_t* path) {
  std::wstring key = std::wstring(kTypeLibKey) + L"\\1.0\\0\\win64";
  return HrFromWin32(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, path,
                                     static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t))));
}

HRESULT RegisterTypeLibrary() {
  wchar_t path[MAX_PATH];
  RETURN_IF_FAILED(GetThisModulePath(path, MAX_PATH));
  ComPtr<ITypeLib> library;
  RETURN_IF_FAILED(LoadTypeLibEx(path, REGKIND_NONE, &library));
  RETURN_IF_FAILED(RegisterTypeLib(library.Get(), path, nullptr));
  return AddNeutralTypeLibPath(path);
}

HRESULT DeleteOwnTree(const std::wstring& path) {
  LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? S_OK : HrFromWin32(error);
}

// Leaves nothing of the library: a missing registration is no error. The
// library's key and our interfaces' keys hold nothing of anyone else.
HRESULT UnregisterTypeLibrary() {
  UnRegisterTypeLib(LIBID_VKSServer, 1, 0, 0x0409, SYS_WIN64);
  HRESULT hr = DeleteOwnTree(kTypeLibKey);
  for (const IID* iid : kOurInterfaces) {
    wchar_t text[40];
    StringFromGUID2(*iid, text, ARRAYSIZE(text));
    HRESULT one = DeleteOwnTree(std::wstring(L"Interface\\") + text);
    if (SUCCEEDED(hr)) hr = one;
  }
  return hr;
}

// Wine 8: a dead server's class registrations stay with rpcss, which hands
// them to every later client, so none would start a new server. A crashed
// process may hold the locks the revocation needs: it gets a time limit.
constexpr DWORD kRevokeOnCrashMs = 2000;

DWORD WINAPI RevokeClassesOfACrashedServer(void*) {
  if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) g_classes.RevokeClassObjects();
  return 0;
}

LONG WINAPI EndSilently(EXCEPTION_POINTERS* exception) {
  HANDLE revoker = CreateThread(nullptr, 0, RevokeClassesOfACrashedServer, nullptr, 0, nullptr);
  if (revoker) {
    WaitForSingleObject(revoker, kRevokeOnCrashMs);
    CloseHandle(revoker);
  }
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Wine 8: CoUninitialize can wait for ever in RpcServerUnregisterIf for a call
// that has already returned, which keeps a finished server alive. All work is
// done and the mutex released by then, so a late CoUninitialize ends the process.
constexpr DWORD kUninitializeDeadlineMs = 3000;

DWORD WINAPI EndAfterDeadline(void* exitCode) {
  Sleep(kUninitializeDeadlineMs);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(reinterpret_cast<UINT_PTR>(exitCode)));
  return 0;
}

void UninitializeWithDeadline(int exitCode) {
  HANDLE watchdog = CreateThread(nullptr, 0, EndAfterDeadline,
                                 reinterpret_cast<void*>(static_cast<UINT_PTR>(exitCode)), 0, nullptr);
  CoUninitialize();
  if (watchdog) CloseHandle(watchdog);
}

void Serve() {
  const CHandle mutex(CreateMutexW(nullptr, FALSE, kServerMutexName));
  if (!mutex.IsValid()) return;
  // An abandoned mutex (a crashed server) is ours all the same.
  DWORD wait = WaitForSingleObject(mutex, kServerMutexWaitMs);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndSilently);
    SelectResourceLanguage(FALSE, nullptr);
    RunServer();
    CloseModuleConnections();
    FreeResourceModule(FALSE);
    ReleaseMutex(mutex);
  }
}

}  // namespace

ServerSwitch ParseServerSwitch(const wchar_t* commandLine) {
  if (!commandLine) return ServerSwitch::None;
  for (const wchar_t* p = commandLine; *p; ++p) {
    if (*p != L'-' && *p != L'/') continue;
    if (CompareStringOrdinal(p + 1, -1, L"UnregServer", -1, TRUE) == CSTR_EQUAL) return ServerSwitch::UnregServer;
    if (CompareStringOrdinal(p + 1, -1, L"RegServer", -1, TRUE) == CSTR_EQUAL) return ServerSwitch::RegServer;
  }
  return ServerSwitch::None;
}

HRESULT RegisterServer() {
  HRESULT hr = RunScripts(true);
  if (SUCCEEDED(hr)) hr = RegisterTypeLibrary();
  if (FAILED(hr)) UnregisterServer();
  return hr;
}

HRESULT UnregisterServer() {
  HRESULT hr = RunScripts(false);
  HRESULT typeLib = UnregisterTypeLibrary();
  return FAILED(hr) ? hr : typeLib;
}

HRESULT RunServer() {
  RETURN_IF_FAILED(StartServerParts());
  CInterfaceKeeper keeper;
  keeper.Start(kServedInterfaces, ARRAYSIZE(kServedInterfaces));
  HRESULT hr = g_classes.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);
  if (SUCCEEDED(hr)) {
    g_exeModule.RunMessageLoop();
    g_classes.RevokeClassObjects();
  }
  keeper.Stop();
  StopServerParts();
  return hr;
}

int ServerMain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 0;
  SetComModule(&g_exeModule);
  InstallErrorInfoChannel();
  int exitCode = 0;
  switch (ParseServerSwitch(GetCommandLineW())) {
    case ServerSwitch::UnregServer:
      exitCode = FAILED(UnregisterServer()) ? 1 : 0;
      break;
    case ServerSwitch::RegServer:
      exitCode = FAILED(RegisterServer()) ? 1 : 0;
      break;
    case ServerSwitch::None:
      Serve();
      break;
  }
  g_classes.Term();
  UninitializeWithDeadline(exitCode);
  return exitCode;
}
