// tools/common/ModulePath.cpp - parsing "mod:" paths.
#include "ModulePath.h"
#include <windows.h>
#include <cwchar>

bool ParseModulePath(const wchar_t* argument, wchar_t* buffer, size_t size) {
  if (!argument || !buffer || size <= 1 || _wcsnicmp(argument, L"mod:", 4) != 0) return false;
  size_t length = 0;
  buffer[length++] = L'\\';
  const wchar_t* rest = argument + 4;
  if (*rest == L'\\') ++rest;
  if (rest[0] && rest[1] == L':') {
    if (size - 1 <= 1) return false;
    wchar_t drive = rest[0];
    CharUpperBuffW(&drive, 1);
    buffer[length++] = drive;
    // A drive that is no letter gets no ":\" ("mod:1:x" gives "\1x").
    if (drive >= L'A' && drive <= L'Z') {
      if (size - 2 <= 2) return false;
      buffer[length++] = L':';
      buffer[length++] = L'\\';
    }
    rest += 2;
  } else {
    if (size - 1 <= 3) return false;
    buffer[length++] = L'A';
    buffer[length++] = L':';
    buffer[length++] = L'\\';
  }
  if (*rest == L'\\') ++rest;
  size_t restLength = wcslen(rest);
  if (restLength >= size - length) return false;
  wmemcpy(buffer + length, rest, restLength + 1);
  return length + restLength >= 4;
}

int ReplaceChar(wchar_t* text, wchar_t from, wchar_t to) {
  int count = 0;
  for (; text && *text; ++text) {
    if (*text == from) {
      *text = to;
      ++count;
    }
  }
  return count;
}

bool PrepareModulePath(wchar_t* argument, wchar_t (&buffer)[kModulePathSize]) {
  ReplaceChar(argument, L'/', L'\\');
  return ParseModulePath(argument, buffer, kModulePathSize);
}
