#!/usr/bin/env python3
"""Draws the application icon, MainIcon.ico: 32 x 32 pixels, 16 colours; and the
same drawing as PNG pictures of any size for the desktop's menus.

A grey-level map with a black hole on its left half; on the right half the same
hole is filled with the grey round it. Run it to redraw the icons:
    python3 app/draw_icon.py app/MainIcon.ico
    python3 app/draw_icon.py --png 32 app/icons/darkfill-32.png
    python3 app/draw_icon.py --png 256 app/icons/darkfill-256.png
"""
import struct
import sys
import zlib

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


def png(size):
    """The drawing at size x size pixels, each taken from the 32 x 32 drawing at
    its centre, so that 32 gives the icon's own pixels."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = bytearray()
    for y in range(size):
        rows.append(0)                               # no filter
        for x in range(size):
            b, g, r = PALETTE[pixel(x * SIZE // size, y * SIZE // size)]
            rows += bytes((r, g, b))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--png":
        with open(sys.argv[3], "wb") as out:
            out.write(png(int(sys.argv[2])))
    else:
        with open(sys.argv[1] if len(sys.argv) > 1 else "MainIcon.ico", "wb") as out:
            out.write(icon())
