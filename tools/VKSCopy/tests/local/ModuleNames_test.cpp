// Names in a module listing never place a PC file or folder outside the
// destination: the module is not trusted with the PC's paths.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CopyTransfer.h"
#include "FakeVolume.h"
#include "TestEntries.h"
#include "VKSCopy.h"
#include "VKSXCopy.h"

namespace {

// Every listing is the one set; every file can be read, so a name that got
// through would be written wherever it points.
class CFileVolume final : public CFakeVolume {
public:
  void SetListing(const CTestEntries& listing) {
    VariantClear(&entries);
    entries = listing.Build();
  }
  STDMETHODIMP GetFile(BSTR, IUnknown** content) override {
    *content = nullptr;
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr)) return hr;
    stream->Write("bytes", 5, nullptr);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    *content = stream;
    return S_OK;
  }
};

// A scratch folder "dest" inside a fresh folder, so that anything written
// beside the destination shows.
class ModuleNamesTest : public ErrorInfoTest {
protected:
  void SetUp() override {
    ErrorInfoTest::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_root = std::wstring(temp) + L"vks-names-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_root.c_str(), nullptr);
    CreateDirectoryW((m_root + L"\\dest").c_str(), nullptr);
  }
  void TearDown() override {
    RemoveDirectoryW((m_root + L"\\dest").c_str());
    EXPECT_TRUE(RemoveDirectoryW(m_root.c_str())) << "something was written beside the destination";
    ErrorInfoTest::TearDown();
  }
  std::wstring m_root;
};

const wchar_t* const kHostileNames[] = {L"..\\evil.txt", L"..", L".", L"C:evil.txt", L"sub/evil.txt",
                                        L"\\evil.txt", L"x*.txt", L""};

TEST_F(ModuleNamesTest, FileNamesWithPathsAreRefused) {
  CFileVolume volume;
  CTestEntries entries;
  for (const wchar_t* name : kHostileNames) entries.AddEntry(name, 5, FILE_ATTRIBUTE_ARCHIVE);
  volume.SetListing(entries);

  testing::internal::CaptureStdout();
  EXPECT_FALSE(CopyFilesModuleToPC(&volume, L"\\A:\\m\\*", m_root + L"\\dest"));
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, output.find("Error copying ..\\evil.txt\n")) << output;
  EXPECT_NE(std::string::npos, output.find("\t0 files copied\n")) << output;

  testing::internal::CaptureStdout();
  int counter = 0;
  EXPECT_FALSE(CopyTreeModuleToPC(&volume, L"\\A:\\m\\*", m_root + L"\\dest\\", &counter));
  output = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, output.find("Error copying MOD:\\A:\\m\\..\\evil.txt\n")) << output;
  EXPECT_EQ(0, counter);
}

TEST_F(ModuleNamesTest, FolderNamesWithPathsAreRefused) {
  CFileVolume volume;
  CTestEntries entries;
  for (const wchar_t* name : {L"..\\up", L"C:up", L"a/b"}) entries.AddEntry(name, 0, FILE_ATTRIBUTE_DIRECTORY);
  volume.SetListing(entries);
  testing::internal::CaptureStdout();
  int counter = 0;
  EXPECT_FALSE(CopyTreeModuleToPC(&volume, L"\\A:\\m\\*", m_root + L"\\dest\\", &counter));
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, output.find("Error copying MOD:\\A:\\m\\..\\up\n")) << output;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((m_root + L"\\up").c_str()));
}

TEST(DeviceNames, TheBaseBeforeTheFirstDotDecides) {
  const struct {
    const wchar_t* name;
    bool device;
  } cases[] = {
      {L"nul.txt", true},   {L"AUX.txt", true},  {L"con", true},        {L"Prn.tar.gz", true},
      {L"nul.", true},      {L"nul...", true},   {L"aux  .txt", true},  {L"CoN ", true},
      {L"com1", true},      {L"COM9.log", true}, {L"lpt1.txt", true},   {L"LPT9", true},
      {L"com0", false},     {L"com10", false},   {L"lpt", false},       {L"null", false},
      {L"connect.txt", false}, {L"a.nul", false}, {L" nul", false},     {L"", false},
      {L"auxiliary", false}, {L"com1x.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.device, IsDeviceName(c.name)) << testing::PrintToString(std::wstring(c.name));
    // Anywhere in a path, and never as a name to place in a folder.
    EXPECT_EQ(c.device, HasDeviceName(std::wstring(L"C:\\dest\\") + c.name + L"\\x.txt"));
    if (c.device) {
      EXPECT_FALSE(IsPlainEntryName(c.name));
    }
  }
  EXPECT_FALSE(HasDeviceName(L"C:\\dest\\x.txt"));
  EXPECT_TRUE(HasDeviceName(L"\\\\.\\COM1"));
}

// Written to a device the bytes are gone and no file exists: such names are
// refused like the other names, counted as not copied, and the copy fails.
TEST_F(ModuleNamesTest, DeviceNamesAreNeverCopied) {
  CFileVolume volume;
  volume.SetListing(CTestEntries()
                        .AddEntry(L"nul.txt", 5, FILE_ATTRIBUTE_ARCHIVE)
                        .AddEntry(L"AUX.txt", 5, FILE_ATTRIBUTE_ARCHIVE)
                        .AddEntry(L"ok.txt", 5, FILE_ATTRIBUTE_ARCHIVE));
  const std::wstring dest = m_root + L"\\dest";
  testing::internal::CaptureStdout();
  EXPECT_FALSE(CopyFilesModuleToPC(&volume, L"\\A:\\m\\*", dest));
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ("Error copying nul.txt\nError copying AUX.txt\nok.txt\n\t1 files copied\n\n", output);
  EXPECT_TRUE(DeleteFileW((dest + L"\\ok.txt").c_str()));

  // A destination file that is a device.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(CopyFilesModuleToPC(&volume, L"\\A:\\m\\ok.txt", dest + L"\\Con.txt"));
  output = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, output.find("Error copying ok.txt\n")) << output;

  // VKSXCopy: files and folders on the way, and a destination on a device.
  volume.SetListing(CTestEntries().AddEntry(L"com1", 0, FILE_ATTRIBUTE_DIRECTORY).AddEntry(L"lpt2.log", 5, 0));
  testing::internal::CaptureStdout();
  int counter = 0;
  EXPECT_FALSE(CopyTreeModuleToPC(&volume, L"\\A:\\m\\*", dest + L"\\", &counter));
  output = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, output.find("Error copying MOD:\\A:\\m\\com1\n")) << output;
  EXPECT_NE(std::string::npos, output.find("Error copying MOD:\\A:\\m\\lpt2.log\n")) << output;
  EXPECT_EQ(0, counter);
  EXPECT_EQ(L"", PreparePCDestination(dest + L"\\nul\\sub"));
}

}  // namespace
