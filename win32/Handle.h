// win32/Handle.h - kernel handles that close themselves, once.
#pragma once
#include <windows.h>

// Owns one handle. Null and INVALID_HANDLE_VALUE both mean none (CreateFile
// fails with the one, the other creators with the other). Movable, not copyable.
class CHandle {
public:
  CHandle() = default;
  explicit CHandle(HANDLE handle) : m_handle(handle) {}
  ~CHandle() { Close(); }
  CHandle(CHandle&& other) noexcept : m_handle(other.Detach()) {}
  CHandle& operator=(CHandle&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;

  bool IsValid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_handle; }
  operator HANDLE() const { return m_handle; }
  // Closes what it held, then owns handle.
  void Attach(HANDLE handle) {
    if (handle == m_handle) return;
    Close();
    m_handle = handle;
  }
  HANDLE Detach() {
    HANDLE handle = m_handle;
    m_handle = nullptr;
    return handle;
  }
  void Close() {
    if (IsValid()) CloseHandle(m_handle);
    m_handle = nullptr;
  }

private:
  HANDLE m_handle = nullptr;
};

// An event object; invalid when it could not be made.
class CEvent : public CHandle {
public:
  enum class Kind { ManualReset, AutoReset };
  CEvent() = default;
  explicit CEvent(Kind kind, bool signalled = false, const wchar_t* name = nullptr)
      : CHandle(CreateEventW(nullptr, kind == Kind::ManualReset, signalled, name)) {}

  bool Set() const { return SetEvent(Get()) != FALSE; }
  bool Reset() const { return ResetEvent(Get()) != FALSE; }
  // Without waiting: whether the event is signalled now (an auto-reset one is
  // reset by the look).
  bool IsSet() const { return WaitForSingleObject(Get(), 0) == WAIT_OBJECT_0; }
};
