// testing/winsupport/TestData.h - bytes for test files: one generator.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace vkstest {

// Bytes that differ from file to file (seed) and from offset to offset,
// without a period that a block or packet size could hide.
std::vector<BYTE> Pattern(size_t size, unsigned seed = 1);
// The same bytes in a string (the tools' tests compare files as strings).
std::string PatternBytes(size_t size, unsigned seed = 1);

}  // namespace vkstest
