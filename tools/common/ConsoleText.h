// tools/common/ConsoleText.h - what the console tools print: usage, wrapped error texts, OEM text.
#pragma once
#include <windows.h>
#include <string>

class CEntryList;
struct IVKSVolume;

// Printed by every usage text for its "%s".
extern const char kToolVersion[];
// The fallback lines of CheckResult; "%x" takes the code.
extern const char kModuleErrorFormat[];        // "Unknown error accessing module: 0x%x\n"
extern const char kPortErrorFormat[];          // "Unknown error setting module port: 0x%x\n"
extern const char kCloseErrorFormat[];         // "Unknown error closing VKS port: 0x%x\n"

// printf of a usage text whose one "%s" is the version.
void PrintUsage(const char* usage);

// Breaks lines of a narrow text in place at spaces so that they fit width
// columns; a word of width or more characters stays whole on its own line.
void WrapText(char* text, int width);

// A wide text (a module path, a server text) in the console's OEM code page.
std::string ToOemText(const wchar_t* text);

// True for a code that is not negative. For a failure prints the description
// of the call's error object, OEM-converted and wrapped at 80 columns, else
// fallback (a printf format) with the code. The thread's error object is taken
// in either case, so it cannot describe a later failure.
bool CheckResult(HRESULT result, const char* fallback);
// For a call whose result does not matter: its error object is dropped so
// that it cannot describe a later failure.
void IgnoreResult(HRESULT result);
// The same as CheckResult, but the bytes go to output instead of standard output.
bool CheckResult(HRESULT result, const char* fallback, std::string* output);

// ReadEntries (the middle layer's row reader) with any failure reported
// through CheckResult(fallback).
bool ListEntries(IVKSVolume* volume, const wchar_t* path, bool directoriesOnly, CEntryList* list,
                 const char* fallback);
