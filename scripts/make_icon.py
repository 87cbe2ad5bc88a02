#!/usr/bin/env python3
"""Draws the program icon (32x32 and 16x16, 16 colours) into res/sitewake.ico."""
import math
import struct
import sys

# The standard 16-colour palette (B, G, R, 0).
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
           (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
           (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
BLACK, NAVY, WHITE, YELLOW, GREY, BLUE, CYAN = 0, 4, 15, 11, 8, 12, 14
CLEAR = None


def pixel(x, y, n):
    """A globe with meridians, watched by a clock hand: colour index or CLEAR."""
    c = (n - 1) / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy)
    outer = n / 2.0 - 0.5
    if r > outer:
        return CLEAR
    if r > outer - max(1.0, n / 16.0):
        return NAVY
    # Clock hands from the centre: up and to the right.
    w = max(0.6, n / 28.0)
    if abs(dx) <= w and -outer * 0.7 <= dy <= 0:
        return YELLOW
    if abs(dy) <= w and 0 <= dx <= outer * 0.5:
        return YELLOW
    # Meridian ellipse and equator.
    if abs(abs(dx) - outer * 0.45 * math.sqrt(max(0.0, 1 - (dy / outer) ** 2))) <= w * 0.9:
        return WHITE
    if abs(dy) <= w * 0.5 and r < outer - 1:
        return WHITE
    return BLUE if (dy < 0) else CYAN


def image(n):
    rows = [[pixel(x, y, n) for x in range(n)] for y in range(n)]
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in
                       [(p[2], p[1], p[0]) for p in PALETTE])
    xor = b''
    mask = b''
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, n, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            line.append((hi << 4) | lo)
        xor += bytes(line) + b'\0' * ((4 - len(line) % 4) % 4)
        bits = bytearray((n + 7) // 8)
        for x in range(n):
            if row[x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits) + b'\0' * ((4 - len(bits) % 4) % 4)
    return header + palette + xor + mask


def main(path):
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'res/sitewake.ico')
