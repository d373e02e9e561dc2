// core/RPLStream.h - the suite's read-only IStream base, and the download
// stream a GetFile call returns with the buffer the connection's worker fills.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <oaidl.h>

#include <memory>
#include <vector>

#include "ComBase.h"
#include "Handle.h"
#include "Request.h"

// Transfer state of a download stream: 0 no file information yet, 1 running,
// 2 complete or failed.
struct IPriority : public IUnknown {
  virtual int STDMETHODCALLTYPE GetPriority() = 0;
};
__CRT_UUID_DECL(IPriority, 0x70AD1501, 0xAD95, 0x11D3, 0xA2, 0x71, 0x00, 0x10, 0x5A, 0x3B, 0x32, 0x5A)
extern const IID IID_IPriority;

// What a read-only stream does not do, a CopyTo loop and error information for
// IID_IStream. Subclasses give Read, Seek, Stat and the IUnknown part.
class RPLStream : public ISupportErrorInfo, public IStream {
public:
  virtual ~RPLStream() = default;

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;
  STDMETHODIMP Write(const void* data, ULONG count, ULONG* written) override;
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override;
  STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                      ULARGE_INTEGER* written) override;
  STDMETHODIMP Commit(DWORD flags) override;
  STDMETHODIMP Revert() override;
  STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
  STDMETHODIMP Clone(IStream** clone) override;

  // Leaves error information for a failure; returns result unchanged.
  static HRESULT ReportError(HRESULT result);
};

// What a stream reads from; counted under the transfer lock.
class StreamSource {
public:
  StreamSource();
  virtual ~StreamSource();
  StreamSource(const StreamSource&) = delete;
  StreamSource& operator=(const StreamSource&) = delete;

  void AddRef();
  void Release();
  virtual HRESULT Read(void* buffer, ULONGLONG offset, ULONG count, ULONG* read) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flag);
  virtual int GetState() { return 2; }  // IPriority's value

protected:
  HRESULT StatRecord(STATSTG* stat, DWORD flag) const;  // no wait, caller holds the lock

  int m_refCount = 1;
  STATSTG m_info{};
  bool m_hasInfo = false;
};

// Bytes held in chunks of at least 256 bytes.
class MemorySource : public StreamSource {
public:
  HRESULT Read(void* buffer, ULONGLONG offset, ULONG count, ULONG* read) override;
  HRESULT Append(const BYTE* data, DWORD length);
  ULONGLONG GetTotal() const { return m_total; }
  WORD Crc16() const;

  static constexpr DWORD kMinChunk = 256;

protected:
  struct Chunk {
    std::unique_ptr<BYTE[]> data;
    DWORD capacity = 0;
    DWORD used = 0;
    ULONGLONG start = 0;
  };
  HRESULT CopyOut(BYTE* buffer, ULONGLONG offset, ULONG count, ULONG* read);

  std::vector<Chunk> m_chunks;
  ULONGLONG m_total = 0;
  size_t m_cursor = 0;  // chunk of the last read: sequential reads start there
};

// The download buffer: the worker fills it (IInputSource, under the transfer
// lock), clients' streams read it and wait for data that has not come yet.
class InputSource final : public MemorySource, public IInputSource {
public:
  InputSource();
  ~InputSource() override;
  bool IsValid() const { return m_dataEvent.IsValid(); }

  void SetCancelFlagAddress(int* cancelled);

  HRESULT SetFileInfo(STATSTG* info) override;
  HRESULT AppendData(const BYTE* data, DWORD length) override;
  void SetError(HRESULT failure) override;
  void Complete() override;
  void GetProgress(ULONGLONG* size, ULONGLONG* received) override;
  void GetResumePoint(ULONGLONG* size, ULONGLONG* received, WORD* crc) override;

  HRESULT Read(void* buffer, ULONGLONG offset, ULONG count, ULONG* read) override;
  HRESULT Stat(STATSTG* stat, DWORD flag) override;
  int GetState() override;

private:
  bool Cancelled() const { return m_cancelled && *m_cancelled; }
  // Waits, pumping messages, until ready() holds under the lock or a failure
  // is stored; returns with the lock held.
  template <class Ready> HRESULT WaitLocked(Ready ready);

  CEvent m_dataEvent;
  int* m_cancelled = nullptr;
  HRESULT m_failure = S_OK;
  bool m_complete = false;
  bool m_sizeKnown = false;
  bool m_endReached = false;
};

// Read, Seek and Stat at a position of its own over a counted source.
class RPLCloneableStream : public RPLStream {
public:
  RPLCloneableStream(StreamSource* source, ULONGLONG position);  // takes a reference
  ~RPLCloneableStream() override;

  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override;
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  STDMETHODIMP Stat(STATSTG* stat, DWORD flag) override;

protected:
  StreamSource* m_source;
  ULONGLONG m_position;
};

// What GetFile hands the client. Released by every holder, it cancels the
// download it reads (the source's last reference goes).
class RPLInputStream final : public RPLCloneableStream, public IPriority, public CComObjectBase {
  COM_QI_TABLE(RPLInputStream, IStream, NComKit::QIAs<ISequentialStream, IStream>, ISupportErrorInfo,
               IPriority)

public:
  static HRESULT Create(StreamSource* source, ULONGLONG position, REFIID riid, void** out);

  STDMETHODIMP Clone(IStream** clone) override;
  int STDMETHODCALLTYPE GetPriority() override;

private:
  RPLInputStream(StreamSource* source, ULONGLONG position)
      : RPLCloneableStream(source, position) {}
  ~RPLInputStream() override = default;
};
