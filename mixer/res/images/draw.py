#!/usr/bin/env python3
"""Draws the program's icon and cursor images: HRLMixer.ico (32 x 32, a
mixer fader strip) and Pointer.cur (the pointer shared by cursors 400-430
until the windows that use them draw their own)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def icon_pixels():
    size = 32
    px = []
    for y in range(size):
        row = []
        for x in range(size):
            r, g, b, a = 0x30, 0x38, 0x48, 255          # dark panel
            if x in (0, size - 1) or y in (0, size - 1):
                r, g, b = 0x10, 0x10, 0x18
            for lane, knob in ((8, 20), (16, 10), (24, 15)):
                if x == lane and 4 <= y <= 27:
                    r, g, b = 0x90, 0x90, 0x98           # fader slot
                if abs(x - lane) <= 3 and abs(y - knob) <= 1:
                    r, g, b = 0xF0, 0xB0, 0x30           # fader cap
            row.append((b, g, r, a))
        px.append(row)
    return px


def icon_file():
    size = 32
    px = icon_pixels()
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes(p) for row in reversed(px) for p in row)
    and_mask = b'\0' * (4 * size)  # 32 bits a row, all opaque
    image = header + xor + and_mask
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32,
                                                      len(image), 22) + image


def cursor_file():
    size = 32
    # An arrow: black outline, white inside, transparent elsewhere.
    shape = []
    for y in range(size):
        row = []
        for x in range(size):
            inside = y < 16 and 0 < x < y
            edge = (x == 0 and y <= 16) or (x == y and y <= 16) or (y == 16 and x <= 16)
            row.append('e' if edge else ('i' if inside else '.'))
        shape.append(row)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 0, 0)
    palette = struct.pack('<BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)

    def bits(pred):
        out = b''
        for row in reversed(shape):
            v = 0
            for x, c in enumerate(row):
                if pred(c):
                    v |= 1 << (31 - x)
            out += struct.pack('>I', v)
        return out
    xor = bits(lambda c: c == 'i')       # white inside
    and_mask = bits(lambda c: c == '.')  # transparent outside
    image = header + palette + xor + and_mask
    return struct.pack('<HHH', 0, 2, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 0, 0,
                                                      len(image), 22) + image


with open(os.path.join(HERE, 'HRLMixer.ico'), 'wb') as f:
    f.write(icon_file())
with open(os.path.join(HERE, 'Pointer.cur'), 'wb') as f:
    f.write(cursor_file())
