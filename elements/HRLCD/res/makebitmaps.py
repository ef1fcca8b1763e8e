#!/usr/bin/env python3
"""Writes the dynamics windows' pictures as 24-bit BMPs: the big window's
body, the two knob film strips (72 frames of 60 x 62, frame k turned k x 5
degrees clockwise from 3 o'clock), switch faces, lamps and the little
window's bypass button. Run from this folder."""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res"))
from bmptool import write_bmp  # noqa: E402


def strip(name, cap):
    w, h, frames = 60, 62, 72
    body = (58, 60, 66)
    px = [[body] * (w * frames) for _ in range(h)]
    for k in range(frames):
        a = math.radians(k * 5)
        cx, cy = k * w + 30, 31
        for y in range(h):
            for x in range(w):
                dx, dy = x - 30 + 0.5, y - 31 + 0.5
                d = math.hypot(dx, dy)
                if d < 22:
                    shade = int(40 * (1 - (dx + dy) / 44))
                    px[y][k * w + x] = tuple(max(0, min(255, c + shade)) for c in cap)
                elif d < 24:
                    px[y][k * w + x] = (20, 20, 24)
        for t in range(8, 21):
            for o in (-1, 0, 1):
                x = int(round(cx + t * math.cos(a) - o * math.sin(a)))
                y = int(round(cy + t * math.sin(a) + o * math.cos(a)))
                px[y][x] = (250, 250, 250)
    write_bmp(name, w * frames, h, px)


def body():
    w, h = 689, 205
    px = [[(70, 74, 82)] * w for _ in range(h)]
    for x0, x1, col in ((40, 285, (60, 66, 86)), (345, 575, (66, 80, 64))):
        for y in range(8, h - 8):
            for x in range(x0, x1):
                px[y][x] = col
    for y in range(h):
        for x in (0, w - 1):
            px[y][x] = (30, 30, 30)
    write_bmp("body.bmp", w, h, px)


def face(name, w, h, color, pressed):
    edge_hi, edge_lo = ((40, 40, 40), (200, 200, 200)) if pressed else ((220, 220, 220), (40, 40, 40))
    px = [[color] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if x == 0 or y == 0:
                px[y][x] = edge_hi
            elif x == w - 1 or y == h - 1:
                px[y][x] = edge_lo
    write_bmp(name, w, h, px)


def lamp(name, color):
    px = [[(70, 74, 82)] * 20 for _ in range(20)]
    for y in range(20):
        for x in range(20):
            d = math.hypot(x - 9.5, y - 9.5)
            if d < 7:
                px[y][x] = tuple(min(255, int(c * (1.2 - d / 10))) for c in color)
    write_bmp(name, 20, 20, px)


strip("strip300.bmp", (150, 150, 170))
strip("strip200.bmp", (150, 170, 150))
body()
for i, base in enumerate(range(142, 154, 2)):
    face("sw%d.bmp" % base, 40, 23, (120, 120, 128), False)
    face("sw%d.bmp" % (base + 1), 40, 23, (180, 180, 190), True)
lamp("lamp139.bmp", (60, 255, 60))
lamp("lamp140.bmp", (255, 200, 40))
lamp("lamp141.bmp", (255, 50, 40))
