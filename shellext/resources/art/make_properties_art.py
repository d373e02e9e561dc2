#!/usr/bin/env python3
"""Draws the several-items icon of the property pages: three sheets fanned
out. Run it here; the output is checked in."""
from make_transfer_art import BLACK, GREY, PAPER_LINE, icon, rect


def draw_several(p, n):
    for shift in (0, 4, 8):
        x, y = 4 + shift, 2 + shift
        rect(p, x, y, x + 16, y + 21, BLACK, n, n)
        rect(p, x + 1, y + 1, x + 15, y + 20, GREY, n, n)
        for line in range(3):
            rect(p, x + 3, y + 5 + 5 * line, x + 13, y + 7 + 5 * line, PAPER_LINE, n, n)


if __name__ == "__main__":
    with open("several_items.ico", "wb") as out:
        out.write(icon(draw_several))
