#!/usr/bin/env python3
"""Draws the program's icons into Quillex/res/*.ico (plain python3, no packages).

The line icons are discs (16 x 16 at 96 DPI, with larger images for higher DPI) with a white glyph; each disc has its own colour, which
the test driver also uses to tell the states apart on the screen. Run again after a change
and commit the .ico files: the build uses them as they are.
"""
import math
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Quillex", "res")
SUPER = 4  # samples per pixel side, for smooth edges

# Disc colours; tests/helpers/UiDriver.cpp knows them too.
GREY = (0x9A, 0x9A, 0x9A)
RUN_GREEN = (0x3C, 0xB4, 0x4B)
DONE_GREEN = (0x1E, 0x7E, 0x34)
RED = (0xD0, 0x2B, 0x2B)
WHITE = (0xFF, 0xFF, 0xFF)
NAVY = (0x1B, 0x2A, 0x49)
TEAL = (0x1F, 0xA6, 0x9E)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = side((px, py), a, b), side((px, py), b, c), side((px, py), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def render(size, shade):
    """shade(x, y) -> (r, g, b) or None at a point in 16-unit coordinates."""
    pixels = []
    scale = 16.0 / size
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(SUPER):
                for sx in range(SUPER):
                    c = shade((x + (sx + 0.5) / SUPER) * scale, (y + (sy + 0.5) / SUPER) * scale)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits:
                row.append(tuple(round(v / hits) for v in acc) + (round(255 * hits / SUPER ** 2),))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def disc(colour, glyph):
    def shade(x, y):
        if math.hypot(x - 8, y - 8) > 7.5:
            return None
        return WHITE if glyph(x, y) else colour
    return shade


def dash(x, y):
    return 4.5 <= x <= 11.5 and 7 <= y <= 9


def arrow(x, y):
    return in_triangle(x, y, (6, 4.5), (6, 11.5), (11.8, 8))


def check(x, y):
    return seg_dist(x, y, 4.5, 8.2, 7, 10.8) <= 1.1 or seg_dist(x, y, 7, 10.8, 11.6, 5.4) <= 1.1


def cross(x, y):
    return seg_dist(x, y, 5.2, 5.2, 10.8, 10.8) <= 1.1 or seg_dist(x, y, 10.8, 5.2, 5.2, 10.8) <= 1.1


def setup_icon(x, y):
    # A navy package with a teal band and a white arrow into it.
    if not (1 <= x <= 15 and 2 <= y <= 15):
        return None
    if in_triangle(x, y, (5, 2.5), (11, 2.5), (8, 7.5)) or (7 <= x <= 9 and 1 <= y <= 3):
        return WHITE
    if 1.5 <= x <= 14.5 and 6 <= y <= 14.5:
        return TEAL if 9 <= y <= 10.5 else NAVY
    return None


def ico(images):
    """images: list of pixel rows lists; 32-bit BGRA with an AND mask."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for px in images:
        size = len(px)
        xor = b"".join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
        mask_row = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(px):
            bits = bytearray(mask_row)
            for x, p in enumerate(row):
                if p[3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        bih = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blob = bih + xor + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return header + entries + blobs


def write(name, images):
    with open(os.path.join(RES, name), "wb") as f:
        f.write(ico(images))


# One image per size the windows ask for at 96, 120, 144 and 192 DPI, so none is stretched.
LINE_SIZES = (16, 20, 24, 32)
SETUP_SIZES = (16, 20, 24, 32, 40, 48, 64)

write("setup.ico", [render(size, setup_icon) for size in SETUP_SIZES])
write("line_pending.ico", [render(size, disc(GREY, dash)) for size in LINE_SIZES])
write("line_running.ico", [render(size, disc(RUN_GREEN, arrow)) for size in LINE_SIZES])
write("line_finished.ico", [render(size, disc(DONE_GREEN, check)) for size in LINE_SIZES])
write("line_failed.ico", [render(size, disc(RED, cross)) for size in LINE_SIZES])
