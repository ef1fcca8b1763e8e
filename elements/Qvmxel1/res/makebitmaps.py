#!/usr/bin/env python3
"""Writes the module's own button faces and logo strip as 24-bit BMP files.

A button face holds three columns (normal, hovered, blocked) and two rows
(off, on) of cells the size of the button window. Run from this folder.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res"))
from bmptool import draw_text, write_bmp  # noqa: E402

GLYPHS = {
    'M': ["10001", "11011", "10101", "10001", "10001", "10001", "10001"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'C': ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'X': ["00000", "10001", "01010", "00100", "01010", "10001", "00000"],
    'Q': ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'D': ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    ' ': ["00000"] * 7,
}


def button(name, w, h, letter, lit):
    grey, dark, light, white = (192, 192, 192), (128, 128, 128), (224, 224, 224), (255, 255, 255)
    pixels = [[grey] * (3 * w) for _ in range(2 * h)]
    for row in range(2):
        for col in range(3):
            face = lit if row == 1 and col != 2 else (light if col == 1 else grey)
            ink = dark if col == 2 else (0, 0, 0)
            for y in range(h):
                for x in range(w):
                    edge_lo = x == w - 1 or y == h - 1
                    edge_hi = x == 0 or y == 0
                    c = dark if edge_lo else white if edge_hi else face
                    pixels[row * h + y][col * w + x] = c
            draw_text(pixels, col * w + (w - 6 * len(letter) + 1) // 2, row * h + (h - 7) // 2, letter, ink, GLYPHS)
    write_bmp(name, 3 * w, 2 * h, pixels)


button("mute.bmp", 16, 14, "M", (255, 200, 0))
button("recarm.bmp", 16, 14, "R", (255, 64, 64))
button("check.bmp", 13, 13, "X", (255, 255, 255))
button("bypass.bmp", 16, 14, "B", (255, 200, 0))
button("load.bmp", 23, 22, "L", (192, 192, 192))
button("save.bmp", 23, 22, "S", (192, 192, 192))
button("phaseinv.bmp", 16, 14, "P", (255, 200, 0))
button("pancenter.bmp", 16, 14, "C", (192, 192, 192))
button("solo.bmp", 16, 14, "S", (64, 255, 64))

logo = [[(64, 64, 96)] * 291 for _ in range(47)]
draw_text(logo, 100, 20, "QVMXEL ", (224, 224, 255), GLYPHS)
write_bmp("logo.bmp", 291, 47, logo)
