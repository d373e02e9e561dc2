// namespace/ViewPositions.h - icon positions kept across a refresh and in the
// view's saved state: u32 count, then per row i32 x, i32 y, u32 name length
// (NUL included) and the UTF-16 name.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct ItemPosition {
  std::wstring name;
  POINT point;
};

std::vector<BYTE> EncodeItemPositions(const std::vector<ItemPosition>& rows);
// Records up to the first one that runs past the buffer or is malformed.
std::vector<ItemPosition> DecodeItemPositions(const BYTE* data, size_t size);

struct PositionMove {
  int row;
  POINT point;
};
// The moves that put every saved row back: a row now sitting within 3 pixels
// of a saved place is nudged 12 pixels right and down first, so restored rows
// never land on top of others. rows holds the current names and places and
// is updated as the moves are planned.
std::vector<PositionMove> PlanPositionRestore(const std::vector<ItemPosition>& saved,
                                              std::vector<ItemPosition>* rows);
