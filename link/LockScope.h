// link/LockScope.h - holds a CCriticalSection for the life of a scope.
#pragma once
#include "SuiteUtil.h"

class CLockScope {
public:
  explicit CLockScope(CCriticalSection& lock) : m_lock(lock) { m_lock.Enter(); }
  ~CLockScope() { m_lock.Leave(); }
  CLockScope(const CLockScope&) = delete;
  CLockScope& operator=(const CLockScope&) = delete;

private:
  CCriticalSection& m_lock;
};
