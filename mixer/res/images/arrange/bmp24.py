"""Writes the arrange window's images as 24-bit BMP files."""
import struct


def write_bmp(path, w, h, pixel):
    """Writes a w x h image; pixel(x, y) gives (red, green, blue), y from the top."""
    rows = []
    for y in range(h - 1, -1, -1):  # bottom-up
        row = b''.join(bytes(reversed(pixel(x, y))) for x in range(w))
        row += b'\0' * ((4 - len(row) % 4) % 4)
        rows.append(row)
    bits = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(head + info + bits)
