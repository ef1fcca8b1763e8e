#!/usr/bin/env python3
"""Writes the dynamics windows' pictures: the big window's body, badges,
meter strips and buttons as 24-bit BMPs; the knobs' film strips (72 frames
of 60 x 62 each, one bitmap per frame, frame k turned k x 5 degrees
clockwise from 3 o'clock: ids 200..271 and 300..371 in frames/, listed by
frames.rc), the switch faces and the lamps as 32-bit BMPs with alpha, drawn
alpha-blended over the body. Run from this folder."""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res"))
from bmptool import draw_text, write_bmp, write_bmp32  # noqa: E402


def coverage(d, radius):
    """How much of a pixel at distance d from the centre a disc covers."""
    return max(0.0, min(1.0, radius - d + 0.5))


def strip(base, cap):
    """The 72 frames of one knob family, ids base .. base + 71."""
    w, h = 60, 62
    rc = []
    for k in range(72):
        a = math.radians(k * 5)
        px = [[(0, 0, 0, 0)] * w for _ in range(h)]
        for y in range(h):
            for x in range(w):
                dx, dy = x - 30 + 0.5, y - 31 + 0.5
                d = math.hypot(dx, dy)
                outer = coverage(d, 24)
                if outer == 0:
                    continue
                if d < 22:
                    shade = int(40 * (1 - (dx + dy) / 44))
                    col = tuple(max(0, min(255, c + shade)) for c in cap)
                else:
                    col = (20, 20, 24)
                px[y][x] = col + (int(round(255 * outer)),)
        for t in range(8, 21):
            for o in (-1, 0, 1):
                x = int(round(30 + t * math.cos(a) - o * math.sin(a)))
                y = int(round(31 + t * math.sin(a) + o * math.cos(a)))
                px[y][x] = (250, 250, 250, 255)
        name = "frames/knob%d.bmp" % (base + k)
        write_bmp32(name, w, h, px)
        rc.append('%d BITMAP "elements/HRLCD/res/%s"' % (base + k, name))
    return rc


def body(name, side_chain):
    w, h = 689, 205
    px = [[(70, 74, 82)] * w for _ in range(h)]
    for x0, x1, col in ((40, 285, (60, 66, 86)), (345, 575, (66, 80, 64))):
        for y in range(8, h - 8):
            for x in range(x0, x1):
                px[y][x] = col
    for y in range(h):
        for x in (0, w - 1):
            px[y][x] = (30, 30, 30)
    if side_chain:
        # The side-chain switches' plates, left and right of the top row.
        for x0 in (56, 588):
            for y in range(40, 96):
                for x in range(x0, x0 + 48):
                    px[y][x] = (84, 70, 60)
    write_bmp(name, w, h, px)


def face(name, w, h, color, pressed):
    """A switch face: a rounded key on a transparent ground."""
    edge_hi, edge_lo = ((40, 40, 40), (200, 200, 200)) if pressed else ((220, 220, 220), (40, 40, 40))
    px = [[(0, 0, 0, 0)] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            # Corners cut by a radius of 4.
            cx = min(x, w - 1 - x)
            cy = min(y, h - 1 - y)
            if cx < 4 and cy < 4 and math.hypot(4 - cx - 0.5, 4 - cy - 0.5) > 4:
                continue
            c = color
            if x == 0 or y == 0:
                c = edge_hi
            elif x == w - 1 or y == h - 1:
                c = edge_lo
            px[y][x] = c + (255,)
    write_bmp32(name, w, h, px)


def lamp(name, color):
    """A round lamp with a soft edge on a transparent ground."""
    px = [[(0, 0, 0, 0)] * 20 for _ in range(20)]
    for y in range(20):
        for x in range(20):
            d = math.hypot(x - 9.5, y - 9.5)
            a = coverage(d, 7.5)
            if a > 0:
                px[y][x] = tuple(min(255, int(c * (1.2 - d / 10))) for c in color) + (int(round(255 * a)),)
    write_bmp32(name, 20, 20, px)


GLYPHS = {
    "B": "11110 10001 10001 11110 10001 10001 11110",
    "C": "01110 10001 10000 10000 10000 10001 01110",
    "D": "11110 10001 10001 10001 10001 10001 11110",
    "L": "10000 10000 10000 10000 10000 10000 11111",
    "R": "11110 10001 10001 11110 10100 10010 10001",
    "S": "01111 10000 10000 01110 00001 00001 11110",
    "T": "11111 00100 00100 00100 00100 00100 00100",
    "V": "10001 10001 10001 10001 10001 01010 00100",
    "Y": "10001 10001 01010 00100 00100 00100 00100",
    "E": "11111 10000 10000 11110 10000 10000 11111",
    "M": "10001 11011 10101 10101 10001 10001 10001",
    "N": "10001 11001 10101 10011 10001 10001 10001",
    "O": "01110 10001 10001 10001 10001 10001 01110",
    "-": "00000 00000 00000 11111 00000 00000 00000",
    "A": "01110 10001 10001 11111 10001 10001 10001",
    "H": "10001 10001 10001 11111 10001 10001 10001",
    "I": "01110 00100 00100 00100 00100 00100 01110",
    " ": "00000 00000 00000 00000 00000 00000 00000",
}


def meter_strip(name, w, look):
    """The little window's meter background (inside its frame): normal,
    clip lit or blocked."""
    h = 12
    base = {"normal": (36, 38, 44), "clip": (130, 28, 28), "blocked": (96, 96, 100)}[look]
    px = [[base] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if (x + y) % 7 == 0:
                px[y][x] = tuple(min(255, c + 14) for c in base)
    write_bmp(name, w, h, px)


def led(name, w, color):
    px = [[color] * w for _ in range(8)]
    for y in range(8):
        for x in range(w):
            if x in (0, w - 1) or y in (0, 7):
                px[y][x] = tuple(c * 2 // 3 for c in color)
    write_bmp(name, w, 8, px)


def badge(name, label):
    """The type badge drawn at (5, 183) of the body: 208 x 22."""
    w, h = 208, 22
    px = [[(44, 46, 52)] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if x in (0, w - 1) or y in (0, h - 1):
                px[y][x] = (110, 112, 120)
    draw_text(px, 8, 8, "HRL DYNAMICS - " + label, (230, 230, 236), GLYPHS)
    write_bmp(name, w, h, px)


def button_strip(name, w, h, label):
    """Six cells: state 0 normal, hovered, blocked; state 1 normal, hovered,
    blocked (the cell drawn is 3 x state + look)."""
    looks = [((200, 200, 204), (20, 20, 20)), ((226, 226, 236), (20, 20, 120)), ((200, 200, 204), (140, 140, 140))]
    px = [[(0, 0, 0)] * (6 * w) for _ in range(h)]
    for cell in range(6):
        state, look = divmod(cell, 3)
        face_col, ink = looks[look]
        if state:
            face_col = (255, 196, 60) if look != 2 else (200, 170, 110)
        hi, lo = ((60, 60, 60), (250, 250, 250)) if state else ((250, 250, 250), (60, 60, 60))
        for y in range(h):
            for x in range(w):
                c = face_col
                if x == 0 or y == 0:
                    c = hi
                elif x == w - 1 or y == h - 1:
                    c = lo
                px[y][cell * w + x] = c
        off = 1 if state else 0
        draw_text(px, cell * w + (w - 6 * len(label) + 1) // 2 + off, (h - 7) // 2 + off, label, ink, GLYPHS)
    write_bmp(name, 6 * w, h, px)


button_strip("btn101.bmp", 16, 14, "B")
for ident, label in ((102, "LD"), (103, "SV"), (104, "ST"), (105, "RC"), (106, "BY")):
    button_strip("btn%d.bmp" % ident, 23, 22, label)
for ident, w in ((121, 240), (124, 82)):
    for k, look in enumerate(("normal", "clip", "blocked")):
        meter_strip("meter%d.bmp" % (ident + k), w, look)
for ident, w in ((127, 6), (130, 5)):
    led("led%d.bmp" % ident, w, (60, 255, 60))
    led("led%d.bmp" % (ident + 1), w, (255, 200, 40))
    led("led%d.bmp" % (ident + 2), w, (255, 60, 40))
os.makedirs("frames", exist_ok=True)
with open("frames.rc", "w") as f:
    f.write("// The knobs' film-strip frames, written by makebitmaps.py.\n")
    f.write("\n".join(strip(200, (150, 170, 150)) + strip(300, (150, 150, 170))) + "\n")
body("body133.bmp", False)
body("body134.bmp", True)
for ident, label in ((135, "MONO"), (136, "STEREO"), (137, "MONO-SC"), (138, "STEREO-SC")):
    badge("badge%d.bmp" % ident, label)
for i, base in enumerate(range(142, 154, 2)):
    face("sw%d.bmp" % base, 40, 23, (120, 120, 128), False)
    face("sw%d.bmp" % (base + 1), 40, 23, (180, 180, 190), True)
lamp("lamp139.bmp", (60, 255, 60))
lamp("lamp140.bmp", (255, 200, 40))
lamp("lamp141.bmp", (255, 50, 40))
