// The port list, read from a registry this test writes. HKEY_LOCAL_MACHINE
// is mapped to a private key of this process, so the machine's own port
// list (and tests running beside this one) stay untouched.
#include <gtest/gtest.h>

#include <string>

#include "CommPorts.h"

namespace {

class CommPorts : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t path[96];
    wsprintfW(path, L"Software\\VKSTests\\CommPorts_%lu", GetCurrentProcessId());
    rootPath = path;
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, rootPath.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &root, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_LOCAL_MACHINE, root));
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(root);
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath.c_str());
  }

  void SetValue(const wchar_t* key, const wchar_t* name, const std::wstring& data,
                DWORD type = REG_SZ) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(k, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(k);
  }
  void SerialComm(const wchar_t* name, const std::wstring& data, DWORD type = REG_SZ) {
    SetValue(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", name, data, type);
  }
  // An adapter of the hardware description with one serial controller port.
  void Adapter(const std::wstring& adapter, const wchar_t* bus, const wchar_t* controller,
               const wchar_t* port) {
    std::wstring base = L"HARDWARE\\DESCRIPTION\\System\\MultifunctionAdapter\\" + adapter;
    SetValue(base.c_str(), L"Identifier", bus);
    if (controller)
      SetValue((base + L"\\" + controller + L"\\0").c_str(), L"Identifier", port);
  }

  std::wstring List(LONG flags, DWORD capacity = 1024, int* count = nullptr) {
    wchar_t buffer[1024];
    wmemset(buffer, L'#', 1024);
    int n = ListCommPorts(buffer, capacity, flags);
    if (count) *count = n;
    return n < 0 && capacity == 0 ? L"" : std::wstring(buffer);
  }

  std::wstring rootPath;
  HKEY root = nullptr;
};

TEST_F(CommPorts, PhysicalAndVirtualPortsBySerialComm) {
  SerialComm(L"\\Device\\Serial0", L"COM1");
  SerialComm(L"IrComm0", L"COM4");
  struct {
    LONG flags;
    const wchar_t* text;
    int count;
  } cases[] = {{kPhysicalPorts, L"COM1", 1},
               {kVirtualPorts, L"COM4", 1},
               {kAllPorts, L"COM1;COM4", 2},
               // IrDA bits only matter together with a port kind.
               {kPhysicalPorts | kIrdaSocket | kIrdaCommPort, L"COM1", 1}};
  for (const auto& c : cases) {
    int count = 0;
    EXPECT_EQ(c.text, List(c.flags, 1024, &count)) << c.flags;
    EXPECT_EQ(c.count, count) << c.flags;
  }
}

TEST_F(CommPorts, OnlyPlainComTextsCount) {
  SerialComm(L"\\Device\\Serial9", L"COM300");          // above 256
  SerialComm(L"\\Device\\Multi", L"COM5", REG_MULTI_SZ);  // not a plain text
  SerialComm(L"\\Device\\Bad", L"COMx");
  SerialComm(L"\\Device\\Short", L"CO");
  SerialComm(L"\\Device\\Lower", L"com7");
  SerialComm(L"\\Device\\Top", L"COM256");
  SerialComm(L"\\Device\\Ten", L"COM10");
  SerialComm(L"\\Device\\Two", L"COM2");
  int count = 0;
  EXPECT_EQ(L"COM2;COM7;COM10;COM256", List(kAllPorts, 1024, &count));
  EXPECT_EQ(4, count);
}

TEST_F(CommPorts, ListEndsWhereTheNextPortDoesNotFit) {
  SerialComm(L"\\Device\\Serial0", L"COM1");
  SerialComm(L"\\Device\\Serial1", L"COM3");
  int count = 0;
  EXPECT_EQ(L"COM1", List(kPhysicalPorts, 9, &count));  // ";COM3" needs 5 of the 5 left
  EXPECT_EQ(1, count);
  EXPECT_EQ(L"COM1;COM3", List(kPhysicalPorts, 10, &count));
  EXPECT_EQ(2, count);
  EXPECT_EQ(L"", List(kPhysicalPorts, 4, &count));
  EXPECT_EQ(0, count);
  wchar_t buffer[4];
  EXPECT_EQ(-1, ListCommPorts(buffer, 0, kPhysicalPorts));
}

TEST_F(CommPorts, FlagsWithoutAPortKindAreRefused) {
  SerialComm(L"\\Device\\Serial0", L"COM1");
  for (LONG flags : {0L, 4L, 8L, 12L}) {
    SetLastError(1234);
    int count = 0;
    EXPECT_EQ(L"", List(flags, 1024, &count)) << flags;
    EXPECT_EQ(-1, count) << flags;
    EXPECT_EQ(0u, GetLastError()) << flags;
  }
  EXPECT_EQ(-1, ListCommPorts(nullptr, 10, kAllPorts));
}

TEST_F(CommPorts, NoKeysGiveAnEmptyList) {
  int count = -2;
  EXPECT_EQ(L"", List(kAllPorts, 1024, &count));
  EXPECT_EQ(0, count);
}

TEST_F(CommPorts, HardwareDescriptionAddsVirtualPorts) {
  SerialComm(L"\\Device\\Serial0", L"COM1");
  Adapter(L"0", L"ISA", L"SerialController", L"COM1");  // known to SERIALCOMM already
  Adapter(L"1", L"EISA", L"SerialController", L"COM5");
  Adapter(L"2", L"ISA", L"USBController", L"COM6");
  Adapter(L"3", L"PCI", L"SerialController", L"COM7");  // neither bus
  Adapter(L"4", L"ISA ", L"SerialController", L"COM8"); // not exactly "ISA"
  EXPECT_EQ(L"COM1", List(kPhysicalPorts));
  EXPECT_EQ(L"COM5;COM6", List(kVirtualPorts));
  EXPECT_EQ(L"COM1;COM5;COM6", List(kAllPorts));
}

TEST_F(CommPorts, LongAdapterNameEndsTheWalk) {
  Adapter(L"0", L"ISA", L"SerialController", L"COM5");
  Adapter(L"1234567890", L"ISA", L"SerialController", L"COM6");  // no room for its name
  Adapter(L"2", L"ISA", L"SerialController", L"COM7");
  EXPECT_EQ(L"COM5", List(kVirtualPorts));
}

}  // namespace
