// testing/simulator/Pty.cpp - pty pair and shared modem-line state.
#include "Pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

std::runtime_error SysError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

int SpeedToBaud(unsigned speed) {
  static const struct { speed_t code; int baud; } kRates[] = {
      {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
      {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
      {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
      {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
      {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B500000, 500000},
      {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B1152000, 1152000},
      {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
      {B3500000, 3500000}, {B4000000, 4000000},
  };
  for (const auto& r : kRates)
    if (r.code == speed) return r.baud;
  return 0;
}

CPty::CPty() {
  if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) throw SysError("openpty");
  termios t{};
  if (tcgetattr(m_slave, &t) == 0) {
    cfmakeraw(&t);
    cfsetspeed(&t, B19200);
    tcsetattr(m_slave, TCSANOW, &t);
  }
  fcntl(m_master, F_SETFD, FD_CLOEXEC);
  fcntl(m_slave, F_SETFD, FD_CLOEXEC);
  fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
  const char* name = ttyname(m_slave);
  if (!name) throw SysError("ttyname");
  m_slavePath = name;
  struct stat st{};
  if (fstat(m_slave, &st) != 0) throw SysError("fstat pty");
  m_rdev = st.st_rdev;
}

CPty::~CPty() {
  if (m_slave >= 0) close(m_slave);
  if (m_master >= 0) close(m_master);
}

int CPty::LineBaud() const {
  termios t{};
  if (tcgetattr(m_master, &t) != 0) return 0;
  return SpeedToBaud(cfgetospeed(&t));
}

CModemLines::CModemLines(dev_t slaveDevice) {
  char dir[512];
  vks_modemlines_dir(dir, sizeof dir);
  mkdir(dir, 0700);
  char path[640];
  vks_modemlines_path(path, sizeof path, slaveDevice);
  m_path = path;
  // A file left by a simulator that died on the same pty number is replaced.
  std::string tmp = m_path + ".new." + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw SysError("create " + tmp);
  if (ftruncate(fd, sizeof(vks_modemlines)) != 0) {
    close(fd);
    throw SysError("size " + tmp);
  }
  void* p = mmap(nullptr, sizeof(vks_modemlines), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (p == MAP_FAILED) throw SysError("map " + tmp);
  m_lines = static_cast<vks_modemlines*>(p);
  __atomic_store_n(&m_lines->magic, VKS_MODEMLINES_MAGIC, __ATOMIC_RELEASE);
  if (rename(tmp.c_str(), m_path.c_str()) != 0) {
    munmap(p, sizeof(vks_modemlines));
    unlink(tmp.c_str());
    throw SysError("rename " + m_path);
  }
}

CModemLines::~CModemLines() {
  if (m_lines) munmap(m_lines, sizeof(vks_modemlines));
  unlink(m_path.c_str());
}

bool CModemLines::Dtr() const {
  return (__atomic_load_n(&m_lines->pc_lines, __ATOMIC_ACQUIRE) & TIOCM_DTR) != 0;
}

uint32_t CModemLines::DtrChanges() const {
  return __atomic_load_n(&m_lines->dtr_changes, __ATOMIC_ACQUIRE);
}

void CModemLines::SetModuleLines(bool cts, bool dsr) {
  uint32_t v = (cts ? TIOCM_CTS : 0) | (dsr ? TIOCM_DSR : 0);
  __atomic_store_n(&m_lines->module_lines, v, __ATOMIC_RELEASE);
}

}  // namespace sim
