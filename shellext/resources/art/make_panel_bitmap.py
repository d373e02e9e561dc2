#!/usr/bin/env python3
"""Draws the top-left picture of the view's information panel (our own art: a
soft blue gradient with a stylised module and a memory card) and writes it as
a 24-bit BMP of 125 x 163 pixels. Run: python3 make_panel_bitmap.py."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 125, 163


def pixel(x, y):
    # Background: vertical gradient from pale to deeper blue.
    t = y / (HEIGHT - 1)
    r, g, b = int(232 - 90 * t), int(240 - 70 * t), int(252 - 30 * t)
    # The module: a rounded dark body with a light screen.
    if 30 <= x <= 94 and 28 <= y <= 128:
        corner = min(x - 30, 94 - x, y - 28, 128 - y)
        if corner >= 0:
            r, g, b = 60, 70, 92
            if 38 <= x <= 86 and 38 <= y <= 78:
                r, g, b = 170, 214, 240
            elif 40 <= x <= 84 and 88 <= y <= 120 and (x - 40) % 12 < 8 and (y - 88) % 11 < 7:
                r, g, b = 120, 130, 150
    # An antenna stub.
    if 80 <= x <= 86 and 12 <= y < 28:
        r, g, b = 60, 70, 92
    # The memory card leaning on the side.
    if 88 <= x <= 112 and 104 <= y <= 140 and not (x > 106 and y < 110):
        r, g, b = 214, 160, 40
        if 92 <= x <= 108 and 118 <= y <= 136:
            r, g, b = 246, 200, 72
    return r, g, b


def write_bmp(path):
    row_bytes = (WIDTH * 3 + 3) & ~3
    data = bytearray()
    for y in range(HEIGHT - 1, -1, -1):
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_bytes - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


if __name__ == "__main__":
    write_bmp(os.path.join(HERE, "PanelPicture.bmp"))
