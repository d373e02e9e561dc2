// transfers/RPLProgressStream.h - a stream over another that reads it in
// 4096-byte chunks, moves a progress dialog and stops when the user cancels.
#pragma once
#include <windows.h>
#include "ComBase.h"
#include "ComCore.h"
#include "ProgressDialog.h"
#include "RPLStream.h"

class RPLProgressStream final : public RPLStream, public CComObjectBase {
  COM_QI_TABLE(RPLProgressStream, IStream, NComKit::QIAs<ISequentialStream, IStream>, ISupportErrorInfo)

public:
  static constexpr ULONG kChunk = 4096;

  static HRESULT Create(RPLProgressStream** stream);
  // progress and cancelFlag may be null; pump dispatches the thread's
  // messages before every chunk.
  HRESULT Init(IStream* source, ProgressDialog* progress, ULONGLONG weight, DWORD* cancelFlag, BOOL pump);

  STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override;
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  STDMETHODIMP Stat(STATSTG* stat, DWORD flag) override;

private:
  RPLProgressStream() = default;
  ~RPLProgressStream() override = default;
  void PumpMessages() const;

  ComPtr<IStream> m_source;
  ULONGLONG m_position = 0;
  BYTE m_buffer[kChunk];
  ULONG m_bufferPosition = 0;
  ULONG m_bufferFill = 0;
  ProgressDialog* m_progress = nullptr;
  ULONGLONG m_weight = 0;
  ULONGLONG m_size = 0;
  DWORD* m_cancelFlag = nullptr;
  BOOL m_pump = FALSE;
};
