// server/main.cpp - VKSServer.exe, a windowless out-of-process COM server.
#include "ServerProcess.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return ServerMain(); }
