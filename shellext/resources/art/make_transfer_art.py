#!/usr/bin/env python3
"""Draws the transfer animations (uncompressed 8-bit AVI, which the common
animation control plays without a codec) and the prompt icons. Run it here;
the outputs are checked in."""
import struct

W, H, FRAMES = 240, 40, 12
PALETTE = [(255, 255, 255), (0, 0, 0), (240, 200, 60), (60, 110, 200), (200, 60, 50), (150, 150, 150)]
WHITE, BLACK, FOLDER, PAPER_LINE, RED, GREY = range(6)


def rect(pixels, x0, y0, x1, y1, colour, width=W, height=H):
    for y in range(max(0, y0), min(height, y1)):
        for x in range(max(0, x0), min(width, x1)):
            pixels[y * width + x] = colour


def folder(pixels, x):
    rect(pixels, x, 14, x + 34, 36, FOLDER)
    rect(pixels, x, 10, x + 14, 14, FOLDER)
    rect(pixels, x, 35, x + 34, 36, BLACK)


def sheet(pixels, x, y):
    rect(pixels, x, y, x + 14, y + 18, WHITE)
    for edge in ((x, y, x + 14, y + 1), (x, y + 17, x + 14, y + 18), (x, y, x + 1, y + 18), (x + 13, y, x + 14, y + 18)):
        rect(pixels, *edge, BLACK)
    for line in range(3):
        rect(pixels, x + 3, y + 4 + 4 * line, x + 11, y + 5 + 4 * line, PAPER_LINE)


def bin_(pixels, x):
    rect(pixels, x, 14, x + 26, 36, GREY)
    rect(pixels, x - 3, 11, x + 29, 14, BLACK)
    for stripe in range(3):
        rect(pixels, x + 6 + 6 * stripe, 17, x + 8 + 6 * stripe, 33, BLACK)


def frame(kind, index):
    pixels = bytearray([WHITE]) * (W * H)
    folder(pixels, 16)
    if kind == "copy":
        folder(pixels, W - 50)
    else:
        bin_(pixels, W - 46)
    start, end = 40, W - 72
    x = start + (end - start) * index // (FRAMES - 1)
    lift = abs(FRAMES // 2 - index)
    sheet(pixels, x, 4 + lift)
    if kind == "delete" and index == FRAMES - 1:
        rect(pixels, x, 4 + lift, x + 14, 22 + lift, WHITE)
    rows = [bytes(pixels[y * W:(y + 1) * W]) for y in range(H)]
    return b"".join(reversed(rows))  # bottom-up DIB


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, body):
    return chunk(b"LIST", kind + body)


def avi(kind):
    return avi_of_frames([frame(kind, i) for i in range(FRAMES)], W, H, PALETTE)


def avi_of_frames(frames, W, H, PALETTE):
    """An uncompressed 8-bit AVI at 12 frames a second; frames are bottom-up rows."""
    FRAMES = len(frames)
    size = W * H
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE) + b"\0" * 4 * (256 - len(PALETTE))
    bih = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, size, 0, 0, 256, 0) + palette
    avih = struct.pack("<IIIIIIIIII16x", 83333, size * 12, 0, 0x10, FRAMES, 0, 1, size, W, H)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"DIB ", 0, 0, 0, 0, 1, 12, 0, FRAMES, size, 0xFFFFFFFF,
                       0, 0, 0, W, H)
    hdrl = riff_list(b"hdrl", chunk(b"avih", avih) + riff_list(b"strl", chunk(b"strh", strh) + chunk(b"strf", bih)))
    movi_body, index, offset = b"", b"", 4
    for data in frames:
        piece = chunk(b"00db", data)
        index += struct.pack("<4sIII", b"00db", 0x10, offset, len(data))
        movi_body += piece
        offset += len(piece)
    body = b"AVI " + hdrl + riff_list(b"movi", movi_body) + chunk(b"idx1", index)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def icon(draw):
    n = 32
    pixels = bytearray([WHITE]) * (n * n)
    draw(pixels, n)
    mask_opaque = [p != WHITE for p in pixels]
    xor = b""
    for y in reversed(range(n)):
        for x in range(n):
            r, g, b = PALETTE[pixels[y * n + x]]
            xor += struct.pack("BBBB", b, g, r, 255 if mask_opaque[y * n + x] else 0)
    andmask = b""
    for y in reversed(range(n)):
        bits = 0
        for x in range(n):
            bits = (bits << 1) | (0 if mask_opaque[y * n + x] else 1)
        andmask += struct.pack(">I", bits)
    bih = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = bih + xor + andmask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(image), 22) + image


def draw_file(p, n):
    rect(p, 8, 3, 24, 29, BLACK, n, n)
    rect(p, 9, 4, 23, 28, GREY, n, n)
    for line in range(4):
        rect(p, 11, 8 + 5 * line, 21, 10 + 5 * line, PAPER_LINE, n, n)


def draw_folder(p, n):
    rect(p, 3, 8, 14, 12, FOLDER, n, n)
    rect(p, 3, 12, 29, 27, FOLDER, n, n)
    rect(p, 3, 26, 29, 27, BLACK, n, n)


def draw_move(p, n):
    draw_file(p, n)
    rect(p, 14, 18, 30, 22, RED, n, n)
    rect(p, 24, 14, 27, 26, RED, n, n)


def draw_delete(p, n):
    rect(p, 7, 9, 25, 29, GREY, n, n)
    rect(p, 5, 6, 27, 9, BLACK, n, n)
    for stripe in range(3):
        rect(p, 10 + 5 * stripe, 12, 12 + 5 * stripe, 26, BLACK, n, n)


if __name__ == "__main__":
    for name, kind in (("copy.avi", "copy"), ("delete.avi", "delete")):
        with open(name, "wb") as out:
            out.write(avi(kind))
    for name, draw in (("replace_file.ico", draw_file), ("replace_folder.ico", draw_folder),
                       ("move_confirm.ico", draw_move), ("delete_items.ico", draw_delete)):
        with open(name, "wb") as out:
            out.write(icon(draw))
