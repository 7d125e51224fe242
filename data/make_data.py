#!/usr/bin/env python3
"""Draws the sample images and writes the sample descriptions below this folder.

Run again to remake them; the output is the same byte for byte on every run:
  brushes/     the stamp and the stencil the demo and the example jobs paint with
  stamps/      a stamp folder with a subfolder, for the content browser
  stencils/    a stencil folder
  library/     a content-libraries folder holding one library, "Prime.lib4d", whose planks
               carry a preview picture beside them ("planks.jpg.preview.png")
  megascans/   a Megascans library of two surface assets: "mossy_rock_pm01" has its albedo in
               three resolutions, "rusty_metal_pm02" lists a normal map that is not there
  textures/wall/  a UDIM texture set of a brick wall on tiles 1001 and 1002, named by tile
               number and channel token as texture sets are

Only the standard library is used: PNG, baseline JPEG and uncompressed OpenEXR are written here.
"""
import heapq
import json
import math
import random
import struct
import zlib
from pathlib import Path

# ---------------------------------------------------------------------------------------------
# Image files


def _clamp8(v):
    return max(0, min(255, int(round(v))))


def write_png(path, width, height, channels, pixel):
    """Writes an 8-bit PNG; pixel(x, y) answers a tuple of `channels` values 0..255."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(_clamp8(v) for v in pixel(x, y))
    colour_type = {1: 0, 3: 2, 4: 6}[channels]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                           chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


# Zigzag order of the 64 coefficients of a block, as (row, column).
_ZIGZAG = sorted(((r, c) for r in range(8) for c in range(8)),
                 key=lambda rc: (rc[0] + rc[1], rc[0] if (rc[0] + rc[1]) % 2 else -rc[0]))
_LUMA_Q = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
           14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
           18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
           49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
_CHROMA_Q = [99] * 64
for _i, _row in enumerate([[17, 18, 24, 47], [18, 21, 26, 66], [24, 26, 56], [47, 66]]):
    for _j, _v in enumerate(_row):
        _CHROMA_Q[_i * 8 + _j] = _v
_COS = [[math.cos((2 * x + 1) * u * math.pi / 16) * (math.sqrt(0.5) if u == 0 else 1.0) / 2
         for x in range(8)] for u in range(8)]


def _quant_table(base, quality):
    scale = 5000 / quality if quality < 50 else 200 - 2 * quality
    return [max(1, min(255, (q * scale + 50) // 100)) for q in base]


def _dct(block):
    """Forward 8 x 8 DCT of 64 level-shifted samples in rows; answers 64 coefficients in rows."""
    rows = [[sum(_COS[u][x] * block[y * 8 + x] for x in range(8)) for u in range(8)]
            for y in range(8)]
    return [sum(_COS[v][y] * rows[y][u] for y in range(8)) for v in range(8) for u in range(8)]


def _magnitude(v):
    """The size category of a coefficient and its extra bits."""
    size = abs(v).bit_length()
    return size, (v if v >= 0 else v + (1 << size) - 1)


def _huffman_lengths(counts):
    """Code lengths (at most 16) for the symbols that occur; one spare code keeps all-ones free."""
    items = [(n, i, [s]) for i, (s, n) in enumerate(sorted(counts.items()))]
    items.append((0, len(items), [None]))  # the spare, least frequent of all
    heapq.heapify(items)
    lengths = {s: 0 for s in counts}
    lengths[None] = 0
    order = len(items)
    if len(items) == 1:
        lengths[items[0][2][0]] = 1
    while len(items) > 1:
        n1, _, s1 = heapq.heappop(items)
        n2, _, s2 = heapq.heappop(items)
        for s in s1 + s2:
            lengths[s] += 1
        heapq.heappush(items, (n1 + n2, order, s1 + s2))
        order += 1
    if max(lengths.values()) > 16:  # skewed counts: fall back to codes of equal length
        width = max(1, (len(lengths)).bit_length())
        lengths = {s: width for s in lengths}
    return lengths


def _huffman_table(counts):
    """The DHT counts, the symbols in code order and each symbol's (code, length)."""
    lengths = _huffman_lengths(counts)
    spare_length = lengths.pop(None)
    symbols = sorted(lengths, key=lambda s: (lengths[s], s))
    bits = [0] * 16
    for s in symbols:
        bits[lengths[s] - 1] += 1
    codes, code, length = {}, 0, 1
    for s in symbols:
        while length < lengths[s]:
            code <<= 1
            length += 1
        codes[s] = (code, length)
        code += 1
    assert spare_length >= max(lengths.values())
    return bits, symbols, codes


def write_jpeg(path, width, height, channels, pixel, quality=85):
    """Writes a baseline JPEG (grey, or YCbCr without subsampling) with Huffman tables made for
    the image; pixel(x, y) answers 1 or 3 values 0..255."""
    def samples(x, y):
        p = pixel(min(x, width - 1), min(y, height - 1))
        if channels == 1:
            return (p[0],)
        r, g, b = p[:3]
        return (0.299 * r + 0.587 * g + 0.114 * b,
                -0.168736 * r - 0.331264 * g + 0.5 * b + 128,
                0.5 * r - 0.418688 * g - 0.081312 * b + 128)

    tables = [_quant_table(_LUMA_Q, quality), _quant_table(_CHROMA_Q, quality)]
    comp_table = [0, 1, 1][:channels]
    # First pass: every block's symbols and extra bits, per component.
    units, previous = [], [0] * channels
    dc_counts = [{}, {}]
    ac_counts = [{}, {}]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            grid = [samples(bx + i % 8, by + i // 8) for i in range(64)]
            for c in range(channels):
                t = comp_table[c]
                coeffs = _dct([g[c] - 128 for g in grid])
                q = [int(round(coeffs[r * 8 + k] / tables[t][r * 8 + k])) for r, k in _ZIGZAG]
                size, extra = _magnitude(q[0] - previous[c])
                previous[c] = q[0]
                codes = [(0, t, size, extra)]
                dc_counts[t][size] = dc_counts[t].get(size, 0) + 1
                run = 0
                last = max([i for i in range(1, 64) if q[i]], default=0)
                for i in range(1, last + 1):
                    if q[i] == 0:
                        run += 1
                        continue
                    while run > 15:
                        codes.append((1, t, 0xF0, None))
                        ac_counts[t][0xF0] = ac_counts[t].get(0xF0, 0) + 1
                        run -= 16
                    size, extra = _magnitude(q[i])
                    symbol = run << 4 | size
                    codes.append((1, t, symbol, (size, extra)))
                    ac_counts[t][symbol] = ac_counts[t].get(symbol, 0) + 1
                    run = 0
                if last < 63:
                    codes.append((1, t, 0x00, None))
                    ac_counts[t][0x00] = ac_counts[t].get(0x00, 0) + 1
                units.append(codes)
    used = sorted(set(comp_table))
    huff = {(k, t): _huffman_table(counts[t]) for t in used
            for k, counts in ((0, dc_counts), (1, ac_counts))}

    out = bytearray(b"\xff\xd8")
    out += b"\xff\xe0" + struct.pack(">H5sBBBHHBB", 16, b"JFIF\0", 1, 1, 0, 1, 1, 0, 0)
    for t in used:
        out += b"\xff\xdb" + struct.pack(">HB", 67, t) + bytes(tables[t][r * 8 + k] for r, k in _ZIGZAG)
    out += b"\xff\xc0" + struct.pack(">HBHHB", 8 + 3 * channels, 8, height, width, channels)
    for c in range(channels):
        out += bytes([c + 1, 0x11, comp_table[c]])
    for (k, t), (bits, symbols, _) in sorted(huff.items(), key=lambda e: (e[0][1], e[0][0])):
        out += b"\xff\xc4" + struct.pack(">HB", 19 + len(symbols), k << 4 | t) + bytes(bits) + bytes(symbols)
    out += b"\xff\xda" + struct.pack(">HB", 6 + 2 * channels, channels)
    for c in range(channels):
        out += bytes([c + 1, comp_table[c] << 4 | comp_table[c]])
    out += b"\x00\x3f\x00"

    acc, nbits, data = 0, 0, bytearray()

    def put(value, length):
        nonlocal acc, nbits
        acc = acc << length | (value & ((1 << length) - 1))
        nbits += length
        while nbits >= 8:
            nbits -= 8
            byte = acc >> nbits & 0xFF
            data.append(byte)
            if byte == 0xFF:
                data.append(0)
        acc &= (1 << nbits) - 1

    for codes in units:
        for k, t, symbol, extra in codes:
            code, length = huff[(k, t)][2][symbol]
            put(code, length)
            if k == 0 and symbol:
                put(extra, symbol)
            elif k == 1 and extra:
                put(extra[1], extra[0])
    if nbits:
        put(0x7F, 8 - nbits)  # pad with one bits
    out += data + b"\xff\xd9"
    Path(path).write_bytes(bytes(out))


def write_exr(path, width, height, channels, value):
    """Writes an uncompressed scan-line OpenEXR of half floats; value(x, y) answers `channels`
    floats. One channel is written as "Y", three as "R", "G", "B"."""
    names = ["Y"] if channels == 1 else ["R", "G", "B"]

    def attribute(name, kind, data):
        return name.encode() + b"\0" + kind.encode() + b"\0" + struct.pack("<i", len(data)) + data

    chlist = b"".join(sorted(n.encode() + b"\0" + struct.pack("<iB3xii", 1, 0, 1, 1) for n in names)) + b"\0"
    box = struct.pack("<iiii", 0, 0, width - 1, height - 1)
    header = (b"\x76\x2f\x31\x01" + struct.pack("<I", 2) +
              attribute("channels", "chlist", chlist) +
              attribute("compression", "compression", b"\0") +
              attribute("dataWindow", "box2i", box) +
              attribute("displayWindow", "box2i", box) +
              attribute("lineOrder", "lineOrder", b"\0") +
              attribute("pixelAspectRatio", "float", struct.pack("<f", 1.0)) +
              attribute("screenWindowCenter", "v2f", struct.pack("<ff", 0.0, 0.0)) +
              attribute("screenWindowWidth", "float", struct.pack("<f", 1.0)) + b"\0")
    order = sorted(range(channels), key=lambda c: names[c])
    line_bytes = 2 * width * channels
    first = len(header) + 8 * height
    table = b"".join(struct.pack("<Q", first + y * (8 + line_bytes)) for y in range(height))
    lines = bytearray()
    for y in range(height):
        pixels = [value(x, y) for x in range(width)]
        lines += struct.pack("<ii", y, line_bytes)
        for c in order:
            lines += struct.pack("<%de" % width, *(p[c] for p in pixels))
    Path(path).write_bytes(header + table + bytes(lines))


# ---------------------------------------------------------------------------------------------
# Patterns


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


class Noise:
    """Tileable value noise on a period of `cells` lattice cells, summed over octaves."""

    def __init__(self, seed, cells=8):
        rng = random.Random(seed)
        self.cells = cells
        self.table = [rng.random() for _ in range(256 * 256)]

    def lattice(self, i, j, period):
        return self.table[(i % period) * 256 + (j % period)]

    def value(self, u, v, period):
        x, y = u * period, v * period
        i, j = math.floor(x), math.floor(y)
        fx, fy = smooth(0, 1, x - i), smooth(0, 1, y - j)
        a = self.lattice(i, j, period) + (self.lattice(i + 1, j, period) - self.lattice(i, j, period)) * fx
        b = self.lattice(i, j + 1, period) + (self.lattice(i + 1, j + 1, period) - self.lattice(i, j + 1, period)) * fx
        return a + (b - a) * fy

    def fbm(self, u, v, octaves=5):
        total, weight, period = 0.0, 0.5, self.cells
        for _ in range(octaves):
            total += weight * self.value(u, v, period)
            weight *= 0.5
            period *= 2
        return total / (1 - 0.5 ** octaves)


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


def soft_dot(x, y, size=128):
    """A white dot whose alpha falls off softly to the rim."""
    r = math.hypot(x - (size - 1) / 2, y - (size - 1) / 2) / (size / 2)
    return (255, 255, 255, 255 * (1 - smooth(0.2, 0.95, r)))


def splatter_stamp(seed, size=128):
    """Paint drops: a few round blobs of a dark blue with a lighter rim."""
    rng = random.Random(seed)
    drops = [(rng.uniform(0.2, 0.8) * size, rng.uniform(0.2, 0.8) * size, rng.uniform(0.05, 0.2) * size)
             for _ in range(9)]

    def pixel(x, y):
        inside = max(1 - smooth(r * 0.8, r, math.hypot(x - cx, y - cy)) for cx, cy, r in drops)
        return (40 + 60 * (1 - inside), 60 + 40 * (1 - inside), 160, 255 * inside)
    return pixel


def hidden_grey(rgba):
    """Fully transparent pixels carry a dark neutral grey: painting ignores them, and a preview
    that shows colour only (the content browser's) then shows the stamp's shape."""
    return (60, 60, 60, 0) if rgba[3] < 0.5 else rgba


def leaf(x, y, size=128):
    """A green leaf along the diagonal, with a pale midrib."""
    u = ((x - size / 2) + (y - size / 2)) / (size * 0.7)   # along the leaf
    v = ((x - size / 2) - (y - size / 2)) / (size * 0.7)   # across it
    width = 0.42 * max(0.0, 1 - u * u) ** 0.8
    alpha = 255 * (1 - smooth(width - 0.03, width, abs(v))) if abs(u) < 1 else 0
    rib = 1 - smooth(0.0, 0.025, abs(v))
    return hidden_grey(mix((50, 130, 40), (190, 220, 150), rib) + (alpha,))


def ring(x, y, size=128):
    """An orange ring with soft inner and outer edges."""
    r = math.hypot(x - (size - 1) / 2, y - (size - 1) / 2) / (size / 2)
    alpha = smooth(0.45, 0.55, r) * (1 - smooth(0.8, 0.9, r))
    return hidden_grey((240, 140, 30, 255 * alpha))


def bricks(x, y, size=256):
    """A brick-wall stencil: light bricks, dark mortar, every other row shifted."""
    rows, cols = 8, 4
    h, w = size / rows, size / cols
    row = int(y // h)
    fx = ((x + (w / 2 if row % 2 else 0)) % w) / w
    fy = (y % h) / h
    mortar = smooth(0.0, 0.06, min(fx, 1 - fx) * w / h) * smooth(0.0, 0.12, min(fy, 1 - fy))
    return (30 + 200 * mortar,)


def halftone(x, y, size=256):
    """A halftone stencil: dots growing from left to right."""
    cell = size / 16
    cx, cy = (x // cell + 0.5) * cell, (y // cell + 0.5) * cell
    radius = cell * 0.5 * (0.15 + 0.85 * x / size)
    return (255 * (1 - smooth(radius - 1, radius + 1, math.hypot(x - cx, y - cy))),)


def planks(noise):
    def pixel(x, y, size=256):
        u, v = x / size, y / size
        board = int(u * 4)
        grain = noise.fbm(u * 0.25 + board * 0.37, v * 2, 4)
        stripes = 0.5 + 0.5 * math.sin((u * 4 - board) * 30 + grain * 8)
        gap = smooth(0.0, 0.03, min(u * 4 - board, board + 1 - u * 4))
        base = mix((120, 78, 42), (170, 120, 70), 0.6 * stripes + 0.4 * grain)
        return tuple(c * (0.3 + 0.7 * gap) for c in base)
    return pixel


def checker(x, y, size=256):
    t = ((x * 8 // size) + (y * 8 // size)) % 2
    return (200, 200, 200) if t else (60, 60, 70)


# ---------------------------------------------------------------------------------------------
# Megascans assets


def rock_height(noise, u, v):
    return noise.fbm(u, v, 6)


def rock_albedo(noise, moss_noise):
    def pixel(x, y, size):
        u, v = x / size, y / size
        h = rock_height(noise, u, v)
        m = moss_noise.fbm(u, v, 5)
        moss = smooth(0.45, 0.7, m + 0.25 * (h - 0.5))
        stone = mix((92, 88, 84), (168, 160, 150), h)
        # Moss is darker and yellower where it grows thick.
        green = mix((110, 128, 58), (58, 86, 34), smooth(0.5, 0.8, m) * 0.6 + 0.4 * h)
        return mix(stone, green, moss * 0.92)
    return pixel


def normal_from(height, size):
    """A tangent-space normal map (128, 128, 255 is flat) from a height function of (u, v)."""
    def pixel(x, y):
        e = 1 / size
        dx = (height((x + 1) / size, y / size) - height((x - 1) / size, y / size)) / (2 * e)
        dy = (height(x / size, (y + 1) / size) - height(x / size, (y - 1) / size)) / (2 * e)
        nx, ny, nz = -dx * 0.08, -dy * 0.08, 1.0
        n = math.sqrt(nx * nx + ny * ny + nz * nz)
        return (128 + 127 * nx / n, 128 + 127 * ny / n, 128 + 127 * nz / n)
    return pixel


def format_entry(mime, uri):
    return {"mimeType": mime, "uri": uri}


def component(kind, name, colour_space, average, resolutions):
    return {
        "type": kind,
        "name": name,
        "colorSpace": colour_space,
        "uris": [{"physicalSize": "2x2", "resolutions": [
            {"resolution": "%dx%d" % (size, size), "formats": formats} for size, formats in resolutions]}],
        "averageColor": average,
    }


def average_hex(pixel, size):
    total = [0.0, 0.0, 0.0]
    for y in range(0, size, 4):
        for x in range(0, size, 4):
            for i, c in enumerate(pixel(x, y)[:3]):
                total[i] += c
    n = (size // 4) ** 2
    return "#%02X%02X%02X" % tuple(_clamp8(t / n) for t in total)


def write_description(path, asset):
    Path(path).write_text(json.dumps(asset, indent=2) + "\n")


def make_mossy_rock(folder):
    folder.mkdir(parents=True, exist_ok=True)
    name = "mossy_rock_pm01"
    noise, moss = Noise(11), Noise(12)
    albedo = rock_albedo(noise, moss)
    sizes = [64, 128, 256]
    for s in sizes:
        write_jpeg(folder / ("%s_%d_Albedo.jpg" % (name, s)), s, s, 3, lambda x, y, s=s: albedo(x, y, s))
    height = lambda u, v: rock_height(noise, u, v)
    write_jpeg(folder / ("%s_128_Normal.jpg" % name), 128, 128, 3, normal_from(height, 128))
    write_jpeg(folder / ("%s_128_Bump.jpg" % name), 128, 128, 1,
               lambda x, y: (255 * height(x / 128, y / 128),))
    write_jpeg(folder / ("%s_128_Gloss.jpg" % name), 128, 128, 1,
               lambda x, y: (60 + 80 * (1 - moss.fbm(x / 128, y / 128, 4)),))
    write_exr(folder / ("%s_64_Displacement.exr" % name), 64, 64, 1,
              lambda x, y: (height(x / 64, y / 64),))
    write_png(folder / ("%s_Preview.png" % name), 64, 64, 3, lambda x, y: albedo(x, y, 64))
    write_description(folder / (name + ".json"), {
        "id": "pm01",
        "name": "Mossy Rock",
        "categories": ["surface", "rock", "mossy"],
        "tags": ["rock", "moss", "stone", "natural", "green", "grey"],
        "environment": ["forest", "temperate"],
        "previews": {
            "images": [{"resolution": "64x64", "uri": name + "_Preview.png", "tags": ["thumb"]}],
            "relativeSize": "2x2",
        },
        "components": [
            component("albedo", "Albedo", "sRGB", average_hex(lambda x, y: albedo(x, y, 64), 64),
                      [(s, [format_entry("image/jpeg", "%s_%d_Albedo.jpg" % (name, s))]) for s in sizes]),
            component("normal", "Normal", "Linear", "#8080FF",
                      [(128, [format_entry("image/jpeg", name + "_128_Normal.jpg")])]),
            component("bump", "Bump", "Linear", "#7F7F7F",
                      [(128, [format_entry("image/jpeg", name + "_128_Bump.jpg")])]),
            component("gloss", "Gloss", "Linear", "#646464",
                      [(128, [format_entry("image/jpeg", name + "_128_Gloss.jpg")])]),
            component("displacement", "Displacement", "Linear", "#808080",
                      [(64, [format_entry("image/x-exr", name + "_64_Displacement.exr")])]),
        ],
    })


def make_rusty_metal(folder):
    folder.mkdir(parents=True, exist_ok=True)
    name = "rusty_metal_pm02"
    noise, rust = Noise(21, cells=4), Noise(22, cells=6)

    def albedo(x, y, size=128):
        u, v = x / size, y / size
        f = rust.fbm(u, v, 5)
        r = smooth(0.45, 0.6, f)
        scratches = 0.08 * math.sin(u * 140 + 6 * noise.fbm(u, v, 3))
        metal = mix((120, 124, 130), (150, 154, 160), noise.fbm(u, v, 4) + scratches)
        # Rust darkens toward the middle of a patch and turns orange at its rim.
        colour = mix((168, 84, 34), (96, 44, 22), smooth(0.55, 0.85, f))
        return mix(metal, colour, r)

    def metalness(x, y, size=128):
        return (255 * (1 - smooth(0.45, 0.6, rust.fbm(x / size, y / size, 5))),)

    write_jpeg(folder / ("%s_128_Albedo.jpg" % name), 128, 128, 3, albedo)
    write_jpeg(folder / ("%s_128_Metalness.jpg" % name), 128, 128, 1, metalness)
    write_description(folder / (name + ".json"), {
        "id": "pm02",
        "name": "Rusty Metal",
        "categories": ["surface", "metal"],
        "tags": ["rust", "metal", "painted", "orange"],
        "environment": [],
        "previews": None,
        "components": [
            component("albedo", "Albedo", "sRGB", average_hex(albedo, 128),
                      [(128, [format_entry("image/jpeg", name + "_128_Albedo.jpg")])]),
            # Listed but not shipped: the importer skips files that are missing.
            component("normal", "Normal", "Linear", "#8080FF",
                      [(128, [format_entry("image/jpeg", name + "_128_Normal.jpg")])]),
            component("metalness", "Metalness", "Linear", "#B0B0B0",
                      [(128, [format_entry("image/jpeg", name + "_128_Metalness.jpg")])]),
        ],
    })


def wall_mortar(x, y):
    """1 inside a brick, falling to 0 in the mortar; bricks are 32 x 16, rows offset by half."""
    row = y // 16
    bx = (x + (16 if row % 2 else 0)) % 32
    by = y % 16
    return min(1.0, min(bx, 31 - bx, by, 15 - by) / 2.0)


def wall_grain(x, y, seed):
    return 0.5 + 0.5 * math.sin(x * 0.9 + seed) * math.cos(y * 1.3 + 2 * seed)


def wall_bricks(base, seed):
    def pixel(x, y):
        m = wall_mortar(x, y)
        shade = 0.85 + 0.15 * wall_grain(x, y, seed)
        return tuple(200 * (1 - m) + c * shade * m for c in base)
    return pixel


def wall_height(x, y):
    v = 90 + 120 * wall_mortar(x, y) + 20 * wall_grain(x, y, 3)
    return (v, v, v)


def wall_speckle(x, y):
    v = 60 + 80 * wall_mortar(x, y) * wall_grain(x, y, 7)
    return (v, v, v)


def make_wall_set(folder):
    folder.mkdir(parents=True, exist_ok=True)
    write_png(folder / "wall_1001_color.png", 128, 128, 3, wall_bricks((170, 70, 50), 1))
    write_png(folder / "wall_1001_specularcolor.png", 128, 128, 3, wall_speckle)
    write_png(folder / "wall_1001_bump.png", 128, 128, 3, wall_height)
    write_png(folder / "wall_1002_color.png", 128, 128, 3, wall_bricks((90, 110, 150), 2))
    write_png(folder / "wall_1002_bump.png", 128, 128, 3, wall_height)


def main():
    here = Path(__file__).parent
    brushes = here / "brushes"
    write_png(brushes / "star_stamp.png", 128, 128, 4, star)
    write_png(brushes / "weave_stencil.png", 256, 256, 1, weave)

    stamps = here / "stamps"
    (stamps / "shapes").mkdir(parents=True, exist_ok=True)
    write_png(stamps / "soft_dot.png", 128, 128, 4, soft_dot)
    write_png(stamps / "splatter.png", 128, 128, 4, splatter_stamp(5))
    write_png(stamps / "shapes" / "leaf.png", 128, 128, 4, leaf)
    write_png(stamps / "shapes" / "ring.png", 128, 128, 4, ring)

    stencils = here / "stencils"
    stencils.mkdir(parents=True, exist_ok=True)
    write_png(stencils / "bricks.png", 256, 256, 1, bricks)
    write_png(stencils / "halftone.png", 256, 256, 1, halftone)

    library = here / "library" / "Prime.lib4d"
    (library / "Wood").mkdir(parents=True, exist_ok=True)
    write_png(library / "checker.png", 256, 256, 3, checker)
    planks_pixel = planks(Noise(31))
    write_jpeg(library / "Wood" / "planks.jpg", 256, 256, 3, planks_pixel)
    write_png(library / "Wood" / "planks.jpg.preview.png", 64, 64, 3,
              lambda x, y: planks_pixel(x * 4, y * 4))

    megascans = here / "megascans"
    make_mossy_rock(megascans / "mossy_rock_pm01")
    make_rusty_metal(megascans / "rusty_metal_pm02")

    make_wall_set(here / "textures" / "wall")


if __name__ == "__main__":
    main()
