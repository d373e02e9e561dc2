// link/Ring.h - intrusive circular doubly linked list; a lone node is an empty ring.
#pragma once

// T derives from Ring<T>. A head is a plain Ring<T> that is never a T, so
// First/Next return null instead of handing the head out as a T.
template <class T>
class Ring {
public:
  Ring() : m_pNext(this), m_pPrev(this) {}
  ~Ring() { Unlink(); }
  Ring(const Ring&) = delete;
  Ring& operator=(const Ring&) = delete;

  bool IsEmpty() const { return m_pNext == this; }
  bool IsLinked() const { return m_pNext != this; }

  // On a head: the first node, or null when the ring is empty.
  T* First() const { return IsEmpty() ? nullptr : static_cast<T*>(m_pNext); }
  // On a head: the node after node, or null at the end.
  T* Next(const Ring* node) const {
    return node->m_pNext == this ? nullptr : static_cast<T*>(node->m_pNext);
  }

  // Links this node directly behind position (unlinking it first).
  void InsertAfter(Ring* position) {
    Unlink();
    m_pPrev = position;
    m_pNext = position->m_pNext;
    position->m_pNext->m_pPrev = this;
    position->m_pNext = this;
  }
  // Links this node directly in front of position (at the tail when position is a head).
  void InsertBefore(Ring* position) { InsertAfter(position->m_pPrev); }

  void Unlink() {
    m_pPrev->m_pNext = m_pNext;
    m_pNext->m_pPrev = m_pPrev;
    m_pNext = m_pPrev = this;
  }

private:
  Ring* m_pNext;
  Ring* m_pPrev;
};
