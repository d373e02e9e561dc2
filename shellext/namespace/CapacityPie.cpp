// namespace/CapacityPie.cpp
#include "CapacityPie.h"
#include <cmath>

void DrawCapacityPie(HDC dc, int left, int top, int width, int height, ULONGLONG total, ULONGLONG free,
                     HBRUSH used, HBRUSH usedRim, HBRUSH freeBrush, HBRUSH freeRim) {
  if (free > total) free = total;
  const int depth = height / 6 + 1;
  int ellipseHeight = height - depth;
  if (ellipseHeight % 2 == 0) --ellipseHeight;
  int w = width;
  if (w % 2 == 0) --w;
  const int rx = w / 2;
  const int ry = ellipseHeight / 2;
  const double pi = 3.14159265358979323846;
  const double angle = 2.0 * pi * static_cast<double>(free) / static_cast<double>(total > 1 ? total : 1);
  const int px = static_cast<int>((1.0 - std::cos(angle)) * rx + 0.5);
  const int py = static_cast<int>((1.0 + std::sin(angle)) * ry + 0.5);

  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, freeRim);
  const int L = left, T = top, E = ellipseHeight, d = depth;

  // The rim: the lower ellipse, shifted down by the depth, and the band up to the top ellipse's axis.
  if (2 * free >= total) {
    Pie(dc, L, T + d, L + w, T + d + E, L, T + d + ry, L + w - 1, T + d + ry);
    PatBlt(dc, L, T + ry, w, d + 1, PATCOPY);
  } else {
    Chord(dc, L, T + d, L + w, T + d + E, L + px, T + d + E - 1 - py, L + px, T + d + py);
    PatBlt(dc, L, T + ry, px, d + 1, PATCOPY);
    SelectObject(dc, usedRim);
    Chord(dc, L, T + d, L + w, T + d + E, L + px, T + d + py, L + px, T + d + E - 1 - py);
    PatBlt(dc, L + px, T + ry, w - px, d + 1, PATCOPY);
    MoveToEx(dc, L + px, T + py, nullptr);
    LineTo(dc, L + px, T + d + py + 1);
  }
  MoveToEx(dc, L, T + ry, nullptr);
  LineTo(dc, L, T + ry + d + 1);
  MoveToEx(dc, L + w - 1, T + ry, nullptr);
  LineTo(dc, L + w - 1, T + ry + d + 1);

  // The top ellipse.
  if (free == 0) {
    SelectObject(dc, used);
    Ellipse(dc, L, T, L + w, T + E);
  } else if (free == total) {
    SelectObject(dc, freeBrush);
    Ellipse(dc, L, T, L + w, T + E);
  } else if (py == ry && px < rx) {
    // The boundary falls on the starting point: one whole pie.
    SelectObject(dc, free >= total / 2 ? freeBrush : used);
    Pie(dc, L, T, L + w, T + E, L, T + ry, L, T + ry);
  } else {
    SelectObject(dc, freeBrush);
    Pie(dc, L, T, L + w, T + E, L, T + ry, L + px, T + py);
    SelectObject(dc, used);
    Pie(dc, L, T, L + w, T + E, L + px, T + py, L, T + ry);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}
