#!/usr/bin/env python3
"""Draws the program's icon: a console window with a green prompt and a cursor.

Writes norvane.ico beside this script with 48, 32, 24 and 16 pixel images in 32-bit colour
with alpha. With --preview FILE it also writes the four images side by side, enlarged, as a PNG.
Standard library only, so the icon can be made again on any machine with Python 3.
"""
import os
import struct
import sys
import zlib

SIZES = (48, 32, 24, 16)
SUPERSAMPLE = 8

WINDOW = (0x1E, 0x29, 0x3B)  # dark slate
TITLE_BAR = (0x3B, 0x82, 0xF6)  # blue
PROMPT = (0x4A, 0xDE, 0x80)  # green
CURSOR = (0xF8, 0xFA, 0xFC)  # near white


def inside_rounded_square(x, y, margin, radius):
    lo, hi = margin, 1 - margin
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, a, b, half_width):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half_width ** 2


def colour_at(x, y, size):
    """The colour at a point of the unit square, or None where the icon is transparent."""
    margin = 0.5 / size  # half a pixel, so the rounded edge is not clipped
    if not inside_rounded_square(x, y, margin, 0.16):
        return None
    stroke = max(0.09, 1.5 / size) / 2  # at least a pixel and a half wide
    chevron = ((0.22, 0.42), (0.44, 0.60), (0.22, 0.78))
    if near_segment(x, y, chevron[0], chevron[1], stroke) or near_segment(
            x, y, chevron[1], chevron[2], stroke):
        return PROMPT
    if 0.52 <= x <= 0.80 and 0.78 - 2 * stroke <= y <= 0.78:
        return CURSOR
    if y < margin + max(0.2, 3 / size):
        return TITLE_BAR
    return WINDOW


def render(size):
    """Rows of (r, g, b, a), top row first, anti-aliased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, size)
                    if c:
                        r, g, b, covered = r + c[0], g + c[1], b + c[2], covered + 1
            if covered:
                row.append((r // covered, g // covered, b // covered, covered * 255 // (n * n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(rows):
    """An icon image: a 32-bit bottom-up bitmap with its AND mask."""
    size = len(rows)
    mask_stride = (size + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                       0, 0, 0, 0)
    return info + bytes(pixels) + bytes(mask)


def ico(images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    return header + entries + data


def png(rows, path):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def preview(renders, path, scale=6):
    """The images side by side on a light grey ground, each pixel drawn as a square."""
    width = sum(s for s, _ in renders) * scale + 10 * (len(renders) + 1)
    height = SIZES[0] * scale + 20
    canvas = [[(0xDD, 0xDD, 0xDD, 255)] * width for _ in range(height)]
    left = 10
    for size, rows in renders:
        for y in range(size * scale):
            for x in range(size * scale):
                r, g, b, a = rows[y // scale][x // scale]
                br, bg, bb, _ = canvas[10 + y][left + x]
                canvas[10 + y][left + x] = tuple(
                    (c * a + d * (255 - a)) // 255 for c, d in ((r, br), (g, bg), (b, bb))) + (255,)
        left += size * scale + 10
    png(canvas, path)


def main():
    renders = [(size, render(size)) for size in SIZES]
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "norvane.ico"), "wb") as f:
        f.write(ico([(size, dib(rows)) for size, rows in renders]))
    if len(sys.argv) == 3 and sys.argv[1] == "--preview":
        preview(renders, sys.argv[2])


if __name__ == "__main__":
    main()
