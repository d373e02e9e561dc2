// Resource texts in one chosen language (strings of tests/TestStrings.rc).
#include "ResourceModule.h"
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr LANGID kGerman = 1031, kEnglishUS = 1033, kEnglishUK = 2057;

std::wstring Text(const CBstr& text) {
  return text.GetBstr() ? std::wstring(text.GetBstr(), text.GetLength()) : std::wstring();
}

TEST(ResourceModule, StringsComeFromTheChosenLanguageOnly) {
  struct Case {
    LANGID language;
    UINT id;
    const wchar_t* expected;
  } kCases[] = {
      {kEnglishUS, 8374, L"only in 1033"},   // block 524, sixth string skipped to
      {kEnglishUK, 8374, L""},               // no fallback to another language
      {kGerman, 8374, L""},
      {kGerman, 40, L"%1 kann nicht kopiert werden: %2"},
      {kGerman, 44, L"Größe"},
      {kEnglishUS, 44, L""},
      {kEnglishUS, 45, L""},                 // gap in an existing block
      {kEnglishUS, 9999, L""},               // no block at all
  };
  for (const Case& c : kCases) {
    CResourceModule module(c.language);
    EXPECT_EQ(c.expected, Text(module.LoadResString(c.id))) << c.language << " " << c.id;
  }
}

TEST(ResourceModule, FormatsInsertsInOrder) {
  CResourceModule module(kEnglishUS);
  EXPECT_EQ(L"a.txt cannot be copied: Access is denied.",
            Text(module.FormatResMessage(40, L"a.txt", L"Access is denied.")));
  EXPECT_EQ(L"No placeholders here.", Text(module.FormatResMessage(41)));
  EXPECT_EQ(L"12 files in A:\\x", Text(module.FormatResMessage(43, 12, L"A:\\x")));
  // Fewer inserts than the text asks for read as empty texts.
  EXPECT_EQ(L"x of  and ", Text(module.FormatResMessage(42, L"x")));
  // A missing string stays empty; a null insert is an empty text.
  EXPECT_EQ(L"", Text(module.FormatResMessage(45, L"x")));
  const wchar_t* none = nullptr;
  EXPECT_EQ(L" cannot be copied: y", Text(module.FormatResMessage(40, none, L"y")));
}

TEST(ResourceModule, MissingResourcesGiveNothing) {
  CResourceModule module(kEnglishUS);
  EXPECT_EQ(nullptr, module.FindDialogTemplate(1));
  EXPECT_EQ(0u, module.GetDialogTemplateSize(1));
  EXPECT_EQ(nullptr, module.LoadMenu(1));
}

}  // namespace
