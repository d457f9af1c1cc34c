#!/usr/bin/env python3
"""Draws the application icon, MainIcon.ico: 32 x 32 pixels, 16 colours.

A grey-level map with a black hole on its left half; on the right half the same
hole is filled with the grey round it. Run it to redraw the icon:
    python3 app/draw_icon.py app/MainIcon.ico
"""
import struct
import sys

SIZE = 32
# 16 palette entries (blue, green, red, 0): black, then greys, then an accent.
PALETTE = [(0, 0, 0)] + [(g, g, g) for g in range(17, 256, 17)][:14] + [(40, 160, 230)]


def pixel(x, y):
    if x == 0 or y == 0 or x == SIZE - 1 or y == SIZE - 1:
        return 15                                    # frame in the accent colour
    grey = 3 + (x + y) * 10 // (2 * SIZE)            # a soft grey gradient
    in_hole = (x - 10) ** 2 + (y - 16) ** 2 <= 36    # the dark hole, left half
    filled = (x - 22) ** 2 + (y - 16) ** 2 <= 36     # the same hole, filled
    if in_hole:
        return 0
    if filled:
        return 12
    if x == 16:
        return 1                                     # the divide
    return grey


def icon():
    rows = []
    for y in reversed(range(SIZE)):                  # bottom row first
        row = bytearray()
        for x in range(0, SIZE, 2):
            row.append(pixel(x, y) << 4 | pixel(x + 1, y))
        rows.append(bytes(row))
    xor = b"".join(rows)
    mask = bytes(SIZE * SIZE // 8)                   # fully opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "MainIcon.ico", "wb") as out:
        out.write(icon())
