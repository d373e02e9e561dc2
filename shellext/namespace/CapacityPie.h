// namespace/CapacityPie.h - the tilted pie of a volume's free and used space,
// drawn by the web-view panel and the drive property page.
#pragma once
#include <windows.h>

// Draws into the box (left, top, width, height): a flat ellipse with a rim
// below it; the free share starts at the left end of the ellipse's axis and
// runs through the bottom; free space above the total counts as the total.
// The former pen and brush are selected again.
void DrawCapacityPie(HDC dc, int left, int top, int width, int height, ULONGLONG total, ULONGLONG free,
                     HBRUSH used, HBRUSH usedRim, HBRUSH freeBrush, HBRUSH freeRim);
