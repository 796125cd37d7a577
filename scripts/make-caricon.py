#!/usr/bin/env python3
"""Draws the status item's icon, resources/caricon.png: a small car driving
right with motion lines behind it, black on transparent, for use as a
template image (only its alpha counts; the menu bar tints it).

Standard library only. Usage: scripts/make-caricon.py [OUTPUT] [SIZE]
"""
import math
import struct
import sys
import zlib

GRID = 18.0  # the drawing is made on an 18 x 18 grid and scaled to SIZE


def rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def cabin(x, y):
    # Roof from x 8 to 13, the rear pillar leaning back to 6.5, the windshield to 15.
    top, bottom = 4.5, 8.5
    if y < top or y > bottom:
        return False
    t = (y - top) / (bottom - top)
    return 8.0 - 1.5 * t <= x <= 13.0 + 2.0 * t


def window(x, y):
    top, bottom = 5.6, 8.0
    if y < top or y > bottom:
        return False
    t = (y - top) / (bottom - top)
    rear = 8.6 - 1.0 * t <= x <= 10.4
    front = 11.1 <= x <= 12.8 + 1.3 * t
    return rear or front


WHEELS = ((8.3, 13.4), (14.6, 13.4))


def ink(x, y):
    """Whether the point (grid units, y down) is inked."""
    for cx, cy in WHEELS:
        if circle(x, y, cx, cy, 2.0):
            return not circle(x, y, cx, cy, 0.7)
        if circle(x, y, cx, cy, 2.8):
            return False  # a gap between wheel and body
    if window(x, y):
        return False
    if cabin(x, y) or rounded_rect(x, y, 5.2, 8.2, 17.6, 13.2, 1.4):
        return True
    # Motion lines behind the car.
    for x0, x1, ly in ((0.6, 4.2, 6.6), (0.0, 3.9, 9.6), (1.2, 4.2, 12.4)):
        if rounded_rect(x, y, x0, ly - 0.6, x1, ly + 0.6, 0.6):
            return True
    return False


def draw(size, samples=4):
    rows = []
    scale = GRID / size
    for py in range(size):
        row = bytearray()
        for px in range(size):
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    hits += ink(x, y)
            alpha = round(255 * hits / (samples * samples))
            row += bytes((0, 0, 0, alpha))
        rows.append(bytes(row))
    return rows


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on each row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/caricon.png"
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 18
    if not 8 <= size <= 512:
        sys.exit("size must be between 8 and 512")
    with open(out, "wb") as f:
        f.write(png(size, size, draw(size)))


if __name__ == "__main__":
    main()
