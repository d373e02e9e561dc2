// search/SearchEntry.cpp - StartSearch. Until the search window exists it
// returns at once.
#include "SearchEntry.h"

extern "C" void WINAPI StartSearch(const wchar_t*) {}
