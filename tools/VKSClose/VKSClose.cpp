// tools/VKSClose/VKSClose.cpp - makes the server close the module's port now.
#include "ConsoleText.h"
#include "ToolFrame.h"
#include <cstdio>

namespace {

const char kUsage[] =
    "\n"
    "Close the serial port used by the Tarvaq Suite.\n"
    "\n"
    "Usage: VKSClose timeout\n"
    "  timout:\n"
    "    The timeout in seconds after which the command fails if VKS is in use.\n"
    "    This parameter isn't mandatory, if no timeout value is given the a default\n"
    "    value %d seconds is used.\n"
    "\n"
    "The COM port used by VKS is closed automatically when VKS isn't used for\n"
    "5 seconds. This tool closes the port immediately. It blocks until all\n"
    "possibly pending VKS calls have finished and the COM port could be closed.\n"
    "If it is not possible to finish all pending calls after the given timeout\n"
    "VKSClose fails with an error message.\n"
    "\n"
    "Version of tool: %s\n";

const int kDefaultTimeoutSeconds = 3;
// Shutdown takes milliseconds in 32 bits.
const LONG kMaxTimeoutSeconds = 0x7FFFFFFF / 1000;

void PrintCloseUsage() {
  printf(kUsage, kDefaultTimeoutSeconds, kToolVersion);
  fflush(stdout);
}

// Decimal digits only (an empty text is 0); false for anything else and for
// a number of seconds whose milliseconds do not fit.
bool ParseTimeout(const wchar_t* text, LONG* seconds) {
  LONG value = 0;
  for (; *text; ++text) {
    if (*text < L'0' || *text > L'9') return false;
    value = value * 10 + (*text - L'0');
    if (value > kMaxTimeoutSeconds) return false;
  }
  *seconds = value;
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  LONG seconds = kDefaultTimeoutSeconds;
  if (argc > 2) {
    PrintCloseUsage();
    return kExitSuccess;
  }
  if (argc == 2 && !ParseTimeout(argv[1], &seconds)) {
    PrintCloseUsage();
    return kExitBadTimeout;
  }
  return RunWithGeneral([&](IVKSGeneral* general) {
    if (!CheckResult(general->Shutdown(seconds * 1000), kCloseErrorFormat)) return false;
    printf("VKS port successfully closed\n");
    fflush(stdout);
    return true;
  });
}
