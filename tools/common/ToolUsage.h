// tools/common/ToolUsage.h - the closing lines that the usage texts of the path tools share.
#pragma once

// After the argument lines of VKSDel, VKSMkdir, VKSRmdir and VKSFormat; the
// "%s" takes kToolVersion.
#define VKS_MODULE_PATH_USAGE_NOTE                                                \
  "A module path is always identified by the 'mod:' at the beginning of a path\n" \
  "declaration. If there is no module drive letter given it is automatically\n"   \
  "the module volume 'A:' accessed!\n"                                            \
  "\n"                                                                            \
  "Version of tool: %s\n"
