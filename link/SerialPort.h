// link/SerialPort.h - the serial port the module hangs on: configuration,
// reads with a silence rule, DTR wake-up and the baud search.
#pragma once
#include <windows.h>

#include <string>

// Shared by every port object of every process (server and ZTRInit alike).
extern const wchar_t kDisconnectEventNameW[];
extern const wchar_t kCancelDiscoverEventNameW[];

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// Longest port name accepted; "\\.\" + name must stay a valid device path.
constexpr size_t kMaxPortNameChars = MAX_PATH - 5;

// pattern inside the first length bytes of an answer (which may hold NULs).
const char* FindAnswerText(const char* text, size_t length, const char* pattern);

struct SerialEventNames {
  const wchar_t* disconnect;
  const wchar_t* cancelDiscover;
};

class CSerialPort {
public:
  // handle = INVALID_HANDLE_VALUE: the port is opened here by name. Failure
  // shows in GetLastErrorCode() (0 after success).
  CSerialPort(const wchar_t* portName, int initialBaud, HANDLE handle);
  // The same with other event names (tests that must not disturb other
  // processes on the machine).
  CSerialPort(const wchar_t* portName, int initialBaud, HANDLE handle,
              const SerialEventNames& events);
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // length in: room in buffer; out: bytes received. Without full, a pause of
  // over 50 ms after some data ends the read; the timeout counts from the
  // last byte received.
  virtual HRESULT Read(BYTE* buffer, WORD* length, DWORD timeoutMs, BOOL full);
  virtual HRESULT ReadFull(BYTE* buffer, WORD* length, DWORD timeoutMs);
  virtual DWORD Write(const BYTE* buffer, DWORD count);  // bytes written

  BOOL ClearErrors();
  BOOL Purge(DWORD flags);
  BOOL WakeModem();       // 1 when CTS is on at the end
  BOOL ReadModel();       // AT+CGMM; 1 when a model was stored
  HRESULT ResetLine();    // baud search: S_OK or E_CONNECTION_LOST
  BOOL IsStopRequested(); // a named event asked to stop a search (it is consumed)

  const std::string& GetModel() const { return model; }
  HANDLE GetHandle() const { return handle; }
  BOOL IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
  DWORD GetLastErrorCode() const { return lastError; }
  int GetCurrentBaud() const { return currentBaud; }

protected:
  // For test doubles: takes handle as it is, configures nothing, makes no
  // events.
  explicit CSerialPort(HANDLE handle);
  // One non-blocking read from the port (the timeouts make ReadFile return
  // at once).
  virtual BOOL ReadSome(BYTE* buffer, DWORD count, DWORD* received);
  // One read that waits up to waitMs for all count bytes (MAXDWORD: returns
  // at once with what is there).
  BOOL ReadWithin(BYTE* buffer, DWORD count, DWORD waitMs, DWORD* received);
  BOOL SetReadTimeout(DWORD ms);

  // 0 = model read, 1 = no CTS after the wake-up, 2 = no model, 3 = settings failed.
  int TryBaud(BOOL wake, int baud);
  void Configure();
  void RecordError(BOOL ok);
  void Open(const wchar_t* portName, int baud, HANDLE given, const SerialEventNames& events);

  std::string model;
  HANDLE handle;
  bool ownsHandle;
  DWORD lastError;
  DWORD commErrors;
  int initialBaud;
  std::wstring deviceName;
  HANDLE disconnectEvent;
  HANDLE cancelDiscoverEvent;
  DWORD lastDtrToggle;
  int currentBaud;
  DWORD readTimeoutMs;  // what the port's read timeouts are set to
  bool waitsInRead;     // a configured port: full reads wait in ReadFile
};
