// The access layer on its own (no COM server): path rules for modules with
// one, two and three volumes, and the drive rows.
#include "SimFixture.h"
#include "TestData.h"

#include "PhysicalConnection.h"
#include "ResultCodes.h"
#include "VKSAccess.h"

namespace {

using namespace vkstest;

class ServerAccessSim : public SimTest {
protected:
  void TearDown() override {
    access.reset();
    CloseAllConnections();
  }
  void Open(int volumes) {
    UseVolumes(volumes);
    access.reset(new CVKSAccess(CSimControl::TestPortW().c_str(), -1));
    short count = 0;
    ASSERT_EQ(S_OK, access->GetVolumeCount(&count));
    ASSERT_EQ(volumes, count);
  }
  std::wstring Normal(const wchar_t* in) {
    CBstr out;
    EXPECT_EQ(S_OK, access->NormalizePath(in, &out));
    return out.GetBstr() ? std::wstring(out.GetBstr()) : std::wstring();
  }
  std::unique_ptr<CVKSAccess> access;
};

struct PathCase {
  int volumes;
  const wchar_t* in;
  const wchar_t* normal;
  bool valid;          // without wildcards
  bool validWildcard;  // with
};

const PathCase kPaths[] = {
    {2, L"\\a:\\x", L"A:\\x", true, true},
    {2, L"a:\\x", L"A:\\x", true, true},
    {2, L"A:x", L"A:\\x", true, true},
    {2, L"A:\\", L"A:", true, true},
    {2, L"b:\\d\\e.txt", L"B:\\d\\e.txt", true, true},
    {2, L"\\C:\\x", L"\\C:\\x", false, false},  // no third volume
    {2, L"C:\\x", L"C:\\x", false, false},
    {2, L"A:\\a|b", L"A:\\a|b", false, false},
    {2, L"A:\\a<b", L"A:\\a<b", false, false},
    {2, L"A:\\a>b", L"A:\\a>b", false, false},
    {2, L"A:\\a\"b", L"A:\\a\"b", false, false},
    {2, L"A:\\a:b", L"A:\\a:b", false, false},
    {2, L"A:\\a\\\\b", L"A:\\a\\\\b", false, false},
    {2, L"A:\\a\\", L"A:\\a\\", false, false},
    {2, L"A:\\*.txt", L"A:\\*.txt", false, true},
    {2, L"A:\\d\\?x", L"A:\\d\\?x", false, true},
    {2, L"A:\\*\\x", L"A:\\*\\x", false, false},  // wildcards in the last name only
    {2, L"", L"", false, false},
    {3, L"\\c:\\x", L"C:\\x", true, true},
    {3, L"c:", L"C:", true, true},
    {3, L"\\D:\\x", L"\\D:\\x", false, false},
    {1, L"A:\\dir", L"\\dir", true, true},
    {1, L"\\a:\\dir\\f", L"\\dir\\f", true, true},
    {1, L"A:dir", L"\\dir", true, true},
    {1, L"A:", L"", false, false},
    {1, L"\\dir", L"\\dir", true, true},
    {1, L"B:\\dir", L"B:\\dir", false, false},  // one volume has no B:
    {1, L"dir", L"dir", false, false},
    {1, L"\\d\\*", L"\\d\\*", false, true},
};

TEST_F(ServerAccessSim, PathTableForOneTwoAndThreeVolumes) {
  for (int volumes = 1; volumes <= 3; ++volumes) {
    Open(volumes);
    for (const PathCase& c : kPaths) {
      if (c.volumes != volumes) continue;
      SCOPED_TRACE(testing::Message() << volumes << " volumes, path " << testing::PrintToString(std::wstring(c.in)));
      const std::wstring normal = Normal(c.in);
      EXPECT_EQ(std::wstring(c.normal), normal);
      EXPECT_EQ(c.valid, access->IsValidPath(CBstr(normal.c_str()), false));
      EXPECT_EQ(c.validWildcard, access->IsValidPath(CBstr(normal.c_str()), true));
    }
    access.reset();
    CloseAllConnections();
  }
}

TEST_F(ServerAccessSim, VolumeNamesAndDriveLetters) {
  Open(2);
  EXPECT_TRUE(access->IsValidDrive(L'a'));
  EXPECT_TRUE(access->IsValidDrive(L'B'));
  EXPECT_FALSE(access->IsValidDrive(L'C'));
  EXPECT_FALSE(access->IsValidDrive(L'1'));
  EXPECT_EQ(S_OK, access->ValidateVolumeName(L"b:"));
  EXPECT_EQ(S_OK, access->ValidateVolumeName(L"\\B:\\x"));
  EXPECT_EQ(S_OK, access->ValidateVolumeName(L"A:\\"));
  EXPECT_EQ(E_INVALIDARG, access->ValidateVolumeName(L"C:"));
  EXPECT_EQ(E_INVALIDARG, access->ValidateVolumeName(L"A"));
  EXPECT_EQ(E_INVALIDARG, access->ValidateVolumeName(L""));
  // Formatting or relabelling needs a volume named: never "whichever is current".
  EXPECT_EQ(E_INVALIDARG, access->Format(nullptr));
  EXPECT_EQ(E_INVALIDARG, access->Format(L""));
  EXPECT_EQ(E_INVALIDARG, access->SetLabel(nullptr, L"X"));
  EXPECT_EQ(E_INVALIDARG, access->CreateStdDirs(L"Q:"));
}

TEST_F(ServerAccessSim, SelectingAPortStoresItUpperCaseOnce) {
  Open(1);
  std::wstring lower = CSimControl::TestPortW();
  for (auto& c : lower) c = static_cast<wchar_t>(towlower(c));
  EXPECT_EQ(S_OK, access->SelectPort(lower.c_str(), false));
  EXPECT_EQ(CSimControl::TestPortW(), std::wstring(access->GetPortName().GetBstr()));
  EXPECT_EQ(E_POINTER, access->SelectPort(nullptr, false));
  EXPECT_EQ(E_INVALIDARG, access->SelectPort(L"", false));
  // A name longer than a connection keeps is refused, nothing overruns.
  EXPECT_EQ(E_INVALIDARG, access->SelectPort(L"COM123456789012345678901234567890", false));
  EXPECT_EQ(S_OK, access->SelectPort(CSimControl::TestPortW().c_str(), false));
  short count = 0;
  EXPECT_EQ(S_OK, access->GetVolumeCount(&count));
  EXPECT_EQ(1, count);
}

struct DriveCase {
  const wchar_t* path;
  HRESULT result;
  std::vector<std::wstring> drives;
};

TEST_F(ServerAccessSim, DriveRowsOfAThreeVolumeModule) {
  Open(3);
  ASSERT_TRUE(sim.Command("obex capacity B 1000000"));
  ASSERT_TRUE(WriteHostFile(L"B\\f.bin", Pattern(1000)));
  const DriveCase cases[] = {
      {L"\\", S_OK, {L"A:", L"B:", L"C:"}},
      {L"", S_OK, {L"A:", L"B:", L"C:"}},
      {nullptr, S_OK, {L"A:", L"B:", L"C:"}},
      {L"\\*", S_OK, {L"A:", L"B:", L"C:"}},
      {L"B:", S_OK, {L"B:"}},
      {L"\\b:", S_OK, {L"B:"}},
      {L"Z:", E_INVALIDARG, {}},  // not every drive
      {L"\\Z:", E_INVALIDARG, {}},
  };
  for (const DriveCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.path ? c.path : L"(null)")));
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(c.result, access->GetEntries(c.path, VARIANT_FALSE, &v));
    EXPECT_EQ(c.drives, Names(v));
    VariantClear(&v);
  }
  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(S_OK, access->GetEntries(L"B:", VARIANT_FALSE, &v));
  const VARTYPE types[7] = {VT_BSTR, VT_BSTR, VT_I4, VT_I4, VT_DATE, VT_DATE, VT_R8};
  for (LONG column = 0; column < 7; ++column) {
    VARIANT cell = Cell(v, 0, column);
    EXPECT_EQ(types[column], cell.vt) << "column " << column;
    if (column == 2) {
      EXPECT_EQ(1000000, cell.lVal);
    } else if (column == 3) {
      EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(cell.lVal));
    } else if (column == 6) {
      EXPECT_DOUBLE_EQ(999000.0, cell.dblVal);
    }
    VariantClear(&cell);
  }
  VariantClear(&v);
  EXPECT_EQ(E_POINTER, access->GetEntries(L"\\", VARIANT_FALSE, nullptr));
}

TEST_F(ServerAccessSim, NullOutPlacesAndContentAreRefusedAndOutPlacesCleared) {
  Open(2);
  EXPECT_EQ(E_POINTER, access->GetEntries(L"A:\\*", VARIANT_FALSE, nullptr));
  EXPECT_EQ(E_POINTER, access->HasSubDirs(L"A:\\x", nullptr));
  EXPECT_EQ(E_POINTER, access->GetLabel(L"A:", nullptr));
  EXPECT_EQ(E_POINTER, access->PutFile(L"A:\\x", nullptr, 0));
  EXPECT_EQ(E_POINTER, access->GetFile(L"A:\\x", nullptr));
  EXPECT_EQ(E_INVALIDARG, access->GetFile(nullptr, nullptr));
  BSTR label = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(E_INVALIDARG, access->GetLabel(L"Q:", &label));
  EXPECT_EQ(nullptr, label);
  VARIANT_BOOL subdirs = VARIANT_TRUE;
  EXPECT_EQ(E_INVALIDARG, access->HasSubDirs(L"A:\\a|b", &subdirs));
  EXPECT_EQ(VARIANT_FALSE, subdirs);
  LONG total = 7, free = 7;
  EXPECT_EQ(E_INVALIDARG, access->GetCapacity(L"Q:", &total, &free));
  EXPECT_EQ(0, total);
  EXPECT_EQ(0, free);
  // Content that is no stream.
  IUnknown* notAStream = nullptr;
  ASSERT_EQ(S_OK, CreateErrorInfo(reinterpret_cast<ICreateErrorInfo**>(&notAStream)));
  EXPECT_EQ(E_NOINTERFACE, access->PutFile(L"A:\\x", notAStream, 0));
  notAStream->Release();
}

TEST_F(ServerAccessSim, SelectingAnotherPortLetsARunningDownloadFinishFirst) {
  Open(1);
  const auto data = Pattern(600000, 3);
  ASSERT_TRUE(WriteHostFile(L"A\\big.bin", data));
  ASSERT_TRUE(sim.Command("obex pace delay 20"));
  IUnknown* content = nullptr;
  ASSERT_EQ(S_OK, access->GetFile(L"\\big.bin", &content));
  ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, content->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)));
  content->Release();
  BYTE first[100];
  ULONG got = 0;
  ASSERT_EQ(S_OK, stream->Read(first, sizeof first, &got));
  // The old connection goes only after its queue, with the download, has run.
  EXPECT_EQ(S_OK, access->SelectPort(L"COM9", false));
  std::vector<BYTE> rest;
  ASSERT_EQ(S_OK, ReadAll(stream.Get(), &rest));
  rest.insert(rest.begin(), first, first + got);
  EXPECT_TRUE(rest == data) << rest.size();
}

TEST_F(ServerAccessSim, SwitchingToAnotherPortAndBack) {
  Open(2);
  ASSERT_TRUE(WriteHostFile(L"A\\x.txt", Pattern(3)));
  EXPECT_EQ(S_OK, access->SelectPort(L"COM9", false));
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(E_PORT_OPEN_FAILED, access->GetEntries(L"A:\\*", VARIANT_FALSE, &v));
  EXPECT_EQ(S_OK, access->SelectPort(CSimControl::TestPortW().c_str(), false));
  EXPECT_EQ(S_OK, access->GetEntries(L"A:\\*", VARIANT_FALSE, &v));
  EXPECT_EQ(std::vector<std::wstring>{L"x.txt"}, Names(v));
  VariantClear(&v);
}

TEST_F(ServerAccessSim, CapacitiesBeyondTheContractsRangeAreClampedNotNegative) {
  Open(1);
  ASSERT_TRUE(sim.Command("obex capacity A 3000000000"));
  LONG total = 0, free = 0;
  ASSERT_EQ(S_OK, access->GetCapacity(L"A:", &total, &free));
  EXPECT_EQ(0x7fffffff, total);
  EXPECT_EQ(0x7fffffff, free);
  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(S_OK, access->GetEntries(L"A:", VARIANT_FALSE, &v));
  VARIANT cell = Cell(v, 0, 6);
  EXPECT_DOUBLE_EQ(3000000000.0, cell.dblVal);
  VariantClear(&v);
  // Each out place may be left out.
  EXPECT_EQ(S_OK, access->GetCapacity(L"A:", nullptr, &free));
  EXPECT_EQ(S_OK, access->GetCapacity(L"A:", &total, nullptr));
}

}  // namespace
