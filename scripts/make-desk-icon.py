#!/usr/bin/env python3
"""Draws the whole-desktop icon the client carries (src/app/DESK.ico).

A monitor: a dark frame around a blue screen with a light sky band, on a
small stand. Eleven images from 16x16 to 96x96, 32 bits a pixel with alpha,
each drawn at its own size (anti-aliased by supersampling). Pure Python.

    python3 scripts/make-desk-icon.py [output.ico]
"""
import os
import struct
import sys

SIZES = [16, 20, 24, 32, 40, 48, 56, 64, 72, 80, 96]
SAMPLES = 4  # per axis, per pixel

FRAME = (38, 46, 58)
SCREEN_TOP = (70, 150, 225)
SCREEN_BOTTOM = (24, 84, 160)
SKY = (200, 230, 250)
STAND = (90, 98, 110)


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(u, v):
    """The colour at (u, v) in the unit square, or None for transparent."""
    if inside_rounded(u, v, 0.30, 0.74, 0.70, 0.92, 0.03):  # stand foot and neck
        if v > 0.84 or 0.44 < u < 0.56:
            return STAND
    if inside_rounded(u, v, 0.04, 0.10, 0.96, 0.78, 0.07):
        if inside_rounded(u, v, 0.10, 0.16, 0.90, 0.72, 0.02):
            t = (v - 0.16) / 0.56
            base = tuple(int(a + (b - a) * t) for a, b in zip(SCREEN_TOP, SCREEN_BOTTOM))
            if 0.22 < v < 0.30 and 0.18 < u < 0.62:
                return SKY
            return base
        return FRAME
    return None


def draw(size):
    """Rows bottom-up of (b, g, r, a) bytes, as an icon bitmap stores them."""
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((x + (sx + 0.5) / SAMPLES) / size, (y + (sy + 0.5) / SAMPLES) / size)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += c[i]
            if covered:
                r, g, b = (t // covered for t in total)
                row += bytes((b, g, r, covered * 255 // (SAMPLES * SAMPLES)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return list(reversed(rows))


def bitmap(size):
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in rows:  # already bottom-up
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[x * 4 + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + b"".join(rows) + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src", "app", "DESK.ico")
    images = [bitmap(s) for s in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, image in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(out, "wb") as f:
        f.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main()
