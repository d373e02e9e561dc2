// link/SuiteString.cpp - the suite's BSTR string and its path and wildcard helpers.
#include "SuiteString.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

// Narrow texts this long cannot become a BSTR with room to spare; refuse them.
constexpr size_t kMaxNarrowLength = 0x3FFFFFFF;

// A new BSTR holding a then b; null when the joined length does not fit or
// memory is short. Never sized on the stack: texts come from COM clients.
BSTR JoinUnits(const wchar_t* a, UINT lengthA, const wchar_t* b, UINT lengthB) {
  if (lengthA > UINT_MAX / 2 - lengthB) return nullptr;
  BSTR joined = SysAllocStringLen(nullptr, lengthA + lengthB);
  if (!joined) return nullptr;
  if (lengthA) memcpy(joined, a, lengthA * sizeof(wchar_t));
  if (lengthB) memcpy(joined + lengthA, b, lengthB * sizeof(wchar_t));
  joined[lengthA + lengthB] = L'\0';
  return joined;
}

CBstr Joined(const wchar_t* a, UINT lengthA, const wchar_t* b, UINT lengthB) {
  CBstr result;
  result.Attach(JoinUnits(a, lengthA, b, lengthB));
  return result;
}

bool UnitsMatch(const wchar_t* text, const wchar_t* pattern, int length) {
  for (int i = 0; i < length; ++i)
    if (pattern[i] != L'?' && pattern[i] != text[i]) return false;
  return true;
}

// Length up to the first NUL within the first length units, as the
// NUL-terminated comparison sees it.
int CutAtNul(const wchar_t* text, int length) {
  if (!text || length <= 0) return 0;
  int n = 0;
  while (n < length && text[n]) ++n;
  return n;
}

}  // namespace

CBstr::CBstr(const wchar_t* text) : m_bstr(text ? SysAllocString(text) : nullptr) {}

CBstr::CBstr(const char* narrow) {
  if (!narrow) return;
  size_t length = strlen(narrow);
  if (length >= kMaxNarrowLength) return;
  if (length == 0) {
    m_bstr = SysAllocString(L"");
    return;
  }
  // Ask for the size first: a multi-byte text may need fewer units than bytes.
  int units = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, static_cast<int>(length), nullptr, 0);
  if (units <= 0) return;
  BSTR text = SysAllocStringLen(nullptr, units);
  if (!text) return;
  if (MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, static_cast<int>(length), text, units) != units) {
    SysFreeString(text);
    return;
  }
  text[units] = L'\0';
  m_bstr = text;
}

CBstr::CBstr(const wchar_t* text, UINT length)
    : m_bstr(text ? SysAllocStringLen(text, length) : nullptr) {}

CBstr::CBstr(ULONG number, int radix) {
  if (radix < 2 || radix > 36) return;
  wchar_t digits[33];  // 32 binary digits and the NUL
  int pos = 32;
  digits[pos] = L'\0';
  do {
    ULONG digit = number % static_cast<ULONG>(radix);
    digits[--pos] = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
    number /= static_cast<ULONG>(radix);
  } while (number);
  m_bstr = SysAllocString(digits + pos);
}

CBstr::CBstr(const CBstr& copy)
    : m_bstr(copy.m_bstr ? SysAllocStringLen(copy.m_bstr, copy.GetLength()) : nullptr) {}

CBstr::CBstr(CBstr&& other) noexcept : m_bstr(other.m_bstr), m_narrow(other.m_narrow) {
  other.m_bstr = nullptr;
  other.m_narrow = nullptr;
}

CBstr& CBstr::operator=(const CBstr& copy) {
  Assign(copy);
  return *this;
}

CBstr& CBstr::operator=(CBstr&& other) noexcept {
  if (this != &other) {
    Empty();
    m_bstr = other.m_bstr;
    m_narrow = other.m_narrow;
    other.m_bstr = nullptr;
    other.m_narrow = nullptr;
  }
  return *this;
}

CBstr::~CBstr() { Empty(); }

void CBstr::DropNarrow() {
  delete[] m_narrow;
  m_narrow = nullptr;
}

void CBstr::Empty() {
  DropNarrow();
  SysFreeString(m_bstr);
  m_bstr = nullptr;
}

UINT CBstr::GetLength() const { return m_bstr ? SysStringLen(m_bstr) : 0; }

wchar_t CBstr::GetAt(UINT index) const { return index < GetLength() ? m_bstr[index] : L'\0'; }

void CBstr::Assign(const wchar_t* text) {
  BSTR fresh = text ? SysAllocString(text) : nullptr;
  Empty();
  m_bstr = fresh;
}

void CBstr::Assign(const CBstr& copy) {
  if (this == &copy) return;
  BSTR fresh = copy.m_bstr ? SysAllocStringLen(copy.m_bstr, copy.GetLength()) : nullptr;
  Empty();
  m_bstr = fresh;
}

void CBstr::Append(const wchar_t* text) {
  BSTR joined = JoinUnits(m_bstr, GetLength(), text, static_cast<UINT>(SafeTextLength(text)));
  if (!joined) return;  // out of memory: the old text stays
  Attach(joined);
}

void CBstr::Append(const CBstr& copy) {
  BSTR joined = JoinUnits(m_bstr, GetLength(), copy.m_bstr, copy.GetLength());
  if (!joined) return;
  Attach(joined);
}

CBstr CBstr::GetField(wchar_t separator, int index) const {
  if (index < 0) return CBstr();
  const int length = static_cast<int>(GetLength());
  int start = 0;
  for (int field = 0; field < index; ++field) {
    while (start < length && m_bstr[start] != separator) ++start;
    if (start >= length) return CBstr();
    ++start;  // past the separator
  }
  int end = start;
  while (end < length && m_bstr[end] != separator) ++end;
  return Mid(start, end);
}

int CBstr::CountFields(wchar_t separator) const {
  if (!m_bstr) return 0;
  const UINT length = GetLength();
  int count = 1;
  for (UINT i = 0; i < length; ++i)
    if (m_bstr[i] == separator) ++count;
  return count;
}

CBstr CBstr::Mid(int from, int to) const {
  const int length = static_cast<int>(GetLength());
  if (from < 0) from = 0;
  if (from > length) from = length;
  if (to < 0) to = 0;
  if (to > length) to = length;
  if (from >= to) return CBstr();
  return CBstr(m_bstr + from, static_cast<UINT>(to - from));
}

CBstr CBstr::Mid(int from) const { return Mid(from, static_cast<int>(GetLength())); }

const char* CBstr::GetNarrow() {
  if (m_narrow) return m_narrow;
  const int length = static_cast<int>(GetLength());
  if (length == 0) return nullptr;
  // Sized by the code page's needs (a unit can take several bytes), on the heap.
  int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, m_bstr, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return nullptr;
  char* narrow = new (std::nothrow) char[static_cast<size_t>(bytes) + 1];
  if (!narrow) return nullptr;
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, m_bstr, length, narrow, bytes, nullptr, nullptr) != bytes) {
    delete[] narrow;
    return nullptr;
  }
  narrow[bytes] = '\0';
  m_narrow = narrow;
  return m_narrow;
}

BSTR CBstr::Copy() const { return m_bstr ? SysAllocStringLen(m_bstr, GetLength()) : nullptr; }

BSTR CBstr::Detach() {
  DropNarrow();
  BSTR text = m_bstr;
  m_bstr = nullptr;
  return text;
}

void CBstr::Attach(BSTR text) {
  if (text == m_bstr) return;
  Empty();
  m_bstr = text;
}

CBstr ConcatStrings(const CBstr& first, const CBstr& second) {
  return Joined(first.GetBstr(), first.GetLength(), second.GetBstr(), second.GetLength());
}

CBstr ConcatStrings(const CBstr& first, const wchar_t* second) {
  return Joined(first.GetBstr(), first.GetLength(), second,
                static_cast<UINT>(SafeTextLength(second)));
}

CBstr ConcatStrings(const wchar_t* first, const CBstr& second) {
  return Joined(first, static_cast<UINT>(SafeTextLength(first)), second.GetBstr(),
                second.GetLength());
}

CBstr MakeLower(const CBstr& text) {
  CBstr lower(text);
  // Whole length, so embedded NULs do not stop it; CharLowerBuff folds
  // non-ASCII letters as the case-blind comparisons below do.
  if (lower.GetLength()) CharLowerBuffW(lower.GetBstr(), lower.GetLength());
  return lower;
}

int SafeTextLength(const wchar_t* text) { return text ? lstrlenW(text) : 0; }

int CompareCountedText(const wchar_t* a, int lengthA, const wchar_t* b, int lengthB,
                       BOOL caseSensitive) {
  // The same order as lstrcmp(i)W of NUL-terminated copies, without making the
  // copies: CompareString takes the lengths.
  const int na = CutAtNul(a, lengthA);
  const int nb = CutAtNul(b, lengthB);
  const DWORD flags = caseSensitive ? 0 : NORM_IGNORECASE;
  int order = CompareStringW(GetThreadLocale(), flags, na ? a : L"", na, nb ? b : L"", nb);
  if (order == 0) {  // cannot happen for valid texts; fall back to the units
    for (int i = 0; i < na && i < nb; ++i)
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
  }
  return order - CSTR_EQUAL;
}

int CompareText(const wchar_t* a, const wchar_t* b, BOOL caseSensitive) {
  return CompareCountedText(a, SafeTextLength(a), b, SafeTextLength(b), caseSensitive);
}

CBstr GetDrivePart(const CBstr& path) {
  const UINT length = path.GetLength();
  if (length < 2) return CBstr();
  if (path.GetAt(1) == L':') return path.Mid(0, 2);
  if (length > 2 && path.GetAt(0) == L'\\' && path.GetAt(2) == L':') return path.Mid(1, 3);
  return CBstr();
}

CBstr GetParentPath(const CBstr& path) {
  const int length = static_cast<int>(path.GetLength());
  for (int i = length - 1; i >= 0; --i) {
    if (path.GetAt(i) == L'\\') return path.Mid(0, i);
    if (i == 1 && path.GetAt(1) == L':' && length > 2) return path.Mid(0, 2);
  }
  return CBstr();
}

CBstr GetNamePart(const CBstr& path) {
  const int length = static_cast<int>(path.GetLength());
  for (int i = length - 1; i >= 0; --i) {
    if (path.GetAt(i) == L'\\') return path.Mid(i + 1);
    if (i == 1 && path.GetAt(1) == L':') return path.Mid(2);
  }
  return path;
}

int FindPatternAt(const wchar_t* text, int textLength, const wchar_t* pattern, int patternLength) {
  for (int i = 0; i <= textLength - patternLength; ++i)
    if (UnitsMatch(text + i, pattern, patternLength)) return i;
  return -1;
}

BOOL MatchWildcard(const CBstr& name, const CBstr& pattern, BOOL caseSensitive) {
  const CBstr n = caseSensitive ? name : MakeLower(name);
  const CBstr p = caseSensitive ? pattern : MakeLower(pattern);
  const wchar_t* N = n.GetBstr() ? n.GetBstr() : L"";
  const wchar_t* P = p.GetBstr() ? p.GetBstr() : L"";
  const int nameLength = static_cast<int>(n.GetLength());
  int patternLength = static_cast<int>(p.GetLength());

  bool nameHasDot = false;
  for (int i = 0; i < nameLength; ++i)
    if (N[i] == L'.') nameHasDot = true;

  // Optional tail: a last '?' or '.' (with the stars after it) may be left
  // unmatched by a name without a dot.
  int tail = 0;
  int last = patternLength - 1;
  while (last >= 0 && P[last] == L'*') --last;
  if (last >= 0 && (P[last] == L'?' || P[last] == L'.') && !nameHasDot) {
    tail = patternLength - last;
    patternLength = last;
  }
  const wchar_t* tailText = P + patternLength;

  // Fixed head up to the first star.
  int ni = 0, pi = 0;
  if (patternLength == 0 || P[0] != L'*') {
    int head = 0;
    while (head < patternLength && P[head] != L'*') ++head;
    if (nameLength < head || !UnitsMatch(N, P, head)) return FALSE;
    ni = pi = head;
  }
  if (pi == patternLength) {
    const int left = nameLength - ni;
    if (left == 0) return TRUE;
    return tail > 0 && tailText[0] != L'.' && !(tail == 1 && left > 1);
  }

  for (;;) {
    while (pi < patternLength && P[pi] == L'*') ++pi;
    if (pi == patternLength) return TRUE;
    int k = 0;
    while (pi + k < patternLength && P[pi + k] != L'*') ++k;
    const int left = nameLength - ni;
    if (left < k) return FALSE;
    if (pi + k == patternLength) {
      // The last segment must end the name.
      if (UnitsMatch(N + nameLength - k, P + pi, k)) return TRUE;
      if (tail == 0) return FALSE;
      // Take the tail back and try the segment with its first unit.
      patternLength += tail;
      tail = 0;
      ++k;
      if (left < k) return FALSE;
      if (pi + k == patternLength) return UnitsMatch(N + nameLength - k, P + pi, k) ? TRUE : FALSE;
    }
    const int at = FindPatternAt(N + ni, left, P + pi, k);
    if (at < 0) return FALSE;
    ni += at + k;
    pi += k;
  }
}
