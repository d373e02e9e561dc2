// search/SearchEntry.h - StartSearch, the export VKSSearchApp calls.
#pragma once
#include <windows.h>

extern "C" void WINAPI StartSearch(const wchar_t* commandLine);
