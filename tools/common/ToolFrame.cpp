// tools/common/ToolFrame.cpp - COM start of the console tools.
#include "ToolFrame.h"
#include "ErrorInfoChannel.h"
#include <cstdio>

CComSession::CComSession() : m_started(SUCCEEDED(CoInitialize(nullptr))) {
  // Wine 8 drops a server's error information between processes; the channel
  // carries it. Without it the tools still work, with the fallback lines.
  if (m_started) InstallErrorInfoChannel();
}

CComSession::~CComSession() {
  if (m_started) CoUninitialize();
}

void ReportComStartFailure() {
  printf("Error initializing COM interface\n");
  fflush(stdout);
}

void ReportServerOpenFailure() {
  printf("Error opening Tarvaq Suite\n");
  fflush(stdout);
}
