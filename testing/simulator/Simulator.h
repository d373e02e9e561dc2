// testing/simulator/Simulator.h - the simulator process: pty, modem lines,
// control channel and the event loop that drives the line side and the OBEX
// service.
#pragma once
#include <string>
#include <vector>

namespace sim {

struct SimOptions {
  std::string dataDir = ".";   // handed to the OBEX service
  std::string infoFile;        // written once ready: "pty", "control", "com" lines
  std::string dosDevices;      // Wine's dosdevices folder: a comN link is made there
  std::string lockDir;         // where comN.lock files are claimed (default: dosDevices)
  int comFirst = 10;
  int comLast = 250;
  int controlPort = 0;         // 0: any free port on 127.0.0.1
  std::vector<std::string> startup;  // control lines, run at start and after "reset"
};

// Runs until SIGTERM/SIGINT, the parent's death or "quit"; returns the exit code.
int RunSimulator(const SimOptions& options);

// A COM number claimed through a lock file, and its dosdevices link to the pty.
// Parallel test runs share one Wine prefix; the lock keeps their ports apart and
// is released by the kernel if the simulator dies.
class CComPortClaim {
public:
  CComPortClaim(const std::string& lockDir, int first, int last);  // throws
  ~CComPortClaim();
  CComPortClaim(const CComPortClaim&) = delete;
  CComPortClaim& operator=(const CComPortClaim&) = delete;

  int Number() const { return m_number; }
  // Points dosDevices/comN at target (replacing a stale link); removed on destruction.
  void Link(const std::string& dosDevices, const std::string& target);

private:
  int m_number = 0;
  int m_lockFd = -1;
  std::string m_link;
  std::string m_target;
};

}  // namespace sim
