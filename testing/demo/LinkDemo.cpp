// testing/demo/LinkDemo.cpp - walks the module link through a short session with
// the simulator: model, volumes, capacity, a listing, a file in and out.
#include <windows.h>
#include <objidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FolderEntry.h"
#include "IObexStream.h"
#include "OBEXCom.h"
#include "SuiteUtil.h"

namespace {

class VectorSink final : public IObexStream {
public:
  HRESULT Write(const BYTE* data, DWORD length) override {
    bytes.insert(bytes.end(), data, data + length);
    return S_OK;
  }
  std::vector<BYTE> bytes;
};

bool Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return true;
  std::printf("%s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
  return false;
}

void PrintListing(IObex2* obex, int id, const wchar_t* pattern) {
  FolderEntry* entries = nullptr;
  if (!Check(obex->GetFolderListing(id, pattern, &entries), "listing")) return;
  std::printf("  listing of %ls\n", pattern);
  for (FolderEntry* e = entries; e; e = e->next) {
    if (e->attributes & FILE_ATTRIBUTE_DIRECTORY)
      std::printf("    %-24ls <DIR>\n", e->name);
    else
      std::printf("    %-24ls %10lu\n", e->name, static_cast<unsigned long>(e->size));
  }
  FreeEntryList(entries);
}

}  // namespace

int wmain() {
  const char* port = std::getenv("VKS_TEST_PORT");
  if (!port) {
    std::printf("VKS_TEST_PORT is not set: run me through winerun with VKS_WITH_SIM=1\n");
    return 1;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);

  ITransportLayer* transport = nullptr;
  IObex2* obex = nullptr;
  int id = 0;
  if (!Check(CreateSerialTransport(&transport, INVALID_HANDLE_VALUE), "transport") ||
      !Check(CreateObexCom(&obex), "OBEX layer") || !Check(obex->AttachTransport(transport), "attach"))
    return 1;
  std::printf("Opening %s: baud search, AT handshake, OBEX connect\n", port);
  if (!Check(obex->OpenLink(port, 0), "open") || !Check(obex->Connect(&id, 0), "connect")) return 1;

  char model[128] = "";
  WORD volumes = 0;
  obex->GetModel(model, sizeof model);
  obex->GetVolumeCount(&volumes);
  std::printf("  model \"%s\", %u volume(s)\n", model, volumes);
  LONG total = 0, free = 0;
  if (Check(obex->GetCapacity(id, L"A:", &total, 1), "capacity") &&
      Check(obex->GetCapacity(id, L"A:", &free, 2), "free space"))
    std::printf("  A: %ld bytes, %ld free\n", total, free);
  PrintListing(obex, id, L"A:\\*");

  // A file in and out, compared byte for byte.
  std::vector<BYTE> data(200000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>((i * 7919u) >> 3);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, data.size());
  std::memcpy(GlobalLock(memory), data.data(), data.size());
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(memory, TRUE, &stream);
  int status = 1;
  if (Check(obex->CreateDir(id, L"A:\\Demo"), "create folder")) {
    DWORD start = GetTickCount();
    const bool put = Check(obex->PutFile(id, L"A:\\Demo\\data.bin", stream, static_cast<DWORD>(data.size()),
                                         0, 0, 0, 0), "put");
    DWORD putMs = GetTickCount() - start;
    VectorSink back;
    start = GetTickCount();
    const bool got = put && Check(obex->GetFile(id, L"A:\\Demo\\data.bin", &back, 0), "get");
    DWORD getMs = GetTickCount() - start;
    if (got) {
      std::printf("  put %zu bytes in %lu ms, got %zu bytes back in %lu ms: %s\n", data.size(),
                  static_cast<unsigned long>(putMs), back.bytes.size(), static_cast<unsigned long>(getMs),
                  back.bytes == data ? "identical" : "DIFFERENT");
      if (back.bytes == data) status = 0;
    }
    PrintListing(obex, id, L"A:\\Demo\\*");
  }
  stream->Release();
  obex->CloseConnection(id, 0);
  obex->Disconnect();
  delete obex;
  delete transport;
  std::printf("Link closed (\"+++\" sent, module back in command mode)\n");
  return status;
}
