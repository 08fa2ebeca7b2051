#!/usr/bin/env python3
"""Draws hushvane.ico: one 48x48 32-bit image of a speaker with two sound waves on a rounded
tile. Pure standard library, so the icon can be rebuilt anywhere:  python3 make_icon.py"""
import math
import struct
import sys

SIZE = 48
SAMPLES = 4  # per axis, for anti-aliased edges
TILE = (0x2B, 0x4C, 0x7E)  # deep blue
INK = (0xFF, 0xFF, 0xFF)


def inside_tile(x, y):
    r, lo, hi = 9.0, 2.0, 46.0
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and lo <= x <= hi and lo <= y <= hi


def inside_speaker(x, y):
    if 10.0 <= x <= 17.0 and 19.0 <= y <= 29.0:  # magnet
        return True
    if 17.0 <= x <= 26.0:  # cone, widening to the right
        half = 5.0 + (x - 17.0) * (11.0 / 9.0)
        return abs(y - 24.0) <= half
    return False


def inside_wave(x, y):
    d = math.hypot(x - 24.0, y - 24.0)
    angle = abs(math.degrees(math.atan2(y - 24.0, x - 24.0)))
    if x <= 26.0 or angle > 50.0:
        return False
    return 8.0 <= d <= 11.0 or 14.5 <= d <= 17.5


def pixel(px, py):
    tile = ink = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            if inside_tile(x, y):
                tile += 1
                ink += inside_speaker(x, y) or inside_wave(x, y)
    n = SAMPLES * SAMPLES
    if tile == 0:
        return (0, 0, 0, 0)
    mix = ink / tile
    rgb = tuple(round(t + (i - t) * mix) for t, i in zip(TILE, INK))
    return rgb + (round(255 * tile / n),)


def icon_bytes():
    rows = []
    for py in reversed(range(SIZE)):  # bottom-up, as bitmaps are stored
        row = b""
        for px in range(SIZE):
            r, g, b, a = pixel(px, py)
            row += bytes((b, g, r, a))
        rows.append(row)
    mask_row = b"\x00" * 8  # 48 bits padded to 32-bit rows; alpha does the masking
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(rows) + mask_row * SIZE
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "hushvane.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes())
