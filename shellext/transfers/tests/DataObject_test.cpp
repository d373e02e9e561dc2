// The data object: what it asks of the server when made, its descriptor and
// blocks, the codes of its format methods, "FileContents" with failures and
// a cancel, the move rule and the clipboard's owner thread.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "ClipboardFormats.h"
#include "DataObjectFormats.h"
#include "DeleteOperation.h"
#include "FakeDataObject.h"
#include "FakeViewSite.h"
#include "ItemIDList.h"
#include "RPLDataObject.h"
#include "ResultCodes.h"
#include "ShellExtTestSupport.h"
#include "ShellSettingsStub.h"
#include "XferTestUi.h"

namespace {

CItemIDList Item(const wchar_t* name, ULONG size, ULONG attributes) {
  CItemIDList item;
  item.CreateItem(name, static_cast<UINT>(wcslen(name)), L"", 0, size, attributes, 0, 0, 0);
  return item;
}

// A volume whose file streams call back on every read, so a test can press
// Cancel or fail the line in the middle of a file.
class CHookedVolume final : public CFakeVolume {
public:
  std::map<std::wstring, std::string> files;
  std::function<HRESULT(int read)> onRead;   // S_OK lets the read run
  int reads = 0;
  volatile LONG liveStreams = 0;
  std::vector<std::wstring> deleted;   // by the delete operation's thread

  STDMETHODIMP Delete(BSTR path) override {
    deleted.push_back(path ? path : L"");
    return S_OK;
  }
  STDMETHODIMP GetFile(BSTR path, IUnknown** content) override {
    auto file = files.find(path ? path : L"");
    if (file == files.end()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    *content = static_cast<IStream*>(new CStream(this, std::make_shared<std::string>(file->second), 0));
    return S_OK;
  }

private:
  class CStream final : public IStream {
  public:
    CStream(CHookedVolume* owner, std::shared_ptr<std::string> bytes, size_t position)
        : m_owner(owner), m_bytes(std::move(bytes)), m_position(position) {
      InterlockedIncrement(&m_owner->liveStreams);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
      if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) || IsEqualIID(riid, IID_ISequentialStream)) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
      }
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_references); }
    STDMETHODIMP_(ULONG) Release() override {
      const ULONG left = InterlockedDecrement(&m_references);
      if (!left) delete this;
      return left;
    }
    STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override {
      const int index = m_owner->reads++;
      if (m_owner->onRead) {
        const HRESULT hr = m_owner->onRead(index);
        if (FAILED(hr)) {
          if (read) *read = 0;
          return hr;
        }
      }
      // Small pieces, as the line delivers them.
      ULONG take = static_cast<ULONG>(std::min<size_t>({count, m_bytes->size() - m_position, 1000}));
      memcpy(buffer, m_bytes->data() + m_position, take);
      m_position += take;
      if (read) *read = take;
      return S_OK;
    }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
      const LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? m_position : m_bytes->size();
      m_position = static_cast<size_t>(base + move.QuadPart);
      if (position) position->QuadPart = m_position;
      return S_OK;
    }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
      ZeroMemory(stat, sizeof(*stat));
      stat->type = STGTY_STREAM;
      stat->cbSize.QuadPart = m_bytes->size();
      return S_OK;
    }
    STDMETHODIMP Clone(IStream** clone) override {
      *clone = new CStream(m_owner, m_bytes, m_position);
      return S_OK;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }

  private:
    ~CStream() { InterlockedDecrement(&m_owner->liveStreams); }
    CHookedVolume* m_owner;
    std::shared_ptr<std::string> m_bytes;
    size_t m_position;
    LONG m_references = 1;
  };
};

// Presses Cancel on this thread's progress dialog.
void PressProgressCancel() {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, ARRAYSIZE(name));
        if (wcscmp(name, L"#32770") != 0) return TRUE;
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return FALSE;
      },
      0);
}

std::string ContentsOf(const STGMEDIUM& medium) {
  if (medium.tymed != TYMED_HGLOBAL) return "<not a block>";
  const SIZE_T size = GlobalSize(medium.hGlobal);
  const char* at = static_cast<const char*>(GlobalLock(medium.hGlobal));
  std::string bytes(at, at + size);
  GlobalUnlock(medium.hGlobal);
  return bytes;
}

FORMATETC Format(UINT format, LONG lindex = -1, DWORD tymed = TYMED_HGLOBAL) {
  return FORMATETC{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, lindex, tymed};
}

class DataObjectTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(RegisterClipboardFormats());
    // \A: holds d\s\f.txt and g.bin.
    volume.SetListing(L"\\A:\\d\\*", CTestEntries().AddEntry(L"s", 0, FILE_ATTRIBUTE_DIRECTORY, 1, MakeDate(2)));
    volume.SetListing(L"\\A:\\d\\s\\*", CTestEntries().AddEntry(L"f.txt", 3, FILE_ATTRIBUTE_ARCHIVE, 1, MakeDate(2)));
    volume.SetFile(L"\\A:\\d\\s\\f.txt", "abc");
    volume.SetFile(L"\\A:\\g.bin", "12345");
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForDeleteOperations(20000));
    OleSetClipboard(nullptr);
    OleUninitialize();
  }

  ComPtr<IDataObject> Make(const std::vector<CItemIDList>& items, DWORD effect = DROPEFFECT_COPY,
                           ITransferViewSite* view = nullptr, bool clipboard = false, HRESULT expected = S_OK) {
    std::vector<LPCITEMIDLIST> lists;
    for (const CItemIDList& item : items) lists.push_back(item.Get());
    ComPtr<IDataObject> data;
    EXPECT_EQ(expected, CreateDataObject(L"\\A:", view, lists.data(), static_cast<UINT>(lists.size()), effect,
                                         nullptr, clipboard, &data));
    return data;
  }
  std::vector<CItemIDList> Selection() const {
    std::vector<CItemIDList> items;
    items.push_back(Item(L"\\A:\\d", 0, FILE_ATTRIBUTE_DIRECTORY));
    items.push_back(Item(L"\\A:\\g.bin", 5, FILE_ATTRIBUTE_ARCHIVE));
    return items;
  }
  std::vector<std::wstring> CallsOf(const wchar_t* method) const {
    std::vector<std::wstring> found;
    const size_t length = wcslen(method);
    for (const std::wstring& call : volume.Calls())
      if (call.compare(0, length, method) == 0) found.push_back(call);
    return found;
  }

  const ClipboardFormatIds& ids = ClipboardFormats();
  CXferTestUi ui;
  CScriptedVolume volume;
  CVolumeFactoryScope factory{&volume};
};

TEST_F(DataObjectTest, MakingItListsTheFoldersAndAsksForEveryFileAtOnce) {
  ComPtr<IDataObject> data = Make(Selection());
  ASSERT_TRUE(data);
  EXPECT_EQ((std::vector<std::wstring>{L"GetEntries \\A:\\d\\*", L"GetEntries \\A:\\d\\s\\*",
                                       L"GetFile \\A:\\d\\s\\f.txt", L"GetFile \\A:\\g.bin"}),
            volume.Calls());

  STGMEDIUM medium = {};
  FORMATETC etc = Format(ids.fileGroupDescriptorW);
  ASSERT_EQ(S_OK, data->GetData(&etc, &medium));
  ASSERT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), medium.tymed);
  EXPECT_EQ(nullptr, medium.pUnkForRelease);
  EXPECT_EQ(4u + 4 * 592u, GlobalSize(medium.hGlobal));
  const auto* group = static_cast<const FILEGROUPDESCRIPTORW*>(GlobalLock(medium.hGlobal));
  ASSERT_EQ(4u, group->cItems);
  const struct {
    const wchar_t* name;
    DWORD size, attributes;
  } expected[] = {{L"d", 0, FILE_ATTRIBUTE_DIRECTORY},
                  {L"d\\s", 0, FILE_ATTRIBUTE_DIRECTORY},
                  {L"d\\s\\f.txt", 3, FILE_ATTRIBUTE_ARCHIVE},
                  {L"g.bin", 5, FILE_ATTRIBUTE_ARCHIVE}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(expected[i].name, group->fgd[i].cFileName) << i;
    EXPECT_EQ(expected[i].size, group->fgd[i].nFileSizeLow) << i;
    EXPECT_EQ(expected[i].attributes, group->fgd[i].dwFileAttributes) << i;
    EXPECT_EQ(0x7Cu, group->fgd[i].dwFlags) << i;
  }
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);
}

TEST_F(DataObjectTest, CreationFailsWithoutItemsOrWhenTheServerFails) {
  ComPtr<IDataObject> data;
  EXPECT_EQ(E_INVALIDARG, CreateDataObject(L"\\A:", nullptr, nullptr, 0, 1, nullptr, false, &data));
  volume.Fail(L"GetFile \\A:\\g.bin", E_ACCESSDENIED, nullptr);
  Make(Selection(), DROPEFFECT_COPY, nullptr, false, E_ACCESSDENIED);
  volume.Fail(L"GetEntries \\A:\\d\\s\\*", E_NO_COMMUNICATION, nullptr);
  Make(Selection(), DROPEFFECT_COPY, nullptr, false, E_NO_COMMUNICATION);
  CVolumeFactoryScope::SetFailure(REGDB_E_CLASSNOTREG);
  {
    CVolumeFactoryScope none(nullptr);
    Make(Selection(), DROPEFFECT_COPY, nullptr, false, REGDB_E_CLASSNOTREG);
  }
  CVolumeFactoryScope::SetFailure(E_FAIL);
}

TEST_F(DataObjectTest, TheirOwnBlocks) {
  CFakeViewSite view;
  std::vector<CItemIDList> items = Selection();
  ComPtr<IDataObject> data = Make(items, DROPEFFECT_MOVE, &view);
  ASSERT_TRUE(data);
  STGMEDIUM medium = {};
  FORMATETC etc = Format(ids.preferredDropEffect);
  ASSERT_EQ(S_OK, data->GetData(&etc, &medium));
  EXPECT_EQ(std::string("\x02\0\0\0", 4), ContentsOf(medium));
  ReleaseStgMedium(&medium);

  etc = Format(ids.viewAddress);
  ASSERT_EQ(S_OK, data->GetData(&etc, &medium));
  BYTE expected[kViewAddressSize];
  BuildViewAddress(view.ViewIdentity(), GetCurrentProcessId(), expected);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(expected), sizeof(expected)), ContentsOf(medium));
  ReleaseStgMedium(&medium);

  etc = Format(ids.directoryData);
  ASSERT_EQ(S_OK, data->GetData(&etc, &medium));
  LPCITEMIDLIST lists[] = {items[0].Get(), items[1].Get()};
  const std::vector<BYTE> block = BuildDirectoryData(L"\\A:", lists, 2);
  EXPECT_EQ(std::string(block.begin(), block.end()), ContentsOf(medium));
  ReleaseStgMedium(&medium);
}

TEST_F(DataObjectTest, CodesOfTheFormatMethods) {
  ComPtr<IDataObject> data = Make(Selection());
  ASSERT_TRUE(data);
  DVTARGETDEVICE device = {};
  struct FormatCase {
    UINT format;
    bool device;
    DWORD aspect;
    LONG lindex;
    DWORD tymed;
    HRESULT result;
  };
  const FormatCase queries[] = {
      {ids.fileGroupDescriptorW, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.preferredDropEffect, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK},
      {ids.directoryData, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.viewAddress, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.fileContents, false, DVASPECT_CONTENT, 3, TYMED_HGLOBAL, S_OK},
      {ids.fileContents, false, DVASPECT_CONTENT, 4, TYMED_HGLOBAL, DV_E_LINDEX},
      {ids.fileContents, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, DV_E_LINDEX},
      {ids.directoryData, false, DVASPECT_CONTENT, 0, TYMED_HGLOBAL, DV_E_LINDEX},
      {ids.directoryData, true, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, DV_E_FORMATETC},
      {ids.directoryData, false, DVASPECT_ICON, -1, TYMED_HGLOBAL, DV_E_DVASPECT},
      {ids.directoryData, false, DVASPECT_CONTENT, -1, TYMED_ISTREAM, DV_E_TYMED},
      {ids.hdrop, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, DV_E_FORMATETC},
      {ids.pasteSucceeded, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, DV_E_FORMATETC},
      // The checks' order: the device before the aspect before the format.
      {ids.hdrop, true, DVASPECT_ICON, -1, TYMED_ISTREAM, DV_E_FORMATETC},
      {ids.hdrop, false, DVASPECT_ICON, -1, TYMED_ISTREAM, DV_E_DVASPECT},
  };
  for (const auto& q : queries) {
    FORMATETC etc = {static_cast<CLIPFORMAT>(q.format), q.device ? &device : nullptr, q.aspect, q.lindex, q.tymed};
    EXPECT_EQ(q.result, data->QueryGetData(&etc)) << q.format << " " << q.lindex;
  }
  EXPECT_EQ(E_INVALIDARG, data->QueryGetData(nullptr));

  struct Canonical {
    UINT format;
    bool device;
    LONG lindex;
    HRESULT result;
    LONG outIndex;
  } canonicals[] = {
      {ids.directoryData, false, -1, DATA_S_SAMEFORMATETC, -1},
      {ids.directoryData, false, 2, S_OK, -1},
      {ids.fileContents, false, 2, DATA_S_SAMEFORMATETC, 2},
      {ids.fileContents, false, 9, S_OK, 0},
      {ids.fileContents, true, 2, S_OK, 0},
      {ids.hdrop, false, -1, DV_E_FORMATETC, 0},
  };
  for (const auto& c : canonicals) {
    FORMATETC in = {static_cast<CLIPFORMAT>(c.format), c.device ? &device : nullptr, DVASPECT_CONTENT, c.lindex,
                    TYMED_ISTREAM};
    FORMATETC out = {};
    ASSERT_EQ(c.result, data->GetCanonicalFormatEtc(&in, &out)) << c.format << " " << c.lindex;
    if (FAILED(c.result)) continue;
    EXPECT_EQ(c.format, out.cfFormat);
    EXPECT_EQ(nullptr, out.ptd);
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), out.tymed);
    EXPECT_EQ(c.outIndex, out.lindex);
  }

  const FormatCase sets[] = {
      {ids.performedDropEffect, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.converted, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.preferredDropEffect, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.targetClsid, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, S_OK},
      {ids.directoryData, false, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, DV_E_FORMATETC},
      {ids.converted, true, DVASPECT_CONTENT, -1, TYMED_HGLOBAL, DV_E_FORMATETC},
      {ids.converted, false, DVASPECT_ICON, -1, TYMED_HGLOBAL, DV_E_DVASPECT},
      {ids.converted, false, DVASPECT_CONTENT, 0, TYMED_HGLOBAL, DV_E_LINDEX},
      {ids.converted, false, DVASPECT_CONTENT, -1, TYMED_ISTREAM, DV_E_TYMED},
  };
  for (const auto& s : sets) {
    FORMATETC etc = {static_cast<CLIPFORMAT>(s.format), s.device ? &device : nullptr, s.aspect, s.lindex, s.tymed};
    STGMEDIUM medium = {};
    medium.tymed = s.tymed;
    DWORD zero[4] = {};
    medium.hGlobal = NewHGlobalFrom(zero, sizeof(zero));
    HGLOBAL block = medium.hGlobal;
    EXPECT_EQ(s.result, data->SetData(&etc, &medium, FALSE)) << s.format;
    GlobalFree(block);
  }
  FORMATETC etc = Format(ids.converted);
  EXPECT_EQ(E_INVALIDARG, data->SetData(&etc, nullptr, FALSE));
  STGMEDIUM empty = {};
  empty.tymed = TYMED_HGLOBAL;
  EXPECT_EQ(E_UNEXPECTED, data->SetData(&etc, &empty, FALSE));

  const struct {
    DWORD direction;
    std::vector<UINT> formats;
  } lists[] = {
      {DATADIR_GET, {ids.fileGroupDescriptorW, ids.fileContents, ids.preferredDropEffect, ids.directoryData,
                     ids.viewAddress}},
      {DATADIR_SET, {ids.performedDropEffect, ids.pasteSucceeded, ids.logicalPerformedDropEffect, ids.converted,
                     ids.preferredDropEffect, ids.targetClsid}},
  };
  for (const auto& list : lists) {
    ComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(S_OK, data->EnumFormatEtc(list.direction, &formats));
    std::vector<UINT> seen;
    FORMATETC one;
    while (formats->Next(1, &one, nullptr) == S_OK) {
      EXPECT_EQ(nullptr, one.ptd);
      EXPECT_EQ(-1, one.lindex);
      EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), one.tymed);
      seen.push_back(one.cfFormat);
    }
    EXPECT_EQ(list.formats, seen) << list.direction;
    // A clone starts where its original stands.
    formats->Reset();
    formats->Skip(2);
    ComPtr<IEnumFORMATETC> clone;
    ASSERT_EQ(S_OK, formats->Clone(&clone));
    ASSERT_EQ(S_OK, clone->Next(1, &one, nullptr));
    EXPECT_EQ(list.formats[2], one.cfFormat);
  }
  EXPECT_EQ(E_INVALIDARG, data->EnumFormatEtc(DATADIR_GET, nullptr));
  EXPECT_EQ(OLE_E_ADVISENOTSUPPORTED, data->DAdvise(nullptr, 0, nullptr, nullptr));
  STGMEDIUM medium = {};
  EXPECT_EQ(E_NOTIMPL, data->GetDataHere(&etc, &medium));
}

TEST_F(DataObjectTest, FileContentsReadsEveryRequestFromTheStart) {
  ComPtr<IDataObject> data = Make(Selection());
  ASSERT_TRUE(data);
  for (int round = 0; round < 2; ++round) {
    for (LONG index : {2, 3, 2}) {
      FORMATETC etc = Format(ids.fileContents, index);
      STGMEDIUM medium = {};
      ASSERT_EQ(S_OK, data->GetData(&etc, &medium)) << index;
      EXPECT_EQ(index == 2 ? "abc" : "12345", ContentsOf(medium)) << round << " " << index;
      ReleaseStgMedium(&medium);
    }
  }
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DataObjectTest, FileContentsFailuresShowOneBoxEach) {
  std::vector<CItemIDList> items = Selection();
  items[1] = Item(L"\\A:\\g.bin", 9, 0);   // the listing said 9, the server has 5
  ComPtr<IDataObject> data = Make(items);
  ASSERT_TRUE(data);
  const struct {
    LONG lindex;
    const char* what;
  } cases[] = {{0, "a folder"}, {3, "a size the listing did not give"}};
  for (const auto& c : cases) {
    ui.shown.clear();
    FORMATETC etc = Format(ids.fileContents, c.lindex);
    STGMEDIUM medium = {};
    EXPECT_EQ(E_FAIL, data->GetData(&etc, &medium)) << c.what;
    EXPECT_EQ(1u, ui.shown.size()) << c.what;
  }
  FORMATETC etc = Format(ids.fileContents, 2);
  STGMEDIUM medium = {};
  EXPECT_EQ(S_OK, data->GetData(&etc, &medium));
  EXPECT_EQ("abc", ContentsOf(medium));
  ReleaseStgMedium(&medium);
}

class HookedDataObjectTest : public DataObjectTest {
protected:
  void SetUp() override {
    DataObjectTest::SetUp();
    hooked.files[L"\\A:\\big.bin"] = std::string(20000, 'x');
    hooked.files[L"\\A:\\empty"] = "";
    hooked.files[L"\\A:\\g.bin"] = "12345";
    items.push_back(Item(L"\\A:\\big.bin", 20000, 0));
    items.push_back(Item(L"\\A:\\empty", 0, 0));
    items.push_back(Item(L"\\A:\\g.bin", 5, 0));
  }
  HRESULT Read(IDataObject* data, LONG lindex, std::string* bytes = nullptr, DWORD tymed = TYMED_HGLOBAL) {
    FORMATETC etc = Format(ids.fileContents, lindex, tymed);
    STGMEDIUM medium = {};
    const HRESULT hr = data->GetData(&etc, &medium);
    if (SUCCEEDED(hr)) {
      if (bytes) *bytes = ContentsOf(medium);
      if (medium.tymed == TYMED_ISTREAM && bytes) *bytes = "<stream>";
      ReleaseStgMedium(&medium);
    }
    return hr;
  }
  CHookedVolume hooked;
  CVolumeFactoryScope hookedFactory{&hooked};
  std::vector<CItemIDList> items;
};

TEST_F(HookedDataObjectTest, CancelIsSilentThenRefusedOnceThenStartsAfresh) {
  ComPtr<IDataObject> data = Make(items);
  ASSERT_TRUE(data);
  hooked.onRead = [](int read) {
    if (read == 3) PressProgressCancel();
    return S_OK;
  };
  EXPECT_EQ(E_TRANSFER_CANCELLED, Read(data.Get(), 0));
  EXPECT_EQ(E_FAIL, Read(data.Get(), 0));
  EXPECT_TRUE(ui.shown.empty());
  hooked.onRead = nullptr;
  std::string bytes;
  EXPECT_EQ(S_OK, Read(data.Get(), 0, &bytes));
  EXPECT_EQ(std::string(20000, 'x'), bytes);
}

TEST_F(HookedDataObjectTest, ALineFailureInTheMiddleOfAFileIsOneBox) {
  ComPtr<IDataObject> data = Make(items);
  ASSERT_TRUE(data);
  hooked.onRead = [](int read) { return read == 5 ? E_CONNECTION_LOST : S_OK; };
  EXPECT_EQ(E_FAIL, Read(data.Get(), 0));
  EXPECT_EQ(1u, ui.shown.size());
  hooked.onRead = nullptr;
  std::string bytes;
  EXPECT_EQ(S_OK, Read(data.Get(), 2, &bytes));
  EXPECT_EQ("12345", bytes);
}

TEST_F(HookedDataObjectTest, AnEmptyFileGoesAsAStreamWhenTheTargetTakesOne) {
  ComPtr<IDataObject> data = Make(items);
  ASSERT_TRUE(data);
  std::string bytes;
  EXPECT_EQ(S_OK, Read(data.Get(), 1, &bytes, TYMED_HGLOBAL | TYMED_ISTREAM));
  EXPECT_EQ("<stream>", bytes);
  EXPECT_EQ(S_OK, Read(data.Get(), 1, &bytes, TYMED_HGLOBAL));
  EXPECT_EQ("", bytes);
}

// The move rule over the effects targets write, and who deletes.
TEST_F(DataObjectTest, TheMoveRuleDeletesTheSelectionOnce) {
  volume.SetListing(L"\\A:\\*", CTestEntries().AddEntry(L"g.bin", 5, 0, 1, MakeDate(2)));
  const CLSID bin = {0x645FF040, 0x5081, 0x101B, {0x9F, 0x08, 0x00, 0xAA, 0x00, 0x2F, 0x95, 0x4E}};
  const struct {
    DWORD preferred, performed, pasteSucceeded, logical;
    bool recycleBin, deletes;
  } cases[] = {
      {2, 0, 2, 0, false, true},  {1, 0, 2, 0, false, false}, {2, 0, 1, 0, false, false},
      {0, 2, 2, 0, false, true},  {0, 2, 0, 2, false, true},  {0, 2, 1, 1, false, false},
      {1, 1, 2, 2, false, false}, {0, 0, 0, 0, false, false}, {2, 0, 2, 0, true, true},
  };
  for (const auto& c : cases) {
    volume.script.ClearCalls();
    volume.SetFile(L"\\A:\\g.bin", "12345");   // a delete takes it away
    ui.shown.clear();
    ui.answers = {IDOK, IDOK};
    std::vector<CItemIDList> items;
    items.push_back(Item(L"\\A:\\g.bin", 5, 0));
    ComPtr<IDataObject> data = Make(items, c.preferred);
    ASSERT_TRUE(data);
    if (c.recycleBin) {
      FORMATETC etc = Format(ids.targetClsid);
      STGMEDIUM medium = {TYMED_HGLOBAL, {}, nullptr};
      medium.hGlobal = NewHGlobalFrom(&bin, sizeof(bin));
      ASSERT_EQ(S_OK, data->SetData(&etc, &medium, TRUE));
    }
    if (c.performed) SetDataObjectDword(data.Get(), ids.performedDropEffect, c.performed);
    if (c.logical) SetDataObjectDword(data.Get(), ids.logicalPerformedDropEffect, c.logical);
    SetDataObjectDword(data.Get(), ids.pasteSucceeded, c.pasteSucceeded);
    SetDataObjectDword(data.Get(), ids.pasteSucceeded, c.pasteSucceeded);   // a second report
    ASSERT_TRUE(WaitForDeleteOperations(20000));
    const size_t deletes = CallsOf(L"Delete ").size();
    EXPECT_EQ(c.deletes ? 1u : 0u, deletes) << c.preferred << c.performed << c.pasteSucceeded << c.logical;
    // Only the bin's delete asks.
    EXPECT_EQ(c.recycleBin, !ui.shown.empty()) << c.preferred << c.performed << c.pasteSucceeded;
  }
}

TEST_F(HookedDataObjectTest, NoDeleteAfterARoundThatDidNotDeliverEveryFile) {
  hooked.files[L"\\A:\\g.bin"] = "12345";
  const struct {
    std::vector<LONG> reads;
    bool deletes;
  } cases[] = {
      {{}, true},             // our own engine moved it: no round
      {{0, 1, 2}, true},      // every file in full
      {{0, 2}, false},        // one file never asked for
  };
  for (const auto& c : cases) {
    hooked.deleted.clear();
    ComPtr<IDataObject> data = Make(items, DROPEFFECT_MOVE);
    ASSERT_TRUE(data);
    for (LONG index : c.reads) EXPECT_EQ(S_OK, Read(data.Get(), index));
    SetDataObjectDword(data.Get(), ids.performedDropEffect, DROPEFFECT_MOVE);
    SetDataObjectDword(data.Get(), ids.pasteSucceeded, DROPEFFECT_MOVE);
    ASSERT_TRUE(WaitForDeleteOperations(20000));
    EXPECT_EQ(c.deletes ? 3u : 0u, hooked.deleted.size()) << c.reads.size();
  }
}

TEST_F(DataObjectTest, TheClipboardObjectLivesOnItsOwnThread) {
  std::vector<CItemIDList> items = Selection();
  std::vector<LPCITEMIDLIST> lists = {items[0].Get(), items[1].Get()};
  // This thread owns the clipboard first: the creator must keep dispatching.
  auto foreign = CFakeDataObject::Make();
  foreign->ServeDword(ids.preferredDropEffect, 1);
  ASSERT_EQ(S_OK, OleSetClipboard(foreign.Get()));
  ASSERT_EQ(S_OK, PutItemsOnClipboard(L"\\A:", nullptr, lists.data(), 2, DROPEFFECT_MOVE, nullptr));
  EXPECT_TRUE(ClipboardHasPastableData());
  ComPtr<IDataObject> pasted;
  ASSERT_EQ(S_OK, OleGetClipboard(&pasted));
  EXPECT_EQ(DROPEFFECT_MOVE, ReadPreferredDropEffect(pasted.Get()));
  for (int paste = 0; paste < 2; ++paste) {
    FORMATETC etc = Format(ids.fileContents, 3);
    STGMEDIUM medium = {};
    ASSERT_EQ(S_OK, pasted->GetData(&etc, &medium)) << paste;
    EXPECT_EQ("12345", ContentsOf(medium));
    ReleaseStgMedium(&medium);
  }
  pasted.Reset();
  EXPECT_EQ(S_OK, OleSetClipboard(nullptr));
  EXPECT_FALSE(ClipboardHasPastableData());

  // A drive root is only a sound.
  CItemIDList drive = Item(L"\\A:", 0, FILE_ATTRIBUTE_DIRECTORY);
  LPCITEMIDLIST driveList[] = {drive.Get()};
  EXPECT_EQ(S_OK, PutItemsOnClipboard(L"", nullptr, driveList, 1, DROPEFFECT_COPY, nullptr));
  EXPECT_EQ(std::vector<std::wstring>{L".Default"}, ui.sounds);
  EXPECT_FALSE(ClipboardHasPastableData());

  // A failure is one box and leaves the clipboard alone.
  volume.Fail(L"GetFile", E_ACCESSDENIED, nullptr);
  EXPECT_EQ(E_ACCESSDENIED, PutItemsOnClipboard(L"\\A:", nullptr, lists.data(), 2, DROPEFFECT_COPY, nullptr));
  EXPECT_EQ(1u, ui.shown.size());
}

TEST_F(DataObjectTest, AMoveLeavesAClipboardOfAnotherObjectAlone) {
  volume.SetListing(L"\\A:\\*", CTestEntries().AddEntry(L"g.bin", 5, 0, 1, MakeDate(2)));
  auto foreign = CFakeDataObject::Make();
  ASSERT_EQ(S_OK, OleSetClipboard(foreign.Get()));
  std::vector<CItemIDList> items;
  items.push_back(Item(L"\\A:\\g.bin", 5, 0));
  ComPtr<IDataObject> data = Make(items, DROPEFFECT_MOVE);
  ASSERT_TRUE(data);
  SetDataObjectDword(data.Get(), ids.pasteSucceeded, DROPEFFECT_MOVE);
  ASSERT_TRUE(WaitForDeleteOperations(20000));
  EXPECT_EQ(1u, CallsOf(L"Delete ").size());
  EXPECT_EQ(S_OK, OleIsCurrentClipboard(foreign.Get()));
}

TEST_F(DataObjectTest, ACutViewGetsItsMarksResetWhenTheObjectGoes) {
  CFakeViewSite view;
  {
    ComPtr<IDataObject> data = Make(Selection(), DROPEFFECT_MOVE, &view);
    ASSERT_TRUE(data);
    EXPECT_EQ(2, view.references);
  }
  EXPECT_EQ(1, view.cutMarkResets);
  EXPECT_EQ(1, view.references);
  {
    ComPtr<IDataObject> data = Make(Selection(), DROPEFFECT_COPY, &view);
    ASSERT_TRUE(data);
  }
  EXPECT_EQ(1, view.cutMarkResets);
}

}  // namespace

namespace {

// Pumps until no stream of the hooked volume is held, or 10 s have passed.
bool WaitForNoStreams(const CHookedVolume& volume) {
  for (int i = 0; i < 1000 && volume.liveStreams != 0; ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  return volume.liveStreams == 0;
}

// Pasted twice (the first paste puts a fresh copy on the clipboard), then
// emptied: the owner thread lets go of every server stream.
TEST_F(HookedDataObjectTest, AnEmptiedClipboardLetsGoOfEveryStream) {
  std::vector<LPCITEMIDLIST> lists;
  for (const CItemIDList& item : items) lists.push_back(item.Get());
  ASSERT_EQ(S_OK, PutItemsOnClipboard(L"\\A:", nullptr, lists.data(), 3, DROPEFFECT_COPY, nullptr));
  EXPECT_LT(0, hooked.liveStreams);
  for (int paste = 0; paste < 2; ++paste) {
    ComPtr<IDataObject> pasted;
    ASSERT_EQ(S_OK, OleGetClipboard(&pasted));
    for (LONG index : {0, 1, 2}) EXPECT_EQ(S_OK, Read(pasted.Get(), index)) << paste << " " << index;
  }
  EXPECT_EQ(S_OK, EmptyOleClipboard());
  EXPECT_TRUE(WaitForNoStreams(hooked)) << hooked.liveStreams << " streams are still held";
}

}  // namespace
