// core/VKSFileStream.h - read-only IStream over a PC file, handed to PutFile by the tools.
#pragma once
#include <windows.h>
#include <objidl.h>

#include "ComBase.h"
#include "Handle.h"
#include "RPLStream.h"
#include "SuiteString.h"

// Reference count interlocked: in ZTRInit the connection's worker reads the
// stream while the main thread holds it. Failures leave error information for
// IID_IStream (the base), so a tool prints the system's text (a missing file, say).
class VKSFileStream final : public RPLStream, public CComObjectBase {
public:
  // A stream with one reference (the caller's), opened on fileName.
  static HRESULT Create(const wchar_t* fileName, VKSFileStream** stream);

  HRESULT Open(const wchar_t* fileName);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }
  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override;
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;

private:
  VKSFileStream() = default;
  ~VKSFileStream() override = default;

  CBstr m_fileName;
  CHandle m_file;
};

// SetFilePointer with the whole 64-bit distance; the new position when asked.
HRESULT SeekFile(HANDLE file, LONGLONG move, DWORD method, ULONGLONG* position);
