// link/ObexSerialAdapter.cpp - AT handshake into OBEX mode and packet
// transport over the serial port.
#include "ObexSerialAdapter.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "ComCore.h"
#include "ResultCodes.h"

namespace {

constexpr int kAtTries = 3;
constexpr DWORD kAtReadMs = 50;
constexpr DWORD kAtCommandMs = 1000;
constexpr DWORD kEscapeGuardMs = 1200;
constexpr DWORD kObexHeaderBytes = 3;  // response code and 16-bit total length

bool Contains(const char* text, size_t length, const char* pattern) {
  return FindAnswerText(text, length, pattern) != nullptr;
}

bool IsRecordedError(DWORD error) { return error != 0 && error != ERROR_IO_PENDING; }

}  // namespace

HRESULT MapPortOpenError(DWORD error) {
  if (!IsRecordedError(error)) return S_OK;
  return error == ERROR_ACCESS_DENIED ? E_PORT_IN_USE : E_PORT_OPEN_FAILED;
}

HRESULT CreateSerialTransport(ITransportLayer** transport, HANDLE portHandle) {
  if (!transport) return E_POINTER;
  *transport = new (std::nothrow) CObexSerialAdapter(portHandle);
  return S_OK;
}

CObexSerialAdapter::CObexSerialAdapter(HANDLE h) : port(nullptr), portHandle(h), volumeCount(0) {}

CObexSerialAdapter::~CObexSerialAdapter() { DeletePort(); }

void CObexSerialAdapter::DeletePort() {
  delete port;
  port = nullptr;
}

void CObexSerialAdapter::AttachPort(CSerialPort* newPort) {
  DeletePort();
  port = newPort;
}

HRESULT CObexSerialAdapter::WritePacket(const BYTE* data, DWORD* length) {
  DWORD total = *length, written = 0;
  DWORD lastProgress = GetTickCount();
  while (written < total) {
    DWORD remaining = total - written;
    DWORD piece = (remaining % 64 == 0) ? 4 : remaining;
    DWORD n = port ? port->Write(data + written, piece) : 0;
    if (n > 0) {
      written += n;
      lastProgress = GetTickCount();
      continue;
    }
    if (!port || !port->IsOpen() || port->GetLastErrorCode() != 0) {
      *length = written;
      return E_CONNECTION_LOST;
    }
    // Nothing taken and no error: flow control holds the line. Wait, but
    // not for ever.
    if (GetTickCount() - lastProgress > kWriteStallLimitMs) {
      *length = written;
      return E_CONNECTION_LOST;
    }
    Sleep(10);
  }
  *length = written;
  return S_OK;
}

HRESULT CObexSerialAdapter::AtTransaction(const char* command, DWORD silenceMs, char* reply,
                                          DWORD replySize) {
  if (!port) return E_UNEXPECTED;
  char local[256];
  char* buffer = reply ? reply : local;
  DWORD room = (reply ? replySize : sizeof(local));
  if (room == 0) return E_INVALIDARG;
  room -= 1;  // keeps the answer zero-terminated

  HRESULT result = E_CONNECTION_LOST;
  for (int attempt = 0; attempt < kAtTries; ++attempt) {
    port->ClearErrors();
    DWORD length = static_cast<DWORD>(strlen(command));
    result = WritePacket(reinterpret_cast<const BYTE*>(command), &length);
    if (FAILED(result)) continue;

    memset(buffer, 0, room + 1);
    DWORD used = 0;
    DWORD lastByte = GetTickCount();
    result = E_CONNECTION_LOST;
    for (;;) {
      DWORD free = room - used;
      WORD chunk = static_cast<WORD>(free > 0xFFFF ? 0xFFFF : free);
      HRESULT hr = S_OK;
      if (chunk > 0) {
        hr = port->Read(reinterpret_cast<BYTE*>(buffer) + used, &chunk, kAtReadMs, FALSE);
        if (chunk > 0) {
          used += chunk;
          lastByte = GetTickCount();
        }
      } else {
        Sleep(kAtReadMs);  // full and no end in sight: let the silence rule end it
      }
      if (Contains(buffer, used, "\r\nOK\r\n")) return S_OK;
      if (Contains(buffer, used, "\r\nERROR\r\n") || Contains(buffer, used, "\r\n+CME ERROR: "))
        return E_NO_COMMUNICATION;
      if (FAILED(hr) && hr != E_READ_TIMEOUT) {
        result = hr;
        break;
      }
      if (GetTickCount() - lastByte > silenceMs) break;
    }
    Sleep(100);
  }
  return result;
}

HRESULT CObexSerialAdapter::QueryObexCapabilities() {
  volumeCount = 0;
  char reply[256];
  HRESULT hr = AtTransaction("AT^SQWE=100\r", kAtCommandMs, reply, sizeof(reply));
  if (hr == E_NO_COMMUNICATION) {
    volumeCount = 1;  // a module without the query has one volume
    return S_OK;
  }
  if (FAILED(hr)) return hr;
  const char* p = strstr(reply, "\r\n^SQWE:");
  if (p) {
    p += 8;
    while (*p == ' ') ++p;
    if (*p) {
      volumeCount = static_cast<WORD>(strtol(p, nullptr, 10));
      if (volumeCount != 0) return S_OK;
    }
  }
  volumeCount = 1;
  return S_OK;
}

HRESULT CObexSerialAdapter::Connect(const wchar_t* portName, int baud) {
  bool created = false;
  if (!port) {
    port = new (std::nothrow) CSerialPort(portName, baud, portHandle);
    if (!port) return E_OUTOFMEMORY;
    created = true;
    HRESULT opened = MapPortOpenError(port->GetLastErrorCode());
    if (FAILED(opened)) {
      DeletePort();
      return opened;
    }
  }
  HRESULT hr = (!port->IsOpen() || IsRecordedError(port->GetLastErrorCode())) ? E_UNEXPECTED
                                                                               : port->ResetLine();
  if (SUCCEEDED(hr)) hr = AtTransaction("AT&F\r", kAtCommandMs, nullptr, 0);
  if (SUCCEEDED(hr)) hr = AtTransaction("AT\\Q3\r", kAtCommandMs, nullptr, 0);
  if (SUCCEEDED(hr)) hr = QueryObexCapabilities();
  if (SUCCEEDED(hr)) hr = AtTransaction("AT^SQWE=3\r", kAtCommandMs, nullptr, 0);
  if (FAILED(hr)) {
    if (created) DeletePort();
    volumeCount = 0;
    return hr;
  }
  return S_OK;
}

HRESULT CObexSerialAdapter::Disconnect() {
  if (port) {
    LeaveObexMode();
    DeletePort();
  }
  volumeCount = 0;
  return S_OK;
}

HRESULT CObexSerialAdapter::LeaveObexMode() {
  if (!port) return E_UNEXPECTED;
  Sleep(kEscapeGuardMs);
  DWORD length = 3;
  RETURN_IF_FAILED(WritePacket(reinterpret_cast<const BYTE*>("+++"), &length));
  Sleep(kEscapeGuardMs);
  port->Purge(kPurgeAll);
  return S_OK;
}

HRESULT CObexSerialAdapter::Transact(BYTE* buffer, WORD* length, DWORD timeoutMs, WORD capacity) {
  if (!buffer || !length) return E_POINTER;
  if (!port) return E_UNEXPECTED;
  // Checked before anything goes out: an answer that cannot be held would
  // leave the line out of step.
  if (capacity < kObexHeaderBytes || *length > capacity) return E_INVALIDARG;

  DWORD out = *length;
  RETURN_IF_FAILED(WritePacket(buffer, &out));

  WORD got = kObexHeaderBytes;
  HRESULT hr = port->ReadFull(buffer, &got, timeoutMs);
  WORD announced = 0;
  if (SUCCEEDED(hr)) {
    announced = static_cast<WORD>((buffer[1] << 8) | buffer[2]);
    if (announced < kObexHeaderBytes || announced > capacity) hr = E_INVALIDARG;
  }
  if (SUCCEEDED(hr) && announced > kObexHeaderBytes) {
    WORD rest = static_cast<WORD>(announced - kObexHeaderBytes);
    hr = port->ReadFull(buffer + kObexHeaderBytes, &rest, timeoutMs);
  }
  if (SUCCEEDED(hr)) {
    *length = announced;
    return hr;
  }
  if (hr == E_READ_TIMEOUT) return E_CONNECTION_LOST;
  if (hr != E_CONNECTION_LOST && hr != E_TRANSFER_CANCELLED) port->ResetLine();
  return hr;
}

HRESULT CObexSerialAdapter::GetModel(char* model, size_t capacity) {
  if (!model || !port || port->GetModel().empty()) return E_NOTIMPL;
  if (capacity == 0) return E_INVALIDARG;
  // A model longer than the caller's room is cut, never a reason to abort.
  const std::string& text = port->GetModel();
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  memcpy(model, text.data(), n);
  model[n] = '\0';
  return S_OK;
}

HRESULT CObexSerialAdapter::GetVolumeCount(WORD* count) {
  if (!count) return E_POINTER;
  if (volumeCount < 1 || volumeCount > 26) return E_NOTIMPL;
  *count = volumeCount;
  return S_OK;
}
