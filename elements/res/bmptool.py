"""What the modules' bitmap generators share: writing a 24-bit BMP file, a
32-bit BMP file with alpha, and drawing text in a small 5x7 pixel font given as rows of "0"/"1"."""
import struct


def write_bmp(name, w, h, px):
    """Writes px (h rows of w (r, g, b) tuples, top row first) to name."""
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = px[y][x]
            line += bytes((b, g, r))
        data += line + b"\0" * (row - w * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(name, "wb") as f:
        f.write(header + info + data)


def write_bmp32(name, w, h, px):
    """Writes px (h rows of w (r, g, b, a) tuples, top row first) as a 32-bit
    BMP whose colours are premultiplied by their alpha, as alpha blending
    with per-pixel alpha takes them."""
    data = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[y][x]
            data += bytes((b * a // 255, g * a // 255, r * a // 255, a))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(data), 2835, 2835, 0, 0)
    with open(name, "wb") as f:
        f.write(header + info + data)


def draw_text(px, x0, y0, s, color, glyphs):
    """Draws s at (x0, y0), 6 pixels a character, clipped to px. A glyph is
    a list of 7 rows or one string of 7 rows separated by blanks."""
    for i, ch in enumerate(s):
        rows = glyphs[ch]
        for gy, line in enumerate(rows.split() if isinstance(rows, str) else rows):
            for gx, bit in enumerate(line):
                x, y = x0 + i * 6 + gx, y0 + gy
                if bit == "1" and 0 <= y < len(px) and 0 <= x < len(px[0]):
                    px[y][x] = color
