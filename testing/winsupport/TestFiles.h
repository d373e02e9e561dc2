// testing/winsupport/TestFiles.h - PC files as the tests write and read them.
#pragma once
#include <string>

namespace vkstest {

// Creates or replaces the file with bytes; a failure fails the test.
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes; "<missing>" when it cannot be read.
std::string ReadBytes(const std::wstring& path);

}  // namespace vkstest
