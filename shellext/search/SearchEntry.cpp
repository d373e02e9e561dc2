// search/SearchEntry.cpp - StartSearch: one search window on the command line
// as its saved search; returns when no search window is left.
#include "SearchEntry.h"
#include "SearchDialog.h"

extern "C" void WINAPI StartSearch(const wchar_t* commandLine) {
  OpenSearchWindow(commandLine, nullptr);
  while (SearchActivityCount() != 0) Sleep(1000);
}
