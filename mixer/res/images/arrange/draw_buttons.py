#!/usr/bin/env python3
"""Draws the arrange window's button images: 247 zoom in, 248 zoom out,
249 rectangular zoom, 250 follow. Each is a strip of three 16 x 16 frames
(normal, hot, disabled) on the mask colour 0xC0C0C0, 24-bit BMP."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MASK = (0xC0, 0xC0, 0xC0)


def glyph(name, x, y):
    if name == 'in':
        return (x == 7 or x == 8) and 3 <= y <= 12 or (y == 7 or y == 8) and 3 <= x <= 12
    if name == 'out':
        return (y == 7 or y == 8) and 3 <= x <= 12
    if name == 'rect':
        edge = x in (3, 12) and 3 <= y <= 12 or y in (3, 12) and 3 <= x <= 12
        return edge and (x + y) % 2 == 0
    if name == 'follow':
        return x == 7 and 2 <= y <= 13 or abs(x - 7) + abs(y - 7) == 3 and x > 7
    return False


def write(path, name):
    w, h = 48, 16
    rows = []
    for y in range(h - 1, -1, -1):  # bottom-up
        row = b''
        for x in range(w):
            frame, fx = divmod(x, 16)
            ink = (0x00, 0x00, 0x00) if frame < 2 else (0x80, 0x80, 0x80)
            if frame == 1:
                ink = (0x80, 0x00, 0x00)
            b, g, r = MASK if not glyph(name, fx, y) else ink
            row += bytes((b, g, r))
        row += b'\0' * ((4 - len(row) % 4) % 4)
        rows.append(row)
    bits = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(head + info + bits)


for res, name in ((247, 'in'), (248, 'out'), (249, 'rect'), (250, 'follow')):
    write(os.path.join(HERE, 'btn%d.bmp' % res), name)
