// win32/CriticalSection.h - a critical section and the scope that holds it.
#pragma once
#include <windows.h>

// Re-entrant for its owner. Constructed with enter = true it is also a scoped
// lock for itself (it leaves on destruction).
class CCriticalSection {
public:
  CCriticalSection();
  explicit CCriticalSection(bool enter);
  ~CCriticalSection();
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter();
  // Enters only when no other thread holds it; true when it did.
  bool TryEnter();
  void Leave();
  // For a lock that may not exist: nothing happens for null.
  static void Enter(CCriticalSection* lock);
  static void Leave(CCriticalSection* lock);

private:
  CRITICAL_SECTION m_section;
  bool m_enteredAtConstruction;
};

// Holds a CCriticalSection for the life of a scope.
class CLockScope {
public:
  explicit CLockScope(CCriticalSection& lock) : m_lock(lock) { m_lock.Enter(); }
  ~CLockScope() { m_lock.Leave(); }
  CLockScope(const CLockScope&) = delete;
  CLockScope& operator=(const CLockScope&) = delete;

private:
  CCriticalSection& m_lock;
};
