#!/usr/bin/env python3
"""Draws the two 24 x 24 link lamps (green, red) as RGBA PNGs; deterministic, stdlib only.

Run from the project root: tools/gen-lamps.py  (writes resources/FORM/led_green.png and
resources/FORM/led_red.png).
"""
import math
import struct
import zlib

SIZE = 24


def png(path, pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def lamp(base, light):
    """A glass bulb: dark rim, radial body from light to base colour, a soft highlight."""
    cx = cy = (SIZE - 1) / 2.0
    radius = 9.5
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            # 4 x 4 supersampling for a smooth edge
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    px = x + (sx + 0.5) / 4 - 0.5
                    py = y + (sy + 0.5) / 4 - 0.5
                    d = math.hypot(px - cx, py - cy)
                    if d > radius:
                        continue
                    if d > radius - 1.2:
                        col = tuple(c * 0.45 for c in base)
                    else:
                        t = min(1.0, math.hypot(px - (cx - 2.5), py - (cy - 2.5)) / (radius * 1.3))
                        col = tuple(l * (1 - t) + b * t for l, b in zip(light, base))
                        h = math.hypot(px - (cx - 3), py - (cy - 3.5))
                        if h < 3.0:
                            k = (1 - h / 3.0) * 0.7
                            col = tuple(c * (1 - k) + 255 * k for c in col)
                    acc[0] += col[0]
                    acc[1] += col[1]
                    acc[2] += col[2]
                    acc[3] += 1
            n = acc[3]
            if n == 0:
                row += [0, 0, 0, 0]
            else:
                row += [int(round(acc[0] / n)), int(round(acc[1] / n)), int(round(acc[2] / n)),
                        int(round(255 * n / 16))]
        rows.append(row)
    return rows


if __name__ == "__main__":
    png("resources/FORM/led_green.png", lamp((20, 150, 40), (170, 255, 170)))
    png("resources/FORM/led_red.png", lamp((190, 25, 25), (255, 170, 160)))
