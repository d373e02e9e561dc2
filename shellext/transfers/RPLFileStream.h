// transfers/RPLFileStream.h - a PC file read as a stream, for PutFile.
#pragma once
#include <windows.h>
#include "ComBase.h"
#include "RPLStream.h"
#include "SuiteString.h"

class RPLFileStream final : public RPLStream, public CComObjectBase {
  COM_QI_TABLE(RPLFileStream, IStream, NComKit::QIAs<ISequentialStream, IStream>, ISupportErrorInfo)

public:
  // A new stream with one reference for the caller, not yet opened.
  static HRESULT Create(RPLFileStream** stream);
  // Opens path for reading (others may read it too).
  HRESULT Open(const wchar_t* path);

  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override;
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  STDMETHODIMP Stat(STATSTG* stat, DWORD flag) override;
  STDMETHODIMP Clone(IStream** clone) override;

private:
  RPLFileStream() = default;
  ~RPLFileStream() override;
  friend HRESULT CreateComObject<RPLFileStream>(REFIID, void**);

  HANDLE m_file = INVALID_HANDLE_VALUE;
  CBstr m_path;
};

// The file pointer moved by a 64-bit distance; the new position in *position.
HRESULT SeekFile(HANDLE file, LONGLONG move, DWORD method, ULONGLONG* position);
