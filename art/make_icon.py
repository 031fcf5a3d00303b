#!/usr/bin/env python3
"""Writes Quarvelo.ico, the product icon, beside this script: the emblem the splash draws (a
blue disc holding a white ring with a tail, down to the right), at 16, 24, 32, 48 and 64 pixels,
32-bit with alpha, smoothed by 8 x 8 sampling. Nothing is read; run it again after changing the
emblem (launcher/win32/splash_picture.cpp draws the same shapes)."""
import math
import os
import struct

BLUE = (0x2B, 0x63, 0xC8)
WHITE = (0xFF, 0xFF, 0xFF)
SIZES = (16, 24, 32, 48, 64)
SAMPLES = 8


def ink_at(u, v):
    """None outside the disc, else the colour at (u, v) of the unit square (y downwards)."""
    dx, dy = u - 0.5, v - 0.5
    radius = math.hypot(dx, dy)
    if radius > 0.5:
        return None
    if 0.215 <= radius <= 0.325:
        return WHITE
    tail_from, tail_to, half_width = 0.70, 0.80, 0.055
    along = min(max(((u - tail_from) + (v - tail_from)) / 2.0, 0.0), tail_to - tail_from)
    if math.hypot(tail_from + along - u, tail_from + along - v) <= half_width:
        return WHITE
    return BLUE


def image(size):
    """Rows bottom-up of (b, g, r, a) bytes, then the AND mask (all zero: alpha decides)."""
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = ink_at((x + (sx + 0.5) / SAMPLES) / size,
                                    (y + (sy + 0.5) / SAMPLES) / size)
                    if colour is not None:
                        covered += 1
                        for c in range(3):
                            total[c] += colour[c]
            if covered == 0:
                row += bytes(4)
            else:
                r, g, b = (round(t / covered) for t in total)
                row += bytes((b, g, r, round(255 * covered / (SAMPLES * SAMPLES))))
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + pixels + bytes(mask_row * size)


def main():
    images = [image(size) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Quarvelo.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
