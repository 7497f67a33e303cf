#!/usr/bin/env python3
"""Draws the program's three pictures and writes them as PNG files.

Run once by hand when a picture changes; the PNG files are kept in the
repository and compiled into the executable. Standard library only: shapes are
sampled 4 x 4 per pixel so that their edges are smooth.
"""
import math
import os
import struct
import zlib

BLUE = (58, 148, 249)
WHITE = (255, 255, 255)
GREY = (81, 81, 81)


def write_png(path, width, height, pixels, alpha):
    """pixels: rows of (r, g, b[, a]) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw.extend(p[:4] if alpha else p[:3])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
                + chunk(b"IEND", b""))


def coverage(size, inside):
    """Fraction of each pixel covered by the shape `inside(x, y)`, 4 x 4 samples."""
    grid = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = sum(inside(px + (sx + 0.5) / 4, py + (sy + 0.5) / 4) for sx in range(4) for sy in range(4))
            row.append(hits / 16)
        grid.append(row)
    return grid


def mix(a, b, t):
    return tuple(round(a[i] * (1 - t) + b[i] * t) for i in range(3))


def segment_distance(x, y, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy))


def clock_face(size):
    """A white clock face with blue hands on a blue square, opaque."""
    c = size / 2
    radius = size * 0.40
    face = coverage(size, lambda x, y: math.hypot(x - c, y - c) <= radius)
    hands = coverage(size, lambda x, y: segment_distance(x, y, c, c, c, c - radius * 0.72) <= size * 0.055
                     or segment_distance(x, y, c, c, c + radius * 0.55, c) <= size * 0.055)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            p = mix(BLUE, WHITE, face[y][x])
            p = mix(p, BLUE, hands[y][x] * face[y][x])
            row.append(p)
        rows.append(row)
    return rows


def close_button(size):
    """A dark grey disc with a white cross, on a transparent ground."""
    c = size / 2
    radius = size / 2 - 0.5
    arm = size * 0.22
    disc = coverage(size, lambda x, y: math.hypot(x - c, y - c) <= radius)
    cross = coverage(size, lambda x, y: segment_distance(x, y, c - arm, c - arm, c + arm, c + arm) <= 1.1
                     or segment_distance(x, y, c - arm, c + arm, c + arm, c - arm) <= 1.1)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            colour = mix(GREY, WHITE, cross[y][x])
            row.append(colour + (round(255 * disc[y][x]),))
        rows.append(row)
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, "clock_picture.png"), 20, 20, clock_face(20), False)
    write_png(os.path.join(here, "close_button.png"), 25, 25, close_button(25), True)
    write_png(os.path.join(here, "tray_icon.png"), 16, 16, clock_face(16), False)


if __name__ == "__main__":
    main()
