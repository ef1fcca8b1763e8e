# Draws zones289.bmp: a Part divided into the twelve zones of the context
# tool sets (columns: start, middle, end; rows: top edge, upper half, lower
# half, bottom edge), each numbered as the dialog's combos are.
import struct

W, H = 144, 72
FONT = {  # 3 x 5 digits
    '0': ["111", "101", "101", "101", "111"], '1': ["010", "110", "010", "010", "111"],
    '2': ["111", "001", "111", "100", "111"], '3': ["111", "001", "111", "001", "111"],
    '4': ["101", "101", "111", "001", "001"], '5': ["111", "100", "111", "001", "111"],
    '6': ["111", "100", "111", "101", "111"], '7': ["111", "001", "001", "001", "001"],
    '8': ["111", "101", "111", "101", "111"], '9': ["111", "101", "111", "001", "111"],
}
px = [[(192, 192, 192)] * W for _ in range(H)]
cols = [0, 36, 108, W]
rows = [0, 12, 36, 60, H]
for i, (c0, c1) in enumerate(zip(cols, cols[1:])):
    for j, (r0, r1) in enumerate(zip(rows, rows[1:])):
        fill = (255, 255, 255) if (i + j) % 2 == 0 else (224, 224, 224)
        for y in range(r0, r1):
            for x in range(c0, c1):
                px[y][x] = fill
        text = str(4 * i + j + 1)
        tx = (c0 + c1) // 2 - (4 * len(text) - 1) // 2
        ty = (r0 + r1) // 2 - 2
        for k, ch in enumerate(text):
            for gy, line in enumerate(FONT[ch]):
                for gx, bit in enumerate(line):
                    if bit == '1':
                        px[ty + gy][tx + 4 * k + gx] = (0, 0, 0)
for x in range(W):
    for y in rows[1:-1]:
        px[y][x] = (128, 128, 128)
    px[0][x] = px[H - 1][x] = (0, 0, 0)
for y in range(H):
    for x in cols[1:-1]:
        px[y][x] = (128, 128, 128)
    px[y][0] = px[y][W - 1] = (0, 0, 0)
stride = (W * 3 + 3) & ~3
data = b''.join(bytes(b for p in px[y] for b in (p[2], p[1], p[0])) + b'\0' * (stride - 3 * W)
                for y in range(H - 1, -1, -1))
head = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
with open(__file__.replace('draw_zones.py', 'zones289.bmp'), 'wb') as f:
    f.write(head + info + data)
