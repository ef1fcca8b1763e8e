#!/usr/bin/env python3
"""Draws the arrange window's locator images, 24-bit BMPs: 282-284 the 8 x 8
patterns of the locator lines (current position, left locator, right
locator) and 285-287 their 15 x 8 flags. Each is inverted onto the picture,
so black leaves it alone and a colour c turns the white background into
white - c: the current position shows blue, the left locator green, the
right locator red."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BLACK = (0, 0, 0)
# (red, green, blue) of each locator's ink.
INK = ((0xFF, 0xFF, 0x00), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF))


def line(k, x, y):
    # The current position is a solid line, the locators dashed (6 on, 2 off).
    return k == 0 or y % 8 < 6


def flag(k, x, y):
    # A wedge pointing down at the line: 15 pixels wide at the top, 1 at the
    # bottom row.
    return abs(x - 7) <= 7 - y


def write(path, w, h, shape, k):
    rows = []
    for y in range(h - 1, -1, -1):  # bottom-up
        row = b''
        for x in range(w):
            r, g, b = INK[k] if shape(k, x, y) else BLACK
            row += bytes((b, g, r))
        row += b'\0' * ((4 - len(row) % 4) % 4)
        rows.append(row)
    bits = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(head + info + bits)


for k in range(3):
    write(os.path.join(HERE, 'loc%d.bmp' % (282 + k)), 8, 8, line, k)
    write(os.path.join(HERE, 'loc%d.bmp' % (285 + k)), 15, 8, flag, k)
