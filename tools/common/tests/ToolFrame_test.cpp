// The frame's COM start, server object, exit code and usage text, without a server.
#include <gtest/gtest.h>
#include "ConsoleText.h"
#include "FakeVolume.h"
#include "StdoutCapture.h"
#include "ToolFrame.h"

namespace {

// Not registered anywhere; the tests below register it in the process only.
const CLSID kTestClass = {0x6d1c0a7e, 0x2b8f, 0x4c3d, {0x9e, 0x51, 0x0f, 0x7a, 0x22, 0x4b, 0x90, 0x13}};

// Hands out the one fake volume, as the server's singleton factory does.
class CFakeVolumeFactory final : public IClassFactory {
public:
  explicit CFakeVolumeFactory(CFakeVolume* volume) : m_volume(volume) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    return m_volume->QueryInterface(riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
  CFakeVolume* m_volume;
};

// The class object is registered like a running local server's, so
// CoCreateInstance with CLSCTX_LOCAL_SERVER finds it in this process.
class ToolFrameTest : public ErrorInfoTest {
protected:
  void SetUp() override {
    ErrorInfoTest::SetUp();
    ASSERT_EQ(S_OK, CoRegisterClassObject(kTestClass, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                          &m_cookie));
  }
  void TearDown() override {
    CoRevokeClassObject(m_cookie);
    ErrorInfoTest::TearDown();
  }
  CFakeVolume volume;

private:
  CFakeVolumeFactory m_factory{&volume};
  DWORD m_cookie = 0;
};

TEST_F(ToolFrameTest, OperationResultBecomesTheExitCode) {
  IVKSVolume* seen = nullptr;
  EXPECT_EQ(0, RunWithServer<IVKSVolume>(kTestClass, [&](IVKSVolume* v) { return (seen = v) != nullptr; }));
  EXPECT_EQ(&volume, seen);
  EXPECT_EQ(1, RunWithServer<IVKSVolume>(kTestClass, [](IVKSVolume*) { return false; }));
  EXPECT_EQ(2, RunWithServer<IVKSVolume>(kTestClass, [](IVKSVolume*) { return kExitBadTimeout; }));
  // Every reference the frame took is given back.
  EXPECT_EQ(1, volume.references);
}

TEST_F(ToolFrameTest, ServerObjectFailureEndsWithOne) {
  const CLSID missing = {0x6d1c0a7f, 0x2b8f, 0x4c3d, {0x9e, 0x51, 0x0f, 0x7a, 0x22, 0x4b, 0x90, 0x13}};
  bool ran = false;
  CStdoutCapture capture;
  EXPECT_EQ(1, RunWithServer<IVKSVolume>(missing, [&](IVKSVolume*) { return ran = true; }));
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
