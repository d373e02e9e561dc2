// namespace/ViewPositions.cpp - encoding and restoring saved icon positions.
#include "ViewPositions.h"
#include <cstring>

namespace {

const int kNearPixels = 4;
const int kNudgePixels = 12;

void PutU32(std::vector<BYTE>* out, ULONG v) {
  for (int i = 0; i < 4; ++i) out->push_back(BYTE(v >> (8 * i)));
}

bool GetU32(const BYTE* data, size_t size, size_t* at, ULONG* v) {
  if (*at > size || size - *at < 4) return false;
  const BYTE* p = data + *at;
  *v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<ULONG>(p[3]) << 24);
  *at += 4;
  return true;
}

}  // namespace

std::vector<BYTE> EncodeItemPositions(const std::vector<ItemPosition>& rows) {
  std::vector<BYTE> out;
  PutU32(&out, static_cast<ULONG>(rows.size()));
  for (const ItemPosition& row : rows) {
    PutU32(&out, static_cast<ULONG>(row.point.x));
    PutU32(&out, static_cast<ULONG>(row.point.y));
    ULONG units = static_cast<ULONG>(row.name.size() + 1);
    PutU32(&out, units);
    const BYTE* text = reinterpret_cast<const BYTE*>(row.name.c_str());
    out.insert(out.end(), text, text + units * sizeof(wchar_t));
  }
  return out;
}

std::vector<ItemPosition> DecodeItemPositions(const BYTE* data, size_t size) {
  std::vector<ItemPosition> rows;
  size_t at = 0;
  ULONG count = 0;
  if (!data || !GetU32(data, size, &at, &count)) return rows;
  for (ULONG i = 0; i < count; ++i) {
    ULONG x, y, units;
    if (!GetU32(data, size, &at, &x) || !GetU32(data, size, &at, &y) || !GetU32(data, size, &at, &units))
      break;
    if (units > (size - at) / sizeof(wchar_t)) break;
    ItemPosition row;
    row.point = {static_cast<LONG>(x), static_cast<LONG>(y)};
    if (units > 0) {
      row.name.resize(units);
      memcpy(&row.name[0], data + at, units * sizeof(wchar_t));
      at += units * sizeof(wchar_t);
      size_t nul = row.name.find(L'\0');
      row.name.resize(nul == std::wstring::npos ? units : nul);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<PositionMove> PlanPositionRestore(const std::vector<ItemPosition>& saved,
                                              std::vector<ItemPosition>* rows) {
  std::vector<PositionMove> moves;
  for (const ItemPosition& record : saved) {
    if (record.name.empty()) continue;
    int found = -1;
    for (size_t i = 0; i < rows->size(); ++i) {
      if (lstrcmpiW((*rows)[i].name.c_str(), record.name.c_str()) == 0) {
        found = static_cast<int>(i);
        break;
      }
    }
    if (found < 0) continue;
    for (size_t i = 0; i < rows->size(); ++i) {
      POINT& at = (*rows)[i].point;
      if (static_cast<int>(i) == found) continue;
      if (abs(at.x - record.point.x) < kNearPixels && abs(at.y - record.point.y) < kNearPixels) {
        at.x += kNudgePixels;
        at.y += kNudgePixels;
        moves.push_back({static_cast<int>(i), at});
      }
    }
    (*rows)[found].point = record.point;
    moves.push_back({found, record.point});
  }
  return moves;
}
