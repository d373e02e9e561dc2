// tools/VKSMkdir/VKSMkdir.cpp - VKSMkdir, and with VKS_FORMAT_TOOL defined VKSFormat:
// one module path, one IVKSVolume call.
#include "ConsoleText.h"
#include "ModulePath.h"
#include "SuiteString.h"
#include "ToolFrame.h"
#include "ToolUsage.h"
#include <cwchar>

namespace {

const size_t kVolumeRootLength = 4;   // "\A:\"

#ifdef VKS_FORMAT_TOOL
const char kUsage[] =
    "\n"
    "Format the modules file system. All data will be destroyed!\n"
    "\n"
    "Usage: VKSFormat mod:<drv>:\n"
    "  drv: Drive letter of module drive to be formated\n"
    "\n" VKS_MODULE_PATH_USAGE_NOTE;

// Only a volume root can be formatted.
bool FitsRule(size_t length) { return length == kVolumeRootLength; }
HRESULT Operate(IVKSVolume* volume, BSTR path) { return volume->Format(path); }
#else
const char kUsage[] =
    "\n"
    "Create directory on module file system.\n"
    "\n"
    "Usage: VKSMkdir mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path of directory to be created\n"
    "\n" VKS_MODULE_PATH_USAGE_NOTE;

bool FitsRule(size_t length) { return length > kVolumeRootLength; }
// Missing parent folders are made by the server.
HRESULT Operate(IVKSVolume* volume, BSTR path) { return volume->CreateDir(path); }
#endif

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t path[kModulePathSize];
  if (argc != 2 || !PrepareModulePath(argv[1], path) || !FitsRule(wcslen(path))) {
    PrintUsage(kUsage);
    return kExitSuccess;
  }
  return RunWithVolume([&](IVKSVolume* volume) {
    CBstr serverPath(path);
    return CheckResult(Operate(volume, serverPath.GetBstr()), kModuleErrorFormat);
  });
}
