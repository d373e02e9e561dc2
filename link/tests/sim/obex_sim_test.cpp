// The module's file operations through the real serial link against the module
// simulator (each test process has a simulator of its own).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OBEXCom.h"
#include "OBEXHelpers.h"
#include "ResultCodes.h"
#include "SimControl.h"
#include "SuiteUtil.h"
#include "TestData.h"
#include "../ScriptedTransport.h"

namespace {

using obexwire::Ascii;
using vkstest::CSimControl;

// The real transport with its AT+CGMM answer hidden, as from a module that
// does not give one.
class NoModelTransport final : public ITransportLayer {
public:
  explicit NoModelTransport(ITransportLayer* inner) : m_inner(inner) {}
  ~NoModelTransport() override { delete m_inner; }
  HRESULT Connect(const wchar_t* port, int baud) override { return m_inner->Connect(port, baud); }
  HRESULT Disconnect() override { return m_inner->Disconnect(); }
  HRESULT LeaveObexMode() override { return m_inner->LeaveObexMode(); }
  HRESULT Transact(BYTE* buffer, WORD* length, DWORD timeoutMs, WORD capacity) override {
    return m_inner->Transact(buffer, length, timeoutMs, capacity);
  }
  HRESULT GetModel(char*, size_t) override { return E_NOTIMPL; }
  HRESULT GetVolumeCount(WORD* count) override { return m_inner->GetVolumeCount(count); }

private:
  ITransportLayer* m_inner;
};

struct Listed {
  std::wstring name;
  DWORD size;
  DWORD attributes;
  DATE modified;
};

class ObexSim : public ::testing::Test {
protected:
  void SetUp() override {
    if (!sim.Available()) GTEST_SKIP() << "no simulator (run with VKS_WITH_SIM=1)";
    ASSERT_TRUE(sim.Command("reset"));
  }
  void TearDown() override { Close(); }

  void Sim(const std::string& command) {
    std::string reply;
    ASSERT_TRUE(sim.Command(command, &reply)) << command << ": " << reply;
  }
  // The value of a simulator command's "OK <value>" reply.
  std::string SimValue(const std::string& command) {
    std::string reply;
    if (!sim.Command(command, &reply)) return "ERR " + reply;
    return reply.size() > 3 ? reply.substr(3) : std::string();
  }
  // Opens the link and the OBEX connection.
  void Open(bool hideModel = false) {
    ASSERT_EQ(S_OK, CreateSerialTransport(&transport, INVALID_HANDLE_VALUE));
    ASSERT_NE(nullptr, transport);
    if (hideModel) transport = new NoModelTransport(transport);
    ASSERT_EQ(S_OK, CreateObexCom(&obex));
    ASSERT_EQ(S_OK, obex->AttachTransport(transport));
    ASSERT_EQ(S_OK, obex->OpenLink(CSimControl::TestPort().c_str(), 0));
    ASSERT_EQ(S_OK, obex->Connect(&id, 0));
    ASSERT_EQ(1, id);
  }
  void Close() {
    if (obex) {
      obex->CloseConnection(id, 0);
      obex->Disconnect();
      delete obex;
      obex = nullptr;
    }
    delete transport;
    transport = nullptr;
  }

  HRESULT Put(const wchar_t* path, const Bytes& data, LONG attributes = 0, DATE written = 0) {
    IStream* stream = MemoryStream(data);
    const HRESULT hr = obex->PutFile(id, path, stream, static_cast<DWORD>(data.size()), attributes,
                                     written, written, written);
    stream->Release();
    return hr;
  }
  HRESULT Get(const wchar_t* path, Bytes* data) {
    RecordingSink sink;
    const HRESULT hr = obex->GetFile(id, path, &sink, 0);
    *data = sink.data;
    return hr;
  }
  HRESULT List(const wchar_t* pattern, std::vector<Listed>* out) {
    out->clear();
    FolderEntry* entries = nullptr;
    const HRESULT hr = obex->GetFolderListing(id, pattern, &entries);
    for (FolderEntry* e = entries; e; e = e->next) {
      out->push_back({e->name, e->size, e->attributes, e->modified});
    }
    FreeEntryList(entries);
    return hr;
  }
  const Listed* Find(const std::vector<Listed>& list, const wchar_t* name) {
    for (const Listed& l : list) {
      if (l.name == name) return &l;
    }
    return nullptr;
  }

  CSimControl sim;
  ITransportLayer* transport = nullptr;
  IObex2* obex = nullptr;
  int id = 0;
};

using vkstest::Pattern;

}  // namespace

TEST_F(ObexSim, FilesAroundThePacketSizeGoThereAndBack) {
  Sim("obex maxpacket 512");
  Open();
  for (size_t size : {0u, 1u, 500u, 503u, 504u, 506u, 507u, 512u, 1018u, 1024u, 3000u}) {
    SCOPED_TRACE(size);
    const std::wstring path = L"\\f" + std::to_wstring(size) + L".bin";
    const Bytes data = Pattern(size);
    ASSERT_EQ(S_OK, Put(path.c_str(), data));
    Bytes back;
    ASSERT_EQ(S_OK, Get(path.c_str(), &back));
    EXPECT_EQ(data, back);
    std::vector<Listed> list;
    ASSERT_EQ(S_OK, List(L"\\*", &list));
    const Listed* entry = Find(list, path.c_str() + 1);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(size, entry->size);
  }
}

TEST_F(ObexSim, LargeFileOnTheNegotiatedPacketSize) {
  Open();
  const Bytes data = Pattern(70000);
  ASSERT_EQ(S_OK, Put(L"\\big.bin", data));
  Bytes back;
  ASSERT_EQ(S_OK, Get(L"\\big.bin", &back));
  EXPECT_EQ(data, back);
}

TEST_F(ObexSim, FoldersCreateListAndDelete) {
  Open();
  EXPECT_EQ(S_OK, obex->CreateDir(id, L"\\a"));
  EXPECT_EQ(S_OK, obex->CreateDir(id, L"\\a\\b"));
  EXPECT_EQ(S_FALSE, obex->CreateDir(id, L"\\a\\b")) << "there already";
  ASSERT_EQ(S_OK, Put(L"\\a\\b\\x.txt", Bytes{'x'}));
  std::vector<Listed> list;
  ASSERT_EQ(S_OK, List(L"\\a\\*", &list));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(L"b", list[0].name);
  EXPECT_TRUE(list[0].attributes & FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_EQ(S_OK, obex->Delete(id, L"\\a\\b\\x.txt"));
  EXPECT_EQ(S_FALSE, List(L"\\a\\b\\*", &list));
  EXPECT_EQ(S_OK, obex->RemoveDir(id, L"\\a\\b"));
  EXPECT_EQ(S_FALSE, List(L"\\a\\*", &list));
  // Walking back and forth between folders keeps the module where the layer thinks.
  ASSERT_EQ(S_OK, Put(L"\\a\\y.txt", Bytes{'y'}));
  // Only the last component is created; its parents must be there.
  EXPECT_EQ(STG_E_FILENOTFOUND, obex->CreateDir(id, L"\\c\\d\\e"));
  for (const wchar_t* folder : {L"\\c", L"\\c\\d", L"\\c\\d\\e"}) {
    EXPECT_EQ(S_OK, obex->CreateDir(id, folder));
  }
  Bytes back;
  EXPECT_EQ(S_OK, Get(L"\\a\\y.txt", &back));
  EXPECT_EQ(Bytes{'y'}, back);
}

TEST_F(ObexSim, CopyAndMoveTakeTheNewPathFirst) {
  Open();
  ASSERT_EQ(S_OK, Put(L"\\a.txt", Ascii("alpha")));
  ASSERT_EQ(S_OK, obex->CreateDir(id, L"\\d"));
  EXPECT_EQ(S_OK, obex->Copy(id, L"\\b.txt", L"\\a.txt"));
  EXPECT_EQ(S_OK, obex->Move(id, L"\\d\\c.txt", L"\\b.txt"));
  std::vector<Listed> list;
  ASSERT_EQ(S_OK, List(L"\\*", &list));
  EXPECT_NE(nullptr, Find(list, L"a.txt"));
  EXPECT_EQ(nullptr, Find(list, L"b.txt"));
  Bytes back;
  ASSERT_EQ(S_OK, Get(L"\\d\\c.txt", &back));
  EXPECT_EQ(Ascii("alpha"), back);
  EXPECT_EQ(S_OK, obex->MoveDir(id, L"\\e", L"\\d"));
  ASSERT_EQ(S_OK, Get(L"\\e\\c.txt", &back));
}

TEST_F(ObexSim, FormatAndStandardFolders) {
  Open();
  ASSERT_EQ(S_OK, Put(L"\\x.txt", Bytes{1}));
  EXPECT_EQ(S_OK, obex->Format(id, L"A:", nullptr));
  std::vector<Listed> list;
  List(L"\\*", &list);
  EXPECT_EQ(nullptr, Find(list, L"x.txt"));
  EXPECT_EQ(S_OK, obex->Format(id, L"A:", L"StdDirs"));
  ASSERT_EQ(S_OK, List(L"\\*", &list));
  for (const wchar_t* name : {L"Audio", L"Pictures", L"Video", L"Documents"}) {
    const Listed* entry = Find(list, name);
    ASSERT_NE(nullptr, entry) << name;
    EXPECT_TRUE(entry->attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
}

TEST_F(ObexSim, CapacityAndLabel) {
  Sim("obex capacity A 1000000");
  Sim("obex label A CARD");
  Open();
  ASSERT_EQ(S_OK, Put(L"\\x.bin", Pattern(1000)));
  LONG total = 0;
  LONG free = 0;
  EXPECT_EQ(S_OK, obex->GetCapacity(id, L"A:", &total, 1));
  EXPECT_EQ(S_OK, obex->GetCapacity(id, L"A:", &free, 2));
  EXPECT_EQ(1000000, total);
  EXPECT_EQ(SimValue("obex free A"), std::to_string(free));
  EXPECT_LT(free, total);

  BSTR label = nullptr;
  ASSERT_EQ(S_OK, obex->GetLabel(id, L"A:", &label, 3));
  EXPECT_STREQ(L"CARD", label);
  SysFreeString(label);
  EXPECT_EQ(S_OK, obex->SetLabel(id, L"A:", L"FLASH", 3));
  EXPECT_EQ("FLASH", SimValue("obex label A"));
}

TEST_F(ObexSim, AttributesAndTimes) {
  Open();
  const DATE written = LocalDate(2023, 4, 5, 6, 7, 8);
  ASSERT_EQ(S_OK, Put(L"\\r.txt", Bytes{'r'}, FILE_ATTRIBUTE_READONLY, written));
  std::vector<Listed> list;
  ASSERT_EQ(S_OK, List(L"\\*", &list));
  const Listed* entry = Find(list, L"r.txt");
  ASSERT_NE(nullptr, entry);
  EXPECT_TRUE(entry->attributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_DOUBLE_EQ(written, entry->modified);

  EXPECT_EQ(S_OK, obex->SetAttributes(id, L"\\r.txt", FILE_ATTRIBUTE_HIDDEN));
  const DATE later = LocalDate(2024, 7, 8, 9, 10, 11);
  EXPECT_EQ(S_OK, obex->SetTime(id, L"\\r.txt", later, later, later));
  ASSERT_EQ(S_OK, List(L"\\*", &list));
  entry = Find(list, L"r.txt");
  ASSERT_NE(nullptr, entry);
  EXPECT_TRUE(entry->attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(entry->attributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_DOUBLE_EQ(later, entry->modified);
}

TEST_F(ObexSim, ModelFromTheHandshake) {
  Sim("set model RM-7 rev2");
  Open();
  char model[30];
  ASSERT_EQ(S_OK, obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("RM-7 rev2", model);
}

TEST_F(ObexSim, ModelFromTheDeviceFile) {
  Sim("obex model XT-9 Lite");
  Open(true);
  char model[30];
  ASSERT_EQ(S_OK, obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("XT-9 Lite", model);
}

TEST_F(ObexSim, ModuleErrorsArriveAsTheirResults) {
  Sim("obex protect A on");
  Open();
  Bytes back;
  EXPECT_EQ(STG_E_FILENOTFOUND, Get(L"\\missing.txt", &back));
  EXPECT_EQ(E_OBEX_DATABASE_LOCKED, obex->SetLabel(id, L"A:", L"X", 3));
  std::vector<Listed> list;
  EXPECT_EQ(STG_E_FILENOTFOUND, List(L"\\nowhere\\*", &list));
}

TEST_F(ObexSim, SeveralVolumes) {
  Sim("set volumes 2");
  Open();
  WORD count = 0;
  ASSERT_EQ(S_OK, obex->GetVolumeCount(&count));
  ASSERT_EQ(2, count);
  ASSERT_EQ(S_OK, Put(L"A:\\a.txt", Ascii("on A")));
  ASSERT_EQ(S_OK, Put(L"B:\\b.txt", Ascii("on B")));
  Bytes back;
  ASSERT_EQ(S_OK, Get(L"A:\\a.txt", &back));
  EXPECT_EQ(Ascii("on A"), back);
  std::vector<Listed> list;
  ASSERT_EQ(S_OK, List(L"B:\\*", &list));
  EXPECT_NE(nullptr, Find(list, L"b.txt"));
  EXPECT_EQ(nullptr, Find(list, L"a.txt"));
}
