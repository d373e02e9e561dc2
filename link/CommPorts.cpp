// link/CommPorts.cpp - the serial ports of this machine, from the registry.
#include "CommPorts.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>
#include <vector>


namespace {

constexpr int kMaxPort = 256;
const wchar_t kSerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
const wchar_t kAdapterRoot[] = L"HARDWARE\\DESCRIPTION\\System\\MultifunctionAdapter";
constexpr DWORD kSubkeyNameChars = 10;  // with the terminator
constexpr DWORD kIdentifierBytes = 100;

class CRegKey {
public:
  CRegKey() : key(nullptr) {}
  ~CRegKey() {
    if (key) RegCloseKey(key);
  }
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;
  bool Open(HKEY parent, const wchar_t* path) {
    return RegOpenKeyExW(parent, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
  }
  HKEY key;
};

struct PortTable {
  bool present[kMaxPort + 1] = {};
  bool ordinary[kMaxPort + 1] = {};
};

// "COMn" (any case) with n in 1..256, else 0.
int PortNumber(const wchar_t* text) {
  if (_wcsnicmp(text, L"COM", 3) != 0) return 0;
  wchar_t* end = nullptr;
  long n = wcstol(text + 3, &end, 10);
  return (end != text + 3 && n >= 1 && n <= kMaxPort) ? static_cast<int>(n) : 0;
}

bool ReadSerialComm(PortTable* table) {
  CRegKey serialComm;
  if (!serialComm.Open(HKEY_LOCAL_MACHINE, kSerialCommKey)) return true;
  DWORD maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(serialComm.key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return true;
  std::vector<wchar_t> name, data;
  try {
    name.resize(maxName + 1);
    data.resize(maxData / sizeof(wchar_t) + 2);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = maxName + 1, type = 0;
    DWORD dataBytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    std::fill(data.begin(), data.end(), L'\0');
    if (RegEnumValueW(serialComm.key, index, name.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataBytes) != ERROR_SUCCESS)
      break;
    if (type != REG_SZ || dataBytes <= 3) continue;
    int n = PortNumber(data.data());
    if (n == 0) continue;
    table->present[n] = true;
    if (_wcsnicmp(name.data(), L"IrComm", 6) != 0) table->ordinary[n] = true;
  }
  return true;
}

// The key's "Identifier" text (at most 100 bytes); empty when it has none.
struct Identifier {
  explicit Identifier(HKEY key) {
    DWORD bytes = kIdentifierBytes, type = 0;
    if (RegQueryValueExW(key, L"Identifier", nullptr, &type, reinterpret_cast<BYTE*>(text),
                         &bytes) != ERROR_SUCCESS || type != REG_SZ)
      text[0] = L'\0';
    text[kIdentifierBytes / sizeof(wchar_t)] = L'\0';
  }
  wchar_t text[kIdentifierBytes / sizeof(wchar_t) + 1] = {};
};

// Calls visit(name) for each subkey until the first failing enumeration.
template <typename Visit>
bool ForEachSubkey(HKEY key, Visit visit) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[kSubkeyNameChars];
    DWORD length = kSubkeyNameChars;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return true;
    if (!visit(name)) return false;
  }
}

void ReadControllers(HKEY adapter, const wchar_t* controller, PortTable* table) {
  CRegKey controllers;
  if (!controllers.Open(adapter, controller)) return;
  ForEachSubkey(controllers.key, [&](const wchar_t* child) {
    CRegKey port;
    if (port.Open(controllers.key, child)) {
      int n = PortNumber(Identifier(port.key).text);
      if (n) table->present[n] = true;
    }
    return true;
  });
}

bool ReadHardwareDescription(PortTable* table) {
  CRegKey root;
  if (!root.Open(HKEY_LOCAL_MACHINE, kAdapterRoot)) return true;
  for (const wchar_t* bus : {L"ISA", L"EISA"}) {
    bool ok = ForEachSubkey(root.key, [&](const wchar_t* name) {
      wchar_t path[sizeof(kAdapterRoot) / sizeof(wchar_t) + kSubkeyNameChars + 1];
      swprintf(path, sizeof(path) / sizeof(path[0]), L"%ls\\%ls", kAdapterRoot, name);
      CRegKey adapter;
      if (!adapter.Open(HKEY_LOCAL_MACHINE, path)) return false;
      if (wcscmp(Identifier(adapter.key).text, bus) == 0) {
        ReadControllers(adapter.key, L"SerialController", table);
        ReadControllers(adapter.key, L"USBController", table);
      }
      return true;
    });
    if (!ok) return false;
  }
  return true;
}

}  // namespace

int EnumerateCommPorts(wchar_t* buffer, DWORD capacity, LONG flags) {
  if (!buffer) return -1;
  PortTable table;
  if (!ReadSerialComm(&table) || !ReadHardwareDescription(&table)) return -1;
  if (capacity == 0) return -1;

  buffer[0] = L'\0';
  DWORD left = capacity, used = 0;
  int written = 0;
  for (int n = 1; n <= kMaxPort; ++n) {
    bool wanted = (table.ordinary[n] && (flags & kPhysicalPorts)) ||
                  (table.present[n] && !table.ordinary[n] && (flags & kVirtualPorts));
    if (!wanted) continue;
    wchar_t piece[32];
    int length = swprintf(piece, 32, written ? L";COM%i" : L"COM%i", n);
    if (length < 0 || static_cast<DWORD>(length) >= left) break;
    wmemcpy(buffer + used, piece, static_cast<size_t>(length) + 1);
    used += static_cast<DWORD>(length);
    left -= static_cast<DWORD>(length);
    ++written;
  }
  return written;
}

int ListCommPorts(wchar_t* buffer, DWORD capacity, LONG flags) {
  if (!buffer) return -1;
  if ((flags & ~(kIrdaSocket | kIrdaCommPort)) == 0) {
    if (capacity > 0) buffer[0] = L'\0';
    SetLastError(0);
    return -1;
  }
  return EnumerateCommPorts(buffer, capacity, flags);
}
