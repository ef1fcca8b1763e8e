#!/usr/bin/env python3
"""Writes the surround panner's button faces and type logos as 24-bit BMPs.

A face is one strip of cells the size of the button window: for each row
(off/on pairs) its three images, normal, hovered and blocked, side by side.
Black is the buttons' mask colour, so the faces use none. The front speaker face has 14
pairs: pair k shows the centre share falling, for the C button's image.
Run from this folder.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res"))
from bmptool import draw_text, write_bmp  # noqa: E402

G = {
    'M': "10001 11011 10101 10001 10001 10001 10001", 'S': "01111 10000 10000 01110 00001 00001 11110",
    'L': "10000 10000 10000 10000 10000 10000 11111", 'R': "11110 10001 10001 11110 10100 10010 10001",
    'N': "10001 11001 10101 10011 10001 10001 10001", 'X': "10001 10001 01010 00100 01010 10001 10001",
    'Y': "10001 10001 01010 00100 00100 00100 00100", 'F': "11111 10000 10000 11110 10000 10000 10000",
    'E': "11111 10000 10000 11110 10000 10000 11111", 'C': "01110 10001 10000 10000 10000 10001 01110",
    'O': "01110 10001 10001 10001 10001 10001 01110", 'U': "10001 10001 10001 10001 10001 10001 01110",
    'T': "11111 00100 00100 00100 00100 00100 00100", 'P': "11110 10001 10001 11110 10000 10000 10000",
    'A': "01110 10001 10001 11111 10001 10001 10001", '5': "11111 10000 11110 00001 00001 10001 01110",
    '1': "00100 01100 00100 00100 00100 00100 01110", '.': "00000 00000 00000 00000 00000 01100 01100",
    '-': "00000 00000 00000 11111 00000 00000 00000", '>': "10000 01000 00100 00010 00100 01000 10000",
    'I': "01110 00100 00100 00100 00100 00100 01110", 'D': "11110 10001 10001 10001 10001 10001 11110",
    'K': "10001 10010 10100 11000 10100 10010 10001",
    ' ': "00000 00000 00000 00000 00000 00000 00000",
}


def button(name, w, h, label, lit, pairs=1, bar=None):
    grey, dark, light, white = (192, 192, 192), (128, 128, 128), (224, 224, 224), (255, 255, 255)
    px = [[grey] * (3 * w * 2 * pairs) for _ in range(h)]
    for row in range(2 * pairs):
        on = row % 2 == 1
        for col in range(3):
            face = lit if on and col != 2 else (light if col == 1 else grey)
            ink = dark if col == 2 else (8, 8, 8)
            x0 = (3 * row + col) * w
            for y in range(h):
                for x in range(w):
                    c = dark if (x == w - 1 or y == h - 1) else white if (x == 0 or y == 0) else face
                    px[y][x0 + x] = c
            if bar is not None and pairs > 1:
                # A bar along the bottom: the share left, full for pair 0.
                share = (pairs - 1 - row // 2) / (pairs - 1)
                for x in range(2, 2 + int((w - 4) * share)):
                    px[h - 3][x0 + x] = bar
            draw_text(px, x0 + (w - 6 * len(label) + 1) // 2, (h - 7) // 2, label, ink, G)
    write_bmp(name, 3 * w * 2 * pairs, h, px)


def logo(name, label):
    w, h = 305, 28
    px = [[(48, 56, 88)] * (3 * w) for _ in range(h)]
    for col in range(3):
        for x in range(w):
            px[0][col * w + x] = (128, 136, 176)
            px[h - 1][col * w + x] = (16, 16, 32)
        draw_text(px, col * w + (w - 6 * len(label)) // 2, 10, label, (224, 232, 255), G)
    write_bmp(name, 3 * w, h, px)


button("mute.bmp", 16, 14, "M", (255, 200, 0))
button("load.bmp", 23, 22, "L", (192, 192, 192))
button("save.bmp", 23, 22, "S", (192, 192, 192))
# Solo: the second pair is the look while a solo state is set.
button("solo.bmp", 16, 14, "S", (64, 255, 64), pairs=2)
button("mute2.bmp", 23, 22, "M", (255, 200, 0))
button("lpanact.bmp", 15, 13, "L", (255, 255, 255))
button("rpanact.bmp", 15, 13, "R", (255, 96, 96))
button("nomir.bmp", 26, 26, "N", (255, 255, 160))
button("xmir.bmp", 26, 26, "X", (255, 255, 160))
button("ymir.bmp", 26, 26, "Y", (255, 255, 160))
button("xymir.bmp", 26, 26, "XY", (255, 255, 160))
button("lfemute.bmp", 20, 20, "M", (255, 200, 0))
button("spkdn.bmp", 32, 18, "SPK", (96, 255, 96), pairs=14, bar=(0, 96, 0))
button("spkup.bmp", 32, 18, "SPK", (96, 255, 96))
logo("logo14.bmp", "SURROUND PANNER  MONO -> LRCS")
logo("logo15.bmp", "SURROUND PANNER  MONO -> 5.1")
logo("logo24.bmp", "SURROUND PANNER  STEREO -> LRCS")
logo("logo25.bmp", "SURROUND PANNER  STEREO -> 5.1")
