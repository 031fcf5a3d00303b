#!/usr/bin/env python3
"""Draws the product icon (a white ring with a tail, a "Q", on a blue rounded square) and writes
it as a Windows .ico with 16, 32 and 48 pixel images (32-bit colour with alpha, plus the mask).

    make_icon.py OUT.ico
"""
import math
import struct
import sys

BLUE = (0x2F, 0x6F, 0xD0)
DARK = (0x1D, 0x4E, 0x9E)
WHITE = (0xFF, 0xFF, 0xFF)


def coverage(size, x, y, inside):
    """Share of the pixel (x, y) that the shape covers, from 4 x 4 samples."""
    hits = 0
    for i in range(4):
        for j in range(4):
            if inside((x + (i + 0.5) / 4) / size, (y + (j + 0.5) / 4) / size):
                hits += 1
    return hits / 16


def rounded_square(u, v):
    r = 0.2
    dx = max(abs(u - 0.5) - (0.5 - r), 0)
    dy = max(abs(v - 0.5) - (0.5 - r), 0)
    return dx * dx + dy * dy <= r * r


def ring(u, v):
    d = math.hypot(u - 0.47, v - 0.46)
    return 0.19 <= d <= 0.3


def tail(u, v):
    # A short stroke from the ring's lower right outwards.
    t = ((u - 0.6) + (v - 0.6)) / 2
    off = abs((u - 0.6) - (v - 0.6)) / math.sqrt(2)
    return -0.02 <= t <= 0.17 and off <= 0.055


def image(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            a = coverage(size, x, y, rounded_square)
            w = coverage(size, x, y, lambda u, v: ring(u, v) or tail(u, v))
            shade = y / max(size - 1, 1)
            base = tuple(int(BLUE[k] * (1 - shade) + DARK[k] * shade) for k in range(3))
            colour = tuple(int(base[k] * (1 - w) + WHITE[k] * w) for k in range(3))
            row.append((colour, int(255 * a)))
        rows.append(row)
    return rows


def dib(size):
    pixels = image(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for y in reversed(range(size)):  # bottom-up
        for (r, g, b), a in pixels[y]:
            data += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            if pixels[y][x][1] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(data) + bytes(mask)


def main():
    sizes = (16, 32, 48)
    images = [dib(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(sizes)))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
