// The view's saved state as bytes: what a good stream restores, what every
// broken or foreign stream falls back to, and the icon position records.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "ViewPositions.h"
#include "ViewState.h"

namespace {

class Bytes {
public:
  Bytes& U32(ULONG v) {
    for (int i = 0; i < 4; ++i) data.push_back(BYTE(v >> (8 * i)));
    return *this;
  }
  Bytes& Raw(const std::vector<BYTE>& more) {
    data.insert(data.end(), more.begin(), more.end());
    return *this;
  }
  std::vector<BYTE> data;
};

IStream* StreamOf(const std::vector<BYTE>& bytes) {
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
  ULONG written = 0;
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

ViewStateData ReadBytes(const std::vector<BYTE>& bytes, ViewListKind kind = ViewListKind::Files) {
  IStream* stream = StreamOf(bytes);
  ViewStateData state = ReadViewState(stream, kind);
  if (stream) stream->Release();
  return state;
}

Bytes Head(ULONG sort = 8204) { return Bytes().U32(kViewStateTag).U32(200).U32(80).U32(150).U32(99).U32(sort); }

TEST(ViewStateTest, BadStreamsGiveTheirDefaults) {
  const std::vector<BYTE> positions = EncodeItemPositions({{L"a.txt", {10, 20}}});
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    ViewListKind kind;
    bool fromStream;
    ULONG width0;
    UINT sort;
    bool hasOrder;
    size_t positionBytes;
  } cases[] = {
      {"empty stream", {}, ViewListKind::Files, false, 120, 8197, false, 0},
      {"another tag", Bytes().U32(0x88000006).U32(200).U32(80).U32(150).U32(99).U32(8204).data,
       ViewListKind::Files, false, 120, 8197, false, 0},
      {"tag and 12 bytes", Bytes().U32(kViewStateTag).U32(200).U32(80).U32(150).data, ViewListKind::Files, false,
       120, 8197, false, 0},
      {"tag and 20 bytes", Head().data, ViewListKind::Files, true, 200, 8204, false, 0},
      {"order cut short", Head().U32(3).U32(2).data, ViewListKind::Files, true, 200, 8204, false, 0},
      {"order with a repeat", Head().U32(0).U32(1).U32(1).U32(3).U32(0).data, ViewListKind::Files, true, 200, 8204,
       false, 0},
      {"order out of range", Head().U32(0).U32(1).U32(2).U32(4).U32(0).data, ViewListKind::Files, true, 200, 8204,
       false, 0},
      {"negative column", Head().U32(0).U32(1).U32(2).U32(ULONG(-1)).U32(0).data, ViewListKind::Files, true, 200,
       8204, false, 0},
      {"drive sort in a file list", Head(8410).U32(3).U32(2).U32(1).U32(0).U32(0).data, ViewListKind::Files, true,
       200, 8197, true, 0},
      {"size sort in a drive list", Head(8199).U32(3).U32(2).U32(1).U32(0).U32(0).data, ViewListKind::Drives, true,
       200, 8197, true, 0},
      {"drive sort in a drive list", Head(8413).U32(3).U32(2).U32(1).U32(0).U32(0).data, ViewListKind::Drives, true,
       200, 8413, true, 0},
      {"folder sort in a file list", Head(8303).U32(3).U32(2).U32(1).U32(0).U32(0).data, ViewListKind::Files, true,
       200, 8197, true, 0},
      {"unknown sort", Head(1).U32(3).U32(2).U32(1).U32(0).U32(0).data, ViewListKind::Files, true, 200, 8197, true,
       0},
      {"no length", Head().U32(3).U32(2).U32(1).U32(0).data, ViewListKind::Files, true, 200, 8204, true, 0},
      {"length beyond the stream",
       Head().U32(3).U32(2).U32(1).U32(0).U32(ULONG(positions.size() + 1)).Raw(positions).data, ViewListKind::Files,
       true, 200, 8204, true, 0},
      {"length above 1 MiB", Head().U32(3).U32(2).U32(1).U32(0).U32(0x100001).Raw(positions).data,
       ViewListKind::Files, true, 200, 8204, true, 0},
      {"length ~0", Head().U32(3).U32(2).U32(1).U32(0).U32(0xFFFFFFFF).Raw(positions).data, ViewListKind::Files,
       true, 200, 8204, true, 0},
      {"whole", Head().U32(3).U32(2).U32(1).U32(0).U32(ULONG(positions.size())).Raw(positions).data,
       ViewListKind::Files, true, 200, 8204, true, positions.size()},
  };
  for (const Case& c : cases) {
    ViewStateData state = ReadBytes(c.bytes, c.kind);
    EXPECT_EQ(state.fromStream, c.fromStream) << c.what;
    EXPECT_EQ(state.widths[0], c.width0) << c.what;
    EXPECT_EQ(state.widths[3], c.fromStream ? 99u : 120u) << c.what;
    EXPECT_EQ(state.sortCommand, c.sort) << c.what;
    EXPECT_EQ(state.hasOrder, c.hasOrder) << c.what;
    if (c.hasOrder) EXPECT_EQ(state.order[0], 3) << c.what;
    else EXPECT_EQ(state.order[0], 0) << c.what;
    EXPECT_EQ(state.positions.size(), c.positionBytes) << c.what;
  }
  EXPECT_FALSE(ReadViewState(nullptr, ViewListKind::Files).fromStream);
}

TEST(ViewStateTest, WhatIsWrittenReadsBack) {
  ViewStateData saved;
  saved.widths[0] = 0;   // an unreadable width is saved as the default
  saved.widths[1] = 77;
  saved.widths[2] = 1;
  saved.widths[3] = 300;
  saved.sortCommand = 8411;
  saved.order[0] = 2, saved.order[1] = 0, saved.order[2] = 3, saved.order[3] = 1;
  saved.positions = EncodeItemPositions({{L"A:", {5, 6}}, {L"B:", {-7, 80}}});

  IStream* stream = StreamOf({});
  ASSERT_EQ(WriteViewState(stream, saved), S_OK);
  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  EXPECT_EQ(stat.cbSize.QuadPart, 44 + saved.positions.size());
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ViewStateData back = ReadViewState(stream, ViewListKind::Drives);
  stream->Release();

  EXPECT_TRUE(back.fromStream);
  EXPECT_EQ(back.widths[0], 120u);
  EXPECT_EQ(back.widths[1], 77u);
  EXPECT_EQ(back.widths[2], 1u);
  EXPECT_EQ(back.widths[3], 300u);
  EXPECT_EQ(back.sortCommand, 8411u);
  ASSERT_TRUE(back.hasOrder);
  EXPECT_EQ(std::vector<int>(back.order, back.order + 4), (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(back.positions, saved.positions);
}

// A stream that takes only so many bytes, then refuses.
class CShortStream final : public IStream {
public:
  explicit CShortStream(ULONG room) : m_room(room) {}
  ULONG taken = 0;
  STDMETHODIMP QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(void*, ULONG, ULONG* got) override { if (got) *got = 0; return S_FALSE; }
  STDMETHODIMP Write(const void*, ULONG size, ULONG* written) override {
    if (taken + size > m_room) return STG_E_MEDIUMFULL;
    taken += size;
    if (written) *written = size;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
  ULONG m_room;
};

TEST(ViewStateTest, AFailedWriteEndsTheSaveWithItsResult) {
  ViewStateData state;
  state.positions = EncodeItemPositions({{L"x", {1, 1}}});
  for (ULONG room : {0u, 23u, 24u, 43u, 44u}) {
    CShortStream stream(room);
    EXPECT_EQ(WriteViewState(&stream, state), STG_E_MEDIUMFULL) << room;
    EXPECT_LE(stream.taken, room);
  }
  CShortStream roomy(1000);
  EXPECT_EQ(WriteViewState(&roomy, state), S_OK);
  EXPECT_EQ(roomy.taken, 44 + state.positions.size());
}

TEST(ViewPositionsTest, RecordsDecodeUpToTheFirstThatRunsPastTheBuffer) {
  std::vector<BYTE> two = EncodeItemPositions({{L"first.txt", {1, -2}}, {L"second", {300, 400}}});
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    std::vector<std::wstring> names;
  } cases[] = {
      {"whole", two, {L"first.txt", L"second"}},
      {"last name cut", std::vector<BYTE>(two.begin(), two.end() - 2), {L"first.txt"}},
      {"last header cut", std::vector<BYTE>(two.begin(), two.begin() + 4 + 12 + 20 + 6), {L"first.txt"}},
      {"count only", std::vector<BYTE>(two.begin(), two.begin() + 4), {}},
      {"count cut", std::vector<BYTE>(two.begin(), two.begin() + 3), {}},
      {"count too high", Bytes().U32(5).Raw(std::vector<BYTE>(two.begin() + 4, two.end())).data,
       {L"first.txt", L"second"}},
      {"huge name length", Bytes().U32(1).U32(0).U32(0).U32(0x7FFFFFFF).U32(0).data, {}},
      {"unreadable row kept without a name", Bytes().U32(1).U32(3).U32(4).U32(0).data, {L""}},
  };
  for (const Case& c : cases) {
    std::vector<ItemPosition> rows = DecodeItemPositions(c.bytes.data(), c.bytes.size());
    std::vector<std::wstring> names;
    for (const ItemPosition& row : rows) names.push_back(row.name);
    EXPECT_EQ(names, c.names) << c.what;
  }
  std::vector<ItemPosition> rows = DecodeItemPositions(two.data(), two.size());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].point.x, 1);
  EXPECT_EQ(rows[0].point.y, -2);
  EXPECT_EQ(rows[1].point.x, 300);
  EXPECT_TRUE(DecodeItemPositions(nullptr, 10).empty());
}

TEST(ViewPositionsTest, RestoredRowsPushNearNeighboursAside) {
  // Saved: b.txt at (100, 100). Now: a.txt sits on top of it, c.txt 3 px off,
  // d.txt 4 px off, B.TXT (same name, other case) far away.
  std::vector<ItemPosition> rows = {
      {L"a.txt", {100, 100}}, {L"c.txt", {103, 97}}, {L"d.txt", {104, 100}}, {L"B.TXT", {0, 0}}};
  std::vector<PositionMove> moves =
      PlanPositionRestore({{L"b.txt", {100, 100}}, {L"gone.txt", {5, 5}}, {L"", {0, 0}}}, &rows);
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_EQ(moves[0].row, 0);
  EXPECT_EQ(moves[0].point.x, 112);
  EXPECT_EQ(moves[0].point.y, 112);
  EXPECT_EQ(moves[1].row, 1);
  EXPECT_EQ(moves[1].point.x, 115);
  EXPECT_EQ(moves[1].point.y, 109);
  EXPECT_EQ(moves[2].row, 3);
  EXPECT_EQ(moves[2].point.x, 100);
  EXPECT_EQ(moves[2].point.y, 100);
  EXPECT_EQ(rows[2].point.x, 104);   // 4 px is far enough
}

TEST(ViewStateTest, ColumnSortCommandsPerList) {
  struct Case {
    ViewListKind kind;
    int column;
    bool exists;
    UINT ascending, descending;
  } cases[] = {
      {ViewListKind::Files, 0, true, 8197, 8203},  {ViewListKind::Files, 1, true, 8199, 8205},
      {ViewListKind::Files, 2, true, 8198, 8204},  {ViewListKind::Files, 3, true, 8200, 8206},
      {ViewListKind::Files, 4, false, 0, 0},       {ViewListKind::Files, -1, false, 0, 0},
      {ViewListKind::Drives, 1, true, 8198, 8204}, {ViewListKind::Drives, 2, true, 8410, 8411},
      {ViewListKind::Drives, 3, true, 8412, 8413}, {ViewListKind::Drives, 4, false, 0, 0},
      {ViewListKind::Search, 1, true, 8303, 8342}, {ViewListKind::Search, 2, true, 8199, 8205},
      {ViewListKind::Search, 4, true, 8200, 8206}, {ViewListKind::Search, 5, false, 0, 0},
  };
  for (const Case& c : cases) {
    UINT up = 0, down = 0;
    EXPECT_EQ(GetColumnSortCommands(c.kind, c.column, &up, &down), c.exists) << c.column;
    EXPECT_EQ(up, c.ascending) << c.column;
    EXPECT_EQ(down, c.descending) << c.column;
  }
  EXPECT_EQ(SortParameterOf(8199), 0x12007);
  EXPECT_EQ(SortParameterOf(8303), 8303);
  EXPECT_EQ(SortParameterOf(8342), 8342);
}

}  // namespace
