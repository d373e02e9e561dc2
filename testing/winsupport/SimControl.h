// testing/winsupport/SimControl.h - Windows side of the module simulator's
// control channel, for tests that run under with-sim.sh (VKS_WITH_SIM=1).
//
// One command per line, one reply line per command: "OK [value]" or
// "ERR <why>". The vocabulary is in testing/simulator/README.md.
#pragma once
#include <string>

namespace vkstest {

class CSimControl {
public:
  // Uses VKS_SIM_CONTROL ("127.0.0.1:<port>").
  CSimControl();
  explicit CSimControl(const std::string& endpoint);
  ~CSimControl();
  CSimControl(const CSimControl&) = delete;
  CSimControl& operator=(const CSimControl&) = delete;

  // True when a simulator was started for this process.
  bool Available() const { return !m_endpoint.empty(); }

  // Sends one command; true when the reply begins with "OK". reply gets the
  // whole reply line (without line end), or the reason it failed.
  bool Command(const std::string& line, std::string* reply = nullptr);
  // "get <what>": the value after "OK " (empty on failure).
  std::string Get(const std::string& what);
  // Polls "get <what>" every 10 ms until it gives value or timeoutMs pass.
  bool WaitFor(const std::string& what, const std::string& value, unsigned timeoutMs);

  // The simulated port's name ("COM12", from VKS_TEST_PORT); empty without one.
  static std::string TestPort();
  static std::wstring TestPortW();
  // The volumes' folder as a Windows path (VKS_SIM_DATA_WIN) and as the host path (VKS_SIM_DATA).
  static std::wstring DataDirW();
  static std::string HostDataDir();

private:
  bool Connect(std::string* reason);
  void Close();

  std::string m_endpoint;
  unsigned long long m_socket;  // SOCKET, kept out of this header
  std::string m_pending;        // bytes after the last reply line
};

// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM entry for the test's port, which Wine
// rebuilds with every wineserver session: value "\Device\VksSim<port>" = port.
bool RegisterSerialCommPort(const std::wstring& port);
bool UnregisterSerialCommPort(const std::wstring& port);

// The same for the lifetime of a fixture.
class CSerialCommEntry {
public:
  explicit CSerialCommEntry(std::wstring port)
      : m_port(std::move(port)), m_ok(RegisterSerialCommPort(m_port)) {}
  ~CSerialCommEntry() {
    if (m_ok) UnregisterSerialCommPort(m_port);
  }
  CSerialCommEntry(const CSerialCommEntry&) = delete;
  CSerialCommEntry& operator=(const CSerialCommEntry&) = delete;
  bool Ok() const { return m_ok; }

private:
  std::wstring m_port;
  bool m_ok;
};

}  // namespace vkstest
