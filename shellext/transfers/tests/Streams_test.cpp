// The PC file stream and the progress stream: chunking, progress, cancel,
// seeking over the buffer, Stat and open failures.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "RPLFileStream.h"
#include "RPLProgressStream.h"
#include "ResultCodes.h"
#include "TestFiles.h"
#include "TransfersIds.h"

namespace {

// An in-memory source that records what each Read asked for and can run a
// step inside a read.
class CRecordingSource final : public IStream {
public:
  explicit CRecordingSource(size_t size) : m_data(size) {
    for (size_t i = 0; i < size; ++i) m_data[i] = static_cast<BYTE>(i * 7);
  }
  std::vector<ULONG> reads;         // what each read handed back
  std::vector<LRESULT> barAtRead;   // the bar's position when each read came
  HWND bar = nullptr;
  DWORD* raiseOnRead = nullptr;     // set on the second read
  const BYTE* Data() const { return m_data.data(); }

  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override {
    if (bar) barAtRead.push_back(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const ULONG take = static_cast<ULONG>(std::min<size_t>(count, m_data.size() - m_position));
    reads.push_back(take);
    if (raiseOnRead && reads.size() == 2) *raiseOnRead = 1;
    memcpy(buffer, m_data.data() + m_position, take);
    m_position += take;
    if (read) *read = take;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? m_position : m_data.size();
    if (origin > STREAM_SEEK_END) return E_INVALIDARG;
    m_position = static_cast<size_t>(base + move.QuadPart);
    if (position) position->QuadPart = m_position;
    return S_OK;
  }
  STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
    ZeroMemory(stat, sizeof(*stat));
    stat->cbSize.QuadPart = m_data.size();
    return S_OK;
  }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IStream) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
  std::vector<BYTE> m_data;
  size_t m_position = 0;
};

RPLProgressStream* NewProgressStream(IStream* source, ProgressDialog* progress, ULONGLONG weight,
                                     DWORD* cancel) {
  RPLProgressStream* stream = nullptr;
  EXPECT_EQ(S_OK, RPLProgressStream::Create(&stream));
  EXPECT_EQ(S_OK, stream->Init(source, progress, weight, cancel, TRUE));
  return stream;
}

// A scratch file with known bytes, removed at the end.
class ScratchFile {
public:
  explicit ScratchFile(const wchar_t* name, size_t size = 300) {
    m_folder = vkstest::NewTempFolder(L"xfs");
    EXPECT_FALSE(m_folder.empty());
    path = m_folder + L"\\" + name;
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i);
    vkstest::WriteBytes(path, bytes);
  }
  ~ScratchFile() {
    if (!m_folder.empty()) vkstest::RemoveTree(m_folder);
  }
  std::wstring path;

private:
  std::wstring m_folder;
};

RPLFileStream* OpenFileStream(const std::wstring& path, HRESULT* result) {
  RPLFileStream* stream = nullptr;
  EXPECT_EQ(S_OK, RPLFileStream::Create(&stream));
  *result = stream->Open(path.c_str());
  return stream;
}

}  // namespace

TEST(ProgressStream, ReadsItsSourceInChunksAndMovesTheBarAfterEach) {
  CRecordingSource source(10000);
  ProgressDialog progress;
  progress.Create(ProgressMode::Copy, 10000, nullptr, nullptr);
  ASSERT_NE(nullptr, progress.GetWindow());
  source.bar = GetDlgItem(progress.GetWindow(), IDC_PROGRESS_BAR);
  RPLProgressStream* stream = NewProgressStream(&source, &progress, 10000, nullptr);

  std::vector<BYTE> buffer(10000);
  ULONG read = 0;
  EXPECT_EQ(S_OK, stream->Read(buffer.data(), 10000, &read));
  EXPECT_EQ(10000u, read);
  EXPECT_EQ((std::vector<ULONG>{4096, 4096, 1808}), source.reads);
  // The bar before each source read shows the chunks before it: 0, 40 %, 81 %.
  EXPECT_EQ((std::vector<LRESULT>{0, 40, 81}), source.barAtRead);
  EXPECT_EQ(100, SendMessageW(source.bar, PBM_GETPOS, 0, 0));
  EXPECT_EQ(0, memcmp(buffer.data(), source.Data(), 10000));
  stream->Release();
}

TEST(ProgressStream, AnEmptySourceGivesNothingAndMovesNothing) {
  CRecordingSource source(0);
  ProgressDialog progress;
  progress.Create(ProgressMode::Copy, 100, nullptr, nullptr);
  RPLProgressStream* stream = NewProgressStream(&source, &progress, 100, nullptr);
  BYTE buffer[16];
  ULONG read = 99;
  EXPECT_EQ(S_OK, stream->Read(buffer, sizeof(buffer), &read));
  EXPECT_EQ(0u, read);
  wchar_t text[64] = L"unset";
  GetDlgItemTextW(progress.GetWindow(), IDC_PROGRESS_TIME, text, 64);
  EXPECT_STREQ(L"", text);
  EXPECT_EQ(0, SendDlgItemMessageW(progress.GetWindow(), IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
  stream->Release();
}

TEST(ProgressStream, ACancelStopsTheReadAndKeepsWhatWasHandedOver) {
  CRecordingSource source(20000);
  DWORD cancelled = 0;
  source.raiseOnRead = &cancelled;
  RPLProgressStream* stream = NewProgressStream(&source, nullptr, 0, &cancelled);
  std::vector<BYTE> buffer(20000);
  ULONG read = 0;
  EXPECT_EQ(E_TRANSFER_CANCELLED, stream->Read(buffer.data(), 20000, &read));
  EXPECT_EQ(8192u, read);
  EXPECT_EQ(2u, source.reads.size());
  stream->Release();
}

TEST(ProgressStream, SeekingFromHereCountsOnlyTheBytesHandedOver) {
  CRecordingSource source(5000);
  RPLProgressStream* stream = NewProgressStream(&source, nullptr, 0, nullptr);
  BYTE buffer[100];
  ULONG read = 0;
  ASSERT_EQ(S_OK, stream->Read(buffer, 100, &read));
  ULARGE_INTEGER position = {};
  LARGE_INTEGER zero = {};
  EXPECT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_CUR, &position));
  EXPECT_EQ(100u, position.QuadPart);
  // The next read starts there, not after the buffered chunk.
  ASSERT_EQ(S_OK, stream->Read(buffer, 1, &read));
  EXPECT_EQ(source.Data()[100], buffer[0]);
  EXPECT_EQ(E_INVALIDARG, stream->Seek(zero, 3, &position));
  stream->Release();
}

TEST(ProgressStream, StatOverAFileStreamNamesTheFile) {
  ScratchFile file(L"a.txt");
  HRESULT opened = E_FAIL;
  RPLFileStream* fileStream = OpenFileStream(file.path, &opened);
  ASSERT_EQ(S_OK, opened);
  RPLProgressStream* stream = NewProgressStream(fileStream, nullptr, 0, nullptr);
  STATSTG stat = {};
  ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_DEFAULT));
  EXPECT_STREQ(L"a.txt", stat.pwcsName);
  EXPECT_EQ(300u, stat.cbSize.QuadPart);
  CoTaskMemFree(stat.pwcsName);
  stream->Release();
  fileStream->Release();
}

TEST(FileStream, StatGivesTheNameOnlyWhenAskedAndTheRecordOfAReadOnlyStream) {
  ScratchFile file(L"a.txt", 4100);
  HRESULT opened = E_FAIL;
  RPLFileStream* stream = OpenFileStream(file.path, &opened);
  ASSERT_EQ(S_OK, opened);
  STATSTG stat;
  memset(&stat, 0xCC, sizeof(stat));
  ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(nullptr, stat.pwcsName);
  EXPECT_EQ(static_cast<DWORD>(STGTY_STREAM), stat.type);
  EXPECT_EQ(4100u, stat.cbSize.QuadPart);
  EXPECT_EQ(0x40u, stat.grfMode);
  EXPECT_EQ(0u, stat.grfLocksSupported);
  EXPECT_EQ(0u, stat.grfStateBits);
  EXPECT_TRUE(IsEqualCLSID(CLSID_NULL, stat.clsid));
  EXPECT_EQ(E_POINTER, stream->Stat(nullptr, STATFLAG_NONAME));
  stream->Release();
}

TEST(FileStream, OpenFailsWithTheSystemsErrorForAMissingAndALockedFile) {
  ScratchFile file(L"locked.bin");
  HANDLE lock = CreateFileW(file.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  const struct {
    std::wstring path;
    DWORD error;
  } cases[] = {{file.path + L".missing", ERROR_FILE_NOT_FOUND}, {file.path, ERROR_SHARING_VIOLATION}};
  for (const auto& c : cases) {
    HRESULT opened = S_OK;
    RPLFileStream* stream = OpenFileStream(c.path, &opened);
    EXPECT_EQ(HRESULT_FROM_WIN32(c.error), opened);
    stream->Release();
  }
  CloseHandle(lock);
}

TEST(FileStream, SeeksFromEachOriginAndRefusesOthers) {
  ScratchFile file(L"seek.bin", 300);
  HRESULT opened = E_FAIL;
  RPLFileStream* stream = OpenFileStream(file.path, &opened);
  ASSERT_EQ(S_OK, opened);
  const struct {
    LONGLONG move;
    DWORD origin;
    HRESULT result;
    ULONGLONG position;
  } cases[] = {{10, STREAM_SEEK_SET, S_OK, 10}, {5, STREAM_SEEK_CUR, S_OK, 15},
               {-20, STREAM_SEEK_END, S_OK, 280}, {0, 3, E_INVALIDARG, 280},
               {-1, STREAM_SEEK_SET, HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK), 280}};
  ULONGLONG now = 0;
  for (const auto& c : cases) {
    LARGE_INTEGER move;
    move.QuadPart = c.move;
    ULARGE_INTEGER position = {};
    EXPECT_EQ(c.result, stream->Seek(move, c.origin, &position)) << c.move << " " << c.origin;
    if (SUCCEEDED(c.result)) now = position.QuadPart;
    EXPECT_EQ(c.position, now);
  }
  BYTE byte = 0;
  ULONG read = 0;
  EXPECT_EQ(S_OK, stream->Read(&byte, 1, &read));
  EXPECT_EQ(static_cast<BYTE>(280), byte);
  stream->Release();
}

TEST(FileStream, ACloneStartsWhereTheStreamStands) {
  ScratchFile file(L"clone.bin", 300);
  HRESULT opened = E_FAIL;
  RPLFileStream* stream = OpenFileStream(file.path, &opened);
  ASSERT_EQ(S_OK, opened);
  BYTE bytes[3];
  ULONG read = 0;
  ASSERT_EQ(S_OK, stream->Read(bytes, 3, &read));
  IStream* clone = nullptr;
  ASSERT_EQ(S_OK, stream->Clone(&clone));
  BYTE next = 0;
  ASSERT_EQ(S_OK, clone->Read(&next, 1, &read));
  EXPECT_EQ(3, next);
  // The two positions are independent afterwards.
  ASSERT_EQ(S_OK, stream->Read(&next, 1, &read));
  EXPECT_EQ(3, next);
  clone->Release();
  stream->Release();
}
