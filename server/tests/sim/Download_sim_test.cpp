// GetFile through the server while the module sends slowly: an ordinary
// request goes ahead of the running download, and a download nobody reads
// any more stops.
#include "SimFixtures.h"

#include <cstdlib>

namespace {

using namespace simtest;

constexpr size_t kLargeFile = 2 * 1024 * 1024;

class DownloadSim : public ServerSimTest {
protected:
  void SetUp() override {
    ServerSimTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    data = Pattern(kLargeFile, 9);
    ASSERT_TRUE(WriteHostFile(L"A\\large.bin", data));
    ASSERT_TRUE(WriteHostFile(L"A\\small.txt", Pattern(10)));
    // About 130 packets of 30 ms each: a few seconds for the whole file.
    ASSERT_TRUE(sim.Command("obex pace delay 30"));
  }
  void ReleaseAll() override { stream.Reset(); }

  void Open() {
    ComPtr<IUnknown> content;
    ASSERT_EQ(S_OK, volume->GetFile(Text(L"A:\\large.bin"), &content));
    ASSERT_EQ(S_OK, content.As(&stream));
  }
  std::vector<BYTE> ReadSome(ULONG count) {
    std::vector<BYTE> part(count);
    ULONG got = 0;
    EXPECT_EQ(S_OK, stream->Read(part.data(), count, &got));
    part.resize(got);
    return part;
  }
  // Entries of the module's log whose text contains word.
  int LogEntries(const std::string& word) {
    std::string reply;
    if (!sim.Command("obex log", &reply)) return -1;
    int count = 0;
    for (size_t at = reply.find(" | "); at != std::string::npos; at = reply.find(" | ", at + 3)) {
      const size_t end = reply.find(" | ", at + 3);
      if (reply.substr(at, end == std::string::npos ? std::string::npos : end - at).find(word) != std::string::npos)
        ++count;
    }
    return count;
  }

  std::vector<BYTE> data;
  ComPtr<IStream> stream;
};

TEST_F(DownloadSim, AListingDuringALargeDownloadIsAnsweredBeforeItEndsAndTheFileArrivesWhole) {
  Open();
  std::vector<BYTE> back = ReadSome(64 * 1024);
  ASSERT_EQ(64u * 1024, back.size());
  std::vector<std::wstring> names;
  ASSERT_EQ(S_OK, volume->BroadcastChangeNotification(Text(L"\\<INVALIDATE_CACHE_CHANGE")));
  ASSERT_EQ(S_OK, List(L"A:\\*", &names));
  const DWORD listed = GetTickCount();
  EXPECT_EQ((std::vector<std::wstring>{L"large.bin", L"small.txt"}), names);
  std::vector<BYTE> rest;
  ASSERT_EQ(S_OK, ReadAll(stream.Get(), &rest, 60000));
  const DWORD finished = GetTickCount();
  back.insert(back.end(), rest.begin(), rest.end());
  EXPECT_TRUE(back == data) << back.size() << " bytes";
  // Had the listing waited for the download, the rest would have been there at once.
  EXPECT_GT(finished - listed, 1000u);
  // The download was resumed where it paused, after the module's checksum of what had arrived.
  EXPECT_GE(LogEntries("ap9="), 1);
}

TEST_F(DownloadSim, ReleasingEveryStreamOfADownloadStopsItOnTheWorker) {
  Open();
  ComPtr<IStream> clone;
  ASSERT_EQ(S_OK, stream->Clone(&clone));
  EXPECT_EQ(32u * 1024, ReadSome(32 * 1024).size());
  stream.Reset();
  Sleep(300);
  const int whileCloneHolds = LogEntries("GET");
  clone.Reset();
  Sleep(1000);
  const int afterRelease = LogEntries("GET");
  Sleep(1000);
  EXPECT_EQ(afterRelease, LogEntries("GET")) << "the module is still being asked for the file";
  EXPECT_GT(afterRelease, whileCloneHolds - 1);
  EXPECT_LT(afterRelease, 100);  // far from the whole file
  // The connection goes on serving.
  std::vector<std::wstring> names;
  EXPECT_EQ(S_OK, List(L"A:\\*", &names));
  std::vector<BYTE> small;
  EXPECT_EQ(S_OK, Get(L"A:\\small.txt", &small));
  EXPECT_TRUE(small == Pattern(10));
}

// One client thread reads a stream while another lets go of it, as a transfer
// cancelled from another thread would: the stream's last stub then goes at the
// end of that read. The read still ends, and the server goes on handing out
// objects (Wine 8 would wait inside that read for the read itself, holding the
// lock every marshalling takes).
class CReleaseDuringRead {
public:
  HRESULT opened = E_PENDING;
  HRESULT read = E_PENDING;
  bool readEnded = false;
  std::vector<BYTE> data;

  // In an MTA of its own, where one proxy serves every thread.
  static DWORD WINAPI Run(void* self) {
    auto* run = static_cast<CReleaseDuringRead*>(self);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    {
      ComPtr<IVKSVolume> volume;
      ComPtr<IUnknown> content;
      run->opened = CoCreateInstance(CLSID_VKSModule, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSVolume,
                                     reinterpret_cast<void**>(&volume));
      if (SUCCEEDED(run->opened)) run->opened = volume->GetFile(Text(L"A:\\large.bin"), &content);
      if (SUCCEEDED(run->opened))
        run->opened = content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&run->m_stream));
    }
    if (SUCCEEDED(run->opened)) {
      HANDLE reader = CreateThread(nullptr, 0, Read, run, 0, nullptr);
      // The whole file takes seconds on the paced line: the read still waits.
      Sleep(500);
      run->m_stream->Release();
      run->readEnded = reader && WaitForSingleObject(reader, 60000) == WAIT_OBJECT_0;
      if (reader) CloseHandle(reader);
    }
    CoUninitialize();
    return 0;
  }

private:
  static DWORD WINAPI Read(void* self) {
    auto* run = static_cast<CReleaseDuringRead*>(self);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    run->data.resize(kLargeFile);
    ULONG got = 0;
    run->read = run->m_stream->Read(run->data.data(), static_cast<ULONG>(kLargeFile), &got);
    run->data.resize(got);
    CoUninitialize();
    return 0;
  }
  IStream* m_stream = nullptr;
};

TEST_F(DownloadSim, AStreamReleasedDuringItsReadLeavesTheServerServing) {
  CReleaseDuringRead run;
  HANDLE thread = CreateThread(nullptr, 0, CReleaseDuringRead::Run, &run, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 90000));
  CloseHandle(thread);
  ASSERT_EQ(S_OK, run.opened);
  ASSERT_TRUE(run.readEnded) << "the read never came back";
  EXPECT_EQ(S_OK, run.read);
  EXPECT_TRUE(run.data == data) << run.data.size() << " bytes";
  // A new stream is marshalled to this client as to any other.
  std::vector<BYTE> small;
  EXPECT_EQ(S_OK, Get(L"A:\\small.txt", &small));
  EXPECT_TRUE(small == Pattern(10));
}

TEST_F(DownloadSim, AMissingFileFailsOnTheFirstRead) {
  ComPtr<IUnknown> content;
  ASSERT_EQ(S_OK, volume->GetFile(Text(L"A:\\none.bin"), &content));
  ComPtr<IStream> missing;
  ASSERT_EQ(S_OK, content.As(&missing));
  BYTE buffer[10];
  ULONG got = 0;
  EXPECT_TRUE(FAILED(missing->Read(buffer, 10, &got)));
  EXPECT_EQ(0u, got);
}

}  // namespace
