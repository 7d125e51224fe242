#!/usr/bin/env python3
"""Draws a small UDIM texture set of a brick wall on tiles 1001 and 1002 into this folder (run again
to remake it). The names carry the tile number and a channel token, as texture sets do."""
import math
import struct
import zlib
from pathlib import Path

SIZE = 128


def write_png(path, pixel):
    """Writes an 8-bit RGB PNG of SIZE x SIZE; pixel(x, y) answers (r, g, b) in 0..255."""
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)
        for x in range(SIZE):
            rows.extend(max(0, min(255, int(round(v)))) for v in pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                           chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def mortar(x, y):
    """1 inside a brick, falling to 0 in the mortar lines; bricks are 32 x 16, rows offset by half."""
    row = y // 16
    bx = (x + (16 if row % 2 else 0)) % 32
    by = y % 16
    edge = min(bx, 31 - bx, by, 15 - by)
    return min(1.0, edge / 2.0)


def grain(x, y, seed):
    return 0.5 + 0.5 * math.sin(x * 0.9 + seed) * math.cos(y * 1.3 + 2 * seed)


def bricks(base, seed):
    def pixel(x, y):
        m = mortar(x, y)
        shade = 0.85 + 0.15 * grain(x, y, seed)
        return tuple(200 * (1 - m) + c * shade * m for c in base)
    return pixel


def height(x, y):
    v = 90 + 120 * mortar(x, y) + 20 * grain(x, y, 3)
    return (v, v, v)


def speckle(x, y):
    v = 60 + 80 * mortar(x, y) * grain(x, y, 7)
    return (v, v, v)


here = Path(__file__).parent
write_png(here / "wall_1001_color.png", bricks((170, 70, 50), 1))
write_png(here / "wall_1001_specularcolor.png", speckle)
write_png(here / "wall_1001_bump.png", height)
write_png(here / "wall_1002_color.png", bricks((90, 110, 150), 2))
write_png(here / "wall_1002_bump.png", height)
