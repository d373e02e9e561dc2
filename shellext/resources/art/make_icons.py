#!/usr/bin/env python3
"""Draws the extension's icons (plain shapes, our own art) and writes them as
.ico files with a 32x32 and a 16x16 image, 32 bits with alpha.
Run from anywhere: python3 make_icons.py; the .ico files land next to it."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

FOLDER_BACK = (214, 160, 40)
FOLDER_FRONT = (246, 200, 72)
OUTLINE = (70, 60, 40)
METAL = (150, 156, 166)
METAL_DARK = (90, 96, 106)
PAPER = (252, 252, 248)
LED = (40, 190, 70)
GLASS = (170, 210, 240)
HANDLE = (120, 70, 30)
BLUE = (40, 90, 170)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def _s(self, v):
        return v * self.size / 32.0

    def rect(self, x0, y0, x1, y1, colour):
        """Filled rectangle in 32-unit coordinates, inclusive-exclusive."""
        for y in range(self.size):
            for x in range(self.size):
                cx, cy = x + 0.5, y + 0.5
                if self._s(x0) <= cx < self._s(x1) and self._s(y0) <= cy < self._s(y1):
                    self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, fill, edge):
        self.rect(x0, y0, x1, y1, edge)
        inset = 32.0 / self.size
        self.rect(x0 + inset, y0 + inset, x1 - inset, y1 - inset, fill)

    def disc(self, cx, cy, r, colour, inner=0.0):
        for y in range(self.size):
            for x in range(self.size):
                dx = (x + 0.5) - self._s(cx)
                dy = (y + 0.5) - self._s(cy)
                d2 = dx * dx + dy * dy
                if self._s(inner) ** 2 <= d2 <= self._s(r) ** 2:
                    self.px[y][x] = colour

    def bar(self, x0, y0, x1, y1, width, colour):
        """A thick line from (x0, y0) to (x1, y1)."""
        ax, ay, bx, by = map(self._s, (x0, y0, x1, y1))
        w = self._s(width) / 2.0
        vx, vy = bx - ax, by - ay
        length2 = vx * vx + vy * vy
        for y in range(self.size):
            for x in range(self.size):
                px, py = x + 0.5, y + 0.5
                t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / length2))
                dx, dy = px - (ax + t * vx), py - (ay + t * vy)
                if dx * dx + dy * dy <= w * w:
                    self.px[y][x] = colour


def folder(c):
    c.frame(3, 7, 14, 12, FOLDER_BACK, OUTLINE)
    c.frame(3, 10, 29, 26, FOLDER_FRONT, OUTLINE)


def device(c):
    c.bar(22, 3, 22, 10, 2, METAL_DARK)
    c.frame(7, 9, 25, 29, METAL, OUTLINE)
    c.rect(10, 12, 22, 18, GLASS)
    c.disc(16, 24, 2.5, LED)


def drive(c):
    c.frame(3, 11, 29, 23, METAL, OUTLINE)
    c.rect(6, 16, 20, 18, METAL_DARK)
    c.disc(25, 17, 2, LED)


def page(c):
    c.frame(7, 3, 25, 29, PAPER, OUTLINE)
    c.rect(19, 3, 25, 9, (0, 0, 0, 0))
    c.bar(19, 3, 25, 9, 1.2, OUTLINE)
    for y in (13, 17, 21):
        c.rect(10, y, 22, y + 1.5, METAL)


def magnifier(c, cx, cy, r):
    c.disc(cx, cy, r, GLASS)
    c.disc(cx, cy, r, BLUE, inner=r - 2)
    k = 0.72 * r
    c.bar(cx + k, cy + k, cx + 2.1 * r, cy + 2.1 * r, 3.5, HANDLE)


def search_config(c):
    page(c)
    magnifier(c, 15, 17, 6)


def search(c):
    magnifier(c, 13, 13, 9)


ICONS = [
    ("ModuleFolder.ico", folder),
    ("ModuleDevice.ico", device),
    ("ModuleDrive.ico", drive),
    ("ModuleFile.ico", page),
    ("SearchConfig.ico", search_config),
    ("ModuleSearch.ico", search),
]


def image_bytes(size, draw):
    c = Canvas(size)
    draw(c)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row_mask = bytearray(stride)
        for x in range(size):
            p = c.px[y][x]
            if p is None or (len(p) == 4 and p[3] == 0):
                pixels += bytes((0, 0, 0, 0))
                row_mask[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = p[:3]
                pixels += bytes((b, g, r, 255))
        mask += row_mask
    return header + bytes(pixels) + bytes(mask)


def write_icon(path, draw):
    images = [(s, image_bytes(s, draw)) for s in (32, 16)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    for name, draw in ICONS:
        write_icon(os.path.join(HERE, name), draw)
