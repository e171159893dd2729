#!/usr/bin/env python3
"""Writes a small ".ico" file for the resource test programs.

    make_icon.py OUT.ico WIDTHxHEIGHTxBITS [...]

Each image is a device-independent bitmap (header, palette for 8 bits or
fewer, colour rows, 1-bit mask rows) with a pattern of its own, so that every
image of a file differs from the others in size and content.
"""
import struct
import sys


def image(width, height, bits, seed):
    palette_size = 1 << bits if bits <= 8 else 0
    row = ((width * bits + 31) // 32) * 4
    mask_row = ((width + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bits, 0,
                         (row + mask_row) * height, 0, 0, palette_size, 0)
    palette = b''.join(struct.pack('<BBBB', (i * 37 + seed) & 255, (i * 91) & 255, (i * 53 + 7) & 255, 0)
                       for i in range(palette_size))
    pixels = bytearray()
    for y in range(height):
        line = bytearray((x * 13 + y * 7 + seed + i) & 255 for i, x in enumerate(range(row)))
        pixels += line
    mask = bytearray()
    for y in range(height):
        mask += bytes(((y + i + seed) & 1) * 0x55 for i in range(mask_row))
    return header + palette + bytes(pixels) + bytes(mask)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    sizes = []
    for size in argv[2:]:
        width, height, bits = (int(v) for v in size.split('x'))
        sizes.append((width, height, bits))
    images = [image(w, h, b, seed * 29 + 3) for seed, (w, h, b) in enumerate(sizes)]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (w, h, b), data in zip(sizes, images):
        colours = (1 << b) if b < 8 else 0
        out += struct.pack('<BBBBHHII', w & 255, h & 255, colours, 0, 1, b, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(argv[1], 'wb') as f:
        f.write(out)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
