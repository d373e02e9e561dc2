// link/SuiteString.h - the suite's BSTR string and its path and wildcard helpers.
#pragma once
#include <windows.h>
#include <oleauto.h>

// Owns a BSTR (null means empty) and a lazily made narrow copy in the thread
// code page. Copies are deep; texts taken by length keep embedded NULs.
class CBstr {
public:
  CBstr() = default;
  CBstr(const wchar_t* text);                   // NUL-terminated; null gives empty
  explicit CBstr(const char* narrow);           // thread code page; null or failure gives empty
  CBstr(const wchar_t* text, UINT length);      // first length units
  CBstr(ULONG number, int radix);               // digits of number in radix 2..36
  CBstr(const CBstr& copy);
  CBstr(CBstr&& other) noexcept;
  CBstr& operator=(const CBstr& copy);
  CBstr& operator=(CBstr&& other) noexcept;
  ~CBstr();

  void Empty();
  UINT GetLength() const;
  wchar_t GetAt(UINT index) const;              // 0 when index is past the end
  void Assign(const wchar_t* text);
  void Assign(const CBstr& copy);
  void Append(const wchar_t* text);
  void Append(const CBstr& copy);
  CBstr GetField(wchar_t separator, int index) const;
  int CountFields(wchar_t separator) const;     // 0 for a null text
  CBstr Mid(int from, int to) const;
  CBstr Mid(int from) const;
  const char* GetNarrow();                      // null when empty; owned by the object
  BSTR GetBstr() const { return m_bstr; }
  CBstr* GetAddress() { return this; }
  BSTR Copy() const;                            // a new BSTR for the caller (null when empty)
  BSTR Detach();                                // hands the BSTR over; the object is empty
  void Attach(BSTR text);                       // takes ownership

private:
  void DropNarrow();
  BSTR m_bstr = nullptr;
  char* m_narrow = nullptr;
};

CBstr ConcatStrings(const CBstr& first, const CBstr& second);
CBstr ConcatStrings(const CBstr& first, const wchar_t* second);
CBstr ConcatStrings(const wchar_t* first, const CBstr& second);
CBstr MakeLower(const CBstr& text);

int SafeTextLength(const wchar_t* text);
int CompareCountedText(const wchar_t* a, int lengthA, const wchar_t* b, int lengthB,
                       BOOL caseSensitive);
int CompareText(const wchar_t* a, const wchar_t* b, BOOL caseSensitive);

// Module paths: \X:\folder\name or X:\folder\name.
CBstr GetDrivePart(const CBstr& path);
CBstr GetParentPath(const CBstr& path);
CBstr GetNamePart(const CBstr& path);

// '*' any run, '?' any one unit; a trailing '?' or '.' is optional for names
// without a dot, as the module's listings expect (so "*.*" matches "readme").
BOOL MatchWildcard(const CBstr& name, const CBstr& pattern, BOOL caseSensitive);
int FindPatternAt(const wchar_t* text, int textLength, const wchar_t* pattern, int patternLength);
