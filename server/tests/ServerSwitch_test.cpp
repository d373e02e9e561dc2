// The server's command-line switches.
#include "ServerProcess.h"
#include <gtest/gtest.h>

namespace {

TEST(ParseServerSwitch, TheSwitchMustEndTheLine) {
  const struct {
    const wchar_t* line;
    ServerSwitch expected;
  } kCases[] = {
      {L"VKSServer.exe /RegServer", ServerSwitch::RegServer},
      {L"VKSServer.exe -regserver", ServerSwitch::RegServer},
      {L"\"C:\\Program Files\\VKSServer.exe\" /UNREGSERVER", ServerSwitch::UnregServer},
      {L"VKSServer.exe -UnregServer", ServerSwitch::UnregServer},
      {L"VKSServer.exe /RegServer extra", ServerSwitch::None},
      {L"VKSServer.exe /RegServer ", ServerSwitch::None},
      {L"VKSServer.exe -Embedding", ServerSwitch::None},
      {L"VKSServer.exe", ServerSwitch::None},
      {L"C:/tools/VKSServer.exe -RegServer", ServerSwitch::RegServer},
      {L"", ServerSwitch::None},
      {nullptr, ServerSwitch::None},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.expected, ParseServerSwitch(c.line)) << (c.line ? c.line : L"(null)");
}

}  // namespace
