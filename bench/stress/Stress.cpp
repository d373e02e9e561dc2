// bench/stress/Stress.cpp - the server and the tools under long and parallel load: runs of a
// many-file VKSXCopy from the module, then clients working at once, each with its own folder.
// Reports every hang (no progress for kStallMs) and every byte or listing that differs.
//
// Parameters (environment, scripts/stress sets them): VKS_STRESS_RUNS (5), VKS_STRESS_FILES
// (10000), VKS_STRESS_CLIENTS (8), VKS_STRESS_OPS (100 per client).
// With "--client N OPS" the program is one such client (the parent starts them).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include "CopyFixture.h"
#include "EntryList.h"
#include "SuiteString.h"
#include "ToolFrame.h"
#include "VKSServer.h"

namespace {

using namespace vkstest;

const DWORD kStallMs = 180000;   // far beyond any single step

int Setting(const char* name, int fallback) {
  const char* text = getenv(name);
  const int value = text && *text ? atoi(text) : 0;
  return value > 0 ? value : fallback;
}

double SecondsSince(DWORD start) { return (GetTickCount() - start) / 1000.0; }

std::wstring ThisExe() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// A child whose standard output goes to a file (a pipe could be held open by
// a server it starts).
HANDLE StartWithOutputFile(const std::wstring& line, const std::wstring& outputFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
  if (output == INVALID_HANDLE_VALUE) return nullptr;
  PROCESS_INFORMATION process{};
  const bool started = StartWithOutput(line, output, &process);
  CloseHandle(output);
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

LONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Waits for the child; a child whose output stops growing for kStallMs hangs.
bool WaitWithProgress(HANDLE process, const std::wstring& outputFile) {
  LONGLONG size = -1;
  DWORD lastGrowth = GetTickCount();
  while (WaitForSingleObject(process, 1000) == WAIT_TIMEOUT) {
    const LONGLONG now = FileSize(outputFile);
    if (now != size) {
      size = now;
      lastGrowth = GetTickCount();
    } else if (GetTickCount() - lastGrowth > kStallMs) {
      return false;
    }
  }
  return true;
}

// ---- one client: its own folder, operations in a fixed cycle, each checked ----

struct ClientCounts {
  int operations = 0, failures = 0, mismatches = 0;
};
volatile LONG g_progress = 0;

DWORD WINAPI Watchdog(void* what) {
  LONG seen = -1;
  DWORD since = GetTickCount();
  for (;;) {
    Sleep(1000);
    const LONG now = g_progress;
    if (now != seen) {
      seen = now;
      since = GetTickCount();
    } else if (GetTickCount() - since > kStallMs) {
      printf("HANG in %s at operation %ld\n", static_cast<const char*>(what), now);
      fflush(stdout);
      ExitProcess(3);
    }
  }
}

std::string Bytes(size_t size, unsigned seed) { return PatternBytes(size, seed); }

HRESULT PutBytes(IVKSVolume* volume, const std::wstring& path, const std::string& bytes) {
  IStream* stream = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return hr;
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  CBstr text(path.c_str());
  hr = volume->PutFile(text.GetBstr(), stream, 0);
  stream->Release();
  return hr;
}

HRESULT GetBytes(IVKSVolume* volume, const std::wstring& path, std::string* bytes) {
  bytes->clear();
  CBstr text(path.c_str());
  ComPtr<IUnknown> content;
  HRESULT hr = volume->GetFile(text.GetBstr(), &content);
  ComPtr<IStream> stream;
  if (SUCCEEDED(hr)) hr = content.As(&stream);
  char block[8192];
  while (SUCCEEDED(hr)) {
    ULONG got = 0;
    hr = stream->Read(block, sizeof block, &got);
    if (SUCCEEDED(hr) && !got) break;
    bytes->append(block, got);
  }
  return hr;
}

HRESULT ListNames(IVKSVolume* volume, const std::wstring& pattern, std::set<std::wstring>* names) {
  names->clear();
  CEntryList entries;
  const HRESULT hr = ReadEntries(volume, pattern.c_str(), false, &entries);
  for (LONG e = 0; SUCCEEDED(hr) && e < entries.GetCount(); ++e)
    if (entries.GetName(e)) names->insert(entries.GetName(e));
  return hr;
}

int RunClient(int index, int operations) {
  char what[32];
  snprintf(what, sizeof what, "client %d", index);
  CreateThread(nullptr, 0, Watchdog, what, 0, nullptr);
  CComSession com;
  ClientCounts counts;
  const DWORD start = GetTickCount();
  ComPtr<IVKSVolume> volume;
  if (!com.IsStarted() || FAILED(CoCreateInstance(CLSID_VKSModule, nullptr, CLSCTX_LOCAL_SERVER, IID_IVKSVolume,
                                                  reinterpret_cast<void**>(&volume)))) {
    printf("client %d: cannot reach the server\n", index);
    return 2;
  }
  const std::wstring folder = L"\\A:\\c" + std::to_wstring(index);
  CBstr folderText(folder.c_str());
  std::map<std::wstring, std::string> held;   // what the folder must hold
  // A failed call is counted and shown with its code.
  auto failed = [&](HRESULT hr, const char* step, int i) {
    if (SUCCEEDED(hr)) return false;
    ++counts.failures;
    printf("client %d: %s failed with 0x%08lx at operation %d\n", index, step, static_cast<unsigned long>(hr), i);
    return true;
  };
  auto check = [&](bool same, const char* step, int i) {
    if (same) return;
    ++counts.mismatches;
    printf("client %d: %s differs at operation %d\n", index, step, i);
  };
  failed(volume->CreateDir(folderText.GetBstr()), "making its folder", -1);
  for (int i = 0; i < operations; ++i, InterlockedIncrement(&g_progress)) {
    ++counts.operations;
    const std::wstring name = L"f" + std::to_wstring(i) + L".bin";
    std::string bytes;
    std::set<std::wstring> names;
    switch (i % 5) {
      case 0: {   // to the module
        const std::string sent = Bytes(static_cast<size_t>((i * 7919 + index * 131) % 40000), index * 1000 + i);
        if (failed(PutBytes(volume.Get(), folder + L"\\" + name, sent), "a put", i)) break;
        held[name] = sent;
        break;
      }
      case 1:     // back from it
        if (held.empty()) break;
        if (failed(GetBytes(volume.Get(), folder + L"\\" + held.rbegin()->first, &bytes), "a read", i)) break;
        check(bytes == held.rbegin()->second, "a file read back", i);
        break;
      case 2:     // within it
        if (held.empty()) break;
        {
          CBstr from((folder + L"\\" + held.begin()->first).c_str());
          CBstr to((folder + L"\\" + name).c_str());
          if (failed(volume->Copy(from.GetBstr(), to.GetBstr()), "a copy", i)) break;
          held[name] = held.begin()->second;
          if (failed(GetBytes(volume.Get(), folder + L"\\" + name, &bytes), "reading a copy", i)) break;
          check(bytes == held[name], "a copy made on the module", i);
        }
        break;
      case 3:     // the folder's listing
        if (failed(ListNames(volume.Get(), folder + L"\\*", &names), "a listing", i)) break;
        {
          std::set<std::wstring> expected;
          for (const auto& file : held) expected.insert(file.first);
          check(names == expected, "the folder's listing", i);
        }
        break;
      default:    // one file less
        if (held.size() < 3) break;
        {
          CBstr gone((folder + L"\\" + held.begin()->first).c_str());
          if (failed(volume->Delete(gone.GetBstr()), "a delete", i)) break;
          held.erase(held.begin());
        }
        break;
    }
  }
  printf("client %d: %d operations, %d failures, %d mismatches, %.1f s\n", index, counts.operations,
         counts.failures, counts.mismatches, SecondsSince(start));
  fflush(stdout);
  return counts.failures || counts.mismatches ? 1 : 0;
}

// ---- the runs ----

class Stress : public CopyToolTest {
protected:
  int hangs = 0, mismatches = 0, failures = 0;

  // A run of the tool that reports its own hang.
  bool RunWatched(const std::wstring& tool, const std::vector<std::wstring>& args, const std::wstring& output,
                  DWORD* exitCode) {
    HANDLE process = StartWithOutputFile(ToolCommandLine(tool, args), output);
    if (!process) return false;
    const bool ended = WaitWithProgress(process, output);
    if (!ended) TerminateProcess(process, 99);
    WaitForSingleObject(process, 10000);
    GetExitCodeProcess(process, exitCode);
    CloseHandle(process);
    return ended;
  }

  void ManyFileCopies(int runs, int files) {
    printf("\nmany-file copy: %d files of 0 to 4095 bytes, mod:a:\\many to the PC, %d runs\n", files, runs);
    fflush(stdout);
    // Room on the volume for the whole folder and the clients' files.
    vkstest::CSimControl sim;
    ASSERT_TRUE(sim.Command("obex capacity A 1073741824"));
    const std::wstring many = VolumePath(L'A') + L"\\many";
    MakeFolder(many);
    for (int i = 0; i < files; ++i)
      WriteBytes(many + L"\\file" + std::to_wstring(100000 + i) + L".bin",
                 PatternBytes(static_cast<size_t>((i * 2654435761u) % 4096), i));
    for (int run = 1; run <= runs; ++run) {
      const std::wstring out = PcPath(L"run" + std::to_wstring(run));
      const std::wstring log = PcPath(L"run" + std::to_wstring(run) + L".log");
      const DWORD start = GetTickCount();
      DWORD exitCode = 0;
      if (!RunWatched(L"VKSXCopy", {L"mod:a:\\many", out}, log, &exitCode)) {
        ++hangs;
        printf("run %d: HANG after %.1f s, last line: %s\n", run, SecondsSince(start),
               LastLine(ReadBytes(log)).c_str());
        fflush(stdout);
        return;
      }
      int differ = 0, missing = 0;
      for (int i = 0; i < files; ++i) {
        const std::wstring name = L"\\file" + std::to_wstring(100000 + i) + L".bin";
        const std::string back = ReadBytes(out + name);
        if (back == "<missing>")
          ++missing;
        else if (back != PatternBytes(static_cast<size_t>((i * 2654435761u) % 4096), i))
          ++differ;
      }
      mismatches += differ + missing;
      if (exitCode) ++failures;
      printf("run %d: exit %lu, %s, %d missing, %d differ, %.1f s\n", run, exitCode,
             LastLine(ReadBytes(log)).c_str(), missing, differ, SecondsSince(start));
      fflush(stdout);
    }
  }

  void ParallelClients(int clients, int operations) {
    printf("\nparallel clients: %d at once, %d operations each (put, get, copy, list, delete)\n", clients,
           operations);
    fflush(stdout);
    std::vector<HANDLE> processes;
    std::vector<std::wstring> logs;
    const DWORD start = GetTickCount();
    for (int c = 1; c <= clients; ++c) {
      logs.push_back(PcPath(L"client" + std::to_wstring(c) + L".log"));
      const std::wstring line =
          QuoteArgument(ThisExe()) + L" --client " + std::to_wstring(c) + L" " + std::to_wstring(operations);
      processes.push_back(StartWithOutputFile(line, logs.back()));
    }
    for (size_t c = 0; c < processes.size(); ++c) {
      if (!processes[c]) {
        ++failures;
        printf("client %zu: did not start\n", c + 1);
        continue;
      }
      // Each client watches itself; this is the last resort.
      if (WaitForSingleObject(processes[c], kStallMs * 4) != WAIT_OBJECT_0) TerminateProcess(processes[c], 99);
      DWORD exitCode = 99;
      GetExitCodeProcess(processes[c], &exitCode);
      CloseHandle(processes[c]);
      const std::string text = ReadBytes(logs[c]);
      printf("%s", text.c_str());
      if (exitCode == 3 || exitCode == 99) ++hangs;
      if (text.find("differs") != std::string::npos) ++mismatches;
      if (exitCode == 1 || exitCode == 2) ++failures;
    }
    printf("clients done in %.1f s\n", SecondsSince(start));
    fflush(stdout);
  }

  static std::string LastLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t cut = text.find_last_of('\n');
    return cut == std::string::npos ? text : text.substr(cut + 1);
  }
};

TEST_F(Stress, ManyFilesThenParallelClients) {
  const int runs = Setting("VKS_STRESS_RUNS", 5);
  const int files = Setting("VKS_STRESS_FILES", 10000);
  const int clients = Setting("VKS_STRESS_CLIENTS", 8);
  const int operations = Setting("VKS_STRESS_OPS", 100);
  ManyFileCopies(runs, files);
  if (!hangs) ParallelClients(clients, operations);
  printf("\nresult: %d hangs, %d mismatches, %d failed runs\n\n", hangs, mismatches, failures);
  fflush(stdout);
  EXPECT_EQ(0, hangs);
  EXPECT_EQ(0, mismatches);
  EXPECT_EQ(0, failures);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && wcscmp(argv[1], L"--client") == 0) return RunClient(_wtoi(argv[2]), _wtoi(argv[3]));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
