#!/usr/bin/env python3
"""Draws the search window's animation: a magnifying glass circling over a
sheet of text (uncompressed 8-bit AVI, like the transfer animations). Run it
here; the output is checked in."""
import math

from make_transfer_art import avi_of_frames

W, H, FRAMES = 48, 40, 12
PALETTE = [(255, 255, 255), (0, 0, 0), (60, 110, 200), (150, 150, 150), (200, 230, 250), (120, 80, 40)]
WHITE, BLACK, LINE, GREY, GLASS, HANDLE = range(6)


def put(pixels, x, y, colour):
    if 0 <= x < W and 0 <= y < H:
        pixels[y * W + x] = colour


def sheet(pixels):
    for y in range(4, 36):
        for x in range(8, 34):
            edge = x in (8, 33) or y in (4, 35)
            pixels[y * W + x] = BLACK if edge else WHITE
    for row in range(6):
        for x in range(12, 30 - 4 * (row % 2)):
            put(pixels, x, 9 + 4 * row, LINE)


def glass(pixels, cx, cy):
    radius = 7
    for y in range(cy - radius - 1, cy + radius + 2):
        for x in range(cx - radius - 1, cx + radius + 2):
            d = math.hypot(x - cx, y - cy)
            if d <= radius - 1.5:
                if 0 <= x < W and 0 <= y < H and pixels[y * W + x] == WHITE:
                    put(pixels, x, y, GLASS)
            elif d <= radius + 0.5:
                put(pixels, x, y, BLACK)
    for step in range(8):
        for width in (0, 1):
            put(pixels, cx + 5 + step + width, cy + 5 + step, HANDLE)


def frame(index):
    pixels = bytearray([WHITE]) * (W * H)
    sheet(pixels)
    angle = 2 * math.pi * index / FRAMES
    glass(pixels, int(20 + 6 * math.cos(angle)), int(17 + 5 * math.sin(angle)))
    rows = [bytes(pixels[y * W:(y + 1) * W]) for y in range(H)]
    return b"".join(reversed(rows))  # bottom-up DIB


if __name__ == "__main__":
    with open("search.avi", "wb") as out:
        out.write(avi_of_frames([frame(i) for i in range(FRAMES)], W, H, PALETTE))
