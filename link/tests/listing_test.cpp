// link/tests/listing_test.cpp - the folder-listing parser on real-shaped and malformed
// listings, its attribute and time rules, and a bounded random-mutation run.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "OBEXUtility.h"
#include "ScriptedTransport.h"
#include "SuiteUtil.h"

namespace {

const std::string kHead =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">\n"
    "<folder-listing version=\"1.0\">\n";
const std::string kTail = "</folder-listing>\n";

struct Entry {
  std::wstring name;
  DWORD size;
  DWORD attributes;
};

// Text placed so that its terminating NUL is the last byte before a page the
// process may not touch: a read past it faults.
class GuardedText {
public:
  explicit GuardedText(const std::string& text) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t bytes = text.size() + 1;
    const size_t dataPages = (bytes + page - 1) / page;
    m_size = (dataPages + 1) * page;
    m_base = static_cast<char*>(VirtualAlloc(nullptr, m_size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(m_base + dataPages * page, page, PAGE_NOACCESS, &old);
    m_text = m_base + dataPages * page - bytes;
    memcpy(m_text, text.c_str(), bytes);
  }
  ~GuardedText() { VirtualFree(m_base, 0, MEM_RELEASE); }
  GuardedText(const GuardedText&) = delete;
  GuardedText& operator=(const GuardedText&) = delete;
  const char* get() const { return m_text; }

private:
  char* m_base = nullptr;
  char* m_text = nullptr;
  size_t m_size = 0;
};

// The text's bytes as the packet layer hands them over, NUL bytes included.
int Parse(const std::string& text, std::vector<Entry>* entries, FolderEntry** keep = nullptr) {
  GuardedText guarded(text);
  FolderEntry* head = nullptr;
  BOOL first = TRUE;
  const int result = ParseFolderListing(&head, guarded.get(), text.size(), &first);
  for (FolderEntry* e = head; e; e = e->next) {
    const size_t n = wcsnlen(e->name, 128);
    EXPECT_LT(n, 128u);  // NUL-terminated inside its buffer
    if (entries) entries->push_back({std::wstring(e->name, n), e->size, e->attributes});
  }
  if (keep) {
    *keep = head;
  } else {
    FreeEntryList(head);
  }
  return result;
}

}  // namespace

TEST(ListingParseTest, RealShapedListings) {
  const DWORD kDir = FILE_ATTRIBUTE_DIRECTORY;
  const struct {
    const char* what;
    std::string body;
    int result;
    std::vector<Entry> entries;
  } cases[] = {
      {"empty folder", "", kListingNoEntries, {}},
      {"only the parent", "<parent-folder/>\n", kListingParsed, {}},
      {"file after the parent", "<parent-folder/>\n<file name=\"a.txt\" size=\"12\" modified=\"20240102T030405\"/>\n",
       kListingParsed, {{L"a.txt", 12, 0}}},
      {"folder with user-perm RW", "<folder name=\"Pictures\" user-perm=\"RW\"/>", kListingParsed,
       {{L"Pictures", 0, kDir | FILE_ATTRIBUTE_SYSTEM}}},
      {"files and folders in order",
       "<folder name=\"a\"/><file name=\"b\" size=\"1\"/><folder name=\"c\"/><file name=\"d\" size=\"2\"/>",
       kListingParsed, {{L"a", 0, kDir}, {L"b", 1, 0}, {L"c", 0, kDir}, {L"d", 2, 0}}},
      {"user-perm letters", "<file name=\"r\" user-perm=\"R\"/><file name=\"n\" user-perm=\"\"/><file name=\"a\" user-perm=\"RWD\"/>",
       kListingParsed,
       {{L"r", 0, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM},
        {L"n", 0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM},
        {L"a", 0, 0}}},
      {"user-perm out of order is ignored", "<file name=\"x\" user-perm=\"WR\"/>", kListingParsed, {{L"x", 0, 0}}},
      {"group-perm R is archive", "<file name=\"x\" group-perm=\"R\"/>", kListingParsed,
       {{L"x", 0, FILE_ATTRIBUTE_ARCHIVE}}},
      {"group-perm W never makes a file a folder", "<file name=\"x\" group-perm=\"RW\"/>", kListingParsed,
       {{L"x", 0, FILE_ATTRIBUTE_ARCHIVE}}},
      {"group-perm W on a folder", "<folder name=\"x\" group-perm=\"W\"/>", kListingParsed, {{L"x", 0, kDir}}},
      {"attributes in any order, unknown ones skipped",
       "<file size=\"7\" type=\"text/plain\" name=\"q\" user-perm=\"RW\"/>", kListingParsed,
       {{L"q", 7, FILE_ATTRIBUTE_SYSTEM}}},
      {"umlauts in UTF-8", "<file name=\"gr\xC3\xBC\xC3\x9F.txt\"/>", kListingParsed, {{L"gr\u00FC\u00DF.txt", 0, 0}}},
      {"CJK in UTF-8", "<file name=\"\xE6\x96\x87\xE4\xBB\xB6\"/>", kListingParsed, {{L"\u6587\u4EF6", 0, 0}}},
      {"four-byte UTF-8 as a surrogate pair", "<file name=\"\xF0\x9F\x98\x80\"/>", kListingParsed,
       {{L"\xD83D\xDE00", 0, 0}}},
      {"entities", "<file name=\"a&amp;b &lt;&gt; &quot;q&quot; &apos; &#65;&#x42;\"/>", kListingParsed,
       {{L"a&b <> \"q\" ' AB", 0, 0}}},
      {"bare ampersand stays", "<file name=\"a & b&c\"/>", kListingParsed, {{L"a & b&c", 0, 0}}},
      {"not self-closing", "<file name=\"x\" size=\"3\"></file><folder name=\"y\"></folder>", kListingParsed,
       {{L"x", 3, 0}, {L"y", 0, kDir}}},
      {"comments and blanks", "<!-- a comment with <file name=\"no\"/> -->\n  <file   name = 'sq'  />",
       kListingParsed, {{L"sq", 0, 0}}},
      {"name of 127 characters", "<file name=\"" + std::string(127, 'n') + "\"/>", kListingParsed,
       {{std::wstring(127, L'n'), 0, 0}}},
      {"size of 15 digits is clamped", "<file name=\"x\" size=\"999999999999999\"/>", kListingParsed,
       {{L"x", 0xFFFFFFFF, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Entry> entries;
    EXPECT_EQ(c.result, Parse(kHead + c.body + kTail, &entries));
    ASSERT_EQ(c.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(c.entries[i].name, entries[i].name) << i;
      EXPECT_EQ(c.entries[i].size, entries[i].size) << i;
      EXPECT_EQ(c.entries[i].attributes, entries[i].attributes) << i;
    }
  }
}

// A listing that breaks off or does not parse fails whole: a shorter listing
// would pass for the folder.
TEST(ListingParseTest, BrokenListingsFail) {
  const std::string nul(1, '\0');
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"cut inside an element", kHead + "<file name=\"a\"/><file name=\"b\" si"},
      {"cut inside a name", kHead + "<file name=\"abc"},
      {"cut inside the closing tag", kHead + "<file name=\"a\"/></folder-lis"},
      {"cut inside a comment", kHead + "<file name=\"a\"/><!-- more"},
      {"cut inside an unknown element", kHead + "<file name=\"a\"/><thumbnail src=\"x"},
      {"no closing tag", kHead + "<file name=\"a\"/>\n"},
      {"attribute quote never closed", kHead + "<file name=\"a/>\n<file name=\"b\"/>" + kTail},
      {"attribute quote open to the end", kHead + "<file name=\"a\" size=\"12/>" + kTail},
      {"element not closed", kHead + "<file name=\"a\" <file name=\"b\"/>" + kTail},
      {"value without quotes", kHead + "<file name=\"a\" size=12/>" + kTail},
      {"slash without its bracket", kHead + "<file name=\"a\" /x>" + kTail},
      {"NUL byte in the body", kHead + "<file name=\"a\"/>" + nul + "<file name=\"b\"/>" + kTail},
      {"NUL byte in a name", kHead + "<file name=\"a" + nul + "b\"/>" + kTail},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(kListingMalformed, Parse(c.text, nullptr));
  }
  // The NUL-terminated form reads up to the first NUL, so it sees the cut too.
  const std::string withNul = kHead + "<file name=\"a\"/>" + nul + "<file name=\"b\"/>" + kTail;
  FolderEntry* head = nullptr;
  EXPECT_EQ(kListingMalformed, ParseFolderListing(&head, withNul.c_str(), nullptr));
  FreeEntryList(head);
}

TEST(ListingParseTest, WhatTheScannerSkipsOrTolerates) {
  const struct {
    const char* what;
    std::string text;
    int result;
    std::vector<std::wstring> names;
  } cases[] = {
      {"empty text", "", kListingEmptyText, {}},
      {"no listing element", "hello <b>world</b>", kListingNotAListing, {}},
      {"cut after the declaration", "<?xml version=\"1.0\"", kListingNotAListing, {}},
      {"missing name", kHead + "<file size=\"3\"/><file name=\"\"/><file name=\"ok\"/>" + kTail, kListingParsed, {L"ok"}},
      {"name too long", kHead + "<file name=\"" + std::string(128, 'n') + "\"/><file name=\"ok\"/>" + kTail,
       kListingParsed, {L"ok"}},
      {"unknown elements", kHead + "<thumbnail src=\"a.jpg\"/><file name=\"ok\"/><note>text</note>" + kTail,
       kListingParsed, {L"ok"}},
      {"absurd sizes", kHead + "<file name=\"a\" size=\"99999999999999999999\"/><file name=\"b\" size=\"-5\"/>"
                               "<file name=\"c\" size=\"12x\"/>" + kTail, kListingParsed, {L"a", L"b", L"c"}},
      {"bad times", kHead + "<file name=\"a\" modified=\"2024\"/><file name=\"b\" modified=\"2024AB02T030405\"/>"
                            "<file name=\"c\" modified=\"20241399T030405\"/>" + kTail, kListingParsed, {L"a", L"b", L"c"}},
      {"entries after the end", kHead + "<file name=\"a\"/>" + kTail + "<file name=\"b\"/>", kListingParsed, {L"a"}},
      {"NUL bytes after the end", kHead + "<file name=\"a\"/>" + kTail + std::string(2, '\0'), kListingParsed, {L"a"}},
      {"entries before the listing", "<file name=\"z\"/>" + kHead + "<file name=\"a\"/>" + kTail, kListingParsed, {L"a"}},
      {"invalid UTF-8 bytes", kHead + "<file name=\"a\xFF\xC3\"/>" + kTail, kListingParsed, {L"a??"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Entry> entries;
    EXPECT_EQ(c.result, Parse(c.text, &entries));
    std::vector<std::wstring> names;
    for (const Entry& e : entries) names.push_back(e.name);
    if (std::string(c.what) == "invalid UTF-8 bytes") {
      // Bytes that start no sequence come from the thread code page; only their count is fixed.
      ASSERT_EQ(1u, names.size());
      EXPECT_EQ(3u, names[0].size());
      EXPECT_EQ(L'a', names[0][0]);
      continue;
    }
    EXPECT_EQ(c.names, names);
  }
}

TEST(ListingParseTest, TimesAndTheLaterAttributeWins) {
  FolderEntry* head = nullptr;
  ASSERT_EQ(kListingParsed,
            Parse(kHead +
                      "<file name=\"a\" modified=\"20240102T030405\"/>"
                      "<file name=\"b\" created=\"20240101T000000\" modified=\"20240202T000000\"/>"
                      "<file name=\"c\" modified=\"20240202T000000\" created=\"20240101T000000Z\" "
                      "accessed=\"20230303T101010\"/><file name=\"d\"/>" +
                      kTail,
                  nullptr, &head));
  const DATE t1 = LocalDate(2024, 1, 2, 3, 4, 5);
  const DATE feb = LocalDate(2024, 2, 2, 0, 0, 0);
  const DATE jan = LocalDate(2024, 1, 1, 0, 0, 0);
  const FolderEntry* a = head;
  const FolderEntry* b = a->next;
  const FolderEntry* c = b->next;
  const FolderEntry* d = c->next;
  ASSERT_NE(nullptr, d);
  EXPECT_DOUBLE_EQ(t1, a->created);
  EXPECT_DOUBLE_EQ(t1, a->accessed);
  EXPECT_DOUBLE_EQ(t1, a->modified);
  EXPECT_DOUBLE_EQ(feb, b->created);
  EXPECT_DOUBLE_EQ(jan, c->created);
  EXPECT_DOUBLE_EQ(LocalDate(2023, 3, 3, 10, 10, 10), c->accessed);
  EXPECT_DOUBLE_EQ(feb, c->modified);
  EXPECT_EQ(0, d->created);
  EXPECT_EQ(0, d->modified);
  EXPECT_EQ(nullptr, d->shortName);
  FreeEntryList(head);
}

TEST(ListingParseTest, AppendsToAnExistingChainWhenNotFirst) {
  FolderEntry* head = nullptr;
  BOOL first = TRUE;
  const std::string one = kHead + "<file name=\"a\"/>" + kTail;
  const std::string two = kHead + "<file name=\"b\"/>" + kTail;
  ASSERT_EQ(kListingParsed, ParseFolderListing(&head, one.c_str(), &first));
  EXPECT_FALSE(first);
  ASSERT_EQ(kListingParsed, ParseFolderListing(&head, two.c_str(), &first));
  ASSERT_NE(nullptr, head->next);
  EXPECT_STREQ(L"b", head->next->name);
  FreeEntryList(head);
}

TEST(ListingParseTest, RandomMutationsEndCleanly) {
  const std::string valid =
      kHead +
      "<parent-folder/>\n"
      "<folder name=\"Pictures\" user-perm=\"RWD\" group-perm=\"RW\" modified=\"20240102T030405\"/>\n"
      "<file name=\"gr\xC3\xBC\xC3\x9F &amp; \xE6\x96\x87.txt\" size=\"123456\" created=\"20230101T000000\" "
      "modified=\"20240102T030405Z\" accessed=\"20240103T000000\" user-perm=\"RW\"/>\n"
      "<file name=\"b\" size=\"0\"></file>\n" +
      kTail;
  const char kAlphabet[] = "<>/\"'=& ;#x0Z\xC3\xE6\xF0\x80";
  std::mt19937 random(20240611);
  for (int round = 0; round < 4000; ++round) {
    std::string text = valid;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < edits; ++i) {
      const size_t at = text.empty() ? 0 : random() % text.size();
      switch (random() % 5) {
        case 0: if (!text.empty()) text[at] = static_cast<char>(random() % 255 + 1); break;
        case 1: if (!text.empty()) text.erase(at, 1 + random() % 12); break;
        case 2: text.insert(at, 1, kAlphabet[random() % (sizeof(kAlphabet) - 1)]); break;
        case 3: if (!text.empty()) text.insert(at, text.substr(random() % text.size(), random() % 40)); break;
        default: text.resize(at); break;
      }
    }
    const int result = Parse(text, nullptr);
    ASSERT_TRUE(result >= kListingOutOfMemory && result <= kListingMalformed) << round;
  }
}

TEST(ListingAttributesTest, PermissionTextsAndTheirParsers) {
  const struct {
    DWORD attributes;
    const char* text;
  } table[] = {
      {0, "\"RWD\"\"\""},
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, "\"RD\"\"R\""},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY, "\"W\"\"W\""},
      {FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY, "\"RWD\""},
  };
  for (const auto& row : table) {
    char text[16];
    FormatPermissions(row.attributes, text);
    EXPECT_STREQ(row.text, text);
  }
  DWORD bits = 0;
  EXPECT_TRUE(ParsePermissionsUser("RD", 2, &bits));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), bits);
  EXPECT_FALSE(ParsePermissionsUser("RWDX", 4, &bits));
  EXPECT_TRUE(ParsePermissionsGroup("RW", 2, true, &bits));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY), bits);
  EXPECT_TRUE(ParsePermissionsGroup("RW", 2, false, &bits));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), bits);
  EXPECT_FALSE(ParsePermissionsGroup("WR", 2, true, &bits));

  DATE date = 0;
  EXPECT_TRUE(ParseObexTime("20240102T030405", 15, &date));
  EXPECT_DOUBLE_EQ(LocalDate(2024, 1, 2, 3, 4, 5), date);
  EXPECT_TRUE(ParseObexTime("20240102 030405Z", 16, &date));  // separator not examined
  EXPECT_FALSE(ParseObexTime("20240102T03040", 14, &date));
  EXPECT_FALSE(ParseObexTime("2024010xT030405", 15, &date));
}
