// VKSFileStream over PC files: what PutFile reads from it and what a failure leaves behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "VKSFileStream.h"

namespace {

class FileStreamTest : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"vksfilestream-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& f : files) DeleteFileW(f.c_str());
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring Write(const wchar_t* name, const std::string& bytes) {
    const std::wstring path = folder + L"\\" + name;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    files.push_back(path);
    return path;
  }
  std::wstring folder;
  std::vector<std::wstring> files;
};

TEST_F(FileStreamTest, ReadsTheFileToItsEndAndStatNamesIt) {
  const std::string content(10000, 'x');
  const std::wstring path = Write(L"app.jar", content);
  VKSFileStream* stream = nullptr;
  ASSERT_EQ(S_OK, VKSFileStream::Create(path.c_str(), &stream));
  STATSTG stat{};
  ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_DEFAULT));
  ASSERT_NE(nullptr, stat.pwcsName);
  EXPECT_STREQ(L"app.jar", stat.pwcsName);
  CoTaskMemFree(stat.pwcsName);
  EXPECT_EQ(static_cast<DWORD>(STGTY_STREAM), stat.type);
  EXPECT_EQ(content.size(), stat.cbSize.QuadPart);
  EXPECT_EQ(static_cast<DWORD>(STGM_SHARE_DENY_NONE), stat.grfMode);
  ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(nullptr, stat.pwcsName);

  std::string back;
  char block[4096];
  ULONG got = 0;
  do {
    ASSERT_EQ(S_OK, stream->Read(block, sizeof block, &got));
    back.append(block, got);
  } while (got);
  EXPECT_EQ(content, back);

  LARGE_INTEGER move;
  move.QuadPart = -100;
  ULARGE_INTEGER at{};
  EXPECT_EQ(S_OK, stream->Seek(move, STREAM_SEEK_END, &at));
  EXPECT_EQ(content.size() - 100, at.QuadPart);
  move.QuadPart = 0;
  EXPECT_EQ(E_INVALIDARG, stream->Seek(move, 3, &at));
  EXPECT_EQ(E_NOTIMPL, stream->Write(block, 1, nullptr));
  stream->Release();
}

TEST_F(FileStreamTest, EmptyFileHasSizeZeroAndReadsNothing) {
  const std::wstring path = Write(L"empty.txt", "");
  VKSFileStream* stream = nullptr;
  ASSERT_EQ(S_OK, VKSFileStream::Create(path.c_str(), &stream));
  STATSTG stat{};
  ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(0u, stat.cbSize.QuadPart);
  char block[16];
  ULONG got = 99;
  EXPECT_EQ(S_OK, stream->Read(block, sizeof block, &got));
  EXPECT_EQ(0u, got);
  stream->Release();
}

// A file another program is writing cannot be opened, and the system's text
// of the reason is left for the tool to print.
TEST_F(FileStreamTest, FileOpenForWritingElsewhereFailsWithTheSystemText) {
  const std::wstring path = Write(L"busy.txt", "busy");
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  VKSFileStream* stream = nullptr;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), VKSFileStream::Create(path.c_str(), &stream));
  EXPECT_EQ(nullptr, stream);
  CloseHandle(writer);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
  BSTR text = nullptr;
  info->GetDescription(&text);
  EXPECT_GT(SysStringLen(text), 0u);
  SysFreeString(text);
  info->Release();
}

TEST_F(FileStreamTest, MissingFileFails) {
  VKSFileStream* stream = nullptr;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            VKSFileStream::Create((folder + L"\\none.txt").c_str(), &stream));
  EXPECT_EQ(nullptr, stream);
}

}  // namespace
