#include <gtest/gtest.h>
#include <windows.h>
TEST(Smoke, RunsUnderWine) { EXPECT_NE(0u, GetCurrentProcessId()); }
