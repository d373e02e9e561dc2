// VKSPort and VKSClose against the registered server, and every tool when
// the server cannot be had.
#include <objbase.h>
#include "ChildProcess.h"
#include "ServerFixture.h"
#include "UsageTexts.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;

using PortCloseTest = ToolServerTest;

// No timeout, an empty one (0: the server waits 1 ms) and a long one.
TEST_F(PortCloseTest, CloseEndsTheServer) {
  for (const std::vector<std::wstring>& args : {std::vector<std::wstring>{}, {L""}, {L"0"}, {L"2147483"}}) {
    ToolRun start = RunTool(L"VKSDir", {L"nomodule"});   // starts the server, which then waits idle
    ASSERT_EQ(kDirUsage, start.output);
    ASSERT_TRUE(ServerRuns());
    const DWORD before = GetTickCount();
    ToolRun run = RunTool(L"VKSClose", args);
    EXPECT_EQ("VKS port successfully closed\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
    // Well before the idle time would have ended it.
    EXPECT_TRUE(WaitForNoServer(3000));
    EXPECT_LT(GetTickCount() - before, 4500u);
  }
}

TEST_F(PortCloseTest, CloseFailsWhileAnotherClientHoldsTheServer) {
  ASSERT_EQ(S_OK, CoInitialize(nullptr));
  IVKSVolume* other = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_VKSModule, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSVolume,
                                   reinterpret_cast<void**>(&other)));
  ToolRun run = RunTool(L"VKSClose", {L"0"});
  // The server has no text for E_ABORT, so the tool's own line names the code.
  EXPECT_EQ("Unknown error closing VKS port: 0x80004004\n", run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_TRUE(ServerRuns());
  other->Release();
  CoUninitialize();
  run = RunTool(L"VKSClose", {L"5"});
  EXPECT_EQ("VKS port successfully closed\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
}

// A port no simulator claims (they take the first free of 10 to 250).
const wchar_t kExtraPort[] = L"COM251";

class PortTest : public ToolServerTest {
protected:
  vkstest::CSerialCommEntry m_extraPort{kExtraPort};
};

TEST_F(PortTest, StoresAnExistingPortUpperCased) {
  ASSERT_TRUE(m_extraPort.Ok());
  ToolRun run = RunTool(L"VKSPort", {L"com251"});
  EXPECT_EQ("COM251 successfully set\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(L"COM251", ReadSuitePort());
  // The running server took it first: the same name again is refused as set.
  run = RunTool(L"VKSPort", {L"COM251"});
  EXPECT_EQ("Error: Given port COM251 is already set\n", run.output);
  EXPECT_EQ(1u, run.exitCode);
}

// Only whole entries of the port list count: a name inside "COM251" would
// otherwise be stored for good.
TEST_F(PortTest, RefusesNamesThatAreOnlyPartOfAListedPort) {
  ASSERT_TRUE(m_extraPort.Ok());
  for (const char* name : {"COM25", "OM251", "COM2", "M251;", "COM252"}) {
    ToolRun run = RunTool(L"VKSPort", {std::wstring(name, name + strlen(name))});
    EXPECT_EQ(std::string("Error: Given port ") + name + " does not exist\n", run.output);
    EXPECT_EQ(1u, run.exitCode) << name;
  }
  EXPECT_EQ(m_port, ReadSuitePort());
}

TEST_F(PortTest, RefusesTheConfiguredPort) {
  std::wstring lower = m_port;
  CharLowerW(&lower[0]);
  ToolRun run = RunTool(L"VKSPort", {lower});
  EXPECT_EQ("Error: Given port " + Narrow(m_port) + " is already set\n", run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ(m_port, ReadSuitePort());
}

// Without the server's registration no tool gets its object; VKSDir asks
// for it before it looks at its argument.
struct NoServerCase {
  const wchar_t* tool;
  std::vector<std::wstring> args;
};
void PrintTo(const NoServerCase& c, std::ostream* os) { *os << std::string(c.tool, c.tool + wcslen(c.tool)); }

class NoServerTest : public ToolServerTest, public ::testing::WithParamInterface<NoServerCase> {
protected:
  void SetUp() override {
    ToolServerTest::SetUp();
    ASSERT_EQ(0, RunServerExe(L"/UnregServer"));
  }
  void TearDown() override {
    EXPECT_EQ(0, RunServerExe(L"/RegServer"));
    ToolServerTest::TearDown();
  }
};

TEST_P(NoServerTest, ReportsThatTheSuiteCannotBeOpened) {
  ToolRun run = RunTool(GetParam().tool, GetParam().args);
  EXPECT_EQ("Error opening Tarvaq Suite\n", run.output);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ(m_port, ReadSuitePort());
}

const NoServerCase kNoServerCases[] = {
    {L"VKSDir", {L"mod:"}},      {L"VKSDir", {L"nomodule"}},   {L"VKSDel", {L"mod:a:\\x.txt"}},
    {L"VKSMkdir", {L"mod:a:\\d"}}, {L"VKSRmdir", {L"mod:a:\\d"}}, {L"VKSFormat", {L"mod:a:"}},
    {L"VKSPort", {L"COM9990"}},  {L"VKSClose", {}},
};
INSTANTIATE_TEST_SUITE_P(Tools, NoServerTest, ::testing::ValuesIn(kNoServerCases));

}  // namespace
