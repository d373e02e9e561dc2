// link/OBEXUtility.cpp - the module's folder-listing XML, permission texts, times, path rule.
//
// The listing scanner is fitted to the module's output but reads only inside
// the text it is given: every step checks the end. A listing that breaks off
// or does not parse fails as a whole, so no part of a folder passes for all
// of it.
#include "OBEXUtility.h"

#include <objbase.h>

#include <cstring>

#include "SuiteUtil.h"

namespace {

constexpr size_t kNameUnits = 128;  // name buffer of a parsed entry, NUL included
constexpr size_t kMaxSizeDigits = 15;

struct ParsedElement {
  bool isFolder = false;
  bool hasName = false;
  wchar_t name[kNameUnits] = {};
  DWORD size = 0;
  DWORD attributes = 0;
  DATE created = 0;
  DATE accessed = 0;
  DATE modified = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == ':';
}

bool StartsWith(const char* p, const char* end, const char* literal) {
  const size_t n = strlen(literal);
  return static_cast<size_t>(end - p) >= n && memcmp(p, literal, n) == 0;
}

bool Equals(const char* p, size_t length, const char* literal) {
  return strlen(literal) == length && memcmp(p, literal, length) == 0;
}

// Behind the first occurrence of literal at or after p, or end.
const char* SkipPast(const char* p, const char* end, const char* literal) {
  const size_t n = strlen(literal);
  for (; static_cast<size_t>(end - p) >= n; ++p) {
    if (memcmp(p, literal, n) == 0) return p + n;
  }
  return end;
}

// Behind the '>' that closes a tag, ignoring '>' inside quotes and, for
// declarations, inside an internal subset.
const char* SkipTag(const char* p, const char* end) {
  char quote = 0;
  int bracket = 0;
  for (; p < end; ++p) {
    const char c = *p;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++bracket;
    } else if (c == ']') {
      if (bracket > 0) --bracket;
    } else if (c == '>' && bracket == 0) {
      return p + 1;
    }
  }
  return end;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// One code point of UTF-8 at p; 0 when the bytes are no valid, shortest form.
size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, unsigned* codePoint) {
  const unsigned char b = *p;
  const size_t left = static_cast<size_t>(end - p);
  if (b < 0x80) {
    *codePoint = b;
    return 1;
  }
  if (b >= 0xC2 && b <= 0xDF && left >= 2 && IsContinuation(p[1])) {
    *codePoint = ((b & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    return 2;
  }
  if (b >= 0xE0 && b <= 0xEF && left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
    const unsigned cp = ((b & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    *codePoint = cp;
    return 3;
  }
  if (b >= 0xF0 && b <= 0xF4 && left >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) &&
      IsContinuation(p[3])) {
    const unsigned cp = ((b & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                        (p[3] & 0x3Fu);
    if (cp < 0x10000 || cp > 0x10FFFF) return 0;
    *codePoint = cp;
    return 4;
  }
  return 0;
}

// An entity reference at p ('&'); its length, 0 when it is none.
size_t DecodeEntity(const char* p, const char* end, unsigned* codePoint) {
  static const struct {
    const char* text;
    unsigned value;
  } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& named : kNamed) {
    if (StartsWith(p, end, named.text)) {
      *codePoint = named.value;
      return strlen(named.text);
    }
  }
  if (!StartsWith(p, end, "&#")) return 0;
  const char* q = p + 2;
  const bool hex = q < end && (*q == 'x' || *q == 'X');
  if (hex) ++q;
  unsigned value = 0;
  int digits = 0;
  for (; q < end && digits < 8; ++q, ++digits) {
    const char c = *q;
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
  }
  if (digits == 0 || q >= end || *q != ';') return 0;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return static_cast<size_t>(q + 1 - p);
}

// Decodes a name value; false when it does not fit the entry's buffer.
bool DecodeName(const char* value, size_t length, wchar_t (&name)[kNameUnits]) {
  const char* p = value;
  const char* end = value + length;
  size_t units = 0;
  auto put = [&](unsigned cp) {
    if (cp >= 0x10000) {
      if (units + 2 >= kNameUnits) return false;
      cp -= 0x10000;
      name[units++] = static_cast<wchar_t>(0xD800 + (cp >> 10));
      name[units++] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      return true;
    }
    if (units + 1 >= kNameUnits) return false;
    name[units++] = static_cast<wchar_t>(cp);
    return true;
  };
  while (p < end) {
    unsigned cp = 0;
    size_t used = 0;
    if (*p == '&') used = DecodeEntity(p, end, &cp);
    if (used == 0) {
      used = DecodeUtf8(reinterpret_cast<const unsigned char*>(p),
                        reinterpret_cast<const unsigned char*>(end), &cp);
    }
    if (used == 0) {
      // Not UTF-8: one character of the thread code page.
      wchar_t w = 0;
      if (MultiByteToWideChar(CP_THREAD_ACP, 0, p, 1, &w, 1) != 1 || w == 0) w = 0xFFFD;
      cp = w;
      used = 1;
    }
    if (!put(cp)) return false;
    p += used;
  }
  name[units] = 0;
  return units > 0;
}

bool ParseSize(const char* value, size_t length, DWORD* size) {
  if (length == 0 || length > kMaxSizeDigits) return false;
  ULONGLONG total = 0;
  for (size_t i = 0; i < length; ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
    total = total * 10 + static_cast<ULONGLONG>(value[i] - '0');
  }
  *size = total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(total);
  return true;
}

void ApplyAttribute(ParsedElement& element, const char* name, size_t nameLength, const char* value,
                    size_t valueLength) {
  DATE date = 0;
  if (Equals(name, nameLength, "name")) {
    element.hasName = DecodeName(value, valueLength, element.name);
  } else if (Equals(name, nameLength, "size")) {
    ParseSize(value, valueLength, &element.size);
  } else if (Equals(name, nameLength, "modified")) {
    if (ParseObexTime(value, valueLength, &date)) {
      element.created = element.accessed = element.modified = date;
    }
  } else if (Equals(name, nameLength, "created")) {
    if (ParseObexTime(value, valueLength, &date)) element.created = date;
  } else if (Equals(name, nameLength, "accessed")) {
    if (ParseObexTime(value, valueLength, &date)) element.accessed = date;
  } else if (Equals(name, nameLength, "user-perm")) {
    DWORD bits = 0;
    if (ParsePermissionsUser(value, valueLength, &bits)) {
      element.attributes = (element.attributes & ~DWORD{0x07}) | bits;
    }
  } else if (Equals(name, nameLength, "group-perm")) {
    DWORD bits = 0;
    if (ParsePermissionsGroup(value, valueLength, element.isFolder, &bits)) {
      element.attributes = (element.attributes & ~DWORD{0x20}) | bits;
    }
  }
}

// Attributes of a file or folder element from behind its name up to its '>'.
// *p ends behind the tag. False when the element is broken or cut off.
bool ParseElement(const char** position, const char* end, ParsedElement& element) {
  const char* p = *position;
  for (;;) {
    while (p < end && IsBlank(*p)) ++p;
    if (p >= end) break;
    if (*p == '>') {  // not self-closing: its content is passed over by the main scan
      *position = p + 1;
      return true;
    }
    if (*p == '/') {
      ++p;
      while (p < end && IsBlank(*p)) ++p;
      if (p < end && *p == '>') {
        *position = p + 1;
        return true;
      }
      break;
    }
    const char* name = p;
    while (p < end && IsNameChar(*p)) ++p;
    const size_t nameLength = static_cast<size_t>(p - name);
    while (p < end && IsBlank(*p)) ++p;
    if (nameLength == 0 || p >= end || *p != '=') break;
    ++p;
    while (p < end && IsBlank(*p)) ++p;
    if (p >= end || (*p != '"' && *p != '\'')) break;
    const char quote = *p++;
    const char* value = p;
    while (p < end && *p != quote) ++p;
    // A '<' is no attribute text: the quote was left open.
    if (p >= end || memchr(value, '<', static_cast<size_t>(p - value))) break;
    ApplyAttribute(element, name, nameLength, value, static_cast<size_t>(p - value));
    ++p;
  }
  return false;
}

FolderEntry* MakeEntry(const ParsedElement& element) {
  auto* entry = static_cast<FolderEntry*>(CoTaskMemAlloc(sizeof(FolderEntry)));
  if (!entry) return nullptr;
  memset(entry, 0, sizeof(FolderEntry));
  entry->name = static_cast<wchar_t*>(CoTaskMemAlloc(kNameUnits * sizeof(wchar_t)));
  if (!entry->name) {
    CoTaskMemFree(entry);
    return nullptr;
  }
  memcpy(entry->name, element.name, sizeof(element.name));
  entry->size = element.size;
  entry->attributes = element.attributes | (element.isFolder ? FILE_ATTRIBUTE_DIRECTORY : 0);
  entry->created = element.created;
  entry->accessed = element.accessed;
  entry->modified = element.modified;
  return entry;
}

}  // namespace

int ParseFolderListing(FolderEntry** head, const char* text, BOOL* first) {
  return ParseFolderListing(head, text, text ? strlen(text) : 0, first);
}

int ParseFolderListing(FolderEntry** head, const char* text, size_t length, BOOL* first) {
  if (!head) return kListingEmptyText;
  FolderEntry** link = head;
  if (!first || *first) {
    *head = nullptr;
  } else {
    while (*link) link = &(*link)->next;
  }
  if (!text || !length) return kListingEmptyText;

  const char* p = text;
  const char* nul = static_cast<const char*>(memchr(text, 0, length));
  const char* end = nul ? nul : text + length;
  bool closed = false;
  bool inListing = false;
  bool sawParent = false;
  bool madeEntry = false;
  while (p < end) {
    const char* open = static_cast<const char*>(memchr(p, '<', static_cast<size_t>(end - p)));
    if (!open) break;
    p = open + 1;
    if (StartsWith(p, end, "!--")) {
      p = SkipPast(p + 3, end, "-->");
      continue;
    }
    if (*p == '?') {
      p = SkipPast(p + 1, end, "?>");
      continue;
    }
    if (*p == '!') {
      p = SkipTag(p + 1, end);
      continue;
    }
    const bool closing = *p == '/';
    if (closing) ++p;
    const char* tag = p;
    while (p < end && IsNameChar(*p)) ++p;
    const size_t tagLength = static_cast<size_t>(p - tag);
    if (closing) {
      if (Equals(tag, tagLength, "folder-listing") && inListing) {
        closed = true;
        break;
      }
      p = SkipTag(p, end);
      continue;
    }
    if (Equals(tag, tagLength, "folder-listing")) {
      inListing = true;
      p = SkipTag(p, end);
      continue;
    }
    const bool isFolder = Equals(tag, tagLength, "folder");
    if (!inListing || (!isFolder && !Equals(tag, tagLength, "file"))) {
      if (inListing && Equals(tag, tagLength, "parent-folder")) sawParent = true;
      p = SkipTag(p, end);
      continue;
    }
    ParsedElement element;
    element.isFolder = isFolder;
    if (!ParseElement(&p, end, element)) return kListingMalformed;
    if (!element.hasName) continue;
    FolderEntry* entry = MakeEntry(element);
    if (!entry) return kListingOutOfMemory;
    *link = entry;
    link = &entry->next;
    madeEntry = true;
    if (first) *first = FALSE;
  }
  if (!inListing) return kListingNotAListing;
  if (!closed) return kListingMalformed;
  return (madeEntry || sawParent) ? kListingParsed : kListingNoEntries;
}

bool ParsePermissionsUser(const char* value, size_t length, DWORD* attributes) {
  size_t i = 0;
  DWORD bits = 0;
  if (i < length && value[i] == 'R') ++i; else bits |= FILE_ATTRIBUTE_HIDDEN;
  if (i < length && value[i] == 'W') ++i; else bits |= FILE_ATTRIBUTE_READONLY;
  if (i < length && value[i] == 'D') ++i; else bits |= FILE_ATTRIBUTE_SYSTEM;
  if (i != length) return false;
  *attributes = bits;
  return true;
}

bool ParsePermissionsGroup(const char* value, size_t length, bool isFolder, DWORD* attributes) {
  size_t i = 0;
  DWORD bits = 0;
  if (i < length && value[i] == 'R') {
    ++i;
    bits |= FILE_ATTRIBUTE_ARCHIVE;
  }
  if (i < length && value[i] == 'W') {
    ++i;
    if (isFolder) bits |= FILE_ATTRIBUTE_DIRECTORY;
  }
  if (i != length) return false;
  *attributes = bits;
  return true;
}

bool ParseObexTime(const char* value, size_t length, DATE* date) {
  if (!value || length < 15) return false;
  auto number = [&](size_t at, size_t digits, WORD* out) {
    WORD n = 0;
    for (size_t i = at; i < at + digits; ++i) {
      if (value[i] < '0' || value[i] > '9') return false;
      n = static_cast<WORD>(n * 10 + (value[i] - '0'));
    }
    *out = n;
    return true;
  };
  SYSTEMTIME st = {};
  if (!number(0, 4, &st.wYear) || !number(4, 2, &st.wMonth) || !number(6, 2, &st.wDay) ||
      !number(9, 2, &st.wHour) || !number(11, 2, &st.wMinute) || !number(13, 2, &st.wSecond)) {
    return false;
  }
  DATE result = 0;
  if (!SystemTimeToDate(st, &result)) return false;
  *date = result;
  return true;
}

void FormatPermissions(DWORD attributes, char text[16]) {
  size_t n = 0;
  text[n++] = '"';
  if (attributes & FILE_ATTRIBUTE_NORMAL) {
    text[n++] = 'R';
    text[n++] = 'W';
    text[n++] = 'D';
  } else {
    if (!(attributes & FILE_ATTRIBUTE_HIDDEN)) text[n++] = 'R';
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) text[n++] = 'W';
    if (!(attributes & FILE_ATTRIBUTE_SYSTEM)) text[n++] = 'D';
    text[n++] = '"';
    text[n++] = '"';
    if (attributes & FILE_ATTRIBUTE_ARCHIVE) text[n++] = 'R';
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) text[n++] = 'W';
  }
  text[n++] = '"';
  text[n] = 0;
}

bool IsValidObexPath(const wchar_t* path) {
  if (!path) return false;
  const size_t length = wcslen(path);
  if (wcschr(path, L'/')) return false;
  // The callers copy the whole text into 128-unit buffers.
  if (length >= 128) return false;
  size_t trimmed = length;
  while (trimmed > 0 && (path[trimmed - 1] == L'\\' || path[trimmed - 1] == L'*')) --trimmed;
  const size_t limit = (length > 1 && path[1] == L':') ? 128 : 126;
  return trimmed < limit;
}
