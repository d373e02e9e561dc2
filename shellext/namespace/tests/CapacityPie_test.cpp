// The capacity pie: which colour lands where for each share of free space.
#include <gtest/gtest.h>
#include <windows.h>
#include "CapacityPie.h"

namespace {

const COLORREF kUsed = RGB(255, 0, 0), kUsedRim = RGB(128, 0, 0), kFree = RGB(255, 0, 255),
               kFreeRim = RGB(128, 0, 128), kBackground = RGB(0, 255, 0);

// A 200 x 120 memory bitmap; the pie is drawn into (10, 10, 181, 100): depth 17, axes 90 and 41.
class PieCanvas {
 public:
  PieCanvas() {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, 200, 120);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, 200, 120};
    HBRUSH background = CreateSolidBrush(kBackground);
    FillRect(dc_, &all, background);
    DeleteObject(background);
    for (int i = 0; i < 4; ++i) brushes_[i] = CreateSolidBrush(kColours[i]);
  }
  ~PieCanvas() {
    for (HBRUSH brush : brushes_) DeleteObject(brush);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  void Draw(ULONGLONG total, ULONGLONG free) {
    DrawCapacityPie(dc_, 10, 10, 181, 100, total, free, brushes_[0], brushes_[1], brushes_[2], brushes_[3]);
  }
  COLORREF At(POINT p) const { return GetPixel(dc_, p.x, p.y); }
  HDC dc() const { return dc_; }

 private:
  static constexpr COLORREF kColours[4] = {kUsed, kUsedRim, kFree, kFreeRim};
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  HBRUSH brushes_[4];
};

// Points inside the top ellipse's quadrants and in the rim below it, left and right.
const POINT kUpperLeft = {55, 31}, kUpperRight = {145, 31}, kLowerLeft = {55, 71}, kLowerRight = {145, 71},
            kRimLeft = {55, 101}, kRimRight = {145, 101};

TEST(CapacityPie, FreeShareRunsFromTheLeftThroughTheBottom) {
  struct {
    ULONGLONG total, free;
    COLORREF upperLeft, upperRight, lowerLeft, lowerRight, rimLeft, rimRight;
  } cases[] = {
      {100, 0, kUsed, kUsed, kUsed, kUsed, kUsedRim, kUsedRim},
      {100, 25, kUsed, kUsed, kFree, kUsed, kFreeRim, kUsedRim},
      {100, 50, kUsed, kUsed, kFree, kFree, kFreeRim, kFreeRim},
      {100, 75, kUsed, kFree, kFree, kFree, kFreeRim, kFreeRim},
      {100, 100, kFree, kFree, kFree, kFree, kFreeRim, kFreeRim},
      // No capacity known: the used ellipse over a free-rim band.
      {0, 0, kUsed, kUsed, kUsed, kUsed, kFreeRim, kFreeRim},
      // Sizes beyond 32 bits keep their share.
      {0x400000000ull, 0x100000000ull, kUsed, kUsed, kFree, kUsed, kFreeRim, kUsedRim},
      // A module may report more free space than capacity: all of it is free.
      {100, 150, kFree, kFree, kFree, kFree, kFreeRim, kFreeRim},
      {0, 5, kUsed, kUsed, kUsed, kUsed, kFreeRim, kFreeRim},
  };
  for (const auto& c : cases) {
    PieCanvas canvas;
    canvas.Draw(c.total, c.free);
    SCOPED_TRACE(testing::Message() << "total " << c.total << " free " << c.free);
    EXPECT_EQ(canvas.At(kUpperLeft), c.upperLeft);
    EXPECT_EQ(canvas.At(kUpperRight), c.upperRight);
    EXPECT_EQ(canvas.At(kLowerLeft), c.lowerLeft);
    EXPECT_EQ(canvas.At(kLowerRight), c.lowerRight);
    EXPECT_EQ(canvas.At(kRimLeft), c.rimLeft);
    EXPECT_EQ(canvas.At(kRimRight), c.rimRight);
    EXPECT_EQ(canvas.At(POINT{5, 5}), kBackground);      // nothing outside the box
    EXPECT_EQ(canvas.At(POINT{100, 115}), kBackground);
  }
}

TEST(CapacityPie, SelectsTheFormerPenAndBrushAgain) {
  PieCanvas canvas;
  HBRUSH mine = CreateSolidBrush(RGB(1, 2, 3));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(4, 5, 6));
  SelectObject(canvas.dc(), mine);
  SelectObject(canvas.dc(), pen);
  canvas.Draw(100, 30);
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), mine);
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen);
  SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH));
  SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(mine);
  DeleteObject(pen);
}

}  // namespace
