// A module folder is a folder by its attribute: a generic OBEX server gives
// folders a size of their own, and files copied there keep their names.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "FakeVolume.h"
#include "TestEntries.h"
#include "VKSCopy.h"

namespace {

// Lists one folder with a size; records where files are put.
class CSizedFolderVolume final : public CFakeVolume {
public:
  CSizedFolderVolume() { entries = CTestEntries().AddEntry(L"d1", 4096, FILE_ATTRIBUTE_DIRECTORY).Build(); }
  std::vector<std::wstring> puts;
  STDMETHODIMP Delete(BSTR) override { return S_OK; }
  STDMETHODIMP PutFile(BSTR path, IUnknown*, LONG) override {
    puts.push_back(path ? path : L"");
    return S_OK;
  }
};

TEST(ModuleFolderTest, FolderWithASizeTakesTheFileUnderItsName) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"vks-f-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  CloseHandle(handle);
  CoInitialize(nullptr);
  {
    CSizedFolderVolume volume;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(CopyFilesPCToModule(&volume, file, L"\\A:\\d1"));
    testing::internal::GetCapturedStdout();
    const std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
    EXPECT_EQ(std::vector<std::wstring>{L"\\A:\\d1\\" + name}, volume.puts);
  }
  CoUninitialize();
  DeleteFileW(file.c_str());
}

}  // namespace
