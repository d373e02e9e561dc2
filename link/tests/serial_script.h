// link/tests/serial_script.h - an in-process serial port that plays a script,
// for what a pty cannot show (write boundaries, exact timing of answers).
#pragma once
#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "SerialPort.h"

class CScriptedPort : public CSerialPort {
public:
  // A handle that is valid but no comm device, so the port counts as open
  // while every comm call on it fails harmlessly.
  CScriptedPort() : CSerialPort(CreateEventW(nullptr, TRUE, FALSE, nullptr)), start(GetTickCount()) {}
  ~CScriptedPort() override { CloseHandle(handle); }

  // Bytes that become readable atMs after construction (or after Restart).
  void Arrive(DWORD atMs, const std::string& bytes) { pending.push_back({atMs, bytes}); }
  // Whenever exactly command is written, answer becomes readable at once.
  void Answer(const std::string& command, const std::string& answer) { answers[command] = answer; }
  void Restart() { start = GetTickCount(); }

  // Write behaviour: take at most maxPiece bytes per write (0 = all); or
  // take nothing for the first stallMs (0 forever with stallForever); or
  // fail with error.
  DWORD maxPiece = 0;
  DWORD stallMs = 0;
  bool stallForever = false;
  DWORD failWith = 0;
  bool failReads = false;

  std::vector<DWORD> writeSizes;  // what each Write was asked to take
  std::string written;            // everything that was taken

  DWORD Write(const BYTE* buffer, DWORD count) override {
    writeSizes.push_back(count);
    if (failWith) {
      lastError = failWith;
      return 0;
    }
    if (stallForever || (stallMs && GetTickCount() - start < stallMs)) return 0;
    DWORD n = (maxPiece && count > maxPiece) ? maxPiece : count;
    std::string data(reinterpret_cast<const char*>(buffer), n);
    written += data;
    auto it = answers.find(data);
    if (it != answers.end()) pending.push_back({GetTickCount() - start, it->second});
    return n;
  }

  void SetModelText(const std::string& text) { model = text; }

protected:
  BOOL ReadSome(BYTE* buffer, DWORD count, DWORD* received) override {
    *received = 0;
    if (failReads) {
      SetLastError(ERROR_GEN_FAILURE);
      return FALSE;
    }
    DWORD now = GetTickCount() - start;
    while (count > 0 && !pending.empty() && pending.front().atMs <= now) {
      std::string& bytes = pending.front().bytes;
      DWORD n = bytes.size() < count ? static_cast<DWORD>(bytes.size()) : count;
      memcpy(buffer + *received, bytes.data(), n);
      *received += n;
      count -= n;
      bytes.erase(0, n);
      if (bytes.empty()) pending.pop_front();
    }
    return TRUE;
  }

private:
  struct Chunk {
    DWORD atMs;
    std::string bytes;
  };
  DWORD start;
  std::deque<Chunk> pending;
  std::map<std::string, std::string> answers;
};

// Event names of this test process only: setting the machine-wide ones
// would stop the searches of tests running beside this one.
struct PrivateEvents {
  PrivateEvents() {
    wsprintfW(disconnect, L"VksTestDisconnect_%lu", GetCurrentProcessId());
    wsprintfW(cancel, L"VksTestCancel_%lu", GetCurrentProcessId());
  }
  SerialEventNames Names() const { return {disconnect, cancel}; }
  wchar_t disconnect[64];
  wchar_t cancel[64];
};

// Milliseconds a call took.
template <typename F>
DWORD TimeMs(F f) {
  DWORD t0 = GetTickCount();
  f();
  return GetTickCount() - t0;
}
