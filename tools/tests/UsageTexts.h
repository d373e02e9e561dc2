// tools/tests/UsageTexts.h - the usage texts as the tools print them, version filled in.
#pragma once

const char kDirUsage[] =
    "\n"
    "List entries of a folder on module file system.\n"
    "\n"
    "Usage: VKSDir mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path of folder to be listed\n"
    "\n"
    "A module path is always identified by the 'mod:' at the beginning of a path\n"
    "declaration.\n"
    "You can use a single 'mod:' to get a list of the available module drives!\n"
    "\n"
    "Version of tool: 2.12.0.0\n";

#define VKS_TEST_MODULE_PATH_NOTE                                                 \
  "A module path is always identified by the 'mod:' at the beginning of a path\n" \
  "declaration. If there is no module drive letter given it is automatically\n"   \
  "the module volume 'A:' accessed!\n"                                            \
  "\n"                                                                            \
  "Version of tool: 2.12.0.0\n"

const char kDelUsage[] =
    "\n"
    "Delete file (or files if used with wildcards) on module file system.\n"
    "\n"
    "Usage: VKSDel mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path to files to be deleted\n"
    "\n" VKS_TEST_MODULE_PATH_NOTE;

const char kMkdirUsage[] =
    "\n"
    "Create directory on module file system.\n"
    "\n"
    "Usage: VKSMkdir mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path of directory to be created\n"
    "\n" VKS_TEST_MODULE_PATH_NOTE;

const char kRmdirUsage[] =
    "\n"
    "Delete complete directory including all files on module file system.\n"
    "\n"
    "Usage: VKSRmdir mod:<drv>:<path>\n"
    "  drv : Drive letter of module drive to be accessed\n"
    "  path: Path of directory to be deleted\n"
    "\n" VKS_TEST_MODULE_PATH_NOTE;

const char kFormatUsage[] =
    "\n"
    "Format the modules file system. All data will be destroyed!\n"
    "\n"
    "Usage: VKSFormat mod:<drv>:\n"
    "  drv: Drive letter of module drive to be formated\n"
    "\n" VKS_TEST_MODULE_PATH_NOTE;

const char kPortUsage[] =
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
    "Version of tool: 2.12.0.0\n";

const char kCloseUsage[] =
    "\n"
    "Close the serial port used by the Tarvaq Suite.\n"
    "\n"
    "Usage: VKSClose timeout\n"
    "  timout:\n"
    "    The timeout in seconds after which the command fails if VKS is in use.\n"
    "    This parameter isn't mandatory, if no timeout value is given the a default\n"
    "    value 3 seconds is used.\n"
    "\n"
    "The COM port used by VKS is closed automatically when VKS isn't used for\n"
    "5 seconds. This tool closes the port immediately. It blocks until all\n"
    "possibly pending VKS calls have finished and the COM port could be closed.\n"
    "If it is not possible to finish all pending calls after the given timeout\n"
    "VKSClose fails with an error message.\n"
    "\n"
    "Version of tool: 2.12.0.0\n";
