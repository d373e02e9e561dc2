// tools/ZTRInit/main.cpp - entry of ZTRInit.
#include "ZTRInit.h"

int wmain(int argc, wchar_t** argv) { return RunZTRInit(argc, argv); }
