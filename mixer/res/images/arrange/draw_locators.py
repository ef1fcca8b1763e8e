#!/usr/bin/env python3
"""Draws the arrange window's locator images, 24-bit BMPs: 282-284 the 8 x 8
patterns of the locator lines (current position, left locator, right
locator) and 285-287 their 15 x 8 flags. Each is inverted onto the picture,
so black leaves it alone and a colour c turns the white background into
white - c: the current position shows blue, the left locator green, the
right locator red."""
import os

from bmp24 import write_bmp

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


for k in range(3):
    for res, w, shape in ((282 + k, 8, line), (285 + k, 15, flag)):
        write_bmp(os.path.join(HERE, 'loc%d.bmp' % res), w, 8,
                  lambda x, y, shape=shape, k=k: INK[k] if shape(k, x, y) else BLACK)
