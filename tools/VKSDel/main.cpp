// tools/VKSDel/main.cpp - entry of VKSDel.
#include "VKSDel.h"

int wmain(int argc, wchar_t** argv) { return RunVKSDel(argc, argv); }
