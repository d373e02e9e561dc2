// The download buffer and the streams over it, filled by a test thread in
// place of the connection's worker.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "CriticalSection.h"
#include "RPLStream.h"
#include "ResultCodes.h"

namespace {

std::vector<BYTE> Bytes(size_t size) {
  std::vector<BYTE> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>(i * 7 + i / 251);
  return data;
}

STATSTG Info(ULONGLONG size, const wchar_t* name = L"file.bin") {
  STATSTG info{};
  info.type = STGTY_STREAM;
  info.cbSize.QuadPart = size;
  const size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
  info.pwcsName = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  memcpy(info.pwcsName, name, bytes);
  return info;
}

// A source with its request's cancel flag, and a stream on it.
class StreamTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    source = new InputSource;
    source->SetCancelFlagAddress(&cancelled);
    ASSERT_EQ(S_OK, RPLInputStream::Create(source, 0, IID_IStream, reinterpret_cast<void**>(&stream)));
    source->Release();  // the stream holds it
  }
  void TearDown() override {
    if (producer.joinable()) producer.join();
    stream.Reset();
    CoUninitialize();
  }
  // The worker's side, as the request calls it: under the transfer lock and
  // only while the flag is clear.
  HRESULT Append(const std::vector<BYTE>& data, size_t from, size_t count) {
    CLockScope lock(GetTransferLock());
    if (cancelled) return E_TRANSFER_CANCELLED;
    return source->AppendData(data.data() + from, static_cast<DWORD>(count));
  }
  void SetInfo(ULONGLONG size) {
    CLockScope lock(GetTransferLock());
    STATSTG info = Info(size);
    ASSERT_EQ(S_OK, source->SetFileInfo(&info));
  }
  void Complete() {
    CLockScope lock(GetTransferLock());
    if (!cancelled) source->Complete();
  }
  // Later, on another thread: file information, the data in blocks, the end.
  void ProduceLater(const std::vector<BYTE>& data, bool announceSize, DWORD delayMs = 200) {
    producer = std::thread([this, data, announceSize, delayMs] {
      Sleep(delayMs);
      SetInfo(announceSize ? data.size() : 0);
      for (size_t at = 0; at < data.size(); at += 1000) {
        Append(data, at, std::min<size_t>(1000, data.size() - at));
        Sleep(5);
      }
      Complete();
    });
  }
  int cancelled = 0;
  InputSource* source = nullptr;
  ComPtr<IStream> stream;
  std::thread producer;
};

TEST_F(StreamTest, ReadWaitsForTheBytesItAsksForWhenTheSizeIsKnown) {
  const auto data = Bytes(50);
  SetInfo(1000);
  ASSERT_EQ(S_OK, Append(data, 0, 50));
  const auto rest = Bytes(1000);
  producer = std::thread([&] {
    Sleep(300);
    Append(rest, 50, 950);
  });
  BYTE buffer[100];
  ULONG got = 0;
  const DWORD start = GetTickCount();
  ASSERT_EQ(S_OK, stream->Read(buffer, 100, &got));
  EXPECT_GE(GetTickCount() - start, 200u);
  EXPECT_EQ(100u, got);
  EXPECT_EQ(0, memcmp(buffer, rest.data(), 100));
}

TEST_F(StreamTest, WithoutASizeReadAndSeekToTheEndWaitForTheEnd) {
  const auto data = Bytes(20000);
  ProduceLater(data, false);
  LARGE_INTEGER zero{};
  ULARGE_INTEGER end{};
  ASSERT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_END, &end));
  EXPECT_EQ(20000u, end.QuadPart);  // only known once complete
  ASSERT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_SET, nullptr));
  std::vector<BYTE> back(30000);
  ULONG got = 0;
  ASSERT_EQ(S_OK, stream->Read(back.data(), 30000, &got));
  ASSERT_EQ(20000u, got);
  back.resize(got);
  EXPECT_TRUE(back == data);
  // Past the end: nothing, and no failure.
  ASSERT_EQ(S_OK, stream->Read(back.data(), 10, &got));
  EXPECT_EQ(0u, got);
  STATSTG stat{};
  ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_DEFAULT));
  EXPECT_STREQ(L"file.bin", stat.pwcsName);
  EXPECT_EQ(20000u, stat.cbSize.QuadPart);
  CoTaskMemFree(stat.pwcsName);
}

TEST_F(StreamTest, ClonesReadTheSameBytesFromPositionsOfTheirOwn) {
  const auto data = Bytes(5000);
  ProduceLater(data, true, 0);
  BYTE a[300], b[300];
  ULONG got = 0;
  ASSERT_EQ(S_OK, stream->Read(a, 300, &got));
  ComPtr<IStream> clone;
  ASSERT_EQ(S_OK, stream->Clone(&clone));
  ASSERT_EQ(S_OK, clone->Read(b, 300, &got));
  ASSERT_EQ(S_OK, stream->Read(a, 300, &got));
  EXPECT_EQ(0, memcmp(a, b, 300));  // both at 300 .. 599
  EXPECT_EQ(0, memcmp(a, data.data() + 300, 300));
  ULARGE_INTEGER position{};
  LARGE_INTEGER zero{};
  clone->Seek(zero, STREAM_SEEK_CUR, &position);
  EXPECT_EQ(600u, position.QuadPart);
  stream->Seek(zero, STREAM_SEEK_CUR, &position);
  EXPECT_EQ(600u, position.QuadPart);
  LARGE_INTEGER back{};
  back.QuadPart = -601;
  EXPECT_EQ(E_INVALIDARG, clone->Seek(back, STREAM_SEEK_CUR, &position));
  back.QuadPart = -1;
  EXPECT_EQ(E_INVALIDARG, clone->Seek(back, STREAM_SEEK_SET, &position));
}

TEST_F(StreamTest, ReleasingEveryStreamCancelsTheTransfer) {
  SetInfo(100000);
  ComPtr<IStream> clone;
  ASSERT_EQ(S_OK, stream->Clone(&clone));
  stream.Reset();
  EXPECT_EQ(0, cancelled);  // a clone still reads
  clone.Reset();
  EXPECT_EQ(1, cancelled);
  EXPECT_EQ(E_TRANSFER_CANCELLED, Append(Bytes(10), 0, 10));
}

TEST_F(StreamTest, AFinishedTransferIsNotCancelledByTheRelease) {
  SetInfo(10);
  Append(Bytes(10), 0, 10);
  Complete();
  stream.Reset();
  EXPECT_EQ(0, cancelled);
}

TEST_F(StreamTest, FailuresReachTheReaderAndTheStateSaysSo) {
  ComPtr<IPriority> priority;
  ASSERT_EQ(S_OK, stream.As(&priority));
  EXPECT_EQ(0, priority->GetPriority());
  SetInfo(100);
  EXPECT_EQ(1, priority->GetPriority());
  Append(Bytes(100), 0, 40);
  // More than announced is refused.
  EXPECT_EQ(E_UNEXPECTED, Append(Bytes(100), 0, 61));
  {
    CLockScope lock(GetTransferLock());
    source->SetError(S_FALSE);  // success codes are no failure
    source->SetError(E_CONNECTION_LOST);
  }
  EXPECT_EQ(2, priority->GetPriority());
  BYTE buffer[100];
  ULONG got = 5;
  EXPECT_EQ(E_CONNECTION_LOST, stream->Read(buffer, 100, &got));
  EXPECT_EQ(0u, got);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
  GUID guid;
  info->GetGUID(&guid);
  EXPECT_TRUE(IsEqualGUID(IID_IStream, guid));
}

TEST_F(StreamTest, ASizeThatIsNotReachedFailsAtTheEnd) {
  SetInfo(100);
  Append(Bytes(100), 0, 60);
  Complete();
  BYTE buffer[100];
  ULONG got = 0;
  EXPECT_EQ(E_UNEXPECTED, stream->Read(buffer, 100, &got));
}

TEST_F(StreamTest, ResumePointHoldsTheCrcOfAllChunks) {
  const auto data = Bytes(3000);
  SetInfo(3000);
  // Small blocks are packed; the CRC runs over the bytes in order whatever the chunks.
  Append(data, 0, 10);
  Append(data, 10, 300);
  Append(data, 310, 2000);
  ULONGLONG size = 0, received = 0;
  WORD crc = 0;
  source->GetResumePoint(&size, &received, &crc);
  EXPECT_EQ(3000u, size);
  EXPECT_EQ(2310u, received);
  EXPECT_EQ(Crc16Update(data.data(), 2310, 0), crc);
}

TEST_F(StreamTest, ReadOnlyStreamRefusesWritingWithErrorInformation) {
  ULONG written = 1;
  ULARGE_INTEGER any{};
  EXPECT_EQ(E_NOTIMPL, stream->Write("x", 1, &written));
  EXPECT_EQ(0u, written);
  EXPECT_EQ(E_NOTIMPL, stream->SetSize(any));
  EXPECT_EQ(E_NOTIMPL, stream->Commit(0));
  EXPECT_EQ(E_NOTIMPL, stream->Revert());
  EXPECT_EQ(E_NOTIMPL, stream->LockRegion(any, any, 0));
  EXPECT_EQ(E_NOTIMPL, stream->UnlockRegion(any, any, 0));
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(S_OK, GetErrorInfo(0, &info));
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(S_OK, stream.As(&support));
  EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IStream));
  EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IUnknown));
  ComPtr<ISequentialStream> sequential;
  EXPECT_EQ(S_OK, stream.As(&sequential));
}

// Accepts at most limit bytes in all.
class ShortTarget final : public IStream, public CComObjectBase {
  COM_QI_TABLE(ShortTarget, IStream)

public:
  explicit ShortTarget(ULONG limit) : CComObjectBase(Lifetime::Uncounted), m_limit(limit) {}
  std::vector<BYTE> got;
  STDMETHODIMP Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Write(const void* data, ULONG count, ULONG* written) override {
    const ULONG take = std::min<ULONG>(count, m_limit - static_cast<ULONG>(got.size()));
    got.insert(got.end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + take);
    *written = take;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
  ~ShortTarget() override = default;
  ULONG m_limit;
};

TEST_F(StreamTest, CopyToMovesEverythingOrReportsAShortWrite) {
  const auto data = Bytes(10000);
  ProduceLater(data, true, 0);
  ComPtr<IStream> clone;
  ASSERT_EQ(S_OK, stream->Clone(&clone));
  ShortTarget* all = new ShortTarget(100000);
  ULARGE_INTEGER count, read, written;
  count.QuadPart = 20000;
  EXPECT_EQ(S_OK, stream->CopyTo(all, count, &read, &written));
  EXPECT_EQ(10000u, read.QuadPart);
  EXPECT_EQ(10000u, written.QuadPart);
  EXPECT_TRUE(all->got == data);
  all->Release();

  ShortTarget* few = new ShortTarget(5000);
  EXPECT_EQ(STG_E_MEDIUMFULL, clone->CopyTo(few, count, &read, &written));
  EXPECT_EQ(5000u, written.QuadPart);
  few->Release();
  EXPECT_EQ(E_POINTER, clone->CopyTo(nullptr, count, &read, &written));
}

}  // namespace
