// testing/simulator/Pty.h - the simulated serial line: a raw pty pair whose
// slave the Wine side opens as a COM port, and the modem lines shared with the
// preloaded shim in the Wine processes.
#pragma once
#include <cstdint>
#include <string>
#include <sys/types.h>

extern "C" {
#include "modemlines.h"
}

namespace sim {

// Baud rate of a termios speed constant; 0 when unknown.
int SpeedToBaud(unsigned speed);

class CPty {
public:
  CPty();  // throws std::runtime_error when no pty can be had
  ~CPty();
  CPty(const CPty&) = delete;
  CPty& operator=(const CPty&) = delete;

  int Master() const { return m_master; }
  int Slave() const { return m_slave; }
  const std::string& SlavePath() const { return m_slavePath; }
  dev_t SlaveDevice() const { return m_rdev; }
  // The rate the PC side last set on the line (the master sees the slave's settings).
  int LineBaud() const;

private:
  int m_master = -1;
  int m_slave = -1;  // kept open so the master never sees a hang-up between opens
  std::string m_slavePath;
  dev_t m_rdev = 0;
};

// The state file of one pty's modem lines; removed again on destruction.
class CModemLines {
public:
  explicit CModemLines(dev_t slaveDevice);  // throws std::runtime_error
  ~CModemLines();
  CModemLines(const CModemLines&) = delete;
  CModemLines& operator=(const CModemLines&) = delete;

  bool Dtr() const;
  uint32_t DtrChanges() const;
  void SetModuleLines(bool cts, bool dsr);
  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
  vks_modemlines* m_lines = nullptr;
};

}  // namespace sim
