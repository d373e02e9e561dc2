// testing/winsupport/TestFiles.h - PC files as the tests write and read them.
#pragma once
#include <string>

namespace vkstest {

// Creates or replaces the file with bytes; a failure fails the test.
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes; "<missing>" when it cannot be read.
std::string ReadBytes(const std::wstring& path);

// A new empty folder of a unique name in the temp folder; tests of several
// processes run at once and must never share one. Empty on failure.
std::wstring NewTempFolder(const wchar_t* prefix);
// A PC folder and all below it, read-only files too.
void RemoveTree(const std::wstring& folder);

}  // namespace vkstest
