// tools/common/VKSFileStream.h - read-only IStream over a PC file, handed to PutFile by the tools.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <oaidl.h>

#include "ComBase.h"
#include "SuiteString.h"

// Reference count interlocked: in ZTRInit the connection's worker reads the
// stream while the main thread holds it. Failures leave error information for
// IID_IStream, so a tool prints the system's text (a missing file, say).
class VKSFileStream final : public IStream, public ISupportErrorInfo, public CComObjectBase {
  COM_QI_TABLE(VKSFileStream, IStream, ISequentialStream, ISupportErrorInfo)

public:
  // A stream with one reference (the caller's), opened on fileName.
  static HRESULT Create(const wchar_t* fileName, VKSFileStream** stream);

  HRESULT Open(const wchar_t* fileName);

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;
  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override;
  STDMETHODIMP Write(const void* buffer, ULONG count, ULONG* written) override;
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override;
  STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                      ULARGE_INTEGER* written) override;
  STDMETHODIMP Commit(DWORD flags) override;
  STDMETHODIMP Revert() override;
  STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
  STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
  STDMETHODIMP Clone(IStream** clone) override;

private:
  VKSFileStream() = default;
  ~VKSFileStream() override;
  static HRESULT ReportError(HRESULT result);

  CBstr m_fileName;
  HANDLE m_file = INVALID_HANDLE_VALUE;
};

// SetFilePointer with the whole 64-bit distance; the new position when asked.
HRESULT SeekFile(HANDLE file, LONGLONG move, DWORD method, ULONGLONG* position);
