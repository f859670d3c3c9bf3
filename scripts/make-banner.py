#!/usr/bin/env python3
"""Draws the progress dialog's banner (resources/Images/banner.png).

A calm diagonal blue-to-teal gradient, a soft wave band across it and a few
rings at the right end. Pure Python: the PNG is written with zlib and struct.

    python3 scripts/make-banner.py [output.png]
"""
import math
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 290, 63  # the banner's place in the dialog at 96 dpi

LEFT = (22, 58, 102)     # deep blue
RIGHT = (38, 132, 140)   # teal
RINGS = [(250.0, 18.0, 30.0), (250.0, 18.0, 44.0), (250.0, 18.0, 58.0), (214.0, 70.0, 20.0)]


def mix(a, b, t):
    return a + (b - a) * t


def coverage(distance, half_width):
    """Anti-aliased coverage of a line of the given half width at that distance."""
    return max(0.0, min(1.0, half_width + 0.5 - abs(distance)))


def pixel(x, y):
    t = (x / (WIDTH - 1)) * 0.85 + (y / (HEIGHT - 1)) * 0.15
    r, g, b = (mix(LEFT[i], RIGHT[i], t) for i in range(3))

    # A soft lighter band that follows a slow wave.
    wave = HEIGHT * 0.62 + 7.0 * math.sin(x / WIDTH * 2.2 * math.pi + 0.6)
    band = math.exp(-((y - wave) / 9.0) ** 2) * 0.16
    r, g, b = mix(r, 255, band), mix(g, 255, band), mix(b, 255, band)

    # Thin rings, fading towards the left.
    for cx, cy, radius in RINGS:
        distance = math.hypot(x - cx, y - cy) - radius
        alpha = coverage(distance, 0.7) * 0.22 * min(1.0, x / (WIDTH * 0.55))
        r, g, b = mix(r, 255, alpha), mix(g, 255, alpha), mix(b, 255, alpha)

    return bytes(int(round(max(0, min(255, v)))) for v in (r, g, b))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(rows):
    raw = bytearray()
    previous = bytes(WIDTH * 3)
    for row in rows:
        # Filter "Up": the gradient changes slowly from row to row.
        raw.append(2)
        raw.extend((row[i] - previous[i]) & 0xFF for i in range(len(row)))
        previous = row
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(os.path.join(here, "..", "resources", "Images", "banner.png"))
    rows = [b"".join(pixel(x, y) for x in range(WIDTH)) for y in range(HEIGHT)]
    with open(output, "wb") as f:
        f.write(encode_png(rows))
    print(f"{output}: {os.path.getsize(output)} bytes")


if __name__ == "__main__":
    main()
