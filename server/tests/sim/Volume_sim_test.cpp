// IVKSVolume and IVKSGeneral through a started VKSServer, against the module
// simulator: what the client sends is what the module stores, and back.
#include "SimFixtures.h"

#include <algorithm>

#include "ResultCodes.h"

namespace {

#define EXPECT_FAILED_HR(expr) EXPECT_TRUE(FAILED(expr)) << #expr

using namespace simtest;

class VolumeSim : public ServerSimTest {};

TEST_F(VolumeSim, PutThenGetRoundTripsByteForByte) {
  // The module's packets carry at most 16390 bytes, headers included.
  const size_t sizes[] = {0, 1, 16000, 16383, 16390, 16391, 33000, 300001};
  for (size_t size : sizes) {
    SCOPED_TRACE(testing::Message() << size << " bytes");
    const std::vector<BYTE> data = Pattern(size, static_cast<unsigned>(size));
    const std::wstring name = L"f" + std::to_wstring(size) + L".bin";
    ASSERT_EQ(S_OK, Put((L"A:\\" + name).c_str(), data));
    std::vector<BYTE> stored;
    ASSERT_TRUE(ReadHostFile(L"A\\" + name, &stored));
    EXPECT_TRUE(stored == data) << "stored " << stored.size();
    std::vector<BYTE> back;
    ASSERT_EQ(S_OK, Get((L"a:" + name).c_str(), &back));
    EXPECT_TRUE(back == data) << "read " << back.size();
  }
}

TEST_F(VolumeSim, FileAndFolderOperationsReachTheModule) {
  ASSERT_TRUE(WriteHostFile(L"A\\src.txt", Pattern(500)));
  EXPECT_EQ(S_OK, volume->Copy(Text(L"A:\\src.txt"), Text(L"B:\\copy.txt")));
  std::vector<BYTE> copy;
  ASSERT_TRUE(ReadHostFile(L"B\\copy.txt", &copy));
  EXPECT_TRUE(copy == Pattern(500));

  EXPECT_EQ(S_OK, volume->Move(Text(L"A:\\src.txt"), Text(L"A:\\moved.txt")));
  EXPECT_FALSE(HostExists(L"A\\src.txt"));
  EXPECT_TRUE(HostExists(L"A\\moved.txt"));

  // Missing parents are made on the way.
  EXPECT_EQ(S_OK, volume->CreateDir(Text(L"A:\\one\\two\\three")));
  EXPECT_TRUE(HostIsDir(L"A\\one\\two\\three"));
  VARIANT_BOOL subdirs = VARIANT_FALSE;
  EXPECT_EQ(S_OK, volume->HasSubDirs(Text(L"A:\\one"), &subdirs));
  EXPECT_EQ(VARIANT_TRUE, subdirs);
  // An empty folder lists as S_FALSE.
  EXPECT_TRUE(SUCCEEDED(volume->HasSubDirs(Text(L"A:\\one\\two\\three"), &subdirs)));
  EXPECT_EQ(VARIANT_FALSE, subdirs);

  EXPECT_EQ(S_OK, volume->MoveDir(Text(L"A:\\one"), Text(L"B:\\uno")));
  EXPECT_TRUE(HostIsDir(L"B\\uno\\two\\three"));
  EXPECT_FALSE(HostExists(L"A\\one"));

  EXPECT_EQ(S_OK, volume->RemoveDir(Text(L"B:\\uno\\two\\three")));
  EXPECT_FALSE(HostExists(L"B\\uno\\two\\three"));
  EXPECT_EQ(S_OK, volume->Delete(Text(L"A:\\moved.txt")));
  EXPECT_FALSE(HostExists(L"A\\moved.txt"));
  EXPECT_FAILED_HR(volume->Delete(Text(L"A:\\moved.txt")));
}

TEST_F(VolumeSim, AttributesAndTimesAreStored) {
  ASSERT_TRUE(WriteHostFile(L"A\\f.txt", Pattern(10)));
  EXPECT_EQ(S_OK, volume->SetAttributes(Text(L"A:\\f.txt"), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(E_INVALIDARG, volume->SetAttributes(Text(L"A:\\f.txt"), FILE_ATTRIBUTE_DIRECTORY));
  SYSTEMTIME when = {2021, 6, 0, 15, 10, 30, 0, 0};
  DATE date = 0;
  SystemTimeToVariantTime(&when, &date);
  EXPECT_EQ(S_OK, volume->SetTime(Text(L"A:\\f.txt"), date, date, date));
  ASSERT_EQ(S_OK, volume->BroadcastChangeNotification(Text(L"\\<INVALIDATE_CACHE_CHANGE")));
  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(S_OK, volume->GetEntries(Text(L"A:\\*"), VARIANT_FALSE, &v));
  ASSERT_EQ(1, RowCount(v));
  VARIANT attributes = Cell(v, 0, 3), written = Cell(v, 0, 6);
  EXPECT_TRUE(attributes.lVal & FILE_ATTRIBUTE_READONLY);
  EXPECT_NEAR(date, written.date, 1.0 / 86400 * 2);
  VariantClear(&v);
  // A read-only file is not deleted.
  EXPECT_FAILED_HR(volume->Delete(Text(L"A:\\f.txt")));
  EXPECT_TRUE(HostExists(L"A\\f.txt"));
}

TEST_F(VolumeSim, CapacityLabelFormatAndStandardFolders) {
  ASSERT_TRUE(sim.Command("obex capacity B 2000000"));
  ASSERT_TRUE(WriteHostFile(L"B\\x.bin", Pattern(5000)));
  LONG total = 0, free = 0;
  EXPECT_EQ(S_OK, volume->GetCapacity(Text(L"B:"), &total, &free));
  EXPECT_EQ(2000000, total);
  EXPECT_EQ(2000000 - 5000, free);

  EXPECT_EQ(S_OK, volume->SetLabel(Text(L"B:"), Text(L"CARD")));
  BSTR label = nullptr;
  EXPECT_EQ(S_OK, volume->GetLabel(Text(L"B:"), &label));
  EXPECT_STREQ(L"CARD", label);
  SysFreeString(label);
  EXPECT_EQ(E_INVALIDARG, volume->SetLabel(nullptr, Text(L"X")));
  EXPECT_EQ(E_INVALIDARG, volume->Format(Text(L"")));

  ASSERT_TRUE(WriteHostFile(L"A\\keep.txt", Pattern(5)));
  EXPECT_EQ(S_OK, volume->Format(Text(L"B:")));
  EXPECT_FALSE(HostExists(L"B\\x.bin"));
  EXPECT_TRUE(HostExists(L"A\\keep.txt"));  // only the volume named

  EXPECT_EQ(S_OK, volume->CreateStdDirs(Text(L"B:")));
  std::vector<std::wstring> names;
  EXPECT_EQ(S_OK, List(L"B:\\*", &names, VARIANT_TRUE));
  for (const wchar_t* folder : {L"Audio", L"Pictures", L"Video", L"Documents"})
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), folder)) << testing::PrintToString(std::wstring(folder));
}

TEST_F(VolumeSim, ListingsWithWildcardsAndFoldersOnly) {
  ASSERT_TRUE(WriteHostFile(L"A\\d\\a.txt", Pattern(1)));
  ASSERT_TRUE(WriteHostFile(L"A\\d\\b.bin", Pattern(2)));
  MakeHostDir(L"A\\d\\sub");
  std::vector<std::wstring> names;
  EXPECT_EQ(S_OK, List(L"A:\\d\\*", &names));
  EXPECT_EQ(3u, names.size());
  EXPECT_EQ(S_OK, List(L"A:\\d\\*.txt", &names));
  EXPECT_EQ(std::vector<std::wstring>{L"a.txt"}, names);
  EXPECT_EQ(S_OK, List(L"A:\\d\\*", &names, VARIANT_TRUE));
  EXPECT_EQ(std::vector<std::wstring>{L"sub"}, names);
  EXPECT_EQ(E_INVALIDARG, List(L"A:\\*\\x", &names));
  EXPECT_EQ(S_OK, List(L"\\", &names));
  EXPECT_EQ((std::vector<std::wstring>{L"A:", L"B:"}), names);
}

// Null out places cannot cross processes (the proxy refuses them); the access
// layer's own checks are tested in process.
TEST_F(VolumeSim, TheInvalidationBroadcastEmptiesTheListingCache) {
  std::vector<std::wstring> names;
  ASSERT_EQ(S_FALSE, List(L"A:\\*", &names));  // empty, and now cached
  ASSERT_TRUE(WriteHostFile(L"A\\behind.txt", Pattern(4)));  // the module changed behind our back
  ASSERT_EQ(S_FALSE, List(L"A:\\*", &names));
  EXPECT_EQ(S_OK, volume->BroadcastChangeNotification(Text(L"\\<invalidate_cache_change")));
  ASSERT_EQ(S_OK, List(L"A:\\*", &names));
  EXPECT_EQ(std::vector<std::wstring>{L"behind.txt"}, names);
}

TEST_F(VolumeSim, ArgumentChecks) {
  EXPECT_EQ(E_POINTER, volume->PutFile(Text(L"A:\\x"), nullptr, 0));
  IUnknown* content = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(E_INVALIDARG, volume->GetFile(nullptr, &content));
  EXPECT_EQ(nullptr, content);
  LONG token = 5;
  EXPECT_EQ(E_POINTER, volume->AddChangeNotification(Text(L"A:"), nullptr, &token));
  EXPECT_EQ(0, token);
  EXPECT_EQ(E_INVALIDARG, volume->RemoveChangeNotification(12345));
  ComPtr<IStream> stream = MemoryStream(Pattern(3));
  EXPECT_EQ(E_INVALIDARG, volume->PutFile(Text(L"A:\\x"), stream.Get(), FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(E_INVALIDARG, volume->PutFile(Text(L"A:\\x\\"), stream.Get(), 0));
  EXPECT_EQ(E_INVALIDARG, volume->CreateDir(Text(L"C:\\x")));
  EXPECT_EQ(E_INVALIDARG, volume->BroadcastChangeNotification(Text(L"A:\\a|b")));
  // Error information reaches the client with the server's source.
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(E_INVALIDARG, volume->Delete(Text(L"A:\\a<b")));
  ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
  BSTR source = nullptr;
  info->GetSource(&source);
  EXPECT_STREQ(L"VKSServer.VKSModule.1", source);
  SysFreeString(source);
}

TEST_F(VolumeSim, ModelAndPorts) {
  ASSERT_TRUE(sim.Command("set model VKS-TEST-7"));
  ComPtr<IVKSGeneral> general = Create<IVKSGeneral>(CLSID_VKSGeneral);
  ASSERT_TRUE(general);
  BSTR model = nullptr;
  EXPECT_EQ(S_OK, general->GetMobileModel(&model));
  EXPECT_STREQ(L"VKS-TEST-7", model);
  SysFreeString(model);
  vkstest::CSerialCommEntry entry(CSimControl::TestPortW());
  ASSERT_TRUE(entry.Ok());
  BSTR ports = nullptr;
  EXPECT_EQ(S_OK, general->GetCommPorts(&ports, 1));
  ASSERT_NE(nullptr, ports);
  EXPECT_NE(std::wstring::npos, std::wstring(ports).find(CSimControl::TestPortW()));
  SysFreeString(ports);
  // The module connection is still usable after the model query.
  std::vector<std::wstring> names;
  EXPECT_EQ(S_OK, List(L"\\", &names));
}

}  // namespace
