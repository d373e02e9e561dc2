// tools/VKSPort/VKSPort.cpp - chooses the serial port of the whole suite.
#include "ComBase.h"
#include "ConsoleText.h"
#include "Settings.h"
#include "SuiteString.h"
#include "ToolFrame.h"
#include <cstdio>
#include <cwchar>

namespace {

const char kUsage[] =
    "\n"
    "Set the serial port to be used by the Tarvaq Suite.\n"
    "\n"
    "Usage: VKSPort port\n"
    "  port:\n"
    "    The serial port to be used by the Tarvaq Suite (e.g. \"COM1\").\n"
    "\n"
    "The setting made by this tool is global, permanent and used by all VKS command\n"
    "line tools and the VKS explorer extension name space extension afterwards.\n"
    "\n"
    "Version of tool: %s\n";

// The configured port is read into at most this many characters.
const DWORD kPortTextSize = 33;

template <class I> bool CreateServerObject(REFCLSID classId, ComPtr<I>& object) {
  if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(I),
                              reinterpret_cast<void**>(&object))) || !object) {
    ReportServerOpenFailure();
    return false;
  }
  return true;
}

// Whole entries of the ";"-joined list: "COM1" is not in "COM10;COM2".
bool ListHoldsPort(const wchar_t* list, const wchar_t* port) {
  const size_t portLength = wcslen(port);
  for (const wchar_t* entry = list; entry && *entry;) {
    const wchar_t* end = wcschr(entry, L';');
    const size_t length = end ? static_cast<size_t>(end - entry) : wcslen(entry);
    if (length == portLength && CompareCountedText(entry, static_cast<int>(length), port,
                                                   static_cast<int>(portLength), FALSE) == 0)
      return true;
    if (!end) break;
    entry = end + 1;
  }
  return false;
}

bool CheckNewPort(const wchar_t* port) {
  ComPtr<IVKSGeneral> general;
  if (!CreateServerObject(CLSID_VKSGeneral, general)) return false;
  CBstr ports;
  BSTR list = nullptr;
  HRESULT hr = general->GetCommPorts(&list, PHYSICAL_PORTS);
  ports.Attach(list);
  if (!CheckResult(hr, kPortErrorFormat)) return false;
  if (!ListHoldsPort(ports.GetBstr(), port)) {
    printf("Error: Given port %s does not exist\n", ToOemText(port).c_str());
    fflush(stdout);
    return false;
  }
  wchar_t current[kPortTextSize];
  if (FAILED(ReadPortSetting(current, kPortTextSize))) {
    printf("Error: Current port cannot be retrieved\n");
    fflush(stdout);
    return false;
  }
  CharUpperW(current);
  if (wcscmp(current, port) == 0) {
    printf("Error: Given port %s is already set\n", ToOemText(port).c_str());
    fflush(stdout);
    return false;
  }
  return true;
}

bool SetModulePort(const wchar_t* port) {
  ComPtr<IVKSVolume> volume;
  if (!CreateServerObject(CLSID_VKSModule, volume)) return false;
  CBstr name(port);
  if (!CheckResult(volume->SelectPort(name.GetBstr()), kPortErrorFormat)) return false;
  const LONG error = WritePortSetting(port);
  if (error != ERROR_SUCCESS) {
    printf(kPortErrorFormat, static_cast<unsigned>(error));
    fflush(stdout);
    return false;
  }
  printf("%s successfully set\n", ToOemText(port).c_str());
  fflush(stdout);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    PrintUsage(kUsage);
    return kExitSuccess;
  }
  wchar_t* port = argv[1];
  CharUpperW(port);
  CComSession com;
  if (!com.IsStarted()) {
    ReportComStartFailure();
    return kExitFailure;
  }
  // The server is told first; the registry is written only when it took the port.
  return CheckNewPort(port) && SetModulePort(port) ? kExitSuccess : kExitFailure;
}
