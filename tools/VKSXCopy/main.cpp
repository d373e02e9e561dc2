// tools/VKSXCopy/main.cpp - entry of VKSXCopy.
#include "VKSXCopy.h"

int wmain(int argc, wchar_t** argv) { return RunVKSXCopy(argc, argv); }
