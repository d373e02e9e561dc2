// tools/VKSCopy/main.cpp - entry of VKSCopy.
#include "VKSCopy.h"

int wmain(int argc, wchar_t** argv) { return RunVKSCopy(argc, argv); }
