#!/usr/bin/env python3
"""Writes Quarvelo.ico, the product icon, beside this script: the emblem the splash draws (a
blue disc holding a white ring with a tail, down to the right), drawn at every size Windows asks
for at display scales of 100 to 200 % (small icons 16, 20, 24, 28, 32; large icons 32, 40, 48,
56, 64) and at 256 for Explorer's largest views, 32-bit with alpha, smoothed by 8 x 8 sampling.
Each size is drawn from the shapes, none is scaled from another. The 256-pixel image is stored
as PNG, as icons of that size are. Nothing is read; run it again after changing the emblem
(launcher/win32/splash_picture.cpp draws the same shapes)."""
import math
import os
import struct
import zlib

BLUE = (0x2B, 0x63, 0xC8)
WHITE = (0xFF, 0xFF, 0xFF)
SIZES = (16, 20, 24, 28, 32, 40, 48, 56, 64, 256)
PNG_FROM = 256
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


def pixels(size):
    """Rows top-down of (r, g, b, a) tuples."""
    rows = []
    for y in range(size):
        row = []
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
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (round(t / covered) for t in total)
                row.append((r, g, b, round(255 * covered / (SAMPLES * SAMPLES))))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """A BITMAPINFOHEADER, rows bottom-up of (b, g, r, a) bytes, then the AND mask (all zero:
    alpha decides)."""
    size = len(rows)
    data = b"".join(bytes(v for r, g, b, a in row for v in (b, g, r, a)) for row in reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + data + bytes(mask_row * size)


def png_image(rows):
    """The rows as a PNG file (8-bit RGBA, no filter)."""
    size = len(rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def image(size):
    rows = pixels(size)
    return png_image(rows) if size >= PNG_FROM else bitmap_image(rows)


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
