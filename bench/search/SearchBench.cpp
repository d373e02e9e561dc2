// bench/search/SearchBench.cpp - what a search costs against the line. At VKS_BENCH_RATE
// (default 921600): a content search of one folder of 200 files of 1 MiB in all, the text
// only in the last one, against the line time of the bytes it reads; and a name search over a
// folder of 5,000 entries against the time the listing of such a folder takes.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "ComBase.h"
#include "ItemIDList.h"
#include "ModuleItemID.h"
#include "SearchEngine.h"
#include "SearchServerFixture.h"
#include "SearchTestSupport.h"
#include "ServerFixture.h"
#include "SimFixture.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;

const int kContentFiles = 200;
const size_t kContentBytes = 1024 * 1024;
const int kNameEntries = 5000;

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double LineField(const std::string& reply, const std::string& key) {
  size_t at = reply.find(" " + key + "=");
  return at == std::string::npos ? -1 : atof(reply.c_str() + at + key.size() + 2);
}

class SearchBench : public SearchServerTest {
protected:
  CRecordingUi ui;  // answers the question before a big content search with Yes
};

TEST_F(SearchBench, ContentAndNameSearches) {
  const char* rateText = getenv("VKS_BENCH_RATE");
  const unsigned rate = rateText && *rateText ? static_cast<unsigned>(atoi(rateText)) : 921600;
  ui.answer = IDYES;

  MakeHostDir(L"A\\texts");
  const size_t fileBytes = kContentBytes / kContentFiles;
  std::vector<BYTE> filler(fileBytes);
  for (size_t i = 0; i < fileBytes; ++i) filler[i] = static_cast<BYTE>('a' + (i * 7) % 23);
  size_t written = 0;
  for (int i = 0; i < kContentFiles; ++i) {
    std::vector<BYTE> bytes = filler;
    if (i == kContentFiles - 1) {
      bytes.resize(kContentBytes - written);
      const std::string needle = "Needle in the last file";
      std::copy(needle.begin(), needle.end(), bytes.end() - static_cast<long>(needle.size()) - 10);
    }
    written += bytes.size();
    ASSERT_TRUE(WriteHostFile(L"A\\texts\\t" + std::to_wstring(1000 + i) + L".txt", bytes));
  }
  // Two folders alike: one listed alone, one searched, each the first time.
  for (const wchar_t* folder : {L"A\\listed", L"A\\named"}) {
    MakeHostDir(folder);
    for (int i = 0; i < kNameEntries; ++i)
      ASSERT_TRUE(WriteHostFile(std::wstring(folder) + L"\\entry" + std::to_wstring(10000 + i) + L".dat", {}));
  }

  ASSERT_TRUE(sim.Command("obex pace baud " + std::to_string(rate)));
  ASSERT_TRUE(sim.Command("obex pace on"));
  // The server started and the link up before anything is timed.
  CItemIDList* warm = nullptr;
  int warmCount = 0;
  ASSERT_EQ(S_OK, ListFolderEntries(L"\\", &warm, &warmCount, volume.Get(), false));
  delete[] warm;

  SearchSettings criteria(&EnglishTexts());
  criteria.text = L"needle in the LAST";
  CHitSink sink;
  ASSERT_TRUE(sim.Command("obex line clear"));
  double start = Now();
  ASSERT_EQ(S_OK, RunSearch(&sink, L"\\A:\\texts", volume.Get(), criteria));
  const double contentSeconds = Now() - start;
  std::string line;
  ASSERT_TRUE(sim.Command("obex line", &line));
  ASSERT_EQ(std::vector<std::wstring>{L"\\A:\\texts\\t1199.txt"}, sink.hits);
  ASSERT_EQ(1u, ui.boxes.size());  // the question, and no error
  const double payloadSeconds = kContentBytes * 10.0 / rate;
  const double lineBytes = LineField(line, "rx") + LineField(line, "tx");

  CItemIDList* listed = nullptr;
  int listedCount = 0;
  start = Now();
  ASSERT_EQ(S_OK, ListFolderEntries(L"\\A:\\listed", &listed, &listedCount, volume.Get(), false));
  const double listingSeconds = Now() - start;
  delete[] listed;
  ASSERT_EQ(kNameEntries, listedCount);

  SearchSettings byName(&EnglishTexts());
  byName.name = L"entry*7.dat";
  sink.hits.clear();
  start = Now();
  ASSERT_EQ(S_OK, RunSearch(&sink, L"\\A:\\named", volume.Get(), byName));
  const double nameSeconds = Now() - start;
  ASSERT_EQ(static_cast<size_t>(kNameEntries / 10), sink.hits.size());
  // Again, on the listing the server now keeps: what the search adds to a listing.
  sink.hits.clear();
  start = Now();
  ASSERT_EQ(S_OK, RunSearch(&sink, L"\\A:\\named", volume.Get(), byName));
  const double cachedSeconds = Now() - start;

  printf("\nSearch at %u baud\n", rate);
  printf("content: %d files, %u bytes read, run %.2f s, their line time %.2f s, run/line %.3f (goal 1.05);\n"
         "         all line bytes both ways %.0f, their line time %.2f s\n",
         kContentFiles, static_cast<unsigned>(kContentBytes), contentSeconds, payloadSeconds,
         contentSeconds / payloadSeconds, lineBytes, lineBytes * 10.0 / rate);
  printf("         %.1f ms a file over the line time of all its bytes; %.0f requests, the PC's waits\n"
         "         between an answer and its next request %.2f s in all\n",
         (contentSeconds - lineBytes * 10.0 / rate) * 1e3 / kContentFiles, LineField(line, "requests"),
         LineField(line, "wait_total_us") / 1e6);
  printf("name:    %d entries, run %.2f s, listing alone %.2f s, over the listing %.3f s (goal 0.1);\n"
         "         the same search on the server's kept listing %.3f s\n\n",
         kNameEntries, nameSeconds, listingSeconds, nameSeconds - listingSeconds, cachedSeconds);
  fflush(stdout);
  ASSERT_TRUE(sim.Command("obex pace off"));
}

}  // namespace
