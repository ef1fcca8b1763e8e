#!/usr/bin/env python3
"""Converts an X window dump (the frame buffer file that Xvfb -fbdir keeps)
of a 24- or 32-bit TrueColor screen into a PNG, with the standard library
only. Usage: xwd2png.py in.xwd out.png"""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, 'rb').read()
    fields = struct.unpack('>25I', data[:100])
    header_size = fields[0]
    width, height = fields[4], fields[5]
    byte_order = fields[7]
    bits_per_pixel, bytes_per_line = fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit('only 24- and 32-bit screens are converted')
    start = header_size + 12 * ncolors
    step = bits_per_pixel // 8
    endian = '<' if byte_order == 0 else '>'

    def shift(mask):
        s = 0
        while mask and not mask & 1:
            mask >>= 1
            s += 1
        return s
    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line: start + y * bytes_per_line + width * step]
        out = bytearray(b'\0')  # filter type 0
        for x in range(width):
            chunk = line[x * step:(x + 1) * step]
            if step == 4:
                p = struct.unpack(endian + 'I', chunk)[0]
            else:
                p = int.from_bytes(chunk, 'little' if byte_order == 0 else 'big')
            out += bytes(((p & red_mask) >> rs, (p & green_mask) >> gs, (p & blue_mask) >> bs))
        rows.append(bytes(out))
    return width, height, b''.join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw, 6))
    png += chunk(b'IEND', b'')
    open(path, 'wb').write(png)


if __name__ == '__main__':
    w, h, raw = read_xwd(sys.argv[1])
    write_png(sys.argv[2], w, h, raw)
