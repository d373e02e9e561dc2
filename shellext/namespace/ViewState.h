// namespace/ViewState.h - the view's per-folder stream in Explorer's storage:
// column widths, sort command, column order and icon positions.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <vector>

const ULONG kViewStateTag = 0x88000007;
const UINT kViewColumnCount = 4;
const ULONG kDefaultColumnWidth = 120;
const UINT kDefaultSortCommand = 8197;
// The positions blob is outside data; anything bigger is not ours.
const ULONG kMaxSavedPositionBytes = 1024 * 1024;

// Which list a view shows; each has its own set of sort commands.
enum class ViewListKind { Files, Drives, Search };

// The ascending / descending sort commands of a column, or false past the last.
bool GetColumnSortCommands(ViewListKind kind, int column, UINT* ascending, UINT* descending);
bool IsSortCommandOf(ViewListKind kind, UINT command);
// Folders-first rides in the high word of LVM_SORTITEMS' parameter.
LPARAM SortParameterOf(UINT command);

struct ViewStateData {
  bool fromStream = false;                 // tag, widths and sort were read
  ULONG widths[kViewColumnCount] = {kDefaultColumnWidth, kDefaultColumnWidth, kDefaultColumnWidth,
                                    kDefaultColumnWidth};
  UINT sortCommand = kDefaultSortCommand;
  bool hasOrder = false;
  int order[kViewColumnCount] = {0, 1, 2, 3};
  std::vector<BYTE> positions;             // empty: none saved
};

bool IsColumnPermutation(const int order[kViewColumnCount]);
// Whatever part is missing, short or implausible keeps its default.
ViewStateData ReadViewState(IStream* stream, ViewListKind kind);
// Stops at the first failed write and returns its result.
HRESULT WriteViewState(IStream* stream, const ViewStateData& state);
