#!/usr/bin/env python3
"""Draws the sample stamp and stencil images into this folder (run again to remake them)."""
import math
import struct
import zlib
from pathlib import Path


def write_png(path, width, height, channels, pixel):
    """Writes an 8-bit PNG; pixel(x, y) answers a tuple of `channels` values 0..255."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(max(0, min(255, int(round(v)))) for v in pixel(x, y))
    colour_type = {1: 0, 3: 2, 4: 6}[channels]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                           chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def star(x, y, size=128):
    """A five-pointed star, orange at the heart fading to red at the tips, soft-edged alpha."""
    cx = cy = (size - 1) / 2
    dx, dy = (x - cx) / (size / 2), (y - cy) / (size / 2)
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx) + math.pi / 2
    # Radius of the star outline at this angle: between inner 0.42 and outer 0.95.
    k = (a / (2 * math.pi / 5)) % 1.0
    edge = 0.42 + 0.53 * abs(1 - 2 * k) ** 1.6
    alpha = 255 * (1 - smooth(edge - 0.06, edge, r))
    t = min(1.0, r / 0.95)
    return (255, 200 - 150 * t, 40 - 30 * t, alpha)


def weave(x, y, size=256):
    """A basket-weave stencil: bands of light and dark squares with soft seams."""
    cell = size / 8
    cx, cy = int(x // cell), int(y // cell)
    fx, fy = (x % cell) / cell, (y % cell) / cell
    along = fx if (cx + cy) % 2 == 0 else fy
    stripe = 0.5 + 0.5 * math.cos(along * 2 * math.pi * 3)
    border = smooth(0.0, 0.08, min(fx, fy, 1 - fx, 1 - fy))
    return (255 * stripe * border,)


here = Path(__file__).parent
write_png(here / "star_stamp.png", 128, 128, 4, star)
write_png(here / "weave_stencil.png", 256, 256, 1, weave)
