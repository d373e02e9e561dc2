// Deletes and PC-file uploads against the real server and the module simulator.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ComBase.h"
#include "DeleteOperation.h"
#include "ItemIDList.h"
#include "ModuleCommands.h"
#include "RPLFileStream.h"
#include "RPLProgressStream.h"
#include "ResultCodes.h"
#include "Seams.h"
#include "ModuleSimTest.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "TransfersIds.h"
#include "../XferTestUi.h"

namespace {

using namespace vkstest;

class TransfersSim : public CModuleSimTest {
protected:
  // The record the module lists for path, as the view would hand it over.
  CItemIDList* Selection(const wchar_t* path) {
    CItemIDList* found = nullptr;
    EXPECT_EQ(S_OK, FindEntryByName(path, volume.Get(), &found));
    EXPECT_NE(nullptr, found) << path;
    auto* items = new CItemIDList[1];
    if (found) items[0] = std::move(*found);
    delete found;
    return items;
  }
  void SeedTree() {
    MakeHostDir(L"A\\t");
    MakeHostDir(L"A\\t\\s");
    ASSERT_TRUE(WriteHostFile(L"A\\t\\a.txt", std::vector<BYTE>(300, 'a')));
    ASSERT_TRUE(WriteHostFile(L"A\\t\\s\\b.txt", std::vector<BYTE>(5000, 'b')));
    ASSERT_TRUE(WriteHostFile(L"A\\t\\s\\r.txt", std::vector<BYTE>(20, 'r')));
  }
  std::wstring PcFile(const std::vector<BYTE>& data) {
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"vks", 0, path);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
    m_pcFile = path;
    return m_pcFile;
  }
  void TearDown() override {
    if (!m_pcFile.empty()) DeleteFileW(m_pcFile.c_str());
    SimTestOf<ServerClientTest>::TearDown();
  }
  // A new progress stream, and an RPLFileStream of path for its source.
  ComPtr<IStream> Upload(const std::wstring& path, IStream** file) {
    RPLFileStream* source = nullptr;
    EXPECT_EQ(S_OK, RPLFileStream::Create(&source));
    EXPECT_EQ(S_OK, source->Open(path.c_str()));
    *file = source;
    RPLProgressStream* progress = nullptr;
    EXPECT_EQ(S_OK, RPLProgressStream::Create(&progress));
    ComPtr<IStream> stream;
    stream.Attach(progress);
    return stream;
  }

  CXferTestUi ui;

private:
  std::wstring m_pcFile;
};

std::vector<BYTE> Pattern(size_t size) {
  std::vector<BYTE> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>((i * 7 + i / 251) & 0xFF);
  return data;
}

}  // namespace

TEST_F(TransfersSim, ATreeDeletedWithoutConfirmationIsGone) {
  SeedTree();
  ASSERT_EQ(S_OK, volume->SetAttributes(Text(L"\\A:\\t\\s\\r.txt"), FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(S_OK, StartDeleteOperation(L"\\A:", Selection(L"\\A:\\t"), 1, 1, nullptr, nullptr));
  ASSERT_TRUE(WaitForDeleteOperations(60000));
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_FALSE(HostExists(L"A\\t"));
}

TEST_F(TransfersSim, NoForOneReadOnlyFileKeepsItAndItsFolders) {
  SeedTree();
  ASSERT_EQ(S_OK, volume->SetAttributes(Text(L"\\A:\\t\\s\\r.txt"), FILE_ATTRIBUTE_READONLY));
  // Yes to the folder, No to the read-only file, Ignore to both folders' failures.
  ui.answers = {IDYES, IDNO, IDIGNORE, IDIGNORE};
  ASSERT_EQ(S_OK, StartDeleteOperation(L"\\A:", Selection(L"\\A:\\t"), 1, 0, nullptr, nullptr));
  ASSERT_TRUE(WaitForDeleteOperations(60000));
  EXPECT_TRUE(HostExists(L"A\\t\\s\\r.txt"));
  EXPECT_TRUE(HostIsDir(L"A\\t\\s"));
  EXPECT_FALSE(HostExists(L"A\\t\\s\\b.txt"));
  EXPECT_FALSE(HostExists(L"A\\t\\a.txt"));
  ASSERT_EQ(4u, ui.shown.size());
  EXPECT_EQ(L"dialog 214", ui.shown[0].text);
  EXPECT_EQ(L"dialog 213", ui.shown[1].text);
  EXPECT_EQ(L"Error Deleting Folder", ui.shown[2].caption);
  EXPECT_EQ(0u, ui.shown[2].text.find(L"The folder 's' could not be deleted."));
  EXPECT_EQ(0u, ui.shown[3].text.find(L"The folder 't' could not be deleted."));
}

TEST_F(TransfersSim, APCFileArrivesThroughTheProgressStreamByteForByte) {
  const std::vector<BYTE> data = Pattern(10000);
  IStream* file = nullptr;
  DWORD cancel = 0;
  ComPtr<IStream> stream = Upload(PcFile(data), &file);
  ASSERT_EQ(S_OK, static_cast<RPLProgressStream*>(stream.Get())->Init(file, nullptr, 0, &cancel, TRUE));
  file->Release();
  ASSERT_EQ(S_OK, volume->PutFile(Text(L"\\A:\\up.bin"), stream.Get(), 0));
  std::vector<BYTE> arrived;
  ASSERT_TRUE(ReadHostFile(L"A\\up.bin", &arrived));
  EXPECT_TRUE(arrived == data) << arrived.size() << " bytes";
}

TEST_F(TransfersSim, ACancelAfterTheFirstChunkFailsThePutAndLeavesNoFile) {
  const std::vector<BYTE> data = Pattern(50000);
  IStream* file = nullptr;
  ComPtr<IStream> stream = Upload(PcFile(data), &file);
  // The count of the source's reads is the cancel flag: the first chunk raises it.
  volatile LONG reads = 0;
  IStream* counted = new CCountingStream(file, &reads);
  file->Release();
  ASSERT_EQ(S_OK, static_cast<RPLProgressStream*>(stream.Get())
                      ->Init(counted, nullptr, 0, reinterpret_cast<DWORD*>(const_cast<LONG*>(&reads)), TRUE));
  counted->Release();
  const HRESULT hr = volume->PutFile(Text(L"\\A:\\cut.bin"), stream.Get(), 0);
  // The server hands its clients a cancel as the system's "cancelled" code.
  EXPECT_TRUE(IsCancelled(hr)) << std::hex << hr;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANCELLED), hr) << std::hex << hr;
  EXPECT_EQ(1, reads);
  EXPECT_FALSE(HostExists(L"A\\cut.bin"));
}
