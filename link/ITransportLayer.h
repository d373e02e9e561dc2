// link/ITransportLayer.h - the byte transport the OBEX packet layer runs on.
#pragma once
#include <windows.h>

class ITransportLayer {
public:
  virtual ~ITransportLayer() = default;
  // Opens the link and puts the module in OBEX mode.
  virtual HRESULT Connect(const wchar_t* portName, int baud) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT LeaveObexMode() = 0;
  // In: length = request bytes in buffer. Out: the response in the same
  // buffer, length = its total length.
  virtual HRESULT Transact(BYTE* buffer, WORD* length, DWORD timeoutMs, WORD capacity) = 0;
  virtual HRESULT GetModel(char* model, size_t capacity) = 0;
  virtual HRESULT GetVolumeCount(WORD* count) = 0;
};

// Serial implementation; portHandle is the port the connection opened, or
// INVALID_HANDLE_VALUE to let the transport open it itself.
HRESULT CreateSerialTransport(ITransportLayer** transport, HANDLE portHandle);
