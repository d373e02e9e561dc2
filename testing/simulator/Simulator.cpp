// testing/simulator/Simulator.cpp - event loop of the simulator process.
#include "Simulator.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Modem.h"
#include "ObexService.h"
#include "Pty.h"

namespace sim {
namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

std::runtime_error SysError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

// Bytes for the PC. The OBEX service may send from threads of its own (stalls,
// pacing), so the queue is locked and a pipe wakes the loop.
class COutput {
public:
  COutput() {
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) throw SysError("pipe");
  }
  ~COutput() {
    close(m_wake[0]);
    close(m_wake[1]);
  }
  int WakeFd() const { return m_wake[0]; }
  void Push(const uint8_t* data, size_t length) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_queue.append(reinterpret_cast<const char*>(data), length);
    }
    char c = 1;
    (void)!write(m_wake[1], &c, 1);
  }
  void Drain() {
    char buf[64];
    while (read(m_wake[0], buf, sizeof buf) > 0) {
    }
  }
  // Writes what the pty takes now; true when bytes are left over.
  bool Flush(int fd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t done = 0;
    while (done < m_queue.size()) {
      ssize_t n = write(fd, m_queue.data() + done, m_queue.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    m_queue.erase(0, done);
    return !m_queue.empty();
  }

private:
  int m_wake[2] = {-1, -1};
  std::mutex m_mutex;
  std::string m_queue;
};

// Line-based control channel on the loopback interface only.
class CControlServer {
public:
  explicit CControlServer(int port) {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) throw SysError("socket");
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) throw SysError("bind");
    if (listen(m_listen, 8) != 0) throw SysError("listen");
    socklen_t len = sizeof addr;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
  }
  ~CControlServer() {
    for (auto& c : m_clients) close(c.fd);
    close(m_listen);
  }
  int Port() const { return m_port; }
  void AddPollFds(std::vector<pollfd>& fds) const {
    fds.push_back({m_listen, POLLIN, 0});
    for (const auto& c : m_clients) fds.push_back({c.fd, POLLIN, 0});
  }
  template <typename Handler>
  void Serve(const std::vector<pollfd>& fds, size_t first, Handler&& handle) {
    if (fds[first].revents & POLLIN) {
      int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) m_clients.push_back({fd, {}});
    }
    std::vector<Client> keep;
    for (size_t i = 0; i < m_clients.size(); ++i) {
      Client& c = m_clients[i];
      bool open = true;
      if (first + 1 + i < fds.size() && fds[first + 1 + i].revents) {
        char buf[4096];
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n <= 0) {
          open = false;
        } else {
          c.input.append(buf, static_cast<size_t>(n));
          size_t nl;
          while (open && (nl = c.input.find('\n')) != std::string::npos) {
            std::string line = c.input.substr(0, nl);
            c.input.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::string reply = handle(line) + "\n";
            if (send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL) != (ssize_t)reply.size())
              open = false;
          }
          if (c.input.size() > 65536) open = false;
        }
      }
      if (open) keep.push_back(std::move(c));
      else close(c.fd);
    }
    m_clients.swap(keep);
  }

private:
  struct Client {
    int fd;
    std::string input;
  };
  int m_listen = -1;
  int m_port = 0;
  std::vector<Client> m_clients;
};

void WriteInfo(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + tmp);
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) throw SysError("rename " + path);
}

}  // namespace

CComPortClaim::CComPortClaim(const std::string& lockDir, int first, int last) {
  for (int n = first; n <= last; ++n) {
    std::string path = lockDir + "/com" + std::to_string(n) + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw SysError("open " + path);
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      m_number = n;
      m_lockFd = fd;
      return;
    }
    close(fd);
  }
  throw std::runtime_error("no free COM number in " + lockDir);
}

CComPortClaim::~CComPortClaim() {
  if (!m_link.empty()) {
    char buf[PATH_MAX];
    ssize_t n = readlink(m_link.c_str(), buf, sizeof buf - 1);
    // Only our own link: after a crash another run may hold the number anew.
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == m_target) unlink(m_link.c_str());
  }
  if (m_lockFd >= 0) close(m_lockFd);
}

void CComPortClaim::Link(const std::string& dosDevices, const std::string& target) {
  std::string link = dosDevices + "/com" + std::to_string(m_number);
  std::string tmp = link + ".new." + std::to_string(getpid());
  unlink(tmp.c_str());
  if (symlink(target.c_str(), tmp.c_str()) != 0) throw SysError("symlink " + tmp);
  if (rename(tmp.c_str(), link.c_str()) != 0) throw SysError("rename " + link);
  m_link = link;
  m_target = target;
}

int RunSimulator(const SimOptions& options) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  struct sigaction sa{};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // A session of our own whose controlling terminal is the pty: otherwise the
  // wineserver, a session leader without one, takes the pty as its
  // controlling terminal when it opens the port, and what the tty driver
  // signals to that terminal's session reaches the wineserver.
  setsid();
  CPty pty;
  ioctl(pty.Slave(), TIOCSCTTY, 0);
  CModemLines lines(pty.SlaveDevice());
  COutput output;
  SendFn send = [&output](const uint8_t* data, size_t length) { output.Push(data, length); };
  std::unique_ptr<IObexSession> session = CreateObexSession(options.dataDir, send);
  CModem modem(session.get(), send, [&pty] { return pty.LineBaud(); });
  CControlServer control(options.controlPort);
  LineHooks hooks;
  hooks.dropLine = [&modem] { modem.DropLine(Clock::now()); };
  hooks.reboot = [&modem](int downMs) { modem.Reboot(downMs, Clock::now()); };
  hooks.baud = [&pty] { return pty.LineBaud(); };
  session->SetLineHooks(std::move(hooks));

  std::unique_ptr<CComPortClaim> claim;
  if (!options.dosDevices.empty()) {
    claim = std::make_unique<CComPortClaim>(
        options.lockDir.empty() ? options.dosDevices : options.lockDir, options.comFirst,
        options.comLast);
    claim->Link(options.dosDevices, pty.SlavePath());
  }

  TimePoint now = Clock::now();
  for (const auto& line : options.startup) {
    modem.AddStartupCommand(line, now);
  }
  lines.SetModuleLines(modem.Cts(), modem.Dsr());

  if (!options.infoFile.empty()) {
    std::string info = "pty " + pty.SlavePath() + "\ncontrol " + std::to_string(control.Port()) +
                       "\n";
    if (claim) info += "com " + std::to_string(claim->Number()) + "\n";
    WriteInfo(options.infoFile, info);
  }

  bool quit = false;
  bool dtr = lines.Dtr();
  uint32_t dtrChanges = lines.DtrChanges();
  modem.OnDtr(dtr, now);
  bool pendingOut = false;
  auto handle = [&](const std::string& line) -> std::string {
    if (line == "quit") {
      quit = true;
      return "OK";
    }
    if (line == "get pty") return "OK " + pty.SlavePath();
    if (line == "get com") return claim ? "OK COM" + std::to_string(claim->Number()) : "ERR no port";
    return modem.Control(line, Clock::now());
  };

  while (!g_stop && !quit) {
    std::vector<pollfd> fds;
    fds.push_back({output.WakeFd(), POLLIN, 0});
    fds.push_back({pty.Master(), static_cast<short>(POLLIN | (pendingOut ? POLLOUT : 0)), 0});
    control.AddPollFds(fds);
    // DTR has no descriptor to wait on, so the loop looks at it every few ms.
    // To the microsecond: paced bytes are due well inside a millisecond.
    long long timeoutUs = 3000;
    for (auto next : {modem.NextDeadline(), session->NextDeadline()}) {
      if (!next) continue;
      auto us = std::chrono::duration_cast<std::chrono::microseconds>(*next - Clock::now()).count();
      timeoutUs = std::max<long long>(0, std::min<long long>(timeoutUs, us));
    }
    timespec timeout{0, static_cast<long>(timeoutUs * 1000)};
    int r = ppoll(fds.data(), fds.size(), &timeout, nullptr);
    if (r < 0 && errno != EINTR) throw SysError("poll");
    now = Clock::now();

    uint32_t changes = lines.DtrChanges();
    bool level = lines.Dtr();
    if (changes != dtrChanges) {
      // A pulse shorter than one turn of the loop still counts as a drop.
      if (level == dtr) modem.OnDtr(!level, now);
      modem.OnDtr(level, now);
      dtr = level;
      dtrChanges = changes;
    }
    modem.OnTimer(now);
    session->OnTimer(now);

    if (r > 0) {
      if (fds[0].revents) output.Drain();
      if (fds[1].revents & POLLIN) {
        uint8_t buf[65536];
        ssize_t n = read(pty.Master(), buf, sizeof buf);
        if (n > 0) modem.OnLine(buf, static_cast<size_t>(n), now, pty.LineBaud());
      }
      control.Serve(fds, 2, handle);
    }
    lines.SetModuleLines(modem.Cts(), modem.Dsr());
    pendingOut = output.Flush(pty.Master());
  }
  return 0;
}

}  // namespace sim
