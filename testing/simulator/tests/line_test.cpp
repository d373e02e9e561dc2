// The pty, the modem-line file and the shim (linked into this test, so its
// ioctl answers the test's own calls), the COM number claim, and the
// simulator process end to end.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "Pty.h"
#include "Simulator.h"

namespace sim {
namespace {

// A private folder for the state files and links of one test.
class TempDir {
public:
  TempDir() {
    char tmpl[] = "/tmp/vks-simtest.XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string path;
};

class ShimTest : public ::testing::Test {
protected:
  void SetUp() override { setenv("VKS_MODEMSHIM_DIR", dir.path.c_str(), 1); }
  void TearDown() override { unsetenv("VKS_MODEMSHIM_DIR"); }
  TempDir dir;
};

int Bits(int fd) {
  int bits = -1;
  EXPECT_EQ(0, ioctl(fd, TIOCMGET, &bits));
  return bits;
}

TEST_F(ShimTest, DtrGoesOutCtsComesBack) {
  CPty pty;
  CModemLines lines(pty.SlaveDevice());
  // The PC side opens the slave by its path, as Wine does.
  int pc = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(pc, 0);
  EXPECT_FALSE(lines.Dtr());
  int dtr = TIOCM_DTR;
  ASSERT_EQ(0, ioctl(pc, TIOCMBIS, &dtr));
  EXPECT_TRUE(lines.Dtr());
  EXPECT_EQ(TIOCM_DTR, Bits(pc) & TIOCM_DTR);

  lines.SetModuleLines(true, true);
  EXPECT_EQ(TIOCM_CTS | TIOCM_DSR, Bits(pc) & (TIOCM_CTS | TIOCM_DSR));
  lines.SetModuleLines(false, true);
  EXPECT_EQ(0, Bits(pc) & TIOCM_CTS);

  ASSERT_EQ(0, ioctl(pc, TIOCMBIC, &dtr));
  EXPECT_FALSE(lines.Dtr());
  EXPECT_EQ(2u, lines.DtrChanges());

  // The PC side cannot set the module's lines.
  int all = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS;
  ASSERT_EQ(0, ioctl(pc, TIOCMSET, &all));
  EXPECT_EQ(TIOCM_DTR | TIOCM_RTS | TIOCM_DSR, Bits(pc));
  close(pc);
}

TEST_F(ShimTest, OtherCallsAndOtherTtysPassThrough) {
  CPty pty;
  CModemLines lines(pty.SlaveDevice());
  termios t{};
  EXPECT_EQ(0, tcgetattr(pty.Slave(), &t));  // an ioctl the shim leaves alone
  int queued = -1;
  EXPECT_EQ(0, ioctl(pty.Slave(), TIOCOUTQ, &queued));
  EXPECT_EQ(0, queued);

  int master = -1, slave = -1;
  ASSERT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
  int bits = 0;
  errno = 0;
  EXPECT_EQ(-1, ioctl(slave, TIOCMGET, &bits)) << "a pty without a state file has no lines";
  EXPECT_EQ(ENOTTY, errno);
  close(slave);
  close(master);
}

TEST_F(ShimTest, StateFileGoesWithTheSimulator) {
  std::string path;
  {
    CPty pty;
    CModemLines lines(pty.SlaveDevice());
    path = lines.Path();
    struct stat st{};
    EXPECT_EQ(0, stat(path.c_str(), &st));
  }
  struct stat st{};
  EXPECT_NE(0, stat(path.c_str(), &st));
}

TEST(ComPortClaimTest, ParallelRunsGetTheirOwnNumbers) {
  TempDir dir;
  CComPortClaim a(dir.path, 10, 12);
  CComPortClaim b(dir.path, 10, 12);
  EXPECT_EQ(10, a.Number());
  EXPECT_EQ(11, b.Number());
  {
    CComPortClaim c(dir.path, 10, 12);
    EXPECT_EQ(12, c.Number());
    EXPECT_THROW(CComPortClaim(dir.path, 10, 12), std::runtime_error);
  }
  CComPortClaim d(dir.path, 10, 12);  // a finished run's number is free again
  EXPECT_EQ(12, d.Number());
}

TEST(ComPortClaimTest, LinkReplacesAStaleOneAndGoesAway) {
  TempDir dir;
  std::string link = dir.path + "/com10";
  ASSERT_EQ(0, symlink("/dev/null-stale", link.c_str()));
  {
    CComPortClaim claim(dir.path, 10, 10);
    claim.Link(dir.path, "/dev/pts/777");
    char buf[64] = {};
    ASSERT_GT(readlink(link.c_str(), buf, sizeof buf - 1), 0);
    EXPECT_STREQ("/dev/pts/777", buf);
  }
  struct stat st{};
  EXPECT_NE(0, lstat(link.c_str(), &st));
}

// The real program: started, steered and asked through its control channel,
// talked to through its pty.
class SimProcessTest : public ::testing::Test {
protected:
  // Each part of the run in a folder of its own, to see what is left behind.
  void SetUp() override {
    for (const char* sub : {"/lines", "/data", "/dosdevices", "/locks"})
      ASSERT_EQ(0, mkdir((dir.path + sub).c_str(), 0700));
    setenv("VKS_MODEMSHIM_DIR", (dir.path + "/lines").c_str(), 1);
    std::string info = dir.path + "/info";
    m_pid = fork();
    ASSERT_GE(m_pid, 0);
    if (m_pid == 0) {
      execl(VKS_MODEMSIM_PATH, VKS_MODEMSIM_PATH, "--data", (dir.path + "/data").c_str(),
            "--info", info.c_str(), "--dosdevices", (dir.path + "/dosdevices").c_str(),
            "--lock-dir", (dir.path + "/locks").c_str(), "--com-range", "40-41", "--control",
            "set model PROC", nullptr);
      _exit(127);
    }
    for (int i = 0; i < 500 && !std::ifstream(info); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(info);
    ASSERT_TRUE(in) << "simulator did not start";
    std::string key, value;
    while (in >> key >> value) {
      if (key == "pty") m_pty = value;
      if (key == "control") m_port = std::atoi(value.c_str());
      if (key == "com") m_com = std::atoi(value.c_str());
    }
    m_control = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(m_port));
    ASSERT_EQ(0, connect(m_control, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
  }
  void TearDown() override {
    if (m_control >= 0) close(m_control);
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      int status = 0;
      waitpid(m_pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    unsetenv("VKS_MODEMSHIM_DIR");
  }
  std::string Ask(const std::string& line) {
    std::string msg = line + "\n";
    EXPECT_EQ(static_cast<ssize_t>(msg.size()), send(m_control, msg.data(), msg.size(), 0));
    std::string reply;
    char c;
    while (recv(m_control, &c, 1, 0) == 1 && c != '\n') reply += c;
    return reply;
  }
  std::string ReadFor(int fd, const std::string& want) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.find(want) == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
      }
    }
    return got;
  }

  TempDir dir;
  pid_t m_pid = -1;
  std::string m_pty;
  int m_port = 0;
  int m_com = 0;
  int m_control = -1;
};

std::vector<std::string> Entries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

TEST_F(SimProcessTest, LinksItsPortAndCleansUpOnTerm) {
  EXPECT_EQ(40, m_com);
  EXPECT_EQ("OK COM40", Ask("get com"));
  char target[256] = {};
  ASSERT_GT(readlink((dir.path + "/dosdevices/com40").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(m_pty, target);
  EXPECT_EQ(1u, Entries(dir.path + "/lines").size());

  kill(m_pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(m_pid, waitpid(m_pid, &status, 0));
  m_pid = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(Entries(dir.path + "/dosdevices").empty());
  EXPECT_TRUE(Entries(dir.path + "/lines").empty());
}

TEST_F(SimProcessTest, AnswersOnItsPtyAndSeesDtr) {
  int pc = open(m_pty.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(pc, 0);
  termios t{};
  ASSERT_EQ(0, tcgetattr(pc, &t));
  cfsetspeed(&t, B115200);
  ASSERT_EQ(0, tcsetattr(pc, TCSANOW, &t));
  EXPECT_EQ("OK", Ask("set baud 115200"));
  ASSERT_EQ(8, write(pc, "AT+CGMM\r", 8));
  EXPECT_EQ("AT+CGMM\r\r\nPROC\r\n\r\nOK\r\n", ReadFor(pc, "OK\r\n"));
  EXPECT_EQ("OK 115200", Ask("get baud"));

  int dtr = TIOCM_DTR;
  ASSERT_EQ(0, ioctl(pc, TIOCMBIS, &dtr));
  std::string reply;
  for (int i = 0; i < 200 && (reply = Ask("get dtr")) != "OK 1"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ("OK 1", reply);
  EXPECT_EQ("OK " + m_pty, Ask("get pty"));
  EXPECT_EQ(0u, Ask("frobnicate").rfind("ERR", 0));
  close(pc);
}

TEST_F(SimProcessTest, LargeAnswerReachesASlowReader) {
  // More than the pty buffers: the simulator must queue, not drop or block.
  std::string big(10 * 20000, 'x');
  ASSERT_EQ("OK", Ask("set echo off"));
  std::string cmd = "set reply AT+BIG ";
  for (size_t i = 0; i < 20000; ++i) cmd += "78";
  ASSERT_EQ("OK", Ask(cmd));
  int pc = open(m_pty.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(pc, 0);
  termios t{};
  tcgetattr(pc, &t);
  cfmakeraw(&t);
  tcsetattr(pc, TCSANOW, &t);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(8, write(pc, "AT+BIG\r\n", 8));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ("OK 10", Ask("get count AT+BIG")) << "the loop keeps serving while output waits";
  std::string got;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got.size() < big.size() && std::chrono::steady_clock::now() < end) {
    char buf[4096];
    pollfd p{pc, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      ssize_t n = read(pc, buf, sizeof buf);
      if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
  }
  EXPECT_EQ(big, got);
  close(pc);
}

}  // namespace
}  // namespace sim
