// The fake volume and general objects the extension's tests stand in for the server with.
#include <gtest/gtest.h>
#include <thread>
#include "ScriptedVolume.h"

namespace {

class ScriptedVolumeTest : public ErrorInfoTest {
protected:
  CScriptedVolume volume;
  HRESULT List(const wchar_t* path, VARIANT* out) {
    BSTR text = SysAllocString(path);
    HRESULT hr = volume.GetEntries(text, VARIANT_FALSE, out);
    SysFreeString(text);
    return hr;
  }
  static std::wstring Error() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return L"(none)";
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::wstring description = text ? text : L"";
    SysFreeString(text);
    info->Release();
    return description;
  }
};

struct Cell {
  VARTYPE type;
  double number;
};

// Cell f of row e, laid out as the server lays it out.
Cell CellAt(const VARIANT& listing, LONG e, LONG f, std::wstring* text = nullptr) {
  LONG upper = -1;
  SafeArrayGetUBound(V_ARRAY(&listing), 1, &upper);
  VARIANT* cells = nullptr;
  SafeArrayAccessData(V_ARRAY(&listing), reinterpret_cast<void**>(&cells));
  const VARIANT& cell = cells[e + f * (upper + 1)];
  Cell result{V_VT(&cell), V_VT(&cell) == VT_R8 ? V_R8(&cell) : V_VT(&cell) == VT_I4 ? V_I4(&cell) : 0};
  if (text && V_VT(&cell) == VT_BSTR) *text = V_BSTR(&cell);
  SafeArrayUnaccessData(V_ARRAY(&listing));
  return result;
}

LONG Rows(const VARIANT& listing) {
  LONG upper = -1;
  SafeArrayGetUBound(V_ARRAY(&listing), 1, &upper);
  return upper + 1;
}

TEST_F(ScriptedVolumeTest, RootPathsListTheDrivesAsTheServerDoes) {
  volume.SetDrives({{L"A:", 1000, 400, L"CARD"}, {L"B:", 2000, 1500, L""}});
  struct Case {
    const wchar_t* path;
    std::vector<std::wstring> names;
  } cases[] = {{L"", {L"A:", L"B:"}},     {L"\\", {L"A:", L"B:"}}, {L"\\*", {L"A:", L"B:"}},
               {L"a:", {L"A:"}},          {L"\\B:", {L"B:"}}};
  for (const Case& c : cases) {
    VARIANT listing;
    ASSERT_EQ(List(c.path, &listing), S_OK) << c.path;
    ASSERT_EQ(Rows(listing), static_cast<LONG>(c.names.size())) << c.path;
    for (size_t e = 0; e < c.names.size(); ++e) {
      std::wstring name;
      CellAt(listing, static_cast<LONG>(e), 0, &name);
      EXPECT_EQ(name, c.names[e]) << c.path;
    }
    VariantClear(&listing);
  }
  VARIANT listing;
  ASSERT_EQ(List(L"\\B:", &listing), S_OK);
  Cell size = CellAt(listing, 0, 2), attributes = CellAt(listing, 0, 3), free = CellAt(listing, 0, 6);
  EXPECT_EQ(size.type, VT_I4);
  EXPECT_EQ(size.number, 2000);
  EXPECT_EQ(attributes.number, 0x10);
  EXPECT_EQ(free.type, VT_R8);   // free bytes, not a date
  EXPECT_EQ(free.number, 1500);
  VariantClear(&listing);
  EXPECT_EQ(List(L"\\C:", &listing), E_INVALIDARG);
  VariantClear(&listing);
}

TEST_F(ScriptedVolumeTest, ListingsPerPathAndEmptyFoldersGiveSFalseWithAnArray) {
  volume.SetDrives({{L"A:", 1, 1, L""}});
  volume.SetListing(L"\\A:\\*", CTestEntries().AddEntry(L"one", 1, 0x20).AddEntry(L"two", 2, 0x20));
  volume.SetListing(L"\\A:\\empty\\*", CTestEntries());
  struct Case {
    const wchar_t* path;
    HRESULT result;
    LONG rows;
  } cases[] = {{L"\\A:\\*", S_OK, 2}, {L"\\A:\\empty\\*", S_FALSE, 0}, {L"\\A:\\unknown\\*", S_FALSE, 0}};
  for (const Case& c : cases) {
    VARIANT listing;
    EXPECT_EQ(List(c.path, &listing), c.result) << c.path;
    ASSERT_EQ(V_VT(&listing), VT_ARRAY | VT_VARIANT) << c.path;
    EXPECT_EQ(Rows(listing), c.rows) << c.path;
    VariantClear(&listing);
  }
  EXPECT_EQ(volume.Calls(), (std::vector<std::wstring>{L"GetEntries \\A:\\*", L"GetEntries \\A:\\empty\\*",
                                                       L"GetEntries \\A:\\unknown\\*"}));
}

TEST_F(ScriptedVolumeTest, FailuresByCallOrMethodWithTextsAndCounts) {
  volume.Fail(L"Delete \\A:\\x", E_ACCESSDENIED, L"Access is denied.");
  volume.Fail(L"Delete", E_FAIL, nullptr, 1);
  volume.Fail(L"RemoveDir \\A:\\d", 0x8004B001, L"Lost.", 2);
  BSTR x = SysAllocString(L"\\A:\\x"), y = SysAllocString(L"\\A:\\y"), d = SysAllocString(L"\\A:\\d");
  struct Step {
    HRESULT (CScriptedVolume::*call)(BSTR);
    BSTR path;
    HRESULT result;
    const wchar_t* error;
  } steps[] = {
      {&CScriptedVolume::Delete, x, E_ACCESSDENIED, L"Access is denied."},   // the whole text wins
      {&CScriptedVolume::Delete, y, E_FAIL, L"(none)"},                      // the method, once
      {&CScriptedVolume::Delete, y, S_OK, L"(none)"},
      {&CScriptedVolume::RemoveDir, d, static_cast<HRESULT>(0x8004B001), L"Lost."},
      {&CScriptedVolume::RemoveDir, d, static_cast<HRESULT>(0x8004B001), L"Lost."},
      {&CScriptedVolume::RemoveDir, d, S_OK, L"(none)"},
  };
  for (const Step& step : steps) {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ((volume.*step.call)(step.path), step.result) << step.path;
    EXPECT_EQ(Error(), step.error) << step.path;
  }
  SysFreeString(x);
  SysFreeString(y);
  SysFreeString(d);
  EXPECT_EQ(volume.Calls().size(), 6u);
}

TEST_F(ScriptedVolumeTest, SinksAreKeptFiredAndLetGo) {
  CRecordingNotifySink first, second;
  {
    CScriptedVolume local;
    BSTR path = SysAllocString(L"\\A:\\dir");
    LONG one = 0, two = 0;
    ASSERT_EQ(local.AddChangeNotification(path, &first, &one), S_OK);
    ASSERT_EQ(local.AddChangeNotification(path, &second, &two), S_OK);
    SysFreeString(path);
    EXPECT_NE(one, two);
    EXPECT_EQ(local.SinkPath(1), L"\\A:\\dir");
    EXPECT_EQ(local.FireChange(L"D:\\A:\\dir\\x"), 2);
    EXPECT_EQ(local.RemoveChangeNotification(one), S_OK);
    EXPECT_EQ(local.RemoveChangeNotification(one), E_INVALIDARG);
    EXPECT_EQ(first.references, 1);
    EXPECT_EQ(local.FireChange(L"\\A:\\dir"), 1);
    EXPECT_EQ(second.references, 2);
  }
  EXPECT_EQ(second.references, 1);   // the volume's end lets go of what it kept
  EXPECT_EQ(first.changes, std::vector<std::wstring>{L"D:\\A:\\dir\\x"});
  EXPECT_EQ(second.changes, (std::vector<std::wstring>{L"D:\\A:\\dir\\x", L"\\A:\\dir"}));
}

TEST_F(ScriptedVolumeTest, FilesGoInAndOutAsStreams) {
  volume.SetFile(L"\\A:\\in.txt", "hello");
  BSTR in = SysAllocString(L"\\A:\\in.txt"), out = SysAllocString(L"\\A:\\out.txt"),
       moved = SysAllocString(L"\\A:\\moved.txt");
  IUnknown* content = nullptr;
  ASSERT_EQ(volume.GetFile(in, &content), S_OK);
  EXPECT_EQ(volume.PutFile(out, content, 0x20), S_OK);
  content->Release();
  EXPECT_EQ(volume.Move(out, moved), S_OK);
  std::string bytes;
  EXPECT_FALSE(volume.GetStoredFile(L"\\A:\\out.txt", nullptr));
  EXPECT_TRUE(volume.GetStoredFile(L"\\A:\\moved.txt", &bytes));
  EXPECT_EQ(bytes, "hello");
  EXPECT_EQ(volume.AttributesOf(L"\\A:\\out.txt"), 0x20);
  CRecordingNotifySink notStream;
  EXPECT_EQ(volume.PutFile(out, &notStream, 0), E_NOINTERFACE);
  EXPECT_EQ(volume.GetFile(out, &content), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(volume.Calls()[2], L"Move \\A:\\out.txt \\A:\\moved.txt");
  SysFreeString(in);
  SysFreeString(out);
  SysFreeString(moved);
}

TEST_F(ScriptedVolumeTest, CapacityAndLabelsFollowTheDrives) {
  volume.SetDrives({{L"A:", 1000, 400, L"CARD"}});
  BSTR a = SysAllocString(L"\\A:"), b = SysAllocString(L"B:"), label = SysAllocString(L"NEW");
  LONG total = 0, free = 0;
  EXPECT_EQ(volume.GetCapacity(a, &total, &free), S_OK);
  EXPECT_EQ(total, 1000);
  EXPECT_EQ(free, 400);
  EXPECT_EQ(volume.GetCapacity(a, nullptr, nullptr), S_OK);
  EXPECT_EQ(volume.GetCapacity(b, &total, &free), E_INVALIDARG);
  EXPECT_EQ(volume.SetLabel(a, label), S_OK);
  BSTR got = nullptr;
  EXPECT_EQ(volume.GetLabel(a, &got), S_OK);
  EXPECT_STREQ(got, L"NEW");
  SysFreeString(got);
  for (BSTR text : {a, b, label}) SysFreeString(text);
}

// A worker in another apartment gets this very object through marshalling,
// and calls from several threads are all recorded.
TEST_F(ScriptedVolumeTest, WorkersInOtherApartmentsCallTheSameObject) {
  IStream* marshalled = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IVKSVolume, &volume, &marshalled), S_OK);
  IVKSVolume* seen = nullptr;
  std::thread([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IVKSVolume* unmarshalled = nullptr;
    if (SUCCEEDED(CoGetInterfaceAndReleaseStream(marshalled, IID_IVKSVolume,
                                                 reinterpret_cast<void**>(&unmarshalled)))) {
      seen = unmarshalled;
      unmarshalled->Release();
    }
    CoUninitialize();
  }).join();
  EXPECT_EQ(seen, static_cast<IVKSVolume*>(&volume));
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      BSTR path = SysAllocString(L"\\A:\\w");
      for (int i = 0; i < 200; ++i) volume.CreateDir(path);
      SysFreeString(path);
    });
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(volume.Calls().size(), 800u);
  EXPECT_EQ(volume.references, 1);
}

TEST_F(ScriptedVolumeTest, GeneralAnswersAndRecords) {
  CScriptedGeneral general;
  general.Fail(L"Shutdown 0", E_ABORT, L"Busy.");
  BSTR model = nullptr, ports = nullptr;
  EXPECT_EQ(general.GetMobileModel(&model), S_OK);
  EXPECT_EQ(general.GetCommPorts(&ports, 3), S_OK);
  EXPECT_STREQ(ports, L"COM1;COM2");
  EXPECT_EQ(general.Shutdown(0), E_ABORT);
  EXPECT_EQ(Error(), L"Busy.");
  EXPECT_EQ(general.Shutdown(100), S_OK);
  EXPECT_EQ(general.Calls(), (std::vector<std::wstring>{L"GetMobileModel", L"GetCommPorts 3", L"Shutdown 0",
                                                        L"Shutdown 100"}));
  SysFreeString(model);
  SysFreeString(ports);
}

}  // namespace
