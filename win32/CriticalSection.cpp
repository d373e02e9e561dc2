// win32/CriticalSection.cpp - the critical section.
#include "CriticalSection.h"

CCriticalSection::CCriticalSection() : m_enteredAtConstruction(false) {
  InitializeCriticalSection(&m_section);
}

CCriticalSection::CCriticalSection(bool enter) : m_enteredAtConstruction(enter) {
  InitializeCriticalSection(&m_section);
  if (enter) EnterCriticalSection(&m_section);
}

CCriticalSection::~CCriticalSection() {
  if (m_enteredAtConstruction) LeaveCriticalSection(&m_section);
  DeleteCriticalSection(&m_section);
}

void CCriticalSection::Enter() { EnterCriticalSection(&m_section); }
bool CCriticalSection::TryEnter() { return TryEnterCriticalSection(&m_section) != FALSE; }
void CCriticalSection::Leave() { LeaveCriticalSection(&m_section); }

void CCriticalSection::Enter(CCriticalSection* lock) {
  if (lock) lock->Enter();
}

void CCriticalSection::Leave(CCriticalSection* lock) {
  if (lock) lock->Leave();
}
