// tools/common/ToolFrame.h - COM start, the server object and the exit code shared by the console tools.
#pragma once
#include <windows.h>
#include <type_traits>
#include "ComBase.h"
#include "InterfaceKeeper.h"
#include "VKSServer.h"

enum ToolExitCode { kExitSuccess = 0, kExitFailure = 1, kExitBadTimeout = 2 };

// CoInitialize for the life of the object; the error-information channel is
// installed so the server's descriptions reach this process, and the streams
// a tool hands the server keep their interfaces registered (CInterfaceKeeper).
class CComSession {
public:
  CComSession();
  ~CComSession();
  CComSession(const CComSession&) = delete;
  CComSession& operator=(const CComSession&) = delete;
  bool IsStarted() const { return m_started; }

private:
  bool m_started;
  CInterfaceKeeper m_keeper;
};

// Prints "Error initializing COM interface\n" or "Error opening Tarvaq Suite\n".
void ReportComStartFailure();
void ReportServerOpenFailure();

// Starts COM, creates the server object classId for interface I (as a local
// server, which starts VKSServer when needed), runs operation(I*) and releases
// everything again. operation returns bool (true: exit 0, false: exit 1) or an
// exit code of its own. COM or object failures print their line and give 1.
template <class I, class Operation> int RunWithServer(REFCLSID classId, Operation&& operation) {
  CComSession com;
  if (!com.IsStarted()) {
    ReportComStartFailure();
    return kExitFailure;
  }
  ComPtr<I> server;
  if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(I),
                              reinterpret_cast<void**>(&server))) || !server) {
    ReportServerOpenFailure();
    return kExitFailure;
  }
  int exitCode;
  if constexpr (std::is_same<decltype(operation(server.Get())), bool>::value)
    exitCode = operation(server.Get()) ? kExitSuccess : kExitFailure;
  else
    exitCode = static_cast<int>(operation(server.Get()));
  server.Reset();   // released before CoUninitialize
  return exitCode;
}

template <class Operation> int RunWithVolume(Operation&& operation) {
  return RunWithServer<IVKSVolume>(CLSID_VKSModule, operation);
}
template <class Operation> int RunWithGeneral(Operation&& operation) {
  return RunWithServer<IVKSGeneral>(CLSID_VKSGeneral, operation);
}
