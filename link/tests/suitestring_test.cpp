// link/tests/suitestring_test.cpp - CBstr, path splitting, comparison and wildcards.
#include <gtest/gtest.h>

#include <string>

#include "SuiteString.h"

namespace {

std::wstring Text(const CBstr& s) {
  return s.GetBstr() ? std::wstring(s.GetBstr(), s.GetLength()) : std::wstring();
}

// Long enough that a copy sized on the (1 MB) stack would overflow it.
constexpr UINT kHuge = 2u * 1024 * 1024;

}  // namespace

TEST(CBstrTest, ConstructionFromWideNarrowAndCountedTexts) {
  EXPECT_EQ(nullptr, CBstr().GetBstr());
  EXPECT_EQ(nullptr, CBstr(static_cast<const wchar_t*>(nullptr)).GetBstr());
  EXPECT_EQ(nullptr, CBstr(static_cast<const char*>(nullptr)).GetBstr());
  CBstr emptyText(L"");
  EXPECT_NE(nullptr, emptyText.GetBstr());
  EXPECT_EQ(0u, emptyText.GetLength());

  EXPECT_EQ(L"abc", Text(CBstr(L"abc")));
  EXPECT_EQ(L"abc", Text(CBstr("abc")));
  EXPECT_EQ(L"ab", Text(CBstr(L"abc", 2)));

  CBstr withNul(L"a\0b", 3);
  EXPECT_EQ(3u, withNul.GetLength());
  EXPECT_EQ(L'b', withNul.GetAt(2));
  EXPECT_EQ(0, withNul.GetAt(3));
  EXPECT_EQ(0, withNul.GetAt(1000000));  // past the end reads nothing
  EXPECT_EQ(0, CBstr().GetAt(0));
}

TEST(CBstrTest, NumberInRadix) {
  struct { ULONG number; int radix; const wchar_t* text; } cases[] = {
      {0, 10, L"0"}, {255, 16, L"ff"}, {1234567890, 10, L"1234567890"},
      {0xFFFFFFFFu, 2, L"11111111111111111111111111111111"}, {35, 36, L"z"}, {8, 8, L"10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.text, Text(CBstr(c.number, c.radix)));
  }
  EXPECT_EQ(nullptr, CBstr(5u, 1).GetBstr());
  EXPECT_EQ(nullptr, CBstr(5u, 37).GetBstr());
}

TEST(CBstrTest, CopiesAreDeepAndKeepEmbeddedNuls) {
  CBstr original(L"x\0y", 3);
  CBstr copy(original);
  EXPECT_NE(original.GetBstr(), copy.GetBstr());
  EXPECT_EQ(std::wstring(L"x\0y", 3), Text(copy));

  CBstr assigned(L"old");
  assigned.Assign(original);
  EXPECT_EQ(std::wstring(L"x\0y", 3), Text(assigned));
  assigned = assigned;  // self-assignment keeps the text
  EXPECT_EQ(3u, assigned.GetLength());

  CBstr cut;
  cut.Assign(original.GetBstr());  // a text pointer stops at the NUL
  EXPECT_EQ(L"x", Text(cut));
  cut.Assign(static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(nullptr, cut.GetBstr());

  CBstr moved(std::move(copy));
  EXPECT_EQ(3u, moved.GetLength());
  EXPECT_EQ(nullptr, copy.GetBstr());

  BSTR handed = moved.Detach();
  EXPECT_EQ(nullptr, moved.GetBstr());
  moved.Attach(handed);
  EXPECT_EQ(handed, moved.GetBstr());
  BSTR duplicate = moved.Copy();
  EXPECT_NE(handed, duplicate);
  EXPECT_EQ(3u, SysStringLen(duplicate));
  SysFreeString(duplicate);
  EXPECT_EQ(&moved, moved.GetAddress());
}

TEST(CBstrTest, AppendTextAndStrings) {
  CBstr s;
  s.Append(L"ab");
  s.Append(static_cast<const wchar_t*>(nullptr));
  s.Append(CBstr(L"c\0d", 3));
  EXPECT_EQ(std::wstring(L"abc\0d", 5), Text(s));
  s.Append(s);  // appending itself doubles it
  EXPECT_EQ(10u, s.GetLength());
}

TEST(CBstrTest, GetFieldAndCountFields) {
  CBstr path(L"\\A:\\dir");
  const wchar_t* fields[] = {L"", L"A:", L"dir", L""};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(fields[i], Text(path.GetField(L'\\', i)));
  }
  EXPECT_EQ(L"", Text(path.GetField(L'\\', -1)));
  EXPECT_EQ(L"", Text(CBstr(L"a//b").GetField(L'/', 1)));
  EXPECT_EQ(L"b", Text(CBstr(L"a//b").GetField(L'/', 2)));
  EXPECT_EQ(L"", Text(CBstr().GetField(L'/', 0)));

  EXPECT_EQ(3, path.CountFields(L'\\'));
  EXPECT_EQ(7, CBstr(L"2000/1/1/12/0/0/0").CountFields(L'/'));
  EXPECT_EQ(1, CBstr(L"").CountFields(L'/'));
  EXPECT_EQ(0, CBstr().CountFields(L'/'));
}

TEST(CBstrTest, MidClampsBounds) {
  CBstr s(L"abcdef");
  struct { int from, to; const wchar_t* expected; } cases[] = {
      {5, 2, L""}, {-3, 2, L"ab"}, {2, 4, L"cd"}, {4, 99, L"ef"}, {3, 3, L""}, {-5, -1, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
    EXPECT_EQ(c.expected, Text(s.Mid(c.from, c.to)));
  }
  EXPECT_EQ(L"", Text(s.Mid(99)));
  EXPECT_EQ(L"", Text(s.Mid(6)));
  EXPECT_EQ(L"def", Text(s.Mid(3)));
  EXPECT_EQ(L"abcdef", Text(s.Mid(-4)));
  EXPECT_EQ(std::wstring(L"\0b", 2), Text(CBstr(L"a\0b", 3).Mid(1)));
}

TEST(CBstrTest, NarrowCopyIsCachedAndFollowsChanges) {
  CBstr empty;
  EXPECT_EQ(nullptr, empty.GetNarrow());
  EXPECT_EQ(nullptr, CBstr(L"").GetNarrow());

  CBstr s(L"abc");
  const char* first = s.GetNarrow();
  ASSERT_NE(nullptr, first);
  EXPECT_STREQ("abc", first);
  EXPECT_EQ(first, s.GetNarrow());
  s.Append(L"def");
  EXPECT_STREQ("abcdef", s.GetNarrow());
  s.Assign(L"x");
  EXPECT_STREQ("x", s.GetNarrow());
  s.Assign(CBstr(L"yz"));
  EXPECT_STREQ("yz", s.GetNarrow());
}

// Thread locale Japanese: the thread code page is multi-byte (932).
TEST(CBstrTest, NarrowCopiesInMultiByteCodePage) {
  LCID saved = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT)));
  const wchar_t wide[] = L"\x65E5\x672C\x8A9E.txt";  // three kanji, each two bytes in 932
  CBstr s(wide);
  const char* narrow = s.GetNarrow();
  ASSERT_NE(nullptr, narrow);
  EXPECT_EQ(10u, strlen(narrow));
  EXPECT_EQ(wide, Text(CBstr(narrow)));
  SetThreadLocale(saved);
}

TEST(CBstrTest, HugeTextsConvertWithoutStackBuffers) {
  std::string narrow(kHuge, 'n');
  CBstr fromNarrow(narrow.c_str());
  EXPECT_EQ(kHuge, fromNarrow.GetLength());
  const char* back = fromNarrow.GetNarrow();
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(kHuge, strlen(back));
}

TEST(ConcatStringsTest, AllThreeFormsIncludingHugeInputs) {
  EXPECT_EQ(L"\\A:\\x", Text(ConcatStrings(CBstr(L"\\A:"), CBstr(L"\\x"))));
  EXPECT_EQ(L"\\A:\\x", Text(ConcatStrings(CBstr(L"\\A:"), L"\\x")));
  EXPECT_EQ(L"\\A:\\x", Text(ConcatStrings(L"\\A:", CBstr(L"\\x"))));
  EXPECT_EQ(L"a", Text(ConcatStrings(CBstr(L"a"), static_cast<const wchar_t*>(nullptr))));
  EXPECT_EQ(std::wstring(L"a\0bc", 4), Text(ConcatStrings(CBstr(L"a\0b", 3), CBstr(L"c"))));

  std::wstring big(kHuge, L'w');
  CBstr joined = ConcatStrings(CBstr(big.c_str()), big.c_str());
  EXPECT_EQ(2 * kHuge, joined.GetLength());
  EXPECT_EQ(2 * kHuge, ConcatStrings(big.c_str(), CBstr(big.c_str())).GetLength());
}

TEST(CompareTextTest, OrderAndCase) {
  EXPECT_EQ(0, CompareText(nullptr, L"", FALSE));
  EXPECT_EQ(0, CompareText(nullptr, nullptr, TRUE));
  EXPECT_EQ(0, CompareText(L"ABC", L"abc", FALSE));
  EXPECT_NE(0, CompareText(L"ABC", L"abc", TRUE));
  EXPECT_LT(CompareText(L"abc", L"abd", FALSE), 0);
  EXPECT_GT(CompareText(L"abd", L"ABC", FALSE), 0);
  EXPECT_LT(CompareText(nullptr, L"a", FALSE), 0);
  EXPECT_EQ(0, CompareText(L"\\A:\\Dir\\\x00C4rger", L"\\a:\\dir\\\x00E4rger", FALSE));

  EXPECT_EQ(0, CompareCountedText(L"abcdef", 3, L"ABCxyz", 3, FALSE));
  EXPECT_LT(CompareCountedText(L"abcdef", 2, L"abcxyz", 3, TRUE), 0);
  EXPECT_EQ(0, CompareCountedText(L"ab\0x", 4, L"ab\0y", 4, TRUE));  // as NUL-terminated copies
  EXPECT_EQ(0, CompareCountedText(nullptr, 5, L"", 0, TRUE));

  std::wstring big(kHuge, L'q');
  std::wstring bigger = big + L"r";
  EXPECT_LT(CompareCountedText(big.c_str(), static_cast<int>(big.size()), bigger.c_str(),
                               static_cast<int>(bigger.size()), FALSE),
            0);
  EXPECT_EQ(0, SafeTextLength(nullptr));
  EXPECT_EQ(3, SafeTextLength(L"abc"));
}

TEST(MakeLowerTest, WholeLengthAndNonAscii) {
  CBstr source(L"AB\0C\x00C4", 5);
  CBstr lower = MakeLower(source);
  EXPECT_EQ(std::wstring(L"ab\0c\x00E4", 5), Text(lower));
  EXPECT_EQ(std::wstring(L"AB\0C\x00C4", 5), Text(source));  // a new string
  EXPECT_EQ(nullptr, MakeLower(CBstr()).GetBstr());
}

TEST(PathPartsTest, DriveParentAndName) {
  struct { const wchar_t* path; const wchar_t* drive; const wchar_t* parent; const wchar_t* name; } cases[] = {
      {L"\\A:\\x\\y", L"A:", L"\\A:\\x", L"y"},
      {L"\\A:\\x", L"A:", L"\\A:", L"x"},
      {L"\\A:\\", L"A:", L"\\A:", L""},
      {L"\\A:", L"A:", L"", L"A:"},
      {L"A:\\x", L"A:", L"A:", L"x"},
      {L"A:\\", L"A:", L"A:", L""},
      {L"A:x", L"A:", L"A:", L"x"},
      {L"A:", L"A:", L"", L""},
      {L"\\x", L"", L"", L"x"},
      {L"\\ab", L"", L"", L"ab"},
      {L"name.txt", L"", L"", L"name.txt"},
      {L"A", L"", L"", L"A"},
      {L"", L"", L"", L""},
      {L"\\B:\\a\\b\\c.txt", L"B:", L"\\B:\\a\\b", L"c.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.drive, Text(GetDrivePart(c.path)));
    EXPECT_EQ(c.parent, Text(GetParentPath(c.path)));
    EXPECT_EQ(c.name, Text(GetNamePart(c.path)));
  }
}

TEST(FindPatternAtTest, FirstPlaceWithQuestionMarks) {
  struct { const wchar_t* text; const wchar_t* pattern; int at; } cases[] = {
      {L"abcabc", L"ca", 2}, {L"abcabc", L"c?b", 2}, {L"abc", L"abcd", -1},
      {L"abc", L"x", -1},    {L"abc", L"", 0},       {L"abc", L"???", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " / " << c.pattern);
    EXPECT_EQ(c.at, FindPatternAt(c.text, static_cast<int>(wcslen(c.text)), c.pattern,
                                  static_cast<int>(wcslen(c.pattern))));
  }
}

TEST(MatchWildcardTest, Table) {
  struct { const wchar_t* name; const wchar_t* pattern; BOOL caseSensitive; BOOL match; } cases[] = {
      // Optional tail for names without a dot.
      {L"readme", L"*.*", FALSE, TRUE},
      {L"readme", L"*.", FALSE, TRUE},
      {L"readme.txt", L"read*.", FALSE, FALSE},
      {L"abc", L"abc?", FALSE, TRUE},
      {L"abcd", L"abc?", FALSE, TRUE},
      {L"abcde", L"abc?", FALSE, FALSE},
      {L"abc", L"*c?", FALSE, TRUE},
      {L"abcd", L"*c?", FALSE, TRUE},
      {L"abcde", L"*c?", FALSE, FALSE},
      {L"abc", L"abc.", FALSE, TRUE},
      {L"abcd", L"abc.", FALSE, FALSE},
      {L"xab", L"*a?*", FALSE, TRUE},
      // Stars and question marks.
      {L"", L"*", FALSE, TRUE},
      {L"anything.at.all", L"*", FALSE, TRUE},
      {L"x", L"***", FALSE, TRUE},
      {L"", L"?", FALSE, TRUE},
      {L"a", L"?", FALSE, TRUE},
      {L"ab", L"?", FALSE, FALSE},
      {L"a.b", L"?", FALSE, FALSE},
      {L"a.b", L"?.?", FALSE, TRUE},
      {L"readme.txt", L"*.*", FALSE, TRUE},
      {L"readme.txt", L"*.txt", FALSE, TRUE},
      {L"readme.txt.bak", L"*.txt", FALSE, FALSE},
      {L"readme.txt", L"r*m*.t?t", FALSE, TRUE},
      {L"readme.txt", L"r*z*", FALSE, FALSE},
      {L"photo001.jpg", L"photo???.jpg", FALSE, TRUE},
      {L"photo01.jpg", L"photo???.jpg", FALSE, FALSE},
      {L"aaa", L"*a*a*a*", FALSE, TRUE},
      {L"aa", L"*a*a*a*", FALSE, FALSE},
      {L"abc", L"", FALSE, FALSE},
      {L"", L"", FALSE, TRUE},
      {L"x.txt", L"x.txt", FALSE, TRUE},
      {L"x.txt", L"x.tx", FALSE, FALSE},
      // Case.
      {L"README.TXT", L"*.txt", FALSE, TRUE},
      {L"README.TXT", L"*.txt", TRUE, FALSE},
      {L"README.TXT", L"*.TXT", TRUE, TRUE},
      {L"\x00C4rger.doc", L"\x00E4*", FALSE, TRUE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "name \"" << c.name << "\" pattern \"" << c.pattern
                                    << "\" case " << c.caseSensitive);
    EXPECT_EQ(c.match, MatchWildcard(c.name, c.pattern, c.caseSensitive));
  }
}
