"""Writes the tool buttons' bitmaps (tool<n>.bmp: three 24x24 images, normal,
hot and disabled, the tool number drawn on the mask colour 192,192,192) and
the audio-buffer window's RESET button (reset.bmp: three 48x20 images)."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "..", "elements", "res"))
from bmptool import write_bmp  # noqa: E402

DIGITS = {
    "0": ["111", "101", "101", "101", "111"], "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"], "3": ["111", "001", "111", "001", "111"],
    "4": ["101", "101", "111", "001", "001"], "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"], "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"], "9": ["111", "101", "111", "001", "111"],
    "R": ["110", "101", "110", "101", "101"], "E": ["111", "100", "110", "100", "111"],
    "S": ["111", "100", "111", "001", "111"], "T": ["111", "010", "010", "010", "010"],
}


def text(px, x0, y0, s, colour, scale):
    for i, ch in enumerate(s):
        for gy, line in enumerate(DIGITS[ch]):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        px[y0 + gy * scale + dy][x0 + i * 4 * scale + gx * scale + dx] = colour


def strip(w, h, s, scale, colours, back):
    px = [[back] * (w * 3) for _ in range(h)]
    tw = (len(s) * 4 - 1) * scale
    for k, colour in enumerate(colours):
        text(px, k * w + (w - tw) // 2, (h - 5 * scale) // 2, s, colour, scale)
    return px


here = os.path.dirname(os.path.abspath(__file__))
mask = (192, 192, 192)
for tool in range(49):
    px = strip(24, 24, str(tool), 2, [(16, 16, 96), (0, 64, 200), (128, 128, 128)], mask)
    write_bmp(os.path.join(here, "tool%d.bmp" % tool), 72, 24, px)
px = strip(48, 20, "RESET", 2, [(0, 0, 0), (0, 64, 200), (128, 128, 128)], (255, 255, 255))
write_bmp(os.path.join(here, "reset.bmp"), 144, 20, px)
