#!/usr/bin/env python3
"""Draws the arrange window's button images: 247 zoom in, 248 zoom out,
249 rectangular zoom, 250 follow. Each is a strip of three 16 x 16 frames
(normal, hot, disabled) on the mask colour 0xC0C0C0, 24-bit BMP."""
import os

from bmp24 import write_bmp

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


def pixel(name, x, y):
    frame, fx = divmod(x, 16)
    if not glyph(name, fx, y):
        return MASK
    return ((0x00, 0x00, 0x00), (0x00, 0x00, 0x80), (0x80, 0x80, 0x80))[frame]


for res, name in ((247, 'in'), (248, 'out'), (249, 'rect'), (250, 'follow')):
    write_bmp(os.path.join(HERE, 'btn%d.bmp' % res), 48, 16, lambda x, y: pixel(name, x, y))
