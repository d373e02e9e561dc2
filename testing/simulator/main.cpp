// testing/simulator/main.cpp - vks-modemsim: the radio module on a pty.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "Simulator.h"

namespace {

void Usage() {
  std::fputs(
      "usage: vks-modemsim [options]\n"
      "  --data DIR          folder of the flash volumes (default .)\n"
      "  --info FILE         written when ready: pty, control port, COM number\n"
      "  --dosdevices DIR    make DIR/comN a link to the pty (Wine prefix)\n"
      "  --lock-dir DIR      where the comN.lock files live (default: --dosdevices)\n"
      "  --com-range A-B     COM numbers to choose from (default 10-250)\n"
      "  --control-port N    TCP port on 127.0.0.1 (default: any free one)\n"
      "  --control LINE      control command run at start and after reset (repeatable)\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  sim::SimOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--data") options.dataDir = value();
    else if (arg == "--info") options.infoFile = value();
    else if (arg == "--dosdevices") options.dosDevices = value();
    else if (arg == "--lock-dir") options.lockDir = value();
    else if (arg == "--control-port") options.controlPort = std::atoi(value().c_str());
    else if (arg == "--control") options.startup.push_back(value());
    else if (arg == "--com-range") {
      std::string v = value();
      if (std::sscanf(v.c_str(), "%d-%d", &options.comFirst, &options.comLast) != 2 ||
          options.comFirst < 1 || options.comLast < options.comFirst) {
        Usage();
        return 2;
      }
    } else {
      Usage();
      return 2;
    }
  }
  try {
    return sim::RunSimulator(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vks-modemsim: %s\n", e.what());
    return 1;
  }
}
