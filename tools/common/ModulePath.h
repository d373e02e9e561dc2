// tools/common/ModulePath.h - module paths of the command line ("mod:a:\dir") as server paths ("\A:\dir").
#pragma once
#include <cstddef>

// Room for a parsed module path, terminator included.
const size_t kModulePathSize = 270;

// "mod:" (any case), an optional "\", an optional drive "x:", an optional "\",
// then the path. The result is "\", the upper-case drive, ":\" and the path;
// drive A when none is given. False when the argument does not begin with
// "mod:", the buffer is too small, or the result is shorter than four characters.
bool ParseModulePath(const wchar_t* argument, wchar_t* buffer, size_t size);

// Replaces every from by to in place; the number replaced (0 for null).
int ReplaceChar(wchar_t* text, wchar_t from, wchar_t to);

// What every tool does with a module path argument: '/' becomes '\', then it
// is parsed into buffer.
bool PrepareModulePath(wchar_t* argument, wchar_t (&buffer)[kModulePathSize]);
