// tools/VKSDir/main.cpp - entry of VKSDir.
#include "VKSDir.h"

int wmain(int argc, wchar_t** argv) { return RunVKSDir(argc, argv); }
