#!/usr/bin/env python3
"""Draws Talvorin's icon, a database cylinder with a green arrow going into it, and writes
it as a Windows .ico file holding 16x16, 32x32 and 48x48 images (32-bit with alpha).

    python3 tools/make_icon.py OUTPUT.ico [--png-dir DIR]

The drawing is resolution-free: every pixel is the average of 8x8 samples of the shapes
below, in a 0..1 square, so each size is drawn for itself rather than scaled from another.
--png-dir also writes each size as a PNG, to look at.
"""
import argparse
import struct
import sys
import zlib

SIZES = (16, 32, 48)
SAMPLES = 8

# The cylinder: its axis, half width, the top and bottom ellipse centres, the ellipses'
# half height.
CX, RX = 0.43, 0.34
TOP, BOTTOM, RY = 0.22, 0.80, 0.10
# The bands between the disks of the cylinder.
BANDS = (0.41, 0.60)
# The arrow: pointing down, at the lower right.
ARROW_X, ARROW_TOP, ARROW_TIP = 0.74, 0.36, 0.97
SHAFT, HEAD_HALF, HEAD_LENGTH = 0.085, 0.20, 0.24

OUTLINE = (28, 45, 78)
ARROW_OUTLINE = (20, 82, 20)


def in_ellipse(x, y, cy, grow=0.0):
    return ((x - CX) / (RX + grow)) ** 2 + ((y - cy) / (RY + grow)) ** 2 <= 1.0


def in_cylinder(x, y, grow=0.0):
    if abs(x - CX) <= RX + grow and TOP <= y <= BOTTOM:
        return True
    return in_ellipse(x, y, TOP, grow) or in_ellipse(x, y, BOTTOM, grow)


def in_arrow(x, y, grow=0.0):
    head_base = ARROW_TIP - HEAD_LENGTH
    if ARROW_TOP - grow <= y <= head_base and abs(x - ARROW_X) <= SHAFT + grow:
        return True
    if head_base - grow <= y <= ARROW_TIP + grow * 1.8:
        # The head narrows linearly from its base to the tip.
        half = HEAD_HALF * (ARROW_TIP - y) / HEAD_LENGTH + grow * 1.8
        return abs(x - ARROW_X) <= half
    return False


def body_colour(x, y):
    # Lit from the upper left: lighter towards the left edge, darker to the right.
    t = max(0.0, min(1.0, (x - (CX - RX)) / (2 * RX)))
    light = 1.0 - 0.55 * (t - 0.3) ** 2 * 2.2
    return tuple(int(max(0, min(255, c * light))) for c in (82, 132, 204))


def sample(x, y, line):
    """The colour at one point, or None where the icon is transparent."""
    if in_arrow(x, y, line):
        if in_arrow(x, y):
            shade = 1.0 - 0.35 * (y - ARROW_TOP) / (ARROW_TIP - ARROW_TOP)
            return tuple(int(c * shade) for c in (74, 206, 74))
        return ARROW_OUTLINE
    if in_cylinder(x, y, line):
        if not in_cylinder(x, y):
            return OUTLINE
        if in_ellipse(x, y, TOP):
            if not in_ellipse(x, y, TOP, -line):
                return OUTLINE
            return (176, 206, 242)
        for band in BANDS:
            # The visible, lower half of an ellipse at the band's height.
            if y >= band and in_ellipse(x, y - band + TOP, TOP) and not in_ellipse(x, y - band + TOP, TOP, -line):
                return OUTLINE
        return body_colour(x, y)
    return None


def draw(size):
    """Rows of (r, g, b, a), top row first."""
    # Lines stay about one pixel wide at every size.
    line = 1.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = sample((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size, line)
                    if colour is not None:
                        r, g, b, hits = r + colour[0], g + colour[1], b + colour[2], hits + 1
            if hits:
                row.append((r // hits, g // hits, b // hits, 255 * hits // (SAMPLES * SAMPLES)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def ico_image(rows):
    """One image of an .ico: a BITMAPINFOHEADER, the BGRA pixels bottom-up, the AND mask."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico_file(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def png_file(rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in rows)
    size = len(rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('output')
    parser.add_argument('--png-dir')
    args = parser.parse_args(argv)
    drawings = {size: draw(size) for size in SIZES}
    with open(args.output, 'wb') as f:
        f.write(ico_file([(size, ico_image(rows)) for size, rows in drawings.items()]))
    if args.png_dir:
        for size, rows in drawings.items():
            with open(f'{args.png_dir}/talvorin-{size}.png', 'wb') as f:
                f.write(png_file(rows))


if __name__ == '__main__':
    main(sys.argv[1:])
