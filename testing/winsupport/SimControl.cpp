// testing/winsupport/SimControl.cpp - Winsock client of the simulator's control channel.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "SimControl.h"

#include <cstdlib>
#include <vector>

namespace vkstest {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::wstring SerialCommValueName(const std::wstring& port) { return L"\\Device\\VksSim" + port; }

}  // namespace

CSimControl::CSimControl() : CSimControl(Env("VKS_SIM_CONTROL")) {}

CSimControl::CSimControl(const std::string& endpoint)
    : m_endpoint(endpoint), m_socket(INVALID_SOCKET) {}

CSimControl::~CSimControl() { Close(); }

void CSimControl::Close() {
  if (m_socket != INVALID_SOCKET) closesocket(static_cast<SOCKET>(m_socket));
  m_socket = INVALID_SOCKET;
  m_pending.clear();
}

bool CSimControl::Connect(std::string* reason) {
  if (m_socket != INVALID_SOCKET) return true;
  size_t colon = m_endpoint.rfind(':');
  if (m_endpoint.empty() || colon == std::string::npos) {
    if (reason) *reason = "ERR no simulator (VKS_SIM_CONTROL not set)";
    return false;
  }
  if (!StartWinsock()) {
    if (reason) *reason = "ERR WSAStartup failed";
    return false;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(std::atoi(m_endpoint.c_str() + colon + 1)));
  if (inet_pton(AF_INET, m_endpoint.substr(0, colon).c_str(), &addr.sin_addr) != 1) {
    if (reason) *reason = "ERR bad endpoint " + m_endpoint;
    return false;
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    if (reason) *reason = "ERR socket failed";
    return false;
  }
  DWORD timeout = 10000;  // a simulator that stops answering must not hang a test
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    closesocket(s);
    if (reason) *reason = "ERR cannot connect to " + m_endpoint;
    return false;
  }
  m_socket = s;
  return true;
}

bool CSimControl::Command(const std::string& line, std::string* reply) {
  std::string local;
  std::string& out = reply ? *reply : local;
  out.clear();
  if (line.find_first_of("\r\n") != std::string::npos) {
    out = "ERR one line per command";  // a second line would shift every later reply
    return false;
  }
  if (!Connect(&out)) return false;
  std::string msg = line + "\n";
  SOCKET s = static_cast<SOCKET>(m_socket);
  if (send(s, msg.data(), static_cast<int>(msg.size()), 0) != static_cast<int>(msg.size())) {
    Close();
    out = "ERR send failed";
    return false;
  }
  size_t nl;
  while ((nl = m_pending.find('\n')) == std::string::npos) {
    char buf[4096];
    int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) {
      Close();
      out = "ERR no reply";
      return false;
    }
    m_pending.append(buf, static_cast<size_t>(n));
  }
  out = m_pending.substr(0, nl);
  m_pending.erase(0, nl + 1);
  return out.compare(0, 2, "OK") == 0;
}

std::string CSimControl::Get(const std::string& what) {
  std::string reply;
  if (!Command("get " + what, &reply)) return {};
  return reply.size() > 3 ? reply.substr(3) : std::string();
}

bool CSimControl::WaitFor(const std::string& what, const std::string& value, unsigned timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (Get(what) == value) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
}

std::string CSimControl::TestPort() { return Env("VKS_TEST_PORT"); }
std::wstring CSimControl::TestPortW() { return Widen(TestPort()); }
std::wstring CSimControl::DataDirW() { return Widen(Env("VKS_SIM_DATA_WIN")); }
std::string CSimControl::HostDataDir() { return Env("VKS_SIM_DATA"); }

bool RegisterSerialCommPort(const std::wstring& port) {
  HKEY key = nullptr;
  // Wine keeps HARDWARE volatile; a key below a volatile one must be volatile too.
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  std::wstring name = SerialCommValueName(port);
  LONG r = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                          static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool UnregisterSerialCommPort(const std::wstring& port) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return false;
  LONG r = RegDeleteValueW(key, SerialCommValueName(port).c_str());
  RegCloseKey(key);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

}  // namespace vkstest
