// tools/VKSRmdir/main.cpp - entry of VKSRmdir.
#include "VKSRmdir.h"

int wmain(int argc, wchar_t** argv) { return RunVKSRmdir(argc, argv); }
