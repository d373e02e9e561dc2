// link/tests/obexcom_test.cpp - the module's file-system operations, byte for byte on the wire.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "OBEXCom.h"
#include "OBEXHelpers.h"
#include "ResultCodes.h"
#include "ScriptedTransport.h"
#include "SuiteUtil.h"

using namespace obexwire;

namespace {

struct ComLink {
  ScriptedTransport transport;
  IObex2* obex = nullptr;

  explicit ComLink(WORD volumes = 1, WORD maxPacket = 1024) {
    EXPECT_EQ(S_OK, CreateObexCom(&obex));
    EXPECT_EQ(S_OK, obex->AttachTransport(&transport));
    transport.volumeCount = volumes;
    transport.Queue(ConnectResponse(maxPacket));
    int id = 0;
    EXPECT_EQ(S_OK, obex->Connect(&id, 0));
    EXPECT_EQ(1, id);
    transport.Clear();
  }
  ~ComLink() { delete obex; }
};

Bytes Wire(const std::wstring& text) { return Utf16BE(text); }

}  // namespace

TEST(ObexComCopyTest, ExistingPathGoesInTagFiveAndNewPathInTagSix) {
  const struct {
    const char* verb;
    HRESULT (IObex::*call)(int, const wchar_t*, const wchar_t*);
  } ops[] = {{"copy", &IObex::Copy}, {"move", &IObex::Move}, {"move", &IObex::MoveDir}};
  for (const auto& op : ops) {
    SCOPED_TRACE(op.verb);
    ComLink link;
    // Callers pass the new path first.
    EXPECT_EQ(S_OK, (link.obex->*op.call)(1, L"\\c\\b.txt", L"\\a\\b.txt"));
    ASSERT_EQ(1u, link.transport.requests.size());
    EXPECT_EQ(Packet(0x82, AppParams({Triple('4', Ascii(op.verb)), Triple('5', Wire(L"/a/b.txt")),
                                      Triple('6', Wire(L"/c/b.txt"))})),
              link.transport.requests[0].bytes);
    EXPECT_EQ(2000000u, link.transport.requests[0].timeoutMs);
  }
}

TEST(ObexComCopyTest, PathsTheRequestCannotCarryAreRefusedBeforeSending) {
  const std::wstring ok = L"\\" + std::wstring(124, L'a');
  const std::wstring driveOk = L"A:\\" + std::wstring(124, L'a');   // 127 units
  const std::wstring tooLong = L"\\" + std::wstring(125, L'a');     // 126 without trailers
  const std::wstring trailers = L"\\" + std::wstring(120, L'a') + std::wstring(7, L'\\');
  const struct {
    const wchar_t* path;
    bool valid;
  } cases[] = {
      {ok.c_str(), true},        {driveOk.c_str(), true}, {tooLong.c_str(), false},
      {trailers.c_str(), false}, {L"\\a/b", false},       {nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path ? std::string(c.path, c.path + wcslen(c.path)) : "null");
    EXPECT_EQ(c.valid, IsValidObexPath(c.path));
    ComLink link(1, 4096);
    const HRESULT hr = link.obex->Copy(1, L"\\x", c.path);
    EXPECT_EQ(c.valid ? S_OK : E_OBEX_PATH_TOO_LONG, hr);
    EXPECT_EQ(c.valid ? 1u : 0u, link.transport.requests.size());
    EXPECT_EQ(c.valid ? S_OK : E_OBEX_PATH_TOO_LONG, link.obex->Move(1, c.path, L"\\x"));
  }
}

TEST(ObexComTest, DeleteWalksThenPutsTheNameWithoutBody) {
  for (auto call : {&IObex::Delete, &IObex::RemoveDir}) {
    ComLink link;
    EXPECT_EQ(S_OK, (link.obex->*call)(1, L"\\a\\b.txt"));
    EXPECT_EQ((std::vector<Bytes>{SetPath(2, Name(L"a")), Packet(0x82, Name(L"b.txt"))}),
              link.transport.Sent());
    EXPECT_EQ(40000u, link.transport.requests[1].timeoutMs);
  }
}

TEST(ObexComTest, CreateDirEntersTheFolderWithCreationAllowed) {
  ComLink link;
  link.transport.Queue(Ok());
  link.transport.Queue(Packet(0xA2, {}));
  EXPECT_EQ(S_FALSE, link.obex->CreateDir(1, L"\\a\\b"));
  EXPECT_EQ((std::vector<Bytes>{SetPath(2, Name(L"a")), SetPath(0, Name(L"b"))}),
            link.transport.Sent());
}

TEST(ObexComTest, GetFolderListingAsksForTheListingType) {
  ComLink link;
  const std::string text =
      "<?xml version=\"1.0\"?><!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">"
      "<folder-listing version=\"1.0\"><parent-folder/><file name=\"x\" size=\"3\"/></folder-listing>";
  link.transport.Queue(Ok());
  link.transport.Queue(Ok(Cat({U32Header(0xC3, static_cast<DWORD>(text.size())), Header(0x49, Ascii(text))})));
  FolderEntry* entries = nullptr;
  ASSERT_EQ(S_OK, link.obex->GetFolderListing(1, L"\\a\\*", &entries));
  EXPECT_EQ((std::vector<Bytes>{SetPath(2, Name(L"a")),
                                Packet(0x83, Header(0x42, Ascii("x-obex/folder-listing")))}),
            link.transport.Sent());
  ASSERT_NE(nullptr, entries);
  EXPECT_STREQ(L"x", entries->name);
  EXPECT_EQ(3u, entries->size);
  FreeEntryList(entries);

  const std::string empty =
      "<?xml version=\"1.0\"?><!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">"
      "<folder-listing version=\"1.0\"></folder-listing>";
  link.transport.Queue(Ok(Cat({U32Header(0xC3, static_cast<DWORD>(empty.size())), Header(0x49, Ascii(empty))})));
  EXPECT_EQ(S_FALSE, link.obex->GetFolderListing(1, L"\\a\\*", &entries));
  EXPECT_EQ(nullptr, entries);

  link.transport.Queue(Packet(0xC4, {}));
  EXPECT_EQ(STG_E_FILENOTFOUND, link.obex->GetFolderListing(1, L"\\b\\*", &entries));
}

TEST(ObexComTest, FormatAndStandardFolders) {
  const struct {
    WORD volumes;
    const wchar_t* kind;
    std::vector<Bytes> sent;
  } cases[] = {
      {1, nullptr, {Packet(0x82, AppParams({Triple('1', {})}))}},
      {1, L"StdDirs", {Packet(0x82, AppParams({Triple('3', {})}))}},
      {2, nullptr,
       {SetPath(0, Name(L"B:")), SetPath(0, Name(L"")),
        Packet(0x82, Cat({Name(L""), AppParams({Triple('1', {})})}))}},
  };
  for (const auto& c : cases) {
    ComLink link(c.volumes);
    EXPECT_EQ(S_OK, link.obex->Format(1, L"B:", c.kind));
    EXPECT_EQ(c.sent, link.transport.Sent());
    EXPECT_EQ(300000u, link.transport.requests.back().timeoutMs);
  }
}

TEST(ObexComTest, CapacityAnswerIsReadFromItsTriple) {
  const struct {
    const char* what;
    Bytes answer;
    HRESULT result;
    LONG value;
  } cases[] = {
      {"free size", Ok(AppParams({Triple('2', {0x00, 0x01, 0x00, 0x00})})), S_OK, 65536},
      {"behind another triple", Ok(AppParams({Triple('1', {}), Triple('2', {0, 0, 0x10, 0})})), S_OK, 4096},
      {"no answer", Ok(), E_FAIL, 0},
      {"two bytes", Ok(AppParams({Triple('2', {0x01, 0x00})})), E_FAIL, 0},
      {"triple past its header", Ok(Header(0x4C, {'2', 0x04, 0x00})), E_FAIL, 0},
      {"module error", Packet(0xD3, {}), static_cast<HRESULT>(0x80043008), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ComLink link;
    link.transport.Queue(c.answer);
    LONG value = -1;
    EXPECT_EQ(c.result, link.obex->GetCapacity(1, L"A:", &value, 2));
    EXPECT_EQ(c.value, value);
    EXPECT_EQ((std::vector<Bytes>{Packet(0x83, AppParams({Triple('2', {2})}))}), link.transport.Sent());
  }
}

TEST(ObexComTest, CapacityOfOneVolumeOfSeveral) {
  ComLink link(2);
  link.transport.Queue(Ok());
  link.transport.Queue(Ok());
  link.transport.Queue(Ok(AppParams({Triple('2', {0, 0, 0, 9})})));
  LONG value = 0;
  EXPECT_EQ(S_OK, link.obex->GetCapacity(1, L"A:", &value, 1));
  EXPECT_EQ(9, value);
  EXPECT_EQ(Packet(0x83, Cat({Name(L""), AppParams({Triple('2', {1})})})), link.transport.requests[2].bytes);
}

TEST(ObexComTest, LabelIsReadNoFurtherThanItsHeader) {
  const struct {
    const char* what;
    Bytes nameValue;
    const wchar_t* label;
  } cases[] = {
      {"inner header with NUL", Cat({{0x01}, BE16(3 + 12), Wire(L"CARD"), {0, 0, 0, 0}}), L"CARD"},
      {"inner length beyond the outer header", Cat({{0x01}, BE16(200), Wire(L"AB")}), L"AB"},
      {"inner length shorter", Cat({{0x01}, BE16(5), Wire(L"ABC")}), L"A"},
      {"odd byte at the end", Cat({{0x01}, BE16(8), Wire(L"AB"), {0x00}}), L"AB"},
      {"plain text", Wire(L"FLASH"), L"FLASH"},
      {"empty", {}, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ComLink link;
    link.transport.Queue(Ok(Header(0x01, c.nameValue)));
    BSTR label = nullptr;
    ASSERT_EQ(S_OK, link.obex->GetLabel(1, L"A:", &label, 3));
    EXPECT_STREQ(c.label, label);
    SysFreeString(label);
    EXPECT_EQ(Packet(0x83, AppParams({Triple('2', {3})})), link.transport.requests[0].bytes);
  }
  ComLink link;
  link.transport.Queue(Ok());
  BSTR label = nullptr;
  EXPECT_EQ(E_FAIL, link.obex->GetLabel(1, L"A:", &label, 3));
  EXPECT_EQ(nullptr, label);
}

TEST(ObexComTest, SetLabelSendsTheLabelAsName) {
  ComLink link;
  EXPECT_EQ(S_OK, link.obex->SetLabel(1, L"A:", L"CARD", 3));
  EXPECT_EQ(Packet(0x82, Cat({AppParams({Triple('2', {3})}), Name(L"CARD")})),
            link.transport.requests[0].bytes);
  EXPECT_EQ(S_OK, link.obex->SetLabel(1, L"A:", nullptr, 3));
  EXPECT_EQ(Packet(0x82, Cat({AppParams({Triple('2', {3})}), Name(L"")})),
            link.transport.requests[1].bytes);
}

TEST(ObexComTest, ChecksumQuerySendsTheLowByteAndWaitsLonger) {
  ComLink link;
  link.transport.Queue(Ok());
  link.transport.Queue(Ok(AppParams({Triple('9', {0x12, 0x34})})));
  WORD value = 0;
  EXPECT_EQ(S_OK, link.obex->QueryFileParameter(1, L"\\a\\f", 1000, &value));
  EXPECT_EQ(0x1234, value);
  EXPECT_EQ((std::vector<Bytes>{SetPath(2, Name(L"a")),
                                Packet(0x83, Cat({Name(L"f"), AppParams({Triple('9', {0xE8})})}))}),
            link.transport.Sent());
  EXPECT_EQ(40070u, link.transport.requests[1].timeoutMs);
}

TEST(ObexComTest, ChecksumQueryStopsWhenTheWalkFails) {
  ComLink link;
  link.transport.Queue(Packet(0xC4, {}));
  WORD value = 7;
  EXPECT_EQ(STG_E_FILENOTFOUND, link.obex->QueryFileParameter(1, L"\\gone\\f", 10, &value));
  EXPECT_EQ(0, value);
  // Only the failed SETPATH: no checksum of a file in another folder.
  EXPECT_EQ(std::vector<Bytes>{SetPath(2, Name(L"gone"))}, link.transport.Sent());
}

TEST(ObexComTest, GetFileTimeoutsAndResume) {
  const struct {
    const wchar_t* path;
    DWORD resume;
    DWORD timeout;
    Bytes lastRequest;
  } cases[] = {
      {L"\\telecom\\x.txt", 0, 140000, Packet(0x83, Name(L"x.txt"))},
      {L"\\a\\x.txt", 0, 40000, Packet(0x83, Name(L"x.txt"))},
      {L"\\a\\MSG\\x.txt", 0, 140000, Packet(0x83, Name(L"x.txt"))},
      {L"\\a\\x.txt", 300, 40000, Packet(0x83, Cat({Name(L"x.txt"), AppParams({Triple('7', {0x2C})})}))},
  };
  for (const auto& c : cases) {
    ComLink link;
    link.transport.responder = [](const Bytes& r) {
      return r[0] == 0x83 ? Ok(Header(0x49, Ascii("data"))) : Ok();
    };
    RecordingSink sink;
    EXPECT_EQ(S_OK, link.obex->GetFile(1, c.path, &sink, c.resume));
    EXPECT_EQ(Ascii("data"), sink.data);
    EXPECT_EQ(c.lastRequest, link.transport.requests.back().bytes);
    EXPECT_EQ(c.timeout, link.transport.requests.back().timeoutMs);
  }
}

TEST(ObexComTest, PutFileSendsLengthTimeAndThenTheAttributes) {
  ComLink link;
  const DATE written = LocalDate(2024, 5, 6, 7, 8, 9);
  IStream* stream = MemoryStream(Ascii("hello"));
  EXPECT_EQ(S_OK, link.obex->PutFile(1, L"\\a\\x", stream, 5, FILE_ATTRIBUTE_READONLY, 0, 0, written));
  stream->Release();
  EXPECT_EQ((std::vector<Bytes>{
                SetPath(2, Name(L"a")),
                Packet(0x82, Cat({Name(L"x"), U32Header(0xC3, 5), Header(0x44, Ascii("20240506T070809")),
                                  Header(0x49, Ascii("hello"))})),
                Packet(0x82, Cat({Name(L"x"), AppParams({Triple('8', Ascii("\"RD\"\"\""))})}))}),
            link.transport.Sent());
  EXPECT_EQ(40000u, link.transport.requests[1].timeoutMs);
}

TEST(ObexComTest, PutFileIntoTelecomHasNoTimeAndNoAttributes) {
  ComLink link;
  IStream* stream = MemoryStream(Ascii("hi"));
  EXPECT_EQ(S_OK, link.obex->PutFile(1, L"\\telecom\\x", stream, 2, 0, 0, 0, 1.5));
  stream->Release();
  EXPECT_EQ((std::vector<Bytes>{SetPath(2, Name(L"telecom")),
                                Packet(0x82, Cat({Name(L"x"), U32Header(0xC3, 2), Header(0x49, Ascii("hi"))}))}),
            link.transport.Sent());
  EXPECT_EQ(300000u, link.transport.requests[1].timeoutMs);
}

TEST(ObexComTest, PutFileFailureSkipsTheAttributes) {
  ComLink link;
  link.transport.Queue(Ok());
  link.transport.Queue(Packet(0xE0, {}));
  IStream* stream = MemoryStream(Ascii("hi"));
  EXPECT_EQ(STG_E_MEDIUMFULL, link.obex->PutFile(1, L"\\a\\x", stream, 2, 0, 0, 0, 0));
  stream->Release();
  EXPECT_EQ(2u, link.transport.requests.size());
}

TEST(ObexComTest, SetTimeSendsCreatedWrittenAccessedInThatOrder) {
  ComLink link;
  const DATE created = LocalDate(2020, 1, 2, 3, 4, 5);
  const DATE accessed = LocalDate(2021, 6, 7, 8, 9, 10);
  const DATE written = LocalDate(2022, 11, 12, 13, 14, 15);
  EXPECT_EQ(S_OK, link.obex->SetTime(1, L"\\f", created, accessed, written));
  EXPECT_EQ(Packet(0x82, Cat({Name(L"f"), AppParams({Triple('8', {})}),
                              Header(0x44, Ascii("20200102T030405")),
                              Header(0x44, Ascii("20221112T131415")),
                              Header(0x44, Ascii("20210607T080910"))})),
            link.transport.requests[0].bytes);
}

TEST(ObexComTest, SetAttributesSendsThePermissionText) {
  ComLink link;
  EXPECT_EQ(S_OK, link.obex->SetAttributes(1, L"\\f", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(Packet(0x82, Cat({Name(L"f"), AppParams({Triple('8', Ascii("\"RD\"\"R\""))})})),
            link.transport.requests[0].bytes);
}

TEST(ObexComTest, ModelFromTheTransportThenTheCacheThenDevinfo) {
  ComLink link;
  char model[30];
  link.transport.model_ = "TC99";
  ASSERT_EQ(S_OK, link.obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("TC99", model);
  EXPECT_TRUE(link.transport.requests.empty());

  link.transport.model_.clear();
  ASSERT_EQ(S_OK, link.obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("TC99", model);
  EXPECT_TRUE(link.transport.requests.empty());

  // After the connection closes only the module's file knows it.
  EXPECT_EQ(S_OK, link.obex->CloseConnection(1, 1));
  link.transport.responder = [](const Bytes& r) {
    return r[0] == 0x83 ? Ok(Header(0x49, Ascii("MAN:Vendor\r\nMOD:XT-9 Lite\r\nREV:1.2\r\n"))) : Ok();
  };
  ASSERT_EQ(S_OK, link.obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("XT-9 Lite", model);
  EXPECT_EQ((std::vector<Bytes>{SetPath(2, Name(L"telecom")), Packet(0x83, Name(L"devinfo.txt"))}),
            link.transport.Sent());
  EXPECT_EQ(40000u, link.transport.requests[1].timeoutMs);

  // A short buffer gets what fits.
  char small[4];
  ASSERT_EQ(S_OK, link.obex->GetModel(small, sizeof(small)));
  EXPECT_STREQ("XT-", small);
}

TEST(ObexComTest, ModelFileWithoutModelLineOrUnreadable) {
  ComLink link;
  char model[30] = "junk";
  link.transport.responder = [](const Bytes& r) {
    return r[0] == 0x83 ? Ok(Header(0x49, Ascii("MAN:Vendor\r\n"))) : Ok();
  };
  EXPECT_EQ(S_OK, link.obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("", model);

  link.transport.responder = [](const Bytes& r) { return r[0] == 0x83 ? Packet(0xC4, {}) : Ok(); };
  EXPECT_EQ(STG_E_FILENOTFOUND, link.obex->GetModel(model, sizeof(model)));
  EXPECT_STREQ("", model);
}

TEST(ObexComTest, ResultFilterKeepsFailuresAndSFalse) {
  ComLink link;
  link.transport.Queue(Packet(0xA2, {}));
  EXPECT_EQ(S_FALSE, link.obex->SetAttributes(1, L"\\f", 0));
  link.transport.Queue(Packet(0x90, {}));
  EXPECT_EQ(S_OK, link.obex->SetAttributes(1, L"\\f", 0));
  link.transport.Queue(Packet(0xC3, {}));
  EXPECT_EQ(E_ACCESSDENIED, link.obex->SetAttributes(1, L"\\f", 0));
  link.transport.QueueFailure(E_CONNECTION_LOST);
  EXPECT_EQ(E_CONNECTION_LOST, link.obex->SetAttributes(1, L"\\f", 0));
}

TEST(ObexComTest, LinkOperationsWithoutATransport) {
  IObex2* obex = nullptr;
  ASSERT_EQ(S_OK, CreateObexCom(&obex));
  int id = 0;
  WORD count = 0;
  char model[8];
  EXPECT_EQ(E_UNEXPECTED, obex->Connect(&id, 0));
  EXPECT_EQ(E_UNEXPECTED, obex->CloseConnection(1, 0));
  EXPECT_EQ(E_UNEXPECTED, obex->Disconnect());
  EXPECT_EQ(E_UNEXPECTED, obex->OpenLink("COM1", 115200));
  EXPECT_EQ(E_UNEXPECTED, obex->GetVolumeCount(&count));
  EXPECT_EQ(E_UNEXPECTED, obex->GetModel(model, sizeof(model)));
  EXPECT_EQ(E_UNEXPECTED, obex->Delete(1, L"\\f"));
  EXPECT_EQ(E_INVALIDARG, obex->AttachTransport(nullptr));
  delete obex;
}

TEST(ObexComTest, LinkOperationsReachTheTransport) {
  ComLink link(3);
  EXPECT_EQ(S_OK, link.obex->OpenLink("COM12", 460800));
  EXPECT_EQ(L"COM12", link.transport.connectedPort);
  EXPECT_EQ(460800, link.transport.connectedBaud);
  WORD count = 0;
  EXPECT_EQ(S_OK, link.obex->GetVolumeCount(&count));
  EXPECT_EQ(3, count);
  EXPECT_EQ(S_OK, link.obex->CloseConnection(1, 0));
  EXPECT_EQ(std::vector<Bytes>{Packet(0x81, {})}, link.transport.Sent());
  EXPECT_EQ(S_OK, link.obex->Disconnect());
  EXPECT_EQ(1, link.transport.disconnects);
}
