#!/usr/bin/env python3
"""Draws the program's icon, a wave on a sea-blue tile, into an .ico file.

The image is computed, not painted, so the same script always writes the same
bytes: 16, 32 and 48 pixel images, 32-bit colour with alpha, each pixel the
average of 4 x 4 samples for smooth edges.

    resources/draw_icon.py resources/NuvarineThemeBuilder.ico
"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4
TOP = (0x0B, 0x3D, 0x91)     # deep blue at the top of the tile
BOTTOM = (0x1C, 0xA3, 0xC8)  # sea green-blue at its foot
WHITE = (0xFF, 0xFF, 0xFF)


def inside_tile(x, y):
    """Whether the point (unit square coordinates) lies on the rounded tile."""
    r = 0.18
    cx = min(max(x, r + 0.04), 0.96 - r)
    cy = min(max(y, r + 0.04), 0.96 - r)
    return 0.04 <= x <= 0.96 and 0.04 <= y <= 0.96 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def on_wave(x, y):
    """Two white crests across the lower half, and a sun above them."""
    for base, width in ((0.55, 0.07), (0.75, 0.06)):
        crest = base + 0.06 * math.sin(2 * math.pi * (x * 1.3 + base))
        if abs(y - crest) <= width / 2:
            return True
    return (x - 0.66) ** 2 + (y - 0.28) ** 2 <= 0.11 ** 2


def sample(x, y):
    """Colour and coverage (0 or 1) of one sample point."""
    if not inside_tile(x, y):
        return (0, 0, 0), 0
    if on_wave(x, y):
        return WHITE, 1
    t = (y - 0.04) / 0.92
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM)), 1


def pixel(size, px, py):
    """Averaged BGRA of one pixel, colour weighted by coverage."""
    rgb, alpha = [0, 0, 0], 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            colour, a = sample((px + (sx + 0.5) / SAMPLES) / size,
                               (py + (sy + 0.5) / SAMPLES) / size)
            alpha += a
            for i in range(3):
                rgb[i] += colour[i] * a
    n = SAMPLES * SAMPLES
    if alpha == 0:
        return bytes(4)
    r, g, b = (round(c / alpha) for c in rgb)
    return bytes((b, g, r, round(255 * alpha / n)))


def image(size):
    """A BITMAPINFOHEADER, the bottom-up BGRA rows, then the AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''.join(pixel(size, px, py) for py in reversed(range(size)) for px in range(size))
    mask_row = ((size + 31) // 32) * 4
    return header + rows + bytes(mask_row * size)


def icon():
    images = [image(s) for s in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


if __name__ == '__main__':
    with open(sys.argv[1], 'wb') as f:
        f.write(icon())
