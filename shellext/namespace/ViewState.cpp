// namespace/ViewState.cpp - reading and writing the view's saved state.
#include "ViewState.h"

namespace {

struct ColumnSorts {
  UINT ascending, descending;
};
const ColumnSorts kFileSorts[] = {{8197, 8203}, {8199, 8205}, {8198, 8204}, {8200, 8206}};
const ColumnSorts kDriveSorts[] = {{8197, 8203}, {8198, 8204}, {8410, 8411}, {8412, 8413}};
const ColumnSorts kSearchSorts[] = {{8197, 8203}, {8303, 8342}, {8199, 8205}, {8198, 8204}, {8200, 8206}};

const ColumnSorts* SortsOf(ViewListKind kind, int* count) {
  switch (kind) {
    case ViewListKind::Drives: *count = ARRAYSIZE(kDriveSorts); return kDriveSorts;
    case ViewListKind::Search: *count = ARRAYSIZE(kSearchSorts); return kSearchSorts;
    default: *count = ARRAYSIZE(kFileSorts); return kFileSorts;
  }
}

// True only when all size bytes arrived.
bool ReadAll(IStream* stream, void* buffer, ULONG size) {
  ULONG got = 0;
  HRESULT hr = stream->Read(buffer, size, &got);
  return SUCCEEDED(hr) && got == size;
}

ULONG LoadU32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<ULONG>(p[3]) << 24); }
void StoreU32(BYTE* p, ULONG v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
  p[3] = BYTE(v >> 24);
}

HRESULT WriteAll(IStream* stream, const void* data, ULONG size) {
  ULONG written = 0;
  HRESULT hr = stream->Write(data, size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_MEDIUMFULL;
}

}  // namespace

bool GetColumnSortCommands(ViewListKind kind, int column, UINT* ascending, UINT* descending) {
  int count = 0;
  const ColumnSorts* sorts = SortsOf(kind, &count);
  if (column < 0 || column >= count) return false;
  *ascending = sorts[column].ascending;
  *descending = sorts[column].descending;
  return true;
}

bool IsSortCommandOf(ViewListKind kind, UINT command) {
  int count = 0;
  const ColumnSorts* sorts = SortsOf(kind, &count);
  for (int i = 0; i < count; ++i)
    if (sorts[i].ascending == command || sorts[i].descending == command) return true;
  return false;
}

LPARAM SortParameterOf(UINT command) {
  bool foldersFirst = command != 8303 && command != 8342;
  return static_cast<LPARAM>(command | (foldersFirst ? 0x10000u : 0u));
}

bool IsColumnPermutation(const int order[kViewColumnCount]) {
  bool seen[kViewColumnCount] = {};
  for (UINT i = 0; i < kViewColumnCount; ++i) {
    if (order[i] < 0 || order[i] >= static_cast<int>(kViewColumnCount) || seen[order[i]]) return false;
    seen[order[i]] = true;
  }
  return true;
}

ViewStateData ReadViewState(IStream* stream, ViewListKind kind) {
  ViewStateData state;
  if (!stream) return state;
  BYTE head[24];
  if (!ReadAll(stream, head, 4) || LoadU32(head) != kViewStateTag) return state;
  if (!ReadAll(stream, head + 4, 20)) return state;
  state.fromStream = true;
  for (UINT i = 0; i < kViewColumnCount; ++i) state.widths[i] = LoadU32(head + 4 + 4 * i);
  state.sortCommand = LoadU32(head + 20);
  if (!IsSortCommandOf(kind, state.sortCommand)) state.sortCommand = kDefaultSortCommand;

  BYTE order[16];
  if (!ReadAll(stream, order, sizeof order)) return state;
  int columns[kViewColumnCount];
  for (UINT i = 0; i < kViewColumnCount; ++i) columns[i] = static_cast<int>(LoadU32(order + 4 * i));
  if (IsColumnPermutation(columns)) {
    state.hasOrder = true;
    for (UINT i = 0; i < kViewColumnCount; ++i) state.order[i] = columns[i];
  }

  BYTE length[4];
  if (!ReadAll(stream, length, sizeof length)) return state;
  ULONG size = LoadU32(length);
  if (size == 0 || size > kMaxSavedPositionBytes) return state;
  state.positions.resize(size);
  if (!ReadAll(stream, state.positions.data(), size)) state.positions.clear();
  return state;
}

HRESULT WriteViewState(IStream* stream, const ViewStateData& state) {
  if (!stream) return E_POINTER;
  BYTE head[44];
  StoreU32(head, kViewStateTag);
  for (UINT i = 0; i < kViewColumnCount; ++i)
    StoreU32(head + 4 + 4 * i, state.widths[i] ? state.widths[i] : kDefaultColumnWidth);
  StoreU32(head + 20, state.sortCommand);
  HRESULT hr = WriteAll(stream, head, 24);
  if (FAILED(hr)) return hr;
  for (UINT i = 0; i < kViewColumnCount; ++i) StoreU32(head + 24 + 4 * i, static_cast<ULONG>(state.order[i]));
  StoreU32(head + 40, static_cast<ULONG>(state.positions.size()));
  hr = WriteAll(stream, head + 24, 20);
  if (FAILED(hr) || state.positions.empty()) return hr;
  return WriteAll(stream, state.positions.data(), static_cast<ULONG>(state.positions.size()));
}
