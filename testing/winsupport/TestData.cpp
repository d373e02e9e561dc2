// testing/winsupport/TestData.cpp - the byte pattern.
#include "TestData.h"

namespace vkstest {

std::vector<BYTE> Pattern(size_t size, unsigned seed) {
  std::vector<BYTE> data(size);
  unsigned x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345;
    data[i] = static_cast<BYTE>(x >> 16);
  }
  return data;
}

std::string PatternBytes(size_t size, unsigned seed) {
  const std::vector<BYTE> data = Pattern(size, seed);
  return std::string(data.begin(), data.end());
}

}  // namespace vkstest
