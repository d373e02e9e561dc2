// The built DLL loads, exports what Explorer and VKSSearchApp look for, and unloads.
#include <gtest/gtest.h>
#include <windows.h>
#include "ShellExtTestSupport.h"

TEST(ShellExtLoad, TheDllLoadsAndExportsItsEntries) {
  HMODULE dll = LoadLibraryW(ShellExtDllPath());
  ASSERT_NE(dll, nullptr) << GetLastError();
  for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer", "StartSearch", "hallole"})
    EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
  EXPECT_TRUE(FreeLibrary(dll));
}
