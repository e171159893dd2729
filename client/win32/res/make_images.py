#!/usr/bin/env python3
"""Draws the client's icons and pictures (the skin is geometric, so it is
drawn here from shapes rather than kept as hand-made art). Run it after a
change and commit what it writes beside itself:  python3 make_images.py"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling per axis


def render(size, shapes, background=None):
    """RGBA pixels (rows top to bottom) of shapes painted in order. A shape
    is (inside(x, y) -> bool in unit coordinates, (r, g, b))."""
    px = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    u = (x + (sx + 0.5) / SS) / size
                    v = (y + (sy + 0.5) / SS) / size
                    col = background
                    for inside, colour in shapes:
                        if inside(u, v):
                            col = colour
                    if col is not None:
                        acc[0] += col[0]
                        acc[1] += col[1]
                        acc[2] += col[2]
                        acc[3] += 255
            n = SS * SS
            a = acc[3] / n
            if a > 0:
                row.append((int(acc[0] / (acc[3] / 255)), int(acc[1] / (acc[3] / 255)),
                            int(acc[2] / (acc[3] / 255)), int(a)))
            else:
                row.append((0, 0, 0, 0))
        px.append(row)
    return px


def circle(cx, cy, r):
    return lambda u, v: (u - cx) ** 2 + (v - cy) ** 2 <= r * r


def ring(cx, cy, r1, r2):
    return lambda u, v: r1 * r1 <= (u - cx) ** 2 + (v - cy) ** 2 <= r2 * r2


def rrect(x0, y0, x1, y1, r):
    def inside(u, v):
        if not (x0 <= u <= x1 and y0 <= v <= y1):
            return False
        cx = min(max(u, x0 + r), x1 - r)
        cy = min(max(v, y0 + r), y1 - r)
        return (u - cx) ** 2 + (v - cy) ** 2 <= r * r
    return inside


def half_ellipse(cx, cy, rx, ry):
    return lambda u, v: v <= cy and ((u - cx) / rx) ** 2 + ((v - cy) / ry) ** 2 <= 1


def hand(cx, cy, angle, length, width):
    dx, dy = math.sin(angle), -math.cos(angle)

    def inside(u, v):
        t = (u - cx) * dx + (v - cy) * dy
        d = abs((u - cx) * dy - (v - cy) * dx)
        return -width <= t <= length and d <= width
    return inside


def write_ico(path, images):
    """images: list of RGBA pixel grids; 32-bit entries with AND masks."""
    entries = b''
    blobs = b''
    offset = 6 + 16 * len(images)
    for px in images:
        size = len(px)
        xor = b''.join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
        mask_stride = ((size + 31) // 32) * 4
        mask = b''
        for row in reversed(px):
            bits = 0
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(line)
            del bits
        header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blob = header + xor + mask
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)) + entries + blobs)


def write_bmp(path, px, background=(255, 255, 255)):
    h = len(px)
    w = len(px[0])
    stride = (w * 3 + 3) & ~3
    data = b''
    for row in reversed(px):
        line = bytearray()
        for (r, g, b, a) in row:
            f = a / 255.0
            line += bytes((int(b * f + background[2] * (1 - f)), int(g * f + background[1] * (1 - f)),
                           int(r * f + background[0] * (1 - f))))
        line += bytes(stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


BLUE = (0, 103, 192)
LIGHT = (222, 236, 249)
GREY = (128, 136, 146)
AMBER = (224, 142, 20)
GREEN = (16, 148, 72)
WHITE = (255, 255, 255)


def clock_icon(colour):
    return [(circle(0.5, 0.5, 0.48), colour), (circle(0.5, 0.5, 0.36), WHITE),
            (hand(0.5, 0.5, 0.0, 0.27, 0.045), colour), (hand(0.5, 0.5, math.pi / 2, 0.2, 0.045), colour),
            (circle(0.5, 0.5, 0.07), colour)]


def person(cx, cy, s, colour):
    return [(circle(cx, cy - 0.13 * s, 0.11 * s), colour),
            (half_ellipse(cx, cy + 0.22 * s, 0.2 * s, 0.2 * s), colour)]


def main():
    out = lambda name: os.path.join(HERE, name)
    write_ico(out('program.ico'), [render(s, clock_icon(BLUE)) for s in (16, 32, 48)])
    write_ico(out('tray_active.ico'), [render(s, clock_icon(BLUE)) for s in (16, 32)])
    write_ico(out('tray_offline.ico'), [render(s, clock_icon(GREY)) for s in (16, 32)])
    write_ico(out('tray_idle.ico'), [render(s, clock_icon(AMBER)) for s in (16, 32)])
    app = [(rrect(0.08, 0.14, 0.92, 0.86, 0.08), GREY), (rrect(0.14, 0.3, 0.86, 0.8, 0.03), WHITE)]
    write_ico(out('default_app.ico'), [render(s, app) for s in (16, 32)])

    write_bmp(out('status_offline.bmp'), render(12, [(circle(0.5, 0.5, 0.42), (200, 205, 212))]),
              background=BLUE)
    write_bmp(out('status_online.bmp'), render(12, [(circle(0.5, 0.5, 0.42), (96, 220, 140))]),
              background=BLUE)

    tile = [(rrect(0.02, 0.02, 0.98, 0.98, 0.2), LIGHT)]
    meeting = tile + person(0.36, 0.5, 0.9, BLUE) + person(0.64, 0.5, 0.9, BLUE)
    phone = tile + [(rrect(0.34, 0.18, 0.66, 0.84, 0.07), BLUE), (rrect(0.39, 0.27, 0.61, 0.68, 0.02), LIGHT),
                    (circle(0.5, 0.76, 0.035), LIGHT)]
    cup = tile + [(ring(0.66, 0.52, 0.07, 0.12), BLUE), (rrect(0.26, 0.36, 0.66, 0.78, 0.08), BLUE),
                  (rrect(0.22, 0.8, 0.74, 0.85, 0.02), BLUE),
                  (rrect(0.34, 0.16, 0.38, 0.3, 0.02), GREY), (rrect(0.46, 0.12, 0.5, 0.3, 0.02), GREY),
                  (rrect(0.58, 0.16, 0.62, 0.3, 0.02), GREY)]
    for name, shapes in (('meeting', meeting), ('phone', phone), ('personal', cup)):
        write_bmp(out(name + '.bmp'), render(48, shapes))


if __name__ == '__main__':
    main()
