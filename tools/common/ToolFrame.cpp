// tools/common/ToolFrame.cpp - COM start of the console tools.
#include "ToolFrame.h"
#include "ErrorInfoChannel.h"
#include <cstdio>

namespace {
// What the server calls back on: the PC file streams of the copy tools.
const IID* const kToolInterfaces[] = {&IID_IStream, &IID_ISequentialStream, &IID_ISupportErrorInfo};
}  // namespace

CComSession::CComSession() : m_started(SUCCEEDED(CoInitialize(nullptr))) {
  if (!m_started) return;
  // Wine 8 drops a server's error information between processes; the channel
  // carries it. Without it the tools still work, with the fallback lines.
  InstallErrorInfoChannel();
  m_keeper.Start(kToolInterfaces, ARRAYSIZE(kToolInterfaces));
}

CComSession::~CComSession() {
  if (!m_started) return;
  m_keeper.Stop();
  CoUninitialize();
}

void ReportComStartFailure() {
  printf("Error initializing COM interface\n");
  fflush(stdout);
}

void ReportServerOpenFailure() {
  printf("Error opening Tarvaq Suite\n");
  fflush(stdout);
}
