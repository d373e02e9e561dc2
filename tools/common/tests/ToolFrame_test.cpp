// The frame's COM start, server object and usage text, without a server.
#include <gtest/gtest.h>
#include "ConsoleText.h"
#include "StdoutCapture.h"
#include "ToolFrame.h"

namespace {

// No class is registered under this id.
const CLSID kUnregisteredClass = {0x6d1c0a7e, 0x2b8f, 0x4c3d, {0x9e, 0x51, 0x0f, 0x7a, 0x22, 0x4b, 0x90, 0x13}};

TEST(ToolFrame, ServerObjectFailureEndsWithOne) {
  bool ran = false;
  CStdoutCapture capture;
  int exitCode = RunWithServer<IVKSVolume>(kUnregisteredClass, [&](IVKSVolume*) { return ran = true; });
  EXPECT_EQ(1, exitCode);
  EXPECT_FALSE(ran);
  EXPECT_EQ("Error opening Tarvaq Suite\n", capture.Text());
}

TEST(ToolFrame, ComStartFailureEndsWithOne) {
  // A thread already in the multithreaded apartment cannot enter a single-threaded one.
  ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  bool ran = false;
  int exitCode;
  std::string printed;
  {
    CStdoutCapture capture;
    exitCode = RunWithGeneral([&](IVKSGeneral*) { return ran = true; });
    printed = capture.Text();
  }
  CoUninitialize();
  EXPECT_EQ(1, exitCode);
  EXPECT_FALSE(ran);
  EXPECT_EQ("Error initializing COM interface\n", printed);
}

TEST(ToolFrame, UsageCarriesTheVersion) {
  CStdoutCapture capture;
  PrintUsage("\nDo something.\n\nVersion of tool: %s\n");
  EXPECT_EQ("\nDo something.\n\nVersion of tool: 2.12.0.0\n", capture.Text());
}

}  // namespace
