// link/SerialPort.cpp - the serial port the module hangs on.
#include "SerialPort.h"

#include <algorithm>
#include <cstring>

#include "ResultCodes.h"

const wchar_t kDisconnectEventNameW[] = L"DisconnectEvent_{E5623C30-BBA8-4faf-B3B7-E35FDB56F42E}";
const wchar_t kCancelDiscoverEventNameW[] =
    L"CancelDiscoverEvent_{AD63555D-47B3-47c7-8220-7EC86BA32776}";

namespace {

constexpr DWORD kPartialAnswerPauseMs = 50;
// Longest single wait inside a full read: how late a timeout that counts from
// the last byte may be noticed.
constexpr DWORD kFullReadSliceMs = 20;
constexpr DWORD kReadsAtOnce = MAXDWORD;  // readTimeoutMs: ReadFile returns what is there
constexpr DWORD kDtrLowMs = 400;
constexpr DWORD kCtsSettleMs = 500;
constexpr DWORD kCtsWaitMs = 8000;
constexpr DWORD kAfterWakeMs = 200;
constexpr int kSearchRounds = 3;
const int kCandidateBauds[] = {921600, 460800, 230400, 115200, 57600, 38400, 19200};

// Bit 1 = RTS/CTS, bit 0 = DTR/DSR, bit 4 = XON/XOFF.
constexpr DWORD kHandshake = 2;

const SerialEventNames kSystemEvents = {kDisconnectEventNameW, kCancelDiscoverEventNameW};

BOOL IsCtsOn(HANDLE port) {
  DWORD status = 0;
  return GetCommModemStatus(port, &status) && (status & MS_CTS_ON) != 0;
}

}  // namespace

const char* FindAnswerText(const char* text, size_t length, const char* pattern) {
  size_t n = strlen(pattern);
  for (size_t i = 0; n <= length && i <= length - n; ++i)
    if (memcmp(text + i, pattern, n) == 0) return text + i;
  return nullptr;
}

CSerialPort::CSerialPort(const wchar_t* portName, int baud, HANDLE given)
    : CSerialPort(INVALID_HANDLE_VALUE) {
  Open(portName, baud, given, kSystemEvents);
}

CSerialPort::CSerialPort(const wchar_t* portName, int baud, HANDLE given,
                         const SerialEventNames& events)
    : CSerialPort(INVALID_HANDLE_VALUE) {
  Open(portName, baud, given, events);
}

CSerialPort::CSerialPort(HANDLE h)
    : handle(h), ownsHandle(false), lastError(0), commErrors(0), initialBaud(0),
      disconnectEvent(nullptr), cancelDiscoverEvent(nullptr), lastDtrToggle(0), currentBaud(0),
      readTimeoutMs(kReadsAtOnce), waitsInRead(false) {}

void CSerialPort::Open(const wchar_t* portName, int baud, HANDLE given,
                       const SerialEventNames& events) {
  initialBaud = baud;
  size_t nameLength = portName ? wcsnlen(portName, kMaxPortNameChars + 1) : 0;
  if (given == INVALID_HANDLE_VALUE) {
    // A name cut to fit would open some other port.
    if (nameLength == 0 || nameLength > kMaxPortNameChars) {
      lastError = ERROR_INVALID_NAME;
      return;
    }
    deviceName = L"\\\\.\\";
    deviceName.append(portName, nameLength);
    handle = CreateFileW(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    ownsHandle = true;
    if (handle == INVALID_HANDLE_VALUE) {
      lastError = GetLastError();
      return;
    }
  } else {
    handle = given;
    if (portName && nameLength <= kMaxPortNameChars)
      deviceName.assign(L"\\\\.\\").append(portName, nameLength);
  }
  Configure();
  disconnectEvent = CreateEventW(nullptr, TRUE, FALSE, events.disconnect);
  cancelDiscoverEvent = CreateEventW(nullptr, TRUE, FALSE, events.cancelDiscover);
  // The port is open. Whatever GetLastError says now is no failure: the
  // events normally exist already (ERROR_ALREADY_EXISTS), and settings the
  // port refused show in the baud search.
  lastError = 0;
}

void CSerialPort::RecordError(BOOL ok) {
  if (!ok) lastError = GetLastError();
}

void CSerialPort::Configure() {
  DCB dcb = {};
  dcb.DCBlength = sizeof(dcb);
  if (GetCommState(handle, &dcb)) {
    dcb.BaudRate = 19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fParity = 1;
    bool rtsCts = (kHandshake & 2) != 0, dtrDsr = (kHandshake & 1) != 0,
         xonXoff = (kHandshake & 16) != 0;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = dtrDsr;
    dcb.fDtrControl = dtrDsr ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_DISABLE;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.fBinary = 1;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.XonChar = 0;
    dcb.XoffChar = 0;
    if (SetCommState(handle, &dcb)) currentBaud = 19200;
  }
  SetupComm(handle, 65536, 4096);

  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what is there
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 1000;
  SetCommTimeouts(handle, &timeouts);
  readTimeoutMs = kReadsAtOnce;
  waitsInRead = true;
  PurgeComm(handle, kPurgeAll);
}

BOOL CSerialPort::SetReadTimeout(DWORD ms) {
  if (ms == readTimeoutMs) return TRUE;
  COMMTIMEOUTS timeouts = {};
  if (ms == kReadsAtOnce) {
    timeouts.ReadIntervalTimeout = MAXDWORD;
  } else {
    // No interval and no multiplier: ReadFile returns once it has every byte
    // asked for, or after ms with what came (Wine 8 does both on a pty).
    timeouts.ReadTotalTimeoutConstant = ms;
  }
  timeouts.WriteTotalTimeoutConstant = 1000;
  if (!SetCommTimeouts(handle, &timeouts)) return FALSE;
  readTimeoutMs = ms;
  return TRUE;
}

BOOL CSerialPort::ReadWithin(BYTE* buffer, DWORD count, DWORD waitMs, DWORD* received) {
  *received = 0;
  // A port that takes no timeouts is read as it is set, and polled from now on.
  if (!SetReadTimeout(waitMs)) waitsInRead = false;
  return ReadFile(handle, buffer, count, received, nullptr);
}

CSerialPort::~CSerialPort() {
  if (handle != INVALID_HANDLE_VALUE) {
    PurgeComm(handle, kPurgeAll);
    if (ownsHandle) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
  if (disconnectEvent) CloseHandle(disconnectEvent);
  if (cancelDiscoverEvent) CloseHandle(cancelDiscoverEvent);
  lastDtrToggle = 0;
}

BOOL CSerialPort::ReadSome(BYTE* buffer, DWORD count, DWORD* received) {
  return ReadWithin(buffer, count, kReadsAtOnce, received);
}

HRESULT CSerialPort::Read(BYTE* buffer, WORD* length, DWORD timeoutMs, BOOL full) {
  WORD received = 0;
  DWORD lastByte = GetTickCount();
  // A full read sleeps in ReadFile until its bytes are there, so an answer is
  // seen the moment it is complete; a partial one keeps looking every
  // millisecond for the pause that ends it.
  while (received < *length) {
    const bool waitInRead = full && waitsInRead;
    DWORD count = 0;
    const DWORD room = static_cast<DWORD>(*length - received);
    BOOL ok;
    if (waitInRead) {
      DWORD waited = GetTickCount() - lastByte;
      DWORD left = waited < timeoutMs ? timeoutMs - waited : 0;
      ok = ReadWithin(buffer + received, room, std::min(std::max<DWORD>(left, 1), kFullReadSliceMs), &count);
    } else {
      ok = ReadSome(buffer + received, room, &count);
    }
    if (!ok) {
      lastError = GetLastError();
      ClearCommError(handle, &commErrors, nullptr);
      *length = received;
      return E_FAIL;
    }
    DWORD now = GetTickCount();
    if (count > 0) {
      received = static_cast<WORD>(received + count);
      lastByte = now;
      continue;
    }
    if (received > 0 && !full && now - lastByte > kPartialAnswerPauseMs) break;
    if (now - lastByte > timeoutMs) {
      *length = received;
      return E_READ_TIMEOUT;
    }
    if (!waitInRead || !waitsInRead) Sleep(1);
  }
  *length = received;
  return S_OK;
}

HRESULT CSerialPort::ReadFull(BYTE* buffer, WORD* length, DWORD timeoutMs) {
  return Read(buffer, length, timeoutMs, TRUE);
}

DWORD CSerialPort::Write(const BYTE* buffer, DWORD count) {
  if (handle == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  if (!WriteFile(handle, buffer, count, &written, nullptr)) {
    lastError = GetLastError();
    ClearCommError(handle, &commErrors, nullptr);
    return 0;
  }
  return written;
}

BOOL CSerialPort::ClearErrors() {
  // The first call that fails decides; success leaves no stale code behind.
  DWORD error = 0;
  if (!ClearCommError(handle, &commErrors, nullptr) && !error) error = GetLastError();
  if (!ClearCommBreak(handle) && !error) error = GetLastError();
  if (!PurgeComm(handle, kPurgeAll) && !error) error = GetLastError();
  lastError = error;
  return error == 0;
}

BOOL CSerialPort::Purge(DWORD flags) {
  BOOL ok = PurgeComm(handle, flags);
  RecordError(ok);
  return ok;
}

BOOL CSerialPort::WakeModem() {
  bool raised = false;
  bool cts = IsCtsOn(handle) != FALSE;
  if (cts) {
    EscapeCommFunction(handle, SETDTR);
  } else {
    EscapeCommFunction(handle, CLRDTR);
    DWORD elapsed = GetTickCount() - lastDtrToggle;
    if (elapsed < kDtrLowMs) Sleep(kDtrLowMs - elapsed);
    EscapeCommFunction(handle, SETDTR);
    raised = true;
    DWORD raisedAt = GetTickCount();
    Sleep(kCtsSettleMs);
    for (;;) {
      cts = IsCtsOn(handle) != FALSE;
      if (cts || GetTickCount() - raisedAt >= kCtsWaitMs) break;
      Sleep(10);
    }
  }
  if (!cts) {
    EscapeCommFunction(handle, CLRDTR);
    lastDtrToggle = GetTickCount();
    return FALSE;
  }
  if (raised) Sleep(kAfterWakeMs);
  lastDtrToggle = GetTickCount();
  return TRUE;
}

BOOL CSerialPort::ReadModel() {
  static const char kCommand[] = "AT+CGMM\r";
  ClearErrors();
  if (Write(reinterpret_cast<const BYTE*>(kCommand), 8) < 8) return FALSE;

  char answer[128] = {};
  WORD length = sizeof(answer) - 1;
  Read(reinterpret_cast<BYTE*>(answer), &length, 250, FALSE);
  if (length == 0 || !FindAnswerText(answer, length, "OK")) return FALSE;

  // The model is the first line after the echo; an answer without one has
  // no model.
  const char* end = answer + length;
  const char* p = static_cast<const char*>(memchr(answer, '\n', length));
  if (!p) return FALSE;
  ++p;
  while (p < end && (*p == '\r' || *p == '\n')) ++p;
  const char* q = p;
  while (q < end && *q != '\r' && *q != '\n' && *q != '\0') ++q;
  std::string line(p, q);
  if (line.empty() || line == "OK") return FALSE;
  model = line;
  return TRUE;
}

int CSerialPort::TryBaud(BOOL wake, int baud) {
  DCB dcb = {};
  dcb.DCBlength = sizeof(dcb);
  if (!GetCommState(handle, &dcb)) {
    lastError = GetLastError();
    return 3;
  }
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (baud != currentBaud) {
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!SetCommState(handle, &dcb)) {
      lastError = GetLastError();
      return 3;
    }
    currentBaud = baud;
  }
  ClearErrors();
  if (wake && !WakeModem()) return 1;
  return ReadModel() ? 0 : 2;
}

HRESULT CSerialPort::ResetLine() {
  int candidates[1 + sizeof(kCandidateBauds) / sizeof(kCandidateBauds[0])];
  int count = 0;
  if (initialBaud > 0) candidates[count++] = initialBaud;
  for (int baud : kCandidateBauds)
    if (baud != initialBaud) candidates[count++] = baud;

  BOOL wake = TRUE;
  int result = 3;
  for (int round = 0; round < kSearchRounds; ++round) {
    for (int i = 0; i < count; ++i) {
      result = TryBaud(wake, candidates[i]);
      if (IsStopRequested()) return E_CONNECTION_LOST;
      if (result != 3) wake = FALSE;
      if (result == 0 || result == 1) return result == 0 ? S_OK : E_CONNECTION_LOST;
    }
  }
  return E_CONNECTION_LOST;
}

BOOL CSerialPort::IsStopRequested() {
  // The search that sees a signal consumes it, so a stop asked for once does
  // not fail every later search of every process.
  for (HANDLE event : {disconnectEvent, cancelDiscoverEvent}) {
    if (event && WaitForSingleObject(event, 10) == WAIT_OBJECT_0) {
      ResetEvent(event);
      return TRUE;
    }
  }
  return FALSE;
}
