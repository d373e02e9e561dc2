// link/ObexSerialAdapter.h - AT handshake into OBEX mode and packet
// transport over the serial port.
#pragma once
#include <windows.h>

#include "ITransportLayer.h"
#include "SerialPort.h"

// How long a write may make no progress (CTS held low) before the line
// counts as lost.
constexpr DWORD kWriteStallLimitMs = 5000;

// What a port's open error means to the caller: S_OK for none (an I/O still
// pending is none), E_PORT_IN_USE for access denied, else E_PORT_OPEN_FAILED.
HRESULT MapPortOpenError(DWORD error);

class CObexSerialAdapter : public ITransportLayer {
public:
  explicit CObexSerialAdapter(HANDLE portHandle);
  ~CObexSerialAdapter() override;
  CObexSerialAdapter(const CObexSerialAdapter&) = delete;
  CObexSerialAdapter& operator=(const CObexSerialAdapter&) = delete;

  HRESULT Connect(const wchar_t* portName, int baud) override;
  HRESULT Disconnect() override;
  HRESULT LeaveObexMode() override;
  HRESULT Transact(BYTE* buffer, WORD* length, DWORD timeoutMs, WORD capacity) override;
  HRESULT GetModel(char* model, size_t capacity) override;
  HRESULT GetVolumeCount(WORD* count) override;

  // Takes over a port object made elsewhere (Connect then uses it as it is).
  void AttachPort(CSerialPort* newPort);
  CSerialPort* GetPort() const { return port; }

  // Never hands the port a write of a multiple of 64 bytes.
  HRESULT WritePacket(const BYTE* data, DWORD* length);
  // Three tries; reply (zero-terminated) optional.
  HRESULT AtTransaction(const char* command, DWORD silenceMs, char* reply, DWORD replySize);
  HRESULT QueryObexCapabilities();

private:
  void DeletePort();

  CSerialPort* port;
  HANDLE portHandle;
  WORD volumeCount;
};
